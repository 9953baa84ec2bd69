// A location change from a pack: the location manager reads "Locations/" +
// name + ".xml" and the loader fills the location (a 1280 by 1024 background
// with its depth picture, and 10, 100 or 1,000 entities, each a mesh with its
// material, a sprite in the scene and a box collider, all from a few shared
// files), against reading every file the location names from the same pack
// and parsing it (XML through TinyXML, pictures through the image decoder):
// the shared files once, and each of the background's three pictures (the
// depth and picking pictures are one file here), in the same run. The change pays for what the reference does
// not: the entities, the scenic meshes, sprites and colliders, the camera
// and the background's tiles; it reads each shared file once as well, since
// the resource collector keeps what is in use.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Support/TestTempDir.h"
#include "tools/depthpic/DepthPictureWriter.h"
#include "tools/fpk/FpkWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kColour = "textures/back.tga";
const char* const kDepth = "textures/back_z.tga";

std::string LocationName(int64_t entities)
{
    return "bench" + std::to_string(entities);
}

std::string LocationText(int64_t entities)
{
    using namespace locwriter;
    std::vector<std::string> sections = {
        std::string("<camera_group><camera3d pos=\"0 200 -900\" target=\"0 0 0\" upvec=\"0 1 0\" fov=\"60\" "
                    "znear=\"10\" zfar=\"5000\"/><background argbimage=\"") +
        kColour + "\" zimage=\"" + kDepth + "\" zmaskimage=\"" + kDepth + "\"/></camera_group>"};
    for (int64_t i = 0; i < entities; ++i) {
        const std::string pos = std::to_string(i % 40 * 20 - 400) + " 0 " + std::to_string(i / 40 * 20);
        sections.push_back(
            Entity("name=\"e" + std::to_string(i) + "\" pos=\"" + pos + "\"",
                   {std::string("<visual_object><mesh filename=\"") + kOneRangeMesh + "\"><material filename=\"" +
                        kBlendMaterial + "\"/></mesh><sprite3d image=\"" + kRedPicture + "\"/></visual_object>",
                    "<collider aabb=\"-5 0 -5 5 10 5\"/>"}));
    }
    return LocationXml(sections);
}

// The data tree and its pack, written once.
class CLoadScene {
public:
    CLoadScene()
    {
        root = dir.Path();
        const std::string data = root + "/data";
        locwriter::WriteSharedFiles(data);
        locwriter::WriteFile(data, kColour, locwriter::SolidTga(1280, 1024, 0xFF808060));
        DepthPicture depth(1280, 1024, 500.0f);
        locwriter::WriteFile(data, kDepth, depth.Serialize());
        for (int64_t entities : {10, 100, 1000})
            locwriter::WriteFile(data, "Locations/" + LocationName(entities) + ".xml", LocationText(entities));
        pack = root + "/bench.fpk";
        std::string error;
        WritePackFromDirectory(pack.c_str(), data.c_str(), &error);
    }
    CTestTempDir dir;
    std::string root;
    std::string pack;
};

CLoadScene& Scene()
{
    static CLoadScene scene;
    return scene;
}

// What both sides run under: the pack mounted, a device, the collector, the
// layers and the collider list.
class CLoadWorld {
public:
    CLoadWorld()
    {
        g_packPath = Scene().pack.c_str();
        CHarvester::Init();
        g_dataRoot = "";
        g_pGmResCollector = &collector;
        g_pGmLayers = &layers;
        CreateActiveColliders();
        g_locationManager = &manager;
    }
    ~CLoadWorld()
    {
        manager.Clear();
        g_locationManager = nullptr;
        DestroyActiveColliders();
        g_pGmLayers = nullptr;
        g_pGmResCollector = nullptr;
        CHarvester::Unmount();
        g_packPath = "";
    }

    CBenchDevice device;
    CGmResCollector collector;
    CGmLayers layers;
    CQmLocationManager manager;
};

void BM_ChangeLocation(benchmark::State& state)
{
    CLoadWorld world;
    const std::string path = "Locations/" + LocationName(state.range(0)) + ".xml";
    for (auto _ : state) {
        CQmLocation* location = world.manager.ChangeLocation(path.c_str());
        benchmark::DoNotOptimize(location);
        state.PauseTiming();
        const bool loaded = location && location->entities.count == uint32_t(state.range(0));
        world.manager.Clear();
        if (!loaded) {
            state.SkipWithError("the location did not load");
            break;
        }
        state.ResumeTiming();
    }
}

bool ParseXml(const char* path)
{
    CGeFileData file = LoadFileData(path);
    TiXmlDocument document;
    const bool parsed = file.size && XmlParseDocumentText(file.data, file.size, document);
    FreeFileData(file);
    return parsed;
}

bool DecodePicture(const char* path)
{
    CGeFileData file = LoadFileData(path);
    CGmImage image;
    const bool decoded = file.size && LoadImage(file, image);
    FreeFileData(file);
    return decoded;
}

void BM_ReadAndParse(benchmark::State& state)
{
    CLoadWorld world;
    const std::string path = "Locations/" + LocationName(state.range(0)) + ".xml";
    for (auto _ : state) {
        bool all = ParseXml(path.c_str());
        all = ParseXml(locwriter::kOneRangeMesh) && all;
        all = ParseXml(locwriter::kBlendMaterial) && all;
        all = DecodePicture(locwriter::kRedPicture) && all;
        all = DecodePicture(kColour) && all;
        all = DecodePicture(kDepth) && all; // "zimage"
        all = DecodePicture(kDepth) && all; // "zmaskimage"
        if (!all) {
            state.SkipWithError("a file is missing from the pack");
            break;
        }
    }
}

BENCHMARK(BM_ChangeLocation)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadAndParse)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PrepareProcess();
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    QmAnimInstallMakers();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("A location change from a pack (1280 x 1024 background; each entity a mesh, a "
                                     "material, a sprite and a collider) against reading and parsing its files");
    for (const char* count : {"10", "100", "1000"})
        reporter.PrintRatio((std::string(count) + " entities").c_str(),
                            (std::string("BM_ChangeLocation/") + count).c_str(),
                            (std::string("BM_ReadAndParse/") + count).c_str());
    benchmark::Shutdown();
    return 0;
}
