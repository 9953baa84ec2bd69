// Every texture format of the engine's table: Direct3D-layout texels in, the
// colour Direct3D samples out (drawn 1:1 into an A8R8G8B8 target).
#include "D3d9Fixture.h"
#include "Platform/D3d9/D3d9Dxt.h"

#include <random>

class D3d9Format : public D3d9Fixture {
protected:
    // Draws a 4x4 texture 1:1 at the target's top-left and returns pixel (x, y).
    uint32_t Sample(IDirect3DTexture9* texture, int x, int y)
    {
        UseTexture(texture);
        FillPixels(0, 0, 4, 4, 0xFFFFFFFF);
        return Pixel(x, y);
    }
};

TEST_P(D3d9Format, UploadedTexelsSampleAsDirect3DReadsThem)
{
    struct Case {
        D3DFORMAT format;
        UINT bytesPerPixel;
        uint8_t texel[4];  // memory order
        uint32_t expected; // A8R8G8B8 as sampled
    } cases[] = {
        {D3DFMT_A8R8G8B8, 4, {0x44, 0x33, 0x22, 0x11}, 0x11223344},
        {D3DFMT_X8R8G8B8, 4, {0x44, 0x33, 0x22, 0x11}, 0xFF223344},
        {D3DFMT_R8G8B8, 3, {0x44, 0x33, 0x22}, 0xFF223344},
        {D3DFMT_R5G6B5, 2, {0x00, 0xFC}, 0xFFFF8200},       // R 31, G 32, B 0
        {D3DFMT_X1R5G5B5, 2, {0x10, 0x7C}, 0xFFFF0084},     // R 31, G 0, B 16, X 0
        {D3DFMT_A1R5G5B5, 2, {0x10, 0x7C}, 0x00FF0084},
        {D3DFMT_A1R5G5B5, 2, {0x10, 0xFC}, 0xFFFF0084},
        {D3DFMT_A4R4G4B4, 2, {0x40, 0x8F}, 0x88FF4400},
        {D3DFMT_X4R4G4B4, 2, {0x40, 0x8F}, 0xFFFF4400},
        {D3DFMT_A8, 1, {0x80}, 0x80000000},
        {D3DFMT_L8, 1, {0x40}, 0xFF404040},
        {D3DFMT_A8L8, 2, {0x40, 0x80}, 0x80404040},
        {D3DFMT_A4L4, 1, {0x84}, 0x88444444},
        // Signed formats: negative channels clamp to 0 in the target.
        {D3DFMT_V8U8, 2, {0x40, 0xC0}, 0xFF8100FF},
        {D3DFMT_Q8W8V8U8, 4, {0x40, 0x00, 0x7F, 0x81}, 0x008100FF},
        {D3DFMT_V16U16, 4, {0x00, 0x40, 0x00, 0x00}, 0xFF8000FF},
        {D3DFMT_L6V5U5, 2, {0x0F, 0xFC}, 0xFFFF00FF},       // U 15, V 0, L 63
        {D3DFMT_X8L8V8U8, 4, {0x7F, 0x00, 0xFF, 0x00}, 0xFFFF00FF},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> texels(16 * c.bytesPerPixel);
        for (size_t i = 0; i < texels.size(); ++i)
            texels[i] = c.texel[i % c.bytesPerPixel];
        IDirect3DTexture9* texture = MakeTexture(4, 4, c.format, texels.data(), 4 * c.bytesPerPixel);
        EXPECT_TRUE(ArgbNear(c.expected, Sample(texture, 2, 1), 2)) << "format " << c.format;
        texture->Release();
    }
}

// One 4x4 block per format, drawn 1:1: texel (0,0) uses code 0, texel (1,0)
// code 3 (transparent black in a DXT1 block whose colour0 <= colour1).
TEST_P(D3d9Format, CompressedBlocksDecodeLikeDirect3D)
{
    struct Case {
        D3DFORMAT format;
        uint8_t block[16];
        uint32_t first, second;
    } cases[] = {
        {D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0xF8, 0x0C, 0, 0, 0}, 0xFF0000FF, 0x00000000},
        {D3DFMT_DXT1, {0x00, 0xF8, 0x1F, 0x00, 0x0C, 0, 0, 0}, 0xFFFF0000, 0xFF5500AA},
        {D3DFMT_DXT3, {0x08, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0x00, 0x00, 0x00, 0, 0, 0}, 0x8800FF00, 0x0000FF00},
        {D3DFMT_DXT5, {0x80, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0xE0, 0x07, 0x00, 0x00, 0x00, 0, 0, 0}, 0x8000FF00,
         0x8000FF00},
    };
    for (const Case& c : cases) {
        UINT blockBytes = c.format == D3DFMT_DXT1 ? 8 : 16;
        IDirect3DTexture9* texture = MakeTexture(4, 4, c.format, c.block, blockBytes);
        UseTexture(texture);
        FillPixels(0, 0, 4, 4, 0xFFFFFFFF);
        std::vector<uint32_t> pixels = ReadTarget();
        EXPECT_TRUE(ArgbNear(c.first, pixels[0], 2)) << "format " << std::hex << c.format;
        EXPECT_TRUE(ArgbNear(c.second, pixels[1], 2)) << "format " << std::hex << c.format;
        texture->Release();
    }
}

// Mip levels locked and filled one by one, as the engine uploads DDS files.
TEST_P(D3d9Format, LockedMipLevelsAreUsedByMipFilters)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateTexture(16, 16, 0, D3DUSAGE_DYNAMIC, D3DFMT_DXT1, D3DPOOL_DEFAULT, &texture, nullptr));
    ASSERT_EQ(5u, texture->GetLevelCount());
    const uint16_t colours[5] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000};
    for (UINT level = 0; level < 5; ++level) {
        D3DLOCKED_RECT locked = {};
        ASSERT_EQ(D3D_OK, texture->LockRect(level, &locked, nullptr, 0));
        UINT side = 16 >> level, blocks = side < 4 ? 1 : side / 4;
        EXPECT_EQ((INT)(blocks * 8), locked.Pitch);
        for (UINT by = 0; by < blocks; ++by)
            for (UINT bx = 0; bx < blocks; ++bx) {
                uint8_t* block = (uint8_t*)locked.pBits + by * locked.Pitch + bx * 8;
                uint8_t bytes[8] = {(uint8_t)colours[level], (uint8_t)(colours[level] >> 8), 0, 0, 0, 0, 0, 0};
                std::memcpy(block, bytes, 8);
            }
        ASSERT_EQ(D3D_OK, texture->UnlockRect(level));
    }
    // 16 texels onto 4 pixels picks level 2 (blue) with nearest mip filtering.
    UseTexture(texture);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    FillPixels(0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_TRUE(ArgbNear(0xFF0000FF, Pixel(1, 1), 2));
    texture->Release();
}

// The software decoder (used when GL has no S3TC) against the driver's.
TEST(D3d9FormatDxt, SoftwareDecoderMatchesReferenceBlocks)
{
    // colour0 0xF800 > colour1 0x001F: codes 0..3 are red, blue, 2/3 red, 1/3 red.
    const uint8_t dxt1[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
    uint32_t texels[16];
    D3d9DecodeDxtBlock(D3DFMT_DXT1, dxt1, texels);
    EXPECT_EQ(0xFFFF0000u, texels[0]);
    EXPECT_EQ(0xFF0000FFu, texels[1]);
    EXPECT_EQ(0xFFAA0055u, texels[2]);
    EXPECT_EQ(0xFF5500AAu, texels[3]);
    // DXT5 alpha: 0xFF, 0x00, eight-step ramp; code 2 = (6*255 + 0) / 7.
    const uint8_t dxt5[16] = {0xFF, 0x00, 0x02, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    D3d9DecodeDxtBlock(D3DFMT_DXT5, dxt5, texels);
    EXPECT_EQ(218u, texels[0] >> 24);
    EXPECT_EQ(255u, texels[1] >> 24);
}

TEST_P(D3d9Format, RandomBlocksDecodeAsTheDriverDoes)
{
    if (GetParam())
        GTEST_SKIP() << "the fallback path uses the software decoder itself";
    std::mt19937 random(7);
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        UINT blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
        uint8_t block[16];
        for (uint8_t& b : block)
            b = (uint8_t)random();
        uint32_t expected[16];
        D3d9DecodeDxtBlock(format, block, expected);
        IDirect3DTexture9* texture = MakeTexture(4, 4, format, block, blockBytes);
        UseTexture(texture);
        FillPixels(0, 0, 4, 4, 0xFFFFFFFF);
        std::vector<uint32_t> pixels = ReadTarget();
        for (int i = 0; i < 16; ++i)
            EXPECT_TRUE(ArgbNear(expected[i], pixels[(i / 4) * kSize + i % 4], 3)) << "texel " << i;
        texture->Release();
    }
}

// Render-target formats: drawn into, then read back in their own layout.
TEST_P(D3d9Format, RenderTargetsReadBackInTheirOwnFormat)
{
    struct Case {
        D3DFORMAT format;
        uint32_t expected;
        uint32_t mask;  // bits Direct3D defines
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0x80FF4000, 0xFFFFFFFF},
        {D3DFMT_X8R8G8B8, 0x00FF4000, 0x00FFFFFF},
        {D3DFMT_R5G6B5, 0xFA00, 0xFFFF},
        {D3DFMT_A1R5G5B5, 0xFD00, 0xFFFF},
        {D3DFMT_X1R5G5B5, 0x7D00, 0x7FFF},
        {D3DFMT_A4R4G4B4, 0x8F40, 0xFFFF},
    };
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(D3D_OK, d->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, c.format, D3DPOOL_DEFAULT, &texture,
                                           nullptr));
        IDirect3DSurface9* surface = nullptr;
        texture->GetSurfaceLevel(0, &surface);
        d->SetRenderTarget(0, surface);
        d->SetDepthStencilSurface(nullptr);
        FillPixels(0, 0, 4, 4, 0x80FF4000);
        IDirect3DSurface9* copy = nullptr;
        ASSERT_EQ(D3D_OK, d->CreateOffscreenPlainSurface(4, 4, c.format, D3DPOOL_SYSTEMMEM, &copy, nullptr));
        ASSERT_EQ(D3D_OK, d->GetRenderTargetData(surface, copy));
        D3DLOCKED_RECT locked = {};
        copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        uint32_t value = 0;
        std::memcpy(&value, (const uint8_t*)locked.pBits + locked.Pitch * 2, c.format <= D3DFMT_X8R8G8B8 ? 4 : 2);
        copy->UnlockRect();
        EXPECT_EQ(c.expected & c.mask, value & c.mask) << "format " << c.format;
        copy->Release();
        surface->Release();
        texture->Release();
    }
}

TEST_P(D3d9Format, BadLocksAndUpdatesAreRefused)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_DEFAULT, &texture, nullptr));
    D3DLOCKED_RECT locked = {};
    RECT unaligned = {1, 0, 4, 4};
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(0, &locked, &unaligned, 0));
    RECT outside = {0, 0, 12, 4};
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(0, &locked, &outside, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(1, &locked, nullptr, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->UnlockRect(0));

    IDirect3DSurface9* staging = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging, nullptr));
    IDirect3DSurface9* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    EXPECT_EQ(D3DERR_INVALIDCALL, d->UpdateSurface(staging, nullptr, level, nullptr)) << "formats differ";
    level->Release();
    staging->Release();
    texture->Release();

    IDirect3DTexture9* none = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, d->CreateTexture(4, 4, 1, 0, (D3DFORMAT)12345, D3DPOOL_DEFAULT, &none, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->CreateTexture(6, 6, 0, 0, D3DFMT_DXT5, D3DPOOL_DEFAULT, &none, nullptr));
    EXPECT_EQ(nullptr, none);
}

D3D9_FIXTURE_PATHS(D3d9Format);
