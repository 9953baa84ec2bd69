// sceneview: writes the scene's data into a pack, then draws the scene in a
// window until it is closed; with --frames N it draws N frames and stops,
// and --screenshot FILE.tga writes the last one through the screenshot
// writer. --casters N sets the number of shadow-casting cubes, --no-shadows
// switches the stencil shadows off, --pack PATH keeps the pack there.
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Pack/Harvester.h"
#include "tools/sceneview/SceneViewScene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

int Usage()
{
    fprintf(stderr, "usage: sceneview [--frames N] [--screenshot FILE.tga] [--casters N] [--no-shadows] "
                    "[--pack PATH]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    long frames = -1;
    std::string screenshot, pack;
    SceneOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--frames" && hasValue)
            frames = strtol(argv[++i], nullptr, 10);
        else if (arg == "--screenshot" && hasValue)
            screenshot = argv[++i];
        else if (arg == "--casters" && hasValue)
            options.casters = uint32_t(strtoul(argv[++i], nullptr, 10));
        else if (arg == "--pack" && hasValue)
            pack = argv[++i];
        else if (arg == "--no-shadows")
            options.shadows = false;
        else
            return Usage();
    }
    if (frames == 0 || (frames < 0 && !screenshot.empty()))
        return Usage();

    std::filesystem::path temporary;
    if (pack.empty()) {
        char pattern[] = "/tmp/sceneview-XXXXXX";
        if (!mkdtemp(pattern)) {
            fprintf(stderr, "sceneview: cannot make a temporary directory\n");
            return 1;
        }
        temporary = pattern;
        pack = (temporary / "resource.fpk").string();
    }
    std::string error;
    if (!WriteScenePack(pack, &error)) {
        fprintf(stderr, "sceneview: %s\n", error.c_str());
        return 1;
    }

    GeCoreInit();
    g_packPath = pack.c_str();
    int result = 0;
    if (!CHarvester::MountSinglePack(g_packPath)) {
        fprintf(stderr, "sceneview: cannot mount %s\n", pack.c_str());
        result = 1;
    } else {
        GeDeviceConfig& settings = *g_videoSettings;
        settings.windowed = 1;
        settings.width = sceneview::kWidth;
        settings.height = sceneview::kHeight;
        CGeHub::Init(settings);
        {
            CSceneView scene;
            if (!scene.Build(options)) {
                fprintf(stderr, "sceneview: the scene cannot be built\n");
                result = 1;
            } else {
                for (long frame = 0; g_pGmDevice && g_pGmDevice->m_running; ++frame) {
                    PumpWindowMessages();
                    if (frames > 0 && frame == frames - 1 && !screenshot.empty()) {
                        if (!scene.WriteScreenshot(screenshot)) {
                            fprintf(stderr, "sceneview: cannot write %s\n", screenshot.c_str());
                            result = 1;
                        }
                        break;
                    }
                    scene.Frame(true);
                    if (frames > 0 && frame == frames - 1)
                        break;
                }
            }
        }
        CGeHub::Shutdown();
    }
    GeCoreShutdown();
    if (!temporary.empty())
        std::filesystem::remove_all(temporary);
    return result;
}
