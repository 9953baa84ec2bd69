// JPEG files and JPEG payloads of GEP files through the image loader. The
// pixels are compared with the engine decoder's own rows: what is tested
// here is the placing of the samples, not the decoding.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"

#include <gtest/gtest.h>

using namespace imagefixture;

namespace {

bool UseMmx()
{
    return g_pGeCpuInfo && (g_pGeCpuInfo->flags & GE_CPU_MMX) != 0;
}

// Checks the first columns x rows of an image against the decoder's samples
// (R, G, B to B, G, R in memory, or grey as it is); the remaining pixels of
// each checked row must repeat the last one.
void ExpectSamples(const CGmImage& image, const TestImage& samples, uint32_t columns, uint32_t rows)
{
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(image.format);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* row = image.data + y * image.pitch;
        for (uint32_t x = 0; x < image.pitch / bytesPerPixel; ++x) {
            const uint32_t sx = x < columns ? x : columns - 1;
            const uint8_t* s = &samples.pixels[(y * samples.width + sx) * samples.channels];
            const uint8_t* p = row + x * bytesPerPixel;
            if (bytesPerPixel == 1) {
                ASSERT_EQ(p[0], s[0]) << x << "," << y;
            } else {
                ASSERT_EQ(p[0], s[2]) << x << "," << y;
                ASSERT_EQ(p[1], s[1]) << x << "," << y;
                ASSERT_EQ(p[2], s[0]) << x << "," << y;
            }
        }
    }
}

GepSpec JpegGep(uint32_t code, uint32_t width, uint32_t height, const Bytes& jpeg)
{
    GepSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixelCode = code;
    spec.payload = jpeg;
    return spec;
}

}  // namespace

TEST(GmImageJpeg, ColourAndGreyFilesArePackedAndDecodedIntoPaddedRows)
{
    const struct {
        int channels;
        uint32_t code;
        uint32_t format;
        uint32_t bytesPerPixel;
    } cases[] = {{3, kJpegColourCode, GM_FMT_X8R8G8B8, 4}, {1, kJpegGreyCode, GM_FMT_A8, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        EncodeOptions options;
        options.lumaH = options.lumaV = 2;
        const Bytes jpeg = EncodeJpeg(MakeTestImage(30, 19, c.channels), options);
        const CGeFileData file = FileOver("Data/Pic.JPG", jpeg);
        EXPECT_EQ(DetectImageType(file), GM_IMAGE_TYPE_PACKED);

        CGmImage packed(GM_IMAGE_PACKED);
        ASSERT_TRUE(packed.ReadPacked(file));
        EXPECT_EQ(packed.kind, GM_IMAGE_PACKED);
        EXPECT_EQ(packed.pixelCode, c.code);
        EXPECT_EQ(packed.format, c.format);
        EXPECT_EQ(packed.width, 30u);
        EXPECT_EQ(packed.height, 19u);
        EXPECT_EQ(packed.pitch, 32u * c.bytesPerPixel);
        EXPECT_EQ(packed.storedSize, jpeg.size());

        const OurDecode reference = DecodeWithOurs(jpeg, UseMmx());
        ASSERT_EQ(reference.rows, 19);
        CGmImage image;
        ASSERT_TRUE(LoadImage(file, image));
        EXPECT_EQ(image.kind, GM_IMAGE_RAW);
        EXPECT_EQ(image.format, c.format);
        ExpectSamples(image, reference.image, 30, 19);
        // The packed record decodes the same way at upload.
        CGmImage uploaded;
        ASSERT_TRUE(CGmImage::DecodeGep(packed, uploaded));
        EXPECT_EQ(0, memcmp(uploaded.data, image.data, image.RawBytes()));
    }
}

TEST(GmImageJpeg, AJpegNamedFileThatIsNoJpegFails)
{
    const Bytes notJpeg(600, 0x20);
    const CGeFileData file = FileOver("picture.jpeg", notJpeg);
    EXPECT_EQ(DetectImageType(file), GM_IMAGE_TYPE_PACKED) << "the name decides";
    CGmImage image;
    EXPECT_FALSE(image.ReadJpegPacked(file));
    EXPECT_EQ(image.data, nullptr);
    EXPECT_FALSE(LoadImage(file, image));
    EXPECT_EQ(image.data, nullptr) << "the image is left as it was";

    // A stream that reads its headers but fails in Begin (four components).
    const Bytes cmyk = EncodeJpeg(MakeTestImage(8, 8, 4), EncodeOptions());
    CGmImage packed(GM_IMAGE_PACKED);
    ASSERT_TRUE(packed.ReadPacked(FileOver("cmyk.jpg", cmyk)));
    EXPECT_FALSE(CGmImage::DecodeJpeg(packed, image));
    EXPECT_EQ(image.data, nullptr);
}

// The GEP header names its own size; a JPEG payload of another size is
// written only where both overlap.
TEST(GmImageJpeg, GepPayloadOfAnotherSizeIsClippedToTheImage)
{
    const Bytes jpeg = EncodeJpeg(MakeTestImage(20, 12, 3), EncodeOptions());
    const OurDecode reference = DecodeWithOurs(jpeg, UseMmx());
    const struct {
        uint32_t width, height;
    } sizes[] = {{20, 12}, {8, 5}, {40, 30}, {20, 1}, {1, 12}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        const Bytes file = MakeGep(JpegGep(kJpegColourCode, size.width, size.height, jpeg));
        CGmImage image;
        ASSERT_TRUE(LoadImage(FileOver("x.gep", file), image));
        EXPECT_EQ(image.format, GM_FMT_X8R8G8B8);
        EXPECT_EQ(image.pitch, size.width * 4);
        ExpectSamples(image, reference.image, std::min(size.width, 20u), std::min(size.height, 12u));
    }
}

// The decoder finds the stream behind a plane header, whose pitch word a
// pitch-mode-2 header takes: a pitch shorter than a row is refused.
TEST(GmImageJpeg, GepPlanePitchMustHoldARow)
{
    const Bytes jpeg = EncodeJpeg(MakeTestImage(20, 12, 3), EncodeOptions());
    for (uint32_t pitch : {80u, 96u, 79u, 4u}) {
        SCOPED_TRACE(pitch);
        GepSpec spec = JpegGep(kJpegColourCode, 20, 12, MakePlane(jpeg, pitch));
        spec.pitchMode = 2;
        CGmImage image;
        const bool decoded = LoadImage(FileOver("x.gep", MakeGep(spec)), image);
        EXPECT_EQ(decoded, pitch >= 80u);
        if (decoded) {
            EXPECT_EQ(image.pitch, pitch);
            ExpectSamples(image, DecodeWithOurs(jpeg, UseMmx()).image, 20, 12);
        }
    }
}

TEST(GmImageJpeg, GreyGepPayloadDecodesToOneBytePixels)
{
    const Bytes grey = EncodeJpeg(MakeTestImage(10, 6, 1), EncodeOptions());
    const Bytes file = MakeGep(JpegGep(kJpegGreyCode, 10, 6, grey));
    CGmImage packed(GM_IMAGE_PACKED);
    ASSERT_TRUE(packed.ReadPacked(FileOver("x.gep", file)));
    EXPECT_EQ(packed.format, GM_FMT_A8);
    EXPECT_EQ(packed.pitch, 10u);
    CGmImage image;
    ASSERT_TRUE(CGmImage::DecodeGep(packed, image));
    ExpectSamples(image, DecodeWithOurs(grey, UseMmx()).image, 10, 6);

    // A payload whose colour model does not fit the header's pixel size is
    // refused rather than read or written past its rows.
    const Bytes colour = EncodeJpeg(MakeTestImage(10, 6, 3), EncodeOptions());
    CGmImage refused;
    EXPECT_FALSE(LoadImage(FileOver("x.gep", MakeGep(JpegGep(kJpegGreyCode, 10, 6, colour))), refused));
    EXPECT_FALSE(LoadImage(FileOver("x.gep", MakeGep(JpegGep(kJpegColourCode, 10, 6, grey))), refused));
    EXPECT_FALSE(LoadImage(FileOver("x.gep", MakeGep(JpegGep(kJpegColourCode, 10, 6, Bytes(50, 1)))), refused));
}

// A stream cut off in its entropy-coded data still gives every row (the
// decoder reads EOI markers past the end).
TEST(GmImageJpeg, TruncatedStreamsDecodeWithoutLeavingTheBuffers)
{
    EncodeOptions progressive;
    progressive.progressive = true;
    for (const Bytes& jpeg : {EncodeJpeg(MakeTestImage(33, 17, 3), EncodeOptions()),
                              EncodeJpeg(MakeTestImage(33, 17, 3), progressive)}) {
        for (size_t keep : {jpeg.size() / 2, jpeg.size() - 10, size_t(700)}) {
            SCOPED_TRACE(testing::Message() << keep << " of " << jpeg.size() << " bytes");
            const Bytes cut(jpeg.begin(), jpeg.begin() + std::min(keep, jpeg.size()));
            const Bytes gep = MakeGep(JpegGep(kJpegColourCode, 33, 17, cut));
            for (const CGeFileData& file : {FileOver("cut.jpg", cut), FileOver("cut.gep", gep)}) {
                CGmImage image;
                ASSERT_TRUE(LoadImage(file, image)) << file.path.c_str();
                EXPECT_EQ(image.width, 33u);
                EXPECT_EQ(image.height, 17u);
                EXPECT_NE(image.data, nullptr);
            }
        }
    }
}
