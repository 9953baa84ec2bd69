#include "tests/fuzz/DepthPictureFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmBackGround.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

float SampleAt(const CGmImage& image, uint32_t x, uint32_t y)
{
    float value;
    memcpy(&value, image.data + size_t(y) * image.pitch + x * 4, 4);
    return value;
}

} // namespace

FuzzOutcome RunDepthPictureFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (size < 8)
        return outcome;
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    const uint32_t width = 1 + data[0] % 64;
    const uint32_t height = 1 + data[1] % 64;
    const float nearIn = data[2] < 128 ? 0.0f : float(data[2]);
    const float farIn = data[3] < 128 ? 0.0f : float(data[3]) * 8.0f;
    const float points[2][2] = {{(data[4] / 255.0f) * 1.4f * width - 0.2f * width, (data[5] / 255.0f) * 1.4f * height - 0.2f * height},
                                {(data[6] / 255.0f) * 1.4f * width - 0.2f * width, (data[7] / 255.0f) * 1.4f * height - 0.2f * height}};

    CGeFileData file;
    file.path = "fuzz.tga";
    file.size = uint32_t(size - 8);
    file.data = static_cast<uint8_t*>(malloc(file.size ? file.size : 1));
    memcpy(file.data, data + 8, file.size);
    CGmTexture texture;
    const bool decoded = texture.LoadFromFile(file, true);
    FreeFileData(file);
    CGmImage* picture = decoded ? CQmBackGround::CopyPicture(texture, width, height, true) : nullptr;
    outcome.taken = picture != nullptr;
    if (!picture)
        return outcome;
    FUZZ_EXPECT(outcome, picture->width == width && picture->height == height);

    CGeArray<QmTileRect> tiles;
    CQmBackGround::CutTiles(width, height, tiles);
    std::vector<uint8_t> covered(size_t(width) * height, 0);
    for (const QmTileRect& r : tiles) {
        FUZZ_EXPECT(outcome, r.w && !(r.w & (r.w - 1)) && r.h && !(r.h & (r.h - 1)));
        FUZZ_EXPECT(outcome, r.x + r.w <= width && r.y + r.h <= height);
        for (uint32_t y = r.y; y < r.y + r.h && y < height; ++y)
            for (uint32_t x = r.x; x < r.x + r.w && x < width; ++x)
                ++covered[size_t(y) * width + x];
    }
    for (uint8_t n : covered)
        FUZZ_EXPECT(outcome, n == 1);

    float nearest = 1e30f, farthest = -1e30f;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const float d = SampleAt(*picture, x, y);
            if (d < nearest)
                nearest = d;
            if (d < 1e20f && d > farthest)
                farthest = d;
        }
    float n = nearIn, f = farIn;
    CQmBackGround::NearFarFromDepth(*picture, n, f);
    FUZZ_EXPECT(outcome, nearIn != 0.0f ? n == nearIn : (n == nearest || (nearest >= 1e30f && n == 0.0f)));
    FUZZ_EXPECT(outcome, farIn != 0.0f ? f == farIn : f == farthest);

    CGmPerspectiveCamera camera;
    camera.screenWidth = int32_t(width);
    camera.screenHeight = int32_t(height);
    camera.eye = {1.0f, 2.0f, 3.0f};
    camera.target = {4.0f, 2.0f, 40.0f};
    camera.nearPlane = 10.0f;
    camera.farPlane = 1000.0f;
    camera.Apply({0, 0, width, height, 0.0f, 1.0f});
    CQmBackGround background("", "", "", &camera);
    background.picking = picture;
    Vec3 forward = {camera.frame.world.m[2], camera.frame.world.m[6], camera.frame.world.m[10]};
    forward.Normalize();
    for (const auto& p : points) {
        const bool inside = p[0] >= 0.0f && p[1] >= 0.0f && uint32_t(p[0]) < width && uint32_t(p[1]) < height;
        const bool hit = background.HitTest(p[0], p[1]);
        Vec3 point = {0, 0, 0};
        const bool picked = background.PickPoint(p[0], p[1], point);
        if (!inside) {
            FUZZ_EXPECT(outcome, !hit && !picked);
            continue;
        }
        const float d = SampleAt(*picture, uint32_t(p[0]), uint32_t(p[1]));
        FUZZ_EXPECT(outcome, hit == (std::isnan(d) || std::fabs(d) <= camera.farPlane));
        FUZZ_EXPECT(outcome, picked);
        if (picked && std::isfinite(d) && std::fabs(d) < 1e6f) {
            const Vec3 offset = {point.x - 1.0f, point.y - 2.0f, point.z - 3.0f};
            const float along = offset.x * forward.x + offset.y * forward.y + offset.z * forward.z;
            FUZZ_EXPECT(outcome, std::fabs(along - d) <= 1e-3f * (1.0f + std::fabs(d)));
        }
    }
    return outcome;
}

int FuzzDepthPicture(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunDepthPictureFuzz(data, size), "DepthPictureFuzz.cpp");
}
