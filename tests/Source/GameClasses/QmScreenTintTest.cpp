// The screen shake against the hub slot's 2D and 3D cameras, frame by frame:
// how long each kind of shake lasts, the enlarged 2D view, the sideways jolts
// of the eye and the target, starts during a shake, and the cameras standing
// exactly where they stood once it ends. Then "ScreenTint" from the scripts.
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmScreenTint.h"
#include "tests/Source/GameClasses/ScriptTestFixture.h"

#include <cmath>
#include <cstring>

namespace {

class QmScreenTintTest : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        previous2d = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
        previous3d = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
        screen.screenWidth = 1280;
        screen.screenHeight = 1024;
        screen.frame.SetPosition({3.0f, 4.0f, 0.0f});
        screen.frame.SetAngles({0.0f, 0.0f, 0.25f});
        screen.frame.UpdateWorldMatrix();
        LookFrom({0.0f, 5.0f, -10.0f}, {10.0f, 0.0f, 0.0f});
        CGeHub::s_cameras2d[CGeHub::s_currentSlot] = &screen;
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = &scene;
    }

    void TearDown() override
    {
        CGeHub::s_cameras2d[CGeHub::s_currentSlot] = previous2d;
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = previous3d;
        ScriptTest::TearDown();
    }

    void LookFrom(const Vec3& eye, const Vec3& target)
    {
        scene.eye = eye;
        scene.target = target;
        scene.UpdateView();
        scene.frame.UpdateWorldMatrix();
        MatrixInverse(scene.frame.world, scene.view);
    }

    // Everything of both cameras that a shake touches, as bytes.
    struct Snapshot {
        Vec3 position2d, scale2d, angles2d, eye, target, angles3d;
        Matrix4 world2d, view;
    };
    Snapshot Take() const
    {
        Snapshot s;
        std::memset(&s, 0, sizeof s);
        s.position2d = screen.frame.position;
        s.scale2d = screen.frame.scale;
        s.angles2d = screen.frame.angles;
        s.eye = scene.eye;
        s.target = scene.target;
        s.angles3d = scene.frame.angles;
        s.world2d = screen.frame.world;
        s.view = scene.view;
        return s;
    }
    static bool Same(const Snapshot& a, const Snapshot& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    // Updates with frames of dt seconds until the shake ends; the count.
    int RunToEnd(CQmScreenTint& tint, double dt, const Snapshot* still = nullptr)
    {
        int updates = 0;
        while (tint.IsActive() && updates < 1000) {
            Frame(dt);
            tint.Update();
            ++updates;
            if (still && tint.IsActive()) {
                EXPECT_TRUE(Same(*still, Take())) << "moved at update " << updates;
            }
        }
        return updates;
    }

    CGmStaticCamera screen;
    CGmPerspectiveCamera scene;
    CGmCamera* previous2d = nullptr;
    CGmCamera* previous3d = nullptr;
};

} // namespace

TEST_F(QmScreenTintTest, EachShakeLastsItsTimeAndLeavesTheCamerasWhereTheyStood)
{
    struct Case {
        int32_t amplitude;
        float duration;
        double dt;
        int updates;
    };
    const Case cases[] = {
        {20, -1.0f, 0.04, 6},  // 20, 18, 16, 14, 12, 10, then 8 ends it
        {-20, -1.0f, 0.04, 6}, // the magnitude decays the same way
        {11, -1.0f, 0.04, 1},  // 9 is already below 10
        {20, 1.0f, 0.25, 4},   // seconds of frame time
        {0, 1.0f, 0.25, 4},    // runs its time, moving nothing
        {20, 0.0f, 0.25, 1},   // ends at its first update
    };
    const Snapshot before = Take();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.amplitude) + " for " + std::to_string(c.duration));
        CQmScreenTint tint;
        tint.Start(c.amplitude, c.duration);
        EXPECT_TRUE(tint.IsActive());
        const Snapshot started = Take();
        EXPECT_EQ(c.updates, RunToEnd(tint, c.dt, c.amplitude == 0 ? &started : nullptr));
        EXPECT_FALSE(tint.IsActive());
        EXPECT_TRUE(Same(before, Take()));
    }
}

TEST_F(QmScreenTintTest, TheViewIsEnlargedAndBothCamerasJoltSidewaysInTurn)
{
    CQmScreenTint tint;
    tint.Start(20, 10.0f);
    // k = (1280 + 40) / 1280, around the centre: 20 and 16 pixels off.
    const float k = 1320.0f / 1280.0f;
    EXPECT_EQ(k, screen.frame.scale.x);
    EXPECT_EQ(k, screen.frame.scale.y);
    EXPECT_EQ(k, screen.frame.scale.z);
    EXPECT_NEAR(3.0f - 20.0f, screen.frame.position.x, 1e-4f);
    EXPECT_NEAR(4.0f - 16.0f, screen.frame.position.y, 1e-4f);
    EXPECT_NEAR(3.0f - 20.0f, screen.frame.world.m[3], 1e-4f); // written through to the matrix

    // The view runs along (1, 0, 1) on the ground: sideways is (-1, 0, 1)/sqrt 2.
    const float s = 20.0f / std::sqrt(2.0f);
    const struct {
        float x2d, side;
    } steps[] = {{-37.0f, 1.0f}, {-17.0f, 0.0f}, {-37.0f, 1.0f}};
    for (const auto& step : steps) {
        Frame(0.01);
        tint.Update();
        EXPECT_NEAR(step.x2d, screen.frame.position.x, 1e-4f);
        EXPECT_NEAR(-s * step.side, scene.eye.x, 1e-4f);
        EXPECT_EQ(5.0f, scene.eye.y);
        EXPECT_NEAR(-10.0f + s * step.side, scene.eye.z, 1e-4f);
        EXPECT_NEAR(10.0f - s * step.side, scene.target.x, 1e-4f);
        EXPECT_NEAR(s * step.side, scene.target.z, 1e-4f);
        // The view matrix follows the eye.
        Matrix4 inverse;
        ASSERT_TRUE(MatrixInverse(scene.view, inverse));
        EXPECT_NEAR(scene.eye.x, inverse.m[3], 1e-3f);
    }

    // Straight down there is no horizontal direction: the jolt goes along z.
    tint.Stop();
    LookFrom({0.0f, 10.0f, 0.0f}, {0.0f, 0.0f, 0.0f});
    tint.Start(20, 10.0f);
    Frame(0.01);
    tint.Update();
    EXPECT_EQ(0.0f, scene.eye.x);
    EXPECT_EQ(20.0f, scene.eye.z);
    EXPECT_FALSE(std::isnan(scene.view.m[0]));
    tint.Stop();
    EXPECT_EQ(0.0f, scene.eye.z);
}

TEST_F(QmScreenTintTest, StartsDuringAShakeAndStopsWithoutOne)
{
    const Snapshot before = Take();
    // The first-ever start with duration 0: nothing was saved yet, and the
    // cameras must not be "restored" to it.
    CQmScreenTint fresh;
    fresh.Stop();
    EXPECT_TRUE(Same(before, Take()));
    fresh.Start(20, 0.0f);
    EXPECT_EQ(1, RunToEnd(fresh, 0.1));
    EXPECT_TRUE(Same(before, Take()));

    // Another start during a shake is ignored ...
    CQmScreenTint tint;
    tint.Start(20, -1.0f);
    Frame(0.04);
    tint.Update();
    tint.Start(50, 5.0f);
    EXPECT_EQ(18.0f, tint.amplitude);
    EXPECT_EQ(-1.0f, tint.duration);
    EXPECT_EQ(-1.0f, tint.sign);
    // ... unless its duration is 0: the cameras go back first, and the new
    // shake is measured from there and ends at its first update.
    tint.Start(30, 0.0f);
    EXPECT_EQ(30.0f, tint.amplitude);
    EXPECT_NEAR(3.0f - 30.0f, screen.frame.position.x, 1e-4f);
    EXPECT_EQ(1, RunToEnd(tint, 0.04));
    EXPECT_TRUE(Same(before, Take()));
}

TEST_F(QmScreenTintTest, ScreenTintStartsTheProcessorsShake)
{
    CQmScreenTint& tint = *m_processor.tint;
    Run("ScreenTint(20.9)");
    EXPECT_TRUE(tint.IsActive());
    EXPECT_EQ(20.0f, tint.amplitude);
    EXPECT_EQ(-1.0f, tint.duration);
    tint.Stop();
    Run("ScreenTint(-12.7, '0.5')");
    EXPECT_EQ(-12.0f, tint.amplitude);
    EXPECT_EQ(0.5f, tint.duration);
    tint.Stop();

    for (const char* call : {"ScreenTint('strong')", "ScreenTint(20, 1, 2)", "ScreenTint()", "ScreenTint(20, {})"}) {
        GeLogClearLast();
        Run(call);
        EXPECT_STREQ("Lua_ScreenTint: Arguments error!", GeLogLastMessage().c_str()) << call;
        EXPECT_FALSE(tint.IsActive()) << call;
    }
}
