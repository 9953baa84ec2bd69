// Picking: 10,000 rays through PickInCollisionSpace against 1,000 axis-aligned
// boxes, spheres and oriented boxes, against a plain loop over plain structs
// that makes the same bounds cull and runs the textbook slab, quadratic and
// box-frame slab tests. Both must find the same nearest member for every ray
// (checked before timing). Prints rays per second and the ratio (ours / plain).

#include "Engine/Physics/GeColliderDispatch.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

const int kMemberCount = 1000;
const int kRayCount = 10000;

struct Ray {
    Vec3 origin, direction;
};

// The plain side: one struct for every kind, in the group's list order.
struct PlainMember {
    int kind; // 0 box, 1 sphere, 2 oriented box
    Vec3 min, max;     // bounds
    Vec3 centre;       // sphere and oriented box
    float radius;      // sphere
    Vec3 axis[3];      // oriented box
    Vec3 half;         // oriented box
};

struct Scene {
    CollisionGroup group;
    std::vector<std::unique_ptr<CGeCollider>> members;
    std::vector<PlainMember> plain; // same order as the group's list
    std::vector<Ray> rays;

    Scene()
    {
        std::mt19937 random(7);
        auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
        for (int i = 0; i < kMemberCount; i++) {
            const Vec3 at = {uniform(-50, 50), uniform(-50, 50), uniform(-50, 50)};
            PlainMember p{};
            p.kind = i % 3;
            p.centre = at;
            if (p.kind == 0) {
                const Vec3 h = {uniform(0.5f, 2), uniform(0.5f, 2), uniform(0.5f, 2)};
                p.min = Vec3{at.x - h.x, at.y - h.y, at.z - h.z};
                p.max = Vec3{at.x + h.x, at.y + h.y, at.z + h.z};
                members.emplace_back(new CGeColliderAabb(p.min, p.max));
            } else if (p.kind == 1) {
                p.radius = uniform(0.5f, 2);
                p.min = Vec3{at.x - p.radius, at.y - p.radius, at.z - p.radius};
                p.max = Vec3{at.x + p.radius, at.y + p.radius, at.z + p.radius};
                members.emplace_back(new CGeColliderSphere(at, p.radius));
            } else {
                Vec3 axis = {uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
                Matrix4 pose = MatrixFromAxisAngle(axis, uniform(0, 3));
                pose.m[3] = at.x;
                pose.m[7] = at.y;
                pose.m[11] = at.z;
                p.half = Vec3{uniform(0.5f, 2), uniform(0.5f, 2), uniform(0.5f, 2)};
                auto* box = new CGeColliderBox;
                box->SetSizeAndRotation({p.half.x * 2, p.half.y * 2, p.half.z * 2}, pose);
                for (int k = 0; k < 3; k++)
                    p.axis[k] = box->axis[k];
                p.min = box->bounds.min;
                p.max = box->bounds.max;
                members.emplace_back(box);
            }
            plain.push_back(p);
        }
        // Linked newest first: adding them last to first makes the list's order
        // the order of creation, which is also the plain loop's.
        for (auto it = members.rbegin(); it != members.rend(); ++it)
            group.Add(it->get());
        for (int i = 0; i < kRayCount; i++) {
            // From outside the cloud towards a point inside it.
            Vec3 from = {uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
            from.Normalize();
            const Vec3 origin = {from.x * 90, from.y * 90, from.z * 90};
            Vec3 direction = {uniform(-40, 40) - origin.x, uniform(-40, 40) - origin.y, uniform(-40, 40) - origin.z};
            direction.Normalize();
            rays.push_back(Ray{origin, direction});
        }
    }

    // Our picking: the index of the nearest member in list order, or -1.
    int Pick(const Ray& ray, CGeRayProbe& probe)
    {
        const CGeCollider* hit = PickPrimitive(ray, probe);
        return hit ? IndexOf(hit) : -1;
    }

    int IndexOf(const CGeCollider* member) const
    {
        int index = 0;
        for (const CGeCollider* m = group.members.first; m; m = m->Next(), index++) {
            if (m == member)
                return index;
        }
        return -1;
    }

    const CGeCollider* PickPrimitive(const Ray& ray, CGeRayProbe& probe)
    {
        probe.origin = ray.origin;
        probe.direction = ray.direction;
        CGeCollisionQuery query;
        PickInCollisionSpace(group, &probe, query);
        return query.hit ? query.hitPrimitive : nullptr;
    }
};

float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Textbook slab test of a ray against [lo, hi]; the entry distance or -1.
float Slab(const float o[3], const float d[3], const float lo[3], const float hi[3])
{
    float tNear = -1e30f, tFar = 1e30f;
    for (int k = 0; k < 3; k++) {
        const float inv = 1.0f / d[k];
        float t0 = (lo[k] - o[k]) * inv;
        float t1 = (hi[k] - o[k]) * inv;
        if (t0 > t1)
            std::swap(t0, t1);
        tNear = t0 > tNear ? t0 : tNear;
        tFar = t1 < tFar ? t1 : tFar;
        if (tNear > tFar)
            return -1.0f;
    }
    return tFar < 0.0f ? -1.0f : tNear;
}

int PlainPick(const std::vector<PlainMember>& members, const Ray& ray)
{
    // The same cull: the ray's point opened towards its motion, strict overlap.
    const Vec3 o = ray.origin, d = ray.direction;
    const Vec3 sweptMin = {d.x < 0 ? -1e30f : o.x, d.y < 0 ? -1e30f : o.y, d.z < 0 ? -1e30f : o.z};
    const Vec3 sweptMax = {d.x > 0 ? 1e30f : o.x, d.y > 0 ? 1e30f : o.y, d.z > 0 ? 1e30f : o.z};
    int best = -1;
    float bestT = 1e30f;
    for (size_t i = 0; i < members.size(); i++) {
        const PlainMember& m = members[i];
        if (!(m.min.x < sweptMax.x && sweptMin.x < m.max.x && m.min.y < sweptMax.y && sweptMin.y < m.max.y &&
              m.min.z < sweptMax.z && sweptMin.z < m.max.z))
            continue;
        float t = -1.0f;
        if (m.kind == 0) {
            const float oo[3] = {o.x, o.y, o.z}, dd[3] = {d.x, d.y, d.z};
            const float lo[3] = {m.min.x, m.min.y, m.min.z}, hi[3] = {m.max.x, m.max.y, m.max.z};
            t = Slab(oo, dd, lo, hi);
        } else if (m.kind == 1) {
            const Vec3 rel = {o.x - m.centre.x, o.y - m.centre.y, o.z - m.centre.z};
            const float b = Dot(rel, d);
            const float c = Dot(rel, rel) - m.radius * m.radius;
            const float disc = b * b - c;
            if (disc >= 0.0f && b < 0.0f)
                t = -b - std::sqrt(disc);
        } else {
            const Vec3 rel = {o.x - m.centre.x, o.y - m.centre.y, o.z - m.centre.z};
            const float oo[3] = {Dot(m.axis[0], rel), Dot(m.axis[1], rel), Dot(m.axis[2], rel)};
            const float dd[3] = {Dot(m.axis[0], d), Dot(m.axis[1], d), Dot(m.axis[2], d)};
            const float lo[3] = {-m.half.x, -m.half.y, -m.half.z}, hi[3] = {m.half.x, m.half.y, m.half.z};
            t = Slab(oo, dd, lo, hi);
        }
        if (t >= 0.0f && t < bestT) {
            bestT = t;
            best = static_cast<int>(i);
        }
    }
    return best;
}

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

void BM_PickInCollisionSpace(benchmark::State& state)
{
    Scene& scene = TheScene();
    CGeRayProbe probe;
    for (auto _ : state) {
        for (const Ray& ray : scene.rays)
            benchmark::DoNotOptimize(scene.PickPrimitive(ray, probe));
    }
    state.SetItemsProcessed(state.iterations() * kRayCount);
}
BENCHMARK(BM_PickInCollisionSpace)->Unit(benchmark::kMillisecond);

void BM_PlainLoop(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state) {
        for (const Ray& ray : scene.rays)
            benchmark::DoNotOptimize(PlainPick(scene.plain, ray));
    }
    state.SetItemsProcessed(state.iterations() * kRayCount);
}
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Both must agree on every ray before anything is timed.
    Scene& scene = TheScene();
    CGeRayProbe probe;
    int hits = 0;
    for (const Ray& ray : scene.rays) {
        const int ours = scene.Pick(ray, probe);
        const int plain = PlainPick(scene.plain, ray);
        if (ours != plain) {
            fprintf(stderr, "picking disagrees: ours %d, plain loop %d\n", ours, plain);
            return 1;
        }
        hits += ours >= 0;
    }
    printf("%d of %d rays hit a member\n", hits, kRayCount);

    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Rays per second are in the table's items_per_second column.
    CBenchRatioReporter::PrintRatios("Picking in a collision space against a plain loop over the members");
    reporter.PrintRatio("PickInCollisionSpace", "BM_PickInCollisionSpace", "BM_PlainLoop");
    benchmark::Shutdown();
    return 0;
}
