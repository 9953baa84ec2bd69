// The device layer's own CPU cost: 3,000 draws of a few pixels each into a
// 16 x 16 back buffer, with state changes between them as a scene makes them
// (textures, blend modes, texture stage set-ups, lighting on and off, a light
// that turns), through the Direct3D-shaped device; against raw GL making the
// same changes and draws with ready-made programs, in the same run. The
// pixels are so few that the rasteriser's share is small on both sides: what
// is left is what the layer adds over a hand-written GL renderer (state
// tracking, the fixed-function programs it generates and picks, uniforms).
// Both sides send a state only when it differs from the previous draw's, as
// the engine's render-state cache does in front of the device.
#include "Platform/D3d9/D3d9Device.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

const int kDrawCount = 3000;
const int kTextureCount = 8;
const int kSide = 16;    // back buffer and viewport
const int kQuadSide = 3; // pixels
const int kTexelSide = 4;

// What each draw asks for; both sides make the same state changes from it.
enum Blend { kOpaque, kAlpha, kAdditive, kBlendCount };
enum Stage { kModulate, kTextureOnly, kAdd, kStageCount };

struct Draw {
    int texture;
    Blend blend;
    Stage stage;
    bool lit;
    float lightAngle;
};

std::vector<Draw> MakeDraws()
{
    std::vector<Draw> draws;
    for (int i = 0; i < kDrawCount; ++i)
        draws.push_back({i % kTextureCount, Blend(i / 3 % kBlendCount), Stage(i / 5 % kStageCount), i / 7 % 2 == 1,
                         0.01f * float(i)});
    return draws;
}

// Unlit draws are pre-transformed; lit draws carry a normal and are placed in
// clip space (identity transforms), so that the light does the work.
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
const DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    float u, v;
};
const DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Four vertices per draw in each layout, at the same pseudo-random places.
struct Geometry {
    std::vector<ScreenVertex> screen;
    std::vector<LitVertex> lit;
};

Geometry MakeGeometry()
{
    Geometry geometry;
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7FFF;
    };
    const float s = float(kQuadSide);
    const float corners[4][2] = {{0, 0}, {s, 0}, {0, s}, {s, s}};
    for (int i = 0; i < kDrawCount; ++i) {
        const float x = float(next() % (kSide - kQuadSide)), y = float(next() % (kSide - kQuadSide));
        const D3DCOLOR colour = 0x80000000u | (next() << 8) | (next() & 0xFF);
        for (const auto& corner : corners) {
            const float px = x + corner[0], py = y + corner[1];
            const float u = corner[0] / s, v = corner[1] / s;
            geometry.screen.push_back({px - 0.5f, py - 0.5f, 0.5f, 1.0f, colour, u, v});
            geometry.lit.push_back(
                {px * 2.0f / kSide - 1.0f, 1.0f - py * 2.0f / kSide, 0.5f, 0.0f, 0.0f, -1.0f, colour, u, v});
        }
    }
    return geometry;
}

std::vector<uint32_t> MakeTexels(int index)
{
    std::vector<uint32_t> texels(kTexelSide * kTexelSide);
    for (int i = 0; i < kTexelSide * kTexelSide; ++i)
        texels[i] = 0x80000000u | (uint32_t)(index * 0x0F0F0F + i * 0x030201);
    return texels;
}

void LightDirection(float angle, float out[3])
{
    out[0] = std::sin(angle);
    out[1] = 0.0f;
    out[2] = std::cos(angle);
}

SDL_Window* OpenWindow()
{
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    return SDL_CreateWindow("bench", 0, 0, kSide, kSide, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
}

void CloseWindow(SDL_Window* window)
{
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// ---------------------------------------------------------------------------

// The four vertices of one draw in a buffer of their own, as the engine keeps
// them (a buffer per visual).
template <class Vertex>
IDirect3DVertexBuffer9* MakeBuffer(IDirect3DDevice9* device, const Vertex* vertices, DWORD fvf)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    const UINT bytes = UINT(4 * sizeof(Vertex));
    device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_DEFAULT, &buffer, nullptr);
    void* data = nullptr;
    buffer->Lock(0, 0, &data, 0);
    memcpy(data, vertices, bytes);
    buffer->Unlock();
    return buffer;
}

void SetStage(IDirect3DDevice9* device, Stage stage)
{
    static const DWORD kColourOps[kStageCount] = {D3DTOP_MODULATE, D3DTOP_SELECTARG2, D3DTOP_ADD};
    device->SetTextureStageState(0, D3DTSS_COLOROP, kColourOps[stage]);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, stage == kTextureOnly ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE);
}

void SetBlend(IDirect3DDevice9* device, Blend blend)
{
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend != kOpaque);
    if (blend == kAlpha) {
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    } else if (blend == kAdditive) {
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
}

void BM_DeviceLayer(benchmark::State& state)
{
    SDL_Window* window = OpenWindow();
    D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kSide, kSide, D3DFMT_X8R8G8B8);
    HRESULT hr = D3D_OK;
    IDirect3DDevice9* device = D3d9Device::Create(window, params, &hr);
    if (!device) {
        state.SkipWithError("no device");
        CloseWindow(window);
        return;
    }

    const std::vector<Draw> draws = MakeDraws();
    const Geometry geometry = MakeGeometry();
    std::vector<IDirect3DVertexBuffer9*> buffers(kDrawCount);
    for (int i = 0; i < kDrawCount; ++i)
        buffers[i] = draws[i].lit ? MakeBuffer(device, &geometry.lit[4 * i], kLitFvf)
                                  : MakeBuffer(device, &geometry.screen[4 * i], kScreenFvf);
    std::vector<IDirect3DTexture9*> textures(kTextureCount);
    for (int t = 0; t < kTextureCount; ++t) {
        device->CreateTexture(kTexelSide, kTexelSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &textures[t], nullptr);
        D3DLOCKED_RECT locked = {};
        textures[t]->LockRect(0, &locked, nullptr, 0);
        const std::vector<uint32_t> texels = MakeTexels(t);
        memcpy(locked.pBits, texels.data(), texels.size() * 4);
        textures[t]->UnlockRect(0);
    }
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    D3DMATERIAL9 material = {};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->LightEnable(0, TRUE);
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.9f, 0.8f, 1.0f};

    auto frame = [&]() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        const Draw* previous = nullptr;
        for (int i = 0; i < kDrawCount; ++i) {
            const Draw& draw = draws[i];
            if (!previous || draw.texture != previous->texture)
                device->SetTexture(0, textures[draw.texture]);
            if (!previous || draw.blend != previous->blend)
                SetBlend(device, draw.blend);
            if (!previous || draw.stage != previous->stage)
                SetStage(device, draw.stage);
            if (!previous || draw.lit != previous->lit) {
                device->SetRenderState(D3DRS_LIGHTING, draw.lit);
                device->SetFVF(draw.lit ? kLitFvf : kScreenFvf);
            }
            if (draw.lit) {
                float direction[3];
                LightDirection(draw.lightAngle, direction);
                light.Direction = {direction[0], direction[1], direction[2]};
                device->SetLight(0, &light);
            }
            device->SetStreamSource(0, buffers[i], 0, draw.lit ? sizeof(LitVertex) : sizeof(ScreenVertex));
            device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
            previous = &draw;
        }
        glFinish();
    };
    // The first frame makes the programs (the layer's and the driver's own
    // compiled variants): untimed on both sides.
    frame();
    for (auto _ : state)
        frame();

    for (IDirect3DVertexBuffer9* buffer : buffers)
        buffer->Release();
    for (IDirect3DTexture9* texture : textures)
        texture->Release();
    device->Release();
    CloseWindow(window);
}
BENCHMARK(BM_DeviceLayer)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Raw GL: one ready-made program per stage set-up and lighting, picked per draw.

const char* const kScreenVertexShader = R"(#version 330 core
layout(location = 0) in vec4 a_position;
layout(location = 2) in vec4 a_colour;
layout(location = 3) in vec2 a_uv;
uniform vec2 u_scale;
out vec4 v_colour;
out vec2 v_uv;
void main()
{
    gl_Position = vec4((a_position.x + 0.5) * u_scale.x - 1.0, 1.0 - (a_position.y + 0.5) * u_scale.y, a_position.z, 1.0);
    v_colour = a_colour;
    v_uv = a_uv;
}
)";

const char* const kLitVertexShader = R"(#version 330 core
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_colour;
layout(location = 3) in vec2 a_uv;
uniform vec3 u_lightDirection;
uniform vec3 u_lightColour;
uniform vec3 u_ambient;
out vec4 v_colour;
out vec2 v_uv;
void main()
{
    gl_Position = vec4(a_position, 1.0);
    float facing = max(dot(normalize(a_normal), -u_lightDirection), 0.0);
    v_colour = vec4(clamp(u_ambient + u_lightColour * facing, 0.0, 1.0), 1.0);
    v_uv = a_uv;
}
)";

// The three stage set-ups' fragment shaders: one head, one body each.
const char* const kFragmentHead = R"(#version 330 core
uniform sampler2D u_texture;
in vec4 v_colour;
in vec2 v_uv;
out vec4 o_colour;
)";
const char* const kFragmentBodies[kStageCount] = {
    "void main() { o_colour = v_colour * texture(u_texture, v_uv); }\n",
    "void main() { o_colour = texture(u_texture, v_uv); }\n",
    "void main()\n"
    "{\n"
    "    vec4 t = texture(u_texture, v_uv);\n"
    "    o_colour = vec4(min(v_colour.rgb + t.rgb, 1.0), v_colour.a * t.a);\n"
    "}\n",
};

struct LitProgram {
    GLuint program = 0;
    GLint direction = -1;
};

void SetGlBlend(Blend blend)
{
    if (blend == kOpaque) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    if (blend == kAlpha)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    else
        glBlendFunc(GL_ONE, GL_ONE);
}

struct FloatAttribute {
    GLuint location;
    GLint count;
    int offset;
};

GLuint MakeVertexArray(GLuint buffer, const std::vector<FloatAttribute>& floats, int stride, int colourAt)
{
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    for (const FloatAttribute& attribute : floats) {
        glEnableVertexAttribArray(attribute.location);
        glVertexAttribPointer(attribute.location, attribute.count, GL_FLOAT, GL_FALSE, stride,
                              (void*)(intptr_t)attribute.offset);
    }
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, (void*)(intptr_t)colourAt);
    return vao;
}

void BM_RawGl(benchmark::State& state)
{
    SDL_Window* window = OpenWindow();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        state.SkipWithError("no context");
        CloseWindow(window);
        return;
    }
    SDL_GL_SetSwapInterval(0);
    GLuint screenPrograms[kStageCount];
    LitProgram litPrograms[kStageCount];
    for (int s = 0; s < kStageCount; ++s) {
        const std::string fragmentShader = std::string(kFragmentHead) + kFragmentBodies[s];
        screenPrograms[s] = D3d9LinkProgram(kScreenVertexShader, fragmentShader.c_str());
        glUseProgram(screenPrograms[s]);
        glUniform2f(glGetUniformLocation(screenPrograms[s], "u_scale"), 2.0f / kSide, 2.0f / kSide);
        LitProgram& lit = litPrograms[s];
        lit.program = D3d9LinkProgram(kLitVertexShader, fragmentShader.c_str());
        glUseProgram(lit.program);
        lit.direction = glGetUniformLocation(lit.program, "u_lightDirection");
        glUniform3f(glGetUniformLocation(lit.program, "u_lightColour"), 1.0f, 0.9f, 0.8f);
        glUniform3f(glGetUniformLocation(lit.program, "u_ambient"), 0.05f, 0.05f, 0.05f);
    }

    GLuint target = 0, fbo = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kSide, kSide, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    glViewport(0, 0, kSide, kSide);

    const std::vector<Draw> draws = MakeDraws();
    const Geometry geometry = MakeGeometry();
    // A buffer and a vertex array per draw.
    std::vector<GLuint> buffers(kDrawCount), vaos(kDrawCount);
    glGenBuffers(kDrawCount, buffers.data());
    for (int i = 0; i < kDrawCount; ++i) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers[i]);
        if (draws[i].lit) {
            glBufferData(GL_ARRAY_BUFFER, 4 * sizeof(LitVertex), &geometry.lit[4 * i], GL_STATIC_DRAW);
            vaos[i] = MakeVertexArray(buffers[i], {{0, 3, 0}, {1, 3, 12}, {3, 2, 28}}, sizeof(LitVertex),
                                      offsetof(LitVertex, diffuse));
        } else {
            glBufferData(GL_ARRAY_BUFFER, 4 * sizeof(ScreenVertex), &geometry.screen[4 * i], GL_STATIC_DRAW);
            vaos[i] = MakeVertexArray(buffers[i], {{0, 4, 0}, {3, 2, 20}}, sizeof(ScreenVertex),
                                      offsetof(ScreenVertex, diffuse));
        }
    }

    std::vector<GLuint> textures(kTextureCount);
    glGenTextures(kTextureCount, textures.data());
    for (int t = 0; t < kTextureCount; ++t) {
        glBindTexture(GL_TEXTURE_2D, textures[t]);
        const std::vector<uint32_t> texels = MakeTexels(t);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTexelSide, kTexelSide, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }

    auto frame = [&]() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        const Draw* previous = nullptr;
        for (int i = 0; i < kDrawCount; ++i) {
            const Draw& draw = draws[i];
            if (!previous || draw.texture != previous->texture)
                glBindTexture(GL_TEXTURE_2D, textures[draw.texture]);
            if (!previous || draw.blend != previous->blend)
                SetGlBlend(draw.blend);
            if (!previous || draw.stage != previous->stage || draw.lit != previous->lit)
                glUseProgram(draw.lit ? litPrograms[draw.stage].program : screenPrograms[draw.stage]);
            if (draw.lit) {
                float direction[3];
                LightDirection(draw.lightAngle, direction);
                glUniform3fv(litPrograms[draw.stage].direction, 1, direction);
            }
            glBindVertexArray(vaos[i]);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            previous = &draw;
        }
        glFinish();
    };
    frame();
    for (auto _ : state)
        frame();

    glDeleteVertexArrays(kDrawCount, vaos.data());
    glDeleteBuffers(kDrawCount, buffers.data());
    glDeleteTextures(kTextureCount, textures.data());
    glDeleteTextures(1, &target);
    glDeleteFramebuffers(1, &fbo);
    for (int s = 0; s < kStageCount; ++s) {
        glDeleteProgram(screenPrograms[s]);
        glDeleteProgram(litPrograms[s].program);
    }
    SDL_GL_DeleteContext(context);
    CloseWindow(window);
}
BENCHMARK(BM_RawGl)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // Headless by default, like the tests, with one rasteriser thread as the
    // tests have: with none, Mesa allocates a fresh scene at every state
    // change, and both sides would measure that alone.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LP_NUM_THREADS", "1", 0);
    // Mesa allocates and frees large blocks at state changes; with the C
    // library's default policy each free hands the pages back to the system
    // and the next allocation faults them in again. The device keeps freed
    // memory on Mesa's software rasteriser by itself; the raw GL side gets the
    // same policy here, whichever side runs first.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("3,000 small draws with state changes between them, device layer against raw GL");
    reporter.PrintRatio("device layer (target: 1.5 or below)", "BM_DeviceLayer", "BM_RawGl");
    benchmark::Shutdown();
    return 0;
}
