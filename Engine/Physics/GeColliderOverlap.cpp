// The overlap tests of the second pair table: do two resting primitives share a
// point? Each test that can be costly starts with a cheap bounds rejection.
#include "Engine/Physics/GeColliderDispatch.h"
#include "Engine/Physics/GeColliderPairTests.h"

#include <cmath>

#include "Engine/Physics/GeColliderMath.h"

using namespace collider_math;

namespace {

float DistanceSquaredToBox(const Vec3& mn, const Vec3& mx, const Vec3& c)
{
    const float cs[3] = {c.x, c.y, c.z};
    const float lo[3] = {mn.x, mn.y, mn.z};
    const float hi[3] = {mx.x, mx.y, mx.z};
    float sum = 0.0f;
    for (int k = 0; k < 3; k++) {
        if (cs[k] < lo[k])
            sum += (lo[k] - cs[k]) * (lo[k] - cs[k]);
        else if (cs[k] > hi[k])
            sum += (cs[k] - hi[k]) * (cs[k] - hi[k]);
    }
    return sum;
}

// Fifteen-axis separating test of box A (axes, half extents) against box B,
// with T = B's centre minus A's in A's frame and R(i, j) = A axis i . B axis j.
// No epsilon: touching boxes overlap, as the overlap table defines.
int32_t BoxesOverlap(const Vec3 aAxes[3], const float a[3], const Vec3& aCentre, const Vec3 bAxes[3],
                     const float b[3], const Vec3& bCentre)
{
    float r[3][3], absR[3][3];
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            r[i][j] = Dot(aAxes[i], bAxes[j]);
            absR[i][j] = std::fabs(r[i][j]);
        }
    }
    const Vec3 d = Sub(bCentre, aCentre);
    const float t[3] = {Dot(d, aAxes[0]), Dot(d, aAxes[1]), Dot(d, aAxes[2])};
    for (int i = 0; i < 3; i++) {
        const float rb = b[0] * absR[i][0] + b[1] * absR[i][1] + b[2] * absR[i][2];
        if (std::fabs(t[i]) > a[i] + rb)
            return 0;
    }
    for (int j = 0; j < 3; j++) {
        const float ra = a[0] * absR[0][j] + a[1] * absR[1][j] + a[2] * absR[2][j];
        if (std::fabs(t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j]) > ra + b[j])
            return 0;
    }
    for (int i = 0; i < 3; i++) {
        const int i1 = (i + 1) % 3;
        const int i2 = (i + 2) % 3;
        for (int j = 0; j < 3; j++) {
            const int j1 = (j + 1) % 3;
            const int j2 = (j + 2) % 3;
            const float ra = a[i1] * absR[i2][j] + a[i2] * absR[i1][j];
            const float rb = b[j1] * absR[i][j2] + b[j2] * absR[i][j1];
            if (std::fabs(t[i2] * r[i1][j] - t[i1] * r[i2][j]) > ra + rb)
                return 0;
        }
    }
    return 1;
}

const Vec3 kWorldAxes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

void HalfSize(const Vec3& size, float out[3])
{
    out[0] = size.x * 0.5f;
    out[1] = size.y * 0.5f;
    out[2] = size.z * 0.5f;
}

// The five points of a frustum, apex first, and the point each plane passes
// through (sides through corners 1 to 4, the base through corner 1).
void FrustumPoints(const CGeColliderFrustum& f, Vec3 points[5])
{
    points[0] = f.apex;
    for (int i = 0; i < 4; i++)
        points[i + 1] = f.corners[i];
}

const Vec3& PlanePoint(const CGeColliderFrustum& f, int plane) { return f.corners[plane < 4 ? plane : 0]; }

// The frustum's eight edges: apex to each corner, then around the base.
void FrustumEdge(const Vec3 points[5], int edge, Vec3& from, Vec3& to)
{
    if (edge < 4) {
        from = points[0];
        to = points[edge + 1];
    } else {
        from = points[edge - 3];
        to = points[edge == 7 ? 1 : edge - 2];
    }
}

// [lo, hi] of points projected on an axis, against [-radius, radius].
bool SeparatedOn(const Vec3& axis, const Vec3* points, int count, float radius)
{
    float lo = kColliderHuge;
    float hi = -kColliderHuge;
    for (int i = 0; i < count; i++) {
        const float p = Dot(axis, points[i]);
        lo = FloatMin(lo, p);
        hi = MaxF(hi, p);
    }
    return lo >= radius || hi <= -radius;
}

} // namespace

int32_t OverlapDispatch(CGeCollider* first, CGeCollider* second)
{
    const uint32_t a = first->GetClass();
    const uint32_t b = second->GetClass();
    if (a >= kPairTableSide || b >= kPairTableSide)
        return 0;
    const OverlapPairCell& cell = OverlapPairTable[a * kPairTableSide + b];
    if (!cell.test)
        return 0;
    return cell.swapped ? cell.test(second, first) : cell.test(first, second);
}

int32_t OverlapPlanePlane(CGeCollider* a, CGeCollider* b)
{
    const float cosine = Dot(static_cast<CGeColliderPlane*>(a)->normal, static_cast<CGeColliderPlane*>(b)->normal);
    return 1.0f - std::fabs(cosine) > kColliderEpsilon ? 1 : 0;
}

int32_t OverlapAabbPlane(CGeCollider* boxPrimitive, CGeCollider* planePrimitive)
{
    const auto* box = static_cast<const CGeColliderAabb*>(boxPrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const Vec3& n = plane->normal;
    const Vec3 c = box->GetCenter();
    const float distance = std::fabs(Dot(n, Sub(Scale(n, plane->d), c)));
    const float radius = std::fabs(n.x * (box->max.x - c.x)) + std::fabs(n.y * (box->max.y - c.y)) +
                         std::fabs(n.z * (box->max.z - c.z));
    return distance - radius < 0.0f ? 1 : 0;
}

int32_t OverlapAabbAabb(CGeCollider* a, CGeCollider* b)
{
    return AabbOverlap(*static_cast<CGeColliderAabb*>(a), *static_cast<CGeColliderAabb*>(b)) ? 1 : 0;
}

int32_t OverlapAabbSphere(CGeCollider* boxPrimitive, CGeCollider* spherePrimitive)
{
    const auto* box = static_cast<const CGeColliderAabb*>(boxPrimitive);
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    return DistanceSquaredToBox(box->min, box->max, sphere->centre) <= sphere->radius * sphere->radius ? 1 : 0;
}

int32_t OverlapAabbBox(CGeCollider* aabbPrimitive, CGeCollider* boxPrimitive)
{
    auto* aabb = static_cast<CGeColliderAabb*>(aabbPrimitive);
    auto* box = static_cast<CGeColliderBox*>(boxPrimitive);
    if (!AabbOverlap(box->bounds, *aabb))
        return 0;
    const float a[3] = {(aabb->max.x - aabb->min.x) * 0.5f, (aabb->max.y - aabb->min.y) * 0.5f,
                        (aabb->max.z - aabb->min.z) * 0.5f};
    float b[3];
    HalfSize(box->size, b);
    return BoxesOverlap(kWorldAxes, a, aabb->GetCenter(), box->axis, b, box->centre);
}

int32_t OverlapSpherePlane(CGeCollider* spherePrimitive, CGeCollider* planePrimitive)
{
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const Vec3& n = plane->normal;
    return std::fabs(Dot(n, Sub(Scale(n, plane->d), sphere->centre))) < sphere->radius ? 1 : 0;
}

bool SphereSphereOverlap(const CGeColliderSphere& a, const CGeColliderSphere& b)
{
    const Vec3 d = Sub(a.centre, b.centre);
    const float reach = a.radius + b.radius;
    return Dot(d, d) <= reach * reach;
}

int32_t OverlapSphereSphere(CGeCollider* a, CGeCollider* b)
{
    return SphereSphereOverlap(*static_cast<CGeColliderSphere*>(a), *static_cast<CGeColliderSphere*>(b)) ? 1 : 0;
}

int32_t OverlapSphereBox(CGeCollider* spherePrimitive, CGeCollider* boxPrimitive)
{
    const auto* sphere = static_cast<const CGeColliderSphere*>(spherePrimitive);
    const auto* box = static_cast<const CGeColliderBox*>(boxPrimitive);
    const Vec3 rel = Sub(sphere->centre, box->centre);
    const Vec3 p = {Dot(box->axis[0], rel), Dot(box->axis[1], rel), Dot(box->axis[2], rel)};
    const Vec3 h = Scale(box->size, 0.5f);
    return DistanceSquaredToBox(Scale(h, -1.0f), h, p) <= sphere->radius * sphere->radius ? 1 : 0;
}

int32_t OverlapBoxPlane(CGeCollider* boxPrimitive, CGeCollider* planePrimitive)
{
    const auto* box = static_cast<const CGeColliderBox*>(boxPrimitive);
    const auto* plane = static_cast<const CGeColliderPlane*>(planePrimitive);
    const Vec3& n = plane->normal;
    const float distance = std::fabs(Dot(n, Sub(Scale(n, plane->d), box->centre)));
    const float radius = std::fabs(box->size.x * 0.5f * Dot(n, box->axis[0])) +
                         std::fabs(box->size.y * 0.5f * Dot(n, box->axis[1])) +
                         std::fabs(box->size.z * 0.5f * Dot(n, box->axis[2]));
    return distance - radius < 0.0f ? 1 : 0;
}

int32_t OverlapBoxBox(CGeCollider* aPrimitive, CGeCollider* bPrimitive)
{
    auto* a = static_cast<CGeColliderBox*>(aPrimitive);
    auto* b = static_cast<CGeColliderBox*>(bPrimitive);
    if (!AabbOverlap(a->bounds, b->bounds))
        return 0;
    float ha[3], hb[3];
    HalfSize(a->size, ha);
    HalfSize(b->size, hb);
    return BoxesOverlap(a->axis, ha, a->centre, b->axis, hb, b->centre);
}

int32_t OverlapComposite(CGeCollider* x, CGeCollider* compositePrimitive)
{
    auto* composite = static_cast<CGeColliderComposite*>(compositePrimitive);
    if (!OverlapDispatch(x, &composite->bounds))
        return 0;
    for (const CGeColliderNode* leaf = CompositeFirstLeaf(*composite); leaf; leaf = CompositeNextLeaf(leaf)) {
        CGeCollider* posed = CompositePoseChild(*composite, leaf);
        if (posed && OverlapDispatch(x, posed))
            return 1;
    }
    return 0;
}

int32_t OverlapCompositeComposite(CGeCollider* aPrimitive, CGeCollider* bPrimitive)
{
    auto* a = static_cast<CGeColliderComposite*>(aPrimitive);
    auto* b = static_cast<CGeColliderComposite*>(bPrimitive);
    if (!AabbOverlap(a->bounds, b->bounds))
        return 0;
    for (const CGeColliderNode* leafA = CompositeFirstLeaf(*a); leafA; leafA = CompositeNextLeaf(leafA)) {
        CGeCollider* posedA = CompositePoseChild(*a, leafA);
        if (!posedA)
            continue;
        for (const CGeColliderNode* leafB = CompositeFirstLeaf(*b); leafB; leafB = CompositeNextLeaf(leafB)) {
            CGeCollider* posedB = CompositePoseChild(*b, leafB);
            if (posedB && OverlapDispatch(posedA, posedB))
                return 1;
        }
    }
    return 0;
}

int32_t OverlapFrustumAabb(CGeCollider* frustumPrimitive, CGeCollider* boxPrimitive)
{
    auto* frustum = static_cast<CGeColliderFrustum*>(frustumPrimitive);
    auto* box = static_cast<CGeColliderAabb*>(boxPrimitive);
    if (!AabbOverlap(*box, frustum->bounds))
        return 0;
    const Vec3 centre = box->GetCenter();
    const Vec3 h = {(box->max.x - box->min.x) * 0.5f, (box->max.y - box->min.y) * 0.5f,
                    (box->max.z - box->min.z) * 0.5f};
    Vec3 points[5];
    FrustumPoints(*frustum, points);
    for (Vec3& p : points)
        p = Sub(p, centre);

    // Face planes: the whole box on the outer side of one (touching separates).
    for (int i = 0; i < 5; i++) {
        const Vec3& n = frustum->planes[i].normal;
        const float radius = std::fabs(n.x * h.x) + std::fabs(n.y * h.y) + std::fabs(n.z * h.z);
        if (Dot(n, Sub(PlanePoint(*frustum, i), centre)) + radius <= 0.0f)
            return 0;
    }
    // Box axes.
    const float hs[3] = {h.x, h.y, h.z};
    for (int k = 0; k < 3; k++) {
        if (SeparatedOn(kWorldAxes[k], points, 5, hs[k]))
            return 0;
    }
    // Edge axes: each edge crossed with each world axis.
    Vec3 world[5];
    FrustumPoints(*frustum, world);
    for (int e = 0; e < 8; e++) {
        Vec3 from, to;
        FrustumEdge(world, e, from, to);
        const Vec3 edge = Sub(to, from);
        for (const Vec3& axis : kWorldAxes) {
            const Vec3 l = Vec3::Cross(axis, edge);
            const float radius = std::fabs(l.x * h.x) + std::fabs(l.y * h.y) + std::fabs(l.z * h.z);
            if (!(radius > kColliderEpsilon))
                continue;
            if (SeparatedOn(l, points, 5, radius))
                return 0;
        }
    }
    return 1;
}

int32_t OverlapFrustumSphere(CGeCollider* frustumPrimitive, CGeCollider* spherePrimitive)
{
    auto* frustum = static_cast<CGeColliderFrustum*>(frustumPrimitive);
    auto* sphere = static_cast<CGeColliderSphere*>(spherePrimitive);
    const Vec3& c = sphere->centre;
    const float r = sphere->radius;
    Vec3 points[5];
    FrustumPoints(*frustum, points);
    for (Vec3& p : points)
        p = Sub(p, c);

    // With unit normals this is the centre's distance outside each plane.
    for (int i = 0; i < 5; i++) {
        if (Dot(frustum->planes[i].normal, Sub(c, PlanePoint(*frustum, i))) >= r)
            return 0;
    }
    for (int i = 0; i < 5; i++) {
        Vec3 axis = points[i];
        axis.Normalize();
        if (SeparatedOn(axis, points, 5, r))
            return 0;
    }
    for (int e = 0; e < 8; e++) {
        Vec3 from, to;
        FrustumEdge(points, e, from, to);
        const Vec3 edge = Sub(to, from);
        Vec3 axis = Vec3::Cross(Vec3::Cross(edge, from), edge);
        axis.Normalize();
        if (SeparatedOn(axis, points, 5, r))
            return 0;
    }
    return 1;
}

int32_t OverlapFrustumBox(CGeCollider* frustumPrimitive, CGeCollider* boxPrimitive)
{
    auto* frustum = static_cast<CGeColliderFrustum*>(frustumPrimitive);
    auto* box = static_cast<CGeColliderBox*>(boxPrimitive);
    if (!AabbOverlap(box->bounds, frustum->bounds))
        return 0;
    auto toBox = [&](const Vec3& p) {
        const Vec3 rel = Sub(p, box->centre);
        return Vec3{Dot(box->axis[0], rel), Dot(box->axis[1], rel), Dot(box->axis[2], rel)};
    };
    Vec3 corners[4];
    for (int i = 0; i < 4; i++)
        corners[i] = toBox(frustum->corners[i]);
    CGeColliderFrustum local;
    local.Build(toBox(frustum->apex), corners);
    const Vec3 h = Scale(box->size, 0.5f);
    CGeColliderAabb localBox(Scale(h, -1.0f), h);
    return OverlapFrustumAabb(&local, &localBox);
}
