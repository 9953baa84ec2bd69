// Damaged and hostile image files: each must give a clean result (false, or
// a bounded decode) and never a read or write outside the buffers, which the
// sanitizer build would report.
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/JpegTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

using namespace imagefixture;

namespace {

Bytes ValidTga(bool runLength, uint32_t bits, bool topFirst)
{
    TgaSpec spec;
    spec.width = 9;
    spec.height = 4;
    spec.bitsPerPixel = bits;
    spec.topFirst = topFirst;
    spec.runLength = runLength;
    if (runLength)
        spec.imageType = bits == 8 ? 27 : 26;
    spec.pixels.resize(9 * 4 * (bits / 8));
    for (size_t i = 0; i < spec.pixels.size(); ++i)
        spec.pixels[i] = static_cast<uint8_t>(i / 5);
    return MakeTga(spec);
}

Bytes ValidGep(uint32_t code)
{
    GepSpec spec;
    spec.width = 6;
    spec.height = 3;
    spec.pixelCode = code;
    Bytes colour;
    for (int i = 0; i < 72; ++i)
        colour.push_back(static_cast<uint8_t>(i / 7));
    const uint32_t element = (code & 0xFF) == 1 ? 3 : (code & 0xFF) == 2 ? 4 : 2;
    Bytes plane = (code & 0xF00) == 0x100 ? MakePlane(EncodeRunLength(colour, element)) : MakePlane(colour);
    Bytes alpha(18, 0x40);
    alpha[3] = 7;
    if (code & 0x1000)
        alpha = EncodeRunLength(alpha, 1);
    const Bytes alphaPlane = MakePlane(alpha);
    plane.insert(plane.end(), alphaPlane.begin(), alphaPlane.end());
    spec.payload = plane;
    return MakeGep(spec);
}

Bytes ValidDds(const char* fourCc, bool mips)
{
    DdsSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.fourCc = fourCc;
    spec.mipCountFlag = mips;
    spec.mipCount = 4;
    spec.levelData.assign(8 * 16 + 2 * 16 + 16, 0x33);
    return MakeDds(spec);
}

Bytes ValidJpeg(int channels, bool progressive)
{
    EncodeOptions options;
    options.progressive = progressive;
    options.lumaH = options.lumaV = 2;
    options.restartMcus = progressive ? 0 : 1;
    return EncodeJpeg(MakeTestImage(19, 11, channels), options);
}

Bytes JpegInGep(const Bytes& jpeg, uint32_t code, uint32_t width, uint32_t height)
{
    GepSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixelCode = code;
    spec.payload = jpeg;
    return MakeGep(spec);
}

Bytes Truncated(Bytes bytes, size_t size)
{
    bytes.resize(std::min(size, bytes.size()));
    return bytes;
}

Bytes WithLe32(Bytes bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

Bytes WithByte(Bytes bytes, size_t at, uint8_t value)
{
    if (at < bytes.size())
        bytes[at] = value;
    return bytes;
}

// Every path a texture can take with a file: detection, a raw decode, and
// the packed read followed by the decode at upload.
bool LoadEveryWay(const char* path, const Bytes& file)
{
    const CGeFileData record = FileOver(path, file);
    DetectImageType(record);
    CGmImage packed(GM_IMAGE_PACKED);
    if (packed.ReadPacked(record) && packed.kind == GM_IMAGE_PACKED) {
        CGmImage decoded;
        CGmImage::DecodeGep(packed, decoded);
    }
    CGmImage image;
    return LoadImage(record, image);
}

}  // namespace

TEST(GmImageDamaged, TruncatedAndCorruptFilesFailCleanly)
{
    const Bytes tga = ValidTga(false, 32, false);
    const Bytes tgaRle = ValidTga(true, 24, true);
    const Bytes gep = ValidGep(0x1104);
    const struct {
        const char* name;
        const char* path;
        Bytes file;
        int loads;  // 1 or 0; -1 where the decoder may go either way
    } cases[] = {
        {"tga empty", "x.tga", {}, false},
        {"tga 17 bytes", "x.tga", Truncated(tga, 17), false},
        {"tga header only", "x.tga", Truncated(tga, 18), false},
        {"tga last row short", "x.tga", Truncated(tga, tga.size() - 1), false},
        {"tga huge raw size", "x.tga", WithLe32(tga, 12, 0xFFFFFFFF), false},
        {"tga rle cut in a packet", "x.tga", Truncated(tgaRle, tgaRle.size() - 2), false},
        {"tga rle cut after a header", "x.tga", Truncated(tgaRle, 19), false},
        {"tga rle huge size", "x.tga", WithLe32(tgaRle, 12, 0xFFFFFFFF), false},
        {"tga rle one run for the whole image", "x.tga", WithByte(tgaRle, 18, 0xFF), true},
        {"tga 64 bits", "x.tga", WithByte(tga, 16, 64), false},
        {"gep signature only", "x.gep", Truncated(gep, 4), false},
        {"gep 15 bytes", "x.gep", Truncated(gep, 15), false},
        {"gep header only", "x.gep", Truncated(gep, 16), false},
        {"gep huge image", "x.gep", WithLe32(gep, 4, 0xFFFFFFFF), false},
        {"gep plane pitch huge", "x.gep", WithByte(WithLe32(gep, 20, 0xFFFFFFFF), 13, 2), false},
        {"gep plane pitch zero", "x.gep", WithByte(WithLe32(gep, 20, 0), 13, 2), false},
        {"gep plane pitch cut", "x.gep", WithByte(Truncated(gep, 20), 13, 2), false},
        {"gep plane length huge", "x.gep", WithLe32(gep, 16, 0xFFFFFFFF), true},
        {"gep cut in the colour plane", "x.gep", Truncated(gep, 30), true},
        {"gep cut in the alpha header", "x.gep", Truncated(gep, gep.size() - 20), true},
        {"gep unknown layout", "x.gep", WithByte(gep, 9, 0x77), false},
        {"dds signature only", "x.dds", Truncated(ValidDds("DXT1", true), 4), true},
        {"dds 127 bytes", "x.dds", Truncated(ValidDds("DXT5", true), 127), true},
        {"dds huge size", "x.dds", WithLe32(WithLe32(ValidDds("DXT3", true), 12, 0x7FFFFFFF), 16, 0x7FFFFFFF), true},
        {"dds endless mips", "x.dds", WithLe32(ValidDds("DXT3", true), 28, 0xFFFFFFFF), true},
        {"jpeg empty", "x.jpg", {}, false},
        {"jpeg start marker only", "x.jpg", Truncated(ValidJpeg(3, false), 2), false},
        {"jpeg cut in the tables", "x.jpg", Truncated(ValidJpeg(3, false), 100), false},
        {"jpeg cut in the scan", "x.jpg", Truncated(ValidJpeg(3, false), 400), -1},
        {"jpeg progressive cut", "x.jpg", Truncated(ValidJpeg(3, true), 400), -1},
        {"jpeg in a larger gep", "x.gep", JpegInGep(ValidJpeg(3, false), kJpegColourCode, 300, 200), true},
        {"jpeg in a one-pixel gep", "x.gep", JpegInGep(ValidJpeg(3, false), kJpegColourCode, 1, 1), true},
        {"jpeg in an empty gep", "x.gep", JpegInGep(ValidJpeg(1, false), kJpegGreyCode, 0, 0), false},
        {"jpeg in a gep with the plane pitch mode", "x.gep",
         WithByte(JpegInGep(ValidJpeg(3, false), kJpegColourCode, 19, 11), 13, 2), false},
        {"not an image", "x.bin", Bytes(100, 0xAB), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool loaded = LoadEveryWay(c.path, c.file);
        if (c.loads >= 0) {
            EXPECT_EQ(loaded, c.loads == 1);
        }
    }
    // The packed DDS reader itself refuses what the upload could not use.
    CGmImage dds;
    EXPECT_FALSE(dds.ReadDds(FileOver("x.dds", Truncated(ValidDds("DXT5", true), 127))));
    EXPECT_FALSE(dds.ReadDds(FileOver("x.dds", WithLe32(ValidDds("DXT3", true), 16, 0x7FFFFFFF))));
    ASSERT_TRUE(dds.ReadDds(FileOver("x.dds", WithLe32(ValidDds("DXT3", true), 28, 0xFFFFFFFF))));
    EXPECT_EQ(dds.pitch, 5u) << "a full chain from 16x8 down to 1x1";
}

// Random damage to valid files of every kind, for a bounded time: flipped
// bytes, overwritten header fields, cut-off ends.
TEST(GmImageDamaged, RandomMutationsNeverEscapeTheBuffers)
{
    struct Seed {
        const char* path;
        Bytes file;
    };
    std::vector<Seed> seeds = {
        {"a.tga", ValidTga(false, 8, false)},  {"a.tga", ValidTga(false, 16, true)},
        {"a.tga", ValidTga(false, 24, false)}, {"a.tga", ValidTga(true, 32, false)},
        {"a.tga", ValidTga(true, 8, true)},    {"a.dds", ValidDds("DXT1", true)},
        {"a.dds", ValidDds("DXT5", false)},    {"a.jpg", ValidJpeg(3, false)},
        {"a.jpg", ValidJpeg(1, false)},        {"a.jpg", ValidJpeg(3, true)},
        {"a.gep", JpegInGep(ValidJpeg(3, false), kJpegColourCode, 19, 11)},
        {"a.gep", JpegInGep(ValidJpeg(1, true), kJpegGreyCode, 19, 11)},
    };
    for (uint32_t code : {0x001u, 0x002u, 0x003u, 0x004u, 0x101u, 0x102u, 0x103u, 0x104u, 0x1002u, 0x1004u, 0x1102u,
                          0x1104u})
        seeds.push_back({"a.gep", ValidGep(code)});

    std::mt19937 random(20261210);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int runs = 0;
    for (; runs < 200000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        const Seed& seed = seeds[random() % seeds.size()];
        Bytes file = seed.file;
        const int edits = 1 + random() % 6;
        for (int e = 0; e < edits; ++e) {
            switch (random() % 4) {
            case 0:  // any byte
                file[random() % file.size()] = static_cast<uint8_t>(random());
                break;
            case 1:  // a header byte
                file[random() % std::min<size_t>(32, file.size())] = static_cast<uint8_t>(random());
                break;
            case 2:  // a small number into a header field
                file = WithLe32(file, random() % std::min<size_t>(32, file.size()), random() % 300);
                break;
            default:  // cut the end off
                if (file.size() > 1)
                    file.resize(random() % file.size() + 1);
                break;
            }
        }
        LoadEveryWay(seed.path, file);
    }
    RecordProperty("runs", runs);
    EXPECT_GT(runs, 100);
}
