// fontbake: renders a TrueType font with FreeType into the engine's bitmap-font
// form, a TGA texture of equal cells (white glyphs, coverage in alpha) and the
// FONT element that names it, so that readable text needs no font library at
// run time.
//
//   fontbake <font.ttf> <pixel size> <out.tga> <font name> <FileName in data> [<out.xml>]
//
// The code table is printable ASCII, then the Cyrillic letters U+0410 to U+044F
// with U+0401 and U+0451. Cells are sixteen to a row, as wide as the widest
// advance and as high as the font's line; each glyph sits on a common baseline
// at its bearing, and SymbolWidths gives every character its rounded advance.
// The FONT element goes to <out.xml>, or to standard output.
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTgaWriter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint32_t kCellsPerRow = 16;

std::vector<uint32_t> CodeTable()
{
    std::vector<uint32_t> codes;
    for (uint32_t c = 0x20; c < 0x7F; ++c)
        codes.push_back(c);
    for (uint32_t c = 0x410; c <= 0x44F; ++c)
        codes.push_back(c);
    codes.push_back(0x401);
    codes.push_back(0x451);
    return codes;
}

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += (char)c;
    } else if (c < 0x800) {
        out += (char)(0xC0 | (c >> 6));
        out += (char)(0x80 | (c & 0x3F));
    } else {
        out += (char)(0xE0 | (c >> 12));
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    }
}

// The code table as an attribute value: UTF-8 with XML's five escapes.
std::string AttributeText(const std::vector<uint32_t>& codes)
{
    std::string out;
    for (uint32_t c : codes) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: AppendUtf8(out, c); break;
        }
    }
    return out;
}

int Fail(const char* what, const char* detail)
{
    fprintf(stderr, "fontbake: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || argc > 7) {
        fprintf(stderr, "usage: fontbake <font.ttf> <pixel size> <out.tga> <font name> <FileName> [<out.xml>]\n");
        return 2;
    }
    const int pixelSize = atoi(argv[2]);
    if (pixelSize < 4 || pixelSize > 256)
        return Fail("the pixel size must lie between 4 and 256", argv[2]);

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library))
        return Fail("FreeType does not start", nullptr);
    if (FT_New_Face(library, argv[1], 0, &face))
        return Fail("cannot open the font", argv[1]);
    FT_Set_Pixel_Sizes(face, 0, (FT_UInt)pixelSize);

    const std::vector<uint32_t> codes = CodeTable();
    const int ascender = (int)((face->size->metrics.ascender + 63) >> 6);
    const int descender = (int)(face->size->metrics.descender >> 6); // negative
    const uint32_t cellHeight = (uint32_t)(ascender - descender);
    std::vector<uint32_t> advances;
    uint32_t cellWidth = 1;
    for (uint32_t c : codes) {
        uint32_t advance = 0;
        if (!FT_Load_Char(face, c, FT_LOAD_DEFAULT))
            advance = (uint32_t)((face->glyph->advance.x + 32) >> 6);
        advances.push_back(advance);
        if (advance > cellWidth)
            cellWidth = advance;
    }
    const uint32_t rows = ((uint32_t)codes.size() + kCellsPerRow - 1) / kCellsPerRow;
    CGmImage image;
    if (!image.MakeRaw(cellWidth * kCellsPerRow, cellHeight * rows, GM_FMT_A8R8G8B8, cellWidth * kCellsPerRow * 4))
        return Fail("the texture is too large", nullptr);

    for (uint32_t i = 0; i < codes.size(); ++i) {
        if (FT_Load_Char(face, codes[i], FT_LOAD_RENDER))
            continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        const int cellX = (int)((i % kCellsPerRow) * cellWidth);
        const int cellY = (int)((i / kCellsPerRow) * cellHeight);
        const int left = cellX + (face->glyph->bitmap_left > 0 ? face->glyph->bitmap_left : 0);
        const int top = cellY + ascender - face->glyph->bitmap_top;
        for (unsigned y = 0; y < bitmap.rows; ++y) {
            const int py = top + (int)y;
            if (py < cellY || py >= cellY + (int)cellHeight)
                continue;
            for (unsigned x = 0; x < bitmap.width; ++x) {
                const int px = left + (int)x;
                if (px >= cellX + (int)cellWidth)
                    break;
                uint8_t* pixel = image.data + (size_t)py * image.pitch + (size_t)px * 4;
                const uint8_t coverage = bitmap.buffer[y * bitmap.pitch + x];
                pixel[0] = pixel[1] = pixel[2] = 255; // B, G, R
                pixel[3] = coverage > pixel[3] ? coverage : pixel[3];
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    GeSimdCreate(); // the TGA writer copies rows through the kernels
    const bool written = WriteImageTga(image, CGeString(argv[3]));
    GeSimdDestroy();
    if (!written)
        return Fail("cannot write", argv[3]);

    std::string element = "<FONT Name=\"" + std::string(argv[4]) + "\" FileName=\"" + argv[5] + "\" FramesPerLine=\"" +
                          std::to_string(kCellsPerRow) + "\"\n      CodeTable=\"" + AttributeText(codes) +
                          "\"\n      SymbolWidths=\"";
    for (uint32_t i = 0; i < advances.size(); ++i)
        element += (i ? " " : "") + std::to_string(advances[i]);
    element += "\"/>\n";
    FILE* out = (argc == 7) ? fopen(argv[6], "wb") : stdout;
    if (!out)
        return Fail("cannot write", argv[6]);
    fputs(element.c_str(), out);
    if (out != stdout)
        fclose(out);
    return 0;
}
