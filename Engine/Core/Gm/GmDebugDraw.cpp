#include "Engine/Core/Gm/GmDebugDraw.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GeCollider.h"
#include "Engine/Physics/GeCollisionGeom.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kLineList = 2;
constexpr uint32_t kLineStrip = 3;
constexpr float kTwoPi = 6.28318531f;
constexpr float kHalfPi = 1.57079633f;

CGmVertexBuffer* s_buffer3d = nullptr;
CGmVertexBuffer* s_bufferScreen = nullptr;

static_assert(sizeof(GmDebugVertex) == 16, "the layout of flags 0x101");
static_assert(sizeof(GmDebugScreenVertex) == 20, "the layout of flags 0x103");

// No lighting or texture: the vertex colour, blended by its alpha; 3D lines
// are in world coordinates.
void ApplyDebugState(bool world)
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device)
        return;
    if (g_pGmRenderStateCache) {
        g_pGmRenderStateCache->SetTextureStageMode(0, 0);
        g_pGmRenderStateCache->SetBlendMode(0, 0);
    }
    device->SetLighting(0);
    if (world)
        device->ResetWorldTransform();
    if (device->CanCall())
        device->GetDevice()->SetRenderState(D3DRS_VERTEXBLEND, 0);
}

// Writes the vertices from vertex 0 and binds the buffer; false when there is
// no buffer or nothing to write.
bool Fill(CGmVertexBuffer* buffer, const void* vertices, uint32_t count, uint32_t stride)
{
    if (!buffer || count == 0 || count > kGmDebugBufferVertices || !buffer->LockRange(0, count))
        return false;
    memcpy(buffer->m_lockPointer, vertices, size_t(count) * stride);
    buffer->Unlock();
    buffer->Bind();
    return true;
}

uint32_t PrimitiveCount(uint32_t type, uint32_t vertices)
{
    return type == kLineList ? vertices / 2 : (vertices ? vertices - 1 : 0);
}

void Draw(uint32_t type, uint32_t first, uint32_t vertices)
{
    const uint32_t primitives = PrimitiveCount(type, vertices);
    if (g_pGmDevice && primitives)
        g_pGmDevice->DrawPrimitive(type, first, primitives);
}

GmDebugVertex V(const Vec3& p, uint32_t color)
{
    return {p.x, p.y, p.z, color};
}

Vec3 Add(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 Scale(const Vec3& a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}

Matrix4 Translation(const Vec3& p)
{
    Matrix4 m = Matrix4::Identity();
    m.m[3] = p.x;
    m.m[7] = p.y;
    m.m[11] = p.z;
    return m;
}

// The box's 16-vertex strip over its eight corners (bit 0: x, bit 1: y,
// bit 2: z at the maximum side): the bottom square, up, round the top, and
// the three remaining verticals by going down and up again.
void WriteBoxStrip(const Vec3 corners[8], uint32_t color, GmDebugVertex out[16])
{
    static const uint8_t kOrder[16] = {0, 1, 3, 2, 0, 4, 5, 7, 6, 4, 5, 1, 3, 7, 6, 2};
    for (int i = 0; i < 16; ++i)
        out[i] = V(corners[kOrder[i]], color);
}

void DrawBoxCorners(const Vec3 corners[8], uint32_t color)
{
    GmDebugVertex strip[16];
    WriteBoxStrip(corners, color, strip);
    DrawDebugLines(kLineStrip, strip, 16);
}

// `segments` + 1 points of a circle (or an arc from a0 to a1) of radius r in
// the plane of the unit axes u and v around centre, each through the transform.
void WriteArc(const Matrix4& m, const Vec3& centre, const Vec3& u, const Vec3& v, float r, float a0, float a1,
              uint32_t segments, uint32_t color, GmDebugVertex* out)
{
    for (uint32_t i = 0; i <= segments; ++i) {
        const float a = a0 + (a1 - a0) * float(i) / float(segments);
        const Vec3 p = Add(centre, Add(Scale(u, r * std::cos(a)), Scale(v, r * std::sin(a))));
        out[i] = V(MatrixTransformPoint(m, p), color);
    }
}

} // namespace

void CreateDebugBuffers()
{
    ReleaseDebugBuffers();
    s_buffer3d = new CGmVertexBuffer(kGmDebugFlags3d, kGmDebugBufferVertices);
    s_bufferScreen = new CGmVertexBuffer(kGmDebugFlagsScreen, kGmDebugBufferVertices);
}

void ReleaseDebugBuffers()
{
    if (s_buffer3d)
        s_buffer3d->Release();
    if (s_bufferScreen)
        s_bufferScreen->Release();
    s_buffer3d = nullptr;
    s_bufferScreen = nullptr;
}

CGmVertexBuffer* GetDebugBuffer3d()
{
    return s_buffer3d;
}

CGmVertexBuffer* GetDebugBufferScreen()
{
    return s_bufferScreen;
}

void DrawDebugLines(uint32_t primitiveType, const GmDebugVertex* vertices, uint32_t count)
{
    if (!s_buffer3d || count < 2)
        return;
    ApplyDebugState(true);
    // A list is cut at an even count; a strip's next piece repeats the last
    // vertex so that no segment is lost.
    const uint32_t step = primitiveType == kLineList ? kGmDebugBufferVertices : kGmDebugBufferVertices - 1;
    for (uint32_t first = 0; first + 1 < count; first += step) {
        const uint32_t n = std::min(count - first, kGmDebugBufferVertices);
        if (Fill(s_buffer3d, vertices + first, n, sizeof(GmDebugVertex)))
            Draw(primitiveType, 0, n);
    }
}

void DrawLine3D(const Vec3& from, uint32_t color, const Vec3& to)
{
    const GmDebugVertex line[2] = {V(from, color), V(to, color)};
    DrawDebugLines(kLineList, line, 2);
}

void DrawAxes(const Matrix4& transform)
{
    const Vec3 origin = {transform.m[3], transform.m[7], transform.m[11]};
    static const uint32_t kColors[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    GmDebugVertex lines[6];
    for (int axis = 0; axis < 3; ++axis) {
        const Vec3 end = Add(origin, {transform.At(0, axis), transform.At(1, axis), transform.At(2, axis)});
        lines[2 * axis] = V(origin, kColors[axis]);
        lines[2 * axis + 1] = V(end, kColors[axis]);
    }
    DrawDebugLines(kLineList, lines, 6);
}

void DrawBox(const Vec3& centre, const Vec3& size, uint32_t color)
{
    Vec3 corners[8];
    for (int i = 0; i < 8; ++i)
        corners[i] = {centre.x + size.x * ((i & 1) ? 0.5f : -0.5f), centre.y + size.y * ((i & 2) ? 0.5f : -0.5f),
                      centre.z + size.z * ((i & 4) ? 0.5f : -0.5f)};
    DrawBoxCorners(corners, color);
}

void DrawAabb(const Vec3& boxMin, const Vec3& boxMax, uint32_t color)
{
    DrawBox(Scale(Add(boxMin, boxMax), 0.5f), {boxMax.x - boxMin.x, boxMax.y - boxMin.y, boxMax.z - boxMin.z},
            color);
}

void DrawObb(const Matrix4& transform, const Vec3& halfSizes, uint32_t color)
{
    Vec3 corners[8];
    for (int i = 0; i < 8; ++i)
        corners[i] = MatrixTransformPoint(transform, {(i & 1) ? halfSizes.x : -halfSizes.x,
                                                      (i & 2) ? halfSizes.y : -halfSizes.y,
                                                      (i & 4) ? halfSizes.z : -halfSizes.z});
    DrawBoxCorners(corners, color);
}

void DrawWireSphere(const Vec3& centre, float radius, uint32_t color)
{
    const Matrix4 m = Translation(centre);
    const Vec3 x = {1, 0, 0}, y = {0, 1, 0}, z = {0, 0, 1}, o = {0, 0, 0};
    GmDebugVertex circle[17];
    WriteArc(m, o, x, y, radius, 0.0f, kTwoPi, 16, color, circle);
    DrawDebugLines(kLineStrip, circle, 17);
    WriteArc(m, o, y, z, radius, 0.0f, kTwoPi, 16, color, circle);
    DrawDebugLines(kLineStrip, circle, 17);
    WriteArc(m, o, z, x, radius, 0.0f, kTwoPi, 16, color, circle);
    DrawDebugLines(kLineStrip, circle, 17);
}

void DrawWorldGrid()
{
    constexpr uint32_t kGrid = 0xFF808080;
    constexpr uint32_t kUp = 0xFF00FF00;
    GmDebugVertex lines[22];
    uint32_t n = 0;
    for (int i = 0; i < 5; ++i) {
        const float at = -50.0f + 25.0f * float(i);
        lines[n++] = V({-50.0f, 0.0f, at}, kGrid);
        lines[n++] = V({50.0f, 0.0f, at}, kGrid);
        lines[n++] = V({at, 0.0f, -50.0f}, kGrid);
        lines[n++] = V({at, 0.0f, 50.0f}, kGrid);
    }
    lines[n++] = V({0.0f, 0.0f, 0.0f}, kUp);
    lines[n++] = V({0.0f, 50.0f, 0.0f}, kUp);
    DrawDebugLines(kLineList, lines, n);
}

void DrawClothDebug(const CGeClothGeom& cloth, uint32_t color)
{
    // Built in pieces of one buffer each, so that a large cloth allocates
    // nothing and never writes past the buffer.
    GmDebugVertex piece[512];
    uint32_t n = 0;
    auto flush = [&] {
        DrawDebugLines(kLineList, piece, n);
        n = 0;
    };
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(0);
    const uint32_t count = cloth.points.count;
    for (const ClothSpring& spring : cloth.springs) {
        if (spring.i >= count || spring.j >= count)
            continue;
        piece[n++] = V(cloth.points[spring.i].position, color);
        piece[n++] = V(cloth.points[spring.j].position, color);
        if (n == 512)
            flush();
    }
    for (const ClothPoint& point : cloth.points) {
        piece[n++] = V(point.position, color);
        piece[n++] = V(Add(point.position, Scale(point.normal, 10.0f)), color);
        if (n == 512)
            flush();
    }
    flush();
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(1);
}

namespace {

void DrawScreenVertices(uint32_t type, const Vec2* points, uint32_t count, uint32_t color)
{
    if (!s_bufferScreen || count < 2 || count > 16)
        return;
    ApplyDebugState(false);
    CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    const Matrix4 m = camera ? camera->GetViewProjection() : Matrix4::Identity();
    GmDebugScreenVertex vertices[16];
    for (uint32_t i = 0; i < count; ++i) {
        const Vec4 p = MatrixTransformVector4(m, {points[i].x, points[i].y, 0.0f, 1.0f});
        vertices[i] = {p.x, p.y, 0.0f, 1.0f, color};
    }
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(0);
    if (Fill(s_bufferScreen, vertices, count, sizeof(GmDebugScreenVertex)))
        Draw(type, 0, count);
}

} // namespace

void DrawScreenLine(const Vec2& from, const Vec2& to, uint32_t color)
{
    const Vec2 points[2] = {from, to};
    DrawScreenVertices(kLineList, points, 2, color);
}

void DrawScreenRect(const CGeRect& rect, uint32_t color)
{
    const float x1 = rect.x + rect.width, y1 = rect.y + rect.height;
    const Vec2 points[5] = {{rect.x, rect.y}, {x1, rect.y}, {x1, y1}, {rect.x, y1}, {rect.x, rect.y}};
    DrawScreenVertices(kLineStrip, points, 5, color);
}

Matrix4 GeomWorldMatrix(const CGeCollisionGeom& geom)
{
    Matrix4 m = Matrix4::Identity();
    for (int c = 0; c < 3; ++c) {
        m.At(0, c) = geom.worldRotation[c].x;
        m.At(1, c) = geom.worldRotation[c].y;
        m.At(2, c) = geom.worldRotation[c].z;
    }
    m.m[3] = geom.worldPosition.x;
    m.m[7] = geom.worldPosition.y;
    m.m[11] = geom.worldPosition.z;
    return m;
}

void DrawShape(const CGeCollisionGeom& geom, uint32_t color)
{
    switch (geom.type) {
    case GEOM_AABB: DrawBoxShape(static_cast<const CGeCollisionGeomAabb&>(geom), color); break;
    case GEOM_SPHERE: DrawSphereShape(static_cast<const CGeCollisionGeomSphere&>(geom), color); break;
    case GEOM_BOX: DrawOrientedBoxShape(static_cast<const CGeCollisionGeomBox&>(geom), color); break;
    case GEOM_CYLINDER: DrawCylinderShape(static_cast<const CGeCollisionGeomCylinder&>(geom), color); break;
    case GEOM_CAPSULE: DrawCapsuleShape(static_cast<const CGeCollisionGeomCapsule&>(geom), color); break;
    default: break;
    }
}

void DrawBoxShape(const CGeCollisionGeomAabb& box, uint32_t color)
{
    // The bounds are kept around the local position; the box stands at the
    // world position with the same extent, as the cloth collides with it.
    const Vec3 offset = {box.worldPosition.x - box.localPosition.x, box.worldPosition.y - box.localPosition.y,
                         box.worldPosition.z - box.localPosition.z};
    DrawAabb(Add(box.aabbMin, offset), Add(box.aabbMax, offset), color);
}

void DrawSphereShape(const CGeCollisionGeomSphere& sphere, uint32_t color)
{
    const Matrix4 m = GeomWorldMatrix(sphere);
    const Vec3 x = {1, 0, 0}, y = {0, 1, 0}, z = {0, 0, 1}, o = {0, 0, 0};
    GmDebugVertex ring[21];
    WriteArc(m, o, x, z, sphere.radius, 0.0f, kTwoPi, 20, color, ring);
    DrawDebugLines(kLineStrip, ring, 21);
    WriteArc(m, o, x, y, sphere.radius, 0.0f, kTwoPi, 20, color, ring);
    DrawDebugLines(kLineStrip, ring, 21);
}

void DrawOrientedBoxShape(const CGeCollisionGeomBox& box, uint32_t color)
{
    // The collision primitive's box set to the geom's size and world pose
    // gives the axes and centre the outline is drawn with.
    CGeColliderBox shape;
    shape.SetSizeAndRotation(box.size, GeomWorldMatrix(box));
    const Matrix4 pose = MatrixMultiply3x4(Translation(shape.centre), MatrixFromAxes(shape.axis[0], shape.axis[1],
                                                                                      shape.axis[2]));
    DrawObb(pose, Scale(shape.size, 0.5f), color);
}

namespace {

// The cylinder part along local x: rings of 10 segments at both ends and the
// middle (strips at vertices 0, 11 and 22), then 10 lines joining the end
// rings (a list from vertex 33). Returns the vertices written.
uint32_t WriteCylinder(const CGeCollisionGeomCylinder& shape, const Matrix4& m, uint32_t color, GmDebugVertex* out)
{
    const Vec3 y = {0, 1, 0}, z = {0, 0, 1};
    const float half = shape.length * 0.5f;
    WriteArc(m, {-half, 0, 0}, y, z, shape.radius, 0.0f, kTwoPi, 10, color, out);
    WriteArc(m, {0, 0, 0}, y, z, shape.radius, 0.0f, kTwoPi, 10, color, out + 11);
    WriteArc(m, {half, 0, 0}, y, z, shape.radius, 0.0f, kTwoPi, 10, color, out + 22);
    for (uint32_t i = 0; i < 10; ++i) {
        out[33 + 2 * i] = out[i];
        out[34 + 2 * i] = out[22 + i];
    }
    return 53;
}

void DrawCylinderPieces(const GmDebugVertex* vertices, uint32_t count)
{
    ApplyDebugState(true);
    if (!Fill(s_buffer3d, vertices, count, sizeof(GmDebugVertex)))
        return;
    Draw(kLineStrip, 0, 11);
    Draw(kLineStrip, 11, 11);
    Draw(kLineStrip, 22, 11);
    Draw(kLineList, 33, 20);
    if (count > 53) {
        Draw(kLineStrip, 53, 10);
        Draw(kLineStrip, 63, 10);
    }
}

} // namespace

void DrawCylinderShape(const CGeCollisionGeomCylinder& cylinder, uint32_t color)
{
    GmDebugVertex vertices[53];
    DrawCylinderPieces(vertices, WriteCylinder(cylinder, GeomWorldMatrix(cylinder), color, vertices));
}

void DrawCapsuleShape(const CGeCollisionGeomCapsule& capsule, uint32_t color)
{
    // Each cap a half circle of 9 segments over its end, from -pi/2 to pi/2.
    const Matrix4 transform = GeomWorldMatrix(capsule);
    GmDebugVertex vertices[73];
    WriteCylinder(capsule, transform, color, vertices);
    const float half = capsule.length * 0.5f;
    const Vec3 x = {1, 0, 0}, y = {0, 1, 0};
    WriteArc(transform, {half, 0, 0}, x, y, capsule.radius, -kHalfPi, kHalfPi, 9, color, vertices + 53);
    WriteArc(transform, {-half, 0, 0}, Scale(x, -1.0f), y, capsule.radius, -kHalfPi, kHalfPi, 9, color,
             vertices + 63);
    DrawCylinderPieces(vertices, 73);
}
