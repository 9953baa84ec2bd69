#include "Engine/Core/Gm/GmVisual2D.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <cstring>

float CGmVisual2D::s_pixelOffset[2] = {0.0f, 0.0f};
uint8_t CGmVisual2D::s_pixelOffsetRead = 0;
int32_t CGmVisual2D::s_liveCount = 0;
GmQuadBuffer CGmVisual2D::s_quadBuffers[8];
float g_gm2dScale[8][2] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}};

static_assert(sizeof(GmQuadVertex) == 28, "the vertex layout of flags 0x1103");
static_assert(CGeHub::kMaxDevices == 8, "one quad buffer per device slot");

namespace {

constexpr uint32_t kPrimitiveStrip = 5;
constexpr uint32_t kCullCounterClockwise = 2;

} // namespace

uint32_t ComputeVertexColor(uint8_t alpha, uint32_t blendMode, uint32_t rgb)
{
    uint32_t a = alpha;
    if (blendMode == 3)
        a = (uint8_t)~alpha;
    else if (blendMode == 4)
        a = 127u - (alpha >> 1);
    return (rgb & 0x00FFFFFFu) | (a << 24);
}

Vec2 TransformPoint2D(const CGmVisualObject& visual, float x, float y)
{
    const Matrix4& w = visual.frame.world;
    return {w.m[0] * x + w.m[1] * y + w.m[3], w.m[4] * x + w.m[5] * y + w.m[7]};
}

// ---------------------------------------------------------------------------
// Life.

CGmVisual2D::CGmVisual2D(const CGmImageSet& images, uint16_t typeId) : imageSet(images)
{
    SetTypeId(typeId);
    InitQuad();
    ApplyImageSize();
    ++s_liveCount;
}

CGmVisual2D::~CGmVisual2D()
{
    ReleaseQuadBuffer();
    delete quad;
    quad = nullptr;
    --s_liveCount;
}

void CGmVisual2D::InitQuad()
{
    blendMode = 1;
    color = 0xFFFFFFFF;
    alpha = 255;
    uvMode = 0;
    sizeFactor[0] = sizeFactor[1] = 1.0f;
    addressMode = 2;
    activePlayer = nullptr;
    clipRect = nullptr;
    hotPoints.Clear();
    for (uint32_t i = 0; i < imageSet.frameCount; ++i)
        hotPoints.Add(Vec2{0.0f, 0.0f});
    if (imageSet.texture) {
        const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
        size[0] = imageSet.framePixelSize[0] * scale[0];
        size[1] = imageSet.framePixelSize[1] * scale[1];
    } else {
        size[0] = size[1] = 0.0f;
    }
    if (quad) {
        ReleaseQuadBuffer();
        delete quad;
    }
    quad = new CGmQuad2D();
    AcquireQuadBuffer();
    WriteVertexColor();
    SetSubRect({0.0f, 0.0f, 1.0f, 1.0f});
}

// ---------------------------------------------------------------------------
// The shared quad buffer.

void CGmVisual2D::AcquireQuadBuffer()
{
    quad->slot = CGeHub::s_currentSlot;
    GmQuadBuffer& shared = s_quadBuffers[quad->slot];
    if (!shared.buffer)
        shared.buffer = new CGmVertexBuffer(kGmQuadVertexFlags, kGmQuadBufferVertices);
    ++shared.users;
    if (shared.freePlaces.Count()) {
        quad->firstVertex = shared.freePlaces[shared.freePlaces.Count() - 1];
        shared.freePlaces.RemoveAt(shared.freePlaces.Count() - 1);
    } else if (shared.nextFree + 4 <= kGmQuadBufferVertices) {
        quad->firstVertex = shared.nextFree;
        shared.nextFree += 4;
    } else {
        quad->firstVertex = kGmNoQuadPlace;
        if (!shared.fullReported)
            GeLog(1, "CGmVisual2D: all %u quads of the 2D buffer are taken; new 2D visuals are not drawn\n",
                  kGmQuadBufferVertices / 4);
        shared.fullReported = 1;
    }
}

void CGmVisual2D::ReleaseQuadBuffer()
{
    if (!quad)
        return;
    GmQuadBuffer& shared = s_quadBuffers[quad->slot];
    if (quad->firstVertex != kGmNoQuadPlace) {
        if (quad->firstVertex + 4 == shared.nextFree) {
            shared.nextFree -= 4;
            // Places freed earlier that now sit at the end go back too.
            bool shrunk = true;
            while (shrunk) {
                shrunk = false;
                for (uint32_t i = 0; i < shared.freePlaces.Count(); ++i) {
                    if (shared.freePlaces[i] + 4 == shared.nextFree) {
                        shared.nextFree -= 4;
                        shared.freePlaces.RemoveAt(i);
                        shrunk = true;
                        break;
                    }
                }
            }
        } else {
            shared.freePlaces.Add(quad->firstVertex);
        }
        quad->firstVertex = kGmNoQuadPlace;
    }
    if (shared.users)
        --shared.users;
    if (!shared.users && shared.buffer) {
        shared.buffer->Release();
        shared.buffer = nullptr;
        shared.nextFree = 0;
        shared.freePlaces.Clear();
        shared.fullReported = 0;
    }
}

// ---------------------------------------------------------------------------
// Looks.

void CGmVisual2D::WriteVertexColor()
{
    const uint32_t vertexColor = ComputeVertexColor(alpha, blendMode, color);
    for (GmQuadVertex& vertex : quad->vertices)
        vertex.color = vertexColor;
    quadDirty = 1;
}

void CGmVisual2D::SetBlendMode(uint32_t mode)
{
    blendMode = mode;
    WriteVertexColor();
}

void CGmVisual2D::SetColor(uint32_t rgb)
{
    color = rgb;
    WriteVertexColor();
}

void CGmVisual2D::SetAlpha(uint8_t value)
{
    alpha = value;
    WriteVertexColor();
}

void CGmVisual2D::SetUVMode(uint32_t mode)
{
    uvMode = mode;
    mirrorChanged = 0;
    if (activePlayer) {
        const uint32_t frameNumber = activePlayer->GetFrame();
        if (frameNumber != imageSet.currentFrame)
            imageSet.SetFrame((int32_t)frameNumber);
    } else if (imageSet.currentFrame != 0) {
        imageSet.SetFrame(0);
    }
    UpdateUV();
    quadDirty = 1;
}

void CGmVisual2D::SetSubRect(const CGeRect& rect)
{
    subRect = CGeRect::Intersect(rect, {0.0f, 0.0f, 1.0f, 1.0f});
    SetSize(size[0], size[1]);
    UpdateUV();
}

void CGmVisual2D::SetQuadParams(float a, float b)
{
    quad->uvSpan[0] = a;
    quad->uvSpan[1] = b;
    UpdateUV();
    quadDirty = 1;
}

void CGmVisual2D::SetSize(float w, float h)
{
    size[0] = w;
    size[1] = h;
    const float width = w * sizeFactor[0] * subRect.width;
    const float height = h * sizeFactor[1] * subRect.height;
    const float shiftX = subRect.x * w;
    const float shiftY = subRect.y * h;
    const float xs[4] = {0.0f, width, 0.0f, width};
    const float ys[4] = {0.0f, 0.0f, height, height};
    for (int i = 0; i < 4; ++i) {
        GmQuadVertex& corner = quad->corners[i];
        corner.x = xs[i] + shiftX;
        corner.y = ys[i] + shiftY;
        corner.z = quad->depth;
        corner.rhw = 1.0f;
    }
    quadDirty = 1;
}

void CGmVisual2D::ApplyImageSize()
{
    if (imageSet.kind == CGmImageSet::KIND_LIST) {
        const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
        SetSize(imageSet.framePixelSize[0] * scale[0], imageSet.framePixelSize[1] * scale[1]);
    }
    UpdateUV();
    quadDirty = 1;
}

void CGmVisual2D::UpdateUV()
{
    const float fu = imageSet.uvOrigin[0];
    const float fv = imageSet.uvOrigin[1];
    const float fw = imageSet.uvExtent[0];
    const float fh = imageSet.uvExtent[1];
    const float u = subRect.x * fw + fu;
    const float v = subRect.y * fh + fv;
    const float spanU = fw * subRect.width * quad->uvSpan[0];
    const float spanV = fh * subRect.height * quad->uvSpan[1];
    const float u0 = quad->uvOffset[0] + u;
    const float v0 = quad->uvOffset[1] + v;
    const float corners[4][2] = {{u0, v0}, {u0 + spanU, v0}, {u0, v0 + spanV}, {u0 + spanU, v0 + spanV}};
    // Which corner each vertex takes: mode bit 0 mirrors left-right, bit 1
    // top-bottom.
    const uint32_t flip = uvMode & 3;
    for (uint32_t i = 0; i < 4; ++i) {
        quad->vertices[i].u = corners[i ^ flip][0];
        quad->vertices[i].v = corners[i ^ flip][1];
    }
    quadDirty = 1;
}

void CGmVisual2D::SetFrame(uint32_t n)
{
    if (imageSet.currentFrame == n)
        return;
    imageSet.SetFrame((int32_t)n);
    ApplyImageSize();
}

void CGmVisual2D::SetFrameAnim(const CGeFrameAnim& player)
{
    ownPlayer = player;
    activePlayer = &ownPlayer;
}

void CGmVisual2D::SetClipRect(const CGeRect* rect)
{
    if (rect) {
        clipRectValue = *rect;
        clipRect = &clipRectValue;
    } else {
        clipRect = nullptr;
    }
    quadDirty = 1;
}

void CGmVisual2D::CopyFrom(const CGmVisual2D& other)
{
    if (this == &other)
        return;
    imageSet = other.imageSet;
    InitQuad();
    blendMode = other.blendMode;
    color = other.color;
    alpha = other.alpha;
    uvMode = other.uvMode;
    stageFlag = other.stageFlag;
    mirrorChanged = other.mirrorChanged;
    visible = other.visible;
    placementLocked = other.placementLocked;
    hotPoints = other.hotPoints;
    subRect = other.subRect;
    sizeFactor[0] = other.sizeFactor[0];
    sizeFactor[1] = other.sizeFactor[1];
    addressMode = other.addressMode;
    quad->depth = other.quad->depth;
    quad->uvOffset[0] = other.quad->uvOffset[0];
    quad->uvOffset[1] = other.quad->uvOffset[1];
    quad->uvSpan[0] = other.quad->uvSpan[0];
    quad->uvSpan[1] = other.quad->uvSpan[1];
    SetSize(other.size[0], other.size[1]);
    UpdateUV();
    WriteVertexColor();
    frame.SetMatrix(other.frame.local);
    frame.position = other.frame.position;
    frame.angles = other.frame.angles;
    frame.rotation = other.frame.rotation;
    frame.scale = other.frame.scale;
    frame.angleOrder = other.frame.angleOrder;
    frame.SetComposeMode(other.frame.composeMode);
    if (other.frame.parent)
        other.frame.parent->AddChild(&frame);
    SetClipRect(other.clipRect);
    ownPlayer = other.ownPlayer;
    if (other.activePlayer == &other.ownPlayer)
        activePlayer = &ownPlayer;
    else
        activePlayer = other.activePlayer;
}

// ---------------------------------------------------------------------------
// Frames and drawing.

Vec2 CGmVisual2D::HotPoint(float imageWidth, float imageHeight) const
{
    Vec2 h = {0.0f, 0.0f};
    const uint32_t frameNumber = imageSet.currentFrame;
    if (frameNumber < hotPoints.Count()) {
        h.x = hotPoints[frameNumber].x * sizeFactor[0];
        h.y = hotPoints[frameNumber].y * sizeFactor[1];
    }
    if (mirrorChanged) {
        if (uvMode & 1)
            h.x = imageWidth - h.x;
        if (uvMode & 2)
            h.y = imageHeight - h.y;
    }
    return h;
}

void CGmVisual2D::Update()
{
    frame.UpdateWorldMatrix();
    if (activePlayer && activePlayer->playing) {
        activePlayer->Advance();
        const uint32_t frameNumber = activePlayer->GetFrame();
        if (frameNumber != imageSet.currentFrame) {
            imageSet.SetFrame((int32_t)frameNumber);
            ApplyImageSize();
        }
    }
}

void CGmVisual2D::DrawQuad()
{
    GmQuadBuffer& shared = s_quadBuffers[quad->slot];
    if (!shared.buffer || quad->firstVertex == kGmNoQuadPlace)
        return;
    if (!s_pixelOffsetRead) {
        s_pixelOffset[0] = g_halfPixelOffsetX;
        s_pixelOffset[1] = g_halfPixelOffsetY;
        s_pixelOffsetRead = 1;
    }
    GmQuadVertex placed[4];
    for (int i = 0; i < 4; ++i) {
        placed[i] = quad->vertices[i];
        placed[i].x += s_pixelOffset[0];
        placed[i].y += s_pixelOffset[1];
    }
    // A quad placed where it already stands is not uploaded again: every
    // upload between two draws makes the driver take the whole buffer anew.
    GmQuadVertex* stored = reinterpret_cast<GmQuadVertex*>(shared.buffer->GetData()) + quad->firstVertex;
    if (memcmp(stored, placed, sizeof(placed)) == 0)
        return;
    if (!shared.buffer->LockRange(quad->firstVertex, 4))
        return;
    memcpy(stored, placed, sizeof(placed));
    shared.buffer->Unlock();
}

void CGmVisual2D::Render()
{
    if (!visible)
        return;
    frame.UpdateWorldMatrix();
    CGmCamera* camera = GetCamera();
    const bool cameraMoved = camera && (camera->frame.worldDirty || camera->frame.localDirty);
    if (quadDirty || frame.worldDirty || frame.localDirty || cameraMoved) {
        if (!placementLocked)
            PlaceQuad(3);
        DrawQuad();
        quadDirty = 0;
        placementLocked = 0;
    }
    GmQuadBuffer& shared = s_quadBuffers[quad->slot];
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device || !shared.buffer || quad->firstVertex == kGmNoQuadPlace)
        return;

    device->SetAddressU(0, addressMode);
    device->SetAddressV(0, addressMode);
    if (g_pGmRenderStateCache) {
        g_pGmRenderStateCache->SetTextureStageMode(blendMode, stageFlag);
        g_pGmRenderStateCache->SetBlendMode(blendMode, 3);
    }
    device->SetCullMode(kCullCounterClockwise);
    if (imageSet.texture)
        imageSet.texture->Bind(0);
    else if (device->CanCall())
        device->GetDevice()->SetTexture(0, nullptr);
    device->SetZEnable((GetTypeId() & 0xFFFF) != 0 ? 1 : 0);

    const bool clips = camera && (camera->GetKind() == 0 || camera->GetKind() == 1);
    if (clips)
        camera->SetClipRect(clipRect ? &clipRect->x : nullptr);
    shared.buffer->Bind();
    device->DrawPrimitive(kPrimitiveStrip, quad->firstVertex, 2);
    if (clips)
        camera->SetClipRect(nullptr);
}
