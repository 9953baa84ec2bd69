#include "Engine/Physics/GeCollisionGeom.h"

#include "Engine/Physics/GePhysWorld.h"

#include <cmath>

static void SetIdentityRows(Vec3 rows[3])
{
    rows[0] = Vec3{1.0f, 0.0f, 0.0f};
    rows[1] = Vec3{0.0f, 1.0f, 0.0f};
    rows[2] = Vec3{0.0f, 0.0f, 1.0f};
}

CGeCollisionGeom::CGeCollisionGeom()
{
    SetIdentityRows(localRotation);
    SetIdentityRows(worldRotation);
}

CGeCollisionGeom::~CGeCollisionGeom()
{
    if (space)
        space->Remove(this);
}

void CGeCollisionGeom::ComputeAABB() {}

void CGeCollisionGeom::UpdateWorldRotation(const Vec3 bodyRotation[3])
{
    // Row i of the local rotation holds the shape's axis in body coordinates;
    // the body's rows are its axes in the world.
    for (int i = 0; i < 3; ++i) {
        const Vec3& r = localRotation[i];
        worldRotation[i] = Vec3{r.x * bodyRotation[0].x + r.y * bodyRotation[1].x + r.z * bodyRotation[2].x,
                                r.x * bodyRotation[0].y + r.y * bodyRotation[1].y + r.z * bodyRotation[2].y,
                                r.x * bodyRotation[0].z + r.y * bodyRotation[1].z + r.z * bodyRotation[2].z};
    }
}

void CGeCollisionGeom::SetRotation(const Matrix4& m)
{
    for (int i = 0; i < 3; ++i)
        localRotation[i] = Vec3{m.At(0, i), m.At(1, i), m.At(2, i)};
    localPosition = Vec3{m.At(0, 3), m.At(1, 3), m.At(2, 3)};
    ComputeAABB();
}

// Kinds ----------------------------------------------------------------------

CGeCollisionGeomPlane::CGeCollisionGeomPlane()
{
    type = GEOM_PLANE;
    axisAligned = 1;
}

void CGeCollisionGeomPlane::ComputeAABB()
{
    aabbMin = Vec3{-1e30f, -1e30f, -1e30f};
    aabbMax = Vec3{1e30f, 1e30f, 1e30f};
}

static void SetBoxAround(CGeCollisionGeom& geom, const Vec3& half)
{
    const Vec3& p = geom.localPosition;
    geom.aabbMin = Vec3{p.x - half.x, p.y - half.y, p.z - half.z};
    geom.aabbMax = Vec3{p.x + half.x, p.y + half.y, p.z + half.z};
}

CGeCollisionGeomAabb::CGeCollisionGeomAabb()
{
    type = GEOM_AABB;
    axisAligned = 1;
}

void CGeCollisionGeomAabb::ComputeAABB()
{
    SetBoxAround(*this, Vec3{0.5f * size.x, 0.5f * size.y, 0.5f * size.z});
}

CGeCollisionGeomSphere::CGeCollisionGeomSphere()
{
    type = GEOM_SPHERE;
}

void CGeCollisionGeomSphere::ComputeAABB()
{
    SetBoxAround(*this, Vec3{radius, radius, radius});
}

CGeCollisionGeomBox::CGeCollisionGeomBox()
{
    type = GEOM_BOX;
}

void CGeCollisionGeomBox::ComputeAABB()
{
    // Each row is a box axis: its extent along world x is |row.x| times the
    // edge length, summed over the three axes.
    const Vec3* r = localRotation;
    const Vec3 half{
        0.5f * (std::fabs(r[0].x) * size.x + std::fabs(r[1].x) * size.y + std::fabs(r[2].x) * size.z),
        0.5f * (std::fabs(r[0].y) * size.x + std::fabs(r[1].y) * size.y + std::fabs(r[2].y) * size.z),
        0.5f * (std::fabs(r[0].z) * size.x + std::fabs(r[1].z) * size.y + std::fabs(r[2].z) * size.z)};
    SetBoxAround(*this, half);
}

CGeCollisionGeomCylinder::CGeCollisionGeomCylinder()
{
    type = GEOM_CYLINDER;
}

CGeCollisionGeomCapsule::CGeCollisionGeomCapsule()
{
    type = GEOM_CAPSULE;
}
