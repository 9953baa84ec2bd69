// The Theora video decoder against clips written by libtheoraenc: seeking
// through the packet index, the conversion into the texture checked against
// libtheora's own decoder (th_decode_*, a separate library from the legacy
// interface the engine calls), alpha companions and damaged files.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"
#include "tests/Engine/Core/Gm/VideoFixtures.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace videofixture;
using imagefixture::FileOver;

namespace {

// Clips are written once per test program: encoding is the slow part.
const Clip& CachedClip(const std::string& name, const ClipSpec& spec)
{
    static std::map<std::string, Clip> clips;
    auto found = clips.find(name);
    if (found == clips.end())
        found = clips.emplace(name, MakeTheoraClip(spec)).first;
    return found->second;
}

const Clip& PlainClip()
{
    return CachedClip("plain", ClipSpec());
}

ClipSpec OffsetSpec()
{
    ClipSpec spec;
    spec.width = 100;
    spec.height = 60;
    spec.offsetX = 12;
    spec.offsetY = 4;
    spec.frames = 20;
    return spec;
}

const Clip& OffsetClip()
{
    return CachedClip("offset", OffsetSpec());
}

// The texture's image and the picture index it shows.
const CGmImage& ImageOf(const CGmVideoDecoder& decoder)
{
    return *decoder.GetTexture()->Image();
}

int ShownIndex(const CGmVideoDecoder& decoder)
{
    const CGmImage& image = ImageOf(decoder);
    return ReadPictureIndex(image.data, image.pitch, image.width, image.height);
}

std::vector<uint32_t> KeyFramesOf(const Clip& clip)
{
    std::vector<uint32_t> keys;
    for (uint32_t i = 0; i < clip.keyFrame.size(); ++i) {
        if (clip.keyFrame[i])
            keys.push_back(i);
    }
    return keys;
}

std::vector<uint32_t> KeyFramesOf(const CGmVideoDecoder& decoder)
{
    const CGeArray<uint32_t>& keys = decoder.GetKeyFrames();
    return std::vector<uint32_t>(keys.begin(), keys.end());
}

// Each frame of a clip as libtheora's own decoder gives it, with the picture
// rectangle that its th_info names.
void DecodeWithLibtheora(const Bytes& file, const std::function<void(const th_ycbcr_buffer&, const th_info&)>& frame)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, long(file.size()));
    memcpy(buffer, file.data(), file.size());
    ogg_sync_wrote(&sync, long(file.size()));
    th_info info;
    th_comment comment;
    th_info_init(&info);
    th_comment_init(&comment);
    th_setup_info* setup = nullptr;
    th_dec_ctx* decoder = nullptr;
    ogg_stream_state stream;
    bool haveStream = false;
    int headers = 0;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) > 0) {
        if (!haveStream) {
            if (!ogg_page_bos(&page))
                continue;
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            ogg_stream_pagein(&stream, &page);
            ogg_packet packet;
            if (ogg_stream_packetout(&stream, &packet) > 0 &&
                th_decode_headerin(&info, &comment, &setup, &packet) > 0) {
                haveStream = true;
                headers = 1;
            } else {
                ogg_stream_clear(&stream);
            }
            continue;
        }
        if (ogg_page_serialno(&page) != stream.serialno)
            continue;
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) > 0) {
            if (headers < 3) {
                ASSERT_GT(th_decode_headerin(&info, &comment, &setup, &packet), 0);
                if (++headers == 3)
                    decoder = th_decode_alloc(&info, setup);
                continue;
            }
            ASSERT_GE(th_decode_packetin(decoder, &packet, nullptr), 0);
            th_ycbcr_buffer planes;
            th_decode_ycbcr_out(decoder, planes);
            frame(planes, info);
        }
    }
    if (decoder)
        th_decode_free(decoder);
    th_setup_free(setup);
    if (haveStream)
        ogg_stream_clear(&stream);
    th_comment_clear(&comment);
    th_info_clear(&info);
    ogg_sync_clear(&sync);
}

class GmVideoDecoder : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (decoder)
            decoder->Release();
    }

    CGmVideoDecoder& Open(const Bytes& bytes, const std::string& name = "clip.ogv")
    {
        if (decoder)
            decoder->Release();
        decoder = new CGmVideoDecoder();
        decoder->Open(FileOver(dir / name, bytes));
        return *decoder;
    }

    CTestTempDir dir;
    CErrorBoxRecorder errorBoxes;
    CGmVideoDecoder* decoder = nullptr;
};

// ---------------------------------------------------------------------------
// Seeking.

TEST_F(GmVideoDecoder, OpensWithThePacketIndexAndTheStreamsValues)
{
    const Clip& clip = PlainClip();
    CGmVideoDecoder& video = Open(clip.bytes);
    ASSERT_TRUE(video.IsOpened());
    EXPECT_EQ(clip.shows.size(), video.GetFrameCount());
    EXPECT_EQ(KeyFramesOf(clip), KeyFramesOf(video));
    EXPECT_EQ((std::vector<uint32_t>{0, 8, 16, 24, 32}), KeyFramesOf(video));
    EXPECT_EQ(25u, video.GetFrameRateNumerator());
    EXPECT_EQ(1u, video.GetFrameRateDenominator());
    EXPECT_FLOAT_EQ(25.0f, video.GetFrameRate());
    EXPECT_EQ(-1, video.GetDecodedFrame());
    EXPECT_EQ(-1, video.GetShownFrame());
    EXPECT_EQ(64u, ImageOf(video).width);
    EXPECT_EQ(48u, ImageOf(video).height);
    EXPECT_EQ(uint32_t(GM_FMT_X8R8G8B8), ImageOf(video).format);
    EXPECT_FALSE(video.HasAlpha());
    EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
}

TEST_F(GmVideoDecoder, NextFrameDecodesFromTheNearestKeyFrameOrTheCurrentFrame)
{
    const Clip& clip = PlainClip();
    CGmVideoDecoder& video = Open(clip.bytes);
    ASSERT_EQ(40u, video.GetFrameCount());
    struct Step {
        const char* what;
        int32_t asked;
        int32_t frame;    // the frame decoded afterwards
        uint32_t packets; // packets handed to libtheora for it
    };
    const Step steps[] = {
        {"first frame", 0, 0, 1},
        {"the same frame decodes nothing", 0, 0, 0},
        {"forward inside a run", 5, 5, 5},
        {"forward across a key frame restarts there", 11, 11, 4},
        {"forward to the next frame", 12, 12, 1},
        {"backwards restarts at the key frame before", 3, 3, 4},
        {"backwards onto a key frame", 16, 16, 1},
        {"past the end gives the last frame", 100, 39, 8},
        {"the last frame again", 39, 39, 0},
        {"negative gives frame 0", -5, 0, 1},
        {"forward up to a key frame's predecessor", 7, 7, 7},
        {"then the key frame itself", 8, 8, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const uint32_t before = video.GetPacketsDecoded();
        video.NextFrame(step.asked);
        EXPECT_EQ(step.frame, video.GetDecodedFrame());
        EXPECT_EQ(step.packets, video.GetPacketsDecoded() - before);
        video.CopyFrameToTexture();
        EXPECT_EQ(step.frame, video.GetShownFrame());
        EXPECT_EQ(int(clip.shows[step.frame]), ShownIndex(video));
    }
    EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
}

TEST_F(GmVideoDecoder, EveryFrameReadsBackInOrderAndInReverse)
{
    const Clip& clip = PlainClip();
    CGmVideoDecoder& video = Open(clip.bytes);
    for (int32_t frame = 0; frame < 40; ++frame) {
        video.NextFrame(frame);
        video.CopyFrameToTexture();
        EXPECT_EQ(frame, ShownIndex(video)) << "frame " << frame;
    }
    EXPECT_EQ(40u, video.GetPacketsDecoded());
    for (int32_t frame = 39; frame >= 0; --frame) {
        video.NextFrame(frame);
        video.CopyFrameToTexture();
        EXPECT_EQ(frame, ShownIndex(video)) << "frame " << frame;
    }
}

// ---------------------------------------------------------------------------
// The texture.

TEST_F(GmVideoDecoder, CopyFrameToTextureConvertsOnlyAFrameNotYetShown)
{
    CGmVideoDecoder& video = Open(PlainClip().bytes);
    video.CopyFrameToTexture(); // nothing decoded yet
    EXPECT_EQ(-1, video.GetShownFrame());
    video.NextFrame(9);
    video.CopyFrameToTexture();
    ASSERT_EQ(9, ShownIndex(video));

    // Scribbled over: neither a second copy nor the same frame again converts.
    CGmImage& image = *video.GetTexture()->m_image;
    memset(image.data, 0, image.RawBytes());
    video.GetTexture()->m_needsUpload = 0;
    video.CopyFrameToTexture();
    video.NextFrame(9);
    video.CopyFrameToTexture();
    EXPECT_EQ(0, *std::max_element(image.data, image.data + image.RawBytes()));
    EXPECT_EQ(0, video.GetTexture()->m_needsUpload);

    video.NextFrame(10);
    video.CopyFrameToTexture();
    EXPECT_EQ(10, ShownIndex(video));
    EXPECT_EQ(1, video.GetTexture()->m_needsUpload);
}

TEST_F(GmVideoDecoder, PixelsAreLibtheorasPictureFromItsOffsetInTheCodedFrame)
{
    for (const Clip* clip : {&PlainClip(), &OffsetClip()}) {
        CGmVideoDecoder& video = Open(clip->bytes);
        ASSERT_TRUE(video.IsOpened());
        uint32_t frame = 0;
        DecodeWithLibtheora(clip->bytes, [&](const th_ycbcr_buffer& planes, const th_info& info) {
            SCOPED_TRACE(testing::Message() << info.pic_width << " x " << info.pic_height << ", frame " << frame);
            const CGmImage& image = ImageOf(video);
            ASSERT_EQ(info.pic_width, image.width);
            ASSERT_EQ(info.pic_height, image.height);
            std::vector<uint8_t> expected(image.RawBytes());
            const uint8_t* y = planes[0].data + ptrdiff_t(info.pic_y) * planes[0].stride + info.pic_x;
            const ptrdiff_t chroma = ptrdiff_t(info.pic_y / 2) * planes[1].stride + info.pic_x / 2;
            g_pGeSimd->ConvertYUVToRGB(y, planes[0].stride, planes[1].data + chroma, planes[2].data + chroma,
                                       planes[1].stride, expected.data(), int32_t(image.pitch),
                                       int32_t(image.width), int32_t(image.height), 0);
            video.NextFrame(int32_t(frame));
            video.CopyFrameToTexture();
            EXPECT_EQ(0, memcmp(expected.data(), image.data, expected.size()));
            EXPECT_EQ(int(clip->shows[frame]), ShownIndex(video));
            ++frame;
        });
        EXPECT_EQ(clip->shows.size(), frame);
    }
}

// ---------------------------------------------------------------------------
// Other streams, repeated frames, frame rates.

TEST_F(GmVideoDecoder, PagesOfAnotherStreamAreSkipped)
{
    ClipSpec spec;
    spec.frames = 24;
    spec.otherStream = true;
    const Clip& clip = CachedClip("other", spec);
    CGmVideoDecoder& video = Open(clip.bytes);
    ASSERT_TRUE(video.IsOpened());
    EXPECT_EQ(24u, video.GetFrameCount());
    EXPECT_EQ(KeyFramesOf(clip), KeyFramesOf(video));
    for (int32_t frame : {23, 2, 17}) {
        video.NextFrame(frame);
        video.CopyFrameToTexture();
        EXPECT_EQ(frame, ShownIndex(video));
    }
    EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
}

// A repeated frame is a packet without bytes: no key frame, whatever follows
// it in the packet block, and seeking to it shows the picture it repeats.
TEST_F(GmVideoDecoder, AZeroLengthPacketRepeatsAFrameAndIsNoKeyFrame)
{
    ClipSpec spec;
    spec.frames = 20;
    spec.repeatAfter = {6, 14};
    const Clip& clip = CachedClip("repeats", spec);
    CGmVideoDecoder& video = Open(clip.bytes);
    ASSERT_EQ(22u, video.GetFrameCount());
    std::vector<uint32_t> empty;
    for (uint32_t i = 0; i < clip.packetBytes.size(); ++i) {
        if (clip.packetBytes[i] == 0)
            empty.push_back(i);
    }
    ASSERT_EQ(2u, empty.size());
    const std::vector<uint32_t> keys = KeyFramesOf(video);
    EXPECT_EQ(KeyFramesOf(clip), keys);
    for (uint32_t repeated : empty) {
        EXPECT_EQ(keys.end(), std::find(keys.begin(), keys.end(), repeated));
        video.NextFrame(21);
        video.NextFrame(int32_t(repeated));
        video.CopyFrameToTexture();
        EXPECT_EQ(int(clip.shows[repeated]), ShownIndex(video));
        EXPECT_EQ(int(clip.shows[repeated - 1]), ShownIndex(video));
    }
    EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
}

TEST_F(GmVideoDecoder, FrameRateIsTheRatioOfUnsignedNumbers)
{
    struct Case {
        uint32_t numerator, denominator;
        float rate;
    };
    const Case cases[] = {
        {30000, 1001, 29.97003f},
        {0xF0000000u, 0x80000000u, 1.875f}, // negative as signed numbers
    };
    for (const Case& c : cases) {
        ClipSpec spec;
        spec.frames = 2;
        spec.fpsNumerator = c.numerator;
        spec.fpsDenominator = c.denominator;
        const Clip clip = MakeTheoraClip(spec);
        CGmVideoDecoder& video = Open(clip.bytes);
        ASSERT_TRUE(video.IsOpened());
        EXPECT_EQ(c.numerator, video.GetFrameRateNumerator());
        EXPECT_EQ(c.denominator, video.GetFrameRateDenominator());
        EXPECT_FLOAT_EQ(c.rate, video.GetFrameRate());
    }
    CGmVideoDecoder closed;
    EXPECT_EQ(0.0f, closed.GetFrameRate());
}

// ---------------------------------------------------------------------------
// Alpha companions.

// An alpha plane per companion record: a gradient that differs per record.
Bytes AlphaPlane(uint32_t record, uint32_t pixels)
{
    Bytes plane(pixels);
    for (uint32_t i = 0; i < pixels; ++i)
        plane[i] = uint8_t(record * 50 + (i / 64) * 7);
    return plane;
}

TEST_F(GmVideoDecoder, CompanionRecordsLandInTheAlphaBytesAndTheLastRepeats)
{
    const Clip& clip = PlainClip();
    const uint32_t pixels = 64 * 48;
    for (uint8_t kind : {uint8_t(GEAV_KIND_PLAIN), uint8_t(GEAV_KIND_RLE)}) {
        SCOPED_TRACE(testing::Message() << "kind " << int(kind));
        std::vector<Bytes> planes;
        for (uint32_t record = 0; record < 3; ++record)
            planes.push_back(AlphaPlane(record, pixels));
        const Bytes geav = MakeGeav(kind, planes);
        dir.Write("alpha/clip.geav", std::string(geav.begin(), geav.end()));
        CGmVideoDecoder& video = Open(clip.bytes, "alpha/clip.ogv");
        ASSERT_TRUE(video.HasAlpha());
        EXPECT_EQ(uint32_t(GM_FMT_A8R8G8B8), ImageOf(video).format);
        for (uint32_t frame : {0u, 2u, 1u, 3u, 30u}) {
            video.NextFrame(int32_t(frame));
            video.CopyFrameToTexture();
            const Bytes& expected = planes[std::min(frame, 2u)];
            const CGmImage& image = ImageOf(video);
            uint32_t wrong = 0;
            for (uint32_t i = 0; i < pixels; ++i)
                wrong += image.data[4 * i + 3] != expected[i];
            EXPECT_EQ(0u, wrong) << "frame " << frame;
            EXPECT_EQ(int(frame), ShownIndex(video));
        }
    }
}

TEST_F(GmVideoDecoder, ADamagedCompanionIsIgnoredWithALogLine)
{
    const Clip& clip = PlainClip();
    const uint32_t pixels = 64 * 48;
    const std::vector<Bytes> one = {AlphaPlane(0, pixels)};
    const auto withWord = [](Bytes file, size_t at, uint32_t value) {
        memcpy(&file[at], &value, 4);
        return file;
    };
    const Bytes good = MakeGeav(GEAV_KIND_PLAIN, one);
    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"a wrong signature", MakeGeav(GEAV_KIND_PLAIN, one, "GEAW")},
        {"shorter than its header", Bytes(good.begin(), good.begin() + 12)},
        {"no frames", withWord(good, 8, 0)},
        {"an unknown kind", [&] { Bytes f = good; f[12] = 3; return f; }()},
        {"an offset table beyond the file", withWord(good, 8, 0x40000000)},
        {"a record beyond the file", withWord(good, 16, uint32_t(good.size()) - 8)},
        {"a plane beyond the file", withWord(good, 20, pixels + 64)},
        {"a plane larger than the picture", MakeGeav(GEAV_KIND_PLAIN, {AlphaPlane(0, pixels + 1)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("damaged/clip.geav", std::string(c.file.begin(), c.file.end()));
        GeLogClearLast();
        CGmVideoDecoder& video = Open(clip.bytes, "damaged/clip.ogv");
        ASSERT_TRUE(video.IsOpened());
        EXPECT_FALSE(video.HasAlpha());
        EXPECT_EQ(uint32_t(GM_FMT_X8R8G8B8), ImageOf(video).format);
        EXPECT_NE(nullptr, strstr(GeLogLastMessage().c_str(), "no alpha")) << GeLogLastMessage().c_str();
        video.NextFrame(5);
        video.CopyFrameToTexture();
        EXPECT_EQ(5, ShownIndex(video));
    }
    // The good file is taken, so the cases above differ from it in their damage only.
    dir.Write("damaged/clip.geav", std::string(good.begin(), good.end()));
    EXPECT_TRUE(Open(clip.bytes, "damaged/clip.ogv").HasAlpha());
}

// ---------------------------------------------------------------------------
// Damaged videos.

TEST_F(GmVideoDecoder, HeaderErrorsRaiseTheirMessageAndLeaveTheDecoderClosed)
{
    const Clip& clip = PlainClip();
    ClipSpec spec;
    spec.frames = 10;
    spec.damagedHeader = true;
    const Clip badHeader = MakeTheoraClip(spec);
    spec.damagedHeader = false;
    spec.droppedPage = 1; // the page of the comment and setup headers
    const Clip gap = MakeTheoraClip(spec);
    // The first page: the identification header alone.
    const size_t firstPage = 27 + clip.bytes[26] + clip.bytes[27];
    struct Case {
        const char* what;
        Bytes file;
        const char* message;
    };
    const Case cases[] = {
        {"no page at all", Bytes(9000, 'x'), "CGmVideoDecoder::SetFile: eof searched, terminate..."},
        {"the headers cut off", Bytes(clip.bytes.begin(), clip.bytes.begin() + firstPage),
         "CGmVideoDecoder::SetFile: eof searched. terminate..."},
        {"another stream only", [] { ClipSpec s; s.frames = 0; s.otherStream = true; s.droppedPage = 0;
                                     return MakeTheoraClip(s).bytes; }(),
         "CGmVideoDecoder::SetFile: eof searched. terminate..."},
        {"a damaged setup header", badHeader.bytes,
         "CGmVideoDecoder::SetFile: error during theora_decode_header (corrupt stream)"},
        {"a page missing among the headers", gap.bytes, "CGmVideoDecoder::SetFile: error during ogg_stream_packetout"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CErrorBoxRecorder::Messages().clear();
        CGmVideoDecoder& video = Open(c.file);
        EXPECT_EQ(std::vector<std::string>{c.message}, CErrorBoxRecorder::Messages());
        EXPECT_FALSE(video.IsOpened());
        EXPECT_EQ(0u, video.GetFrameCount());
        video.NextFrame(3);
        video.CopyFrameToTexture();
        EXPECT_EQ(0u, video.GetPacketsDecoded());
        EXPECT_EQ(-1, video.GetShownFrame());
        EXPECT_EQ(1u, ImageOf(video).width);
    }
}

TEST_F(GmVideoDecoder, ADamagedPacketRaisesItsMessageAndDecodingGoesOn)
{
    ClipSpec spec;
    spec.frames = 12;
    spec.damagedPacket = 3;
    const Clip clip = MakeTheoraClip(spec);
    CGmVideoDecoder& video = Open(clip.bytes);
    ASSERT_TRUE(video.IsOpened());
    EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
    video.NextFrame(2);
    video.CopyFrameToTexture();
    EXPECT_EQ(2, ShownIndex(video));
    video.NextFrame(5);
    video.CopyFrameToTexture();
    EXPECT_EQ(std::vector<std::string>{"CGmVideoDecoder::LoadPacketInTheora: error during theora_decode_packetin..."},
              CErrorBoxRecorder::Messages());
    EXPECT_EQ(5, video.GetShownFrame());
    // The next key frame shows its picture as if nothing happened.
    video.NextFrame(8);
    video.CopyFrameToTexture();
    EXPECT_EQ(8, ShownIndex(video));
}

// libtheora's picture is undefined before a frame has decoded: a damaged
// first key frame leaves the texture as it was, until a good one comes.
TEST_F(GmVideoDecoder, NoPictureIsShownBeforeAFrameHasDecoded)
{
    ClipSpec spec;
    spec.frames = 12;
    spec.damagedPacket = 0;
    CGmVideoDecoder& video = Open(MakeTheoraClip(spec).bytes);
    ASSERT_TRUE(video.IsOpened());
    video.NextFrame(0);
    video.CopyFrameToTexture();
    EXPECT_EQ(std::vector<std::string>{"CGmVideoDecoder::LoadPacketInTheora: error during theora_decode_packetin..."},
              CErrorBoxRecorder::Messages());
    EXPECT_EQ(0, video.GetDecodedFrame());
    EXPECT_EQ(-1, video.GetShownFrame());
    const CGmImage& image = ImageOf(video);
    EXPECT_EQ(0, *std::max_element(image.data, image.data + image.RawBytes()));
    video.NextFrame(8);
    video.CopyFrameToTexture();
    EXPECT_EQ(8, ShownIndex(video));
}

TEST_F(GmVideoDecoder, EmptyFilesAndVideosWithoutFramesDoNothing)
{
    CGmVideoDecoder& empty = Open(Bytes());
    EXPECT_FALSE(empty.IsOpened());
    empty.NextFrame(0);
    empty.CopyFrameToTexture();
    EXPECT_EQ(0u, empty.GetPacketsDecoded());

    ClipSpec spec;
    spec.frames = 0;
    CGmVideoDecoder& noFrames = Open(MakeTheoraClip(spec).bytes);
    EXPECT_TRUE(noFrames.IsOpened());
    EXPECT_EQ(0u, noFrames.GetFrameCount());
    noFrames.NextFrame(0);
    noFrames.NextFrame(-1);
    noFrames.CopyFrameToTexture();
    EXPECT_EQ(0u, noFrames.GetPacketsDecoded());
    EXPECT_EQ(-1, noFrames.GetShownFrame());
    EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
}

TEST_F(GmVideoDecoder, ASecondOpenReplacesTheVideo)
{
    CGmVideoDecoder& video = Open(PlainClip().bytes);
    video.NextFrame(30);
    video.CopyFrameToTexture();
    ASSERT_TRUE(video.Open(FileOver(dir / "second.ogv", OffsetClip().bytes)));
    EXPECT_EQ(20u, video.GetFrameCount());
    EXPECT_EQ(-1, video.GetShownFrame());
    EXPECT_EQ(100u, ImageOf(video).width);
    video.NextFrame(30);
    video.CopyFrameToTexture();
    EXPECT_EQ(19, ShownIndex(video));
}

// ---------------------------------------------------------------------------
// On the device.

class GmVideoDecoderOnDevice : public TextureTest {};

TEST_F(GmVideoDecoderOnDevice, AFrameDrawnAsATexturedQuadReadsBack)
{
    CTestTempDir dir;
    CGmVideoDecoder* video = new CGmVideoDecoder();
    ASSERT_TRUE(video->Open(FileOver(dir / "clip.ogv", PlainClip().bytes)));
    for (int32_t frame : {13, 6}) {
        video->NextFrame(frame);
        video->CopyFrameToTexture();
        const std::vector<uint32_t> drawn = Draw(video->GetTexture(), 64, 48);
        EXPECT_EQ(frame, ReadPictureIndex(reinterpret_cast<const uint8_t*>(drawn.data()), 64 * 4, 64, 48));
        // Without a companion the picture is opaque.
        EXPECT_EQ(0xFFu, drawn[64 * 10 + 10] >> 24);
    }
    video->Release();
}

} // namespace
