#include "Engine/Physics/GeClothCollide.h"

#include "Engine/Physics/GeClothMath.h"
#include "Engine/Physics/GePhysWorld.h"

#include <cmath>

using namespace cloth_math;

namespace {

// Into and out of a geom's frame.
inline Vec3 ToLocal(const CGeCollisionGeom& geom, const Vec3& p)
{
    const Vec3 d = Sub(p, geom.worldPosition);
    const Vec3* r = geom.worldRotation;
    return Vec3{Dot(r[0], d), Dot(r[1], d), Dot(r[2], d)};
}

inline Vec3 ToWorld(const CGeCollisionGeom& geom, const Vec3& q)
{
    const Vec3* r = geom.worldRotation;
    return Vec3{r[0].x * q.x + r[1].x * q.y + r[2].x * q.z + geom.worldPosition.x,
                r[0].y * q.x + r[1].y * q.y + r[2].y * q.z + geom.worldPosition.y,
                r[0].z * q.x + r[1].z * q.y + r[2].z * q.z + geom.worldPosition.z};
}

inline float Get(const Vec3& v, int axis)
{
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}

inline void Set(Vec3& v, int axis, float value)
{
    if (axis == 0)
        v.x = value;
    else if (axis == 1)
        v.y = value;
    else
        v.z = value;
}

// Pushes q out to a radius around centre when it lies closer than that.
inline bool PushOutOfBall(Vec3& q, const Vec3& centre, float radius)
{
    const Vec3 d = Sub(q, centre);
    if (!(Dot(d, d) < radius * radius))
        return false;
    q = Add(centre, Scale(UnitOr(d), radius + kClothEps));
    return true;
}

// The rounded box [lo, hi] with edges rounded by margin m. Returns whether q
// moved. The axis box counts its faces as inside, the oriented box does not.
bool PushOutOfRoundedBox(Vec3& q, const Vec3& lo, const Vec3& hi, float m, bool facesInside)
{
    for (int axis = 0; axis < 3; ++axis) {
        const float v = Get(q, axis), l = Get(lo, axis), h = Get(hi, axis);
        const bool inside = facesInside ? (v >= l && v <= h) : (v > l && v < h);
        if (!inside)
            return false;
    }
    // The nearest point of the inner box on the axes where q lies beyond it.
    Vec3 c = q;
    int beyond = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const float v = Get(q, axis);
        if (v < Get(lo, axis) + m) {
            Set(c, axis, Get(lo, axis) + m);
            ++beyond;
        } else if (v > Get(hi, axis) - m) {
            Set(c, axis, Get(hi, axis) - m);
            ++beyond;
        }
    }
    if (beyond >= 2)
        return PushOutOfBall(q, c, m); // an edge or a corner: out of its rounding

    // A face region: out through the nearest face, x before y before z on ties.
    int best = 0;
    float bestDistance = 0.0f, bestValue = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float v = Get(q, axis);
        const bool upper = v > 0.0f;
        const float distance = upper ? Get(hi, axis) - v : v - Get(lo, axis);
        if (axis == 0 || distance < bestDistance) {
            best = axis;
            bestDistance = distance;
            bestValue = upper ? Get(hi, axis) + kClothEps : Get(lo, axis) - kClothEps;
        }
    }
    Set(q, best, bestValue);
    return true;
}

void CollidePlane(CGeClothGeom& cloth, const CGeCollisionGeom& geom)
{
    const Vec3 normal = geom.worldRotation[0];
    const Vec3 origin = geom.worldPosition;
    for (ClothPoint& p : cloth.points) {
        const float s = Dot(normal, Sub(p.position, origin));
        if (s < 0.0f)
            p.position = Add(p.position, Scale(normal, kClothEps - s));
    }
}

void CollideAabb(CGeClothGeom& cloth, const CGeCollisionGeom& geom)
{
    // The bounds hold the box in its body's frame around the local position;
    // the box keeps that extent around its world position.
    const Vec3 lo = Sub(geom.aabbMin, geom.localPosition);
    const Vec3 hi = Sub(geom.aabbMax, geom.localPosition);
    const float m = cloth.constants.margin;
    for (ClothPoint& p : cloth.points) {
        Vec3 q = Sub(p.position, geom.worldPosition);
        if (PushOutOfRoundedBox(q, lo, hi, m, true))
            p.position = Add(q, geom.worldPosition);
    }
}

void CollideSphere(CGeClothGeom& cloth, const CGeCollisionGeom& geom)
{
    const float radius = static_cast<const CGeCollisionGeomSphere&>(geom).radius;
    for (ClothPoint& p : cloth.points)
        PushOutOfBall(p.position, geom.worldPosition, radius);
}

void CollideBox(CGeClothGeom& cloth, const CGeCollisionGeom& geom)
{
    const Vec3 size = static_cast<const CGeCollisionGeomBox&>(geom).size;
    const Vec3 hi{0.5f * size.x, 0.5f * size.y, 0.5f * size.z};
    const Vec3 lo{-hi.x, -hi.y, -hi.z};
    const float m = cloth.constants.margin;
    for (ClothPoint& p : cloth.points) {
        Vec3 q = ToLocal(geom, p.position);
        // The centre itself has no nearest face; lift it off first.
        if (std::fabs(q.x) < kClothEps && std::fabs(q.y) < kClothEps && std::fabs(q.z) < kClothEps)
            q = Vec3{0.0f, kClothEps, 0.0f};
        if (PushOutOfRoundedBox(q, lo, hi, m, false))
            p.position = ToWorld(geom, q);
    }
}

// Out of the cylinder along x of half length h and radius r, its rims rounded
// by m. Returns whether q moved.
bool PushOutOfRoundedCylinder(Vec3& q, float h, float r, float m)
{
    const float radial = q.y * q.y + q.z * q.z;
    if (!(q.x > -h && q.x < h && radial < r * r))
        return false;
    const float rho = std::sqrt(radial);
    const float innerR = r - m, innerH = h - m;
    // On the axis there is no direction to a rim: the caps take such points
    // even when the margin exceeds the radius.
    if ((q.x < -innerH || q.x > innerH) && rho > innerR && radial > kClothEps) {
        const Vec3 rim{q.x < 0.0f ? -innerH : innerH, innerR * q.y / rho, innerR * q.z / rho};
        return PushOutOfBall(q, rim, m);
    }
    const float side = radial > kClothEps ? r - rho : 1.0e30f;
    if (side <= 0.0f)
        return false;
    const float toLow = q.x + h, toHigh = h - q.x;
    if (side < toLow && side < toHigh) {
        const float k = (r + kClothEps) / rho;
        q = Vec3{q.x, q.y * k, q.z * k};
    } else {
        q.x = toLow > toHigh ? h + kClothEps : -h - kClothEps;
    }
    return true;
}

void CollideCylinder(CGeClothGeom& cloth, const CGeCollisionGeom& geom)
{
    const auto& cylinder = static_cast<const CGeCollisionGeomCylinder&>(geom);
    const float h = 0.5f * cylinder.length, r = cylinder.radius, m = cloth.constants.margin;
    for (ClothPoint& p : cloth.points) {
        Vec3 q = ToLocal(geom, p.position);
        if (PushOutOfRoundedCylinder(q, h, r, m))
            p.position = ToWorld(geom, q);
    }
}

// Out of the capsule along x: a segment of half length h swept by radius r.
bool PushOutOfCapsule(Vec3& q, float h, float r)
{
    // The capsule's bounding box rejects most points; what passes meets the
    // exact tests below.
    if (!(std::fabs(q.x) < h + r && std::fabs(q.y) < r && std::fabs(q.z) < r))
        return false;
    if (q.x < -h || q.x > h)
        return PushOutOfBall(q, Vec3{q.x < 0.0f ? -h : h, 0.0f, 0.0f}, r);
    const float radial = q.y * q.y + q.z * q.z;
    if (!(radial < r * r && radial > kClothEps))
        return false; // a point on the axis has no way out to choose
    const float k = (r + kClothEps) / std::sqrt(radial);
    q = Vec3{q.x, q.y * k, q.z * k};
    return true;
}

void CollideCapsule(CGeClothGeom& cloth, const CGeCollisionGeom& geom)
{
    const auto& capsule = static_cast<const CGeCollisionGeomCylinder&>(geom);
    const float h = 0.5f * capsule.length, r = capsule.radius;
    for (ClothPoint& p : cloth.points) {
        Vec3 q = ToLocal(geom, p.position);
        if (PushOutOfCapsule(q, h, r))
            p.position = ToWorld(geom, q);
    }
}

void CollideBody(CGeClothGeom& cloth, const CGeRigidBody& body)
{
    for (const CGeCollisionGeom* geom = body.firstGeom; geom; geom = geom->next) {
        if (geom->type <= GEOM_CAPSULE)
            ClothCollideTable[geom->type](cloth, *geom);
    }
}

} // namespace

const ClothCollideFunction ClothCollideTable[6] = {
    CollidePlane, CollideAabb, CollideSphere, CollideBox, CollideCylinder, CollideCapsule,
};

void ClothCollideWorld(CGeClothGeom& cloth)
{
    for (const CGeRigidBody* body = g_collisionWorld.firstBody; body; body = body->nextBody)
        CollideBody(cloth, *body);
    for (const CGePhysGroup* group = g_collisionWorld.firstChild; group; group = group->nextSibling) {
        for (const CGeRigidBody* body = group->firstBody; body; body = body->nextBody)
            CollideBody(cloth, *body);
    }
}
