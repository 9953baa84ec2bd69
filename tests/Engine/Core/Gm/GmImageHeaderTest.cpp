// The header check that lets a caller refuse a file before reading it whole,
// against the readers themselves: the check and the reader must give the same
// verdict, and the check needs only the first kImageHeadBytes of the file.
#include "Engine/Core/Gm/GmImage.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace imagefixture;

namespace {

Bytes Tga(uint32_t width, uint32_t height, uint32_t bits, int imageType = -1, size_t pixelBytes = SIZE_MAX)
{
    TgaSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitsPerPixel = bits;
    spec.imageType = imageType;
    spec.pixels.assign(std::min<size_t>(pixelBytes, size_t(width) * height * ((bits + 7) / 8)), 7);
    return MakeTga(spec);
}

Bytes Gep(uint32_t width, uint32_t height, uint32_t code, bool payload = true)
{
    GepSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixelCode = code;
    if (payload)
        spec.payload = MakePlane(Bytes(size_t(width) * height * 4, 3));
    return MakeGep(spec);
}

Bytes Dds(uint32_t width, uint32_t height, const char* fourCc, size_t dataBytes)
{
    DdsSpec spec;
    spec.width = width;
    spec.height = height;
    spec.fourCc = fourCc;
    spec.levelData.assign(dataBytes, 0x55);
    return MakeDds(spec);
}

Bytes First(const Bytes& bytes, size_t count)
{
    return Bytes(bytes.begin(), bytes.begin() + std::min(bytes.size(), count));
}

// What the reader that a texture or a tool would use says about the file.
GmImageProblem ReaderVerdict(const std::string& name, const Bytes& bytes)
{
    CGmImage image;
    if (bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, "DDS ")) {
        CGmImage packed;
        packed.ReadPacked(FileOver(name, bytes));
    } else {
        LoadImage(FileOver(name, bytes), image);
    }
    return GetLastImageReport().problem;
}

}  // namespace

TEST(GmImageHeader, TheCheckAgreesWithTheReaders)
{
    const struct {
        const char* name;
        Bytes bytes;
        GmImageProblem problem;
    } cases[] = {
        {"good.tga", Tga(5, 3, 24), GM_IMAGE_NO_PROBLEM},
        {"cut.tga", Tga(5, 3, 24, -1, 20), GM_IMAGE_TRUNCATED},
        {"header.tga", First(Tga(5, 3, 24), 10), GM_IMAGE_TRUNCATED},
        {"run-length-type-10.tga", Tga(5, 3, 24, 10), GM_IMAGE_UNSUPPORTED},
        {"colour-mapped.tga", Tga(5, 3, 8, 1), GM_IMAGE_UNSUPPORTED},
        {"15-bit.tga", Tga(5, 3, 15), GM_IMAGE_UNSUPPORTED},
        {"no-width.tga", Tga(0, 3, 24), GM_IMAGE_DAMAGED},
        {"huge.tga", Tga(65535, 65535, 32, -1, 0), GM_IMAGE_TOO_LARGE},
        {"good.gep", Gep(4, 2, 0x002), GM_IMAGE_NO_PROBLEM},
        {"header-only.gep", Gep(4, 2, 0x002, false), GM_IMAGE_TRUNCATED},
        {"layout-7.gep", Gep(4, 2, 0x007), GM_IMAGE_UNSUPPORTED},
        {"huge.gep", Gep(65535, 65535, 0x002, false), GM_IMAGE_TRUNCATED},
        {"good.dds", Dds(8, 8, "DXT1", 32), GM_IMAGE_NO_PROBLEM},
        {"dx10.dds", Dds(8, 8, "DX10", 32), GM_IMAGE_UNSUPPORTED},
        {"cut.dds", Dds(8, 8, "DXT5", 40), GM_IMAGE_TRUNCATED},
        {"no-size.dds", Dds(0, 8, "DXT1", 32), GM_IMAGE_DAMAGED},
        {"unknown.bin", Bytes(64, 1), GM_IMAGE_NOT_AN_IMAGE},
        {"good.jpg", EncodeJpeg(MakeTestImage(9, 9, 3), EncodeOptions()), GM_IMAGE_NO_PROBLEM},
    };
    for (const auto& c : cases) {
        // The check sees only the head of the file, and the file's size.
        const Bytes head = First(c.bytes, kImageHeadBytes);
        EXPECT_EQ(CheckImageHeader(FileOver(c.name, head), c.bytes.size()), c.problem) << c.name;
        EXPECT_EQ(ReaderVerdict(c.name, c.bytes), c.problem) << c.name;
    }
    // A GEP whose payload is there but whose size no image can take.
    Bytes hugeGep = Gep(65535, 65535, 0x002, false);
    hugeGep.resize(200, 0);
    EXPECT_EQ(CheckImageHeader(FileOver("huge.gep", hugeGep), hugeGep.size()), GM_IMAGE_TOO_LARGE);
    EXPECT_EQ(ReaderVerdict("huge.gep", hugeGep), GM_IMAGE_TOO_LARGE);
}

// A gigabyte file is judged by its head and its size alone.
TEST(GmImageHeader, AHugeFileIsJudgedByItsHead)
{
    const uint64_t gigabyte = uint64_t(1) << 30;
    const Bytes tgaHead = Tga(65535, 65535, 32, -1, 0);
    EXPECT_EQ(CheckImageHeader(FileOver("huge.tga", tgaHead), gigabyte), GM_IMAGE_TOO_LARGE);
    const Bytes plausible = Tga(8000, 8000, 32, -1, 0);
    EXPECT_EQ(CheckImageHeader(FileOver("big.tga", plausible), gigabyte), GM_IMAGE_NO_PROBLEM);
    const Bytes ddsHead = Dds(65536, 65536, "DXT1", 0);
    EXPECT_EQ(CheckImageHeader(FileOver("huge.dds", ddsHead), gigabyte), GM_IMAGE_TRUNCATED);
}

// A JPEG cut inside its scan is shown, and said to be cut; one without a scan
// is refused with the decoder's code.
TEST(GmImageHeader, JpegReportsSayWhatTheDecoderMet)
{
    const Bytes jpeg = EncodeJpeg(MakeTestImage(32, 32, 3), EncodeOptions());
    CGmImage image;
    ASSERT_TRUE(LoadImage(FileOver("whole.jpg", jpeg), image));
    EXPECT_EQ(GetLastImageReport().problem, GM_IMAGE_NO_PROBLEM);

    const Bytes cut(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3);
    ASSERT_TRUE(LoadImage(FileOver("cut.jpg", cut), image));
    EXPECT_EQ(GetLastImageReport().problem, GM_IMAGE_TRUNCATED);

    const uint8_t sos[2] = {0xFF, 0xDA};
    const size_t scan = std::search(jpeg.begin(), jpeg.end(), sos, sos + 2) - jpeg.begin();
    const Bytes noScan(jpeg.begin(), jpeg.begin() + scan);
    EXPECT_FALSE(LoadImage(FileOver("no-scan.jpg", noScan), image));
    EXPECT_EQ(GetLastImageReport().problem, GM_IMAGE_JPEG_ERROR);
    EXPECT_EQ(GetLastImageReport().jpegError, -216);
}
