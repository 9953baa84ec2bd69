// The program's start-up up to its first presented frame, on the packed demo
// game in a temporary working directory with a temporary per-user folder:
//   Startup      InitApplication (engine core, settings file, hub and device,
//                dispatcher, script processor with "Scripts/global.lua" still
//                to run, game processor), CQmGameProcessor::Init (the script
//                file and "global_init"), then the logo sequence up to its
//                first presented frame;
//   DeviceAlone  the engine core, the hub with its device from the default
//                settings, and one cleared, presented frame: the least any
//                start-up of this engine does.
// Both make a 64 by 64 window (offscreen unless SDL_VIDEODRIVER says
// otherwise); shutdown runs after each iteration with the timing paused. The ratio
// of the first to the second is printed at the end.
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/Qasimar/QmStartup.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void SmallWindow(GeDeviceConfig& settings)
{
    settings.windowed = 1;
    settings.width = 64;
    settings.height = 64;
    settings.refreshRate = 1; // no display mode has it: the size is kept
}

void Startup(benchmark::State& state)
{
    for (auto _ : state) {
        if (!InitApplication()) {
            state.SkipWithError("no device");
            ShutdownGame();
            break;
        }
        g_gameProcessor->Init();
        // The close request waits in the queue until the first logo frame
        // pumps the messages: without a menu it closes the window, and the
        // sequence ends after exactly one presented frame.
        PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
        g_gameProcessor->PlayLogos();
        state.PauseTiming();
        const bool oneFrame = g_gameProcessor->framesRendered == 1;
        ShutdownGame();
        if (!oneFrame) {
            state.SkipWithError("the logo sequence did not present exactly one frame");
            break;
        }
        state.ResumeTiming();
    }
}

void DeviceAlone(benchmark::State& state)
{
    for (auto _ : state) {
        GeCoreInit();
        SetDefaultDeviceConfig(*g_videoSettings);
        SmallWindow(*g_videoSettings);
        CGeHub::Init(*g_videoSettings);
        if (!g_pGmDevice || !g_pGmDevice->GetDevice()) {
            state.SkipWithError("no device");
            CGeHub::Shutdown();
            GeCoreShutdown();
            break;
        }
        g_pGmDevice->BeginScene();
        g_pGmDevice->EndScene();
        g_pGmDevice->Present();
        g_pGmDevice->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, 0xFF000000, 1.0f);
        state.PauseTiming();
        CGeHub::Shutdown();
        GeCoreShutdown();
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PreferOffscreen();
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);

    // A working directory with the demo's pack, and an empty per-user folder
    // (the first start-up writes the default settings file, the later ones
    // read it).
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("qm-bench-startup-" + std::to_string(getpid()));
    std::error_code error;
    std::filesystem::create_directories(root / "home", error);
    std::filesystem::copy_file(QM_DEMO_PACK, root / "resource.fpk", error);
    if (error) {
        fprintf(stderr, "cannot prepare %s: %s\n", root.c_str(), error.message().c_str());
        return 1;
    }
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(root);
    setenv("XDG_DATA_HOME", (root / "home").c_str(), 1);
    SetStartupSettingsHook(SmallWindow);

    benchmark::RegisterBenchmark("Startup", Startup)->Unit(benchmark::kMillisecond)->Repetitions(5);
    benchmark::RegisterBenchmark("DeviceAlone", DeviceAlone)->Unit(benchmark::kMillisecond)->Repetitions(5);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("Start-up to the first presented frame on the demo game against the device alone "
                                     "(core, hub, one cleared frame)");
    reporter.PrintRatio("Start-up to the first logo frame", "Startup", "DeviceAlone");

    SetStartupSettingsHook(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(root, error);
    benchmark::Shutdown();
    return 0;
}
