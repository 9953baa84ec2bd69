// What the render layers draw, and the screen-space quad on which every
// sprite is built.
//
// A 2D visual shows one frame of its image set through a blend mode, a colour
// and an alpha, optionally driven by a frame-animation player, as one strip
// of four pre-transformed vertices (engine flags 0x1103). The vertices of all
// 2D visuals of a device slot live in one shared vertex buffer of 64000
// vertices: a visual takes four at construction and gives them back when it
// dies. Freed places go on a free list and are taken again before the buffer
// grows further; when every place is taken, a new visual gets none, says so
// once in the log, and draws nothing.
//
// Sizes are in the units of the visual's camera (reference pixels for a
// screen sprite); the quad's corners are written by SetSize and placed by the
// concrete class's PlaceQuad, which turns them through the camera and the
// visual's world matrix when the visual draws.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeTypedObject.h"
#include "Engine/Core/Gm/GeFrame3D.h"
#include "Engine/Core/Gm/GeFrameAnim.h"
#include "Engine/Core/Gm/GmImageSet.h"

#include <cstdint>

class CGmCamera;
class CGmVertexBuffer;

// The base of every drawable.
class CGmVisualObject : public virtual CGeTypedObject {
public:
    CGmVisualObject() = default;
    virtual ~CGmVisualObject() = default;
    CGmVisualObject(const CGmVisualObject&) = delete;
    CGmVisualObject& operator=(const CGmVisualObject&) = delete;

    virtual void Update() {}
    virtual void Render() = 0;

    CGeFrame3D frame;
    uint8_t visible = 1;
};

// One vertex of a 2D quad: transformed position, diffuse colour, one pair of
// texture coordinates.
struct GmQuadVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kGmQuadVertexFlags = 0x1103;
// Vertices of one slot's shared quad buffer.
constexpr uint32_t kGmQuadBufferVertices = 64000;
// The first vertex of a quad that got no place in the shared buffer.
constexpr uint32_t kGmNoQuadPlace = 0xFFFFFFFF;

// The four vertices of one visual in strip order (top-left, top-right,
// bottom-left, bottom-right): `vertices` as drawn, `corners` as SetSize wrote
// them, before placement.
class CGmQuad2D {
public:
    GmQuadVertex vertices[4] = {};
    GmQuadVertex corners[4] = {};
    float depth = 0.0f;
    float uvOffset[2] = {0.0f, 0.0f};
    float uvSpan[2] = {1.0f, 1.0f};
    uint32_t slot = 0;
    uint32_t firstVertex = kGmNoQuadPlace;
};

// One device slot's shared quad buffer.
struct GmQuadBuffer {
    CGmVertexBuffer* buffer = nullptr;
    uint32_t nextFree = 0;          // vertices taken from the end so far
    uint32_t users = 0;             // 2D visuals of the slot
    CGeArray<uint32_t> freePlaces;  // first vertices given back below nextFree
    uint8_t fullReported = 0;
};

class CGmVisual2D : public CGmVisualObject {
public:
    // Copies the image set; typeId non-zero draws with the depth test.
    explicit CGmVisual2D(const CGmImageSet& images = CGmImageSet(), uint16_t typeId = 0);
    ~CGmVisual2D() override;

    void Update() override;
    void Render() override;
    // Writes the quad's vertex positions from its corners (placement 3 when
    // drawn: through the camera and the world matrix).
    virtual void PlaceQuad(uint32_t placement) = 0;
    // The camera through which the visual is drawn; null for none.
    virtual CGmCamera* GetCamera() = 0;

    void SetBlendMode(uint32_t mode);
    void SetColor(uint32_t rgb);
    void SetAlpha(uint8_t alpha);
    void SetUVMode(uint32_t mode);
    // The visible part of the frame, in frame units, kept inside 0, 0, 1, 1.
    void SetSubRect(const CGeRect& rect);
    // Texture-coordinate span factors: above 1 repeats the texture.
    void SetQuadParams(float a, float b);
    void SetSize(float w, float h);
    void ApplyImageSize();
    void UpdateUV();
    void SetFrame(uint32_t n);
    // Copies the player and lets it drive the frame.
    void SetFrameAnim(const CGeFrameAnim& player);
    // Null for no clip rectangle: the camera's whole screen.
    void SetClipRect(const CGeRect* rect);
    void CopyFrom(const CGmVisual2D& other);

    // The pixel offset of 2D drawing (the hub's half-pixel offset), read once.
    static float s_pixelOffset[2];
    static uint8_t s_pixelOffsetRead;
    // Live 2D visuals, program-wide.
    static int32_t s_liveCount;
    // The shared quad buffers, one per device slot.
    static GmQuadBuffer s_quadBuffers[8];

    uint32_t blendMode = 1;
    uint32_t color = 0xFFFFFFFF;
    uint8_t alpha = 255;
    uint8_t stageFlag = 1;
    uint32_t uvMode = 0;
    uint8_t mirrorChanged = 0;
    CGeRect subRect = {0.0f, 0.0f, 1.0f, 1.0f};
    CGeArray<Vec2> hotPoints; // one per image-set frame
    float size[2] = {0.0f, 0.0f};
    float sizeFactor[2] = {1.0f, 1.0f};
    uint32_t addressMode = 2;
    CGmImageSet imageSet;
    CGmQuad2D* quad = nullptr;
    CGeRect* clipRect = nullptr; // null, or &clipRectValue
    CGeRect clipRectValue = {0.0f, 0.0f, 0.0f, 0.0f};
    uint8_t quadDirty = 1;
    uint8_t placementLocked = 0;
    CGeFrameAnim* activePlayer = nullptr;
    CGeFrameAnim ownPlayer;

protected:
    // The hot point of the current frame, scaled and mirrored; imageWidth and
    // imageHeight are what a mirrored hot point is taken from.
    Vec2 HotPoint(float imageWidth, float imageHeight) const;

private:
    void InitQuad();
    void AcquireQuadBuffer();
    void ReleaseQuadBuffer();
    void WriteVertexColor();
    void DrawQuad();
};

// The vertex colour of a visual: rgb with the alpha of the blend mode's rule.
uint32_t ComputeVertexColor(uint8_t alpha, uint32_t blendMode, uint32_t rgb);

// The first two rows of the visual's world matrix applied to (x, y, 0, 1).
Vec2 TransformPoint2D(const CGmVisualObject& visual, float x, float y);

// The 2D scale factors of each device slot: reference size / back-buffer
// size, (1, 1) until the start-up computes them. A new sprite's size is its
// frame's pixel size times these, so that it keeps its pixel size on screen.
extern float g_gm2dScale[8][2];
