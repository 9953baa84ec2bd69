// 10,000 small textured, alpha-blended quads per frame, each drawn the way the
// engine draws a 2D visual (its own vertex buffer, its texture, its blend and
// stage settings sent again), through the device layer; against the same
// quads drawn with raw GL and one fixed shader in the same run. Each frame
// ends with glFinish so that both pay for the pixels too. Prints the ratio
// against the faster of two raw GL ways; both sides report a pixel sum that
// shows they drew the same image.
#include "Platform/D3d9/D3d9Device.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const int kQuadCount = 10000;
const int kTextureCount = 16;
const int kWidth = 640;
const int kHeight = 480;
const int kQuadSide = 8;

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
const DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The same pseudo-random quads for both sides.
std::vector<Vertex> MakeQuads()
{
    std::vector<Vertex> vertices;
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int i = 0; i < kQuadCount; ++i) {
        float x = (float)(next() % (kWidth - kQuadSide)) - 0.5f, y = (float)(next() % (kHeight - kQuadSide)) - 0.5f;
        D3DCOLOR colour = 0x80000000u | (next() << 8) | (next() & 0xFF);
        float s = (float)kQuadSide;
        vertices.push_back({x, y, 0.5f, 1.0f, colour, 0.0f, 0.0f});
        vertices.push_back({x + s, y, 0.5f, 1.0f, colour, 1.0f, 0.0f});
        vertices.push_back({x, y + s, 0.5f, 1.0f, colour, 0.0f, 1.0f});
        vertices.push_back({x + s, y + s, 0.5f, 1.0f, colour, 1.0f, 1.0f});
    }
    return vertices;
}

std::vector<uint32_t> MakeTexels(int index)
{
    std::vector<uint32_t> texels(kQuadSide * kQuadSide);
    for (int i = 0; i < kQuadSide * kQuadSide; ++i)
        texels[i] = 0x80000000u | (uint32_t)(index * 0x0F0F0F + i * 0x030201);
    return texels;
}

// Sum of the bound read framebuffer's pixels, so that each side shows it drew.
uint64_t PixelSum()
{
    std::vector<uint32_t> pixels(kWidth * kHeight);
    glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    uint64_t sum = 0;
    for (uint32_t p : pixels)
        sum += (p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF);
    return sum;
}

SDL_Window* OpenWindow()
{
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    return SDL_CreateWindow("bench", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
}

void CloseWindow(SDL_Window* window)
{
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// ---------------------------------------------------------------------------

void BM_DeviceLayer(benchmark::State& state)
{
    SDL_Window* window = OpenWindow();
    D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kWidth, kHeight, D3DFMT_X8R8G8B8);
    HRESULT hr = D3D_OK;
    IDirect3DDevice9* device = D3d9Device::Create(window, params, &hr);
    if (!device) {
        state.SkipWithError("no device");
        CloseWindow(window);
        return;
    }

    std::vector<Vertex> quads = MakeQuads();
    std::vector<IDirect3DVertexBuffer9*> buffers(kQuadCount);
    for (int i = 0; i < kQuadCount; ++i) {
        device->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_DEFAULT, &buffers[i], nullptr);
        void* data = nullptr;
        buffers[i]->Lock(0, 0, &data, 0);
        memcpy(data, &quads[4 * i], 4 * sizeof(Vertex));
        buffers[i]->Unlock();
    }
    std::vector<IDirect3DTexture9*> textures(kTextureCount);
    for (int t = 0; t < kTextureCount; ++t) {
        device->CreateTexture(kQuadSide, kQuadSide, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &textures[t],
                              nullptr);
        D3DLOCKED_RECT locked = {};
        textures[t]->LockRect(0, &locked, nullptr, 0);
        std::vector<uint32_t> texels = MakeTexels(t);
        memcpy(locked.pBits, texels.data(), texels.size() * 4);
        textures[t]->UnlockRect(0);
    }
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(kFvf);

    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        for (int i = 0; i < kQuadCount; ++i) {
            // What a 2D visual sends before it draws, mostly unchanged values.
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
            device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
            device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
            device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
            device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            device->SetTexture(0, textures[i % kTextureCount]);
            device->SetStreamSource(0, buffers[i], 0, sizeof(Vertex));
            device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        }
        glFinish();
    }
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* copy = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    device->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
    device->GetRenderTargetData(backBuffer, copy);
    D3DLOCKED_RECT locked = {};
    copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    uint64_t sum = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        uint32_t p = ((const uint32_t*)locked.pBits)[i];
        sum += (p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF);
    }
    copy->UnlockRect();
    copy->Release();
    backBuffer->Release();
    state.counters["pixelSum"] = (double)sum;

    for (IDirect3DVertexBuffer9* buffer : buffers)
        buffer->Release();
    for (IDirect3DTexture9* texture : textures)
        texture->Release();
    device->Release();
    CloseWindow(window);
}
BENCHMARK(BM_DeviceLayer)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Raw GL: one program, one texture bind per quad, into an FBO of the same size.

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec4 a_colour;
layout(location = 2) in vec2 a_uv;
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

const char* const kFragmentShader = R"(#version 330 core
uniform sampler2D u_texture;
in vec4 v_colour;
in vec2 v_uv;
out vec4 o_colour;
void main()
{
    o_colour = v_colour * texture(u_texture, v_uv);
}
)";

// Arg 0: one vertex array object per quad; arg 1: one shared object whose
// attributes are pointed at each quad's buffer (cheaper on Mesa).
void BM_RawGl(benchmark::State& state)
{
    const bool sharedVao = state.range(0) == 1;
    SDL_Window* window = OpenWindow();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        state.SkipWithError("no context");
        CloseWindow(window);
        return;
    }
    GLuint program = D3d9LinkProgram(kVertexShader, kFragmentShader);
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "u_scale"), 2.0f / kWidth, 2.0f / kHeight);

    GLuint target = 0, fbo = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    glViewport(0, 0, kWidth, kHeight);

    std::vector<Vertex> quads = MakeQuads();
    std::vector<GLuint> vbos(kQuadCount), vaos(kQuadCount);
    glGenBuffers(kQuadCount, vbos.data());
    glGenVertexArrays(kQuadCount, vaos.data());
    for (int i = 0; i < kQuadCount; ++i) {
        glBindVertexArray(vaos[i]);
        glBindBuffer(GL_ARRAY_BUFFER, vbos[i]);
        glBufferData(GL_ARRAY_BUFFER, 4 * sizeof(Vertex), &quads[4 * i], GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void*)0);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), (void*)16);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void*)20);
    }
    std::vector<GLuint> textures(kTextureCount);
    glGenTextures(kTextureCount, textures.data());
    for (int t = 0; t < kTextureCount; ++t) {
        glBindTexture(GL_TEXTURE_2D, textures[t]);
        std::vector<uint32_t> texels = MakeTexels(t);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kQuadSide, kQuadSide, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        if (sharedVao)
            glBindVertexArray(vaos[0]);
        for (int i = 0; i < kQuadCount; ++i) {
            glBindTexture(GL_TEXTURE_2D, textures[i % kTextureCount]);
            if (sharedVao) {
                glBindBuffer(GL_ARRAY_BUFFER, vbos[i]);
                glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void*)0);
                glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), (void*)16);
                glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void*)20);
            } else {
                glBindVertexArray(vaos[i]);
            }
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        }
        glFinish();
    }
    state.counters["pixelSum"] = (double)PixelSum();

    glDeleteVertexArrays(kQuadCount, vaos.data());
    glDeleteBuffers(kQuadCount, vbos.data());
    glDeleteTextures(kTextureCount, textures.data());
    glDeleteTextures(1, &target);
    glDeleteFramebuffers(1, &fbo);
    glDeleteProgram(program);
    SDL_GL_DeleteContext(context);
    CloseWindow(window);
}
BENCHMARK(BM_RawGl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // Headless by default, like the tests.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // Mesa's software rasteriser hands pixels to a pool of threads whose
    // scheduling makes frame times jump between two levels, 2.5x apart, for
    // both sides alike; rasterising on the drawing thread keeps the ratio steady.
    setenv("LP_NUM_THREADS", "0", 0);
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Against the faster of the two raw GL ways.
    double perQuadVao = reporter.RealRatio("BM_DeviceLayer", "BM_RawGl/0");
    double sharedVao = reporter.RealRatio("BM_DeviceLayer", "BM_RawGl/1");
    if (perQuadVao > 0 && sharedVao > 0)
        printf("device layer / raw GL, 10,000 quads: %.2f (vs one VAO per quad: %.2f)\n",
               perQuadVao > sharedVao ? perQuadVao : sharedVao, perQuadVao);
    benchmark::Shutdown();
    return 0;
}
