// One frame of a location, Update and Render: a 1280 by 1024 background
// (colour tiles, the depth copied each frame) and 1,000 entities each with a
// visual object holding one cube as a scenic mesh, against the same meshes
// drawn through the render layers after one depth StretchRect, in the same
// run. The location's side pays for its entity walk (frames, properties,
// visual updates), camera selection and the background's tiles; the
// reference updates the meshes' frames itself.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tools/depthpic/DepthPictureWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kEntities = 1000;
constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 1024;

// Vertex colours only, the same on both sides.
class FlatMaterial : public CGmMaterial {
public:
    void Apply(const float*, uint32_t) override
    {
        IDirect3DDevice9* device = g_pGmDevice->GetDevice();
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    }
    void BuildDeviceMaterial() override {}
};

std::string WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// The device at the reference size with the hub's slot 0, the layers, a
// camera, the two pictures and the cube mesh.
class CLocationScene {
public:
    CLocationScene()
    {
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        GeDeviceConfig settings;
        SetDefaultDeviceConfig(settings);
        settings.windowed = 1;
        settings.width = kWidth;
        settings.height = kHeight;
        settings.refreshRate = 1;
        wrapper = std::make_unique<CGmDeviceWrapper>(settings);
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
        states = std::make_unique<CGmRenderStateCache>(wrapper.get());
        states->Reset();
        g_pGmRenderStateCache = states.get();
        g_pGmLayers = &layers;
        CGeHub::s_currentSlot = 0;
        screen.screenWidth = 1280;
        screen.screenHeight = 1024;
        screen.boundWidth = 1280.0f;
        screen.boundHeight = 1024.0f;
        screen.Apply({0, 0, kWidth, kHeight, 0.0f, 1.0f});
        CGeHub::s_cameras2d[0] = &screen;

        directory = std::filesystem::temp_directory_path() / "qm-location-bench";
        std::filesystem::create_directories(directory);
        imagefixture::TgaSpec colour;
        colour.width = kWidth;
        colour.height = kHeight;
        colour.topFirst = true;
        colour.pixels.assign(size_t(kWidth) * kHeight * 4, 0x80);
        colourPath = WriteFile((directory / "colour.tga").string(), imagefixture::MakeTga(colour));
        DepthPicture depth(kWidth, kHeight, 500.0f);
        depth.Fill(kWidth * 2 / 5, 0, kWidth * 3 / 5, kHeight, 100.0f);
        depthPath = WriteFile((directory / "depth.tga").string(), depth.Serialize());
        const meshfixture::Bytes cube = meshfixture::WriteGemesh(meshfixture::MakeCube());
        CGeFileData file;
        file.path = "cube.gemesh";
        file.size = uint32_t(cube.size());
        file.data = static_cast<uint8_t*>(malloc(cube.size()));
        memcpy(file.data, cube.data(), cube.size());
        mesh = new CGmMesh;
        mesh->LoadGemesh(file);
        FreeFileData(file);
        materials.Add(&material);
        material.AddRef();
    }

    ~CLocationScene()
    {
        mesh->Release();
        CGeHub::s_cameras2d[0] = nullptr;
        CGeHub::s_cameras3d[0] = nullptr;
        g_pGmLayers = nullptr;
        g_pGmRenderStateCache = nullptr;
        states.reset();
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        wrapper.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    // A camera at the origin looking down +z over the whole screen.
    static CGmPerspectiveCamera* MakeCamera()
    {
        auto* camera = new CGmPerspectiveCamera;
        camera->screenWidth = int32_t(kWidth);
        camera->screenHeight = int32_t(kHeight);
        camera->eye = {0.0f, 0.0f, 0.0f};
        camera->target = {0.0f, 0.0f, 1.0f};
        camera->nearPlane = 10.0f;
        camera->farPlane = 1000.0f;
        camera->Apply({0, 0, kWidth, kHeight, 0.0f, 1.0f});
        return camera;
    }

    // Where mesh i stands: a grid of cubes between 150 and 450 ahead.
    static Vec3 Place(int i) { return {float(i % 40) * 12.0f - 240.0f, float(i / 40) * 12.0f - 150.0f, 150.0f + float(i % 7) * 50.0f}; }

    void Present()
    {
        wrapper->Present();
        wrapper->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, 0xFF646464, 1.0f);
    }

    std::unique_ptr<CGmDeviceWrapper> wrapper;
    CGmResourceManager manager;
    std::unique_ptr<CGmRenderStateCache> states;
    CGmLayers layers;
    CGmStaticCamera screen;
    std::filesystem::path directory;
    std::string colourPath, depthPath;
    CGmMesh* mesh = nullptr;
    FlatMaterial material;
    CGeArray<CGmMaterial*> materials;
};

class BenchClock : public CGeClock {
public:
    int64_t Counter() override { return ticks += 40; }
    int64_t Frequency() override { return 1000; }
    int64_t ticks = 0;
};

void BM_LocationFrame(benchmark::State& state)
{
    CLocationScene scene;
    BenchClock clock;
    CGeTimer timer(25.0f, &clock);
    g_geTimer = &timer;
    {
        CQmLocation location("bench");
        QmCameraGroup group;
        group.camera = CLocationScene::MakeCamera();
        group.backgrounds.Add(new CQmBackGround(scene.colourPath.c_str(), scene.depthPath.c_str(), "", group.camera));
        location.cameraGroups.Add(std::move(group));
        for (int i = 0; i < kEntities; ++i) {
            auto* entity = new CQmEntity;
            entity->frame.SetPosition(CLocationScene::Place(i));
            auto* visuals = new CQmPropVisualObject(entity);
            entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
            visuals->AddVisual(new CGmScenicMesh(scene.mesh, nullptr, scene.materials), 2);
            visuals->SetEnabled(true);
            location.AddNamedObject(CGeString(""), entity, false);
        }
        // The depth surface is rasterised once, at the first frame: outside
        // the timing, as the reference makes it before its loop.
        location.Update(0.04f);
        location.Render(QM_LOCATION_PASS_SCENE | QM_LOCATION_PASS_BACKGROUND);
        scene.Present();
        for (auto _ : state) {
            timer.Update();
            location.Update(timer.delta);
            location.Render(QM_LOCATION_PASS_SCENE | QM_LOCATION_PASS_BACKGROUND);
            scene.Present();
        }
    }
    g_geTimer = nullptr;
}

void BM_LayersFrame(benchmark::State& state)
{
    CLocationScene scene;
    std::unique_ptr<CGmPerspectiveCamera> camera(CLocationScene::MakeCamera());
    CGeHub::s_cameras3d[0] = camera.get();
    CQmBackGround background("", scene.depthPath.c_str(), "", camera.get());
    background.Create();
    std::vector<std::unique_ptr<CGmScenicMesh>> meshes;
    for (int i = 0; i < kEntities; ++i) {
        meshes.emplace_back(new CGmScenicMesh(scene.mesh, nullptr, scene.materials));
        meshes.back()->frame.SetPosition(CLocationScene::Place(i));
        scene.layers.Add(2, meshes.back().get());
    }
    IDirect3DDevice9* device = scene.wrapper->GetDevice();
    for (auto _ : state) {
        for (auto& mesh : meshes) {
            mesh->frame.UpdateWorldMatrix();
            mesh->Update();
        }
        IDirect3DSurface9* current = nullptr;
        device->GetDepthStencilSurface(&current);
        device->StretchRect(background.depthSurface, nullptr, current, nullptr, D3DTEXF_NONE);
        current->Release();
        scene.wrapper->BeginScene();
        camera->ApplyViewProjection(scene.wrapper.get());
        scene.wrapper->SetZEnable(1);
        scene.wrapper->SetZWriteEnable(1);
        scene.layers.RenderAll();
        scene.wrapper->EndScene();
        scene.Present();
    }
    for (auto& mesh : meshes)
        scene.layers.Remove(mesh.get());
}

BENCHMARK(BM_LocationFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LayersFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("A location's frame (1280 x 1024 background, 1,000 meshes) against its meshes "
                                     "through the layers with one depth copy");
    reporter.PrintRatio("Update and Render", "BM_LocationFrame", "BM_LayersFrame");
    benchmark::Shutdown();
    return 0;
}
