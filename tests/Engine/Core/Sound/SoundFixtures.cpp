// Writers of the sound fixtures; see SoundFixtures.h.
#include "SoundFixtures.h"

#include "Engine/Core/Common/GeSimd.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

static void PutLe16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

static void PutLe32(std::string& out, uint32_t v)
{
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

std::string WaveFile(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& pcm)
{
    const uint32_t align = channels * bits / 8;
    std::string out = "RIFF";
    PutLe32(out, static_cast<uint32_t>(36 + pcm.size()));
    out += "WAVEfmt ";
    PutLe32(out, 16);
    PutLe16(out, 1);
    PutLe16(out, channels);
    PutLe32(out, rate);
    PutLe32(out, rate * align);
    PutLe16(out, align);
    PutLe16(out, bits);
    out += "data";
    PutLe32(out, static_cast<uint32_t>(pcm.size()));
    return out + pcm;
}

std::string RampPcm16(uint32_t frames, uint16_t channels)
{
    std::string out;
    out.reserve(static_cast<size_t>(frames) * channels * 2);
    for (uint32_t f = 0; f < frames; f++) {
        for (uint16_t c = 0; c < channels; c++)
            PutLe16(out, ((f * channels + c) * 7 + c) & 0xFFFF);
    }
    return out;
}

std::string VorbisClip(uint16_t channels, uint32_t rate, double seconds)
{
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, channels, static_cast<long>(rate), 0.4f);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);

    std::string out;
    ogg_page page;
    auto flush = [&](bool force) {
        while (force ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
            out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
            out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
        }
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &comments, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &comments);
    ogg_stream_packetin(&stream, &codebooks);
    flush(true);

    const long total = static_cast<long>(seconds * rate);
    long done = 0;
    const double pi = 3.14159265358979323846;
    while (true) {
        const long piece = std::min<long>(1024, total - done);
        if (piece > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(piece));
            for (long i = 0; i < piece; i++) {
                const double t = static_cast<double>(done + i) / rate;
                for (int c = 0; c < channels; c++) {
                    const double f = 220.0 * (c + 1) + 180.0 * t;
                    buffer[c][i] =
                        static_cast<float>(0.45 * std::sin(2 * pi * f * t) + 0.2 * std::sin(2 * pi * 3.1 * f * t + c));
                }
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(piece));
            done += piece;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        bool ended = false;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                flush(false);
                if (packet.e_o_s)
                    ended = true;
            }
        }
        if (ended || piece <= 0)
            break;
    }
    flush(true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

namespace {
struct CMemoryFile {
    const std::string* data;
    size_t at;
};

size_t ReadMemory(void* ptr, size_t size, size_t count, void* source)
{
    CMemoryFile* file = static_cast<CMemoryFile*>(source);
    const size_t n = std::min(size * count, file->data->size() - file->at);
    memcpy(ptr, file->data->data() + file->at, n);
    file->at += n;
    return size ? n / size : 0;
}
} // namespace

std::string VorbisReference(const std::string& clip)
{
    if (!g_pGeSimd)
        GeSimdCreate();
    CMemoryFile file{&clip, 0};
    OggVorbis_File vf;
    ov_callbacks callbacks = {ReadMemory, nullptr, nullptr, nullptr};
    if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0)
        return std::string();
    const int channels = ov_info(&vf, -1)->channels;
    std::string out;
    std::vector<int16_t> samples;
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long frames = ov_read_float(&vf, &pcm, 4096, &section);
        if (frames <= 0)
            break;
        samples.resize(static_cast<size_t>(frames) * channels);
        g_pGeSimd->ConvertFloatToInt16Interleaved(samples.data(), pcm, static_cast<uint32_t>(frames),
                                                  static_cast<uint32_t>(channels));
        out.append(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    }
    ov_clear(&vf);
    return out;
}

std::string PacketTableFile(const std::vector<uint32_t>& entries, uint32_t total, int64_t n)
{
    std::string out = "QMOGGTBL";
    PutLe32(out, n >= 0 ? static_cast<uint32_t>(n) : static_cast<uint32_t>(entries.size() * 4));
    PutLe32(out, total);
    for (uint32_t e : entries)
        PutLe32(out, e);
    return out;
}
