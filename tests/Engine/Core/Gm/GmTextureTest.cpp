// Textures over the platform's GL device: every pixel format, packed and DDS
// images decoded or copied at the first Bind, render-target read-back, the
// blend modes, and the texture's life with the resource manager. Pixels are
// checked by drawing the texture into a render target and reading it back.
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"
#include "tests/Support/TestTempDir.h"

#include <gmock/gmock.h>

#include <array>
#include <string>

using namespace imagefixture;

namespace {

// What the device shows for one stored pixel: channels of n bits are widened
// to 8 as x * 255 / (2^n - 1), absent colour reads 0 (A8) or the luminance,
// absent alpha reads 255.
uint32_t Widen(uint32_t value, uint32_t bits)
{
    const uint32_t max = (1u << bits) - 1;
    return (value * 255 + max / 2) / max;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

uint32_t ExpectedArgb(uint32_t format, uint32_t p)
{
    switch (format) {
    case 1:
    case 3: return 0xFF000000u | (p & 0xFFFFFF);
    case 2: return p;
    case 4: return Argb(255, Widen(p >> 11 & 31, 5), Widen(p >> 5 & 63, 6), Widen(p & 31, 5));
    case 5: return Argb(255, Widen(p >> 10 & 31, 5), Widen(p >> 5 & 31, 5), Widen(p & 31, 5));
    case 6: return Argb(p >> 15 ? 255 : 0, Widen(p >> 10 & 31, 5), Widen(p >> 5 & 31, 5), Widen(p & 31, 5));
    case 7: return Argb(Widen(p >> 12, 4), Widen(p >> 8 & 15, 4), Widen(p >> 4 & 15, 4), Widen(p & 15, 4));
    case 8: return Argb(255, Widen(p >> 8 & 15, 4), Widen(p >> 4 & 15, 4), Widen(p & 15, 4));
    case 9: return Argb(p & 0xFF, 0, 0, 0);
    case 10: return Argb(255, p & 0xFF, p & 0xFF, p & 0xFF);
    case 11: return Argb(p >> 8, p & 0xFF, p & 0xFF, p & 0xFF);
    case 12: return Argb(Widen(p >> 4, 4), Widen(p & 15, 4), Widen(p & 15, 4), Widen(p & 15, 4));
    default: return 0;
    }
}

struct FormatCase {
    const char* name;
    uint32_t format;
};

void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << c.name;
}

class GmTextureFormat : public TextureTest, public ::testing::WithParamInterface<FormatCase> {};

} // namespace

// A 3 by 3 image of distinct pixels in a 4 by 4 texture: the image's pixels
// arrive as stored, the fourth column and the fourth row repeat the edge.
TEST_P(GmTextureFormat, PixelsArriveAsStoredAndTheEdgesRepeat)
{
    const uint32_t format = GetParam().format;
    CGmTexture texture;
    texture.Create(3, 3, format, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture.GetFrameImage(&pitch);
    ASSERT_NE(nullptr, pixels);
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(format);
    std::vector<uint32_t> stored(9);
    for (uint32_t i = 0; i < 9; ++i) {
        stored[i] = 0x9E3779B9u * (i + 1) ^ 0x5A5A5A5Au * i;
        memcpy(pixels + (i / 3) * pitch + (i % 3) * bytesPerPixel, &stored[i], bytesPerPixel);
        if (bytesPerPixel < 4)
            stored[i] &= (1u << (8 * bytesPerPixel)) - 1;
    }
    const std::vector<uint32_t> shown = Draw(&texture, 4, 4);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            const uint32_t expected = ExpectedArgb(format, stored[std::min(y, 2u) * 3 + std::min(x, 2u)]);
            EXPECT_LE(ColourDistance(expected, shown[y * 4 + x]), 1)
                << std::hex << "pixel " << x << "," << y << " shows " << shown[y * 4 + x] << ", expected "
                << expected;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, GmTextureFormat,
    ::testing::Values(FormatCase{"R8G8B8", 1}, FormatCase{"A8R8G8B8", 2}, FormatCase{"X8R8G8B8", 3},
                      FormatCase{"R5G6B5", 4}, FormatCase{"X1R5G5B5", 5}, FormatCase{"A1R5G5B5", 6},
                      FormatCase{"A4R4G4B4", 7}, FormatCase{"X4R4G4B4", 8}, FormatCase{"A8", 9},
                      FormatCase{"L8", 10}, FormatCase{"A8L8", 11}, FormatCase{"A4L4", 12}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

namespace {

// The pixels a raw decode of the file gives, the reference for a packed upload.
std::vector<uint32_t> DecodedPixels(const char* path, const Bytes& bytes, uint32_t* width, uint32_t* height)
{
    CGmImage image;
    EXPECT_TRUE(LoadImage(FileOver(path, bytes), image));
    *width = image.width;
    *height = image.height;
    std::vector<uint32_t> pixels;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            uint32_t p;
            memcpy(&p, image.data + y * image.pitch + x * 4, 4);
            pixels.push_back(0xFF000000u | p);
        }
    return pixels;
}

Bytes ColourJpeg(int width, int height)
{
    EncodeOptions options;
    return EncodeJpeg(MakeTestImage(width, height, 3, 7), options);
}

struct PackedCase {
    const char* name;
    const char* path; // JPEG files are known by their extension
    Bytes file;
};

void PrintTo(const PackedCase& c, std::ostream* out)
{
    *out << c.name;
}

class GmTexturePacked : public TextureTest, public ::testing::WithParamInterface<PackedCase> {};

PackedCase GepWithJpeg()
{
    GepSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.pixelCode = kJpegColourCode;
    spec.payload = ColourJpeg(16, 8);
    return {"GepWithJpegPayload", "image.gep", MakeGep(spec)};
}

PackedCase RawGep()
{
    GepSpec spec;
    spec.width = 6;
    spec.height = 5;
    spec.pixelCode = 0x001; // X8R8G8B8 rows, stored plainly
    Bytes pixels(6 * 5 * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 37 + 11);
    spec.payload = MakePlane(pixels);
    return {"RawGep", "image.gep", MakeGep(spec)};
}

} // namespace

// Packed files stay packed until the first Bind, which decodes them into the
// upload; the texture then shows what a plain decode of the file gives.
TEST_P(GmTexturePacked, DecodedAtTheFirstBindAsAPlainDecodeGivesThem)
{
    const Bytes& file = GetParam().file;
    CGmTexture texture(FileOver(GetParam().path, file), false);
    ASSERT_EQ(uint32_t(GM_IMAGE_PACKED), texture.Image()->kind);
    uint32_t width = 0, height = 0;
    const std::vector<uint32_t> expected = DecodedPixels(GetParam().path, file, &width, &height);
    const uint32_t pw = NextPowerOfTwo(width), ph = NextPowerOfTwo(height);
    const std::vector<uint32_t> shown = Draw(&texture, width, height, 1, 0, 0, float(width) / pw,
                                             float(height) / ph);
    EXPECT_EQ(expected, shown);
    EXPECT_EQ(uint32_t(GM_IMAGE_PACKED), texture.Image()->kind);
}

INSTANTIATE_TEST_SUITE_P(Files, GmTexturePacked,
                         ::testing::Values(PackedCase{"Jpeg", "image.jpg", ColourJpeg(32, 16)}, GepWithJpeg(), RawGep(),
                                           PackedCase{"JpegOfOddSize", "odd.jpeg", ColourJpeg(21, 13)}),
                         [](const ::testing::TestParamInfo<PackedCase>& info) {
                             return std::string(info.param.name);
                         });

// Uploads share one staging surface: a packed image that cannot be decoded
// shows black, never what an earlier texture of its size left there.
class GmTexture : public TextureTest {};

TEST_F(GmTexture, AnUndecodablePackedImageShowsBlackNotTheLastUpload)
{
    CGmTexture red;
    red.Create(16, 8, GM_FMT_X8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = red.GetFrameImage(&pitch);
    for (uint32_t i = 0; i < 16 * 8; ++i)
        memcpy(pixels + i * 4, "\x00\x00\xFF\xFF", 4);
    ASSERT_THAT(Draw(&red, 16, 8), ::testing::Each(0xFFFF0000u));

    GepSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.pixelCode = kJpegColourCode;
    spec.payload = Bytes(64, 0x5A); // no JPEG stream in it
    CGmTexture broken(FileOver("broken.gep", MakeGep(spec)), false);
    ASSERT_EQ(uint32_t(GM_IMAGE_PACKED), broken.Image()->kind);
    EXPECT_THAT(Draw(&broken, 16, 8), ::testing::Each(0xFF000000u));
}

namespace {

// One DXT1 block of a single colour (both end points the same 5:6:5 value).
Bytes SolidDxt1Blocks(uint16_t colour, uint32_t blocks)
{
    Bytes out;
    for (uint32_t i = 0; i < blocks; ++i) {
        const uint8_t block[8] = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour), uint8_t(colour >> 8),
                                  0, 0, 0, 0};
        out.insert(out.end(), block, block + 8);
    }
    return out;
}

} // namespace

// A 16 by 16 DXT1 file with five levels, each one colour: the first four
// levels reach the texture (each seen by drawing at its size), and the walk
// stops at the 1-pixel level.
// Hit tests read a picture's alpha from the image kept in memory: the same
// after the upload, inside the padded rows only where the picture is, and
// never from an image that is not raw.
TEST_F(GmTexture, TexelAlphaReadsTheKeptImageInsideThePictureOnly)
{
    // 3 by 2 (rows padded to 4 pixels): alpha = 10 x (row + 1) + column.
    TgaSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.topFirst = true;
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            spec.pixels.insert(spec.pixels.end(), {0x11, 0x22, 0x33, uint8_t(10 * (y + 1) + x)});
    CGmTexture texture(FileOver("alpha.tga", MakeTga(spec)), false);
    ASSERT_EQ(uint32_t(GM_IMAGE_RAW), texture.Image()->kind);
    Draw(&texture, 4, 4); // uploaded: the image stays
    const struct {
        uint32_t x, y;
        bool inside;
        uint8_t alpha;
    } cases[] = {
        {0, 0, true, 10}, {2, 0, true, 12}, {1, 1, true, 21}, {2, 1, true, 22},
        {3, 0, false, 0}, // the row's padding
        {0, 2, false, 0}, {0xFFFFFFFF, 0, false, 0}, {0, 0xFFFFFFFF, false, 0},
    };
    for (const auto& c : cases) {
        uint8_t alpha = 99;
        EXPECT_EQ(c.inside, texture.TexelAlpha(c.x, c.y, &alpha)) << c.x << ", " << c.y;
        EXPECT_EQ(c.alpha, alpha) << c.x << ", " << c.y;
    }

    DdsSpec dds;
    dds.width = 4;
    dds.height = 4;
    dds.levelData = SolidDxt1Blocks(0xFFFF, 1);
    CGmTexture packed(FileOver("alpha.dds", MakeDds(dds)), false);
    uint8_t alpha = 99;
    EXPECT_FALSE(packed.TexelAlpha(0, 0, &alpha));
    EXPECT_EQ(0, alpha);
}

TEST_F(GmTexture, DdsLevelsAreCopiedDownToTwoPixels)
{
    const uint16_t colours[5] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFE0}; // red, green, blue, white, yellow
    DdsSpec spec;
    spec.width = 16;
    spec.height = 16;
    spec.mipCountFlag = true;
    spec.mipCount = 5;
    for (uint32_t level = 0, side = 16; level < 5; ++level, side /= 2) {
        const Bytes blocks = SolidDxt1Blocks(colours[level], std::max(1u, side / 4) * std::max(1u, side / 4));
        spec.levelData.insert(spec.levelData.end(), blocks.begin(), blocks.end());
    }
    CGmTexture texture(FileOver("levels.dds", MakeDds(spec)), false);
    ASSERT_EQ(uint32_t(GM_IMAGE_DDS), texture.Image()->kind);
    wrapper->GetDevice()->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    const uint32_t expected[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (uint32_t level = 0, side = 16; level < 4; ++level, side /= 2) {
        const std::vector<uint32_t> shown = Draw(&texture, side, side);
        EXPECT_THAT(shown, ::testing::Each(expected[level])) << "level " << level;
    }
    EXPECT_EQ(uint32_t(D3DUSAGE_DYNAMIC), texture.m_usage);
}

TEST_F(GmTexture, ADdsFileCutShortUploadsTheLevelsItHolds)
{
    DdsSpec spec;
    spec.width = 8;
    spec.height = 8;
    spec.mipCountFlag = true;
    spec.mipCount = 3;
    spec.levelData = SolidDxt1Blocks(0x07E0, 4); // level 0 only
    CGmTexture texture(FileOver("short.dds", MakeDds(spec)), false);
    EXPECT_THAT(Draw(&texture, 8, 8), ::testing::Each(0xFF00FF00u));
}

// The read-back keeps the image the right way up: a quad over the top half
// shows in the top rows of the image.
TEST_F(GmTexture, RenderTargetReadBackIsTheRightWayUp)
{
    CGmTexture target;
    target.Create(8, 8, GM_FMT_A8R8G8B8, true);
    manager.Use(&target, GE_RES_TEXTURE);
    wrapper->SetRenderTarget(&target);
    wrapper->Clear(GE_CLEAR_TARGET, 0xFF0000FF, 1.0f);
    states->SetBlendMode(GM_BLEND_OPAQUE, 0);
    states->SetTextureStageMode(0, 0);
    SetQuad(0, 0, 8, 4, 1, 1, 0xFFFF0000);
    quad->Bind();
    wrapper->DrawPrimitive(kStrip, 0, 2);
    wrapper->RestoreRenderTarget();
    target.Upload();
    const CGmImage* image = target.Image();
    for (uint32_t y = 0; y < 8; ++y) {
        uint32_t left, right;
        memcpy(&left, image->data + y * image->pitch, 4);
        memcpy(&right, image->data + y * image->pitch + 28, 4);
        const uint32_t expected = y < 4 ? 0xFFFF0000u : 0xFF0000FFu;
        EXPECT_EQ(expected, left) << "row " << y;
        EXPECT_EQ(expected, right) << "row " << y;
    }

    // The save-slot picture: the read-back image written as TGA reads back the same.
    CTestTempDir dir;
    const std::string path = dir / "slot.tga";
    CaptureSurfaceToTga(&target, path.c_str());
    const std::string bytes = CTestTempDir::Read(path);
    CGmImage reread;
    ASSERT_TRUE(LoadImage(FileOver(path, Bytes(bytes.begin(), bytes.end())), reread));
    for (uint32_t y = 0; y < 8; ++y)
        EXPECT_EQ(0, memcmp(reread.data + y * reread.pitch, image->data + y * image->pitch, 32)) << "row " << y;
}

// A render target whose sides are not powers of two lies in the top-left
// corner of a larger device texture; 3D drawing into it still covers the
// target's own pixels: a quad over the left half and the top half of clip
// space fills exactly the left half columns and top half rows, at sizes that
// are and are not powers of two.
TEST_F(GmTexture, ARenderTargetOfAnySizeIsDrawnOverItsOwnPixels)
{
    struct Vertex {
        float x, y, z;
        uint32_t colour;
    };
    CGmVertexBuffer clipQuad(GE_VEF_XYZ | GE_VEF_DIFFUSE, 4);
    const Vertex corners[4] = {
        {-1.0f, 0.0f, 0.5f, 0xFFFF0000}, {0.0f, 0.0f, 0.5f, 0xFFFF0000},
        {-1.0f, 1.0f, 0.5f, 0xFFFF0000}, {0.0f, 1.0f, 0.5f, 0xFFFF0000}};
    ASSERT_TRUE(clipQuad.LockRange(0, 0));
    memcpy(clipQuad.m_lockPointer, corners, sizeof(corners));
    clipQuad.Unlock();
    const Matrix4 identity = Matrix4::Identity();
    for (const std::array<uint32_t, 2>& size : {std::array<uint32_t, 2>{32, 16}, {24, 12}, {40, 30}}) {
        const uint32_t w = size[0], h = size[1];
        SCOPED_TRACE(std::to_string(w) + " by " + std::to_string(h));
        CGmTexture target;
        target.Create(w, h, GM_FMT_A8R8G8B8, true);
        manager.Use(&target, GE_RES_TEXTURE);
        wrapper->SetRenderTarget(&target);
        wrapper->Clear(GE_CLEAR_TARGET, 0xFF0000FF, 1.0f);
        wrapper->BeginScene();
        states->SetBlendMode(GM_BLEND_OPAQUE, 0);
        states->SetTextureStageMode(0, 0);
        wrapper->SetViewProjection(identity.m, identity.m);
        wrapper->SetLighting(0);
        wrapper->SetCullMode(0);
        wrapper->SetZEnable(0);
        clipQuad.Bind();
        wrapper->DrawPrimitive(kStrip, 0, 2);
        wrapper->EndScene();
        wrapper->RestoreRenderTarget();
        target.Upload();
        const CGmImage* image = target.Image();
        uint32_t wrong = 0;
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                uint32_t pixel;
                memcpy(&pixel, image->data + y * image->pitch + x * 4, 4);
                const uint32_t expected = x < w / 2 && y < h / 2 ? 0xFFFF0000u : 0xFF0000FFu;
                if (pixel != expected && wrong++ < 4)
                    ADD_FAILURE() << "pixel " << x << ", " << y << ": " << std::hex << pixel;
            }
        }
        EXPECT_EQ(0u, wrong);
    }
}

namespace {

struct BlendCase {
    const char* name;
    uint32_t mode;
    uint32_t alphaRef;
    uint32_t texel;
    uint32_t background;
    uint32_t expectedRgb;
};

void PrintTo(const BlendCase& c, std::ostream* out)
{
    *out << c.name;
}

class GmTextureBlendMode : public TextureTest, public ::testing::WithParamInterface<BlendCase> {};

} // namespace

// A textured quad drawn through the vertex buffer over a coloured target:
// the colour it leaves behind for each blend mode.
TEST_P(GmTextureBlendMode, TexturedQuadBlendsWithTheTarget)
{
    const BlendCase& c = GetParam();
    CGmTexture texture;
    texture.Create(2, 2, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture.GetFrameImage(&pitch);
    for (uint32_t i = 0; i < 4; ++i)
        memcpy(pixels + (i / 2) * pitch + (i % 2) * 4, &c.texel, 4);
    const std::vector<uint32_t> shown = Draw(&texture, 4, 4, c.mode, c.alphaRef, c.background, 1, 1, 2);
    for (uint32_t pixel : shown)
        ASSERT_LE(ColourDistance(c.expectedRgb, pixel & 0xFFFFFF), 2) << std::hex << pixel;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, GmTextureBlendMode,
    ::testing::Values(BlendCase{"AlphaOver", 0, 0, 0x80FF0000, 0xFF0000FF, 0x80007F},
                      BlendCase{"Opaque", 1, 0, 0x80FF0000, 0xFF0000FF, 0xFF0000},
                      BlendCase{"Additive", 2, 0, 0x80FF0000, 0xFF0000FF, 0x8000FF},
                      BlendCase{"Multiply", 3, 0, 0x80FF8000, 0xFF4080C0, 0x404000},
                      BlendCase{"MultiplyTwice", 4, 0, 0xFF808080, 0xFF204060, 0x204060},
                      BlendCase{"AlphaTestDrops", 5, 0x90, 0x80FF0000, 0xFF0000FF, 0x0000FF},
                      BlendCase{"AlphaTestPasses", 5, 0x10, 0x80FF0000, 0xFF0000FF, 0x80007F},
                      BlendCase{"OpaqueWithAlphaTest", 7, 0x10, 0x80FF0000, 0xFF0000FF, 0xFF0000}),
    [](const ::testing::TestParamInfo<BlendCase>& info) { return std::string(info.param.name); });

TEST_F(GmTexture, BlendAndStageModesLeaveTheTabledStates)
{
    IDirect3DDevice9* device = wrapper->GetDevice();
    auto state = [device](D3DRENDERSTATETYPE s) {
        DWORD value = 0xDEAD;
        device->GetRenderState(s, &value);
        return value;
    };
    states->SetBlendMode(1, 9);
    EXPECT_EQ(0u, state(D3DRS_ALPHABLENDENABLE));
    EXPECT_EQ(0u, state(D3DRS_ALPHATESTENABLE));
    states->SetBlendMode(7, 9);
    EXPECT_EQ(1u, state(D3DRS_ALPHABLENDENABLE));
    EXPECT_EQ(1u, state(D3DRS_ALPHATESTENABLE));
    EXPECT_EQ(DWORD(D3DBLEND_ONE), state(D3DRS_SRCBLEND));
    EXPECT_EQ(DWORD(D3DBLEND_ZERO), state(D3DRS_DESTBLEND));
    EXPECT_EQ(DWORD(D3DCMP_GREATER), state(D3DRS_ALPHAFUNC));
    EXPECT_EQ(9u, state(D3DRS_ALPHAREF));
    states->SetBlendMode(8, 0); // refused: nothing changes
    EXPECT_EQ(DWORD(D3DBLEND_ONE), state(D3DRS_SRCBLEND));

    auto stage = [device](DWORD s, D3DTEXTURESTAGESTATETYPE type) {
        DWORD value = 0xDEAD;
        device->GetTextureStageState(s, type, &value);
        return value;
    };
    states->SetTextureStageMode(2, kGmStageOptionAdd);
    EXPECT_EQ(DWORD(D3DTOP_ADD), stage(0, D3DTSS_COLOROP));
    EXPECT_EQ(DWORD(D3DTOP_MODULATE), stage(0, D3DTSS_ALPHAOP));
    EXPECT_EQ(D3DTA_DIFFUSE, stage(0, D3DTSS_ALPHAARG1));
    EXPECT_EQ(DWORD(D3DTOP_DISABLE), stage(1, D3DTSS_COLOROP));
    EXPECT_EQ(DWORD(D3DMCS_COLOR1), state(D3DRS_DIFFUSEMATERIALSOURCE));
    states->SetTextureStageMode(9, 0);
    EXPECT_EQ(DWORD(D3DTOP_DISABLE), stage(0, D3DTSS_COLOROP));

    // Adding: a grey texel plus a dark vertex colour.
    CGmTexture texture;
    texture.Create(1, 1, GM_FMT_A8R8G8B8, false);
    uint32_t pitch;
    const uint32_t grey = 0xFF404040;
    memcpy(texture.GetFrameImage(&pitch), &grey, 4);
    stageOption = kGmStageOptionAdd;
    const std::vector<uint32_t> added = Draw(&texture, 2, 2, 1, 0, 0, 1, 1, 2, 0xFF102030);
    EXPECT_LE(ColourDistance(0x506070, added[0] & 0xFFFFFF), 1) << std::hex << added[0];
}
