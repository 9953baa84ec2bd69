// Stencil shadows of scenic meshes: the shadow light and mode, a queue of
// shadow casters, the silhouette builder that turns each queued caster into
// edge quads lit from the shadow light, the shadow mesh that extrudes those
// quads away from the light, and the two-sided z-pass stencil pass that
// darkens the shadowed pixels with a full-viewport sprite.
//
// All storage is fixed: 256 casters a frame, 16384 faces per draw range (the
// face work buffer, allocated by the engine hub), 65536 quads; what does not
// fit casts no shadow. A face is lit when its normal points towards the light
// position taken in the mesh's own space as a vector from the mesh's origin;
// an edge of a lit face whose neighbour is missing or unlit is a silhouette
// edge. The render layers run the whole step (flush, mesh, stencil pass)
// between their two passes, so a frame shows the shadows of the casters
// updated in that frame.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CGmMesh;
class CGmScenicMesh;
class CGmSprite;
class CGmVertexBuffer;

// 52-byte records for at most 16384 faces of one subset.
const uint32_t kShadowFaceBufferSize = 0xD0000;
constexpr uint32_t kShadowFaceRecordBytes = 52;
constexpr uint32_t kShadowMaxFaces = 0x4000;
constexpr uint32_t kShadowMaxCasters = 256;
constexpr uint32_t kShadowMaxQuads = 0x10000;

// Stencil shadows are drawn while the shadow mode is this.
constexpr int32_t kShadowModeStencil = 2;

// Allocated by the engine hub's start-up, null before and after.
extern uint8_t* g_shadowFaceBuffer;

// 0 until the first SetShadowLight, then kShadowModeStencil.
extern int32_t g_shadowMode;
// The shadow light's position; (0, 1000, 0) before the first SetShadowLight.
extern float g_shadowLightPosition[3];
// The colour the shadowed pixels are darkened with (A8R8G8B8).
extern uint32_t g_shadowColor;

struct GmShadowCaster {
    CGmScenicMesh* object;
    Matrix4 world;
    float light[3];                // the shadow light when pushed
    CGmVertexBuffer* vertexSource; // replaces the mesh's vertices; null: the mesh's
};

// One silhouette edge in world space.
struct GmShadowQuad {
    Vec3 p0, p1;
};

extern GmShadowQuad g_shadowQuads[kShadowMaxQuads];
extern uint32_t g_shadowQuadCount;

class CGmShadowQueue {
public:
    // False when 256 casters are queued; else queues the caster with the
    // current shadow light.
    static bool Push(CGmScenicMesh* object, const Matrix4& world, CGmVertexBuffer* vertexSource);
    // Builds the silhouettes of every queued caster in push order, then
    // empties the queue.
    static void Flush();
    // Takes the object's entries out of the queue, keeping the others' order:
    // a caster destroyed between its update and the flush is not read.
    static void Forget(const CGmScenicMesh* object);

    static GmShadowCaster s_entries[kShadowMaxCasters];
    static uint32_t s_count;
};

// Appends the caster's silhouette edges to the quads.
void BuildSilhouette(const GmShadowCaster& caster);

// Stores the light's position, switches stencil shadows on and makes the
// shadow sprite over the current 2D camera's size in the colour (r, g, b, a
// in 0..1).
void SetShadowLight(const float position[3], const float color[4]);

// The quads as an extruded mesh (two triangles per quad); nothing without
// quads or the work buffer.
void BuildShadowMesh();
// The stencil pass over the shadow mesh, then the shadow sprite where the
// stencil is above 0.
void RenderShadowStencil();

CGmMesh* GetShadowMesh();
CGmSprite* GetShadowSprite();

// At shutdown: frees the face work buffer, the shadow mesh and the sprite,
// and empties the caster queue and the quads, whose objects die with the
// game that pushed them.
void ReleaseShadowResources();
