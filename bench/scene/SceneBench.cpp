// Frames of the sceneview scene (the floor and 1, 10 or 100 cubes, at 256 by
// 256 pixels) drawn through the render layers, with and without stencil
// shadows; against raw GL drawing the same triangles (one draw per object,
// one ready-made program with a per-vertex light, its matrix as a uniform) in
// the same run. Both sides wait for the rasteriser with glFinish. The target
// is the scene without shadows within 1.3 times raw GL; the shadow runs show
// what the silhouettes, the shadow mesh and the stencil pass add.
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"
#include "tools/sceneview/SceneViewScene.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string s_pack;

// The engine core, the pack and the hub's device for one benchmark.
class CSceneEngine {
public:
    CSceneEngine()
    {
        GeCoreInit();
        g_packPath = s_pack.c_str();
        CHarvester::MountSinglePack(g_packPath);
        GeDeviceConfig& settings = *g_videoSettings;
        settings.windowed = 1;
        settings.width = sceneview::kWidth;
        settings.height = sceneview::kHeight;
        settings.refreshRate = 1;
        CGeHub::Init(settings);
    }
    ~CSceneEngine()
    {
        CGeHub::Shutdown();
        GeCoreShutdown();
        g_packPath = "";
        g_shadowMode = 0;
    }
};

void BM_Scene(benchmark::State& state)
{
    CSceneEngine engine;
    {
        CSceneView scene;
        if (!scene.Build({uint32_t(state.range(0)), state.range(1) != 0, false})) {
            state.SkipWithError("the scene cannot be built");
            return;
        }
        scene.Frame(false);
        glFinish();
        for (auto _ : state) {
            scene.Frame(false);
            glFinish();
        }
    }
}
BENCHMARK(BM_Scene)
    ->Args({1, 0})
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({1, 1})
    ->Args({10, 1})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond);

const char* kVertexShader = "#version 330 core\n"
                            "layout(location = 0) in vec3 position;\n"
                            "layout(location = 1) in vec3 normal;\n"
                            "uniform mat4 mvp;\n"
                            "uniform vec3 colour;\n"
                            "out vec3 shade;\n"
                            "void main() {\n"
                            "    gl_Position = mvp * vec4(position, 1.0);\n"
                            "    shade = colour * min(1.0, 0.04 + max(normal.y, 0.0));\n"
                            "}\n";
const char* kFragmentShader = "#version 330 core\n"
                              "in vec3 shade;\n"
                              "out vec4 result;\n"
                              "void main() { result = vec4(shade, 1.0); }\n";

GLuint Compile(GLenum kind, const char* text)
{
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

// Position and normal of every corner of the floor's two and the cube's
// twelve triangles.
void AddQuad(std::vector<float>& out, const Vec3 c[4], const Vec3& n)
{
    for (int k : {0, 1, 2, 0, 2, 3})
        out.insert(out.end(), {c[k].x, c[k].y, c[k].z, n.x, n.y, n.z});
}

std::vector<float> Geometry()
{
    std::vector<float> out;
    const Vec3 floor[4] = {{-50, 0, -50}, {-50, 0, 50}, {50, 0, 50}, {50, 0, -50}};
    AddQuad(out, floor, {0, 1, 0});
    const float h = sceneview::kCubeSize * 0.5f;
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            Vec3 n = {0, 0, 0}, u = {0, 0, 0}, v = {0, 0, 0};
            (&n.x)[axis] = sign;
            (&u.x)[(axis + 1) % 3] = h;
            (&v.x)[(axis + 2) % 3] = h;
            const Vec3 c = {n.x * h, n.y * h, n.z * h};
            const Vec3 corners[4] = {{c.x - u.x - v.x, c.y - u.y - v.y, c.z - u.z - v.z},
                                     {c.x + u.x - v.x, c.y + u.y - v.y, c.z + u.z - v.z},
                                     {c.x + u.x + v.x, c.y + u.y + v.y, c.z + u.z + v.z},
                                     {c.x - u.x + v.x, c.y - u.y + v.y, c.z - u.z + v.z}};
            AddQuad(out, corners, n);
        }
    }
    return out;
}

void BM_RawGl(benchmark::State& state)
{
    CSceneEngine engine;
    // The scene only for its camera and the cubes' places; it draws nothing.
    CSceneView scene;
    if (!scene.Build({uint32_t(state.range(0)), false, false})) {
        state.SkipWithError("the scene cannot be built");
        return;
    }
    const GLuint program = glCreateProgram();
    const GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader), fs = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        state.SkipWithError("the reference program does not link");
        return;
    }
    const std::vector<float> geometry = Geometry();
    GLuint vao = 0, vbo = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(geometry.size() * sizeof(float)), geometry.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 24, nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 24, reinterpret_cast<void*>(12));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glUseProgram(program);
    const GLint mvpAt = glGetUniformLocation(program, "mvp");
    const GLint colourAt = glGetUniformLocation(program, "colour");
    const Matrix4 viewProjection = MatrixMultiply4x4(scene.camera3d.projection, scene.camera3d.view);
    std::vector<Matrix4> cubes;
    for (const auto& cube : scene.casters)
        cubes.push_back(MatrixMultiply4x4(viewProjection, cube->frame.world));
    glViewport(0, 0, GLsizei(sceneview::kWidth), GLsizei(sceneview::kHeight));
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    auto frame = [&] {
        glClearColor(0.125f, 0.19f, 0.25f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glUniformMatrix4fv(mvpAt, 1, GL_TRUE, viewProjection.m);
        glUniform3f(colourAt, 0.78f, 0.78f, 0.78f);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        glUniform3f(colourAt, 0.86f, 0.16f, 0.16f);
        for (const Matrix4& m : cubes) {
            glUniformMatrix4fv(mvpAt, 1, GL_TRUE, m.m);
            glDrawArrays(GL_TRIANGLES, 6, 36);
        }
        glFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    glBindVertexArray(0);
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    glDeleteProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
}
BENCHMARK(BM_RawGl)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PrepareProcess();
    char pattern[] = "/tmp/scenebench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    s_pack = std::string(pattern) + "/resource.fpk";
    std::string error;
    if (!WriteScenePack(s_pack, &error)) {
        fprintf(stderr, "bench_scene: %s\n", error.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("The sceneview scene through the render layers against raw GL drawing its triangles");
    reporter.PrintRatio("1 cube, no shadows (target: 1.3 or below)", "BM_Scene/1/0", "BM_RawGl/1");
    reporter.PrintRatio("10 cubes, no shadows", "BM_Scene/10/0", "BM_RawGl/10");
    reporter.PrintRatio("100 cubes, no shadows", "BM_Scene/100/0", "BM_RawGl/100");
    reporter.PrintRatio("1 cube, stencil shadows", "BM_Scene/1/1", "BM_RawGl/1");
    reporter.PrintRatio("10 cubes, stencil shadows", "BM_Scene/10/1", "BM_RawGl/10");
    reporter.PrintRatio("100 cubes, stencil shadows", "BM_Scene/100/1", "BM_RawGl/100");
    benchmark::Shutdown();
    std::filesystem::remove_all(pattern);
    return 0;
}
