// 10,000 particles of one system with three behaviours (a constant force, an
// alpha fade in and out, growth) stepped and filled every frame through
// CGcParticleSystem and drawn by the render layers on the device wrapper, against raw GL in a context of its
// own: a plain loop moving the same kind of particles (the same forces, fade,
// growth and rebirths) and writing the same camera-facing quads into one
// buffer, one fixed shader, one draw. Both sides wait for the rasteriser with
// glFinish at the end of a frame; the target is 64 by 64 pixels.
//
// Also the CPU cost alone: Step plus the vertex fill per particle, with the
// three behaviours and with none (the default position step only).
#include "Engine/Anim/GcParticleSystem.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kParticles = 10000;
constexpr int kSide = 64;
constexpr float kFrame = 1.0f / 60.0f;
constexpr float kEyeZ = -200.0f;
constexpr float kGravity = -9.0f;

class FrameClock : public CGeClock {
public:
    int64_t Counter() override { return ticks; }
    int64_t Frequency() override { return 1000000; }
    int64_t ticks = 0;
};

GcParticleSettings Settings()
{
    GcParticleSettings s;
    s.options = GC_PS_PRECALCULATED;
    s.blendMode = GC_BLEND_ALPHA_BLEND;
    s.emitterType = GC_EMITTER_CUBOID;
    s.emitterExtent = {40.0f, 10.0f, 40.0f};
    s.direction = {0.0f, 1.0f, 0.0f};
    s.outerAngle = 40.0f;
    s.minSpeed = 10.0f;
    s.maxSpeed = 20.0f;
    s.minSize = {1.5f, 1.5f, 1.5f};
    s.maxSize = {3.0f, 3.0f, 3.0f};
    s.minLife = 1.0f;
    s.maxLife = 2.0f;
    s.colour1 = 0xFFFFC040;
    s.colour2 = 0xC0FF4000;
    return s;
}

void AddBehaviour(CGcParticleSystem& system, const char* name, std::initializer_list<float> values)
{
    GcBehaviourEntry entry;
    entry.operation = FindParticleBehaviour(name);
    int n = 0;
    for (float v : values)
        entry.values[n++] = v;
    system.AddBehaviour(entry);
}

// A system of the benchmark, with or without its three behaviours.
std::unique_ptr<CGcParticleSystem> MakeSystem(bool behaviours, CGmTexture* texture)
{
    std::unique_ptr<CGcParticleSystem> system(new CGcParticleSystem(Settings(), kParticles));
    system->SetImage(texture, 1, 1);
    if (behaviours) {
        AddBehaviour(*system, "Speed_ConstForce", {0.0f, kGravity, 0.0f});
        AddBehaviour(*system, "Color_3AlphaPoints", {0.0f, 1.0f, 0.0f, 0.2f, 0.7f});
        AddBehaviour(*system, "Size_Scale", {1.0f, 2.0f});
        AddBehaviour(*system, "Pos_Default", {});
    }
    GeSrand(99);
    system->StartEmission();
    return system;
}

CGmTexture* WhiteTexture()
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(8, 8, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            reinterpret_cast<uint32_t*>(pixels + y * pitch)[x] = 0xFFFFFFFF;
    return texture;
}

// The hub's slot 0 for one benchmark: the state cache and a perspective
// camera looking along +z at the emitter; the frame timer on a clock that
// advances one sixtieth of a second a frame.
class CParticleScene {
public:
    CParticleScene()
    {
        if (g_pGmDevice) {
            states.reset(new CGmRenderStateCache(g_pGmDevice));
            g_pGmRenderStateCache = states.get();
            states->Reset();
        }
        CGeHub::s_currentSlot = 0;
        camera.screenWidth = kSide;
        camera.screenHeight = kSide;
        camera.eye = {0.0f, 0.0f, kEyeZ};
        camera.target = {0.0f, 0.0f, 0.0f};
        camera.Apply({0, 0, kSide, kSide, 0.0f, 1.0f});
        camera.ApplyViewProjection(g_pGmDevice);
        CGeHub::s_cameras3d[0] = &camera;
        timer.reset(new CGeTimer(1.0f, &clock));
        g_geTimer = timer.get();
        texture = WhiteTexture();
    }
    ~CParticleScene()
    {
        texture->Release();
        g_geTimer = nullptr;
        CGeHub::s_cameras3d[0] = nullptr;
        g_pGmRenderStateCache = nullptr;
    }
    void Tick()
    {
        clock.ticks += 16667;
        timer->Update();
    }

    std::unique_ptr<CGmRenderStateCache> states;
    CGmPerspectiveCamera camera;
    FrameClock clock;
    std::unique_ptr<CGeTimer> timer;
    CGmTexture* texture = nullptr;
};

void BM_ParticleSystem(benchmark::State& state)
{
    CBenchDevice device;
    CParticleScene scene;
    std::unique_ptr<CGcParticleSystem> system = MakeSystem(true, scene.texture);
    CGmLayers layers;
    layers.Add(2, system.get());
    auto frame = [&]() {
        scene.Tick();
        g_pGmDevice->Clear(GE_CLEAR_TARGET, 0xFF000000, 1.0f);
        g_pGmDevice->BeginScene();
        system->Update();
        layers.RenderAll();
        g_pGmDevice->EndScene();
        glFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleSystem)->Unit(benchmark::kMillisecond);

void BM_StepAndFill(benchmark::State& state)
{
    CParticleScene scene;
    std::unique_ptr<CGcParticleSystem> system = MakeSystem(state.range(0) != 0, scene.texture);
    for (auto _ : state) {
        system->Step(kFrame);
        system->FillVertices();
    }
    state.counters["per particle"] = benchmark::Counter(double(state.iterations()) * kParticles,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StepAndFill)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Raw GL.

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_colour;
layout(location = 2) in vec2 a_uv;
uniform mat4 u_projection;
out vec4 v_colour;
out vec2 v_uv;
void main()
{
    gl_Position = u_projection * vec4(a_position, 1.0);
    v_colour = a_colour;
    v_uv = a_uv;
}
)";

const char* const kFragmentShader = R"(#version 330 core
uniform sampler2D u_texture;
in vec4 v_colour;
in vec2 v_uv;
out vec4 o_colour;
void main() { o_colour = v_colour * texture(u_texture, v_uv); }
)";

GLuint Compile(GLenum kind, const char* source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

struct RawParticle {
    float x, y, z;
    float vx, vy, vz;
    float age, life;
    float size;
    uint32_t colour;
};

struct RawVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

float Random()
{
    return float(GeRand() % 4096) / 4096.0f;
}

void Respawn(RawParticle& p)
{
    const float kDegrees = 3.14159265f / 180.0f;
    p.x = (Random() - 0.5f) * 40.0f;
    p.y = (Random() - 0.5f) * 10.0f;
    p.z = (Random() - 0.5f) * 40.0f;
    const float theta = Random() * 40.0f * 0.5f * kDegrees;
    const float phi = Random() * 6.2831853f;
    const float speed = 10.0f + Random() * 10.0f;
    p.vx = std::sin(theta) * std::cos(phi) * speed;
    p.vy = std::cos(theta) * speed;
    p.vz = std::sin(theta) * std::sin(phi) * speed;
    p.size = 1.5f + Random() * 1.5f;
    p.life = 1.0f + Random();
    p.age = 0.0f;
    p.colour = 0xFFFFC040;
}

void BM_RawGl(benchmark::State& state)
{
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, kSide, kSide, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        state.SkipWithError("no context");
        if (window)
            SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return;
    }
    SDL_GL_SetSwapInterval(0);
    CParticleScene scene; // the same camera's projection

    GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(program);
    glUseProgram(program);
    glUniformMatrix4fv(glGetUniformLocation(program, "u_projection"), 1, GL_TRUE, scene.camera.projection.m);
    glUniform1i(glGetUniformLocation(program, "u_texture"), 0);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const std::vector<uint32_t> white(64, 0xFFFFFFFF);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_BGRA, GL_UNSIGNED_BYTE, white.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    GLuint vao = 0, buffers[2] = {};
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, kParticles * 4 * sizeof(RawVertex), nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(RawVertex), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(RawVertex), (void*)offsetof(RawVertex, colour));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(RawVertex), (void*)offsetof(RawVertex, u));
    std::vector<uint16_t> indices(kParticles * 6);
    for (uint32_t q = 0; q < kParticles; ++q) {
        const uint16_t v = uint16_t(q * 4);
        const uint16_t six[6] = {
            v, uint16_t(v + 1), uint16_t(v + 2), uint16_t(v + 1), uint16_t(v + 3), uint16_t(v + 2)};
        memcpy(&indices[q * 6], six, sizeof(six));
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * 2, indices.data(), GL_STATIC_DRAW);
    glViewport(0, 0, kSide, kSide);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    GeSrand(99);
    std::vector<RawParticle> particles(kParticles);
    for (RawParticle& p : particles) {
        Respawn(p);
        p.age = Random() * p.life;
    }
    std::vector<RawVertex> vertices(kParticles * 4);
    auto frame = [&]() {
        scene.Tick();
        const float dt = g_geTimer->delta;
        RawVertex* out = vertices.data();
        for (RawParticle& p : particles) {
            p.age += dt;
            if (p.age >= p.life)
                Respawn(p);
            p.vy += kGravity * dt;
            p.x += p.vx * dt;
            p.y += p.vy * dt;
            p.z += p.vz * dt;
            const float t = p.age / p.life;
            const float k = t < 0.2f ? t / 0.2f : t > 0.7f ? 1.0f - (t - 0.7f) / 0.3f : 1.0f;
            const uint32_t colour = (p.colour & 0x00FFFFFF) | (uint32_t(255.0f * k + 0.5f) << 24);
            const float h = p.size * (1.0f + t) * 0.5f;
            const float z = p.z - kEyeZ;
            out[0] = {p.x - h, p.y + h, z, colour, 0.0f, 0.0f};
            out[1] = {p.x + h, p.y + h, z, colour, 1.0f, 0.0f};
            out[2] = {p.x - h, p.y - h, z, colour, 0.0f, 1.0f};
            out[3] = {p.x + h, p.y - h, z, colour, 1.0f, 1.0f};
            out += 4;
        }
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBufferSubData(GL_ARRAY_BUFFER, 0, vertices.size() * sizeof(RawVertex), vertices.data());
        glDrawElements(GL_TRIANGLES, GLsizei(kParticles * 6), GL_UNSIGNED_SHORT, nullptr);
        glFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations() * kParticles);

    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(1, &vao);
    glDeleteTextures(1, &texture);
    glDeleteProgram(program);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
BENCHMARK(BM_RawGl)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PrepareProcess();
    GeCpuProbeCreate();
    GeSimdCreate();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("10,000 particles, three behaviours, stepped, filled and drawn each frame through "
                                     "CGcParticleSystem, against raw GL moving and drawing the same quads in one draw");
    reporter.PrintRatio("particle system (target: 1.5 or below)", "BM_ParticleSystem", "BM_RawGl");
    reporter.PrintRatio("step and fill: behaviours over none", "BM_StepAndFill/1", "BM_StepAndFill/0");
    std::printf("  Step plus fill per particle: the \"per particle\" column of BM_StepAndFill (/0 without "
                "behaviours, /1 with the three)\n");
    benchmark::Shutdown();
    return 0;
}
