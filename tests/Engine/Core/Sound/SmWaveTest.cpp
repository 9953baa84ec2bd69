// WAV sources and the generated silence: the header checks with their
// messages, the range boundary of GetBytes, and what a refused file leaves.
#include "Engine/Core/Sound/SmSoundData.h"
#include "SoundFixtures.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

CGeFileData FileOf(const std::string& bytes)
{
    CGeFileData file;
    file.path = "sounds/test.wav";
    file.size = static_cast<uint32_t>(bytes.size());
    file.data = static_cast<uint8_t*>(malloc(bytes.size() ? bytes.size() : 1));
    memcpy(file.data, bytes.data(), bytes.size());
    return file;
}

std::string Patched(std::string bytes, size_t at, const std::string& with)
{
    bytes.replace(at, with.size(), with);
    return bytes;
}

} // namespace

TEST(SmWave, DamagedHeadersAreRefusedWithTheirMessageAndLeaveAnEmptySource)
{
    const std::string good = WaveFile(2, 44100, 16, RampPcm16(100, 2));
    const std::string zero16(2, '\0');
    struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        {std::string(), "unexpected:: CSmWave: data is null with 'sounds/a.wav'"},
        {good.substr(0, 43), "CSmWave: data is shorter than a WAVE header with sounds/a.wav"},
        {Patched(good, 0, "RIFX"), "CSmWave: data is not RIFF fmt with sounds/a.wav"},
        {Patched(good, 8, "WAVF"), "CSmWave: data is RIFF but not WAVE fmt with sounds/a.wav"},
        {Patched(good, 20, std::string("\x02\x00", 2)), "CSmWave: WAVE type is not simple with sounds/a.wav"},
        {Patched(good, 22, zero16), "CSmWave: WAVE format has no channels, rate or block size with sounds/a.wav"},
        {Patched(good, 24, zero16 + zero16),
         "CSmWave: WAVE format has no channels, rate or block size with sounds/a.wav"},
        {Patched(good, 32, zero16), "CSmWave: WAVE format has no channels, rate or block size with sounds/a.wav"},
        // A LIST chunk before "data": only the canonical layout is read.
        {Patched(good, 36, "LIST"), "CSmWave: WAVE-sample has not valid id 'data' with sounds/a.wav"},
    };
    for (auto& c : cases) {
        CErrorBoxRecorder box;
        CSmWave* wave = new CSmWave;
        CGeFileData file = c.bytes.empty() ? CGeFileData{} : FileOf(c.bytes);
        EXPECT_FALSE(wave->Load("sounds/a.wav", file)) << c.message;
        ASSERT_EQ(CErrorBoxRecorder::Messages().size(), 1u) << c.message;
        EXPECT_EQ(CErrorBoxRecorder::Messages()[0], c.message);
        EXPECT_EQ(wave->GetSize(), 0u);
        EXPECT_EQ(wave->GetDuration(), 0u);
        EXPECT_EQ(wave->GetBytes(0, 0), nullptr);
        EXPECT_STREQ(wave->GetName(), "");
        EXPECT_EQ(file.data, nullptr);
        wave->Release();
    }
}

TEST(SmWave, LoadsTheCanonicalLayoutAndAnswersRangesUpToTheEnd)
{
    const std::string pcm = RampPcm16(22050, 1);
    CSmWave* wave = new CSmWave;
    CGeFileData file = FileOf(WaveFile(1, 22050, 16, pcm));
    ASSERT_TRUE(wave->Load("sounds/b.wav", file));
    EXPECT_EQ(wave->subTypeId, GE_RES_SOUND);
    EXPECT_EQ(wave->GetSize(), pcm.size());
    EXPECT_EQ(wave->GetMemoryBytes(), pcm.size());
    EXPECT_EQ(wave->GetDuration(), 1000u);
    EXPECT_EQ(wave->GetFormat()->nAvgBytesPerSec, 44100u);
    EXPECT_STREQ(wave->GetName(), "sounds/b.wav");
    const uint8_t* all = wave->GetBytes(0, wave->GetSize());
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(memcmp(all, pcm.data(), pcm.size()), 0);
    const uint8_t* tail = wave->GetBytes(wave->GetSize() - 10, 10);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(memcmp(tail, pcm.data() + pcm.size() - 10, 10), 0);
    EXPECT_EQ(wave->GetBytes(wave->GetSize() - 10, 11), nullptr);
    EXPECT_EQ(wave->GetBytes(0xFFFFFFF0u, 0x20), nullptr); // no wrap-around in the sum
    wave->Unload();
    EXPECT_EQ(wave->GetSize(), 0u);
    EXPECT_EQ(wave->GetBytes(0, 1), nullptr);
    wave->Release();
}

TEST(SmWave, ADataSizeBeyondTheFileIsCutToTheFileOnWholeFrames)
{
    std::string bytes = WaveFile(2, 44100, 16, RampPcm16(10, 2));
    bytes = Patched(bytes, 40, std::string("\xFF\xFF\x00\x00", 4));
    bytes += "xy"; // half a frame past the last whole one
    CSmWave* wave = new CSmWave;
    CGeFileData file = FileOf(bytes);
    ASSERT_TRUE(wave->Load("sounds/c.wav", file));
    EXPECT_EQ(wave->GetSize(), 40u);
    EXPECT_EQ(wave->GetBytes(0, 41), nullptr);
    wave->Release();
}

TEST(SmGeneratedSound, IsAQuarterSecondOfSilence)
{
    CSmGeneratedSound* sound = new CSmGeneratedSound;
    CGeFileData nothing;
    ASSERT_TRUE(sound->Load("sounds/missing.wav", nothing));
    EXPECT_EQ(sound->GetSize(), 11024u);
    EXPECT_EQ(sound->GetMemoryBytes(), 11024u);
    EXPECT_EQ(sound->GetDuration(), 249u); // 11024 bytes at 44100 per second
    const WAVEFORMATEX* f = sound->GetFormat();
    EXPECT_EQ(f->nChannels, 1);
    EXPECT_EQ(f->nSamplesPerSec, 22050u);
    EXPECT_EQ(f->wBitsPerSample, 16);
    EXPECT_EQ(f->nBlockAlign, 2);
    const uint8_t* bytes = sound->GetBytes(0, 11024);
    ASSERT_NE(bytes, nullptr);
    for (uint32_t i = 0; i < 11024; i++)
        ASSERT_EQ(bytes[i], 0);
    EXPECT_EQ(sound->GetBytes(1, 11024), nullptr);
    sound->Release();
}
