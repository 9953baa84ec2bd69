// A sound device on the manual backend for the layer's tests: buffers made
// from a flag word and a format, filled through Lock, and mixed frames pulled
// back as (left, right) pairs.
#pragma once

#include "Platform/DSound/DSound.h"
#include "Platform/DSound/DSoundTesting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

// The engine's flag words.
const DWORD kPrimary3d = 0x91;
const DWORD kPrimaryPlain = 0x89;
const DWORD kStatic2d = 0x180C8;
const DWORD kStatic3d = 0x18090;
const DWORD kStreamed2d = 0x181C8;
const DWORD kStreamed3d = 0x38198;

inline WAVEFORMATEX PcmFormat(DWORD rate, WORD channels, WORD bits)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = (WORD)(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    return format;
}

struct CFrame {
    int left;
    int right;
};

class CManualSoundTest : public ::testing::Test {
public:
    // Writes every 16-bit sample of the buffer: sample(index) in buffer order.
    static void Fill16(IDirectSoundBuffer* buffer, DWORD bytes, const std::function<int16_t(DWORD)>& sample)
    {
        void* data = nullptr;
        DWORD size = 0;
        ASSERT_EQ(buffer->Lock(0, bytes, &data, &size, nullptr, nullptr, 0), DS_OK);
        int16_t* samples = static_cast<int16_t*>(data);
        for (DWORD i = 0; i < size / 2; i++)
            samples[i] = sample(i);
        ASSERT_EQ(buffer->Unlock(data, size, nullptr, 0), DS_OK);
    }

protected:
    void SetUp() override
    {
        DSoundTestSetBackend(DSoundTestBackend::Manual);
        ASSERT_EQ(DirectSoundCreate(nullptr, &m_sound, nullptr), DS_OK);
        DSoundTestSetBackend(DSoundTestBackend::Audio);
        ASSERT_EQ(m_sound->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
    }

    void TearDown() override
    {
        for (auto it = m_held.rbegin(); it != m_held.rend(); ++it)
            (*it)->Release();
        if (m_sound)
            m_sound->Release();
    }

    // Releases the object when the test ends.
    template <class T>
    T* Hold(T* object)
    {
        if (object)
            m_held.push_back(object);
        return object;
    }

    HRESULT TryCreate(DWORD flags, const WAVEFORMATEX& format, DWORD bytes, IDirectSoundBuffer** buffer)
    {
        WAVEFORMATEX copy = format;
        DSBUFFERDESC desc = {};
        desc.dwSize = 36; // what code written for 32-bit Windows passes
        desc.dwFlags = flags;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &copy;
        desc.guid3DAlgorithm = DS3DALG_DEFAULT;
        *buffer = nullptr;
        HRESULT result = m_sound->CreateSoundBuffer(&desc, buffer, nullptr);
        Hold(*buffer);
        return result;
    }

    IDirectSoundBuffer* Create(DWORD flags, const WAVEFORMATEX& format, DWORD bytes)
    {
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(TryCreate(flags, format, bytes, &buffer), DS_OK);
        return buffer;
    }

    IDirectSoundBuffer* CreatePrimary(DWORD flags)
    {
        DSBUFFERDESC desc = {};
        desc.dwSize = 36;
        desc.dwFlags = flags;
        IDirectSoundBuffer* primary = nullptr;
        EXPECT_EQ(m_sound->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
        return Hold(primary);
    }

    template <class T>
    T* Query(IDSoundUnknown* object, REFIID iid)
    {
        void* result = nullptr;
        EXPECT_EQ(object->QueryInterface(iid, &result), DS_OK);
        return Hold(static_cast<T*>(result));
    }

    static void FillConstant(IDirectSoundBuffer* buffer, DWORD bytes, int16_t value)
    {
        Fill16(buffer, bytes, [value](DWORD) { return value; });
    }

    std::vector<CFrame> Pull(DWORD frames)
    {
        std::vector<int16_t> samples(frames * 2);
        EXPECT_TRUE(DSoundTestPull(m_sound, samples.data(), frames));
        std::vector<CFrame> result(frames);
        for (DWORD i = 0; i < frames; i++)
            result[i] = {samples[2 * i], samples[2 * i + 1]};
        return result;
    }

    CFrame PullOne() { return Pull(1)[0]; }

    static DWORD Status(IDirectSoundBuffer* buffer)
    {
        DWORD status = 0xDEAD;
        EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
        return status;
    }

    static DWORD Cursor(IDirectSoundBuffer* buffer)
    {
        DWORD play = 0xDEAD;
        DWORD write = 0xBEEF;
        EXPECT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
        EXPECT_EQ(play, write);
        return play;
    }

    IDirectSound* m_sound = nullptr;

private:
    std::vector<IDSoundUnknown*> m_held;
};

// Output samples match within one step of rounding.
#define EXPECT_FRAME_NEAR(frame, l, r)            \
    do {                                          \
        const CFrame expectFrame_ = (frame);      \
        EXPECT_NEAR(expectFrame_.left, (l), 1);   \
        EXPECT_NEAR(expectFrame_.right, (r), 1);  \
    } while (0)
