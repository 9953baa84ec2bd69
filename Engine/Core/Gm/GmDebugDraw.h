// Debug drawing: unlit, untextured lines put into the frame for inspection
// (3D lines, axes, boxes, wire spheres, the ground grid, cloth, screen lines
// and rectangles, and the outlines of collision shapes by kind).
//
// Every routine fills one of two shared dynamic vertex buffers of 8192
// vertices from vertex 0, uploads it and draws at once, so no vertex outlives
// its call. A call that needs more vertices than a buffer holds is drawn in
// pieces (a strip's piece starts at the previous piece's last vertex), never
// written past the buffer. The debug state (no lighting, no texture, the
// vertex colour, alpha blending) is set anew at every call, and 3D lines are
// given in world coordinates. Colours are 0xAARRGGBB.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CGmVertexBuffer;

// Vertices each debug buffer holds.
constexpr uint32_t kGmDebugBufferVertices = 8192;
// Vertex-element flags of the two buffers.
constexpr uint32_t kGmDebugFlags3d = 0x101;     // position, diffuse colour
constexpr uint32_t kGmDebugFlagsScreen = 0x103; // transformed position, diffuse colour

struct GmDebugVertex {
    float x, y, z;
    uint32_t color;
};

struct GmDebugScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
};

// Collision-shape kinds of the shape routines.
enum : uint32_t {
    GM_SHAPE_BOX = 1,
    GM_SHAPE_SPHERE = 2,
    GM_SHAPE_ORIENTED_BOX = 3,
    GM_SHAPE_CYLINDER = 4,
    GM_SHAPE_CAPSULE = 5,
};

// What the shape routines read of a collision shape: its caller (the
// collider) copies it from the physics geometry. Cylinders and capsules run
// along their local x axis, as the physics geometry keeps them; `height` is
// the length of the straight part.
struct GmDebugShape {
    uint32_t kind = GM_SHAPE_BOX;
    Vec3 boundsMin = {0, 0, 0};
    Vec3 boundsMax = {0, 0, 0};
    Vec3 size = {0, 0, 0};                 // full edge lengths (box kinds)
    Matrix4 rotation = Matrix4::Identity(); // the oriented box's rotation
    float radius = 0.0f;
    float height = 0.0f;
};

// The two debug vertex buffers, made by the engine hub at start-up and
// deleted at shutdown. The routines draw nothing while they are missing.
void CreateDebugBuffers();
void ReleaseDebugBuffers();
CGmVertexBuffer* GetDebugBuffer3d();
CGmVertexBuffer* GetDebugBufferScreen();

void DrawLine3D(const Vec3& from, uint32_t color, const Vec3& to);
// Lines of length 1 along the transform's three axes from its origin, in
// red, green and blue.
void DrawAxes(const Matrix4& transform);
// The 12 edges of an axis-aligned box as one strip of 16 vertices.
void DrawBox(const Vec3& centre, const Vec3& size, uint32_t color);
void DrawAabb(const Vec3& boxMin, const Vec3& boxMax, uint32_t color);
// A box of the given half sizes around the transform's origin, turned by it.
void DrawObb(const Matrix4& transform, const Vec3& halfSizes, uint32_t color);
// Three circles of 16 segments, one in each coordinate plane.
void DrawWireSphere(const Vec3& centre, float radius, uint32_t color);
// 11 lines: the ground grid from -50 to 50 at a spacing of 25, and the up axis.
void DrawWorldGrid();
// A line for each pair of points of `segments` (2 x segmentCount points), then
// for each point of `points` a line along its normal scaled by 10.
void DrawClothDebug(const Vec3* segments, uint32_t segmentCount, const Vec3* points, const Vec3* normals,
                    uint32_t pointCount, uint32_t color);
// In reference-screen pixels, through the current 2D camera.
void DrawScreenLine(const Vec2& from, const Vec2& to, uint32_t color);
void DrawScreenRect(const CGeRect& rect, uint32_t color);

// The outline of a collision shape at an entity's transform, by its kind;
// unknown kinds draw nothing.
void DrawShape(const GmDebugShape& shape, const Matrix4& transform, uint32_t color);
void DrawBoxShape(const GmDebugShape& shape, const Matrix4& transform, uint32_t color);
void DrawSphereShape(const GmDebugShape& shape, const Matrix4& transform, uint32_t color);
void DrawOrientedBoxShape(const GmDebugShape& shape, const Matrix4& transform, uint32_t color);
void DrawCylinderShape(const GmDebugShape& shape, const Matrix4& transform, uint32_t color);
void DrawCapsuleShape(const GmDebugShape& shape, const Matrix4& transform, uint32_t color);

// Draws any number of 3D vertices as a line list (2) or a line strip (3)
// through the 3D debug buffer, in pieces of at most 8192 vertices.
void DrawDebugLines(uint32_t primitiveType, const GmDebugVertex* vertices, uint32_t count);
