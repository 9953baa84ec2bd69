#include "Engine/Core/Gm/GmVideoDecoder.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageBytes.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <ogg/ogg.h>
#include <theora/theora.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// The largest coded frame side the decoder takes: the image code refuses
// larger images, and libtheora would allocate its frame buffers first.
constexpr uint32_t kMaxFrameSide = 8192;

// Flags of a packet's first byte: set for a header packet; in a data packet,
// set for an inter frame.
constexpr uint8_t kHeaderPacketBit = 0x80;
constexpr uint8_t kInterFrameBit = 0x40;

bool IsKeyFramePacket(const uint8_t* data, uint32_t bytes)
{
    // A packet without bytes repeats the previous frame: it is no key frame.
    return bytes > 0 && (data[0] & (kHeaderPacketBit | kInterFrameBit)) == 0;
}

} // namespace

// The libogg and libtheora states, kept out of the header so that the users
// of the decoder never see those libraries. Each flag says which state is
// initialised and must be cleared.
struct CGmVideoDecoder::TheoraStreams {
    ogg_sync_state sync;
    ogg_stream_state stream;
    theora_info info;
    theora_comment comment;
    theora_state state;
    yuv_buffer picture;
    bool syncReady = false;
    bool streamReady = false;
    bool infoReady = false;
    bool decoderReady = false;
    bool pictureDecoded = false; // a frame has decoded since theora_decode_init

    TheoraStreams()
    {
        memset(&sync, 0, sizeof sync);
        memset(&stream, 0, sizeof stream);
        memset(&info, 0, sizeof info);
        memset(&comment, 0, sizeof comment);
        memset(&state, 0, sizeof state);
        memset(&picture, 0, sizeof picture);
    }
};

CGmVideoDecoder::CGmVideoDecoder()
{
    subTypeId = GE_RES_VIDEO;
    m_texture = new CGmTexture();
    m_streams = new TheoraStreams();
}

CGmVideoDecoder::~CGmVideoDecoder()
{
    Close();
    delete m_streams;
    free(m_companion);
    if (m_texture)
        m_texture->Release();
}

// ---------------------------------------------------------------------------
// Opening.

bool CGmVideoDecoder::Open(const CGeFileData& file)
{
    if (!file.data || file.size == 0)
        return false;
    Close();
    free(m_companion);
    m_companion = nullptr;
    m_companionSize = 0;

    // The file is read during this call only; even when the error box throws.
    struct FileScope {
        CGmVideoDecoder& decoder;
        ~FileScope()
        {
            decoder.m_fileBytes = nullptr;
            decoder.m_fileSize = 0;
        }
    } scope{*this};
    m_fileBytes = file.data;
    m_fileSize = file.size;

    if (!SetFile())
        return false;
    const theora_info& info = m_streams->info;
    m_pictureWidth = info.frame_width;
    m_pictureHeight = info.frame_height;
    m_pictureX = info.offset_x;
    m_pictureY = info.offset_y;
    m_fpsNumerator = info.fps_numerator;
    m_fpsDenominator = info.fps_denominator;

    LoadCompanion(file.path);
    m_texture->Create(m_pictureWidth, m_pictureHeight, m_companion ? GM_FMT_A8R8G8B8 : GM_FMT_X8R8G8B8, false);
    if (!BuildPacketIndex()) {
        Close();
        return false;
    }
    return true;
}

bool CGmVideoDecoder::FeedSync()
{
    if (m_readPosition >= m_fileSize) {
        m_endOfData = true;
        return false;
    }
    const uint32_t bytes = std::min(kFeedBytes, m_fileSize - m_readPosition);
    char* buffer = ogg_sync_buffer(&m_streams->sync, static_cast<long>(bytes));
    if (!buffer)
        return false;
    memcpy(buffer, m_fileBytes + m_readPosition, bytes);
    ogg_sync_wrote(&m_streams->sync, static_cast<long>(bytes));
    m_readPosition += bytes;
    return true;
}

namespace {

// Releases the states first, so that an error box that throws leaves the
// decoder closed, then raises the error.
bool RaiseSetFileError(const char* message)
{
    GE_ERROR_REPORT("%s", message);
    return false;
}

} // namespace

bool CGmVideoDecoder::SetFile()
{
    // libtheora takes the headers once per state: a rewind starts afresh.
    ReleaseStates();
    TheoraStreams& s = *m_streams;
    m_readPosition = 0;
    m_endOfData = false;
    m_opened = false;
    ogg_sync_init(&s.sync);
    s.syncReady = true;
    theora_info_init(&s.info);
    theora_comment_init(&s.comment);
    s.infoReady = true;

    const auto fail = [this](const char* message) {
        ReleaseStates();
        return RaiseSetFileError(message);
    };

    // Every logical stream begins with a page of its own, and those pages
    // come first: the first stream whose first packet is a Theora header is
    // the video, the others are left alone. The first other page ends the
    // search and is kept for the header packets.
    int headers = 0;
    bool sawPage = false;
    bool pendingPage = false;
    ogg_page page;
    while (true) {
        const int got = ogg_sync_pageout(&s.sync, &page);
        if (got < 0)
            continue; // bytes skipped up to the next page
        if (got == 0) {
            if (FeedSync())
                continue;
            if (!sawPage)
                return fail("CGmVideoDecoder::SetFile: eof searched, terminate...");
            break;
        }
        sawPage = true;
        if (!ogg_page_bos(&page)) {
            pendingPage = true;
            break;
        }
        ogg_stream_state candidate;
        if (ogg_stream_init(&candidate, ogg_page_serialno(&page)) != 0)
            return fail("CGmVideoDecoder::SetFile: error during ogg_stream_pagein");
        if (ogg_stream_pagein(&candidate, &page) < 0) {
            ogg_stream_clear(&candidate);
            return fail("CGmVideoDecoder::SetFile: error during ogg_stream_pagein");
        }
        ogg_packet packet;
        const int out = ogg_stream_packetout(&candidate, &packet);
        if (out < 0) {
            ogg_stream_clear(&candidate);
            return fail("CGmVideoDecoder::SetFile: error during ogg_stream_packetout");
        }
        if (headers == 0 && out > 0 && theora_decode_header(&s.info, &s.comment, &packet) >= 0) {
            s.stream = candidate;
            s.streamReady = true;
            headers = 1;
        } else {
            ogg_stream_clear(&candidate);
        }
    }

    // The two other headers; pages of the other streams are skipped.
    while (headers < 3) {
        ogg_packet packet;
        const int out = s.streamReady ? ogg_stream_packetout(&s.stream, &packet) : 0;
        if (out < 0)
            return fail("CGmVideoDecoder::SetFile: error during ogg_stream_packetout");
        if (out > 0) {
            if (theora_decode_header(&s.info, &s.comment, &packet) < 0)
                return fail("CGmVideoDecoder::SetFile: error during theora_decode_header (corrupt stream)");
            ++headers;
            continue;
        }
        if (!pendingPage) {
            const int got = ogg_sync_pageout(&s.sync, &page);
            if (got == 0 && !FeedSync())
                return fail("CGmVideoDecoder::SetFile: eof searched. terminate...");
            if (got <= 0)
                continue;
        }
        pendingPage = false;
        if (s.streamReady && ogg_page_serialno(&page) == s.stream.serialno && ogg_stream_pagein(&s.stream, &page) < 0)
            return fail("CGmVideoDecoder::SetFile: error during ogg_stream_pagein");
    }

    // A frame no image can hold is refused before libtheora allocates it.
    const uint32_t codedWidth = s.info.width, codedHeight = s.info.height;
    if (codedWidth > kMaxFrameSide || codedHeight > kMaxFrameSide || s.info.frame_width == 0 ||
        s.info.frame_height == 0) {
        ReleaseStates();
        GeLog(1, "CGmVideoDecoder::SetFile: frames of %u x %u are not played\n", codedWidth, codedHeight);
        return false;
    }
    if (theora_decode_init(&s.state, &s.info) != 0)
        return fail("CGmVideoDecoder::SetFile: error during theora_decode_header (corrupt stream)");
    s.decoderReady = true;
    m_opened = true;
    return true;
}

bool CGmVideoDecoder::ReadDataPacket(uint32_t& bytes, const uint8_t*& data, int64_t& granulePos, int64_t& packetNo)
{
    TheoraStreams& s = *m_streams;
    while (true) {
        ogg_packet packet;
        const int out = ogg_stream_packetout(&s.stream, &packet);
        if (out > 0) {
            bytes = static_cast<uint32_t>(packet.bytes);
            data = packet.packet;
            granulePos = packet.granulepos;
            packetNo = packet.packetno;
            return true;
        }
        if (out < 0)
            continue; // a gap: the packets of the lost pages are gone
        ogg_page page;
        const int got = ogg_sync_pageout(&s.sync, &page);
        if (got > 0) {
            // A page that does not fit the stream is skipped like a foreign one.
            if (ogg_page_serialno(&page) == s.stream.serialno)
                ogg_stream_pagein(&s.stream, &page);
            continue;
        }
        if (got == 0 && !FeedSync())
            return false;
    }
}

bool CGmVideoDecoder::BuildPacketIndex()
{
    // One pass adds up the packet bytes; the second, from a rewound file,
    // copies them into one block.
    uint64_t total = 0;
    uint32_t bytes = 0;
    const uint8_t* data = nullptr;
    int64_t granulePos = 0, packetNo = 0;
    while (ReadDataPacket(bytes, data, granulePos, packetNo))
        total += bytes;
    m_packetBlock = static_cast<uint8_t*>(malloc(static_cast<size_t>(std::max<uint64_t>(total, 1))));
    if (!m_packetBlock) {
        GeLog(1, "CGmVideoDecoder: no memory for %llu bytes of packets\n", static_cast<unsigned long long>(total));
        return false;
    }
    if (!SetFile())
        return false;

    uint64_t offset = 0;
    while (ReadDataPacket(bytes, data, granulePos, packetNo) && offset + bytes <= total) {
        const uint32_t index = m_packets.Count();
        memcpy(m_packetBlock + offset, data, bytes);
        m_packets.Add(Packet{static_cast<uint32_t>(offset), bytes, granulePos, packetNo});
        if (IsKeyFramePacket(data, bytes))
            m_keyFrames.Add(index);
        offset += bytes;
    }
    m_decodedFrame = -1;
    m_shownFrame = -1;
    m_havePicture = false;
    m_packetsDecoded = 0;
    return true;
}

// ---------------------------------------------------------------------------
// The alpha companion.

void CGmVideoDecoder::LoadCompanion(const CGeString& videoPath)
{
    CGeString path;
    const CGeString directory = GetPathDirectory(videoPath);
    // A bare file name has the directory "."; its companion is a bare name too.
    if (!(directory == ".") || CGeString::FindLastOf(videoPath, "/\\") >= 0) {
        path = directory;
        path.Append("/");
    }
    path.Append(GetPathBaseName(videoPath).c_str());
    path.Append(".geav");
    CGeFileData file = LoadFileData(path.c_str(), false);
    if (!file.data)
        return;

    // Every offset and record is checked once here; CopyFrameToTexture then
    // reads the records without further tests.
    const char* problem = nullptr;
    const uint64_t size = file.size;
    const uint32_t frames = size >= kGeavHeaderBytes ? ReadLe32(file.data + 8) : 0;
    const uint8_t kind = size >= kGeavHeaderBytes ? file.data[12] : 0;
    const uint64_t pictureBytes = uint64_t(m_pictureWidth) * m_pictureHeight;
    if (size < kGeavHeaderBytes || memcmp(file.data, "GEAV", 4) != 0)
        problem = "no GEAV signature";
    else if (frames == 0)
        problem = "no frames";
    else if (kind != GEAV_KIND_PLAIN && kind != GEAV_KIND_RLE)
        problem = "an unknown kind";
    else if (kGeavHeaderBytes + uint64_t(frames) * 4 > size)
        problem = "a table beyond the file";
    for (uint32_t i = 0; !problem && i < frames; ++i) {
        const uint64_t at = ReadLe32(file.data + kGeavHeaderBytes + 4 * i);
        if (at + kGepPlaneHeaderBytes > size)
            problem = "a record beyond the file";
        else if (at + kGepPlaneHeaderBytes + ReadLe32(file.data + at) > size)
            problem = "a plane beyond the file";
        else if (kind == GEAV_KIND_PLAIN && ReadLe32(file.data + at) > pictureBytes)
            problem = "a plane larger than the picture";
    }
    if (problem) {
        GeLog(1, "CGmVideoDecoder: %s has %s; the video has no alpha\n", path.c_str(), problem);
        FreeFileData(file);
        return;
    }
    m_companion = file.data;
    m_companionSize = file.size;
    m_companionFrames = frames;
    m_companionKind = kind;
    file.data = nullptr;
    FreeFileData(file);
}

const uint8_t* CGmVideoDecoder::CompanionRecord(uint32_t frame, uint32_t& recordBytes) const
{
    const uint32_t at = ReadLe32(m_companion + kGeavHeaderBytes + 4 * std::min(frame, m_companionFrames - 1));
    recordBytes = m_companionSize - at;
    return m_companion + at;
}

// ---------------------------------------------------------------------------
// Frames.

void CGmVideoDecoder::LoadPacketInTheora(uint32_t index)
{
    const Packet& record = m_packets[index];
    ogg_packet packet;
    memset(&packet, 0, sizeof packet);
    packet.packet = m_packetBlock + record.offset;
    packet.bytes = record.bytes;
    packet.granulepos = record.granulePos;
    packet.packetno = record.packetNo;
    ++m_packetsDecoded;
    const int result = theora_decode_packetin(&m_streams->state, &packet);
    // libtheora's picture is undefined until a frame with bytes has decoded.
    if (result == 0 && record.bytes > 0)
        m_streams->pictureDecoded = true;
    if (result == OC_BADPACKET)
        GE_ERROR_REPORT("%s", "CGmVideoDecoder::LoadPacketInTheora: error during theora_decode_packetin...");
}

void CGmVideoDecoder::NextFrame(int32_t n)
{
    if (!m_opened || m_packets.IsEmpty())
        return;
    const int32_t last = static_cast<int32_t>(m_packets.Count() - 1);
    n = std::clamp(n, 0, last);
    if (n == m_decodedFrame)
        return;

    // The greatest key frame not above n, 0 when there is none.
    const uint32_t* keys = m_keyFrames.begin();
    const uint32_t* after = std::upper_bound(keys, keys + m_keyFrames.Count(), static_cast<uint32_t>(n));
    const int32_t key = after == keys ? 0 : static_cast<int32_t>(after[-1]);

    // Until the picture is fetched the decoder's position is unknown, so that
    // an error box that throws midway makes the next call start over.
    int32_t from = m_decodedFrame;
    m_decodedFrame = -1;
    m_havePicture = false;
    if (from < 0 || n < from || from < key) {
        LoadPacketInTheora(static_cast<uint32_t>(key));
        from = key;
    }
    for (int32_t i = from + 1; i <= n; ++i)
        LoadPacketInTheora(static_cast<uint32_t>(i));
    m_decodedFrame = n;
    if (!m_streams->pictureDecoded)
        return;
    if (theora_decode_YUVout(&m_streams->state, &m_streams->picture) != 0) {
        GE_ERROR_REPORT("%s", "CGmVideoDecoder::NextFrame: error during theora_decode_YUVout...");
        return;
    }
    m_havePicture = true;
}

void CGmVideoDecoder::CopyFrameToTexture()
{
    if (!m_opened || m_packets.IsEmpty() || !m_havePicture || m_shownFrame == m_decodedFrame)
        return;
    uint32_t pitch = 0;
    uint8_t* pixels = m_texture->GetFrameImage(&pitch);
    if (!pixels)
        return;
    const CGmImage* image = m_texture->Image();
    const yuv_buffer& yuv = m_streams->picture;

    // The picture sits at its offset inside the coded frame; libtheora has
    // checked that it lies inside, the test only guards the planes.
    const uint32_t planeWidth = static_cast<uint32_t>(std::max(yuv.y_width, 0));
    const uint32_t planeHeight = static_cast<uint32_t>(std::max(yuv.y_height, 0));
    const uint32_t x = std::min(m_pictureX, planeWidth);
    const uint32_t y = std::min(m_pictureY, planeHeight);
    const uint32_t width = std::min({m_pictureWidth, image->width, planeWidth - x});
    const uint32_t height = std::min({m_pictureHeight, image->height, planeHeight - y});
    // Chroma planes of half the luma's width or height take half the offset.
    const uint32_t chromaX = yuv.uv_width < yuv.y_width ? x / 2 : x;
    const uint32_t chromaY = yuv.uv_height < yuv.y_height ? y / 2 : y;
    const ptrdiff_t lumaAt = static_cast<ptrdiff_t>(y) * yuv.y_stride + x;
    const ptrdiff_t chromaAt = static_cast<ptrdiff_t>(chromaY) * yuv.uv_stride + chromaX;
    g_pGeSimd->ConvertYUVToRGB(yuv.y + lumaAt, yuv.y_stride, yuv.u + chromaAt, yuv.v + chromaAt, yuv.uv_stride,
                               pixels, static_cast<int32_t>(pitch), static_cast<int32_t>(width),
                               static_cast<int32_t>(height), m_forceGeneric);

    if (m_companion) {
        uint32_t recordBytes = 0;
        const uint8_t* record = CompanionRecord(static_cast<uint32_t>(m_decodedFrame), recordBytes);
        uint32_t* argb = reinterpret_cast<uint32_t*>(pixels);
        const size_t pixelCount = image->RawBytes() / 4;
        if (m_companionKind == GEAV_KIND_PLAIN)
            CopyAlphaPlane(record, recordBytes, argb, pixelCount);
        else
            DecodeAlphaRle(record, recordBytes, argb, pixelCount);
    }
    m_shownFrame = m_decodedFrame;
}

float CGmVideoDecoder::GetFrameRate() const
{
    if (m_fpsDenominator == 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(m_fpsNumerator) / static_cast<double>(m_fpsDenominator));
}

// ---------------------------------------------------------------------------
// Closing.

void CGmVideoDecoder::ReleaseStates()
{
    TheoraStreams& s = *m_streams;
    if (s.decoderReady)
        theora_clear(&s.state);
    if (s.infoReady) {
        theora_comment_clear(&s.comment);
        theora_info_clear(&s.info);
    }
    if (s.streamReady)
        ogg_stream_clear(&s.stream);
    if (s.syncReady)
        ogg_sync_clear(&s.sync);
    *m_streams = TheoraStreams();
    m_opened = false;
    m_havePicture = false;
}

void CGmVideoDecoder::Close()
{
    ReleaseStates();
    m_packets.Clear();
    m_keyFrames.Clear();
    free(m_packetBlock);
    m_packetBlock = nullptr;
    m_decodedFrame = -1;
    m_shownFrame = -1;
    m_fpsNumerator = 0;
    m_fpsDenominator = 0;
}
