// Walking characters: 10, 100 and 400 entities walking long paths on a
// 256 x 256 walk grid with scattered obstacles, each with a 20-joint skinned
// figure, an animation controller playing a looped walk, a walker, a motion
// controller and a walk-grid lock under a box collider. Timed is one frame of
// their updates (no drawing); the paths are long enough that nobody arrives.
//
// The reference does the same work the plain way, per entity: the same joint
// controller advanced and applied to a skeleton of its own, the distance
// moved by the walk track's root displacement along a copy of the entity's
// path, the floor height by a plain triangle look-up, a world matrix from the
// heading, and the cells under the box released and marked again in a plain
// byte array. Both sides are checked to walk the same distance before timing.
#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "bench/Support/BenchRatio.h"
#include "tools/animwrite/AnimWriter.h"
#include "tools/walkgrid/WalkGridWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const int32_t kGrid = 256;
const float kCell = 10.0f;
const uint32_t kJoints = 20;
const float kFrame = 1.0f / 60.0f;
const float kSpeed = 30.0f; // the walk track's root, units a second
const float kHalfBox = 4.0f;

CGeFileData FileOver(const char* path, const animwrite::Bytes& bytes)
{
    CGeFileData file;
    file.path = path;
    file.data = const_cast<uint8_t*>(bytes.data());
    file.size = uint32_t(bytes.size());
    return file;
}

// The world: the grid of the current location, a skeleton and the tracks.
struct World {
    CGeTimer timer{25.0f};
    CCiDispatcher* dispatcher = new CCiDispatcher();
    CQmLocationManager manager;
    CQmLocation* location = nullptr;
    CQmAiMap* grid = nullptr;
    CGmMeshResource skeleton;
    CGeJointsKeySequence walk, stand;
    std::vector<std::string> picture;

    World()
    {
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        g_geTimer = &timer;
        timer.delta = kFrame;
        g_dispatcher = dispatcher;
        g_locationManager = &manager;
        location = new CQmLocation("bench");
        manager.Adopt(location);
        manager.current = location;

        // About one cell in 25 blocked; the rows the walkers start and end
        // on stay open at both ends.
        picture.assign(kGrid, std::string(kGrid, '.'));
        std::mt19937 random(77);
        for (int32_t r = 1; r < kGrid - 1; ++r)
            for (int32_t c = 4; c < kGrid - 4; ++c)
                if (random() % 25 == 0)
                    picture[r][c] = '#';
        WalkGridOptions options;
        options.cellSize = kCell;
        options.slopeX = 0.5f;
        options.slopeZ = 0.25f;
        const std::vector<uint8_t> bytes = WalkGridFromPicture(picture, options).Serialize();
        grid = new CQmAiMap();
        if (!grid->ReadFromFile(bytes.data(), bytes.size()))
            Fail("the grid did not load");
        location->walkGrids[location->walkGridCount++] = grid;

        const animwrite::Bytes skeletonXml =
            animwrite::FromText(animwrite::WriteSkeletonXml(animwrite::MakeChain(kJoints)));
        if (!LoadGeMesh(skeleton, FileOver("figure.xml", skeletonXml)))
            Fail("the skeleton did not load");
        animwrite::TrackSpec spec = animwrite::MakeTrack(31, kJoints, 30.0f);
        spec.looped = 1;
        for (uint32_t f = 0; f < spec.Frames(); ++f)
            spec.root[f] = Vec3{kSpeed * float(f) / 30.0f, 0.0f, 0.0f};
        const animwrite::Bytes walkBytes = animwrite::WriteGeat(spec);
        const animwrite::Bytes standBytes = animwrite::WriteGeat(animwrite::MakeTrack(11, kJoints, 10.0f));
        if (!LoadJointsAnimTrack(walk, FileOver("anims/walk.geat", walkBytes)) ||
            !LoadJointsAnimTrack(stand, FileOver("anims/stand.geat", standBytes)))
            Fail("the tracks did not load");
    }

    ~World()
    {
        manager.Clear();
        g_locationManager = nullptr;
        g_geTimer = nullptr;
        g_dispatcher = nullptr;
        delete dispatcher;
    }

    static void Fail(const char* what)
    {
        std::fprintf(stderr, "%s\n", what);
        std::exit(1);
    }

    // Walker i starts near the low x edge and walks to the high one.
    Vec3 Start(uint32_t i) const { return {15.0f, 0.0f, 15.0f + float(1 + i % (kGrid - 3)) * kCell}; }
    Vec3 Goal(uint32_t i) const { return {float(kGrid - 2) * kCell + 5.0f, 0.0f, Start(i).z}; }
};

// The engine's side: entities with their properties.
struct EngineWalkers {
    std::vector<std::unique_ptr<CQmEntity>> entities;

    EngineWalkers(World& world, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            auto entity = std::make_unique<CQmEntity>();
            CQmEntity* e = entity.get();
            e->frame.SetPosition(world.Start(i));
            e->frame.Invalidate();
            auto* visuals = new CQmPropVisualObject(e);
            visuals->AddVisual(new CGmScenicMesh(nullptr, &world.skeleton, CGeArray<CGmMaterial*>()), 2);
            e->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
            visuals->SetEnabled(true);
            auto* anim = new CQmPropAnimController(e, 0);
            e->SetProp(QM_PROP_ANIM_CONTROLLER, anim);
            anim->SetEnabled(true);
            anim->defaultSequences[1] = &world.stand;
            anim->PlaySequence(0.0f);
            auto* motion = new CQmPropMotionController(e);
            e->SetProp(QM_PROP_MOTION_CONTROLLER, motion);
            auto* walker = new CQmPropWalker(e);
            walker->gaitSequences[kQmGaitWalk] = &world.walk;
            e->SetProp(QM_PROP_WALKER, walker);
            auto* collider = new CQmPropCollider(e);
            CreateColliderAabbShape(collider)->SetCorners(Vec3{-kHalfBox, 0.0f, -kHalfBox},
                                                          Vec3{kHalfBox, 20.0f, kHalfBox});
            collider->local.At(1, 3) = 10.0f;
            e->SetProp(QM_PROP_COLLIDER, collider);
            collider->SetEnabled(true);
            auto* lock = new CQmPropAimapLockController(e);
            e->SetProp(QM_PROP_AIMAP_LOCK, lock);
            lock->SetEnabled(true);
            if (!motion->MoveTo(world.Goal(i)))
                World::Fail("a walker found no path");
            entities.push_back(std::move(entity));
        }
    }

    void Frame()
    {
        for (auto& e : entities)
            e->Update();
    }

    bool AllWalking() const
    {
        for (const auto& e : entities)
            if (e->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER)->stopped)
                return false;
        return true;
    }
};

// The plain side: the same joint controllers and paths, plain arrays for the
// rest.
struct PlainWalker {
    std::unique_ptr<CJaAnimController> joints;
    CGmMeshResource* skeleton = nullptr;
    CQmWalkPath path;
    float distance = 0.0f;
    Matrix4 world = Matrix4::Identity();
    std::vector<int32_t> marked;
};

struct PlainWalkers {
    const World& world;
    std::vector<PlainWalker> walkers;
    std::vector<uint8_t> cells; // bit 0 blocked, bit 1 locked
    std::vector<float> heights; // at the cells' low corners

    PlainWalkers(World& w, const EngineWalkers& engine) : world(w), walkers(engine.entities.size())
    {
        const CQmAiMap& grid = *w.grid;
        cells.resize(size_t(grid.count));
        heights.resize(size_t(grid.count));
        for (int32_t i = 0; i < grid.count; ++i) {
            cells[size_t(i)] = grid.cells[i].flags & kAiCellBlocked;
            heights[size_t(i)] = grid.cells[i].height;
        }
        for (size_t i = 0; i < walkers.size(); ++i) {
            PlainWalker& p = walkers[i];
            p.skeleton = w.skeleton.Clone();
            p.joints = std::make_unique<CJaAnimController>(kJoints);
            p.joints->StartAseq(0, 0.0f, &w.walk, 1);
            const auto* motion = engine.entities[i]->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
            p.path.nodes = motion->path.nodes;
            p.path.total = motion->path.total;
        }
    }

    ~PlainWalkers()
    {
        for (PlainWalker& p : walkers)
            p.skeleton->Release();
    }

    float Height(float x, float z) const
    {
        const float fx = (x - world.grid->boundsMin.x) / kCell, fz = (z - world.grid->boundsMin.z) / kCell;
        const int32_t c = int32_t(fx), r = int32_t(fz);
        const float u = fx - float(c), v = fz - float(r);
        const float* h = &heights[size_t(r * kGrid + c)];
        const float h00 = h[0], h10 = h[1], h01 = h[kGrid], h11 = h[kGrid + 1];
        return v >= u ? h00 + v * (h01 - h00) + u * (h11 - h01) : h00 + u * (h10 - h00) + v * (h11 - h10);
    }

    void Frame()
    {
        for (PlainWalker& p : walkers) {
            p.skeleton->SetPose(p.joints->output);
            p.joints->Update();
            p.distance += p.joints->ChannelPlayer(0)->rootDelta.x;
            Vec3 at = {0, 0, 0}, dir = {0, 0, 0};
            p.path.GetPointAt(p.distance, at);
            p.path.GetDirectionAt(p.distance, dir);
            at.y = Height(at.x, at.z);
            p.world = MatrixRotationY(QmHeadingAngle(dir));
            p.world.At(0, 3) = at.x;
            p.world.At(1, 3) = at.y;
            p.world.At(2, 3) = at.z;
            for (size_t k = p.marked.size(); k-- > 0;)
                cells[size_t(p.marked[k])] &= uint8_t(~2u);
            p.marked.clear();
            const int32_t c0 = int32_t((at.x - kHalfBox) / kCell), c1 = int32_t((at.x + kHalfBox) / kCell);
            const int32_t r0 = int32_t((at.z - kHalfBox) / kCell), r1 = int32_t((at.z + kHalfBox) / kCell);
            for (int32_t r = r0; r <= r1; ++r)
                for (int32_t c = c0; c <= c1; ++c) {
                    const size_t n = size_t(r * kGrid + c);
                    if (cells[n] & 2)
                        continue;
                    p.marked.push_back(int32_t(n));
                    if (r > 0 && r < kGrid - 1 && c > 0 && c < kGrid - 1 && !(cells[n] & 1))
                        cells[n] |= 2;
                }
        }
    }
};

void CheckAgreement()
{
    World world;
    EngineWalkers engine(world, 10);
    PlainWalkers plain(world, engine);
    float worst = 0.0f;
    for (int frame = 0; frame < 120; ++frame) {
        engine.Frame();
        plain.Frame();
        for (size_t i = 0; i < engine.entities.size(); ++i) {
            const CGeFrame3D& f = engine.entities[i]->frame;
            for (int k = 0; k < 3; ++k)
                worst = std::fmax(worst, std::fabs(f.world.At(k, 3) - plain.walkers[i].world.At(k, 3)));
        }
    }
    std::printf("positions differ by at most %g after 120 frames\n", double(worst));
    if (!(worst <= 1e-2f) || !engine.AllWalking())
        World::Fail("the engine and the plain loop disagree");
}

void Engine(benchmark::State& state)
{
    World world;
    EngineWalkers engine(world, uint32_t(state.range(0)));
    for (auto _ : state) {
        engine.Frame();
        benchmark::ClobberMemory();
    }
    if (!engine.AllWalking())
        state.SkipWithError("a walker arrived while timing");
}

void Plain(benchmark::State& state)
{
    World world;
    EngineWalkers engine(world, uint32_t(state.range(0)));
    PlainWalkers plain(world, engine);
    for (auto _ : state) {
        plain.Frame();
        benchmark::ClobberMemory();
    }
}

// At 0.5 units a frame a path of about 2,500 units lasts 5,000 frames.
BENCHMARK(Engine)->Arg(10)->Iterations(4000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Plain)->Arg(10)->Iterations(4000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Engine)->Arg(100)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Plain)->Arg(100)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Engine)->Arg(400)->Iterations(800)->Unit(benchmark::kMicrosecond);
BENCHMARK(Plain)->Arg(400)->Iterations(800)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    CheckAgreement();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios(
        "Walking characters, one frame of their updates (20-joint figures, 256 x 256 grid)");
    reporter.PrintRatio("10 walkers", "Engine/10", "Plain/10");
    reporter.PrintRatio("100 walkers (target: 1.3 or below)", "Engine/100", "Plain/100");
    reporter.PrintRatio("400 walkers", "Engine/400", "Plain/400");
    benchmark::Shutdown();
    return 0;
}
