// Bitmap fonts: one texture holding a grid of equal character cells and a
// glyph table from UTF-16 code unit to the texture rectangle of its cell and
// the size at which it is drawn.
//
// Glyph arithmetic reads the current device slot's 2D scale pair
// (g_gm2dScale, the same pair sprites are sized by, (1, 1) until start-up
// computes it): drawn widths are the texture widths times the horizontal
// factor, drawn heights the cell height times the vertical one, so a glyph
// keeps its texture size on screen like a sprite's frame does. Cyrillic letters the font lacks borrow
// the glyph of their Latin look-alike (never the other way round). A font
// that cannot be cut into cells (no cells per row, or cells narrower than a
// pixel) is refused by Init, and the loader skips it with a log line. The
// font sits with the graphics because the text visual lays out in it; the
// GUI resources load and own the fonts.
#pragma once

#include "Engine/Core/Common/GeMap.h"

#include <cstdint>

class CGmTexture;

struct CGuiGlyph {
    float u = 0.0f; // left and top texture coordinate of the cell's rectangle
    float v = 0.0f;
    float du = 0.0f; // its size in texture coordinates
    float dv = 0.0f;
    float width = 0.0f;  // drawn size in screen pixels; width is the advance
    float height = 0.0f; // and the space's height is the line height
};

class CGuiFont {
public:
    CGmTexture* texture = nullptr; // one reference held
    CGeMap<uint16_t, CGuiGlyph> glyphs;

    CGuiFont() = default;
    ~CGuiFont();
    CGuiFont(const CGuiFont&) = delete;
    CGuiFont& operator=(const CGuiFont&) = delete;

    // Fills the font from frameCount code-table entries laid out
    // framesPerLine to a row. widths (widthCount entries, or none) are the
    // texture widths of the characters in code-table order; missing ones take
    // the cell width. False, with the font left without glyphs, when
    // framesPerLine is 0 or the cells are less than a pixel wide.
    bool Init(CGmTexture* fontTexture, uint32_t frameCount, uint32_t framesPerLine, const char16_t* codeTable,
              const uint16_t* widths, uint32_t widthCount, uint8_t centered);

    // The glyph of a code unit; when the font lacks it, the glyph with the
    // smallest code; null only for a font without glyphs.
    const CGuiGlyph* FindGlyph(uint16_t code) const;
};
