// The text visual's layout: a wide text laid out in one bitmap font into glyph
// quads of four pre-transformed vertices each, with line breaks, word wrap at
// the clip width, alignment within it, inline colour and slant codes, and one
// box per character for caret placement and hit tests.
//
// The text is prepared first: a tab becomes four spaces, a carriage return
// (alone or before a line feed) one line feed. Unless the show-tags flag is
// set, "&0x" and eight hexadecimal digits colour the following glyphs
// (0xAARRGGBB; a character that is no hexadecimal digit counts 0), "&c"
// returns to the visual's own colour and upright glyphs, "&i" slants the tops
// of the following glyphs right by a quarter of their height; any other "&"
// is drawn. Characters below 32 other than the line feed are skipped.
//
// Choices: words wrap only while a clip width above 0 is set; wrap mode 3
// justifies a line it broke by sharing the missing width equally between the
// spaces of that line (a line without spaces stays as it is); "&i" moves the
// two top vertices only. Boxes: a glyph's quad, a space's advance over the
// line height; tags, line feeds and skipped characters get (1e30, 1e30, 0, 0)
// and are passed over by LineAtPoint.
//
// Drawing: the text is a visual object (type id 2) placed through the 2D
// camera of the current device slot. Update lays out when dirty, lets the
// vertex hook (or a plain copy) make the drawn vertices, and turns them
// through camera x world x text matrix into the device's vertex buffer; the
// turn is redone only when the layout, the hook's output or that matrix
// changed, so an unchanged text redraws without touching its vertices. Render
// sets the blend mode's states, binds the font texture and draws every glyph
// with indexed triangle lists, 16,384 glyphs (the reach of 16-bit indices) to
// a draw. With the pixel-exact byte set and the camera's viewport unscaled
// (its screen size equals the viewport's size) it samples the font with point
// filtering and restores the filters after.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>
#include <vector>

class CGmCamera;
class CGmIndexBuffer;
class CGmVertexBuffer;
class CGuiFont;

// One vertex of a glyph quad: the 2D quad vertex (flags 0x1103).
using GmTextVertex = GmQuadVertex;

struct GmTextBox {
    float x, y, w, h;
};

// Writes the drawn vertices (four per glyph) from the laid-out ones; phase is
// the visual's own time value, which the hook may advance.
typedef void (*GmTextVertexHook)(const GmTextVertex* source, GmTextVertex* target, uint32_t glyphCount, float* phase);

class CGmText : public CGmVisualObject {
public:
    static constexpr float kNoBox = 1e30f;
    // Glyphs of one draw: their vertices stay within reach of 16-bit indices.
    static constexpr uint32_t kGlyphsPerDraw = 16384;

    explicit CGmText(CGuiFont* font = nullptr);
    ~CGmText() override;

    // Gives the visual a new text and lays it out.
    void Layout(const CGeWString& newText);
    // Lays the current text out again when it is marked dirty, makes the
    // drawn vertices and places them through the camera.
    void Update() override;
    // Draws the glyphs in the font texture through the blend mode, then
    // resets the camera's clip rectangle.
    void Render() override;
    // The 2D camera of the current device slot.
    CGmCamera* GetCamera();

    // Clip size and the clipped byte; null clears both. Marks dirty.
    void SetClipSize(const float* size, uint8_t clip);
    // Letter spacing; 1e30 (no limit) is stored as 0. Marks dirty.
    void SetBoxWidth(float width);
    // Letter spacing as SetBoxWidth; line height, 1e30 standing for one line
    // of the font (unchanged without a font). Marks dirty.
    void SetBoxSize(float width, float height);
    // Line height = the height of the font's space glyph, 0 without a font.
    void UpdateSpaceWidth();
    // Vertex colour from colour, alpha and blend mode. Marks dirty.
    void UpdateColor();

    // {x, y, w, h} of the laid-out text; when clipped, w and h end at the clip size.
    GmTextBox GetBounds();
    // Width of the widest line and line height times the lines, without laying out.
    void Measure(const CGeWString& text, float* width, float* height) const;
    // The character index at a point of the visual's space (needs the boxes).
    uint32_t LineAtPoint(float x, float y) const;
    // Room for four vertices and six indices per printable character.
    void ReserveGlyphBuffers(const CGeWString& text);

    // Fields the GUI and the game features read and set.
    CGuiFont* font = nullptr;
    uint32_t color = 0xFFFFFF; // 0xRRGGBB
    uint8_t alpha = 255;
    uint32_t blendMode = 5;
    uint32_t vertexColor = 0xFFFFFFFF;
    uint32_t alignment = 0;     // 0 left, 1 right, 2 centre
    uint32_t wrapMode = 2;      // EnTextWrap
    float letterSpacing = 0.0f; // horizontal pitch
    float lineHeight = 0.0f;    // vertical pitch
    float boxHeight = 0.0f;
    float clipSize[2] = {0.0f, 0.0f};
    uint8_t clipped = 0;
    float scrollOffset[2] = {0.0f, 0.0f}; // the pen starts at minus this
    uint32_t showTags = 0;                // non-zero draws every '&'
    uint32_t keepGlyphBoxes = 0;          // the GUI-text flag
    uint8_t dirty = 1;
    GmTextBox bounds = {0, 0, 0, 0};
    GmTextVertexHook vertexHook = nullptr;
    float phase = 0.0f;
    Matrix4 textMatrix = Matrix4::Identity(); // before the frame's world matrix
    uint8_t pixelExact = 0;

    CGeWString text;                         // the prepared text
    std::vector<GmTextVertex> glyphVertices; // laid out, four per glyph
    std::vector<GmTextVertex> drawnVertices; // what is drawn
    std::vector<uint16_t> glyphIndices;      // six per glyph, counted within its draw
    uint32_t glyphCount = 0;
    std::vector<GmTextBox> glyphBoxes; // one per prepared character when kept

private:
    std::vector<uint32_t> m_glyphChars;          // the character of each glyph
    CGmVertexBuffer* m_deviceVertices = nullptr; // drawnVertices placed on the screen
    CGmIndexBuffer* m_deviceIndices = nullptr;
    uint8_t m_newLayout = 1;    // laid out since the drawn vertices were made
    uint8_t m_drawnStale = 1;   // drawnVertices changed since they were placed
    Matrix4 m_placedWith = {};  // the matrix the device vertices were placed with
    float m_pixelOffset[2] = {0.0f, 0.0f};

    // Writes the drawn vertices through the matrix into the device buffer
    // when they or the matrix changed.
    void Place();
    void MakeDrawnVertices();

    void LayOut();
    float GlyphAdvance(char16_t c) const;
    // Width of the word starting at index: up to the next space or control character.
    float WordWidth(uint32_t index) const;
    // Length of the tag at index (0 when there is none).
    uint32_t TagLength(uint32_t index) const;
    void FinishLine(uint32_t firstGlyph, uint32_t firstChar, uint32_t endChar, float lineWidth, bool wrapped);
};

// Tab to four spaces, CR LF and CR to LF.
CGeWString PrepareText(const CGeWString& text);
