// A texture's life: its Direct3D size and usage, compatibility, fallbacks for
// files it cannot use, hand-over and device resets through the resource
// manager, and the image operations of the location background.
#include "Platform/D3d9/D3d9Testing.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"

#include <gmock/gmock.h>

using namespace imagefixture;
using ::testing::Each;

namespace {

// A raw A8R8G8B8 texture of one colour.
void Fill(CGmTexture& texture, uint32_t width, uint32_t height, uint32_t colour)
{
    texture.Create(width, height, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture.GetFrameImage(&pitch);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            memcpy(pixels + y * pitch + x * 4, &colour, 4);
}

// Pixel (x, y) of a raw 32-bit image.
uint32_t At(const CGmImage* image, uint32_t x, uint32_t y)
{
    uint32_t pixel;
    memcpy(&pixel, image->data + y * image->pitch + x * 4, 4);
    return pixel;
}

D3DSURFACE_DESC LevelDesc(const CGmTexture& texture)
{
    D3DSURFACE_DESC desc = {};
    texture.m_texture->GetLevelDesc(0, &desc);
    return desc;
}

} // namespace

class GmTextureLife : public TextureTest {};

TEST_F(GmTextureLife, DirectSizeIsThePowerOfTwoAndCompatibilityFollowsIt)
{
    CGmTexture a, b, taller, target, other;
    a.Create(100, 60, GM_FMT_A8R8G8B8, false);
    b.Create(100, 60, GM_FMT_A8R8G8B8, false);
    taller.Create(100, 70, GM_FMT_A8R8G8B8, false);
    target.Create(100, 60, GM_FMT_A8R8G8B8, true);
    other.Create(100, 60, GM_FMT_X8R8G8B8, false);
    ASSERT_TRUE(a.Bind(0));
    EXPECT_EQ(128u, LevelDesc(a).Width);
    EXPECT_EQ(64u, LevelDesc(a).Height);
    EXPECT_EQ(1, g_gmDeviceObjectCount);
    EXPECT_TRUE(a.IsCompatible(b));
    EXPECT_FALSE(a.IsCompatible(taller));
    EXPECT_FALSE(a.IsCompatible(target));
    EXPECT_FALSE(a.IsCompatible(other));
    EXPECT_EQ(100u, GetImageWidth(&a));
    EXPECT_EQ(128u, GetImageWidthPow2(&a));
    EXPECT_EQ(128u, GetImageHeightPow2(&taller));
    EXPECT_EQ(1u, GetImageWidth(nullptr));
}

TEST_F(GmTextureLife, ThreeBytePixelsBecomeFourAndDepthFormatsMakeDepthTextures)
{
    CGmTexture rgb, depth;
    rgb.Create(4, 4, GM_FMT_R8G8B8, false);
    depth.Create(16, 16, 22, true); // D16, asked for as a render target
    ASSERT_TRUE(rgb.EnsureCreated());
    EXPECT_EQ(D3DFMT_X8R8G8B8, LevelDesc(rgb).Format);
    ASSERT_TRUE(depth.EnsureCreated());
    EXPECT_EQ(uint32_t(D3DUSAGE_DEPTHSTENCIL), depth.m_usage);
    rgb.ReleaseDeviceObject();
    depth.ReleaseDeviceObject();
    EXPECT_EQ(0, g_gmDeviceObjectCount);
}

TEST_F(GmTextureLife, FilesThatCannotBeUsedGiveABlackTransparentPixel)
{
    const Bytes garbageJpeg = {0xFF, 0xD8, 0xFF, 0x00, 0x12};
    const Bytes unknown = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    const std::pair<const char*, Bytes> files[] = {{"empty.tga", Bytes()},
                                                   {"broken.jpg", garbageJpeg},
                                                   {"unknown.bin", unknown}};
    for (const auto& file : files) {
        CGmTexture texture(FileOver(file.first, file.second), false);
        const CGmImage* image = texture.Image();
        ASSERT_NE(nullptr, image) << file.first;
        EXPECT_EQ(1u, image->width) << file.first;
        EXPECT_EQ(uint32_t(GM_FMT_A8R8G8B8), image->format) << file.first;
        EXPECT_EQ(0u, At(image, 0, 0)) << file.first;
        EXPECT_THAT(Draw(&texture, 2, 2, 1, 0, 0xFFFFFFFF), Each(0u)) << file.first;
    }
    CGmTexture texture;
    EXPECT_FALSE(texture.LoadFromFile(FileOver("empty.tga", Bytes()), false));
}

// At the device-object limit a new texture takes the Direct3D texture of an
// idle compatible one; the robbed texture gets a new one and its own pixels
// back at its next Bind.
TEST_F(GmTextureLife, HandOverRefillsBothTextures)
{
    CGmTexture red, green;
    Fill(red, 4, 4, 0xFFFF0000);
    Fill(green, 4, 4, 0xFF00FF00);
    ASSERT_THAT(Draw(&red, 4, 4), Each(0xFFFF0000u));
    manager.AgeScores();
    manager.AgeScores();

    // No room for one more object (the red texture and the quad's buffer hold theirs).
    const int32_t held = g_gmDeviceObjectCount;
    const int32_t previous = GmSetDeviceObjectLimit(held);
    IDirect3DTexture9* redObject = red.m_texture;
    manager.Use(&green, GE_RES_TEXTURE);
    EXPECT_EQ(redObject, green.m_texture);
    EXPECT_EQ(nullptr, red.m_texture);
    EXPECT_EQ(held, g_gmDeviceObjectCount);

    GmSetDeviceObjectLimit(previous);
    EXPECT_THAT(Draw(&green, 4, 4), Each(0xFF00FF00u));
    EXPECT_THAT(Draw(&red, 4, 4), Each(0xFFFF0000u));
}

TEST_F(GmTextureLife, AfterADeviceResetTheNextBindUploadsTheImageAgain)
{
    CGmTexture texture;
    Fill(texture, 4, 4, 0xFF123456);
    ASSERT_THAT(Draw(&texture, 4, 4), Each(0xFF123456u));
    D3d9SimulateDeviceLost(wrapper->GetDevice(), 0);
    wrapper->Present();
    ASSERT_EQ(0, wrapper->m_failed);
    EXPECT_EQ(nullptr, texture.m_texture);
    EXPECT_EQ(0, g_gmDeviceObjectCount);
    states->Reset();
    EXPECT_THAT(Draw(&texture, 4, 4), Each(0xFF123456u));
}

TEST_F(GmTextureLife, ScaleImageResamplesRawImagesOnly)
{
    CGmTexture texture;
    Fill(texture, 4, 2, 0xFF0000FF);
    ASSERT_TRUE(texture.Bind(0));
    texture.ScaleImage(2.5f, 1.5f, GM_SCALE_NEAREST);
    EXPECT_EQ(nullptr, texture.m_texture); // dropped until the next Bind
    EXPECT_EQ(10u, texture.Image()->width);
    EXPECT_EQ(3u, texture.Image()->height);
    EXPECT_EQ(0xFF0000FFu, At(texture.Image(), 9, 2));
    EXPECT_THAT(Draw(&texture, 10, 3, 1, 0, 0, 10.0f / 16, 3.0f / 4), Each(0xFF0000FFu));

    texture.ScaleImage(-1.0f, 1.0f, GM_SCALE_BILINEAR); // refused
    EXPECT_EQ(10u, texture.Image()->width);

    DdsSpec spec;
    spec.width = 4;
    spec.height = 4;
    spec.levelData = Bytes(8, 0);
    CGmTexture dds(FileOver("a.dds", MakeDds(spec)), false);
    dds.ScaleImage(2.0f, 2.0f, GM_SCALE_NEAREST);
    EXPECT_EQ(4u, dds.Image()->width);
    uint32_t pitch = 0;
    EXPECT_EQ(nullptr, dds.GetFrameImage(&pitch));
}

// Each pixel of a 10 by 10 image holds its own position (x + 16 y).
TEST_F(GmTextureLife, CropImageKeepsTheInsideWithABorderWhereThereIsRoom)
{
    CGmTexture texture;
    texture.Create(10, 10, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture.GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 10; ++x) {
            const uint32_t value = x + 16 * y;
            memcpy(pixels + y * pitch + x * 4, &value, 4);
        }
    // 5 by 8 inside: 7 wide with a border each side, 8 high without.
    texture.CropImage(2, 3, 1, 1);
    const CGmImage* image = texture.Image();
    ASSERT_EQ(7u, image->width);
    ASSERT_EQ(8u, image->height);
    EXPECT_EQ(28u, image->pitch);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            EXPECT_EQ((x + 1) + 16 * (y + 1), At(image, x, y)) << x << "," << y;

    // At the image's edge the border repeats the edge pixel.
    CGmTexture edge;
    edge.Create(6, 4, GM_FMT_A8R8G8B8, false);
    pixels = edge.GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x) {
            const uint32_t value = x + 16 * y;
            memcpy(pixels + y * pitch + x * 4, &value, 4);
        }
    edge.CropImage(0, 3, 0, 1); // 3 by 3 inside: 4 by 4 with one border pixel before it
    image = edge.Image();
    ASSERT_EQ(4u, image->width);
    EXPECT_EQ(0u, At(image, 0, 0));
    EXPECT_EQ(0u, At(image, 1, 1));
    EXPECT_EQ(2u + 16 * 2, At(image, 3, 3));

    edge.CropImage(5, 5, 0, 0); // nothing left: refused
    EXPECT_EQ(4u, edge.Image()->width);
}
