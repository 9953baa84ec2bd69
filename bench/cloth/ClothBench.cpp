// One frame of the cloth step, PhysicsStep(1/60, 0.005), for a 32 x 32 cloth
// (structural and shear springs, top row held) falling onto a sphere, an
// oriented box, a capsule and a plane, against the same arithmetic written as
// a plain loop over float arrays. Both run the same scene; their positions are
// compared after 60 frames before anything is timed. Prints the time per
// point and sub-step and the ratio (below 1: the engine is faster).
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Engine/Physics/GePhysicsStep.h"
#include "bench/Support/BenchRatio.h"

#include "PlainCloth.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const uint32_t kSide = 32;
const float kSpacing = 2.0f;
const float kFrame = 1.0f / 60.0f;
// Sub-steps in one frame of 1/60 s: three of 0.005 s and the rest.
const int kSubStepsPerFrame = 4;

Matrix4 Posed(const Vec3& axis, float angle, const Vec3& at)
{
    Matrix4 m = MatrixFromAxisAngle(axis, angle);
    m.At(0, 3) = at.x;
    m.At(1, 3) = at.y;
    m.At(2, 3) = at.z;
    return m;
}

// The engine's scene: the obstacles in a body of the collision world, the
// cloth in the cloth world.
struct EngineScene {
    CGeRigidBody obstacles;
    CGeCollisionGeomPlane plane;
    CGeCollisionGeomSphere sphere;
    CGeCollisionGeomBox box;
    CGeCollisionGeomCapsule capsule;
    CGeRigidBody clothBody;
    CGeClothGeom cloth;

    EngineScene()
    {
        plane.SetRotation(Posed(Vec3{0.1f, 0.0f, 1.0f}, 1.5707963f, Vec3{0.0f, -70.0f, 0.0f}));
        sphere.radius = 12.0f;
        sphere.SetRotation(Posed(Vec3{0.0f, 1.0f, 0.0f}, 0.0f, Vec3{0.0f, -25.0f, 8.0f}));
        box.size = Vec3{24.0f, 6.0f, 20.0f};
        box.SetRotation(Posed(Vec3{0.2f, 1.0f, 0.0f}, 0.5f, Vec3{-14.0f, -45.0f, 0.0f}));
        capsule.length = 30.0f;
        capsule.radius = 5.0f;
        capsule.SetRotation(Posed(Vec3{0.0f, 1.0f, 0.3f}, 0.8f, Vec3{12.0f, -40.0f, 2.0f}));
        // The world meets them from the head of the list: plane, sphere, box, capsule.
        obstacles.Add(&capsule);
        obstacles.Add(&box);
        obstacles.Add(&sphere);
        obstacles.Add(&plane);
        obstacles.SetTransform(Matrix4::Identity());
        g_collisionWorld.AddBody(&obstacles);

        const float start = -0.5f * kSpacing * float(kSide - 1);
        for (uint32_t row = 0; row < kSide; ++row) {
            for (uint32_t col = 0; col < kSide; ++col) {
                const uint32_t i = row * kSide + col;
                ClothPoint p{};
                p.position = Vec3{start + kSpacing * float(col), 0.0f, start + kSpacing * float(row)};
                p.previous = p.position;
                p.normal = Vec3{0.0f, 1.0f, 0.0f};
                p.a = col + 1 < kSide ? i + 1 : kClothNone;
                p.b = row > 0 ? i - kSide : kClothNone;
                p.c = col > 0 ? i - 1 : kClothNone;
                p.d = row + 1 < kSide ? i + kSide : kClothNone;
                cloth.points.Add(p);
                auto spring = [this](uint32_t a, uint32_t b) { cloth.springs.Add(ClothSpring{a, b, 0.0f, 0.0f, 0.0f}); };
                if (col + 1 < kSide)
                    spring(i, i + 1);
                if (row + 1 < kSide)
                    spring(i, i + kSide);
                if (col + 1 < kSide && row + 1 < kSide) {
                    spring(i, i + kSide + 1);
                    spring(i + 1, i + kSide);
                }
            }
        }
        cloth.SetParams(ClothParamsBlock{0.001f, 2.0f, 0.005f, {0.0f, -1000.0f, 0.0f}, 0.0f, 0.01f, 3.0f});
        for (uint32_t col = 0; col < kSide; ++col)
            cloth.points[col].mass = 0.0f; // the top row holds the cloth
        clothBody.Add(&cloth);
        g_clothWorld.AddBody(&clothBody);
    }

    ~EngineScene()
    {
        g_clothWorld.RemoveBody(&clothBody);
        g_collisionWorld.RemoveBody(&obstacles);
    }
};

PlainObstacle ObstacleOf(const CGeCollisionGeom& g, int kind, float s0, float s1, float s2)
{
    PlainObstacle o{};
    o.kind = kind;
    o.centre[0] = g.worldPosition.x, o.centre[1] = g.worldPosition.y, o.centre[2] = g.worldPosition.z;
    for (int r = 0; r < 3; ++r) {
        o.rows[r][0] = g.worldRotation[r].x;
        o.rows[r][1] = g.worldRotation[r].y;
        o.rows[r][2] = g.worldRotation[r].z;
    }
    o.size[0] = s0, o.size[1] = s1, o.size[2] = s2;
    return o;
}

// The same scene as plain arrays, copied from the engine's before any step.
std::unique_ptr<PlainCloth> PlainCopy(const EngineScene& e)
{
    auto plain = std::make_unique<PlainCloth>();
    PlainCloth& c = *plain;
    c.count = e.cloth.points.count;
    for (const ClothPoint& p : e.cloth.points) {
        c.pos.insert(c.pos.end(), {p.position.x, p.position.y, p.position.z});
        c.normal.insert(c.normal.end(), {p.normal.x, p.normal.y, p.normal.z});
        c.mass.push_back(p.mass);
        c.inverseMass.push_back(p.inverseMass);
        c.neighbours.insert(c.neighbours.end(), {p.a, p.b, p.c, p.d});
    }
    c.prev = c.pos;
    c.vel.assign(3 * c.count, 0.0f);
    c.force.assign(3 * c.count, 0.0f);
    c.ext.assign(3 * c.count, 0.0f);
    for (const ClothSpring& s : e.cloth.springs) {
        c.springEnds.insert(c.springEnds.end(), {s.i, s.j});
        c.springRest.push_back(s.restLength);
        c.springStiffness.push_back(s.stiffness);
    }
    c.obstacles = {ObstacleOf(e.plane, 0, 0, 0, 0), ObstacleOf(e.sphere, 2, e.sphere.radius, 0, 0),
                   ObstacleOf(e.box, 3, e.box.size.x, e.box.size.y, e.box.size.z),
                   ObstacleOf(e.capsule, 5, e.capsule.length, e.capsule.radius, 0)};
    return plain;
}

// Runs 60 frames of both and stops the program when their positions differ.
void CheckAgreement()
{
    EngineScene engine;
    std::unique_ptr<PlainCloth> plain = PlainCopy(engine);
    for (int frame = 0; frame < 60; ++frame) {
        PhysicsStep(kFrame, kPhysicsSubStep);
        plain->Frame(kFrame, kPhysicsSubStep);
    }
    float worst = 0.0f;
    for (uint32_t i = 0; i < engine.cloth.points.count; ++i) {
        const Vec3 p = engine.cloth.points[i].position;
        worst = std::fmax(worst, std::fabs(p.x - plain->pos[3 * i]));
        worst = std::fmax(worst, std::fabs(p.y - plain->pos[3 * i + 1]));
        worst = std::fmax(worst, std::fabs(p.z - plain->pos[3 * i + 2]));
    }
    std::printf("positions after 60 frames differ by at most %g\n", double(worst));
    if (!(worst <= 1e-3f)) {
        std::fprintf(stderr, "the engine and the plain loop disagree\n");
        std::exit(1);
    }
}

// Shown in the table as the time per point and sub-step.
void PerPointAndSubStep(benchmark::State& state)
{
    state.counters["per_point_substep"] = benchmark::Counter(
        double(kSide * kSide * kSubStepsPerFrame), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void EngineFrame(benchmark::State& state)
{
    EngineScene scene;
    for (auto _ : state) {
        PhysicsStep(kFrame, kPhysicsSubStep);
        benchmark::ClobberMemory();
    }
    PerPointAndSubStep(state);
}

void PlainFrame(benchmark::State& state)
{
    EngineScene scene; // only to copy from
    std::unique_ptr<PlainCloth> plain = PlainCopy(scene);
    for (auto _ : state) {
        plain->Frame(kFrame, kPhysicsSubStep);
        benchmark::ClobberMemory();
    }
    PerPointAndSubStep(state);
}

BENCHMARK(EngineFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainFrame)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    CheckAgreement();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    char what[96];
    std::snprintf(what, sizeof what, "Cloth step against a plain loop, %u points x %d sub-steps per frame",
                  kSide * kSide, kSubStepsPerFrame);
    CBenchRatioReporter::PrintRatios(what);
    reporter.PrintRatio("one frame (target: 1.2 or below)", "EngineFrame", "PlainFrame");
    benchmark::Shutdown();
    return 0;
}
