// Debug drawing: unlit, untextured lines put into the frame for inspection
// (3D lines, axes, boxes, wire spheres, the ground grid, cloth, screen lines
// and rectangles, and the outlines of collision shapes by kind). Cloth and
// shapes are drawn straight from the physics classes.
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

class CGeClothGeom;
class CGeCollisionGeom;
class CGeCollisionGeomAabb;
class CGeCollisionGeomBox;
class CGeCollisionGeomCapsule;
class CGeCollisionGeomCylinder;
class CGeCollisionGeomSphere;
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
// A line for each spring of the cloth between its two points (springs with
// an end beyond the points are left out), then for each point a line along
// its normal scaled by 10; the depth test is off for these lines.
void DrawClothDebug(const CGeClothGeom& cloth, uint32_t color);
// In reference-screen pixels, through the current 2D camera.
void DrawScreenLine(const Vec2& from, const Vec2& to, uint32_t color);
void DrawScreenRect(const CGeRect& rect, uint32_t color);

// The outline of a physics geom at the world pose its body gave it, by its
// kind (1 axis box, 2 sphere, 3 oriented box, 4 cylinder, 5 capsule); the
// plane, the cloth and unknown kinds draw nothing. The axis box is its
// bounding box carried from the local to the world position; cylinders and
// capsules run along the geom's local x axis, `length` being the straight
// part.
void DrawShape(const CGeCollisionGeom& geom, uint32_t color);
void DrawBoxShape(const CGeCollisionGeomAabb& box, uint32_t color);
void DrawSphereShape(const CGeCollisionGeomSphere& sphere, uint32_t color);
void DrawOrientedBoxShape(const CGeCollisionGeomBox& box, uint32_t color);
void DrawCylinderShape(const CGeCollisionGeomCylinder& cylinder, uint32_t color);
void DrawCapsuleShape(const CGeCollisionGeomCapsule& capsule, uint32_t color);
// The geom's world pose as a matrix: the world rotation's rows as columns,
// the world position as translation.
Matrix4 GeomWorldMatrix(const CGeCollisionGeom& geom);

// Draws any number of 3D vertices as a line list (2) or a line strip (3)
// through the 3D debug buffer, in pieces of at most 8192 vertices.
void DrawDebugLines(uint32_t primitiveType, const GmDebugVertex* vertices, uint32_t count);
