// The sound manager and its sounds on the mixer's manual backend: the test
// pulls mixed frames and runs the streaming pass itself between pulls, so
// every byte that reaches the output can be checked.
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "Platform/DSound/DSoundTesting.h"
#include "SoundFixtures.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// 16-bit PCM of one constant sample.
std::string DcPcm16(uint32_t frames, uint16_t channels, int16_t value)
{
    std::string out(static_cast<size_t>(frames) * channels * 2, '\0');
    for (size_t i = 0; i < out.size(); i += 2)
        memcpy(&out[i], &value, 2);
    return out;
}

class SmSoundTest : public ::testing::Test {
protected:
    void SetUp() override { Start(DSoundTestBackend::Manual, 1); }
    void TearDown() override { Stop(); }

    void Start(DSoundTestBackend backend, uint32_t flags3d)
    {
        DSoundTestSetBackend(backend);
        CSmSoundManager::streamThreadWanted = false;
        CSmSoundManager::flags3d = flags3d;
        group = new CSmSoundGroup;
        DSoundTestSetBackend(DSoundTestBackend::Audio);
    }

    void Stop()
    {
        delete group;
        group = nullptr;
        CSmSoundManager::streamThreadWanted = true;
        CSmSoundManager::budget = 32000000;
    }

    CSmSoundEntry* Entry(const std::string& file, const std::string& bytes)
    {
        return CSmSoundManager::CreateSound(group, dir.Write(file, bytes).c_str());
    }

    // Mixed frames as interleaved stereo samples.
    std::vector<int16_t> Pull(uint32_t frames)
    {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        EXPECT_TRUE(DSoundTestPull(CSmSoundManager::directSound, out.data(), frames));
        return out;
    }

    // Pulls in steps of `step` frames with a streaming pass after each.
    std::vector<int16_t> PullStreaming(uint32_t frames, uint32_t step = 441)
    {
        std::vector<int16_t> all;
        while (frames > 0) {
            const uint32_t n = std::min(frames, step);
            std::vector<int16_t> part = Pull(n);
            all.insert(all.end(), part.begin(), part.end());
            CSmSoundManager::RunStreamPass();
            frames -= n;
        }
        return all;
    }

    static CSmSound* PlayWith(CSmSoundEntry* entry, std::initializer_list<CSmPlayOption> options)
    {
        CSmPlayParams params;
        for (const CSmPlayOption& o : options)
            o.ApplyTo(params);
        return CSmSound::Play(entry, params);
    }

    CTestTempDir dir;
    CSmSoundGroup* group = nullptr;
};

std::string RampBytesOf(const std::vector<int16_t>& samples, size_t first, size_t count)
{
    return std::string(reinterpret_cast<const char*>(samples.data()) + first * 2, count * 2);
}

bool AllZero(const std::vector<int16_t>& samples, size_t first = 0)
{
    for (size_t i = first; i < samples.size(); i++) {
        if (samples[i] != 0)
            return false;
    }
    return true;
}

} // namespace

TEST(SmSoundVolume, TheLawIs2500TimesLog10ClampedToMinus10000)
{
    const struct {
        float v;
        LONG mB;
    } cases[] = {{0.0f, -10000}, {0.5f, -752}, {1.0f, 0}, {2.0f, 0}, {0.25f, -1505}, {0.0001f, -10000}, {0.7f, -387}};
    for (auto& c : cases)
        EXPECT_EQ(SmVolumeToAttenuation(c.v), c.mB) << c.v;
}

TEST_F(SmSoundTest, WithoutADeviceStartUpCompletesAndEverySoundCallDoesNothing)
{
    Stop();
    Start(DSoundTestBackend::None, 1);
    EXPECT_EQ(CSmSoundManager::soundEnabled, 0);
    EXPECT_FALSE(CSmListener::Init(0.01f, 1.0f, 0.0f));
    CSmSoundEntry* entry = Entry("a.wav", WaveFile(2, 44100, 16, RampPcm16(44100, 2)));
    ASSERT_NE(entry, nullptr);
    CSmSound* handle = reinterpret_cast<CSmSound*>(1);
    EXPECT_EQ(CSmSound::PlayEx(entry, &handle, nullptr), 0u);
    EXPECT_EQ(handle, nullptr);
    CSmSoundManager::PauseGroup(group);
    CSmSoundManager::ResumeGroup(group);
    group->SetVolume(0.5f);
    EXPECT_EQ(group->volume, 1.0f);
    CSmSoundManager::SetFocusMute(true);
    EXPECT_EQ(CSmSoundManager::focusMuted, 0);
    CSmSoundManager::Update();
    CSmListener::Update({0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0.02f);
    CSmSoundManager::RunStreamPass();
}

TEST_F(SmSoundTest, ShortSoundsPlayStaticAndThreeSecondsOrMoreStream)
{
    CSmSoundEntry* entry = Entry("five.wav", WaveFile(2, 44100, 16, RampPcm16(5 * 44100, 2)));
    CSmSound* s = PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::kStartPosition, 2001)});
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->streamed); // 2999 ms left
    s = PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::kStartPosition, 2000)});
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->streamed); // 3000 ms left
    EXPECT_EQ(CSmSoundManager::GetStreamCount(), 1u);
    CSmSoundEntry* shortLoop = Entry("two.wav", WaveFile(2, 44100, 16, RampPcm16(2 * 44100, 2)));
    s = PlayWith(shortLoop, {CSmPlayOption::Uint(CSmPlayOption::kLoop, 1)});
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->streamed);
    EXPECT_TRUE(CSmSoundManager::IsSoundAlive(s));
}

TEST_F(SmSoundTest, AStreamedSoundComesOutEqualToItsSourceThenSilence)
{
    // 10 s; now and then several segments finish between two passes, which
    // must be refilled in event order.
    const uint32_t frames = 10 * 44100;
    const std::string pcm = RampPcm16(frames, 2);
    CSmSoundEntry* entry = Entry("ramp.wav", WaveFile(2, 44100, 16, pcm));
    CSmSound* s = PlayWith(entry, {});
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->streamed);
    std::vector<int16_t> out;
    uint32_t done = 0;
    int step = 0;
    while (done < frames + 44100) {
        const uint32_t n = (++step % 97 == 0) ? 2 * 16537 + 5000 : 441;
        std::vector<int16_t> part = Pull(n);
        out.insert(out.end(), part.begin(), part.end());
        CSmSoundManager::RunStreamPass();
        done += n;
    }
    ASSERT_EQ(RampBytesOf(out, 0, frames * 2), pcm);
    EXPECT_TRUE(AllZero(out, frames * 2));
    EXPECT_TRUE(s->IsStopped());
}

TEST_F(SmSoundTest, AStreamStartedAtAnOffsetPlaysTheRestThenSilence)
{
    const uint32_t frames = 10 * 44100;
    const std::string pcm = RampPcm16(frames, 2);
    CSmSoundEntry* entry = Entry("ten.wav", WaveFile(2, 44100, 16, pcm));
    CSmSound* s = PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::kStartPosition, 6000)});
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->streamed);
    std::vector<int16_t> out = PullStreaming(5 * 44100);
    const size_t rest = 4 * 44100 * 2;
    ASSERT_EQ(RampBytesOf(out, 0, rest), pcm.substr(6 * 44100 * 4));
    EXPECT_TRUE(AllZero(out, rest));
    EXPECT_TRUE(s->IsStopped());
}

TEST_F(SmSoundTest, ALoopingStreamRepeatsItsSource)
{
    const uint32_t frames = 4 * 44100 + 123;
    const std::string pcm = RampPcm16(frames, 2);
    CSmSoundEntry* entry = Entry("loop.wav", WaveFile(2, 44100, 16, pcm));
    CSmSound* s = PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::kLoop, 1)});
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->streamed);
    std::vector<int16_t> out = PullStreaming(frames * 2 + 1000);
    EXPECT_EQ(RampBytesOf(out, 0, frames * 2), pcm);
    EXPECT_EQ(RampBytesOf(out, frames * 2, frames * 2), pcm);
    EXPECT_EQ(RampBytesOf(out, frames * 4, 2000), pcm.substr(0, 4000));
    EXPECT_FALSE(s->IsStopped());
    // The play time runs on over the loop: 1000 frames into the third round.
    EXPECT_EQ(s->GetPlayTime(), 22u);
}

TEST_F(SmSoundTest, TheThreeMutesSilenceAndVolumesComeBack)
{
    CSmSoundEntry* entry = Entry("dc.wav", WaveFile(2, 44100, 16, DcPcm16(44100, 2, 16384)));
    CSmSound* s = PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::kLoop, 1)});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Pull(10)[0], 16384);
    CSmSoundManager::SetFocusMute(true);
    EXPECT_EQ(Pull(10)[0], 0);
    CSmSoundManager::SetFocusMute(false);
    EXPECT_EQ(Pull(10)[0], 16384);
    group->muted = 1;
    s->ApplyVolume();
    EXPECT_EQ(Pull(10)[0], 0);
    group->muted = 0;
    s->muted = 1;
    s->ApplyVolume();
    EXPECT_EQ(Pull(10)[0], 0);
    s->muted = 0;
    group->SetVolume(0.5f); // -752 mB: 10^(-752/2000) of full scale
    EXPECT_NEAR(Pull(10)[0], 16384 * 0.42073, 2);
}

TEST_F(SmSoundTest, PauseAndResumeKeepThePosition)
{
    const std::string pcm = RampPcm16(44100, 2);
    CSmSoundEntry* entry = Entry("p.wav", WaveFile(2, 44100, 16, pcm));
    ASSERT_NE(PlayWith(entry, {}), nullptr);
    Pull(1000);
    CSmSoundManager::PauseGroup(group);
    EXPECT_TRUE(AllZero(Pull(500)));
    CSmSoundManager::ResumeGroup(group);
    EXPECT_EQ(RampBytesOf(Pull(100), 0, 200), pcm.substr(4000, 400));
}

TEST_F(SmSoundTest, AFinishedInstanceIsReusedAndHandlesAreClearedWithTheirSound)
{
    CSmSoundEntry* entry = Entry("short.wav", WaveFile(2, 44100, 16, RampPcm16(441, 2)));
    CSmSound* handle = nullptr;
    EXPECT_EQ(CSmSound::PlayEx(entry, &handle, nullptr), 1u);
    ASSERT_NE(handle, nullptr);
    CSmSound* first = handle;
    Pull(1000);
    EXPECT_TRUE(first->IsStopped());
    CSmSound* again = nullptr;
    EXPECT_EQ(CSmSound::PlayEx(entry, &again, nullptr), 1u);
    EXPECT_EQ(again, first);
    const CSmPlayOption volume = CSmPlayOption::Float(CSmPlayOption::kVolume, 0.5f);
    CSmSound* second = nullptr;
    EXPECT_EQ(CSmSound::PlayEx(entry, &second, &volume, nullptr), 2u);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->params.volume, 0.5f);
    CSmSoundManager::DestroyPlayedSounds(group);
    EXPECT_EQ(second, nullptr);
    EXPECT_FALSE(CSmSoundManager::IsSoundAlive(first));
}

TEST_F(SmSoundTest, PlayTimeCountsTheBytesPlayed)
{
    CSmSoundEntry* entry = Entry("t.wav", WaveFile(1, 22050, 16, RampPcm16(22050 * 2, 1)));
    CSmSound* s = PlayWith(entry, {});
    ASSERT_NE(s, nullptr);
    Pull(22050); // 0.5 s of output
    EXPECT_EQ(s->GetPlayTime(), 500u);
    Pull(44100 * 2);
    EXPECT_EQ(s->GetPlayTime(), 2000u); // not playing: the whole length

    CSmSoundEntry* longer = Entry("l.wav", WaveFile(2, 44100, 16, RampPcm16(44100 * 8, 2)));
    CSmSound* streamed = PlayWith(longer, {CSmPlayOption::Uint(CSmPlayOption::kStartPosition, 1000)});
    ASSERT_TRUE(streamed && streamed->streamed);
    PullStreaming(44100 * 4);
    EXPECT_EQ(streamed->GetPlayTime(), 5000u);
}

TEST_F(SmSoundTest, AMissingSoundPlaysAQuarterSecondOfSilence)
{
    CSmSoundEntry* entry = CSmSoundManager::CreateSound(group, (dir / "nothing.wav").c_str());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->data->GetSize(), 11024u);
    CSmSound* s = PlayWith(entry, {});
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->IsStopped());
    EXPECT_TRUE(AllZero(Pull(11000)));
    EXPECT_FALSE(s->IsStopped());
    Pull(100);
    EXPECT_TRUE(s->IsStopped());
}

TEST_F(SmSoundTest, ADamagedSoundPlaysNothing)
{
    CErrorBoxRecorder box;
    CSmSoundEntry* entry = Entry("bad.wav", std::string("RIFF....WAVEfmt ") + std::string(40, '\0'));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(CErrorBoxRecorder::Messages().size(), 1u);
    EXPECT_EQ(entry->data->GetSize(), 0u);
    CSmSound* handle = nullptr;
    EXPECT_EQ(CSmSound::PlayEx(entry, &handle, nullptr), 0u);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(SmSoundTest, TrimmingSparesPlayingAndPausedSoundsAndFreesTheSmallestFirst)
{
    CSmSoundEntry* playing = Entry("playing.wav", WaveFile(2, 44100, 16, RampPcm16(4000, 2)));
    CSmSoundEntry* paused = Entry("paused.wav", WaveFile(2, 44100, 16, RampPcm16(4000, 2)));
    Entry("idle-big.wav", WaveFile(2, 44100, 16, RampPcm16(3000, 2)));
    Entry("idle-small.wav", WaveFile(2, 44100, 16, RampPcm16(1000, 2)));
    ASSERT_NE(PlayWith(playing, {CSmPlayOption::Uint(CSmPlayOption::kLoop, 1)}), nullptr);
    CSmSound* p = PlayWith(paused, {CSmPlayOption::Uint(CSmPlayOption::kLoop, 1)});
    ASSERT_NE(p, nullptr);
    CSmSoundManager::PauseGroup(group);
    CSmSoundManager::ResumeGroup(group); // everything back...
    CSmSoundManager::PauseGroup(group);  // ...and paused again, as under the menu
    // Loaded: 16000 + 16000 + 12000 + 4000 = 48000 bytes.
    CSmSoundManager::budget = 48000 + 1000;
    Entry("new.wav", WaveFile(2, 44100, 16, RampPcm16(500, 2))); // 2044 bytes of file
    EXPECT_EQ(group->GetCount(), 4u);
    EXPECT_EQ(CSmSoundManager::FindSound(group, (dir / "idle-small.wav").c_str()), nullptr);
    EXPECT_NE(CSmSoundManager::FindSound(group, (dir / "idle-big.wav").c_str()), nullptr);
    CSmSoundManager::budget = 1000;
    Entry("newer.wav", WaveFile(2, 44100, 16, RampPcm16(500, 2)));
    EXPECT_NE(CSmSoundManager::FindSound(group, (dir / "playing.wav").c_str()), nullptr);
    EXPECT_NE(CSmSoundManager::FindSound(group, (dir / "paused.wav").c_str()), nullptr);
    EXPECT_EQ(CSmSoundManager::FindSound(group, (dir / "idle-big.wav").c_str()), nullptr);
    EXPECT_TRUE(CSmSoundManager::IsSoundAlive(p));
}

TEST_F(SmSoundTest, RemovingTheSoundsOfAnOwnerMissesNone)
{
    const uintptr_t owner = reinterpret_cast<uintptr_t>(this);
    const uintptr_t keys[] = {owner, 0, owner, owner, 7, owner, owner};
    int i = 0;
    for (uintptr_t key : keys) {
        CSmSoundEntry* e = Entry("o" + std::to_string(i++) + ".wav", WaveFile(1, 22050, 16, RampPcm16(10, 1)));
        e->ownerKey = key;
    }
    CSmSoundManager::RemoveSoundsOfOwner(group, owner);
    ASSERT_EQ(group->GetCount(), 2u);
    for (uint32_t e = 0; e < group->GetCount(); e++)
        EXPECT_NE(group->GetEntry(e)->ownerKey, owner);
    EXPECT_EQ(CSmSoundManager::FindSound(group, (dir / "o0.wav").c_str()), nullptr);
    EXPECT_NE(CSmSoundManager::FindSound(group, (dir / "o4.wav").c_str()), group->GetEntry(5));
}

TEST_F(SmSoundTest, A3dSoundAtTwiceItsMinimumDistancePlaysAtHalfAmplitude)
{
    // The listener faces +x from the origin.
    ASSERT_TRUE(CSmListener::Init(0.01f, 1.0f, 0.0f));
    CSmSoundEntry* entry = Entry("mono.wav", WaveFile(1, 44100, 16, DcPcm16(44100, 1, 16384)));
    CSmSound* s = PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::k3d, 1),
                                   CSmPlayOption::Vector(CSmPlayOption::kPosition, 200, 0, 0),
                                   CSmPlayOption::Uint(CSmPlayOption::kLoop, 1)});
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->is3d);
    std::vector<int16_t> out = Pull(10);
    EXPECT_NEAR(out[0], 8192, 1);
    EXPECT_NEAR(out[1], 8192, 1);
    // The rolloff factor is the mixer's: the software law stays out.
    CSmSoundManager::Update();
    EXPECT_EQ(s->factor, 1.0f);
    static_cast<CSmSound3D*>(s)->SetPosition({400, 0, 0});
    CSmListener::CommitDeferredSettings();
    EXPECT_NEAR(Pull(10)[0], 4096, 1);
}

TEST_F(SmSoundTest, WithoutAListenerUpdateAttenuatesLinearlyWithDistance)
{
    Stop();
    Start(DSoundTestBackend::Manual, 0);
    EXPECT_FALSE(CSmListener::Init(0.01f, 1.0f, 0.0f));
    CSmSoundEntry* entry = Entry("m.wav", WaveFile(1, 44100, 16, DcPcm16(44100, 1, 16384)));
    CSmSound* s =
        PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::k3d, 1), CSmPlayOption::Uint(CSmPlayOption::kLoop, 1),
                         CSmPlayOption::Float(CSmPlayOption::kMinDistance, 100),
                         CSmPlayOption::Float(CSmPlayOption::kMaxDistance, 1100)});
    ASSERT_NE(s, nullptr);
    const struct {
        float z;
        float factor;
    } cases[] = {{50, 1.0f}, {100, 1.0f}, {350, 0.75f}, {600, 0.5f}, {1100, 0.0f}, {1200, 0.0f}};
    for (auto& c : cases) {
        static_cast<CSmSound3D*>(s)->SetPosition({0, 0, c.z});
        CSmSoundManager::Update();
        EXPECT_NEAR(s->factor, c.factor, 1e-6) << c.z;
    }
}

TEST_F(SmSoundTest, TheListenerFollowsTheCamera)
{
    ASSERT_TRUE(CSmListener::Init(0.01f, 1.0f, 0.0f));
    EXPECT_EQ(CSmListener::front.x, 1.0f);
    CSmListener::Update({0, 0, 0}, {0, 0, 10}, {0, 2, 0.5f}, 0.0f);
    EXPECT_EQ(CSmListener::velocity.x, 0.0f); // smoothed time 0: no velocity
    EXPECT_NEAR(CSmListener::front.z, 1.0f, 1e-6);
    EXPECT_NEAR(CSmListener::top.y, 1.0f, 1e-6); // up made perpendicular to the front
    EXPECT_NEAR(CSmListener::top.z, 0.0f, 1e-6);
    CSmListener::Update({3, 0, 0}, {3, 0, 10}, {0, 1, 0}, 0.1f);
    EXPECT_NEAR(CSmListener::smoothedTime, 0.03f, 1e-6);
    EXPECT_NEAR(CSmListener::velocity.x, 100.0f, 1e-3);
    CSmListener::CommitDeferredSettings();
    // Facing +z with the top +y, a sound at +x is on the right... or the left,
    // as DirectSound's left-handed frame has it: +x is to the right.
    CSmSoundEntry* entry = Entry("r.wav", WaveFile(1, 44100, 16, DcPcm16(44100, 1, 16384)));
    ASSERT_NE(PlayWith(entry, {CSmPlayOption::Uint(CSmPlayOption::k3d, 1),
                               CSmPlayOption::Vector(CSmPlayOption::kPosition, 103, 0, 0)}),
              nullptr);
    std::vector<int16_t> out = Pull(10);
    EXPECT_LT(out[0], out[1] / 4);
}

TEST(SmSoundThread, OnTheAudioDriverStreamsEndAndShutdownJoinsAtOnce)
{
    CTestTempDir dir;
    CSmSoundManager::flags3d = 1;
    CSmSoundGroup* group = new CSmSoundGroup; // the "dummy" driver, real time
    if (!CSmSoundManager::soundEnabled) {
        delete group;
        GTEST_SKIP() << "no audio driver";
    }
    CSmSoundEntry* entry = CSmSoundManager::CreateSound(
        group, dir.Write("s.wav", WaveFile(1, 22050, 16, RampPcm16(22050 * 3, 1))).c_str());
    CSmSound* handle = nullptr;
    CSmSound::PlayEx(entry, &handle, nullptr);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(handle->streamed);
    const auto start = std::chrono::steady_clock::now();
    while (!handle->IsStopped() && std::chrono::steady_clock::now() - start < std::chrono::seconds(8))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(handle->IsStopped());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    const auto before = std::chrono::steady_clock::now();
    delete group;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_EQ(handle, nullptr);
}

namespace {

// Set in the exit test's child: the process then lingers after every static
// object is destroyed, as a program's own exit path does (Xlib's after the
// display dies), so that a streaming thread still running meets the freed
// stream list.
bool s_lingerAfterStatics = false;

void LingerAfterStatics()
{
    if (s_lingerAfterStatics)
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

// Before every static constructor: the hook so registered runs after every
// static destructor.
__attribute__((constructor(101))) void RegisterLingerAfterStatics()
{
    std::atexit(LingerAfterStatics);
}

// The child's group: reachable from here, so the leak check at exit finds
// the sounds it holds in use.
CSmSoundGroup* s_exitingGroup = nullptr;

} // namespace

TEST(SmSoundThread, AnExitWithAStreamPlayingStopsTheThreadBeforeTheStaticsDie)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CTestTempDir dir;
    const std::string path = dir.Write("long.wav", WaveFile(2, 44100, 16, RampPcm16(44100 * 5, 2)));
    EXPECT_EXIT(
        {
            s_lingerAfterStatics = true;
            CSmSoundManager::flags3d = 1;
            s_exitingGroup = new CSmSoundGroup; // the "dummy" driver, real time
            if (!CSmSoundManager::soundEnabled)
                std::exit(0); // no audio driver: nothing to show
            CSmSoundEntry* entry = CSmSoundManager::CreateSound(s_exitingGroup, path.c_str());
            CSmSound* handle = nullptr;
            CSmSound::PlayEx(entry, &handle, nullptr);
            if (!handle || !handle->streamed)
                std::exit(2);
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the thread is in its passes
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
