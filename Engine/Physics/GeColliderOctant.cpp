// The octant sweep families. Each algorithm is written once, for octant 0 (a
// direction with no negative component), on plain float triples. Member i
// mirrors its inputs on the axes whose octant bit is set, runs that algorithm
// and mirrors the contact point and normal back. The mirror is a compile-time
// choice per axis and negation is exact, so no member branches on a sign and
// member i gives bit for bit the octant-0 answer to the mirrored problem.
#include "Engine/Physics/GeColliderPairTests.h"

#include <cmath>

namespace {

struct Triple {
    float v[3];
};

// The result of an octant-0 algorithm, before it is mirrored back.
struct OctantResult {
    bool hit = false;
    bool startsInside = false;
    bool contact = false; // t, point and normal were found
    float t = 0.0f;
    Triple point{};
    Triple normal{};
};

template <unsigned O>
struct Mirror {
    static constexpr bool kFlip[3] = {(O & 4) != 0, (O & 2) != 0, (O & 1) != 0};

    static Triple Point(const Vec3& p)
    {
        return Triple{{kFlip[0] ? -p.x : p.x, kFlip[1] ? -p.y : p.y, kFlip[2] ? -p.z : p.z}};
    }
    static Vec3 Back(const Triple& p)
    {
        return Vec3{kFlip[0] ? -p.v[0] : p.v[0], kFlip[1] ? -p.v[1] : p.v[1], kFlip[2] ? -p.v[2] : p.v[2]};
    }
    // On a mirrored axis the box's old max, negated, is its new min.
    static void Box(const Vec3& mn, const Vec3& mx, Triple& outMin, Triple& outMax)
    {
        outMin = Triple{{kFlip[0] ? -mx.x : mn.x, kFlip[1] ? -mx.y : mn.y, kFlip[2] ? -mx.z : mn.z}};
        outMax = Triple{{kFlip[0] ? -mn.x : mx.x, kFlip[1] ? -mn.y : mx.y, kFlip[2] ? -mn.z : mx.z}};
    }
};

void Write(const OctantResult& r, const Vec3& point, const Vec3& normal, CGeCollisionQuery& query)
{
    if (!r.hit)
        return;
    query.hit = 1;
    if (r.startsInside)
        query.startsInside = 1;
    if (r.contact) {
        query.t = r.t;
        query.point = point;
        query.normal = normal;
    }
}

// True when the line through the origin along d misses the box [lo, hi] seen
// along some axis pair. A value of exactly 0 grazes an edge and passes.
bool SilhouetteMiss(const Triple& d, const Triple& lo, const Triple& hi)
{
    static const int kPairs[3][2] = {{0, 1}, {1, 2}, {2, 0}};
    for (const auto& pair : kPairs) {
        const int u = pair[0];
        const int v = pair[1];
        if (d.v[u] * lo.v[v] - d.v[v] * hi.v[u] > 0.0f || d.v[u] * hi.v[v] - d.v[v] * lo.v[u] < 0.0f)
            return true;
    }
    return false;
}

// The latest near-plane time over the moving axes, x then y then z, equal times
// keeping the earlier axis; -1e30 and axis x when no axis moves.
float EntryTime(const Triple& d, const Triple& nearOffset, int& axis)
{
    float best = -kColliderHuge;
    axis = 0;
    for (int k = 0; k < 3; k++) {
        if (d.v[k] != 0.0f) {
            const float candidate = nearOffset.v[k] / d.v[k];
            if (candidate > best) {
                best = candidate;
                axis = k;
            }
        }
    }
    return best;
}

Triple Along(const Triple& origin, const Triple& d, float t)
{
    return Triple{{origin.v[0] + d.v[0] * t, origin.v[1] + d.v[1] * t, origin.v[2] + d.v[2] * t}};
}

float DistanceSquaredToBox(const Triple& mn, const Triple& mx, const Triple& c)
{
    float sum = 0.0f;
    for (int k = 0; k < 3; k++) {
        if (c.v[k] < mn.v[k])
            sum += (mn.v[k] - c.v[k]) * (mn.v[k] - c.v[k]);
        else if (c.v[k] > mx.v[k])
            sum += (c.v[k] - mx.v[k]) * (c.v[k] - mx.v[k]);
    }
    return sum;
}

// Inlined into each member: picking runs it once per candidate member.
__attribute__((always_inline)) inline OctantResult RayAabb0(const Triple& o, const Triple& d, const Triple& mn, const Triple& mx, bool boundsOnly)
{
    OctantResult r;
    Triple lo, hi;
    for (int k = 0; k < 3; k++) {
        lo.v[k] = mn.v[k] - o.v[k];
        hi.v[k] = mx.v[k] - o.v[k];
    }
    if (SilhouetteMiss(d, lo, hi))
        return r;
    if (o.v[0] <= mn.v[0] || o.v[1] <= mn.v[1] || o.v[2] <= mn.v[2]) {
        if (boundsOnly) {
            r.hit = true;
            return r;
        }
        int axis;
        const float entry = EntryTime(d, lo, axis);
        // An origin on a face plane that the ray runs along can leave only
        // entry times behind it: the ray grazes the face or leaves the box.
        if (entry < 0.0f)
            return r;
        r.hit = true;
        r.contact = true;
        r.t = entry;
        r.point = Along(o, d, entry);
        r.normal.v[axis] = -1.0f;
        return r;
    }
    if (o.v[0] < mx.v[0] && o.v[1] < mx.v[1] && o.v[2] < mx.v[2]) {
        r.hit = true;
        r.startsInside = true;
    }
    return r;
}

OctantResult AabbAabb0(const Triple& aMin, const Triple& aMax, const Triple& bMin, const Triple& bMax,
                       const Triple& d, bool boundsOnly)
{
    OctantResult r;
    Triple lo, hi;
    for (int k = 0; k < 3; k++) {
        lo.v[k] = bMin.v[k] - aMax.v[k];
        hi.v[k] = bMax.v[k] - aMin.v[k];
    }
    if (SilhouetteMiss(d, lo, hi))
        return r;
    for (int k = 0; k < 3; k++) {
        if (!(bMax.v[k] > aMin.v[k]))
            return r; // behind the mover
    }
    if (boundsOnly) {
        r.hit = true;
        return r;
    }
    int axis;
    const float entry = EntryTime(d, lo, axis);
    if (entry >= 0.0f) {
        r.hit = true;
        r.contact = true;
        r.t = entry;
        const Triple centre = {{(aMin.v[0] + aMax.v[0]) * 0.5f, (aMin.v[1] + aMax.v[1]) * 0.5f,
                                (aMin.v[2] + aMax.v[2]) * 0.5f}};
        r.point = Along(centre, d, entry);
        r.normal.v[axis] = -1.0f;
        return r;
    }
    // A box that does not move starts inside only when the boxes overlap now.
    if (d.v[0] == 0.0f && d.v[1] == 0.0f && d.v[2] == 0.0f) {
        for (int k = 0; k < 3; k++) {
            if (!(aMin.v[k] < bMax.v[k] && bMin.v[k] < aMax.v[k]))
                return r;
        }
    }
    r.hit = true;
    r.startsInside = true;
    return r;
}

// Edges bordering the three near faces in octant 0: the edge's axis and, for
// each axis, whether its fixed coordinate is the box's max (ignored on the
// edge's own axis).
struct BoxEdge {
    int axis;
    bool useMax[3];
};
const BoxEdge kNearEdges[9] = {
    {0, {false, false, false}}, {2, {false, false, false}}, {1, {false, false, false}},
    {1, {true, false, false}},  {0, {false, true, false}},  {2, {false, true, false}},
    {1, {false, false, true}},  {0, {false, false, true}},  {2, {true, false, false}},
};
// The corners other than the far one, in the order they are tried.
const bool kNearCorners[7][3] = {
    {false, false, false}, {true, false, false}, {true, true, false}, {false, true, false},
    {false, true, true},   {false, false, true}, {true, false, true},
};

OctantResult SphereAabb0(const Triple& c, float r, const Triple& d, const Triple& mn, const Triple& mx,
                         bool swapped)
{
    OctantResult result;
    const Triple boxCentre = {{(mn.v[0] + mx.v[0]) * 0.5f, (mn.v[1] + mx.v[1]) * 0.5f, (mn.v[2] + mx.v[2]) * 0.5f}};

    // Faces: the near faces pushed out by the radius.
    float best = -kColliderHuge;
    int faceAxis = -1;
    for (int k = 0; k < 3; k++) {
        if (d.v[k] > 0.0f) {
            const float plane = mn.v[k] - r;
            if (c.v[k] - plane <= 0.0f) {
                const float candidate = (plane - c.v[k]) / d.v[k];
                if (candidate > best) {
                    best = candidate;
                    faceAxis = k;
                }
            }
        }
    }
    if (faceAxis >= 0) {
        Triple p = Along(c, d, best);
        p.v[faceAxis] += r;
        const int u = (faceAxis + 1) % 3;
        const int v = (faceAxis + 2) % 3;
        if (mn.v[u] <= p.v[u] && p.v[u] <= mx.v[u] && mn.v[v] <= p.v[v] && p.v[v] <= mx.v[v]) {
            result.hit = true;
            result.contact = true;
            result.t = best;
            if (!swapped) {
                result.point = Along(c, d, best);
                result.normal.v[faceAxis] = -1.0f;
            } else {
                result.point = Along(boxCentre, d, -best);
                result.normal.v[faceAxis] = 1.0f;
            }
            return result;
        }
    } else if (DistanceSquaredToBox(mn, mx, c) <= r * r) {
        result.hit = true;
        result.startsInside = true;
    }

    // Edges, then corners: the earliest contact on the near side.
    best = kColliderHuge;
    const float r2 = r * r;
    Triple s{}, q{};
    for (const BoxEdge& edge : kNearEdges) {
        const int a = edge.axis;
        const int u = (a + 1) % 3;
        const int v = (a + 2) % 3;
        const float pu = edge.useMax[u] ? mx.v[u] : mn.v[u];
        const float pv = edge.useMax[v] ? mx.v[v] : mn.v[v];
        const float qq = d.v[u] * d.v[u] + d.v[v] * d.v[v];
        if (!(qq > 0.0f))
            continue;
        const float mu = c.v[u] - pu;
        const float mv = c.v[v] - pv;
        const float b = mu * d.v[u] + mv * d.v[v];
        const float k = mu * mu + mv * mv - r2;
        const float disc = b * b - qq * k;
        if (disc < 0.0f)
            continue;
        const float time = (-b - SqrtF(disc)) / qq;
        if (time < 0.0f)
            continue;
        const float x = c.v[a] + d.v[a] * time;
        if (time < best && mn.v[a] <= x && x <= mx.v[a]) {
            best = time;
            s = Along(c, d, time);
            q.v[a] = x;
            q.v[u] = pu;
            q.v[v] = pv;
        }
    }
    for (const auto& corner : kNearCorners) {
        const Triple p = {{corner[0] ? mx.v[0] : mn.v[0], corner[1] ? mx.v[1] : mn.v[1], corner[2] ? mx.v[2] : mn.v[2]}};
        const Triple m = {{c.v[0] - p.v[0], c.v[1] - p.v[1], c.v[2] - p.v[2]}};
        const float b = -(m.v[0] * d.v[0] + m.v[1] * d.v[1] + m.v[2] * d.v[2]);
        if (!(b > 0.0f))
            continue;
        const float k = m.v[0] * m.v[0] + m.v[1] * m.v[1] + m.v[2] * m.v[2] - b * b;
        if (!(k < r2))
            continue;
        // Takes d as a unit vector, as the group queries pass it.
        const float time = k >= kColliderEpsilon ? b - SqrtF(r2 - k) : b - r;
        if (time < best) {
            best = time;
            s = Along(c, d, time);
            q = p;
        }
    }
    if (best < kColliderHuge) {
        result.hit = true;
        result.contact = true;
        result.t = best;
        Vec3 n = {q.v[0] - s.v[0], q.v[1] - s.v[1], q.v[2] - s.v[2]};
        n.Normalize();
        if (!swapped) {
            result.point = s;
            result.normal = Triple{{-n.x, -n.y, -n.z}};
        } else {
            result.point = Along(boxCentre, d, -best);
            result.normal = Triple{{n.x, n.y, n.z}};
        }
    }
    return result;
}

template <unsigned O>
void RayAabbMember(CGeCollider* mover, CGeCollider* obstacle, CGeCollisionQuery& query)
{
    const auto* ray = static_cast<const CGeRayProbe*>(mover);
    const auto* box = static_cast<const CGeColliderAabb*>(obstacle);
    Triple mn, mx;
    Mirror<O>::Box(box->min, box->max, mn, mx);
    const OctantResult r = RayAabb0(Mirror<O>::Point(ray->origin), Mirror<O>::Point(ray->direction), mn, mx,
                                    query.boundsOnly != 0);
    Write(r, Mirror<O>::Back(r.point), Mirror<O>::Back(r.normal), query);
}

template <unsigned O>
void AabbAabbMember(CGeCollider* mover, CGeCollider* obstacle, CGeCollisionQuery& query)
{
    const auto* a = static_cast<const CGeColliderAabb*>(mover);
    const auto* b = static_cast<const CGeColliderAabb*>(obstacle);
    Triple aMin, aMax, bMin, bMax;
    Mirror<O>::Box(a->min, a->max, aMin, aMax);
    Mirror<O>::Box(b->min, b->max, bMin, bMax);
    const OctantResult r = AabbAabb0(aMin, aMax, bMin, bMax, Mirror<O>::Point(query.direction),
                                     query.boundsOnly != 0);
    Write(r, Mirror<O>::Back(r.point), Mirror<O>::Back(r.normal), query);
}

template <unsigned O>
void SphereAabbMember(CGeCollider* mover, CGeCollider* obstacle, CGeCollisionQuery& query)
{
    const auto* sphere = static_cast<const CGeColliderSphere*>(mover);
    const auto* box = static_cast<const CGeColliderAabb*>(obstacle);
    Triple mn, mx;
    Mirror<O>::Box(box->min, box->max, mn, mx);
    const OctantResult r = SphereAabb0(Mirror<O>::Point(sphere->centre), sphere->radius,
                                       Mirror<O>::Point(query.direction), mn, mx, query.swapped != 0);
    Write(r, Mirror<O>::Back(r.point), Mirror<O>::Back(r.normal), query);
}

} // namespace

const OctantSweepTest RayAabbOctant[8] = {
    RayAabbMember<0>, RayAabbMember<1>, RayAabbMember<2>, RayAabbMember<3>,
    RayAabbMember<4>, RayAabbMember<5>, RayAabbMember<6>, RayAabbMember<7>,
};
const OctantSweepTest AabbAabbOctant[8] = {
    AabbAabbMember<0>, AabbAabbMember<1>, AabbAabbMember<2>, AabbAabbMember<3>,
    AabbAabbMember<4>, AabbAabbMember<5>, AabbAabbMember<6>, AabbAabbMember<7>,
};
const OctantSweepTest SphereAabbOctant[8] = {
    SphereAabbMember<0>, SphereAabbMember<1>, SphereAabbMember<2>, SphereAabbMember<3>,
    SphereAabbMember<4>, SphereAabbMember<5>, SphereAabbMember<6>, SphereAabbMember<7>,
};

// An octant outside 0..7 has no member: such a query gives no hit.
void SweepRayAabb(CGeCollider* ray, CGeCollider* box, CGeCollisionQuery& query)
{
    if (query.octant < 8)
        RayAabbOctant[query.octant](ray, box, query);
}

void SweepAabbAabb(CGeCollider* mover, CGeCollider* box, CGeCollisionQuery& query)
{
    if (query.octant < 8)
        AabbAabbOctant[query.octant](mover, box, query);
}

void SweepSphereAabb(CGeCollider* sphere, CGeCollider* box, CGeCollisionQuery& query)
{
    if (query.octant >= 8)
        return;
    CGeCollisionQuery bounds;
    bounds.direction = query.direction;
    bounds.maxDistance = query.maxDistance;
    bounds.octant = query.octant;
    bounds.boundsOnly = 1;
    CGeColliderAabb sphereBounds;
    SphereAabb(*static_cast<const CGeColliderSphere*>(sphere), sphereBounds);
    AabbAabbOctant[query.octant](&sphereBounds, box, bounds);
    if (bounds.hit)
        SphereAabbOctant[query.octant](sphere, box, query);
}
