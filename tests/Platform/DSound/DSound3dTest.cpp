// 3D buffers and the listener: the distance law with the engine's 100 / 3000
// distances, muting beyond the maximum, stereo placement from the listener's
// orientation, cones, modes, and deferred settings. Every source is mono DC
// 16384, so each output sample is 16384 times the channel's gain.
#include "DSoundTestSupport.h"

#include <cmath>

namespace {

class DSound3d : public CManualSoundTest {
protected:
    void SetUp() override
    {
        CManualSoundTest::SetUp();
        IDirectSoundBuffer* primary = CreatePrimary(kPrimary3d);
        m_listener = Query<IDirectSound3DListener>(primary, IID_IDirectSound3DListener);
    }

    // A playing looped source with the engine's start settings at position.
    IDirectSound3DBuffer* CreateSource(DWORD flags, float x, float y, float z, IDirectSoundBuffer** buffer = nullptr)
    {
        IDirectSoundBuffer* created = Create(flags, PcmFormat(44100, 1, 16), 400);
        FillConstant(created, 400, 16384);
        auto* source = Query<IDirectSound3DBuffer>(created, IID_IDirectSound3DBuffer);
        DS3DBUFFER p = {};
        p.dwSize = sizeof(p);
        p.vPosition = {x, y, z};
        p.dwInsideConeAngle = 360;
        p.dwOutsideConeAngle = 360;
        p.lConeOutsideVolume = DSBVOLUME_MIN; // the engine's law turns its default 0 into this
        p.flMinDistance = 100;
        p.flMaxDistance = 3000;
        p.dwMode = DS3DMODE_NORMAL;
        EXPECT_EQ(source->SetAllParameters(&p, DS3D_IMMEDIATE), DS_OK);
        created->Play(0, 0, DSBPLAY_LOOPING);
        if (buffer)
            *buffer = created;
        m_sources.push_back(created);
        return source;
    }

    // Only the newest source plays.
    void StopOthers()
    {
        for (size_t i = 0; i + 1 < m_sources.size(); i++)
            m_sources[i]->Stop();
    }

    void Face(float frontX, float frontY, float frontZ)
    {
        ASSERT_EQ(m_listener->SetOrientation(frontX, frontY, frontZ, 0, 1, 0, DS3D_IMMEDIATE), DS_OK);
    }

    IDirectSound3DListener* m_listener = nullptr;
    std::vector<IDirectSoundBuffer*> m_sources;
};

TEST_F(DSound3d, LevelFallsAsMinOverDistanceHeldAtTheMaximumAndMutedBeyondItWhenAsked)
{
    struct Case {
        float distance;
        DWORD flags;
        int level;
    };
    const Case cases[] = {
        {0, kStatic3d, 16384},     {50, kStatic3d, 16384},    {100, kStatic3d, 16384},
        {200, kStatic3d, 8192},    {400, kStatic3d, 4096},    {1500, kStatic3d, 1092},
        {3000, kStatic3d, 546},    {6000, kStatic3d, 546},    {3000, kStreamed3d, 546},
        {6000, kStreamed3d, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "distance " << c.distance << std::hex << " flags 0x" << c.flags);
        IDirectSoundBuffer* buffer = nullptr;
        CreateSource(c.flags, 0, 0, c.distance, &buffer);
        StopOthers();
        const DWORD before = Cursor(buffer);
        EXPECT_FRAME_NEAR(PullOne(), c.level, c.level);
        // A muted source goes on playing: the engine would take it as finished.
        EXPECT_EQ(Status(buffer), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
        EXPECT_NE(Cursor(buffer), before);
    }
}

TEST_F(DSound3d, RolloffZeroStopsAttenuationAndTheDistanceFactorChangesNothing)
{
    IDirectSoundBuffer* buffer = nullptr;
    CreateSource(kStatic3d, 0, 0, 200, &buffer);
    ASSERT_EQ(m_listener->SetDistanceFactor(0.01f, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(m_listener->SetRolloffFactor(1.0f, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(m_listener->SetDopplerFactor(0.0f, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(m_listener->CommitDeferredSettings(), DS_OK);
    float rolloff = -1;
    ASSERT_EQ(m_listener->GetRolloffFactor(&rolloff), DS_OK);
    EXPECT_FLOAT_EQ(rolloff, 1.0f);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);

    m_listener->SetDistanceFactor(1.0f, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);

    m_listener->SetRolloffFactor(0.0f, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 16384, 16384);

    // The buffer's own volume multiplies with the 3D gain.
    m_listener->SetRolloffFactor(1.0f, DS3D_IMMEDIATE);
    buffer->SetVolume(-602);
    EXPECT_FRAME_NEAR(PullOne(), 4096, 4096);

    EXPECT_EQ(m_listener->SetRolloffFactor(10.5f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    EXPECT_EQ(m_listener->SetDistanceFactor(0.0f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    EXPECT_EQ(m_listener->SetPosition(0, 0, 0, 7), DSERR_INVALIDPARAM);
}

TEST_F(DSound3d, EngineStartOrientationPlacesSourcesLeftRightAndAhead)
{
    // The engine starts with the listener looking along +x, top +y: its right
    // hand then points along -z.
    Face(1, 0, 0);
    struct Case {
        float x, z;
        int left, right;
    };
    const Case cases[] = {
        {0, -200, 0, 8192},    // right
        {0, 200, 8192, 0},     // left
        {200, 0, 8192, 8192},  // ahead
        {-200, 0, 8192, 8192}, // behind: stereo cannot tell
        {200, -200, 1697, 5793}, // 45 degrees right, at 283
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "source at (" << c.x << ", 0, " << c.z << ")");
        CreateSource(kStatic3d, c.x, 0, c.z);
        StopOthers();
        EXPECT_FRAME_NEAR(PullOne(), c.left, c.right);
    }
    // Height only changes the distance.
    CreateSource(kStatic3d, 0, 200, 0);
    StopOthers();
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    EXPECT_EQ(m_listener->SetOrientation(0, 1, 0, 0, 1, 0, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
}

TEST_F(DSound3d, ConesFadeLinearlyInMilliBelsBetweenTheirAngles)
{
    auto* source = CreateSource(kStatic3d, 0, 0, 0);
    ASSERT_EQ(source->SetConeOrientation(0, 0, 1, DS3D_IMMEDIATE), DS_OK);
    ASSERT_EQ(source->SetConeAngles(90, 180, DS3D_IMMEDIATE), DS_OK);
    ASSERT_EQ(source->SetConeOutsideVolume(DSBVOLUME_MIN, DS3D_IMMEDIATE), DS_OK);
    struct Case {
        double degrees; // between the cone's axis and the listener
        int level;
    };
    const Case cases[] = {{0, 8192}, {45, 8192}, {67.5, 26}, {90, 0}, {180, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.degrees << " degrees off the axis");
        const double a = c.degrees * M_PI / 180.0;
        const float x = (float)(200 * std::sin(a));
        const float z = (float)(200 * std::cos(a));
        // The listener at 200 looks at the source, so it stays centred.
        m_listener->SetPosition(x, 0, z, DS3D_IMMEDIATE);
        Face(-x, 0, -z);
        EXPECT_FRAME_NEAR(PullOne(), c.level, c.level);
    }
    // Full cones, or no orientation, do not attenuate.
    source->SetConeAngles(360, 360, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    source->SetConeAngles(90, 180, DS3D_IMMEDIATE);
    source->SetConeOrientation(0, 0, 0, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
}

TEST_F(DSound3d, HeadRelativeSourcesFollowTheListenerAndDisabledOnesAreCentred)
{
    auto* source = CreateSource(kStatic3d, 0, 0, 200);
    ASSERT_EQ(source->SetMode(DS3DMODE_HEADRELATIVE, DS3D_IMMEDIATE), DS_OK);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    m_listener->SetPosition(1000, 0, -500, DS3D_IMMEDIATE);
    Face(1, 0, 0);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    source->SetPosition(200, 0, 0, DS3D_IMMEDIATE); // to the listener's right, wherever it looks
    EXPECT_FRAME_NEAR(PullOne(), 0, 8192);

    source->SetMode(DS3DMODE_DISABLE, DS3D_IMMEDIATE);
    source->SetPosition(5000, 0, 0, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 16384, 16384);
}

TEST_F(DSound3d, DeferredSettingsWaitForTheCommitAndImmediateOnesWin)
{
    auto* source = CreateSource(kStatic3d, 0, 0, 200);
    ASSERT_EQ(source->SetPosition(0, 0, 400, DS3D_DEFERRED), DS_OK);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    DS3DBUFFER active = {};
    ASSERT_EQ(source->GetAllParameters(&active), DS_OK);
    EXPECT_FLOAT_EQ(active.vPosition.z, 200.0f);
    ASSERT_EQ(m_listener->CommitDeferredSettings(), DS_OK);
    EXPECT_FRAME_NEAR(PullOne(), 4096, 4096);

    source->SetPosition(0, 0, 800, DS3D_DEFERRED);
    source->SetPosition(0, 0, 200, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    m_listener->CommitDeferredSettings();
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);

    // An immediate change applies only itself: other deferred values wait.
    source->SetMinDistance(50, DS3D_DEFERRED);
    source->SetMaxDistance(3000, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 8192, 8192);
    m_listener->CommitDeferredSettings();
    EXPECT_FRAME_NEAR(PullOne(), 4096, 4096);

    // The listener's deferred moves wait as well.
    m_listener->SetPosition(0, 0, 150, DS3D_DEFERRED);
    EXPECT_FRAME_NEAR(PullOne(), 4096, 4096);
    m_listener->CommitDeferredSettings();
    EXPECT_FRAME_NEAR(PullOne(), 16384, 16384);
}

TEST_F(DSound3d, ParametersOutsideTheirRangesChangeNothing)
{
    auto* source = CreateSource(kStatic3d, 0, 0, 200);
    DS3DBUFFER good = {};
    ASSERT_EQ(source->GetAllParameters(&good), DS_OK);
    struct Case {
        const char* what;
        void (*spoil)(DS3DBUFFER&);
    };
    const Case cases[] = {
        {"mode 3", [](DS3DBUFFER& p) { p.dwMode = 3; }},
        {"inside wider than outside", [](DS3DBUFFER& p) { p.dwInsideConeAngle = 200, p.dwOutsideConeAngle = 100; }},
        {"cone over 360", [](DS3DBUFFER& p) { p.dwOutsideConeAngle = 361; }},
        {"outside volume above 0", [](DS3DBUFFER& p) { p.lConeOutsideVolume = 1; }},
        {"negative distance", [](DS3DBUFFER& p) { p.flMinDistance = -1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DS3DBUFFER bad = good;
        c.spoil(bad);
        EXPECT_EQ(source->SetAllParameters(&bad, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
        DS3DBUFFER now = {};
        source->GetAllParameters(&now);
        EXPECT_EQ(std::memcmp(&now, &good, sizeof(now)), 0);
    }
    EXPECT_EQ(source->SetPosition(0, 0, 1, 2), DSERR_INVALIDPARAM);

    // Distances the engine sends for a sound without them: never a division
    // by zero; no minimum silences everything away from the listener, a
    // maximum below the minimum counts as the minimum.
    source->SetMinDistance(0, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 0, 0);
    source->SetMinDistance(100, DS3D_IMMEDIATE);
    source->SetMaxDistance(0, DS3D_IMMEDIATE);
    EXPECT_FRAME_NEAR(PullOne(), 16384, 16384);
}

} // namespace
