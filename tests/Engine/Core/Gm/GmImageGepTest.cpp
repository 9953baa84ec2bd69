#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace imagefixture;

namespace {

// A 4 by 2 image with runs in every plane.
const uint32_t kWidth = 4;
const uint32_t kHeight = 2;
const uint32_t kRgb[8] = {0x112233, 0x112233, 0x112233, 0x445566, 0x778899, 0x778899, 0xAABBCC, 0x010203};
const uint32_t kArgb[8] = {0x80112233, 0x80112233, 0x80112233, 0x80112233, 0xFF445566, 0x00778899, 0x00778899,
                           0x7FAABBCC};
const uint16_t k565[8] = {0xF800, 0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFFF, 0xFFFF, 0x1234};
const uint8_t kAlpha[8] = {10, 10, 10, 10, 20, 30, 30, 255};

Bytes Rgb24()
{
    Bytes out;
    for (uint32_t v : kRgb)
        out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
    return out;
}

Bytes Argb32()
{
    Bytes out(sizeof(kArgb));
    memcpy(out.data(), kArgb, sizeof(kArgb));
    return out;
}

Bytes Pixels565()
{
    Bytes out(sizeof(k565));
    memcpy(out.data(), k565, sizeof(k565));
    return out;
}

Bytes Alpha()
{
    return Bytes(kAlpha, kAlpha + 8);
}

uint32_t Expanded565(uint16_t p)
{
    return ((p >> 11) << 3) << 16 | (((p >> 5) & 0x3F) << 2) << 8 | (p & 0x1F) << 3;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes WordsToBytes(const std::vector<uint32_t>& words)
{
    Bytes out(words.size() * 4);
    memcpy(out.data(), words.data(), out.size());
    return out;
}

std::vector<uint32_t> RgbWithAlpha(bool withAlpha)
{
    std::vector<uint32_t> out;
    for (int i = 0; i < 8; ++i)
        out.push_back(kRgb[i] | (withAlpha ? uint32_t(kAlpha[i]) << 24 : 0));
    return out;
}

std::vector<uint32_t> Expanded565WithAlpha()
{
    std::vector<uint32_t> out;
    for (int i = 0; i < 8; ++i)
        out.push_back(Expanded565(k565[i]) | uint32_t(kAlpha[i]) << 24);
    return out;
}

Bytes Decode(const GepSpec& spec, bool* ok = nullptr)
{
    const Bytes file = MakeGep(spec);
    CGmImage image;
    const bool decoded = LoadImage(FileOver("x.gep", file), image);
    if (ok)
        *ok = decoded;
    if (!decoded || !image.data)
        return {};
    return Bytes(image.data, image.data + image.RawBytes());
}

GepSpec Spec(uint32_t code, Bytes payload)
{
    GepSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.pixelCode = code;
    spec.payload = std::move(payload);
    return spec;
}

}  // namespace

// Every code of the decoder's table on the same picture.
TEST(GmImageGep, EveryPixelCodeDecodesItsPlanes)
{
    const Bytes rawAlpha = MakePlane(Alpha());
    const Bytes rleAlpha = MakePlane(EncodeRunLength(Alpha(), 1));
    const struct {
        const char* name;
        uint32_t code;
        Bytes payload;
        Bytes expected;
        uint32_t format;
    } cases[] = {
        {"0x001 rgb", 0x001, MakePlane(Rgb24()), WordsToBytes(RgbWithAlpha(false)), GM_FMT_X8R8G8B8},
        {"0x002 argb", 0x002, MakePlane(Argb32()), Argb32(), GM_FMT_A8R8G8B8},
        {"0x003 565", 0x003, MakePlane(Pixels565()), Pixels565(), GM_FMT_R5G6B5},
        {"0x004 565+alpha", 0x004, Concat(MakePlane(Pixels565()), rawAlpha), WordsToBytes(Expanded565WithAlpha()),
         GM_FMT_A8R8G8B8},
        {"0x101 rle rgb", 0x101, MakePlane(EncodeRunLength(Rgb24(), 3)), WordsToBytes(RgbWithAlpha(false)),
         GM_FMT_X8R8G8B8},
        {"0x102 rle argb", 0x102, MakePlane(EncodeRunLength(Argb32(), 4)), Argb32(), GM_FMT_A8R8G8B8},
        {"0x103 rle 565", 0x103, MakePlane(EncodeRunLength(Pixels565(), 2)), Pixels565(), GM_FMT_R5G6B5},
        {"0x104 rle 565+alpha", 0x104, Concat(MakePlane(EncodeRunLength(Pixels565(), 2)), rawAlpha),
         WordsToBytes(Expanded565WithAlpha()), GM_FMT_A8R8G8B8},
        {"0x1002 rgb+rle alpha", 0x1002, Concat(MakePlane(Rgb24()), rleAlpha), WordsToBytes(RgbWithAlpha(true)),
         GM_FMT_A8R8G8B8},
        {"0x1004 565+rle alpha", 0x1004, Concat(MakePlane(Pixels565()), rleAlpha),
         WordsToBytes(Expanded565WithAlpha()), GM_FMT_A8R8G8B8},
        {"0x1102 rle rgb+rle alpha", 0x1102, Concat(MakePlane(EncodeRunLength(Rgb24(), 3)), rleAlpha),
         WordsToBytes(RgbWithAlpha(true)), GM_FMT_A8R8G8B8},
        {"0x1104 rle 565+rle alpha", 0x1104, Concat(MakePlane(EncodeRunLength(Pixels565(), 2)), rleAlpha),
         WordsToBytes(Expanded565WithAlpha()), GM_FMT_A8R8G8B8},
        // Unknown coding of a known layout: the payload itself is the pixels.
        {"0x2002 unknown coding", 0x2002, Argb32(), Argb32(), GM_FMT_A8R8G8B8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = MakeGep(Spec(c.code, c.payload));
        EXPECT_EQ(DetectImageType(FileOver("x.gep", file)), GM_IMAGE_TYPE_PACKED);
        CGmImage packed(GM_IMAGE_PACKED);
        ASSERT_TRUE(packed.ReadPacked(FileOver("x.gep", file)));
        EXPECT_EQ(packed.kind, GM_IMAGE_PACKED);
        EXPECT_EQ(packed.storedSize, c.payload.size());
        EXPECT_EQ(packed.format, c.format);
        CGmImage image;
        ASSERT_TRUE(CGmImage::DecodeGep(packed, image));
        EXPECT_EQ(image.kind, GM_IMAGE_RAW);
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(image.pitch, kWidth * GetFormatBytesPerPixel(c.format));
        EXPECT_EQ(Bytes(image.data, image.data + image.RawBytes()), c.expected);
    }
}

TEST(GmImageGep, RunLengthCountsRepeatTheElement)
{
    // v, v, 3 is four copies of v.
    const Bytes v = {1, 2, 3, 4};
    Bytes plane = Concat(Concat(v, v), {3});
    Bytes out = Decode(Spec(0x102, MakePlane(plane)));
    ASSERT_EQ(out.size(), 32u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0, memcmp(&out[i * 4], v.data(), 4)) << i;
    EXPECT_EQ(out[16], 0) << "the rest of the image stays clear";

    // A count byte of 0 stands for 256 further copies: 257 alpha bytes.
    GepSpec big = Spec(0x1002, {});
    big.width = 300;
    big.height = 1;
    const Bytes alpha = {9, 9, 0, 7};
    big.payload = Concat(MakePlane(Bytes(900, 0x55)), MakePlane(alpha));
    out = Decode(big);
    ASSERT_EQ(out.size(), 1200u);
    for (int i = 0; i < 257; ++i)
        ASSERT_EQ(out[i * 4 + 3], 9) << i;
    EXPECT_EQ(out[257 * 4 + 3], 7);
    EXPECT_EQ(out[258 * 4 + 3], 0);
}

TEST(GmImageGep, AlphaPlaneStartsAtTheNextSixteenByteBoundary)
{
    // A colour plane of 17 bytes (5 triplets and 2 spare) pads to 32: the
    // alpha plane header sits at 16 + 32.
    GepSpec spec = Spec(0x1104, {});
    spec.width = 5;
    spec.height = 1;
    Bytes colour = EncodeRunLength(Bytes{0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8}, 2);
    colour.resize(17, 0xEE);
    const Bytes colourPlane = MakePlane(colour);
    ASSERT_EQ(colourPlane.size(), 48u);
    spec.payload = Concat(colourPlane, MakePlane(EncodeRunLength(Bytes{200, 200, 200, 100, 50}, 1)));
    const Bytes out = Decode(spec);
    ASSERT_EQ(out.size(), 20u);
    const auto pixels = Words(out.data(), 5);
    EXPECT_EQ(pixels[0], 0xC8F80000u);
    EXPECT_EQ(pixels[2], 0xC8F80000u);
    EXPECT_EQ(pixels[3], 0x64F80000u);
    EXPECT_EQ(pixels[4], 0x32F80000u);
}

TEST(GmImageGep, PitchModeTwoTakesThePitchFromTheFirstPlane)
{
    GepSpec spec = Spec(0x002, MakePlane(Argb32(), 24));
    spec.pitchMode = 2;
    const Bytes file = MakeGep(spec);
    CGmImage packed(GM_IMAGE_PACKED);
    ASSERT_TRUE(packed.ReadGepHeader(FileOver("x.gep", file)));
    EXPECT_EQ(packed.pitch, 24u);
    CGmImage image;
    ASSERT_TRUE(CGmImage::DecodeGep(packed, image));
    EXPECT_EQ(image.RawBytes(), 48u);
    // Pixels are written back to back, whatever the pitch.
    EXPECT_EQ(0, memcmp(image.data, kArgb, sizeof(kArgb)));
}

// A plane pitch too small for a row of the image would leave every reader
// of the decoded image (texture upload, scalers, writer) reading past it.
TEST(GmImageGep, PitchModeTwoBelowTheRowIsRefused)
{
    const struct {
        uint32_t code;
        uint32_t pitch;
        bool decodes;
    } cases[] = {
        {0x002, 16, true}, {0x002, 15, false}, {0x002, 1, false}, {0x1104, 12, false},
        {0x003, 8, true}, {0x003, 7, false}, {0x103, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code << std::dec << " pitch " << c.pitch);
        GepSpec spec = Spec(c.code, MakePlane(Argb32(), c.pitch));
        spec.pitchMode = 2;
        bool ok = !c.decodes;
        const Bytes out = Decode(spec, &ok);
        EXPECT_EQ(ok, c.decodes);
        EXPECT_EQ(out.size(), c.decodes ? c.pitch * kHeight : 0u);
    }
    // Nor is such a record taken as the destination when it already has the
    // shape (the texture upload hands in its own).
    GepSpec spec = Spec(0x002, MakePlane(Argb32(), 8));
    spec.pitchMode = 2;
    CGmImage packed(GM_IMAGE_PACKED);
    ASSERT_TRUE(packed.ReadGepHeader(FileOver("x.gep", MakeGep(spec))));
    CGmImage destination;
    destination.kind = GM_IMAGE_RAW;
    destination.width = kWidth;
    destination.height = kHeight;
    destination.format = GM_FMT_A8R8G8B8;
    destination.pitch = 8;
    destination.data = static_cast<uint8_t*>(malloc(8 * kHeight));
    EXPECT_FALSE(CGmImage::DecodeGep(packed, destination));
    EXPECT_EQ(destination.data, nullptr);
}

TEST(GmImageGep, LayoutsWithoutAPixelFormatAreUndecodable)
{
    for (uint32_t code : {0x000u, 0x006u, 0x0FFu, 0x106u}) {
        bool ok = true;
        Decode(Spec(code, MakePlane(Argb32())), &ok);
        EXPECT_FALSE(ok) << std::hex << code;
    }
    // Pitch mode 2 gives a pitch but still no format.
    GepSpec spec = Spec(0x007, MakePlane(Argb32(), 16));
    spec.pitchMode = 2;
    bool ok = true;
    Decode(spec, &ok);
    EXPECT_FALSE(ok);
}

TEST(GmImageGep, PixelCodeSixIsTakenForDds)
{
    const Bytes file = MakeGep(Spec(6, MakePlane(Argb32())));
    EXPECT_EQ(DetectImageType(FileOver("x.gep", file)), GM_IMAGE_TYPE_DDS);
}

// Plane lengths come from the file: too long a length is cut to the stored
// bytes and to the image, a missing alpha plane leaves the alpha clear.
TEST(GmImageGep, PlaneLengthsAreBoundByTheFileAndTheImage)
{
    const struct {
        const char* name;
        uint32_t code;
        Bytes payload;
    } cases[] = {
        {"raw longer than stored", 0x002, MakePlane(Argb32(), 0, 0x7FFFFFF0)},
        {"raw longer than image", 0x002, MakePlane(Bytes(4096, 0xAB))},
        {"rgb longer than image", 0x001, MakePlane(Bytes(3000, 0xAB))},
        {"565 longer than stored", 0x004, MakePlane(Pixels565(), 0, 0xFFFFFFFF)},
        {"565 longer than image", 0x1004, MakePlane(Bytes(1000, 0xAB))},
        {"rle run past image", 0x102, MakePlane(Bytes{1, 2, 3, 4, 1, 2, 3, 4, 0, 1, 2, 3, 4, 1, 2, 3, 4, 0})},
        {"rle length past stored", 0x103, MakePlane(Bytes{1, 2, 1, 2, 200}, 0, 100000)},
        {"rle count byte missing", 0x102, MakePlane(Bytes{1, 2, 3, 4, 1, 2, 3, 4})},
        {"alpha plane missing", 0x004, MakePlane(Pixels565())},
        {"alpha offset overflows", 0x1004, MakePlane(Pixels565(), 0, 0xFFFFFFF8)},
        {"alpha longer than image", 0x104, Concat(MakePlane(Pixels565()), MakePlane(Bytes(500, 1)))},
        {"rle alpha past image", 0x1104, Concat(MakePlane(Pixels565()), MakePlane(Bytes{5, 5, 0, 5, 5, 0}))},
        {"payload shorter than a plane header", 0x002, Bytes{4, 0, 0}},
        {"unknown coding longer than image", 0x3001, Bytes(5000, 0xCD)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = false;
        const Bytes out = Decode(Spec(c.code, c.payload), &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(out.size(), kWidth * kHeight * (c.code == 0x103 ? 2u : 4u));
    }
    // Two copies and a run past the image: the image is full of the value.
    const Bytes out = Decode(Spec(0x102, MakePlane(Bytes{1, 2, 3, 4, 1, 2, 3, 4, 0})));
    for (uint32_t i = 0; i < kWidth * kHeight; ++i)
        EXPECT_EQ(Words(out.data(), 8)[i], 0x04030201u);
    // A repeated element without its count byte is output twice.
    const Bytes twice = Decode(Spec(0x102, MakePlane(Bytes{1, 2, 3, 4, 1, 2, 3, 4})));
    EXPECT_EQ(Words(twice.data(), 3), (std::vector<uint32_t>{0x04030201u, 0x04030201u, 0}));
}

TEST(GmImageGep, HeaderShorterThanSixteenBytesIsNoImage)
{
    Bytes file = MakeGep(Spec(0x002, {}));
    file.resize(12);
    CGmImage image;
    EXPECT_EQ(DetectImageType(FileOver("x.gep", file)), GM_IMAGE_TYPE_NONE);
    EXPECT_FALSE(LoadImage(FileOver("x.gep", file), image));
    EXPECT_FALSE(image.ReadPacked(FileOver("x.gep", file)));
    // A header with no payload at all is read, but there is nothing to decode.
    file = MakeGep(Spec(0x002, {}));
    CGmImage packed(GM_IMAGE_PACKED);
    EXPECT_TRUE(packed.ReadGepHeader(FileOver("x.gep", file)));
    EXPECT_EQ(packed.storedSize, 0u);
    EXPECT_FALSE(CGmImage::DecodeGep(packed, image));
}

// Decoding into an image of the same shape reuses its pixels, as the texture
// upload does with its staging surface.
TEST(GmImageGep, DecodingAgainIntoTheSameShapeKeepsTheBuffer)
{
    const Bytes file = MakeGep(Spec(0x002, MakePlane(Argb32())));
    CGmImage packed(GM_IMAGE_PACKED);
    ASSERT_TRUE(packed.ReadPacked(FileOver("x.gep", file)));
    CGmImage image;
    ASSERT_TRUE(CGmImage::DecodeGep(packed, image));
    const uint8_t* first = image.data;
    ASSERT_TRUE(CGmImage::DecodeGep(packed, image));
    EXPECT_EQ(image.data, first);

    CGmImage copy;
    copy.kind = GM_IMAGE_RAW;
    ASSERT_TRUE(copy.Assign(image));
    EXPECT_NE(copy.data, image.data);
    EXPECT_EQ(0, memcmp(copy.data, image.data, image.RawBytes()));
    CGmImage packedCopy;
    ASSERT_TRUE(packedCopy.Assign(packed));
    EXPECT_EQ(packedCopy.storedSize, packed.storedSize);
    EXPECT_EQ(packedCopy.pixelCode, 0x002u);
    EXPECT_EQ(0, memcmp(packedCopy.data, packed.data, packed.storedSize));
    CGmImage notRaw;
    EXPECT_FALSE(notRaw.Assign(image));
}
