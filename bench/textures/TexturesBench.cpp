// Loading textures from a pack: 100 pictures of 512 by 512 (".gep" files with
// a JPEG payload, raw ".gep" files and DXT1 ".dds" files with their mip
// levels) in one pack file.
//   LoadFromFileAndBind  LoadFileData, a CGmTexture made from the file and
//                        bound once (decoded and uploaded through the
//                        resource manager), then released;
//   DirectUpload         the same files read the same way, decoded by the same
//                        decoders into an image and copied into a Direct3D
//                        texture of the platform device with LockRect, then
//                        released: the least any texture loader does.
// The ratio of the first to the second is printed at the end.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Pack/Harvester.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"
#include "tools/fpk/FpkWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace imagefixture;

namespace {

constexpr uint32_t kSide = 512;
constexpr int kTextureCount = 100;

std::string g_root;
std::vector<std::string> g_names;

Bytes RandomBytes(size_t size, uint32_t seed)
{
    Bytes out(size);
    for (uint8_t& byte : out) {
        seed = seed * 214013u + 2531011u;
        byte = uint8_t(seed >> 16);
    }
    return out;
}

// Every third file of each kind: a JPEG-coded ".gep", a raw A8R8G8B8 ".gep"
// and a DXT1 ".dds" with the whole mip chain.
void WritePack()
{
    g_root = (std::filesystem::temp_directory_path() / ("qm-texture-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(g_root + "/tree/textures");
    EncodeOptions options;
    const Bytes jpeg = EncodeJpeg(MakeTestImage(kSide, kSide, 3, 5), options);
    for (int i = 0; i < kTextureCount; ++i) {
        Bytes file;
        std::string name = "textures/t" + std::to_string(i);
        if (i % 3 == 0) {
            GepSpec spec;
            spec.width = spec.height = kSide;
            spec.pixelCode = kJpegColourCode;
            spec.payload = jpeg;
            file = MakeGep(spec);
            name += ".gep";
        } else if (i % 3 == 1) {
            GepSpec spec;
            spec.width = spec.height = kSide;
            spec.pixelCode = 0x002; // A8R8G8B8 rows, stored plainly
            spec.payload = MakePlane(RandomBytes(size_t(kSide) * kSide * 4, i));
            file = MakeGep(spec);
            name += ".gep";
        } else {
            DdsSpec spec;
            spec.width = spec.height = kSide;
            spec.mipCountFlag = true;
            spec.mipCount = 10;
            size_t bytes = 0;
            for (uint32_t side = kSide; side >= 1; side /= 2)
                bytes += DdsLevelBytes(GM_FMT_DXT1, side, side);
            spec.levelData = RandomBytes(bytes, i);
            file = MakeDds(spec);
            name += ".dds";
        }
        std::ofstream(g_root + "/tree/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        g_names.push_back(name);
    }
    std::string error;
    if (!WritePackFromDirectory((g_root + "/resource.fpk").c_str(), (g_root + "/tree").c_str(), &error)) {
        fprintf(stderr, "cannot write the pack: %s\n", error.c_str());
        exit(1);
    }
    g_packPath = (g_root + "/resource.fpk").c_str();
    CHarvester::Init();
}

// One pass over every file; false when a texture did not bind.
bool LoadAllThroughTextures()
{
    bool bound = true;
    std::vector<CGmTexture*> textures;
    for (const std::string& name : g_names) {
        CGeFileData file = LoadFileData(name.c_str(), true);
        CGmTexture* texture = new CGmTexture(file, false);
        bound = texture->Bind(0) && texture->m_texture && bound;
        FreeFileData(file);
        textures.push_back(texture);
    }
    g_pGmDevice->GetDevice()->SetTexture(0, nullptr);
    for (CGmTexture* texture : textures)
        texture->Release();
    return bound;
}

void LoadFromFileAndBind(benchmark::State& state)
{
    for (auto _ : state) {
        if (!LoadAllThroughTextures())
            state.SkipWithError("a texture did not bind");
    }
}

// The image a file decodes to, as the texture's own upload would decode it.
bool Decode(const CGeFileData& file, CGmImage& packed, CGmImage& raw)
{
    packed.FreeData();
    packed.kind = GM_IMAGE_PACKED;
    if (!packed.ReadPacked(file))
        return false;
    return packed.kind == GM_IMAGE_DDS || CGmImage::DecodeGep(packed, raw);
}

void CopyLevel(IDirect3DTexture9* texture, uint32_t level, const uint8_t* source, uint32_t rowBytes, uint32_t rows)
{
    D3DLOCKED_RECT locked;
    texture->LockRect(level, &locked, nullptr, 0);
    for (uint32_t y = 0; y < rows; ++y)
        memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, source + size_t(y) * rowBytes, rowBytes);
    texture->UnlockRect(level);
}

// One pass over every file; false when a file did not decode.
bool UploadAllDirectly(CGmImage& packed, CGmImage& raw)
{
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    bool decoded = true;
    std::vector<IDirect3DTexture9*> textures;
    for (const std::string& name : g_names) {
        CGeFileData file = LoadFileData(name.c_str(), true);
        decoded = Decode(file, packed, raw) && decoded;
        FreeFileData(file);
        IDirect3DTexture9* texture = nullptr;
        if (packed.kind == GM_IMAGE_DDS) {
            device->CreateTexture(packed.width, packed.height, packed.pitch, D3DUSAGE_DYNAMIC, D3DFMT_DXT1,
                                  D3DPOOL_DEFAULT, &texture, nullptr);
            const uint8_t* source = packed.data + kDdsHeaderBytes;
            for (uint32_t level = 0, side = packed.width; side > 1; ++level, side /= 2) {
                const uint32_t rowBytes = std::max(1u, side / 4) * 8;
                CopyLevel(texture, level, source, rowBytes, std::max(1u, side / 4));
                source += DdsLevelBytes(GM_FMT_DXT1, side, side);
            }
        } else {
            device->CreateTexture(raw.width, raw.height, 1, 0, D3DFORMAT(GetD3DFormat(raw.format)), D3DPOOL_DEFAULT,
                                  &texture, nullptr);
            CopyLevel(texture, 0, raw.data, raw.pitch, raw.height);
        }
        device->SetTexture(0, texture);
        textures.push_back(texture);
    }
    device->SetTexture(0, nullptr);
    for (IDirect3DTexture9* texture : textures)
        texture->Release();
    return decoded;
}

void DirectUpload(benchmark::State& state)
{
    CGmImage packed, raw;
    for (auto _ : state) {
        if (!UploadAllDirectly(packed, raw))
            state.SkipWithError("a file did not decode");
    }
}

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PreferOffscreen();
    benchmark::Initialize(&argc, argv);
    GeCpuProbeCreate();
    GeSimdCreate();
    WritePack();

    CBenchDevice* device = new CBenchDevice();

    // One untimed pass of each first: the pack's pages, the allocator's
    // arenas and the driver's first uploads are then warm for both sides.
    CGmImage packed, raw;
    if (!LoadAllThroughTextures() || !UploadAllDirectly(packed, raw)) {
        fprintf(stderr, "the files did not load\n");
        return 1;
    }
    benchmark::RegisterBenchmark("LoadFromFileAndBind", LoadFromFileAndBind)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("DirectUpload", DirectUpload)->Unit(benchmark::kMillisecond)->Repetitions(5);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    char what[96];
    snprintf(what, sizeof what, "%d textures of %u x %u from a pack against a direct upload", kTextureCount, kSide,
             kSide);
    CBenchRatioReporter::PrintRatios(what);
    reporter.PrintRatio("LoadFromFile and Bind", "LoadFromFileAndBind", "DirectUpload");

    delete device;
    CHarvester::Unmount();
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
    benchmark::Shutdown();
    return 0;
}
