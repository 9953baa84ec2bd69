// Layout of the text visual.
#include "Engine/Core/Gm/GmText.h"

#include "Engine/Core/Common/GeStringText.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint32_t HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return (uint32_t)(c - u'0');
    if (c >= u'a' && c <= u'f')
        return (uint32_t)(c - u'a' + 10);
    if (c >= u'A' && c <= u'F')
        return (uint32_t)(c - u'A' + 10);
    return 0;
}

const GmTextBox kNoBoxRecord = {CGmText::kNoBox, CGmText::kNoBox, 0.0f, 0.0f};

constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kCullCounterClockwise = 2;
constexpr uint32_t kFilterPoint = 1;
constexpr uint32_t kTextTypeId = 2;

} // namespace

CGeWString PrepareText(const CGeWString& source)
{
    CGeWString out;
    const char16_t* s = source.c_str();
    const uint32_t n = source.Length();
    uint32_t size = 0;
    for (uint32_t i = 0; i < n; ++i)
        size += (s[i] == u'\t') ? 4 : 1;
    if (size == 0)
        return out;
    out.Resize(size, false);
    uint32_t k = 0;
    for (uint32_t i = 0; i < n; ++i) {
        char16_t c = s[i];
        if (c == u'\t') {
            for (int j = 0; j < 4; ++j)
                out.data[k++] = u' ';
        } else if (c == u'\r') {
            out.data[k++] = u'\n';
            if (i + 1 < n && s[i + 1] == u'\n')
                ++i;
        } else {
            out.data[k++] = c;
        }
    }
    out.Resize(k, true);
    // Resize leaves the terminator to the caller when the storage stays.
    out.data[k] = 0;
    return out;
}

CGmText::CGmText(CGuiFont* textFont) : font(textFont)
{
    SetTypeId(kTextTypeId);
    UpdateSpaceWidth();
    dirty = 1;
}

CGmText::~CGmText()
{
    if (m_deviceVertices)
        m_deviceVertices->Release();
    if (m_deviceIndices)
        m_deviceIndices->Release();
}

CGmCamera* CGmText::GetCamera()
{
    return CGeHub::s_cameras2d[CGeHub::s_currentSlot];
}

void CGmText::SetClipSize(const float* size, uint8_t clip)
{
    if (size) {
        clipSize[0] = size[0];
        clipSize[1] = size[1];
        clipped = clip;
    } else {
        clipSize[0] = clipSize[1] = 0.0f;
        clipped = 0;
    }
    dirty = 1;
}

void CGmText::SetBoxWidth(float width)
{
    letterSpacing = (width == kNoBox) ? 0.0f : width;
    dirty = 1;
}

void CGmText::SetBoxSize(float width, float height)
{
    SetBoxWidth(width);
    if (height != kNoBox) {
        boxHeight = height;
        lineHeight = height;
    } else if (font) {
        const CGuiGlyph* space = font->FindGlyph(u' ');
        boxHeight = lineHeight = space ? space->height : 0.0f;
    }
    dirty = 1;
}

void CGmText::UpdateSpaceWidth()
{
    const CGuiGlyph* space = font ? font->FindGlyph(u' ') : nullptr;
    lineHeight = space ? space->height : 0.0f;
    dirty = 1;
}

void CGmText::UpdateColor()
{
    vertexColor = ComputeVertexColor(alpha, blendMode, color);
    dirty = 1;
}

float CGmText::GlyphAdvance(char16_t c) const
{
    const CGuiGlyph* g = font ? font->FindGlyph(c) : nullptr;
    return (g ? g->width : 0.0f) + letterSpacing;
}

uint32_t CGmText::TagLength(uint32_t index) const
{
    const char16_t* s = text.c_str();
    const uint32_t n = text.Length();
    if (showTags || s[index] != u'&' || index + 1 >= n)
        return 0;
    const char16_t next = s[index + 1];
    if (next == u'c' || next == u'i')
        return 2;
    if (next == u'0' && index + 10 < n && (s[index + 2] == u'x' || s[index + 2] == u'X'))
        return 11;
    return 0;
}

float CGmText::WordWidth(uint32_t index) const
{
    const char16_t* s = text.c_str();
    float width = 0.0f;
    for (uint32_t i = index; i < text.Length() && s[i] > u' ';) {
        if (uint32_t tag = TagLength(i)) {
            i += tag;
            continue;
        }
        width += GlyphAdvance(s[i]);
        ++i;
    }
    return width;
}

void CGmText::Layout(const CGeWString& newText)
{
    text = PrepareText(newText);
    LayOut();
}

void CGmText::MakeDrawnVertices()
{
    drawnVertices.resize(glyphVertices.size());
    if (vertexHook)
        vertexHook(glyphVertices.data(), drawnVertices.data(), glyphCount, &phase);
    else if (!glyphVertices.empty())
        memcpy(drawnVertices.data(), glyphVertices.data(), glyphVertices.size() * sizeof(GmTextVertex));
    m_drawnStale = 1;
}

void CGmText::Update()
{
    frame.UpdateWorldMatrix();
    if (dirty)
        LayOut();
    // The hook animates: it runs every update; a plain copy only after a new layout.
    if (vertexHook || m_newLayout)
        MakeDrawnVertices();
    m_newLayout = 0;
    Place();
}

void CGmText::Place()
{
    CGmCamera* camera = GetCamera();
    const Matrix4 world = MatrixMultiply4x4(frame.world, textMatrix);
    const Matrix4 m = camera ? MatrixMultiply4x4(camera->GetViewProjection(), world) : world;
    const float offset[2] = {g_halfPixelOffsetX, g_halfPixelOffsetY};
    if (!m_drawnStale && memcmp(&m, &m_placedWith, sizeof(m)) == 0 &&
        memcmp(offset, m_pixelOffset, sizeof(offset)) == 0)
        return;
    const uint32_t count = (uint32_t)drawnVertices.size();
    if (count == 0) {
        m_drawnStale = 0;
        return;
    }
    if (!m_deviceVertices)
        m_deviceVertices = new CGmVertexBuffer(kGmQuadVertexFlags, count);
    else if (m_deviceVertices->Count() != count)
        m_deviceVertices->Resize(count);
    if (!m_deviceVertices->LockRange(0, count))
        return;
    GmTextVertex* out = reinterpret_cast<GmTextVertex*>(m_deviceVertices->GetData());
    for (uint32_t i = 0; i < count; ++i) {
        const GmTextVertex& v = drawnVertices[i];
        const Vec4 p = MatrixTransformVector4(m, {v.x, v.y, v.z, v.rhw});
        out[i] = {p.x + offset[0], p.y + offset[1], p.z, p.w, v.color, v.u, v.v};
    }
    m_deviceVertices->Unlock();
    m_placedWith = m;
    m_pixelOffset[0] = offset[0];
    m_pixelOffset[1] = offset[1];
    m_drawnStale = 0;
    frame.localDirty = 0;
}

void CGmText::Render()
{
    if (!visible)
        return;
    if (dirty || m_newLayout) {
        Update();
    } else {
        frame.UpdateWorldMatrix();
        Place();
    }
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device || glyphCount == 0 || !font || !m_deviceVertices || m_drawnStale)
        return;
    // Every glyph's six indices follow one pattern, counted within its draw:
    // the buffer is written only when a text needs more of them than it holds.
    const uint32_t count = (uint32_t)std::min<size_t>(glyphIndices.size(), kGlyphsPerDraw * 6);
    if (!m_deviceIndices || m_deviceIndices->Count() < count) {
        if (!m_deviceIndices)
            m_deviceIndices = new CGmIndexBuffer(2, count);
        else if (m_deviceIndices->Count() < count)
            m_deviceIndices->Resize(count);
        if (!m_deviceIndices->LockRange(0, count))
            return;
        memcpy(m_deviceIndices->GetData(), glyphIndices.data(), count * sizeof(uint16_t));
        m_deviceIndices->Unlock();
    }

    if (g_pGmRenderStateCache) {
        g_pGmRenderStateCache->SetTextureStageMode(blendMode, 0);
        g_pGmRenderStateCache->SetBlendMode(blendMode, 3);
    }
    device->SetCullMode(kCullCounterClockwise);
    if (font->texture)
        font->texture->Bind(0);
    else if (device->CanCall())
        device->GetDevice()->SetTexture(0, nullptr);
    CGmCamera* camera = GetCamera();
    bool pointSampled = false;
    if (pixelExact && camera) {
        const GeViewport& view = camera->currentViewport;
        pointSampled = (uint32_t)camera->screenWidth == view.Width && (uint32_t)camera->screenHeight == view.Height;
    }
    const uint32_t savedFilters[2] = {device->m_filters[0][0], device->m_filters[0][1]};
    if (pointSampled)
        device->SetSamplerFilters(0, kFilterPoint, kFilterPoint);
    m_deviceVertices->Bind();
    m_deviceIndices->Bind();
    for (uint32_t first = 0; first < glyphCount; first += kGlyphsPerDraw) {
        const uint32_t glyphs = std::min(glyphCount - first, kGlyphsPerDraw);
        device->DrawIndexedPrimitive(kPrimitiveTriangleList, (int32_t)(first * 4), 0, glyphs * 4, 0, glyphs * 2);
    }
    if (pointSampled)
        device->SetSamplerFilters(0, savedFilters[0], savedFilters[1]);
    if (camera && (camera->GetKind() == 0 || camera->GetKind() == 1))
        camera->SetClipRect(nullptr);
}

void CGmText::FinishLine(uint32_t firstGlyph, uint32_t firstChar, uint32_t endChar, float lineWidth, bool wrapped)
{
    float shift = 0.0f;
    if (alignment == 1)
        shift = std::floor(0.5f + clipSize[0] - lineWidth);
    else if (alignment == 2)
        shift = std::floor(0.5f + (clipSize[0] - lineWidth) * 0.5f);

    // Justification: each space of the line takes an equal share of the width
    // the line lacks; what follows the k-th space moves k shares.
    float share = 0.0f;
    if (wrapped && wrapMode == 3) {
        uint32_t spaces = 0;
        for (uint32_t i = firstChar; i < endChar; ++i)
            spaces += (text.c_str()[i] == u' ') ? 1 : 0;
        if (spaces > 0 && clipSize[0] > lineWidth)
            share = (clipSize[0] - lineWidth) / (float)spaces;
    }
    if (shift == 0.0f && share == 0.0f)
        return;

    uint32_t spacesBefore = 0;
    uint32_t glyph = firstGlyph;
    for (uint32_t i = firstChar; i < endChar; ++i) {
        const float dx = shift + share * (float)spacesBefore;
        if (text.c_str()[i] == u' ')
            ++spacesBefore;
        if (keepGlyphBoxes && i < glyphBoxes.size() && glyphBoxes[i].x != kNoBox)
            glyphBoxes[i].x += dx;
        while (glyph < glyphCount && m_glyphChars[glyph] == i) {
            for (uint32_t v = 0; v < 4; ++v)
                glyphVertices[glyph * 4 + v].x += dx;
            ++glyph;
        }
    }
}

void CGmText::LayOut()
{
    glyphCount = 0;
    glyphVertices.clear();
    glyphIndices.clear();
    m_glyphChars.clear();
    glyphBoxes.clear();
    bounds = {0, 0, 0, 0};
    dirty = 0;
    m_newLayout = 1;
    if (!font)
        return;

    const char16_t* s = text.c_str();
    const uint32_t n = text.Length();
    const float startX = -scrollOffset[0];
    float penX = startX;
    float penY = -scrollOffset[1];
    uint32_t currentColor = vertexColor;
    float slant = 0.0f;
    uint32_t lineGlyph = 0;
    uint32_t lineChar = 0;
    const bool wrapping = wrapMode != 0 && clipSize[0] > 0.0f;
    if (keepGlyphBoxes) {
        glyphBoxes.resize(n);
        for (uint32_t i = 0; i < n; ++i)
            glyphBoxes[i] = kNoBoxRecord;
    }

    for (uint32_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        // Ends the line before character i (which starts none) and moves the pen down.
        auto breakLine = [&](bool wrapped) {
            FinishLine(lineGlyph, lineChar, i, penX - startX, wrapped);
            penX = startX;
            penY += lineHeight;
            lineGlyph = glyphCount;
            lineChar = i + 1;
        };
        if (c == u'\n') {
            breakLine(false);
            continue;
        }
        if (c == u' ') {
            const float advance = GlyphAdvance(u' ');
            if (wrapping && penX > startX && penX - startX + advance + WordWidth(i + 1) > clipSize[0]) {
                breakLine(true);
                continue;
            }
            if (keepGlyphBoxes)
                glyphBoxes[i] = {penX, penY, advance, lineHeight};
            penX += advance;
            continue;
        }
        if (uint32_t tag = TagLength(i)) {
            if (s[i + 1] == u'c') {
                currentColor = vertexColor;
                slant = 0.0f;
            } else if (s[i + 1] == u'i') {
                slant = 0.25f;
            } else {
                uint32_t value = 0;
                for (uint32_t d = 0; d < 8; ++d)
                    value = (value << 4) | HexDigit(s[i + 3 + d]);
                currentColor = value;
            }
            i += tag - 1;
            continue;
        }
        if (c < u' ')
            continue;

        const CGuiGlyph* g = font->FindGlyph(c);
        if (!g)
            continue;
        const float x0 = penX, y0 = penY, x1 = penX + g->width, y1 = penY + g->height;
        const float lean = slant * g->height;
        const GmTextVertex quad[4] = {
            {x0 + lean, y0, 0.0f, 1.0f, currentColor, g->u, g->v},
            {x1 + lean, y0, 0.0f, 1.0f, currentColor, g->u + g->du, g->v},
            {x0, y1, 0.0f, 1.0f, currentColor, g->u, g->v + g->dv},
            {x1, y1, 0.0f, 1.0f, currentColor, g->u + g->du, g->v + g->dv},
        };
        for (const GmTextVertex& v : quad)
            glyphVertices.push_back(v);
        const uint16_t base = (uint16_t)((glyphCount % kGlyphsPerDraw) * 4);
        const uint16_t indices[6] = {base,
                                     (uint16_t)(base + 1),
                                     (uint16_t)(base + 2),
                                     (uint16_t)(base + 2),
                                     (uint16_t)(base + 1),
                                     (uint16_t)(base + 3)};
        for (uint16_t index : indices)
            glyphIndices.push_back(index);
        m_glyphChars.push_back(i);
        ++glyphCount;
        if (keepGlyphBoxes)
            glyphBoxes[i] = {x0, y0, g->width, g->height};
        penX += g->width + letterSpacing;
    }
    FinishLine(lineGlyph, lineChar, n, penX - startX, false);

    // The bounds hold every quad where alignment put it.
    for (uint32_t q = 0; q < glyphCount; ++q) {
        const GmTextVertex* v = &glyphVertices[q * 4];
        float minX = v[2].x < v[0].x ? v[2].x : v[0].x;
        float maxX = v[1].x > v[3].x ? v[1].x : v[3].x;
        float minY = v[0].y, maxY = v[2].y;
        if (q == 0) {
            bounds = {minX, minY, maxX - minX, maxY - minY};
            continue;
        }
        const float right = std::fmax(bounds.x + bounds.w, maxX);
        const float bottom = std::fmax(bounds.y + bounds.h, maxY);
        bounds.x = std::fmin(bounds.x, minX);
        bounds.y = std::fmin(bounds.y, minY);
        bounds.w = right - bounds.x;
        bounds.h = bottom - bounds.y;
    }
}

GmTextBox CGmText::GetBounds()
{
    if (dirty)
        LayOut();
    GmTextBox b = bounds;
    if (clipped) {
        if (b.x + b.w > clipSize[0])
            b.w = clipSize[0] - b.x;
        if (b.y + b.h > clipSize[1])
            b.h = clipSize[1] - b.y;
    }
    return b;
}

void CGmText::Measure(const CGeWString& source, float* width, float* height) const
{
    float widest = 0.0f, line = 0.0f;
    uint32_t lines = source.Length() ? 1 : 0;
    const CGeWString prepared = PrepareText(source);
    const char16_t* s = prepared.c_str();
    for (uint32_t i = 0; i < prepared.Length(); ++i) {
        const char16_t c = s[i];
        if (c == u'\n') {
            widest = std::fmax(widest, line);
            line = 0.0f;
            ++lines;
            continue;
        }
        if (!showTags && c == u'&' && i + 1 < prepared.Length()) {
            const char16_t next = s[i + 1];
            if (next == u'c' || next == u'i') {
                ++i;
                continue;
            }
            if (next == u'0' && i + 10 < prepared.Length() && (s[i + 2] == u'x' || s[i + 2] == u'X')) {
                i += 10;
                continue;
            }
        }
        if (c < u' ')
            continue;
        line += GlyphAdvance(c);
    }
    if (width)
        *width = std::fmax(widest, line);
    if (height)
        *height = lineHeight * (float)lines;
}

uint32_t CGmText::LineAtPoint(float x, float y) const
{
    const uint32_t n = (uint32_t)glyphBoxes.size();
    uint32_t first = n, last = n;
    for (uint32_t i = 0; i < n; ++i) {
        if (glyphBoxes[i].x == kNoBox)
            continue;
        if (first == n)
            first = i;
        last = i;
    }
    if (first == n)
        return 0;
    if (y < glyphBoxes[first].y)
        return 0;
    if (y >= glyphBoxes[last].y + glyphBoxes[last].h)
        return n - 1;
    // The first line whose boxes reach below the point.
    float lineY = 0.0f;
    bool found = false;
    for (uint32_t i = first; i <= last; ++i) {
        const GmTextBox& b = glyphBoxes[i];
        if (b.x != kNoBox && y < b.y + b.h) {
            lineY = b.y;
            found = true;
            break;
        }
    }
    if (!found)
        return n - 1;
    uint32_t lastOnLine = first;
    for (uint32_t i = first; i <= last; ++i) {
        const GmTextBox& b = glyphBoxes[i];
        if (b.x == kNoBox || b.y != lineY)
            continue;
        if (b.x + b.w * 0.5f > x)
            return i;
        lastOnLine = i;
    }
    return lastOnLine;
}

void CGmText::ReserveGlyphBuffers(const CGeWString& source)
{
    const uint32_t printable = CountPrintableChars(source.c_str());
    glyphVertices.reserve(printable * 4);
    drawnVertices.reserve(printable * 4);
    glyphIndices.reserve(printable * 6);
}
