// The background sound on the mixer's manual backend: the volumes the music
// manager gives each track's sound frame by frame through cross-fades, the
// sixteen ambient slots, and, on the real audio thread, a minute of switching
// that must not pile up sound instances.
#include "Source/GameClasses/QmBgSoundManager.h"
#include "tests/Source/GameClasses/SoundTestFixture.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

class QmBgSoundManagerTest : public GameSoundTest {
protected:
    void SetUp() override
    {
        GameSoundTest::SetUp();
        music = CQmBgSoundManager::Create();
        a = DcWave("music/a.wav", 1.0);
        b = DcWave("music/b.wav", 1.0);
        c = DcWave("music/c.wav", 1.0);
    }
    void TearDown() override
    {
        CQmBgSoundManager::Destroy(g_bgSoundManager);
        GameSoundTest::TearDown();
    }

    void Frame(float seconds)
    {
        timer.delta = seconds;
        music->Update();
    }

    // Switches to a track at once (the 0.01 s switch with a long enough frame).
    CSmSound* Instant(const std::string& file, float volume)
    {
        timer.delta = 0.25f;
        music->StartMain(file.c_str(), volume, 0.0f, true, 0, false);
        return Current();
    }

    CSmSound* Current() const { return music->current ? music->current->sound : nullptr; }
    CSmSound* Incoming() const { return music->incoming ? music->incoming->sound : nullptr; }

    static float Volume(CSmSound* sound) { return sound ? sound->params.volume : -1.0f; }

    CQmBgSoundManager* music = nullptr;
    std::string a, b, c;
};

} // namespace

TEST_F(QmBgSoundManagerTest, ACrossFadeOfTwoSecondsAtQuarterSecondFramesEndsOnTheEighthUpdate)
{
    music->SetVolume(0.5f);
    CSmSound* old = Instant(a, 0.8f);
    ASSERT_NE(nullptr, old);
    EXPECT_FLOAT_EQ(0.4f, Volume(old));

    music->StartMain(b.c_str(), 0.6f, 2.0f, true, 0, false);
    CSmSound* fresh = Incoming();
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(0.0f, Volume(fresh)); // starts silent
    for (int k = 1; k <= 8; ++k) {
        Frame(0.25f);
        const float r = k / 8.0f;
        EXPECT_NEAR(0.6f * r * 0.5f, Volume(fresh), 1e-6f) << k;
        if (k < 8) {
            EXPECT_NEAR(0.8f * (1.0f - r) * 0.5f, Volume(old), 1e-6f) << k;
            EXPECT_TRUE(old->IsPlaying()) << k;
            EXPECT_EQ(old, Current());
        }
    }
    EXPECT_FALSE(old->IsPlaying());
    EXPECT_EQ(fresh, Current());
    EXPECT_EQ(nullptr, music->incoming);
    EXPECT_EQ(0.0f, music->fadeTime);
    Frame(0.25f);
    EXPECT_FLOAT_EQ(0.3f, Volume(fresh));
    EXPECT_TRUE(music->mainStarted);
}

TEST_F(QmBgSoundManagerTest, TheSameTrackAtPositionZeroOnlyChangesItsVolumeAlsoWhileItFades)
{
    CSmSound* track = Instant(a, 1.0f);
    const size_t instances = SoundInstanceCount();
    music->StartMain(a.c_str(), 0.5f, 3.0f, true, 0, false);
    EXPECT_EQ(track, Current());
    EXPECT_EQ(nullptr, music->incoming);
    EXPECT_EQ(instances, SoundInstanceCount());
    EXPECT_FLOAT_EQ(0.5f, music->mainFactor);
    EXPECT_FLOAT_EQ(0.5f, Volume(track));

    // Fading out: still no restart, only the volume of the call.
    music->StopMain(2.0f);
    Frame(0.5f);
    music->StartMain(a.c_str(), 0.3f, 1.0f, true, 0, false);
    EXPECT_EQ(track, Current());
    EXPECT_EQ(instances, SoundInstanceCount());
    EXPECT_FLOAT_EQ(0.3f, Volume(track));

    // Another start position is a switch to the same file.
    music->StartMain(a.c_str(), 0.3f, 1.0f, true, 500, false);
    EXPECT_NE(nullptr, Incoming());
    EXPECT_NE(track, Incoming());
}

TEST_F(QmBgSoundManagerTest, AStartDuringASwitchReplacesTheIncomingTrackAndKeepsTheFirstFadeTime)
{
    CSmSound* first = Instant(a, 1.0f);
    music->StartMain(b.c_str(), 1.0f, 2.0f, true, 0, false);
    CSmSound* second = Incoming();
    Frame(0.25f);
    Frame(0.25f);
    Frame(0.25f);
    music->StartMain(c.c_str(), 0.2f, 5.0f, true, 0, false);
    CSmSound* third = Incoming();
    ASSERT_NE(nullptr, third);
    EXPECT_FALSE(second->IsPlaying());
    EXPECT_FLOAT_EQ(0.375f, Volume(third)); // r x the factor of the switch
    EXPECT_FLOAT_EQ(1.0f, music->mainFactor);
    EXPECT_FLOAT_EQ(2.0f, music->fadeTime);
    for (int k = 4; k <= 8; ++k)
        Frame(0.25f);
    EXPECT_FALSE(first->IsPlaying());
    EXPECT_EQ(third, Current());
    EXPECT_FLOAT_EQ(1.0f, Volume(third));
}

TEST_F(QmBgSoundManagerTest, StoppingSilencesAtOnceOrFadesToNothing)
{
    // StopMain(0) during a switch: both tracks stop in the call.
    CSmSound* first = Instant(a, 1.0f);
    music->StartMain(b.c_str(), 1.0f, 2.0f, true, 0, false);
    CSmSound* second = Incoming();
    Frame(0.25f);
    music->StopMain(0.0f);
    EXPECT_FALSE(first->IsPlaying());
    EXPECT_FALSE(second->IsPlaying());
    EXPECT_EQ(nullptr, music->current);
    EXPECT_EQ(nullptr, music->incoming);
    EXPECT_TRUE(AllZero(Pull(441)));

    // StopMain(1): the track fades from its factor to silence and goes.
    CSmSound* track = Instant(c, 0.8f);
    music->StopMain(1.0f);
    const float expected[] = {0.6f, 0.4f, 0.2f};
    for (float v : expected) {
        Frame(0.25f);
        EXPECT_NEAR(v, Volume(track), 1e-6f);
        EXPECT_TRUE(track->IsPlaying());
    }
    Frame(0.25f);
    EXPECT_FALSE(track->IsPlaying());
    EXPECT_EQ(nullptr, music->current);
    CGeString name("untouched");
    uint32_t position = 7;
    float factor = 9.0f;
    EXPECT_FALSE(music->GetMainState(name, position, factor));
    EXPECT_STREQ("untouched", name.c_str());
    EXPECT_EQ(7u, position);
    EXPECT_EQ(9.0f, factor);
}

TEST_F(QmBgSoundManagerTest, MasterVolumeAndRelativeVolumes)
{
    const struct {
        float set, stored;
    } masters[] = {{0.0f, 0.001f}, {5.0f, 1.0f}, {-1.0f, 0.001f}, {0.25f, 0.25f}};
    for (const auto& m : masters) {
        music->SetVolume(m.set);
        EXPECT_FLOAT_EQ(m.stored, music->master) << m.set;
    }

    music->SetVolume(0.5f);
    timer.delta = 0.25f;
    music->StartMain(a.c_str(), 0.4f, 0.0f, true, 0, true);
    EXPECT_FLOAT_EQ(0.8f, music->mainFactor);
    EXPECT_FLOAT_EQ(0.4f, Volume(Current()));
    music->SetVolume(1.0f); // applied at once to the playing track
    EXPECT_FLOAT_EQ(0.8f, Volume(Current()));
}

TEST_F(QmBgSoundManagerTest, AnInstantSwitchCompletesInTheCallOnlyWithAFrameOfAtLeastAHundredthOfASecond)
{
    const struct {
        float delta;
        bool completes;
    } cases[] = {{0.01f, true}, {0.5f, true}, {0.005f, false}};
    for (const auto& k : cases) {
        CSmSound* first = Instant(a, 1.0f);
        timer.delta = k.delta;
        music->StartMain(b.c_str(), 1.0f, 0.0f, true, 0, false);
        EXPECT_EQ(k.completes, music->incoming == nullptr) << k.delta;
        EXPECT_EQ(!k.completes, first->IsPlaying()) << k.delta;
        music->StopMain(0.0f);
    }
}

TEST_F(QmBgSoundManagerTest, MainStateDescribesTheIncomingTrackElseTheCurrentOne)
{
    Instant(a, 0.7f);
    CGeString name;
    uint32_t position = 99;
    float factor = 0.0f;
    ASSERT_TRUE(music->GetMainState(name, position, factor));
    EXPECT_EQ(Lower(a), name.c_str()); // sounds keep their lower-cased path; the data root is empty here
    EXPECT_EQ(0u, position);
    EXPECT_FLOAT_EQ(0.7f, factor);
    Pull(4410); // 100 ms into the track
    music->GetMainState(name, position, factor);
    EXPECT_EQ(100u, position);

    music->StartMain(b.c_str(), 0.2f, 2.0f, true, 0, false);
    ASSERT_TRUE(music->GetMainState(name, position, factor));
    EXPECT_EQ(Lower(b), name.c_str());
    EXPECT_FLOAT_EQ(0.2f, factor);
}

TEST_F(QmBgSoundManagerTest, AMissingSoundChangesNothing)
{
    delete g_soundManager;
    g_soundManager = group = nullptr;
    music->StartMain("nowhere.ogg", 1.0f, 1.0f, true, 0, false);
    EXPECT_FALSE(music->mainStarted);
    EXPECT_EQ(nullptr, music->current);
    EXPECT_EQ(-1, music->StartAmbient("nowhere.ogg", 1.0f, 0.0f, true));
}

TEST_F(QmBgSoundManagerTest, SixteenAmbientSlotsAndTheSeventeenthIsRefused)
{
    const std::string rain = DcWave("amb/rain.wav", 1.0);
    for (int i = 0; i < CQmBgSoundManager::kAmbientSlots; ++i)
        EXPECT_EQ(i, music->StartAmbient(rain.c_str(), 0.5f, 1.0f, true));
    const size_t instances = SoundInstanceCount();
    EXPECT_EQ(16u, instances);
    EXPECT_EQ(-1, music->StartAmbient(rain.c_str(), 0.5f, 1.0f, true));
    EXPECT_EQ(instances, SoundInstanceCount());
    for (auto* record : music->ambient) {
        ASSERT_NE(nullptr, record);
        EXPECT_TRUE(record->ref.sound->IsPlaying());
    }
}

TEST_F(QmBgSoundManagerTest, TheSweepFreesRecordsOfFinishedSoundsAndTheLastFreeRecordIsReusedFirst)
{
    const std::string drip = DcWave("amb/drip.wav", 0.05);
    const std::string wind = DcWave("amb/wind.wav", 1.0);
    EXPECT_EQ(0, music->StartAmbient(drip.c_str(), 1.0f, 0.0f, false));
    EXPECT_EQ(1, music->StartAmbient(drip.c_str(), 1.0f, 0.0f, false));
    EXPECT_EQ(2, music->StartAmbient(wind.c_str(), 1.0f, 0.0f, true));
    Pull(4410); // the drips end
    EXPECT_EQ(1, music->StartAmbient(wind.c_str(), 1.0f, 0.0f, true));
    EXPECT_EQ(0, music->StartAmbient(wind.c_str(), 1.0f, 0.0f, true));
    EXPECT_EQ(3, music->StartAmbient(wind.c_str(), 1.0f, 0.0f, true));

    // A sound removed with its entry leaves its record free as well.
    CSmSoundManager::RemoveSound(group, CGeString(wind.c_str()));
    EXPECT_EQ(3, music->StartAmbient(drip.c_str(), 1.0f, 0.0f, true));
}

TEST_F(QmBgSoundManagerTest, AmbientSoundsFollowTheMusicVolumeAndStopSilentAtOnce)
{
    const std::string rain = DcWave("amb/rain.wav", 1.0, 8000);
    music->SetVolume(0.5f);
    ASSERT_EQ(0, music->StartAmbient(rain.c_str(), 0.5f, 2.0f, true));
    CSmSound* sound = music->ambient[0]->ref.sound;
    ASSERT_NE(nullptr, sound);
    EXPECT_FLOAT_EQ(0.5f, sound->params.volume);
    EXPECT_FLOAT_EQ(0.5f, sound->factor);
    std::vector<int16_t> out = Pull(441);
    EXPECT_NEAR(HeardAt(8000, 0.25f), out[100], 2); // volume 0.5 x master 0.5
    music->SetVolume(1.0f);
    out = Pull(441);
    EXPECT_NEAR(HeardAt(8000, 0.5f), out[100], 2);

    music->StopAllAmbient();
    EXPECT_EQ(nullptr, music->ambient[0]);
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_TRUE(AllZero(Pull(441)));

    // Started again (the stopped instance is reused): heard, not left muted.
    ASSERT_EQ(0, music->StartAmbient(rain.c_str(), 0.5f, 2.0f, true));
    out = Pull(441);
    EXPECT_NEAR(HeardAt(8000, 0.5f), out[100], 2);
}

// The real audio thread of the dummy driver: a minute of 50 ms frames with a
// switch every 2 s and an ambient start every second keeps a bounded set of
// sound instances.
TEST(QmBgSoundManagerThread, AMinuteOfCrossFadesAndAmbientStartsLeavesNoGrowingCountOfInstances)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    CTestTempDir dir;
    std::string pcm(44100 * 4 / 2, '\0');
    const std::string files[] = {dir.Write("a.wav", WaveFile(2, 44100, 16, pcm)),
                                 dir.Write("b.wav", WaveFile(2, 44100, 16, pcm)),
                                 dir.Write("c.wav", WaveFile(2, 44100, 16, pcm))};
    const std::string drip = dir.Write("drip.wav", WaveFile(2, 44100, 16, std::string(4410 * 4, '\0')));
    CSmSoundManager::streamThreadWanted = true;
    g_soundManager = new CSmSoundGroup;
    SoundTestClock clock;
    CGeTimer timer(25.0f, &clock);
    timer.delta = 0.05f;
    g_geTimer = &timer;
    CQmBgSoundManager* music = CQmBgSoundManager::Create();
    ASSERT_TRUE(CSmSoundManager::soundEnabled);

    size_t atTwenty = 0;
    for (int frame = 0; frame < 1200; ++frame) {
        if (frame % 40 == 0)
            music->StartMain(files[(frame / 40) % 3].c_str(), 0.8f, 1.0f, true, 0, false);
        if (frame % 20 == 0)
            music->StartAmbient(drip.c_str(), 0.5f, 0.0f, false);
        if (frame % 100 == 50)
            music->StopAllAmbient();
        CSmSoundManager::Update();
        music->Update();
        if (frame == 400)
            atTwenty = SoundInstanceCount();
    }
    const size_t atSixty = SoundInstanceCount();
    EXPECT_GT(atTwenty, 3u);
    EXPECT_LE(atSixty, atTwenty);
    EXPECT_LE(atSixty, 3u + 16u);

    CQmBgSoundManager::Destroy(music);
    delete g_soundManager;
    g_soundManager = nullptr;
    g_geTimer = nullptr;
}
