// The decoder against libjpeg-turbo on images that libjpeg-turbo writes:
// every sampling layout, progressive and restart streams, odd sizes.
#include "JpegTestSupport.h"

#include "Engine/Core/Gm/GeInputStream.h"
#include "Engine/Core/Gm/GmJpegDecoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct FormatCase {
    const char* name;
    int width, height;
    int channels;
    int lumaH, lumaV;
    bool progressive;
    int restartMcus;
    int scanType;
};

// Test names and failures show the case's name, not the bytes of the case.
void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << c.name;
}

const FormatCase kFormats[] = {
    { "baseline444", 64, 48, 3, 1, 1, false, 0, kJpegYH1V1 },
    { "baseline420", 64, 48, 3, 2, 2, false, 0, kJpegYH2V2 },
    { "baseline422", 64, 48, 3, 2, 1, false, 0, kJpegYH2V1 },
    { "baseline440", 64, 48, 3, 1, 2, false, 0, kJpegYH1V2 },
    { "grey", 64, 48, 1, 1, 1, false, 0, kJpegGreyscale },
    { "progressive420", 64, 48, 3, 2, 2, true, 0, kJpegYH2V2 },
    { "progressive444", 40, 24, 3, 1, 1, true, 0, kJpegYH1V1 },
    { "progressiveGrey", 40, 24, 1, 1, 1, true, 0, kJpegGreyscale },
    { "restart420", 64, 48, 3, 2, 2, false, 3, kJpegYH2V2 },
    { "restartGrey", 64, 48, 1, 1, 1, false, 1, kJpegGreyscale },
    { "restartProgressive", 64, 48, 3, 2, 2, true, 2, kJpegYH2V2 },
    { "size1x1", 1, 1, 3, 2, 2, false, 0, kJpegYH2V2 },
    { "size1x1Grey", 1, 1, 1, 1, 1, false, 0, kJpegGreyscale },
    { "size17x9_420", 17, 9, 3, 2, 2, false, 0, kJpegYH2V2 },
    { "size17x9_422", 17, 9, 3, 2, 1, false, 0, kJpegYH2V1 },
    { "size17x9_440", 17, 9, 3, 1, 2, false, 0, kJpegYH1V2 },
    { "size17x9Progressive", 17, 9, 3, 2, 2, true, 0, kJpegYH2V2 },
    { "size333x211_420", 333, 211, 3, 2, 2, false, 0, kJpegYH2V2 },
    { "size333x211Progressive444", 333, 211, 3, 1, 1, true, 5, kJpegYH1V1 },
    { "size333x211Grey", 333, 211, 1, 1, 1, false, 0, kJpegGreyscale },
};

class GmJpegDecoderFormat : public ::testing::TestWithParam<FormatCase> {};

std::vector<uint8_t> EncodeCase(const FormatCase& format)
{
    TestImage image = MakeTestImage(format.width, format.height, format.channels);
    EncodeOptions options;
    options.lumaH = format.lumaH;
    options.lumaV = format.lumaV;
    options.progressive = format.progressive;
    options.restartMcus = format.restartMcus;
    return EncodeJpeg(image, options);
}

TEST_P(GmJpegDecoderFormat, HeadersDescribeTheImage)
{
    const FormatCase& format = GetParam();
    std::vector<uint8_t> file = EncodeCase(format);
    CGeMemoryStream stream(file.data(), (uint32_t)file.size());
    CGmJpegDecoder decoder(&stream, false);
    ASSERT_EQ(0, decoder.GetErrorCode());
    EXPECT_EQ(format.width, decoder.GetWidth());
    EXPECT_EQ(format.height, decoder.GetHeight());
    EXPECT_EQ(format.channels, decoder.GetComponentCount());
    EXPECT_EQ(format.progressive, decoder.IsProgressive());
    EXPECT_EQ(format.channels == 1 ? 1 : 4, decoder.GetBytesPerPixel()); // known before Begin
    ASSERT_EQ(0, decoder.Begin());
    EXPECT_EQ(0, decoder.Begin()); // already ready
    EXPECT_EQ(format.scanType, decoder.GetScanType());
    EXPECT_EQ(format.channels == 1 ? 1 : 4, decoder.GetBytesPerPixel());
}

// The integer IDCT is the accurate one that libjpeg-turbo calls ISLOW, and the
// upsampling is replication as in its plain (non-fancy) mode, so samples
// match exactly except for the red table's constant (91882 where
// libjpeg-turbo has 91881), which may move a red value by one.
TEST_P(GmJpegDecoderFormat, IntegerPathMatchesLibjpegSlowIdct)
{
    std::vector<uint8_t> file = EncodeCase(GetParam());
    TestImage reference = DecodeWithLibjpeg(file, false);
    OurDecode ours = DecodeWithOurs(file, false);
    ASSERT_EQ(0, ours.error);
    EXPECT_EQ(1, ours.lastRowResult);
    ASSERT_EQ(reference.height, ours.rows);
    if (reference.channels == 1) {
        EXPECT_EQ(0, MaxDifference(reference, ours.image));
    } else {
        EXPECT_LE(MaxDifference(reference, ours.image, 0), 1);
        EXPECT_EQ(0, MaxDifference(reference, ours.image, 1));
        EXPECT_EQ(0, MaxDifference(reference, ours.image, 2));
    }
}

// The fast path is a scaled AAN IDCT like libjpeg-turbo's IFAST, with its
// own rounding of the constant products.
TEST_P(GmJpegDecoderFormat, FastPathIsCloseToLibjpegFastIdct)
{
    std::vector<uint8_t> file = EncodeCase(GetParam());
    TestImage reference = DecodeWithLibjpeg(file, true);
    OurDecode ours = DecodeWithOurs(file, true);
    ASSERT_EQ(0, ours.error);
    ASSERT_EQ(reference.height, ours.rows);
    EXPECT_LE(MaxDifference(reference, ours.image), 3);
}

INSTANTIATE_TEST_SUITE_P(Formats, GmJpegDecoderFormat, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

} // namespace
