#include "Engine/Physics/GeClothGeom.h"

#include "Engine/Physics/GeClothMath.h"

#include <cmath>
#include <type_traits>

using namespace cloth_math;

static_assert(std::is_trivially_destructible<ClothWind>::value, "winds are dropped by resetting the count");
static_assert(std::is_trivially_destructible<ClothPoint>::value, "points are plain records");

CGeClothGeom::CGeClothGeom()
{
    type = GEOM_CLOTH;
    winds.SetGrowStep(kWindCapacity);
    ReserveWinds();
}

CGeClothGeom::~CGeClothGeom()
{
    Clear();
}

// Winds come and go every frame: the storage for kWindCapacity of them is
// taken once and kept while the count drops to 0, so that appending them
// during a frame allocates nothing.
void CGeClothGeom::ReserveWinds()
{
    winds.InsertGap(0, kWindCapacity);
    winds.count = 0;
}

void CGeClothGeom::SetParams(const ClothParamsBlock& block)
{
    constants.mass = block.mass;
    constants.stiffness = block.stiffness;
    constants.b = block.b;
    constants.gravity = Vec3{block.gravity[0], block.gravity[1], block.gravity[2]};
    constants.damping = block.damping;
    constants.margin = block.margin;

    const float inverseMass = 1.0f / block.mass;
    for (ClothPoint& p : points) {
        p.mass = block.mass;
        p.inverseMass = inverseMass;
        p.force = Vec3{0.0f, 0.0f, 0.0f};
        p.velocity = Vec3{0.0f, 0.0f, 0.0f};
    }
    const uint32_t n = points.count;
    for (ClothSpring& s : springs) {
        s.stiffness = block.stiffness;
        s.b = block.b;
        s.restLength = s.i < n && s.j < n ? Sub(points[s.j].position, points[s.i].position).Length() : 0.0f;
    }
}

void CGeClothGeom::Clear()
{
    points.Clear();
    springs.Clear();
    winds.Clear();
}

void CGeClothGeom::ComputeNormals()
{
    ClothPoint* p = points.data;
    const uint32_t n = points.count;
    for (uint32_t i = 0; i < n; ++i) {
        ClothPoint& point = p[i];
        const bool hasA = point.a < n, hasB = point.b < n, hasC = point.c < n, hasD = point.d < n;
        if (!hasA || !hasB || (!hasC && !hasD && point.a == point.b)) {
            // For point 0 that is the last point's normal of the previous step.
            point.normal = p[i == 0 ? n - 1 : i - 1].normal;
            continue;
        }
        const Vec3 e1 = Sub(p[point.a].position, point.position);
        const Vec3 e2 = Sub(p[point.b].position, point.position);
        Vec3 normal = Cross(e1, e2);
        float count = 1.0f;
        Vec3 e3{0.0f, 0.0f, 0.0f};
        if (hasC) {
            e3 = Sub(p[point.c].position, point.position);
            normal = Add(normal, Cross(e2, e3));
            count = 2.0f;
        }
        if (hasD) {
            const Vec3 e4 = Sub(p[point.d].position, point.position);
            if (hasC) {
                normal = Add(normal, Cross(e3, e4));
                count += 1.0f;
            }
            normal = Add(normal, Cross(e4, e1));
            count += 1.0f;
        }
        normal = Scale(normal, 1.0f / count);
        if (std::fabs(normal.x) < kClothEps && std::fabs(normal.y) < kClothEps && std::fabs(normal.z) < kClothEps)
            normal.y = 1.0f;
        point.normal = UnitOr(normal);
    }
}

void CGeClothGeom::AccumulateForces()
{
    const Vec3 g = constants.gravity;
    const float damping = constants.damping;
    for (ClothPoint& p : points) {
        p.force = Vec3{g.x * p.mass + p.externalForce.x - damping * p.velocity.x,
                       g.y * p.mass + p.externalForce.y - damping * p.velocity.y,
                       g.z * p.mass + p.externalForce.z - damping * p.velocity.z};
    }
    for (const ClothWind& w : winds) {
        for (ClothPoint& p : points) {
            const float push = w.strength * std::fabs(Dot(w.direction, p.normal));
            p.force = Add(p.force, Scale(w.direction, push));
        }
    }
}

void CGeClothGeom::ApplySprings()
{
    ClothPoint* p = points.data;
    const uint32_t n = points.count;
    for (const ClothSpring& s : springs) {
        if (s.i >= n || s.j >= n)
            continue;
        const Vec3 d = Sub(p[s.j].position, p[s.i].position);
        const float lengthSquared = Dot(d, d);
        if (!(lengthSquared > kClothEps))
            continue;
        const float length = std::sqrt(lengthSquared);
        const float stretch = length - s.restLength;
        if (!(std::fabs(stretch) > kClothEps))
            continue;
        const float f = stretch * s.stiffness;
        const Vec3 u = Scale(d, 1.0f / length);
        const Vec3 pull = Scale(u, f);
        p[s.i].force = Add(p[s.i].force, pull);
        p[s.j].force = Sub(p[s.j].force, pull);
    }
}

void CGeClothGeom::Integrate(float h)
{
    bool first = true;
    Vec3 stepVelocity{0.0f, 0.0f, 0.0f};
    for (ClothPoint& p : points) {
        if (!(p.mass > 0.0f))
            continue;
        p.previous = p.position;
        p.velocity = Vec3{p.velocity.x + p.force.x * p.inverseMass * h, p.velocity.y + p.force.y * p.inverseMass * h,
                          p.velocity.z + p.force.z * p.inverseMass * h};
        // Each moving point's step follows a tenth of the previous one's,
        // which smooths the sheet along the array order.
        if (first) {
            stepVelocity = p.velocity;
            first = false;
        } else {
            stepVelocity = Vec3{0.9f * p.velocity.x + 0.1f * stepVelocity.x, 0.9f * p.velocity.y + 0.1f * stepVelocity.y,
                                0.9f * p.velocity.z + 0.1f * stepVelocity.z};
        }
        p.position = Vec3{p.position.x + stepVelocity.x * h, p.position.y + stepVelocity.y * h,
                          p.position.z + stepVelocity.z * h};
    }
}

void CGeClothGeom::UpdateVelocities(float h)
{
    if (h == 0.0f)
        return;
    const float inverseH = 1.0f / h;
    for (ClothPoint& p : points) {
        if (!(p.mass > 0.0f))
            continue;
        p.velocity = Scale(Sub(p.position, p.previous), inverseH);
    }
}

void CGeClothGeom::ClearAccumulators()
{
    winds.count = 0; // the storage stays for the next frame's winds
    for (ClothPoint& p : points)
        p.externalForce = Vec3{0.0f, 0.0f, 0.0f};
}
