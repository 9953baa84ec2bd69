// A sound manager on the mixer's manual backend for the game layer's sound
// tests: the test pulls mixed frames itself, so every level that reaches the
// output can be read; the streaming thread stays off. Sound files are written
// by the sound tests' writers into a scratch directory; the frame timer's
// delta is set by hand.
#pragma once

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Platform/DSound/DSoundTesting.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

// Every instance the sound manager holds, in both arrays of every entry.
inline size_t SoundInstanceCount()
{
    size_t n = 0;
    CSmSoundManager::ForEachSound([&](CSmSound*) { ++n; });
    return n;
}

inline bool AllZero(const std::vector<int16_t>& samples)
{
    for (int16_t s : samples)
        if (s != 0)
            return false;
    return true;
}

// Sounds keep their paths lower-cased; tests compare with this.
inline std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The sample a constant input reaches the output with at a linear volume
// (the attenuation law of the sounds, then the mixer's decibel gain).
inline double HeardAt(double input, float volume)
{
    return input * std::pow(10.0, SmVolumeToAttenuation(volume) / 2000.0);
}

class SoundTestClock : public CGeClock {
public:
    int64_t Counter() override { return 0; }
    int64_t Frequency() override { return 1000; }
};

class GameSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DSoundTestSetBackend(DSoundTestBackend::Manual);
        CSmSoundManager::streamThreadWanted = false;
        CSmSoundManager::flags3d = 1;
        group = new CSmSoundGroup;
        g_soundManager = group;
        DSoundTestSetBackend(DSoundTestBackend::Audio);
        timer.delta = 0.0f;
        g_geTimer = &timer;
    }

    void TearDown() override
    {
        g_soundManager = nullptr;
        delete group;
        group = nullptr;
        CSmSoundManager::streamThreadWanted = true;
        g_geTimer = nullptr;
    }

    // A 16-bit WAV at 44100 Hz of one constant sample, seconds long. 3D
    // sounds need one channel (their buffers take no other).
    std::string DcWave(const std::string& name, double seconds, int16_t value = 8000, uint16_t channels = 2)
    {
        const uint32_t frames = static_cast<uint32_t>(seconds * 44100.0);
        std::string pcm(static_cast<size_t>(frames) * channels * 2, '\0');
        for (size_t i = 0; i < pcm.size(); i += 2)
            memcpy(&pcm[i], &value, 2);
        return dir.Write(name, WaveFile(channels, 44100, 16, pcm));
    }

    // Mixed frames as interleaved stereo samples.
    std::vector<int16_t> Pull(uint32_t frames)
    {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        EXPECT_TRUE(DSoundTestPull(CSmSoundManager::directSound, out.data(), frames));
        return out;
    }

    CTestTempDir dir;
    CSmSoundGroup* group = nullptr;
    SoundTestClock clock;
    CGeTimer timer{25.0f, &clock};
};
