#include "tests/fuzz/SoundDataFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Segments read per source: the inputs stay quick however long they claim to be.
constexpr uint32_t kMaxSegments = 64;

// Loads a copy of the input into source and reads it segment by segment;
// whether the source took it.
bool LoadAndRead(CSmSoundData* source, const uint8_t* data, size_t size, FuzzOutcome& outcome)
{
    CErrorBoxRecorder::Messages().clear();
    GeLogClearLast();
    CGeFileData file;
    file.path = "fuzz/sound";
    if (size > 0) {
        file.data = static_cast<uint8_t*>(malloc(size));
        memcpy(file.data, data, size);
        file.size = static_cast<uint32_t>(size);
    }
    const bool taken = source->Load("fuzz/sound", file);
    FUZZ_EXPECT(outcome, file.data == nullptr); // taken over or freed
    const uint32_t total = source->GetSize();
    const WAVEFORMATEX* format = source->GetFormat();
    if (!taken) {
        FUZZ_EXPECT(outcome, !CErrorBoxRecorder::Messages().empty() || GeLogLastLevel() > 0);
        FUZZ_EXPECT(outcome, total == 0 && source->GetDuration() == 0);
        return false;
    }
    FUZZ_EXPECT(outcome, format->nBlockAlign > 0 && format->nAvgBytesPerSec > 0 && total % format->nBlockAlign == 0);
    uint32_t segment = static_cast<uint32_t>(static_cast<uint64_t>(format->nSamplesPerSec) * format->nBlockAlign * 3 / 8);
    segment = std::max<uint32_t>(format->nBlockAlign, segment - segment % format->nBlockAlign);
    for (uint32_t i = 0; i < kMaxSegments && static_cast<uint64_t>(i) * segment < total; i++) {
        const uint32_t offset = i * segment;
        const uint32_t count = std::min(segment, total - offset);
        FUZZ_EXPECT(outcome, source->GetBytes(offset, count) != nullptr);
    }
    FUZZ_EXPECT(outcome, source->GetBytes(total, format->nBlockAlign) == nullptr);
    return true;
}

} // namespace

FuzzOutcome RunSoundDataFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    CErrorBoxRecorder boxes;
    CSmWave* wave = new CSmWave;
    CSmOggVorbis* ogg = new CSmOggVorbis;
    const bool waveTaken = LoadAndRead(wave, data, size, outcome);
    const bool oggTaken = LoadAndRead(ogg, data, size, outcome);
    outcome.taken = waveTaken || oggTaken;
    wave->Release();
    ogg->Release();
    return outcome;
}

int FuzzSoundData(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunSoundDataFuzz(data, size), "SoundDataFuzz.cpp");
}
