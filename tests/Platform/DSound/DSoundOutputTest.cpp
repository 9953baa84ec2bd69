// The audio output through SDL's drivers: "disk" writes what the mixer
// rendered to a file that is read back, "dummy" runs the callback in real
// time, and an unknown driver means no device.
#include "DSoundTestSupport.h"

#include "Platform/Win32/WinTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Sets an environment variable for the test's life and restores it after.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        setenv(name, value, 1);
    }
    ~CScopedEnv()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::string m_old;
    bool m_had;
};

IDirectSoundBuffer* CreateBuffer(IDirectSound* sound, DWORD flags, DWORD bytes)
{
    WAVEFORMATEX format = PcmFormat(44100, 2, 16);
    DSBUFFERDESC desc = {36, flags, bytes, 0, &format, DS3DALG_DEFAULT};
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(sound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    return buffer;
}

TEST(DSoundOutput, DiskDriverRecordsTheMixAsRendered)
{
    const std::string file = ::testing::TempDir() + "dsound_mix_" + std::to_string(getpid()) + ".raw";
    CScopedEnv driver("SDL_AUDIODRIVER", "disk");
    CScopedEnv path("SDL_DISKAUDIOFILE", file.c_str());
    CScopedEnv pace("SDL_DISKAUDIODELAY", "2"); // about ten times real time

    IDirectSound* sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    const DWORD bytes = 22050 * 4; // 0.5 s
    IDirectSoundBuffer* buffer = CreateBuffer(sound, kStatic2d, bytes);
    CManualSoundTest::Fill16(buffer, bytes, [](DWORD) { return (int16_t)16384; });
    ASSERT_EQ(buffer->SetVolume(-602), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    DWORD status = DSBSTATUS_PLAYING;
    for (int i = 0; i < 1000 && (status & DSBSTATUS_PLAYING); i++) {
        Sleep(5);
        buffer->GetStatus(&status);
    }
    EXPECT_EQ(status, 0u);
    Sleep(20); // a block of silence after the end
    buffer->Release();
    sound->Release(); // the driver's file is complete once the device is closed

    FILE* raw = std::fopen(file.c_str(), "rb");
    ASSERT_NE(raw, nullptr);
    std::vector<int16_t> samples;
    int16_t pair[2];
    while (std::fread(pair, sizeof(int16_t), 2, raw) == 2) {
        samples.push_back(pair[0]);
        samples.push_back(pair[1]);
    }
    std::fclose(raw);
    std::remove(file.c_str());

    size_t first = 0;
    while (first < samples.size() && samples[first] == 0)
        first++;
    first -= first % 2;
    ASSERT_GE(samples.size(), first + 2 * 22050 + 2) << "frames written: " << samples.size() / 2;
    for (size_t i = 0; i < 2 * 22050; i++)
        ASSERT_NEAR(samples[first + i], 8193, 1) << "frame " << i / 2;
    EXPECT_EQ(samples[first + 2 * 22050], 0);
    EXPECT_EQ(samples[first + 2 * 22050 + 1], 0);
}

TEST(DSoundOutput, DummyDriverRunsTheCallbackAndClosesPromptly)
{
    CScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    IDirectSound* sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    int16_t ignored[2];
    EXPECT_FALSE(DSoundTestPull(sound, ignored, 1)); // the output pulls, not the test

    IDirectSoundBuffer* buffer = CreateBuffer(sound, kStatic2d, 44100 * 4);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    DWORD cursor = 0;
    for (int i = 0; i < 400 && cursor == 0; i++) {
        Sleep(5);
        buffer->GetCurrentPosition(&cursor, nullptr);
    }
    EXPECT_GT(cursor, 0u);

    const auto start = std::chrono::steady_clock::now();
    sound->Release();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 500);
    // A buffer the engine still holds is silent but valid.
    DWORD status = 0xFF;
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    buffer->Release();
}

struct CEnumerated {
    std::vector<std::string> names;
    std::vector<GUID> guids;
    std::vector<bool> isNull;
    size_t stopAfter = 100;
};

BOOL Collect(LPGUID guid, LPCSTR description, LPCSTR module, void* context)
{
    CEnumerated* seen = static_cast<CEnumerated*>(context);
    EXPECT_STREQ(module, "");
    seen->names.push_back(description);
    seen->isNull.push_back(guid == nullptr);
    seen->guids.push_back(guid ? *guid : DS3DALG_DEFAULT);
    return seen->names.size() < seen->stopAfter;
}

TEST(DSoundOutput, EnumerationListsTheDefaultDeviceFirstAndItsGuidsOpenDevices)
{
    CScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    CEnumerated all;
    ASSERT_EQ(DirectSoundEnumerateA(&Collect, &all), DS_OK);
    ASSERT_GE(all.names.size(), 1u);
    EXPECT_TRUE(all.isNull[0]);
    EXPECT_EQ(all.names[0], "Primary Sound Driver");
    for (size_t i = 1; i < all.names.size(); i++) {
        SCOPED_TRACE(all.names[i]);
        EXPECT_FALSE(all.isNull[i]);
        IDirectSound* sound = nullptr;
        EXPECT_EQ(DirectSoundCreate(&all.guids[i], &sound, nullptr), DS_OK);
        if (sound)
            sound->Release();
    }

    CEnumerated first;
    first.stopAfter = 1;
    ASSERT_EQ(DirectSoundEnumerateA(&Collect, &first), DS_OK);
    EXPECT_EQ(first.names.size(), 1u);

    // A GUID no device has opens nothing.
    const GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    IDirectSound* sound = reinterpret_cast<IDirectSound*>(1);
    EXPECT_EQ(DirectSoundCreate(&unknown, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
}

TEST(DSoundOutput, NoDriverOrNoBackendMeansNoDevice)
{
    {
        CScopedEnv driver("SDL_AUDIODRIVER", "nonexistent");
        IDirectSound* sound = reinterpret_cast<IDirectSound*>(1);
        EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
        EXPECT_EQ(sound, nullptr);
        CEnumerated seen;
        EXPECT_EQ(DirectSoundEnumerateA(&Collect, &seen), DS_OK);
        EXPECT_EQ(seen.names.size(), 1u); // the default device is always named
    }
    DSoundTestSetBackend(DSoundTestBackend::None);
    IDirectSound* sound = nullptr;
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
    DSoundTestSetBackend(DSoundTestBackend::Audio);
    int outer = 0;
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, &outer), DSERR_NOAGGREGATION);
}

} // namespace
