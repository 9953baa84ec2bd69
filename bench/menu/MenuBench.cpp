// The menu's load page with all twenty slots used, on the packed demo game in a
// temporary working directory with a temporary per-user folder; the slots are
// saved by the game itself, each with its 512 by 512 picture.
//   ShowLoadPage   the page shown: the slot list built (the slot files found,
//                  the headers read, the pictures read and decoded into
//                  textures, the sprites attached and placed) and every
//                  picture's texture bound once, as drawing the page does;
//   DirectUpload   the same picture files read, decoded by the same TGA
//                  reader and copied into Direct3D textures of the device with
//                  LockRect, each set on a stage and released: the least any
//                  page showing these pictures does.
// The ratio of the first to the second is printed at the end.
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmUserFolder.h"
#include "Source/Qasimar/QasimarMenu.h"
#include "Source/Qasimar/QmStartup.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

CQasimarMenu* g_benchMenu = nullptr;

void SmallWindow(GeDeviceConfig& settings)
{
    settings.windowed = 1;
    settings.width = 64;
    settings.height = 64;
    settings.refreshRate = 1; // no display mode has it: the size is kept
}

// False when a slot has no picture or a picture did not bind.
bool ShowAndBind()
{
    g_benchMenu->ShowLoadPage();
    bool bound = true;
    for (CGmSprite* picture : g_benchMenu->slotPictures)
        bound = picture && picture->imageSet.texture && picture->imageSet.texture->Bind(0) && bound;
    g_pGmDevice->GetDevice()->SetTexture(0, nullptr);
    return bound;
}

void ShowLoadPage(benchmark::State& state)
{
    for (auto _ : state) {
        if (!ShowAndBind())
            state.SkipWithError("a slot picture did not show");
    }
}

void CopyRows(IDirect3DTexture9* texture, const CGmImage& image)
{
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, 0);
    const uint32_t rowBytes = std::min(image.pitch, uint32_t(locked.Pitch));
    for (uint32_t y = 0; y < image.height; ++y)
        memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, image.data + size_t(y) * image.pitch,
               rowBytes);
    texture->UnlockRect(0);
}

// One pass over the twenty pictures; false when one did not decode.
bool UploadAllDirectly(CGmImage& image)
{
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    bool decoded = true;
    for (int slot = 0; slot < 20; ++slot) {
        const CGeString path = FormatString("%s/save/slot_%i.s.tga", GetUserDataFolder(), slot);
        CGeFileData file = ReadWholeFile(path.c_str(), false);
        image.FreeData();
        const bool read = file.size && image.ReadTga(file);
        FreeFileData(file);
        decoded = read && decoded;
        if (!read)
            continue;
        IDirect3DTexture9* texture = nullptr;
        device->CreateTexture(image.width, image.height, 1, 0, D3DFORMAT(GetD3DFormat(image.format)), D3DPOOL_DEFAULT,
                              &texture, nullptr);
        if (!texture)
            return false;
        CopyRows(texture, image);
        device->SetTexture(0, texture);
        device->SetTexture(0, nullptr);
        texture->Release();
    }
    return decoded;
}

void DirectUpload(benchmark::State& state)
{
    CGmImage image;
    for (auto _ : state) {
        if (!UploadAllDirectly(image))
            state.SkipWithError("a picture did not decode");
    }
}

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PreferOffscreen();
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("qm-menu-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "home");
    std::filesystem::copy_file(QM_DEMO_PACK, root / "resource.fpk");
    std::filesystem::current_path(root);
    setenv("XDG_DATA_HOME", (root / "home").c_str(), 1);
    SetStartupSettingsHook(SmallWindow);

    int result = 0;
    if (!InitApplication()) {
        fprintf(stderr, "no device\n");
        result = 1;
    } else {
        g_gameProcessor->Init();
        g_gameProcessor->StartNewGame();
        for (int slot = 0; slot < 20; ++slot)
            g_gameProcessor->SaveGame(slot);
        g_benchMenu = dynamic_cast<CQasimarMenu*>(g_menu);
        if (g_benchMenu)
            g_gameProcessor->OpenMenu(0);
        // One untimed pass of each first: the files' pages and the driver's
        // first uploads are then warm for both sides.
        CGmImage image;
        if (!g_locationManager->current || !g_benchMenu || !ShowAndBind() || !UploadAllDirectly(image)) {
            fprintf(stderr, "the slots were not saved and shown\n");
            result = 1;
        } else {
            benchmark::RegisterBenchmark("ShowLoadPage", ShowLoadPage)->Unit(benchmark::kMillisecond)->Repetitions(5);
            benchmark::RegisterBenchmark("DirectUpload", DirectUpload)->Unit(benchmark::kMillisecond)->Repetitions(5);
            CBenchRatioReporter reporter;
            benchmark::RunSpecifiedBenchmarks(&reporter);
            CBenchRatioReporter::PrintRatios("The load page with 20 used slots (512 x 512 pictures) against a direct "
                                             "upload of the same pictures");
            reporter.PrintRatio("ShowLoadPage", "ShowLoadPage", "DirectUpload");
        }
    }
    ShutdownGame();
    SetStartupSettingsHook(nullptr);
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    benchmark::Shutdown();
    return result;
}
