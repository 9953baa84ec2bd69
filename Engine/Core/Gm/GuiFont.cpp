// Glyph tables of the bitmap fonts.
#include "Engine/Core/Gm/GuiFont.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVisual2D.h"

namespace {

// The Latin letters and, at the same positions, the Cyrillic letters that
// look like them.
const char16_t kLatinLookAlikes[] = u"ABEKMHOPCTXaeopcx";
const char16_t kCyrillicLookAlikes[] = u"\u0410\u0412\u0415\u041A\u041C\u041D\u041E\u0420\u0421\u0422\u0425"
                                       u"\u0430\u0435\u043E\u0440\u0441\u0445";
static_assert(sizeof(kLatinLookAlikes) == sizeof(kCyrillicLookAlikes), "the look-alike texts pair up");

} // namespace

CGuiFont::~CGuiFont()
{
    if (texture)
        texture->Release();
    glyphs.Clear();
}

bool CGuiFont::Init(CGmTexture* fontTexture, uint32_t frameCount, uint32_t framesPerLine, const char16_t* codeTable,
                    const uint16_t* widths, uint32_t widthCount, uint8_t centered)
{
    if (texture)
        texture->Release();
    texture = fontTexture;
    if (texture)
        texture->AddRef();
    glyphs.Clear();
    if (framesPerLine == 0)
        return false;

    // An empty code table still counts one line, so that the cell height and
    // the space glyph below stay defined.
    uint32_t lines = (frameCount + framesPerLine - 1) / framesPerLine;
    if (lines == 0)
        lines = 1;
    const CGmImage* image = texture ? texture->Image() : nullptr;
    const uint32_t imageWidth = (image && image->width) ? image->width : 1;
    const uint32_t imageHeight = (image && image->height) ? image->height : 1;
    const uint32_t pow2Width = texture ? GetImageWidthPow2(texture) : 1;
    const uint32_t pow2Height = texture ? GetImageHeightPow2(texture) : 1;
    const uint16_t cellWidth = (uint16_t)(imageWidth / framesPerLine);
    const uint32_t cellHeight = imageHeight / lines;
    if (cellWidth == 0 && frameCount != 0)
        return false;

    const float uCell = (float)imageWidth / ((float)pow2Width * (float)framesPerLine);
    const float vCell = (float)imageHeight / ((float)pow2Height * (float)lines);
    const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    for (uint32_t i = 0; i < frameCount; ++i) {
        const uint32_t column = i % framesPerLine;
        const uint32_t row = i / framesPerLine;
        const float w = (widths && i < widthCount) ? (float)widths[i] : (float)cellWidth;
        CGuiGlyph glyph;
        glyph.u = (float)column * uCell;
        if (centered)
            glyph.u = ((float)column + (1.0f - w / (float)cellWidth) * 0.5f) * uCell;
        glyph.v = (float)row * vCell;
        glyph.du = uCell * w / (float)cellWidth;
        glyph.dv = vCell;
        glyph.width = w * scale[0];
        glyph.height = scale[1] * (float)cellHeight;
        glyphs[(uint16_t)codeTable[i]] = glyph;
    }

    for (uint32_t i = 0; kLatinLookAlikes[i]; ++i) {
        if (glyphs.Find(kCyrillicLookAlikes[i]))
            continue;
        if (auto* latin = glyphs.Find(kLatinLookAlikes[i])) {
            const CGuiGlyph copy = latin->value;
            glyphs[kCyrillicLookAlikes[i]] = copy;
        }
    }

    if (glyphs.Count() == 0) {
        CGuiGlyph space;
        space.du = space.dv = space.width = space.height = 1.0f;
        glyphs[u' '] = space;
    }
    return true;
}

const CGuiGlyph* CGuiFont::FindGlyph(uint16_t code) const
{
    if (auto* node = glyphs.Find(code))
        return &node->value;
    return glyphs.first ? &glyphs.first->value : nullptr;
}
