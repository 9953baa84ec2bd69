// Frames of the sceneview scene (the floor and 1, 10 or 100 cubes, at 320 by
// 240 pixels) drawn through the render layers, with and without stencil
// shadows; against raw GL drawing the same textured triangles (one draw per
// object, one ready-made program with a per-vertex light that modulates the
// object's 8 by 8 texture, its matrix as a uniform) in the same run. Both sides wait for the rasteriser with glFinish. The target
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
                            "layout(location = 2) in vec2 uv;\n"
                            "uniform mat4 mvp;\n"
                            "out float shade;\n"
                            "out vec2 texel;\n"
                            "void main() {\n"
                            "    gl_Position = mvp * vec4(position, 1.0);\n"
                            "    shade = min(1.0, 0.04 + max(normal.y, 0.0));\n"
                            "    texel = uv;\n"
                            "}\n";
const char* kFragmentShader = "#version 330 core\n"
                              "in float shade;\n"
                              "in vec2 texel;\n"
                              "uniform sampler2D picture;\n"
                              "out vec4 result;\n"
                              "void main() { result = vec4(texture(picture, texel).rgb * shade, 1.0); }\n";

// An 8 by 8 texture of one colour, as the scene's floor and cube textures.
GLuint SolidTexture(uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> texels;
    for (int i = 0; i < 64; ++i)
        texels.insert(texels.end(), {r, g, b, 255});
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}

GLuint Compile(GLenum kind, const char* text)
{
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

// Position, normal and texture coordinates of every corner of the floor's
// two and the cube's twelve triangles.
void AddQuad(std::vector<float>& out, const Vec3 c[4], const Vec3& n)
{
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k : {0, 1, 2, 0, 2, 3})
        out.insert(out.end(), {c[k].x, c[k].y, c[k].z, n.x, n.y, n.z, uv[k][0], uv[k][1]});
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
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 32, nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<void*>(12));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<void*>(24));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glUseProgram(program);
    const GLint mvpAt = glGetUniformLocation(program, "mvp");
    glUniform1i(glGetUniformLocation(program, "picture"), 0);
    glActiveTexture(GL_TEXTURE0);
    const GLuint floorTexture = SolidTexture(sceneview::kFloorGrey, sceneview::kFloorGrey, sceneview::kFloorGrey);
    const GLuint cubeTexture = SolidTexture(220, 40, 40);
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
        glBindTexture(GL_TEXTURE_2D, floorTexture);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        glBindTexture(GL_TEXTURE_2D, cubeTexture);
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
    glDeleteTextures(1, &floorTexture);
    glDeleteTextures(1, &cubeTexture);
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
