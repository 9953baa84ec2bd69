// Skeletal animation against plain loops of the same maths.
//
// Skeletons: 50 skeletons of 60 joints a frame, each posed from a pose player
// (SetPose, which updates the world matrices) and its 60 skinning matrices
// read, against a plain loop that builds the same matrices from float arrays.
// Controllers: 50 animation controllers of 60 joints, each cross-fading from
// the pose it had into a looping track, against a plain loop that samples the
// track, slerps between its frames and blends from the same pose. Both pairs
// are compared before anything is timed. Prints keys per second for the
// controllers and the ratios (below 1: the engine is faster).
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "bench/Support/BenchRatio.h"

#include "PlainAnim.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const uint32_t kModels = 50;
const uint32_t kJoints = 60;
const uint32_t kFrames = 30;
const float kRate = 30.0f;
const float kFrame = 1.0f / 60.0f;

// A tree of 60 joints: a spine of 12, each spine joint with a limb of 4.
std::string SkeletonXml()
{
    std::string text = "<GE_MESH Type=\"SKELETAL\"><GE_JOINTS_HIERARCHY>";
    for (uint32_t j = 0; j < kJoints; ++j) {
        const int parent = j == 0 ? -1 : j < 12 ? int(j) - 1 : (j - 12) % 4 == 0 ? int((j - 12) / 4) : int(j) - 1;
        const float a = 0.1f * float(j);
        text += "<JOINT Parent=\"" + std::to_string(parent) + "\" Position=\"0.5 1 0.25\" Direction=\"" +
                std::to_string(std::sin(a) * 0.6f) + " 0 " + std::to_string(std::sin(a) * 0.8f) + " " +
                std::to_string(std::cos(a)) + "\"/>";
    }
    return text + "</GE_JOINTS_HIERARCHY></GE_MESH>";
}

Quat Turn(float angle, float x, float y, float z)
{
    const float s = std::sin(angle / 2);
    return {x * s, y * s, z * s, std::cos(angle / 2)};
}

// A looping track of 30 frames at 30 per second: every joint turns a little
// about its own axis each frame.
CGeJointsKeySequence* MakeTrack(float phase)
{
    CGeJointsKeySequence* track = new CGeJointsKeySequence();
    track->frameRate = kRate;
    track->duration = float(kFrames - 1) / kRate;
    track->looped = 1;
    track->jointCount = kJoints;
    for (uint32_t f = 0; f < kFrames; ++f) {
        for (uint32_t j = 0; j < kJoints; ++j) {
            CGeJointKey key;
            key.position = {0.1f * float(f), 1.0f, 0.01f * float(j)};
            const float len = std::sqrt(1.0f + float(j % 3) + float(j % 5));
            key.rotation = Turn(phase + 0.05f * float(f + j), 1.0f / len, std::sqrt(float(j % 3)) / len,
                                std::sqrt(float(j % 5)) / len);
            track->keys.Add(key);
        }
        track->frameEvents.Add(-1);
        track->rootCurve.AddKnot(float(f) / kRate, Vec3{float(f), 0, 0});
    }
    for (uint32_t j = 0; j < kJoints; ++j)
        track->jointMap.Add(uint16_t(j));
    return track;
}

struct SkeletonScene {
    std::vector<CGmMeshResource*> skeletons;
    std::vector<std::unique_ptr<CJaPosePlayer>> poses;
    std::vector<PlainSkeleton> plain;
    std::vector<std::vector<float>> plainPosePositions, plainPoseRotations;
    std::vector<Matrix4> skin;

    SkeletonScene()
    {
        const std::string xml = SkeletonXml();
        CGeFileData file;
        file.path = "bench.xml";
        file.data = reinterpret_cast<uint8_t*>(const_cast<char*>(xml.data()));
        file.size = uint32_t(xml.size());
        CGmMeshResource source;
        if (!LoadGeMesh(source, file) || source.JointCount() != kJoints) {
            std::fprintf(stderr, "the benchmark skeleton did not load\n");
            std::exit(1);
        }
        skin.resize(kJoints);
        for (uint32_t m = 0; m < kModels; ++m) {
            skeletons.push_back(source.Clone());
            auto pose = std::make_unique<CJaPosePlayer>(kJoints);
            PlainSkeleton p;
            p.joints = kJoints;
            p.position.resize(3 * kJoints);
            p.rotation.resize(4 * kJoints);
            p.world.resize(16 * kJoints);
            p.skin.resize(16 * kJoints);
            std::vector<float> positions, rotations;
            for (uint32_t j = 0; j < kJoints; ++j) {
                p.parent.push_back(source.joints[j].parent);
                p.inverseBind.insert(p.inverseBind.end(), source.inverseBind[j].m, source.inverseBind[j].m + 16);
                CGeJointKey& key = pose->pose[j];
                key.position = {0.5f, 1.0f + 0.01f * float(m), 0.25f};
                key.rotation = Turn(0.02f * float(m + j), 0.0f, 0.6f, 0.8f);
                positions.insert(positions.end(), {key.position.x, key.position.y, key.position.z});
                rotations.insert(rotations.end(), {key.rotation.x, key.rotation.y, key.rotation.z, key.rotation.w});
            }
            poses.push_back(std::move(pose));
            plain.push_back(std::move(p));
            plainPosePositions.push_back(std::move(positions));
            plainPoseRotations.push_back(std::move(rotations));
        }
    }

    ~SkeletonScene()
    {
        for (CGmMeshResource* s : skeletons)
            s->Release();
    }

    void EngineFrame(uint32_t m)
    {
        CGmMeshResource& skeleton = *skeletons[m];
        skeleton.SetPose(*poses[m]);
        for (uint32_t j = 0; j < kJoints; ++j)
            skin[j] = skeleton.SkinningMatrix(j);
    }

    void PlainFrame(uint32_t m) { plain[m].Pose(plainPosePositions[m].data(), plainPoseRotations[m].data()); }
};

struct ControllerScene {
    CGeTimer timer{25.0f};
    CGeJointsKeySequence* first = MakeTrack(0.0f);
    CGeJointsKeySequence* second = MakeTrack(1.0f);
    std::vector<std::unique_ptr<CJaAnimController>> controllers;
    std::vector<PlainCrossFade> plain;
    std::vector<float> plainTime;

    ControllerScene()
    {
        g_geTimer = &timer;
        timer.delta = kFrame;
        for (uint32_t m = 0; m < kModels; ++m) {
            auto controller = std::make_unique<CJaAnimController>(kJoints);
            controller->StartAseq(0, 0.0f, first, 0);
            for (uint32_t k = 0; k <= m % 7; ++k)
                controller->Update();
            // A long cross-fade held near its middle, so that every frame
            // blends both sides.
            controller->StartAseq(0, 1.0e4f, second, 0);
            controller->channels[0].blend->SetTime(5.0e3f);
            PlainCrossFade p;
            p.joints = kJoints;
            p.frames = kFrames;
            p.rate = kRate;
            for (const CGeJointKey& key : second->keys) {
                p.trackPosition.insert(p.trackPosition.end(), {key.position.x, key.position.y, key.position.z});
                p.trackRotation.insert(p.trackRotation.end(),
                                       {key.rotation.x, key.rotation.y, key.rotation.z, key.rotation.w});
            }
            for (const CGeJointKey& key : controller->channels[0].snapshot->pose) {
                p.fromPosition.insert(p.fromPosition.end(), {key.position.x, key.position.y, key.position.z});
                p.fromRotation.insert(p.fromRotation.end(),
                                      {key.rotation.x, key.rotation.y, key.rotation.z, key.rotation.w});
            }
            p.outPosition.resize(3 * kJoints);
            p.outRotation.resize(4 * kJoints);
            plain.push_back(std::move(p));
            plainTime.push_back(0.0f);
            controllers.push_back(std::move(controller));
        }
    }

    ~ControllerScene()
    {
        controllers.clear();
        first->Release();
        second->Release();
        g_geTimer = nullptr;
    }

    void EngineFrame(uint32_t m) { controllers[m]->Update(); }

    void PlainFrame(uint32_t m)
    {
        float& t = plainTime[m];
        t += kFrame;
        const float duration = float(kFrames - 1) / kRate;
        while (t > duration)
            t -= duration;
        plain[m].Frame(t, 0.5f + t * 1e-4f);
    }
};

void CheckAgreement()
{
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    float worst = 0.0f;
    {
        SkeletonScene scene;
        for (uint32_t m = 0; m < kModels; m += 7) {
            scene.EngineFrame(m);
            scene.PlainFrame(m);
            for (uint32_t j = 0; j < kJoints; ++j) {
                for (int i = 0; i < 16; ++i)
                    worst = std::fmax(worst, std::fabs(scene.skin[j].m[i] - scene.plain[m].skin[16 * j + i]));
            }
        }
    }
    std::printf("skinning matrices differ by at most %g\n", double(worst));
    float worstKey = 0.0f;
    {
        ControllerScene scene;
        CJaAnimController& controller = *scene.controllers[3];
        for (int frame = 0; frame < 40; ++frame) {
            controller.Update();
            const CJaSeqPlayer& seq = *controller.channels[0].player;
            scene.plain[3].Frame(seq.time, controller.channels[0].blend->Weight());
            for (uint32_t j = 0; j < kJoints; ++j) {
                CGeJointKey key;
                controller.GetJointKey(key, j);
                const float* q = &scene.plain[3].outRotation[4 * j];
                const float* p = &scene.plain[3].outPosition[3 * j];
                worstKey = std::fmax(worstKey, std::fabs(key.rotation.x - q[0]) + std::fabs(key.rotation.w - q[3]));
                worstKey = std::fmax(worstKey, std::fabs(key.position.x - p[0]) + std::fabs(key.position.z - p[2]));
            }
        }
    }
    std::printf("cross-faded keys differ by at most %g\n", double(worstKey));
    if (!(worst <= 1e-4f) || !(worstKey <= 1e-4f)) {
        std::fprintf(stderr, "the engine and the plain loops disagree\n");
        std::exit(1);
    }
}

void KeysPerSecond(benchmark::State& state)
{
    state.counters["keys_per_s"] =
        benchmark::Counter(double(kModels * kJoints), benchmark::Counter::kIsIterationInvariantRate);
}

void SkeletonsEngine(benchmark::State& state)
{
    SkeletonScene scene;
    for (auto _ : state) {
        for (uint32_t m = 0; m < kModels; ++m)
            scene.EngineFrame(m);
        benchmark::ClobberMemory();
    }
}

void SkeletonsPlain(benchmark::State& state)
{
    SkeletonScene scene;
    for (auto _ : state) {
        for (uint32_t m = 0; m < kModels; ++m)
            scene.PlainFrame(m);
        benchmark::ClobberMemory();
    }
}

void ControllersEngine(benchmark::State& state)
{
    ControllerScene scene;
    for (auto _ : state) {
        for (uint32_t m = 0; m < kModels; ++m)
            scene.EngineFrame(m);
        benchmark::ClobberMemory();
    }
    KeysPerSecond(state);
}

void ControllersPlain(benchmark::State& state)
{
    ControllerScene scene;
    for (auto _ : state) {
        for (uint32_t m = 0; m < kModels; ++m)
            scene.PlainFrame(m);
        benchmark::ClobberMemory();
    }
    KeysPerSecond(state);
}

BENCHMARK(SkeletonsEngine)->Unit(benchmark::kMicrosecond);
BENCHMARK(SkeletonsPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(ControllersEngine)->Unit(benchmark::kMicrosecond);
BENCHMARK(ControllersPlain)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    CheckAgreement();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    char what[128];
    std::snprintf(what, sizeof what, "Skeletal animation against plain loops, %u models of %u joints a frame", kModels,
                  kJoints);
    CBenchRatioReporter::PrintRatios(what);
    reporter.PrintRatio("skeletons posed (target: 1.2 or below)", "SkeletonsEngine", "SkeletonsPlain");
    reporter.PrintRatio("controllers cross-fading (target: 1.5)", "ControllersEngine", "ControllersPlain");
    benchmark::Shutdown();
    return 0;
}
