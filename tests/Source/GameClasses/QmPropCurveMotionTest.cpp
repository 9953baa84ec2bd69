// Curve motion and linear motion on a current location, driven by a hand-moved
// frame timer, with the script-event recorder listening for "curve_finish"
// and "<location>_stop_linear_moving", and a probe property journalling the
// events the entity's properties receive.
#include "Source/GameClasses/QmPropCurveMotion.h"
#include "tests/Source/GameClasses/MotionFixtures.h"

namespace {

Vec3 LocalTranslation(const CQmEntity& entity)
{
    const Matrix4& m = entity.frame.local;
    return Vec3{m.At(0, 3), m.At(1, 3), m.At(2, 3)};
}

Vec3 Column(const Matrix4& m, int col)
{
    return Vec3{m.At(0, col), m.At(1, col), m.At(2, col)};
}

#define EXPECT_VEC3(ex, ey, ez, v)                                                                                     \
    do {                                                                                                               \
        const Vec3 value_ = (v);                                                                                       \
        EXPECT_NEAR(ex, value_.x, 1e-5f);                                                                              \
        EXPECT_NEAR(ey, value_.y, 1e-5f);                                                                              \
        EXPECT_NEAR(ez, value_.z, 1e-5f);                                                                              \
    } while (0)

class MotionTest : public MotionLocationTest {
protected:
    void SetUp() override
    {
        MotionLocationTest::SetUp();
        // An L: 10 along x, then 10 along z, over two seconds.
        AddCurveWay("corner", "polyline", 2.0f, {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}});
        recorder->Record({"curve_finish", "harbour_stop_linear_moving"});
        recorder->Clear();
    }
};

} // namespace

TEST_F(MotionTest, TheReadersMakeTheTwoMotionsInTheirSlotsAndStates)
{
    CQmEntity* bird = Read("<entity name=\"bird\"><curve_motion/><linear_motion_controller/></entity>");
    ASSERT_NE(nullptr, bird);
    auto* curve = bird->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION);
    auto* line = bird->Prop<CQmPropLinearMotionController>(QM_PROP_LINEAR_MOTION);
    ASSERT_NE(nullptr, curve);
    ASSERT_NE(nullptr, line);
    EXPECT_EQ(1, curve->enabled);
    EXPECT_EQ(1, curve->turnWithCurve);
    EXPECT_EQ(1.0f, curve->speed);
    EXPECT_EQ(0, curve->running);
    EXPECT_EQ(0, line->enabled);
    EXPECT_EQ(1, line->stopped);
    EXPECT_EQ(1, line->faceTravel);
    EXPECT_EQ(1.0f, line->speed);

    CQmEntity* kite = Read("<entity name=\"kite\"><curve_motion static=\"TRUE\"/></entity>");
    EXPECT_EQ(0, kite->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION)->turnWithCurve);
}

TEST_F(MotionTest, CurveMotionFollowsTheCurveFrameByFrameAndTurnsWithIt)
{
    CQmEntity* bird = Read("<entity name=\"bird\" pos=\"5 5 5\"><curve_motion/></entity>");
    auto* motion = bird->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION);
    motion->Start("corner");
    motion->Begin(0.0f, 1.0f);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_FIXED), bird->frame.composeMode);

    // Each frame places the entity at the current time, then moves the time on.
    const struct {
        Vec3 position, facing; // facing: the local x axis, the curve's direction
    } frames[] = {
        {{0, 0, 0}, {1, 0, 0}},    {{2.5f, 0, 0}, {1, 0, 0}}, {{5, 0, 0}, {1, 0, 0}},
        {{7.5f, 0, 0}, {1, 0, 0}}, {{10, 0, 0}, {1, 0, 0}},   {{10, 0, 2.5f}, {0, 0, 1}},
    };
    for (const auto& f : frames) {
        Tick(*location, 0.25);
        EXPECT_VEC3(f.position.x, f.position.y, f.position.z, LocalTranslation(*bird));
        EXPECT_VEC3(f.facing.x, f.facing.y, f.facing.z, Column(bird->frame.local, 0));
        EXPECT_VEC3(0.0f, 1.0f, 0.0f, Column(bird->frame.local, 1));
        // x cross up
        EXPECT_VEC3(-f.facing.z, 0.0f, f.facing.x, Column(bird->frame.local, 2));
    }
    EXPECT_FLOAT_EQ(1.5f, motion->time);
    EXPECT_EQ("", recorder->Joined());

    // Without turning the rotation stays the identity.
    motion->turnWithCurve = 0;
    Tick(*location, 0.25);
    EXPECT_VEC3(10.0f, 0.0f, 5.0f, LocalTranslation(*bird));
    EXPECT_VEC3(1.0f, 0.0f, 0.0f, Column(bird->frame.local, 0));
    EXPECT_VEC3(0.0f, 0.0f, 1.0f, Column(bird->frame.local, 2));
}

TEST_F(MotionTest, CurveMotionStartedPastItsEndFinishesInTheFirstUpdateOnTheEndPoint)
{
    CQmEntity* bird = Read("<entity name=\"bird\"><curve_motion/></entity>");
    auto* motion = bird->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION);
    motion->Start("corner");
    motion->Begin(7.0f, 3.0f);
    Tick(*location, 0.1);
    EXPECT_EQ("curve_finish(bird,corner)", recorder->Joined());
    EXPECT_VEC3(10.0f, 0.0f, 10.0f, LocalTranslation(*bird));
    EXPECT_EQ(0, motion->running);
    EXPECT_FLOAT_EQ(2.0f, motion->time);
    Tick(*location, 0.1);
    EXPECT_EQ(1u, recorder->Lines().size());

    // A handler that starts the motion again keeps the bird flying.
    Run("function curve_finish(entity, way) RecordLine('again ' .. entity) MoveEntityOnCurve(entity, way) end");
    motion->Begin(1.9f, 1.0f);
    Tick(*location, 0.1); // 1.9: placed, then 2.0
    Tick(*location, 0.1); // the end: the handler starts over at 0
    EXPECT_EQ(1, motion->running);
    EXPECT_VEC3(0.0f, 0.0f, 0.0f, LocalTranslation(*bird));
}

TEST_F(MotionTest, CurveMotionWithoutItsCurveWayLeavesTheFrameAlone)
{
    CQmEntity* bird = Read("<entity name=\"bird\" pos=\"1 2 3\"><curve_motion/></entity>");
    auto* motion = bird->Prop<CQmPropCurveMotion>(QM_PROP_CURVE_MOTION);
    motion->Start("corner");
    motion->Begin(0.5f, 1.0f);
    motion->Start("nowhere");
    EXPECT_EQ(0, motion->running);
    EXPECT_EQ(nullptr, motion->curveWay);
    motion->Begin(0.0f, 1.0f);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), bird->frame.composeMode);
    Tick(*location, 0.25);
    EXPECT_VEC3(1.0f, 2.0f, 3.0f, LocalTranslation(*bird));
    EXPECT_EQ("", recorder->Joined());

    // Enabling drives the frame only while a curve way is followed.
    motion->SetEnabled(true);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), bird->frame.composeMode);
    motion->Start("corner");
    motion->SetEnabled(true);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_FIXED), bird->frame.composeMode);
    motion->SetEnabled(false);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), bird->frame.composeMode);
    motion->SetEnabled(true);
    motion->Begin(0.0f, 1.0f);

    // The curve way goes away (its location did): the motion stops and the
    // frame is given back rather than following a freed record.
    auto* node = location->curveWays.Find(CGeString("corner"));
    delete node->value;
    location->curveWays.Erase(node);
    Tick(*location, 0.25);
    EXPECT_EQ(0, motion->running);
    EXPECT_EQ(nullptr, motion->curveWay);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), bird->frame.composeMode);
}

TEST_F(MotionTest, LinearMotionOvershootsOntoItsTargetInTheNextUpdate)
{
    CQmEntity* door = Read("<entity name=\"door\"><linear_motion_controller/></entity>");
    door->SetProp(QM_PROP_LIGHT_SOURCE, new ProbeProp(door, 0));
    auto* line = door->Prop<CQmPropLinearMotionController>(QM_PROP_LINEAR_MOTION);
    door->frame.UpdateWorldMatrix();
    line->speed = 10.0f;
    line->faceTravel = 0;
    line->DispatchToPoint(Vec3{1.0f, 0.0f, 0.0f});
    line->SetEnabled(true);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_FIXED), door->frame.composeMode);

    Tick(*location, 0.25);
    EXPECT_VEC3(2.5f, 0.0f, 0.0f, LocalTranslation(*door)); // past the target
    EXPECT_EQ("", recorder->Joined());
    Tick(*location, 0.25);
    EXPECT_EQ("harbour_stop_linear_moving(door)", recorder->Joined());
    EXPECT_EQ(0, line->enabled);
    EXPECT_EQ(1, line->stopped);
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), door->frame.composeMode);
    EXPECT_VEC3(1.0f, 0.0f, 0.0f, door->frame.position);
    EXPECT_VEC3(1.0f, 0.0f, 0.0f, Column(door->frame.world, 3));
    EXPECT_EQ(std::vector<std::string>{"door.0 event 1006"}, g_propJournal);

    // Halting a stopped controller sends nothing.
    g_propJournal.clear();
    line->Halt();
    EXPECT_TRUE(g_propJournal.empty());
    EXPECT_EQ(1u, recorder->Lines().size());
}

TEST_F(MotionTest, LinearMotionToItsOwnPositionNeverArrivesAndHaltPutsItOnTheTarget)
{
    CQmEntity* door = Read("<entity name=\"door\" pos=\"3 0 0\"><linear_motion_controller/></entity>");
    auto* line = door->Prop<CQmPropLinearMotionController>(QM_PROP_LINEAR_MOTION);
    door->frame.UpdateWorldMatrix();
    line->DispatchToPoint(Vec3{3.0f, 0.0f, 0.0f});
    line->SetEnabled(true);
    EXPECT_VEC3(0.0f, 0.0f, 0.0f, line->direction);
    for (int i = 0; i < 5; ++i)
        Tick(*location, 0.25);
    EXPECT_EQ(0, line->stopped);
    EXPECT_EQ(1, line->enabled);
    EXPECT_VEC3(3.0f, 0.0f, 0.0f, LocalTranslation(*door));
    EXPECT_EQ("", recorder->Joined());

    // Facing the travel: the x axis turns onto the direction. Halt while
    // moving places the entity on its target and fires the stop event.
    line->speed = 2.0f;
    line->faceTravel = 1;
    line->DispatchToPoint(Vec3{3.0f, 0.0f, 10.0f});
    Tick(*location, 0.5);
    EXPECT_VEC3(3.0f, 0.0f, 1.0f, LocalTranslation(*door));
    EXPECT_VEC3(0.0f, 0.0f, 1.0f, Column(door->frame.local, 0));
    line->Halt();
    EXPECT_EQ("harbour_stop_linear_moving(door)", recorder->Joined());
    EXPECT_EQ(0, line->enabled);
    EXPECT_VEC3(3.0f, 0.0f, 10.0f, door->frame.position);
    EXPECT_VEC3(3.0f, 0.0f, 10.0f, Column(door->frame.world, 3));

    // Event 1006 from elsewhere is handled alike; other codes are ignored.
    recorder->Clear();
    door->NotifyProps(QM_EVENT_PATH_STOPPED);
    EXPECT_EQ("", recorder->Joined());
    door->NotifyProps(QM_EVENT_LINE_ENDED);
    EXPECT_EQ("harbour_stop_linear_moving(door)", recorder->Joined());
}
