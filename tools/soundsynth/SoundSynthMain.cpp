// soundsynth: writes the demo game's sounds, made here from sine tones and
// noise and encoded as Ogg Vorbis with libvorbisenc.
//
//   soundsynth music <out.ogg> <seconds> <root Hz>  a slow arpeggio over a drone
//   soundsynth ambient <out.ogg> <seconds>          surf: noise swelling and falling
//   soundsynth chime <out.ogg> <seconds>            a bell struck once a second (mono,
//                                                   for a 3D slot)
//
// Every sound loops without a click: the length is a whole number of its
// beats and the noise fades in and out over its own cycle. Noise comes from
// the engine's random generator with a fixed seed, so the files are the same
// on every run.
#include "Engine/Core/Common/GeRandom.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr long kRate = 44100;

// One sample of each channel at time t (seconds).
using Voice = std::function<void(double t, float* out)>;

bool Encode(const char* path, int channels, double seconds, const Voice& voice)
{
    FILE* file = fopen(path, "wb");
    if (!file) {
        fprintf(stderr, "soundsynth: cannot write %s\n", path);
        return false;
    }
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, kRate, 0.3f) != 0) {
        fprintf(stderr, "soundsynth: the encoder refused the format\n");
        fclose(file);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 7);
    ogg_page page;
    auto flush = [&](bool force) {
        while (force ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
            fwrite(page.header, 1, static_cast<size_t>(page.header_len), file);
            fwrite(page.body, 1, static_cast<size_t>(page.body_len), file);
        }
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &comments, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &comments);
    ogg_stream_packetin(&stream, &codebooks);
    flush(true);

    const long total = static_cast<long>(seconds * kRate);
    long done = 0;
    bool ended = false;
    float frame[2];
    while (!ended) {
        const long piece = std::min<long>(1024, total - done);
        if (piece > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(piece));
            for (long i = 0; i < piece; i++) {
                voice(static_cast<double>(done + i) / kRate, frame);
                for (int c = 0; c < channels; c++)
                    buffer[c][i] = frame[c];
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(piece));
            done += piece;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                flush(false);
                ended = ended || packet.e_o_s;
            }
        }
        ended = ended || piece <= 0;
    }
    flush(true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    const bool ok = fclose(file) == 0;
    if (!ok)
        fprintf(stderr, "soundsynth: cannot finish %s\n", path);
    return ok;
}

// A tone with a soft attack and an exponential decay, started at `start`.
double Pluck(double t, double start, double hz, double decay)
{
    const double age = t - start;
    if (age < 0.0)
        return 0.0;
    const double attack = std::min(1.0, age / 0.01);
    return attack * std::exp(-age / decay) * std::sin(2.0 * kPi * hz * age);
}

Voice Music(double seconds, double root)
{
    // Major-pentatonic steps, one note each half second, over a quiet drone.
    static const double steps[] = {1.0, 1.125, 1.25, 1.5, 1.6875, 1.5, 1.25, 1.125};
    return [seconds, root](double t, float* out) {
        const double beat = 0.5;
        const long index = static_cast<long>(t / beat);
        double note = 0.0;
        for (long k = index - 3; k <= index; ++k) {
            if (k < 0)
                continue;
            note += Pluck(t, k * beat, root * 2.0 * steps[k % 8], 0.35);
        }
        // The drone fades at the loop's ends so the seam is silent-free but smooth.
        const double drone = 0.12 * std::sin(2.0 * kPi * root * t) * std::sin(kPi * t / seconds);
        out[0] = static_cast<float>(0.35 * note + drone);
        out[1] = static_cast<float>(0.3 * note + drone);
    };
}

Voice Ambient(double seconds)
{
    auto low = std::make_shared<double>(0.0);
    auto lowR = std::make_shared<double>(0.0);
    return [seconds, low, lowR](double t, float* out) {
        const double n1 = GeRand() / static_cast<double>(kGeRandMax) * 2.0 - 1.0;
        const double n2 = GeRand() / static_cast<double>(kGeRandMax) * 2.0 - 1.0;
        *low += 0.04 * (n1 - *low); // a gentle low-pass: surf, not hiss
        *lowR += 0.04 * (n2 - *lowR);
        const double swell = 0.5 - 0.5 * std::cos(2.0 * kPi * t / (seconds / 2.0));
        out[0] = static_cast<float>(1.6 * swell * *low);
        out[1] = static_cast<float>(1.6 * swell * *lowR);
    };
}

Voice Chime()
{
    return [](double t, float* out) {
        const double start = std::floor(t);
        const double v = Pluck(t, start, 880.0, 0.3) + 0.5 * Pluck(t, start, 1320.0, 0.2);
        out[0] = out[1] = static_cast<float>(0.5 * v);
    };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: soundsynth music|ambient|chime <out.ogg> <seconds> [root Hz]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const double seconds = atof(argv[3]);
    if (seconds <= 0.0 || seconds > 600.0) {
        fprintf(stderr, "soundsynth: seconds must lie in (0, 600]\n");
        return 2;
    }
    GeSrand(12345);
    bool ok = false;
    if (kind == "music")
        ok = Encode(argv[2], 2, seconds, Music(seconds, argc > 4 ? atof(argv[4]) : 220.0));
    else if (kind == "ambient")
        ok = Encode(argv[2], 2, seconds, Ambient(seconds));
    else if (kind == "chime")
        ok = Encode(argv[2], 1, seconds, Chime());
    else
        fprintf(stderr, "soundsynth: unknown sound '%s'\n", kind.c_str());
    return ok ? 0 : 1;
}
