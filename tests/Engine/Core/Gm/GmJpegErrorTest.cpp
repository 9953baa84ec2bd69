// Every error code of the decoder from a small hand-made stream with one
// thing wrong, and the decoder's behaviour after an error.
#include "JpegTestSupport.h"

#include "Engine/Core/Gm/GeInputStream.h"
#include "Engine/Core/Gm/GmJpegDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

namespace {

typedef std::vector<uint8_t> Bytes;

const uint8_t kSosMarker[2] = { 0xFF, 0xDA };

Bytes Segment(int marker, const Bytes& payload)
{
    size_t length = payload.size() + 2;
    Bytes out(length + 2);
    out[0] = 0xFF;
    out[1] = (uint8_t)marker;
    out[2] = (uint8_t)(length >> 8);
    out[3] = (uint8_t)length;
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    return out;
}

// A greyscale stream of width x 8 pixels, one block per 8 columns, whose
// Huffman tables have two codes each: DC "0" (size 0) and "10" (size 1);
// AC "0" (end of block) and "10" (sixteen zeros then a 1, symbol 0xF1).
// Every block coded as "00" is flat mid-grey.
struct TinyJpeg {
    Bytes prefix;
    Bytes dqt = { 0x00 };
    int sofMarker = 0xC0;
    Bytes sof;
    Bytes dhtDc = { 0x00, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01 };
    Bytes dhtAc = { 0x10, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF1 };
    Bytes extra; // whole segments placed before the scan
    Bytes sos = { 1, 1, 0x00, 0, 63, 0 };
    Bytes data;
    bool eoi = true;

    explicit TinyJpeg(int blocks = 1)
    {
        dqt.resize(65, 1);
        int width = blocks * 8;
        sof = { 8, 0, 8, (uint8_t)(width >> 8), (uint8_t)width, 1, 1, 0x11, 0 };
        // "00" per block, padded with one-bits.
        for (int i = 0; i < blocks; i += 4)
            data.push_back(0x00);
        data.back() |= (uint8_t)(0xFF >> (2 * (blocks % 4 ? blocks % 4 : 4)));
    }

    Bytes Build() const
    {
        Bytes out = prefix;
        out.push_back(0xFF);
        out.push_back(0xD8);
        for (const Bytes& part : { Segment(0xDB, dqt), Segment(sofMarker, sof), Segment(0xC4, dhtDc), Segment(0xC4, dhtAc) })
            out.insert(out.end(), part.begin(), part.end());
        out.insert(out.end(), extra.begin(), extra.end());
        Bytes scan = Segment(0xDA, sos);
        out.insert(out.end(), scan.begin(), scan.end());
        out.insert(out.end(), data.begin(), data.end());
        if (eoi) {
            out.push_back(0xFF);
            out.push_back(0xD9);
        }
        return out;
    }
};

TEST(GmJpegDecoderTiny, ValidStreamIsFlatGrey)
{
    TinyJpeg tiny(3);
    OurDecode result = DecodeWithOurs(tiny.Build(), false);
    ASSERT_EQ(0, result.error);
    EXPECT_EQ(8, result.rows);
    EXPECT_EQ(1, result.lastRowResult);
    for (uint8_t sample : result.image.pixels)
        ASSERT_EQ(128, sample);
}

struct ErrorCase {
    const char* name;
    int32_t code;
    std::function<void(TinyJpeg&)> breakIt;
};

// Test names and failures show the case's name, not the bytes of the case.
void PrintTo(const ErrorCase& c, std::ostream* out)
{
    *out << c.name;
}

const ErrorCase kErrorCases[] = {
    { "DhtCountsAbove255", kJpegBadDhtCounts, [](TinyJpeg& t) { t.dhtAc = { 0x10, 0, 0, 0, 0, 0, 0, 0, 255, 1, 0, 0, 0, 0, 0, 0, 0 }; } },
    { "DhtCodesOverfillLength", kJpegBadDhtCounts, [](TinyJpeg& t) { t.dhtAc = { 0x10, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2 }; } },
    { "DhtClass2", kJpegBadDhtIndex, [](TinyJpeg& t) { t.dhtAc[0] = 0x20; } },
    { "DhtTable4", kJpegBadDhtIndex, [](TinyJpeg& t) { t.dhtAc[0] = 0x14; } },
    { "DhtValuesPastSegment", kJpegBadDhtMarker, [](TinyJpeg& t) { t.dhtAc[1] = 2; } },
    { "DhtShorterThanCounts", kJpegBadDhtMarker, [](TinyJpeg& t) { t.dhtAc.resize(10); } },
    { "DhtLengthBelow2", kJpegBadDhtMarker, [](TinyJpeg& t) { t.extra = { 0xFF, 0xC4, 0, 1 }; } },
    { "DqtLengthBelow2", kJpegBadDqtMarker, [](TinyJpeg& t) { t.extra = { 0xFF, 0xDB, 0, 0 }; } },
    { "DqtTable4", kJpegBadDqtTable, [](TinyJpeg& t) { t.dqt[0] = 0x04; } },
    { "DqtShorterThanTable", kJpegBadDqtLength, [](TinyJpeg& t) { t.dqt.resize(30); } },
    { "Dqt16BitShorterThanTable", kJpegBadDqtLength, [](TinyJpeg& t) { t.dqt[0] = 0x10; } },
    { "Precision12", kJpegBadPrecision, [](TinyJpeg& t) { t.sof[0] = 12; } },
    { "Height0", kJpegBadHeight, [](TinyJpeg& t) { t.sof[1] = 0; t.sof[2] = 0; } },
    { "Height8193", kJpegBadHeight, [](TinyJpeg& t) { t.sof[1] = 0x20; t.sof[2] = 0x01; } },
    { "Width10000", kJpegBadWidth, [](TinyJpeg& t) { t.sof[3] = 10000 >> 8; t.sof[4] = 10000 & 255; } },
    { "Width0", kJpegBadWidth, [](TinyJpeg& t) { t.sof[3] = 0; t.sof[4] = 0; } },
    { "FiveComponents", kJpegTooManyComponents, [](TinyJpeg& t) { t.sof[5] = 5; } },
    { "NoComponents", kJpegTooManyComponents, [](TinyJpeg& t) { t.sof.resize(6); t.sof[5] = 0; } },
    { "SofLengthMismatch", kJpegBadSofLength, [](TinyJpeg& t) { t.sof.push_back(0); } },
    { "CommentLengthBelow2", kJpegBadVariableMarker, [](TinyJpeg& t) { t.extra = { 0xFF, 0xFE, 0, 1 }; } },
    { "DriLength5", kJpegBadDriLength, [](TinyJpeg& t) { t.extra = Segment(0xDD, { 0, 1, 0 }); } },
    { "SosLengthMismatch", kJpegBadSosLength, [](TinyJpeg& t) { t.sos.push_back(0); } },
    { "SosNoComponents", kJpegBadSosLength, [](TinyJpeg& t) { t.sos = { 0, 0, 63, 0 }; } },
    { "SosUnknownComponent", kJpegBadSosComponentId, [](TinyJpeg& t) { t.sos[1] = 9; } },
    { "ArithmeticConditioning", kJpegNoArithmeticSupport, [](TinyJpeg& t) { t.extra = Segment(0xCC, { 0x00, 0x10 }); } },
    { "ArithmeticFrame", kJpegNoArithmeticSupport, [](TinyJpeg& t) { t.sofMarker = 0xC9; } },
    { "TemMarker", kJpegUnexpectedMarker, [](TinyJpeg& t) { t.extra = { 0xFF, 0x01 }; } },
    { "RestartMarkerOutsideScan", kJpegUnexpectedMarker, [](TinyJpeg& t) { t.extra = { 0xFF, 0xD0 }; } },
    { "SecondFrameInsteadOfScan", kJpegUnexpectedMarker, [](TinyJpeg& t) { t.extra = Segment(0xC0, t.sof); } },
    { "Junk600BeforeStart", kJpegNotJpeg, [](TinyJpeg& t) { t.prefix.assign(600, 0x42); } },
    { "LosslessFrame", kJpegUnsupportedMarker, [](TinyJpeg& t) { t.sofMarker = 0xC3; } },
    { "HierarchicalFrame", kJpegUnsupportedMarker, [](TinyJpeg& t) { t.sofMarker = 0xC5; } },
    { "UndefinedQuantTable", kJpegUndefinedQuantTable, [](TinyJpeg& t) { t.sof[8] = 2; } },
    { "QuantTableNumberOutOfRange", kJpegUndefinedQuantTable, [](TinyJpeg& t) { t.sof[8] = 200; } },
    { "UndefinedDcTable", kJpegUndefinedHuffTable, [](TinyJpeg& t) { t.sos[2] = 0x10; } },
    { "UndefinedAcTable", kJpegUndefinedHuffTable, [](TinyJpeg& t) { t.sos[2] = 0x05; } },
    { "TwoComponents", kJpegUnsupportedColorspace, [](TinyJpeg& t) { t.sof = { 8, 0, 8, 0, 8, 2, 1, 0x11, 0, 2, 0x11, 0 }; } },
    { "FourComponents", kJpegUnsupportedColorspace, [](TinyJpeg& t) { t.sof = { 8, 0, 8, 0, 8, 4, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0, 4, 0x11, 0 }; } },
    { "LumaSampling3x1", kJpegUnsupportedSampFactors, [](TinyJpeg& t) { t.sof = { 8, 0, 8, 0, 8, 3, 1, 0x31, 0, 2, 0x11, 0, 3, 0x11, 0 }; } },
    { "ChromaSampling2x1", kJpegUnsupportedSampFactors, [](TinyJpeg& t) { t.sof = { 8, 0, 8, 0, 8, 3, 1, 0x22, 0, 2, 0x21, 0, 3, 0x11, 0 }; } },
    // DC "0", then "10" four times: runs of 15 zeros and a 1 pass index 63.
    { "CoefficientIndexBeyond63", kJpegDecodeError, [](TinyJpeg& t) { t.data = { 0x5B, 0x6F }; } },
    { "RestartMarkerMissing", kJpegBadRestartMarker, [](TinyJpeg& t) { t = TinyJpeg(2); t.extra = Segment(0xDD, { 0, 1 }); } },
    { "RestartMarkerOutOfSequence", kJpegBadRestartMarker, [](TinyJpeg& t) {
          t = TinyJpeg(2);
          t.extra = Segment(0xDD, { 0, 1 });
          t.data = { 0x3F, 0xFF, 0xD1, 0x3F };
      } },
    // "11" is no DC code of the table.
    { "HuffmanCodeWithoutSymbol", kJpegBadData, [](TinyJpeg& t) { t.data = { 0xC0 }; } },
    { "StuffedFFIsNoCode", kJpegBadData, [](TinyJpeg& t) { t.data = { 0xFF, 0x00 }; } },
    { "ProgressiveDcScanWithAcTerms", kJpegBadSpectral, [](TinyJpeg& t) { t.sofMarker = 0xC2; t.sos[4] = 5; } },
    { "ProgressiveStartAboveEnd", kJpegBadSpectral, [](TinyJpeg& t) { t.sofMarker = 0xC2; t.sos[3] = 2; t.sos[4] = 1; } },
    { "ProgressiveEndAbove63", kJpegBadSpectral, [](TinyJpeg& t) { t.sofMarker = 0xC2; t.sos[3] = 1; t.sos[4] = 64; } },
    { "ProgressiveRefinementSkipsBits", kJpegBadSuccessive, [](TinyJpeg& t) { t.sofMarker = 0xC2; t.sos[4] = 0; t.sos[5] = 0x20; } },
    { "ProgressiveShiftTooLarge", kJpegBadSuccessive, [](TinyJpeg& t) { t.sofMarker = 0xC2; t.sos[4] = 0; t.sos[5] = 0x0E; } },
};

// A stream with no scan has no pixels: an error, not a grey picture, whether
// it ends in its EOI marker or is cut before the scan.
TEST(GmJpegDecoderNoScan, IsAnErrorWithItsCode)
{
    for (int sofMarker : { 0xC0, 0xC2 }) {
        TinyJpeg tiny;
        tiny.sofMarker = sofMarker;
        Bytes whole = tiny.Build();
        const size_t sos = std::search(whole.begin(), whole.end(), kSosMarker, kSosMarker + 2) - whole.begin();
        Bytes endsInEoi(whole.begin(), whole.begin() + sos);
        endsInEoi.push_back(0xFF);
        endsInEoi.push_back(0xD9);
        for (const Bytes& file : { Bytes(whole.begin(), whole.begin() + sos), endsInEoi }) {
            OurDecode result = DecodeWithOurs(file, false);
            EXPECT_EQ(0, result.constructError) << sofMarker;
            EXPECT_EQ(-1, result.beginResult) << sofMarker;
            EXPECT_EQ(kJpegUnexpectedMarker, result.error) << sofMarker;
        }
    }
}

class GmJpegDecoderError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(GmJpegDecoderError, GivesItsCode)
{
    TinyJpeg tiny;
    GetParam().breakIt(tiny);
    for (bool fast : { false, true }) {
        OurDecode result = DecodeWithOurs(tiny.Build(), fast);
        EXPECT_EQ(GetParam().code, result.error);
        if (result.beginResult == 0) {
            EXPECT_EQ(kJpegDecodeError, result.lastRowResult);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, GmJpegDecoderError, ::testing::ValuesIn(kErrorCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(GmJpegDecoderStartOfImage, FindsTheMarkerAfterUpTo511OtherBytes)
{
    struct {
        int junk;
        int32_t code;
    } cases[] = { { 0, 0 }, { 200, 0 }, { 511, 0 }, { 512, kJpegNotJpeg }, { 600, kJpegNotJpeg } };
    for (auto c : cases) {
        TinyJpeg tiny;
        tiny.prefix.assign(c.junk, 0x42);
        EXPECT_EQ(c.code, DecodeWithOurs(tiny.Build(), false).error) << c.junk;
    }
    // The byte after SOI must begin a marker.
    Bytes file = { 0xFF, 0xD8, 0x00, 0xFF, 0xD9 };
    EXPECT_EQ(kJpegNotJpeg, DecodeWithOurs(file, false).error);
    EXPECT_EQ(kJpegNotJpeg, DecodeWithOurs(Bytes(), false).error);
}

TEST(GmJpegDecoderErrorState, EveryCallFailsAfterAnError)
{
    TinyJpeg tiny;
    tiny.data = { 0xC0 }; // no such code: fails in the first row
    Bytes file = tiny.Build();
    CGeMemoryStream stream(file.data(), (uint32_t)file.size());
    CGmJpegDecoder decoder(&stream, false);
    const uint8_t* row = nullptr;
    uint32_t bytes = 0;
    EXPECT_EQ(-1, decoder.DecodeRow(&row, &bytes)); // not ready yet
    ASSERT_EQ(0, decoder.Begin());
    EXPECT_EQ(kJpegDecodeError, decoder.DecodeRow(&row, &bytes));
    EXPECT_EQ(kJpegBadData, decoder.GetErrorCode());
    EXPECT_EQ(-1, decoder.DecodeRow(&row, &bytes));
    EXPECT_EQ(-1, decoder.Begin());

    CGeMemoryStream badStream(file.data(), 1);
    CGmJpegDecoder failed(&badStream, false);
    EXPECT_EQ(kJpegNotJpeg, failed.GetErrorCode());
    EXPECT_EQ(-1, failed.Begin());
}

// A decoder over its own copy of a stream, begun.
struct BegunDecoder {
    Bytes file;
    CGeMemoryStream stream;
    CGmJpegDecoder decoder;
    const uint8_t* row = nullptr;
    uint32_t bytes = 0;

    explicit BegunDecoder(const Bytes& bytesIn)
        : file(bytesIn), stream(file.data(), (uint32_t)file.size()), decoder(&stream, true)
    {
        EXPECT_EQ(0, decoder.Begin());
    }
    int NextRow() { return decoder.DecodeRow(&row, &bytes); }
};

TEST(GmJpegDecoderRows, AllRowsThenOne)
{
    BegunDecoder open(TinyJpeg(2).Build());
    for (int y = 0; y < 8; y++) {
        ASSERT_EQ(0, open.NextRow());
        EXPECT_EQ(16u, open.bytes);
    }
    EXPECT_EQ(1, open.NextRow());
    EXPECT_EQ(1, open.NextRow());
}

// FreeAll takes the planes the rows live in: no row comes afterwards.
TEST(GmJpegDecoderRows, NothingAfterFreeAll)
{
    BegunDecoder open(TinyJpeg(2).Build());
    ASSERT_EQ(0, open.NextRow());
    open.decoder.FreeAll();
    EXPECT_EQ(-1, open.NextRow());
    EXPECT_EQ(-1, open.decoder.Begin());
}

// Streams that fail or misbehave below the decoder.
class ScriptedStream : public CGeInputStream {
public:
    ScriptedStream(const Bytes& bytes, int32_t result) : m_bytes(bytes), m_result(result) {}
    int32_t Read(void* destination, uint32_t count, bool* end) override
    {
        *end = false;
        if (m_result == -1)
            return -1;
        uint32_t n = count < m_bytes.size() ? count : (uint32_t)m_bytes.size();
        memcpy(destination, m_bytes.data(), n);
        return m_result; // may claim more than it delivered or was asked for
    }

private:
    Bytes m_bytes;
    int32_t m_result;
};

TEST(GmJpegDecoderStream, ReadErrorsAndBadCountsStopTheDecoder)
{
    Bytes file = TinyJpeg().Build();
    struct {
        int32_t result;
        int32_t code;
    } cases[] = {
        { -1, kJpegStreamReadError },
        { -5, kJpegStreamReadError },
        { kJpegInputBufferSize + 1, kJpegStreamReadError },
        { 0, kJpegNotJpeg }, // nothing and no end flag: taken as the end
    };
    for (auto c : cases) {
        ScriptedStream stream(file, c.result);
        CGmJpegDecoder decoder(&stream, false);
        EXPECT_EQ(c.code, decoder.GetErrorCode()) << c.result;
    }
}

// A stream cut short reads as EOI markers: the rows still come, from zero
// bits, and nothing is read past the input (ASan watches the copy).
TEST(GmJpegDecoderTruncation, HugeImageWithoutDataStillDeliversRows)
{
    TinyJpeg tiny;
    tiny.sof[1] = 8192 >> 8;
    tiny.sof[2] = 0;
    tiny.sof[3] = 8192 >> 8;
    tiny.sof[4] = 0;
    tiny.data.clear();
    tiny.eoi = false;
    BegunDecoder open(tiny.Build());
    for (int y = 0; y < 20; y++)
        ASSERT_EQ(0, open.NextRow());
    EXPECT_EQ(8192u, open.bytes);
    EXPECT_EQ(128, open.row[8191]);
    EXPECT_TRUE(open.decoder.IsTruncated());
}

// Only a stream that really ends early says so: a whole one reads up to its
// EOI marker and no further.
TEST(GmJpegDecoderTruncation, OnlyAStreamCutShortIsTruncated)
{
    for (bool progressive : { false, true }) {
        TinyJpeg tiny(3);
        if (progressive)
            tiny.sofMarker = 0xC2, tiny.sos = { 1, 1, 0x00, 0, 0, 0 };
        BegunDecoder whole(tiny.Build());
        while (whole.NextRow() == 0) {
        }
        EXPECT_FALSE(whole.decoder.IsTruncated()) << progressive;
        EXPECT_EQ(0, whole.decoder.GetErrorCode());
        tiny.eoi = false;
        BegunDecoder cut(tiny.Build());
        while (cut.NextRow() == 0) {
        }
        EXPECT_TRUE(cut.decoder.IsTruncated()) << progressive;
        EXPECT_EQ(0, cut.decoder.GetErrorCode());
    }
}

} // namespace
