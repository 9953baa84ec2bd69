// Ogg Vorbis decoding as the streaming thread asks for it: GetBytes of
// consecutive 3/8 s segments of a 60 s stereo 44.1 kHz clip, and of segments
// at random places, against libvorbisfile's ov_read of the same clip in the
// same run (whole clip in order, and a seek plus one segment per request).
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"

#include <vorbis/vorbisfile.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string g_clip;
const uint32_t kSegment = 16537 * 4; // 3/8 s of 44.1 kHz stereo 16-bit, whole frames

CSmOggVorbis* LoadSource()
{
    CSmOggVorbis* source = new CSmOggVorbis;
    CGeFileData file;
    file.size = static_cast<uint32_t>(g_clip.size());
    file.data = static_cast<uint8_t*>(malloc(g_clip.size()));
    memcpy(file.data, g_clip.data(), g_clip.size());
    source->Load("bench/none.ogg", file);
    return source;
}

struct CMemory {
    size_t at = 0;
};

size_t Read(void* ptr, size_t size, size_t count, void* source)
{
    CMemory* m = static_cast<CMemory*>(source);
    const size_t n = std::min(size * count, g_clip.size() - m->at);
    memcpy(ptr, g_clip.data() + m->at, n);
    m->at += n;
    return size ? n / size : 0;
}

int Seek(void* source, ogg_int64_t offset, int whence)
{
    CMemory* m = static_cast<CMemory*>(source);
    const ogg_int64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<ogg_int64_t>(m->at)
                                                  : static_cast<ogg_int64_t>(g_clip.size());
    m->at = static_cast<size_t>(std::max<ogg_int64_t>(0, std::min<ogg_int64_t>(base + offset, g_clip.size())));
    return 0;
}

long Tell(void* source)
{
    return static_cast<long>(static_cast<CMemory*>(source)->at);
}

// Reads count bytes with ov_read into out; the bytes read.
size_t ReadBytes(OggVorbis_File& vf, char* out, size_t count)
{
    size_t done = 0;
    int section = 0;
    while (done < count) {
        const long n =
            ov_read(&vf, out + done, static_cast<int>(std::min<size_t>(count - done, 4096)), 0, 2, 1, &section);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void Consecutive(benchmark::State& state)
{
    CSmOggVorbis* source = LoadSource();
    const uint32_t segments = source->GetSize() / kSegment;
    for (auto _ : state) {
        for (uint32_t i = 0; i < segments; i++)
            benchmark::DoNotOptimize(source->GetBytes(i * kSegment, kSegment));
    }
    source->Release();
}

void RandomSegments(benchmark::State& state)
{
    CSmOggVorbis* source = LoadSource();
    const uint32_t frames = (source->GetSize() - kSegment) / 4;
    GeSrand(7);
    for (auto _ : state) {
        for (int i = 0; i < 32; i++) {
            const uint32_t at = static_cast<uint32_t>(GeRand() * 32768 + GeRand()) % frames;
            benchmark::DoNotOptimize(source->GetBytes(at * 4, kSegment));
        }
    }
    source->Release();
}

void VorbisfileConsecutive(benchmark::State& state)
{
    std::vector<char> out(kSegment);
    for (auto _ : state) {
        CMemory memory;
        OggVorbis_File vf;
        ov_callbacks callbacks = {Read, Seek, nullptr, Tell};
        ov_open_callbacks(&memory, &vf, nullptr, 0, callbacks);
        while (ReadBytes(vf, out.data(), kSegment) == kSegment)
            benchmark::DoNotOptimize(out.data());
        ov_clear(&vf);
    }
}

void VorbisfileRandom(benchmark::State& state)
{
    std::vector<char> out(kSegment);
    CMemory memory;
    OggVorbis_File vf;
    ov_callbacks callbacks = {Read, Seek, nullptr, Tell};
    ov_open_callbacks(&memory, &vf, nullptr, 0, callbacks);
    const ogg_int64_t frames = ov_pcm_total(&vf, -1) - kSegment / 4;
    GeSrand(7);
    for (auto _ : state) {
        for (int i = 0; i < 32; i++) {
            const ogg_int64_t at = static_cast<uint32_t>(GeRand() * 32768 + GeRand()) % frames;
            ov_pcm_seek(&vf, at);
            ReadBytes(vf, out.data(), kSegment);
            benchmark::DoNotOptimize(out.data());
        }
    }
    ov_clear(&vf);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    GeCpuProbeCreate();
    GeSimdCreate();
    g_clip = VorbisClip(2, 44100, 60);

    benchmark::RegisterBenchmark("GetBytes/consecutive", Consecutive)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("Vorbisfile/consecutive", VorbisfileConsecutive)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3);
    benchmark::RegisterBenchmark("GetBytes/random", RandomSegments)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("Vorbisfile/random", VorbisfileRandom)->Unit(benchmark::kMillisecond)->Repetitions(3);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    CBenchRatioReporter::PrintRatios("A 60 s stereo 44.1 kHz Ogg Vorbis clip read in 3/8 s segments, against "
                                     "libvorbisfile's ov_read of the same clip (a seek per random segment)");
    reporter.PrintRatio("consecutive segments", "GetBytes/consecutive", "Vorbisfile/consecutive");
    reporter.PrintRatio("32 random segments", "GetBytes/random", "Vorbisfile/random");
    benchmark::Shutdown();
    return 0;
}
