// One second of 32 voices through the sound layer's mixer (16 stereo 44.1 kHz,
// 8 mono 22.05 kHz, 8 mono 3D sources; volumes and pans set), pulled in blocks
// of 1024 frames as the audio thread does, against a plain float loop with the
// same interpolation, gains and saturating sum over the same data. Prints the
// time ratio (mixer over plain loop) and the mixer's share of real time.
#include "Platform/DSound/DSound.h"
#include "Platform/DSound/DSoundTesting.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const DWORD kOutputRate = 44100;
const DWORD kBlock = 1024;

// Wall-clock seconds the mixer took for one second of sound (fastest run).
double g_mixerSeconds = 0;

struct CVoice {
    std::vector<int16_t> samples;
    int channels;
    DWORD rate;
    LONG volume;
    LONG pan;
    bool threeD;
    float x, z;
};

// Two seconds of a deterministic waveform per voice, so that each benchmark
// iteration (one second) wraps every ring at some point.
std::vector<CVoice> MakeVoices()
{
    std::vector<CVoice> voices;
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (int16_t)((seed >> 16) & 0x3FFF) - 8192;
    };
    for (int i = 0; i < 32; i++) {
        CVoice v;
        v.channels = i < 16 ? 2 : 1;
        v.rate = i >= 16 && i < 24 ? 22050 : 44100;
        v.threeD = i >= 24;
        v.volume = -(LONG)(i * 97 % 2000);
        v.pan = v.threeD ? 0 : (LONG)(i * 613 % 4000) - 2000;
        v.x = (float)(i * 37 % 400) - 200;
        v.z = (float)(i * 53 % 400) + 50;
        v.samples.resize((size_t)v.rate * 2 * v.channels);
        for (int16_t& s : v.samples)
            s = next();
        voices.push_back(std::move(v));
    }
    return voices;
}

const std::vector<CVoice>& Voices()
{
    static const std::vector<CVoice> voices = MakeVoices();
    return voices;
}

float Gain(double milliBels)
{
    return milliBels <= -10000 ? 0.0f : (float)std::pow(10.0, milliBels / 2000.0);
}

void MixerSecond(benchmark::State& state)
{
    DSoundTestSetBackend(DSoundTestBackend::Manual);
    IDirectSound* sound = nullptr;
    if (DirectSoundCreate(nullptr, &sound, nullptr) != DS_OK) {
        state.SkipWithError("no device");
        return;
    }
    sound->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE);
    DSBUFFERDESC primaryDesc = {36, 0x91, 0, 0, nullptr, DS3DALG_DEFAULT};
    IDirectSoundBuffer* primary = nullptr;
    sound->CreateSoundBuffer(&primaryDesc, &primary, nullptr);
    IDirectSound3DListener* listener = nullptr;
    primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&listener));

    std::vector<IDirectSoundBuffer*> buffers;
    std::vector<IDirectSound3DBuffer*> sources;
    for (const CVoice& v : Voices()) {
        WAVEFORMATEX format = {WAVE_FORMAT_PCM, (WORD)v.channels, v.rate, v.rate * 2 * v.channels,
                               (WORD)(2 * v.channels), 16, 0};
        const DWORD bytes = (DWORD)(v.samples.size() * 2);
        DSBUFFERDESC desc = {36, v.threeD ? 0x18090u : 0x180C8u, bytes, 0, &format, DS3DALG_DEFAULT};
        IDirectSoundBuffer* buffer = nullptr;
        sound->CreateSoundBuffer(&desc, &buffer, nullptr);
        void* data = nullptr;
        DWORD size = 0;
        buffer->Lock(0, bytes, &data, &size, nullptr, nullptr, 0);
        std::copy(v.samples.begin(), v.samples.end(), static_cast<int16_t*>(data));
        buffer->Unlock(data, size, nullptr, 0);
        buffer->SetVolume(v.volume);
        if (v.threeD) {
            IDirectSound3DBuffer* source = nullptr;
            buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&source));
            source->SetMinDistance(100, DS3D_IMMEDIATE);
            source->SetMaxDistance(3000, DS3D_IMMEDIATE);
            source->SetPosition(v.x, 0, v.z, DS3D_IMMEDIATE);
            sources.push_back(source);
        } else {
            buffer->SetPan(v.pan);
        }
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(buffer);
    }

    std::vector<int16_t> block(2 * kBlock);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (DWORD done = 0; done < kOutputRate; done += kBlock) {
            DSoundTestPull(sound, block.data(), std::min(kBlock, kOutputRate - done));
            benchmark::DoNotOptimize(block.data());
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (state.iterations() > 0) {
        const double perSecond = elapsed.count() / (double)state.iterations();
        if (g_mixerSeconds == 0 || perSecond < g_mixerSeconds)
            g_mixerSeconds = perSecond;
    }

    for (IDirectSound3DBuffer* source : sources)
        source->Release();
    for (IDirectSoundBuffer* buffer : buffers)
        buffer->Release();
    listener->Release();
    primary->Release();
    sound->Release();
    DSoundTestSetBackend(DSoundTestBackend::Audio);
}

// The reference: per voice a 32.32 position, linear interpolation with the
// ring's wrap checked on every frame, two gains, a float sum, then saturation.
struct CPlainVoice {
    const CVoice* voice;
    uint64_t position;
    uint64_t step;
    uint64_t end;
    float left, right;
};

void PlainSecond(benchmark::State& state)
{
    std::vector<CPlainVoice> voices;
    for (const CVoice& v : Voices()) {
        CPlainVoice p;
        p.voice = &v;
        p.position = 0;
        p.step = ((uint64_t)v.rate << 32) / kOutputRate;
        p.end = (uint64_t)(v.samples.size() / v.channels) << 32;
        if (v.threeD) {
            // The mixer's own 3D gains are worked out once a block; here they
            // are fixed: distance and placement of a source to the right.
            const float distance = std::sqrt(v.x * v.x + v.z * v.z);
            const float level = Gain(v.volume) * (distance <= 100 ? 1.0f : 100.0f / distance);
            p.left = level * 0.5f;
            p.right = level;
        } else {
            p.left = Gain((double)v.volume - std::max<LONG>(v.pan, 0));
            p.right = Gain((double)v.volume + std::min<LONG>(v.pan, 0));
        }
        voices.push_back(p);
    }
    std::vector<float> mix(2 * kBlock);
    std::vector<int16_t> block(2 * kBlock);
    for (auto _ : state) {
        for (DWORD done = 0; done < kOutputRate; done += kBlock) {
            const DWORD frames = std::min(kBlock, kOutputRate - done);
            std::fill(mix.begin(), mix.end(), 0.0f);
            for (CPlainVoice& p : voices) {
                const int16_t* s = p.voice->samples.data();
                const uint64_t count = p.end >> 32;
                for (DWORD i = 0; i < frames; i++) {
                    const uint64_t frame = p.position >> 32;
                    const uint64_t next = frame + 1 == count ? 0 : frame + 1;
                    const float t = (float)(uint32_t)p.position * (1.0f / 4294967296.0f);
                    if (p.voice->channels == 2) {
                        const float l0 = s[2 * frame], l1 = s[2 * next];
                        const float r0 = s[2 * frame + 1], r1 = s[2 * next + 1];
                        mix[2 * i] += (l0 + (l1 - l0) * t) * p.left;
                        mix[2 * i + 1] += (r0 + (r1 - r0) * t) * p.right;
                    } else {
                        const float m0 = s[frame], m1 = s[next];
                        const float m = m0 + (m1 - m0) * t;
                        mix[2 * i] += m * p.left;
                        mix[2 * i + 1] += m * p.right;
                    }
                    p.position += p.step;
                    if (p.position >= p.end)
                        p.position -= p.end;
                }
            }
            for (DWORD i = 0; i < 2 * frames; i++) {
                const long sample = std::lrint(mix[i]);
                block[i] = (int16_t)std::min(32767L, std::max(-32768L, sample));
            }
            benchmark::DoNotOptimize(block.data());
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("Mixer/second", MixerSecond)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Plain/second", PlainSecond)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    CBenchRatioReporter::PrintRatios("One second of 32 voices, 44100 Hz stereo output, against a plain float loop");
    reporter.PrintRatio("mixer", "Mixer/second", "Plain/second");
    // Each iteration renders one second of sound, so its time in seconds is
    // the share of one core that real-time playback takes.
    if (g_mixerSeconds > 0)
        std::printf("  mixer share of real time = %.2f%%\n", 100.0 * g_mixerSeconds);
    benchmark::Shutdown();
    return 0;
}
