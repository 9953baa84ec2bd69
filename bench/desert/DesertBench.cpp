// The flight's scrolling desert: one frame's Scroll of the 96 x 128 grid
// (12,288 vertices: a new height and U each) with the upload of its vertex
// buffer, against a plain loop that computes the same heights and U into an
// array of the same layout and uploads it once through the device into a
// vertex buffer of the same size.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Source/Qasimar/QasimarArcadeRuhFly.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kColumns = 96;
constexpr uint32_t kRows = 128;
constexpr float kSizeX = 6000.0f;
constexpr float kSizeZ = 16000.0f;
constexpr float kRepeat = 16.0f;
constexpr float kDelta = 0.02f;
constexpr float kSpeed = 400.0f;
constexpr uint32_t kFloats = 8; // position, normal, one pair

CQasimarArcade_RuhFly_desert* g_desert = nullptr;

void DesertScroll(benchmark::State& state)
{
    for (auto _ : state) {
        g_desert->Scroll(kDelta);
        g_desert->mesh->vertexBuffer->Bind();
    }
}

void PlainLoop(benchmark::State& state)
{
    std::vector<float> vertices(kColumns * kRows * kFloats);
    for (uint32_t j = 0; j < kRows; ++j)
        for (uint32_t i = 0; i < kColumns; ++i) {
            float* v = &vertices[(j * kColumns + i) * kFloats];
            v[0] = float(i) * kSizeX / float(kColumns - 1) - kSizeX / 2.0f;
            v[2] = float(j) * kSizeZ / float(kRows - 1) - kSizeZ / 2.0f;
            v[4] = 1.0f;
            v[6] = kRepeat * float(i) / float(kColumns - 1);
            v[7] = kRepeat * float(j) / float(kRows - 1);
        }
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    IDirect3DVertexBuffer9* buffer = nullptr;
    const UINT bytes = UINT(vertices.size() * sizeof(float));
    device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DPOOL_DEFAULT,
                               &buffer, nullptr);
    if (!buffer) {
        state.SkipWithError("no vertex buffer");
        return;
    }
    float offset = 0.0f;
    for (auto _ : state) {
        const float s = kSpeed * kDelta;
        offset += s;
        const float slide = s * kRepeat / kSizeX;
        for (float* v = vertices.data(); v != vertices.data() + vertices.size(); v += kFloats) {
            const float a = ((offset + v[0]) / kSizeX) * float(kColumns) * 0.25f;
            const float h = (0.25f * std::sin(a / 2.0f) + std::cos((v[2] / kSizeZ) * float(kRows) * 0.25f) * std::sin(a) +
                             std::max(0.0f, 10.0f * std::sin(a / 4.0f) - 9.0f)) *
                            100.0f;
            v[1] = h < -20.0f ? -20.0f : h;
            v[6] += slide;
        }
        void* data = nullptr;
        buffer->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), bytes);
        buffer->Unlock();
        device->SetStreamSource(0, buffer, 0, kFloats * sizeof(float));
    }
    buffer->Release();
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CBenchDevice::PrepareProcess();
    GeCpuProbeCreate();
    GeSimdCreate();
    {
        CBenchDevice device;
        g_desert = new CQasimarArcade_RuhFly_desert(kSizeX, kSizeZ, kColumns, kRows, 100.0f, kSpeed, kRepeat,
                                                    "materials/enviroment/moving_sand.xml");
        benchmark::RegisterBenchmark("DesertScroll", DesertScroll)->Repetitions(5);
        benchmark::RegisterBenchmark("PlainLoop", PlainLoop)->Repetitions(5);
        CBenchRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        CBenchRatioReporter::PrintRatios("The flight's desert: a frame's scroll of 12,288 vertices, uploaded");
        reporter.PrintRatio("Scroll and upload", "DesertScroll", "PlainLoop");
        delete g_desert;
    }
    benchmark::Shutdown();
    return 0;
}
