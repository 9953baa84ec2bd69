// The sweep tests of the first pair table that do not split by octant: rays,
// spheres and boxes against planes and spheres, and the tests against an
// oriented box, which work in the box's frame.
#include "Engine/Physics/GeColliderPairTests.h"

#include <cmath>

#include "Engine/Physics/GeColliderMath.h"

using namespace collider_math;

namespace {

// A vector in a frame given by three axes, and back.
Vec3 ToFrame(const Vec3 axes[3], const Vec3& v) { return Vec3{Dot(axes[0], v), Dot(axes[1], v), Dot(axes[2], v)}; }
Vec3 FromFrame(const Vec3 axes[3], const Vec3& v)
{
    return Add(Add(Scale(axes[0], v.x), Scale(axes[1], v.y)), Scale(axes[2], v.z));
}

float Component(const Vec3& v, int k) { return k == 0 ? v.x : (k == 1 ? v.y : v.z); }

// The ray-sphere test on any origin and direction (the sphere sweep reuses it).
void RaySphere(const Vec3& origin, const Vec3& direction, const Vec3& centre, float radius,
               CGeCollisionQuery& query)
{
    const Vec3 m = Sub(centre, origin);
    const float r2 = radius * radius;
    const float m2 = Dot(m, m);
    if (r2 > m2) {
        query.hit = 1;
        query.startsInside = 1;
        return;
    }
    const float b = Dot(m, direction);
    const float c2 = m2 - b * b;
    if (b <= 0.0f || c2 >= r2)
        return;
    query.hit = 1;
    query.t = c2 >= kColliderEpsilon ? b - SqrtF(r2 - c2) : b - radius;
    query.point = PointAlong(direction, origin, query.t);
    Vec3 normal = Sub(query.point, centre);
    normal.Normalize();
    query.normal = normal;
}

// The end of the plane tests: the point and normal of an unswapped or a
// swapped call (in a swapped call the plane is the caller's mover).
void PlaneContact(const CGeColliderPlane& plane, const Vec3& moverPoint, const Vec3& normal,
                  CGeCollisionQuery& query)
{
    if (!query.swapped) {
        query.point = PointAlong(query.direction, moverPoint, query.t);
        query.normal = normal;
    } else {
        query.point = PointAlong(query.direction, Scale(plane.normal, plane.d), -query.t);
        query.normal = Scale(normal, -1.0f);
    }
}

// A box for the separating-axis sweep: centre, axes, half extents and its world bounds.
struct SatBox {
    Vec3 centre;
    Vec3 axes[3];
    float half[3];
    CGeColliderAabb* bounds;
};

// The swept separating-axis test in the mover's frame over the mover's three
// axes, the other's three and their nine cross products.
void SweepBoxes(const SatBox& a, const SatBox& b, CGeCollisionQuery& query)
{
    if (query.octant >= 8)
        return;
    CGeCollisionQuery boundsQuery = query;
    boundsQuery.boundsOnly = 1;
    boundsQuery.hit = 0;
    AabbAabbOctant[query.octant](a.bounds, b.bounds, boundsQuery);
    if (!boundsQuery.hit)
        return;

    // Near-parallel edges make cross products of almost zero length, where
    // rounding could separate boxes that overlap; the epsilon keeps them together.
    const float kParallelEpsilon = 1.0e-6f;
    float r[3][3];
    float absR[3][3];
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            r[i][j] = Dot(a.axes[i], b.axes[j]);
            absR[i][j] = std::fabs(r[i][j]) + kParallelEpsilon;
        }
    }
    const Vec3 tv = ToFrame(a.axes, Sub(b.centre, a.centre));
    const Vec3 dv = ToFrame(a.axes, query.direction);
    const float t[3] = {tv.x, tv.y, tv.z};
    const float d[3] = {dv.x, dv.y, dv.z};

    float tFirst = -kColliderHuge;
    float tLast = kColliderHuge;
    int overlapCount = 0;
    Vec3 contactAxis = {1.0f, 0.0f, 0.0f};
    float contactSign = 1.0f;

    auto testAxis = [&](const Vec3& axis, float ra, float centre, float rb, float speed) {
        float sign = 1.0f;
        const int result = SweepAxisInterval(-ra, ra, centre - rb, centre + rb, speed, tFirst, tLast,
                                             overlapCount, sign);
        if (result == 2) {
            contactAxis = axis;
            contactSign = sign;
        }
        return result != 0;
    };

    for (int i = 0; i < 3; i++) {
        const Vec3 axis = {i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f};
        const float rb = b.half[0] * absR[i][0] + b.half[1] * absR[i][1] + b.half[2] * absR[i][2];
        if (!testAxis(axis, a.half[i], t[i], rb, d[i]))
            return;
    }
    for (int j = 0; j < 3; j++) {
        const Vec3 axis = {r[0][j], r[1][j], r[2][j]};
        const float ra = a.half[0] * absR[0][j] + a.half[1] * absR[1][j] + a.half[2] * absR[2][j];
        const float centre = t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j];
        const float speed = d[0] * r[0][j] + d[1] * r[1][j] + d[2] * r[2][j];
        if (!testAxis(axis, ra, centre, b.half[j], speed))
            return;
    }
    for (int i = 0; i < 3; i++) {
        const int i1 = (i + 1) % 3;
        const int i2 = (i + 2) % 3;
        for (int j = 0; j < 3; j++) {
            const int j1 = (j + 1) % 3;
            const int j2 = (j + 2) % 3;
            // mover axis i x other axis j, in the mover's frame
            float axisParts[3];
            axisParts[i] = 0.0f;
            axisParts[i1] = -r[i2][j];
            axisParts[i2] = r[i1][j];
            const Vec3 axis = {axisParts[0], axisParts[1], axisParts[2]};
            const float ra = a.half[i1] * absR[i2][j] + a.half[i2] * absR[i1][j];
            const float rb = b.half[j1] * absR[i][j2] + b.half[j2] * absR[i][j1];
            const float centre = t[i2] * r[i1][j] - t[i1] * r[i2][j];
            const float speed = d[i2] * r[i1][j] - d[i1] * r[i2][j];
            if (!testAxis(axis, ra, centre, rb, speed))
                return;
        }
    }

    query.hit = 1;
    if (overlapCount == 15) {
        query.startsInside = 1;
        return;
    }
    query.t = tFirst;
    query.point = PointAlong(query.direction, a.centre, tFirst);
    Vec3 normal = FromFrame(a.axes, Scale(contactAxis, contactSign));
    normal.Normalize();
    query.normal = normal;
}

SatBox AabbSatBox(CGeColliderAabb* box)
{
    SatBox s;
    s.centre = box->GetCenter();
    s.axes[0] = Vec3{1.0f, 0.0f, 0.0f};
    s.axes[1] = Vec3{0.0f, 1.0f, 0.0f};
    s.axes[2] = Vec3{0.0f, 0.0f, 1.0f};
    s.half[0] = (box->max.x - box->min.x) * 0.5f;
    s.half[1] = (box->max.y - box->min.y) * 0.5f;
    s.half[2] = (box->max.z - box->min.z) * 0.5f;
    s.bounds = box;
    return s;
}

SatBox OrientedSatBox(CGeColliderBox* box)
{
    SatBox s;
    s.centre = box->centre;
    for (int k = 0; k < 3; k++)
        s.axes[k] = box->axis[k];
    s.half[0] = box->size.x * 0.5f;
    s.half[1] = box->size.y * 0.5f;
    s.half[2] = box->size.z * 0.5f;
    s.bounds = &box->bounds;
    return s;
}

} // namespace

int SweepAxisInterval(float a0, float a1, float b0, float b1, float speed, float& tFirst, float& tLast,
                      int& overlapCount, float& sign)
{
    if (b1 < a0) {
        if (speed >= 0.0f)
            return 0;
        int result = 1;
        const float t = (b1 - a0) / speed;
        if (t > tFirst) {
            tFirst = t;
            sign = 1.0f;
            result = 2;
        }
        tLast = FloatMin(tLast, (b0 - a1) / speed);
        return tFirst > tLast ? 0 : result;
    }
    if (a1 < b0) {
        if (speed <= 0.0f)
            return 0;
        int result = 1;
        const float t = (b0 - a1) / speed;
        if (t > tFirst) {
            tFirst = t;
            sign = -1.0f;
            result = 2;
        }
        tLast = FloatMin(tLast, (b1 - a0) / speed);
        return tFirst > tLast ? 0 : result;
    }
    if (speed > 0.0f)
        tLast = FloatMin(tLast, (b1 - a0) / speed);
    else if (speed < 0.0f)
        tLast = FloatMin(tLast, (b0 - a1) / speed);
    if (tLast < tFirst)
        return 0;
    overlapCount++;
    return 1;
}

void SweepRayPlane(CGeCollider* rayPrimitive, CGeCollider* planePrimitive, CGeCollisionQuery& query)
{
    const auto* ray = static_cast<const CGeRayProbe*>(rayPrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const float denominator = Dot(plane->normal, ray->direction);
    if (denominator >= 0.0f)
        return;
    const float num = Dot(plane->normal, Sub(Scale(plane->normal, plane->d), ray->origin));
    query.hit = 1;
    if (num > 0.0f) {
        query.startsInside = 1;
        return;
    }
    query.t = num / denominator;
    query.point = RayPointAt(*ray, query.t);
    query.normal = plane->normal;
}

void SweepRaySphere(CGeCollider* rayPrimitive, CGeCollider* spherePrimitive, CGeCollisionQuery& query)
{
    const auto* ray = static_cast<const CGeRayProbe*>(rayPrimitive);
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    RaySphere(ray->origin, ray->direction, sphere->centre, sphere->radius, query);
}

void SweepRayBox(CGeCollider* rayPrimitive, CGeCollider* boxPrimitive, CGeCollisionQuery& query)
{
    const auto* ray = static_cast<const CGeRayProbe*>(rayPrimitive);
    const auto* box = static_cast<const CGeColliderBox*>(boxPrimitive);
    CGeRayProbe localRay(ToFrame(box->axis, Sub(ray->origin, box->centre)), ToFrame(box->axis, ray->direction));
    const Vec3 half = Scale(box->size, 0.5f);
    CGeColliderAabb localBox(Scale(half, -1.0f), half);
    CGeCollisionQuery local;
    local.boundsOnly = query.boundsOnly;
    local.octant = DirectionOctant(localRay.direction);
    RayAabbOctant[local.octant](&localRay, &localBox, local);
    if (!local.hit)
        return;
    query.hit = 1;
    if (local.startsInside) {
        query.startsInside = 1;
        return;
    }
    if (query.boundsOnly)
        return;
    query.t = local.t;
    query.point = RayPointAt(*ray, local.t);
    for (int k = 0; k < 3; k++) {
        const float n = Component(local.normal, k);
        if (n != 0.0f) {
            query.normal = Scale(box->axis[k], n);
            return;
        }
    }
    // Not reached by the octant test, which always names an entry face; kept
    // so that a normal is always written: the one facing the ray.
    Vec3 back = Scale(ray->direction, -1.0f);
    back.Normalize();
    query.normal = back;
}

void SweepAabbPlane(CGeCollider* boxPrimitive, CGeCollider* planePrimitive, CGeCollisionQuery& query)
{
    const auto* box = static_cast<const CGeColliderAabb*>(boxPrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const Vec3& n = plane->normal;
    const Vec3 support = {n.x > 0.0f ? box->min.x : box->max.x, n.y > 0.0f ? box->min.y : box->max.y,
                          n.z > 0.0f ? box->min.z : box->max.z};
    const float denominator = Dot(n, query.direction);
    if (!(denominator < 0.0f))
        return;
    const float num = Dot(n, Sub(Scale(n, plane->d), support));
    query.hit = 1;
    if (num > 0.0f) {
        query.startsInside = 1;
        return;
    }
    query.t = num / denominator;
    PlaneContact(*plane, support, n, query);
}

void SweepSpherePlane(CGeCollider* spherePrimitive, CGeCollider* planePrimitive, CGeCollisionQuery& query)
{
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const Vec3& n = plane->normal;
    const float denominator = Dot(n, query.direction);
    if (denominator >= 0.0f)
        return;
    const float num = Dot(n, Sub(Scale(n, plane->d + sphere->radius), sphere->centre));
    query.hit = 1;
    if (num > 0.0f) {
        query.startsInside = 1;
        return;
    }
    query.t = num / denominator;
    PlaneContact(*plane, sphere->centre, n, query);
}

// An oriented box is stopped by a plane from either side: the side it starts on
// decides which way it must move and which way the contact normal faces.
void SweepBoxPlane(CGeCollider* boxPrimitive, CGeCollider* planePrimitive, CGeCollisionQuery& query)
{
    const auto* box = static_cast<const CGeColliderBox*>(boxPrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const Vec3& n = plane->normal;
    const float offset = Dot(n, box->centre) - plane->d;
    const float side = offset < 0.0f ? -1.0f : 1.0f;
    const float denominator = Dot(n, query.direction);
    if (side * denominator > 0.0f)
        return;
    const float radius = std::fabs(Dot(n, box->axis[0])) * box->size.x * 0.5f +
                         std::fabs(Dot(n, box->axis[1])) * box->size.y * 0.5f +
                         std::fabs(Dot(n, box->axis[2])) * box->size.z * 0.5f;
    const float gap = std::fabs(plane->d - Dot(n, box->centre)) - radius;
    if (gap < 0.0f) {
        query.hit = 1;
        query.startsInside = 1;
        return;
    }
    if (denominator == 0.0f)
        return;
    query.hit = 1;
    query.t = gap / std::fabs(denominator);
    PlaneContact(*plane, box->centre, Scale(n, side), query);
}

void SweepSphereSphere(CGeCollider* moverPrimitive, CGeCollider* spherePrimitive, CGeCollisionQuery& query)
{
    const auto* mover = static_cast<const CGeColliderSphere*>(moverPrimitive);
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    RaySphere(mover->centre, query.direction, sphere->centre, mover->radius + sphere->radius, query);
}

void SweepSphereBox(CGeCollider* spherePrimitive, CGeCollider* boxPrimitive, CGeCollisionQuery& query)
{
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    const auto* box = static_cast<const CGeColliderBox*>(boxPrimitive);
    CGeColliderSphere localSphere(ToFrame(box->axis, Sub(sphere->centre, box->centre)), sphere->radius);
    const Vec3 half = Scale(box->size, 0.5f);
    CGeColliderAabb localBox(Scale(half, -1.0f), half);
    CGeCollisionQuery local;
    local.direction = ToFrame(box->axis, query.direction);
    local.octant = DirectionOctant(local.direction);
    local.swapped = query.swapped;
    SweepSphereAabb(&localSphere, &localBox, local);
    if (!local.hit)
        return;
    query.hit = 1;
    if (local.startsInside) {
        query.startsInside = 1;
        return;
    }
    query.t = local.t;
    query.point = Add(box->centre, FromFrame(box->axis, local.point));
    query.normal = FromFrame(box->axis, local.normal);
}

void SweepAabbBox(CGeCollider* moverPrimitive, CGeCollider* boxPrimitive, CGeCollisionQuery& query)
{
    SweepBoxes(AabbSatBox(static_cast<CGeColliderAabb*>(moverPrimitive)),
               OrientedSatBox(static_cast<CGeColliderBox*>(boxPrimitive)), query);
}

void SweepBoxBox(CGeCollider* moverPrimitive, CGeCollider* boxPrimitive, CGeCollisionQuery& query)
{
    SweepBoxes(OrientedSatBox(static_cast<CGeColliderBox*>(moverPrimitive)),
               OrientedSatBox(static_cast<CGeColliderBox*>(boxPrimitive)), query);
}
