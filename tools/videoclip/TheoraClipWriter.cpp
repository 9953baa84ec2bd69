#include "tools/videoclip/TheoraClipWriter.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <algorithm>
#include <cstring>

namespace theoraclip {

namespace {

constexpr uint32_t kCells = 8;
constexpr uint8_t kLight = 210;
constexpr uint8_t kDark = 40;
constexpr int kVideoSerial = 0x7155;
constexpr int kOtherSerial = 0x0A0D;

void AppendPage(Bytes& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// Consecutive indices differ in one bit of their Gray code, so that a
// picture changes little from the one before: the encoder then keeps to the
// key-frame interval instead of starting a key frame at every large change.
uint32_t GrayCode(uint32_t index)
{
    return index ^ (index >> 1);
}

uint32_t FromGrayCode(uint32_t code)
{
    uint32_t index = 0;
    for (; code; code >>= 1)
        index ^= code;
    return index;
}

// The cells of picture `index` over the top half, the bottom half a still
// ramp (moving with `detail`); the coded border around the picture is grey.
void DrawPicture(const ClipSpec& spec, uint32_t index, uint32_t frameWidth, uint32_t frameHeight, Bytes& luma,
                 Bytes& chromaU, Bytes& chromaV)
{
    std::fill(luma.begin(), luma.end(), 128);
    const uint32_t code = GrayCode(index);
    for (uint32_t y = 0; y < spec.height; ++y) {
        uint8_t* row = &luma[size_t(spec.offsetY + y) * frameWidth + spec.offsetX];
        const bool bits = y < spec.height / 4;
        const bool complements = !bits && y < spec.height / 2;
        for (uint32_t x = 0; x < spec.width; ++x) {
            const uint32_t cell = x * kCells / spec.width;
            const bool bit = ((code >> cell) & 1) != 0;
            int value = bits || complements ? (bit == bits ? kLight : kDark) : int(64 + (x + y) % 128);
            if (spec.detail)
                value += int((x + y + 3 * index) % 32) - 16;
            row[x] = uint8_t(value);
        }
    }
    const uint32_t chromaWidth = frameWidth / 2;
    for (uint32_t y = 0; y < frameHeight / 2; ++y) {
        for (uint32_t x = 0; x < chromaWidth; ++x) {
            const size_t at = size_t(y) * chromaWidth + x;
            chromaU[at] = spec.detail ? uint8_t(112 + (x + index) % 32) : 128;
            chromaV[at] = spec.detail ? uint8_t(112 + (y + 2 * index) % 32) : 128;
        }
    }
}

// A plausible Vorbis track: its three headers and short audio packets. The
// identification header names one channel at 44100 Hz.
Bytes OtherHeader(int type)
{
    static const uint8_t identification[30] = {1,    'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 1, 0x44, 0xAC, 0,
                                               0,    0,   0,   0,   0,   0,   0,   0, 0, 0, 0, 0, 0,    0xB8, 1};
    if (type == 1)
        return Bytes(identification, identification + sizeof identification);
    Bytes packet(32, uint8_t(type));
    memcpy(packet.data() + 1, "vorbis", 6);
    packet[31] = 1;
    return packet;
}

void PacketIn(ogg_stream_state& stream, const Bytes& bytes, int64_t number, bool first)
{
    ogg_packet packet;
    memset(&packet, 0, sizeof packet);
    packet.packet = const_cast<uint8_t*>(bytes.data());
    packet.bytes = long(bytes.size());
    packet.b_o_s = first ? 1 : 0;
    packet.granulepos = first ? 0 : number * 64;
    packet.packetno = number;
    ogg_stream_packetin(&stream, &packet);
}

} // namespace

Clip MakeTheoraClip(const ClipSpec& spec)
{
    const uint32_t frameWidth = (spec.offsetX + spec.width + 15) & ~15u;
    const uint32_t frameHeight = (spec.offsetY + spec.height + 15) & ~15u;
    th_info info;
    th_info_init(&info);
    info.frame_width = frameWidth;
    info.frame_height = frameHeight;
    info.pic_width = spec.width;
    info.pic_height = spec.height;
    info.pic_x = spec.offsetX;
    info.pic_y = spec.offsetY;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = TH_PF_420;
    info.target_bitrate = 0;
    info.quality = spec.quality;
    info.fps_numerator = spec.fpsNumerator;
    info.fps_denominator = spec.fpsDenominator;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.keyframe_granule_shift = 0;
    while ((1u << info.keyframe_granule_shift) < spec.keyInterval)
        ++info.keyframe_granule_shift;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    th_info_clear(&info);
    Clip clip;
    if (!encoder)
        return clip;
    ogg_uint32_t interval = spec.keyInterval;
    th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);
    int fastest = 0;
    th_encode_ctl(encoder, TH_ENCCTL_GET_SPLEVEL_MAX, &fastest, sizeof fastest);
    th_encode_ctl(encoder, TH_ENCCTL_SET_SPLEVEL, &fastest, sizeof fastest);

    ogg_stream_state video, other;
    ogg_stream_init(&video, kVideoSerial);
    ogg_stream_init(&other, kOtherSerial);
    int videoPages = 0;
    ogg_page page;
    const auto writeVideoPage = [&](const ogg_page& written) {
        if (videoPages++ != spec.droppedPage)
            AppendPage(clip.bytes, written);
    };
    int64_t otherPackets = 0;

    // Both beginning pages first, the other stream's before the video's.
    if (spec.otherStream) {
        PacketIn(other, OtherHeader(1), otherPackets++, true);
        while (ogg_stream_flush(&other, &page) > 0)
            AppendPage(clip.bytes, page);
    }
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    for (int header = 0; th_encode_flushheader(encoder, &comment, &packet) > 0; ++header) {
        if (header == 2 && spec.damagedHeader)
            packet.bytes = std::min(packet.bytes, 8L);
        ogg_stream_packetin(&video, &packet);
        if (header == 0) {
            while (ogg_stream_flush(&video, &page) > 0)
                writeVideoPage(page);
        }
    }
    th_comment_clear(&comment);
    if (spec.otherStream) {
        PacketIn(other, OtherHeader(3), otherPackets++, false);
        PacketIn(other, OtherHeader(5), otherPackets++, false);
        while (ogg_stream_flush(&other, &page) > 0)
            AppendPage(clip.bytes, page);
    }
    while (ogg_stream_flush(&video, &page) > 0)
        writeVideoPage(page);

    Bytes luma(size_t(frameWidth) * frameHeight), chromaU(luma.size() / 4), chromaV(luma.size() / 4);
    th_ycbcr_buffer planes;
    planes[0] = {int(frameWidth), int(frameHeight), int(frameWidth), luma.data()};
    planes[1] = {int(frameWidth / 2), int(frameHeight / 2), int(frameWidth / 2), chromaU.data()};
    planes[2] = {int(frameWidth / 2), int(frameHeight / 2), int(frameWidth / 2), chromaV.data()};
    Bytes damaged;
    for (uint32_t index = 0; index < spec.frames; ++index) {
        DrawPicture(spec, index, frameWidth, frameHeight, luma, chromaU, chromaV);
        const bool repeat = std::find(spec.repeatAfter.begin(), spec.repeatAfter.end(), index) !=
                            spec.repeatAfter.end();
        if (repeat) {
            int duplicates = 1;
            th_encode_ctl(encoder, TH_ENCCTL_SET_DUP_COUNT, &duplicates, sizeof duplicates);
        }
        th_encode_ycbcr_in(encoder, planes);
        const int last = index + 1 == spec.frames ? 1 : 0;
        while (th_encode_packetout(encoder, last, &packet) > 0) {
            clip.shows.push_back(index);
            clip.keyFrame.push_back(th_packet_iskeyframe(&packet) == 1);
            clip.packetBytes.push_back(uint32_t(packet.bytes));
            if (int(clip.shows.size()) - 1 == spec.damagedPacket && packet.bytes > 0) {
                damaged.assign(packet.packet, packet.packet + packet.bytes);
                damaged[0] |= 0x80;
                packet.packet = damaged.data();
            }
            ogg_stream_packetin(&video, &packet);
        }
        while (ogg_stream_pageout(&video, &page) > 0)
            writeVideoPage(page);
        // An audio packet every other picture; its pages land between the video's.
        if (spec.otherStream && index % 2 == 0) {
            PacketIn(other, Bytes(300, uint8_t(index * 2)), otherPackets++, false);
            while (ogg_stream_pageout(&other, &page) > 0)
                AppendPage(clip.bytes, page);
        }
    }
    while (ogg_stream_flush(&video, &page) > 0)
        writeVideoPage(page);
    if (spec.otherStream) {
        while (ogg_stream_flush(&other, &page) > 0)
            AppendPage(clip.bytes, page);
    }
    ogg_stream_clear(&video);
    ogg_stream_clear(&other);
    th_encode_free(encoder);
    return clip;
}

int ReadPictureIndex(const uint8_t* pixels, uint32_t pitch, uint32_t width, uint32_t height)
{
    // The green byte of a grey picture is its luma, give or take the coding.
    const auto light = [&](uint32_t x, uint32_t y) {
        int sum = 0;
        for (uint32_t dy = y - 1; dy <= y + 1; ++dy) {
            for (uint32_t dx = x - 1; dx <= x + 1; ++dx)
                sum += pixels[size_t(dy) * pitch + size_t(dx) * 4 + 1];
        }
        return sum / 9 > 128;
    };
    uint32_t code = 0;
    for (uint32_t cell = 0; cell < kCells; ++cell) {
        const uint32_t x = (2 * cell + 1) * width / (2 * kCells);
        const bool bit = light(x, height / 8);
        if (bit == light(x, height * 3 / 8))
            return -1;
        code |= bit ? 1u << cell : 0;
    }
    return int(FromGrayCode(code));
}

} // namespace theoraclip
