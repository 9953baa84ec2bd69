// The motion controller: path requests (straight, around a wall, into a
// blocked cell, unreachable, outside, past the length limit, no grid), the
// events 1000 and 1001 it sends, the start turn, the walk along the path on
// the grid's floor, the overshoot at the end, and the path's debug drawing.
#include "Source/GameClasses/QmPropMotionController.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "tests/Source/GameClasses/DeviceDrawingFixture.h"
#include "tests/Source/GameClasses/WalkingFixtures.h"

#include <algorithm>
#include <cmath>

#include <tinyxml.h>

namespace {

class MotionControllerTest : public WalkingTest {
protected:
    void SetUp() override
    {
        WalkingTest::SetUp();
        options.cellSize = 10.0f;
    }

    // A figure with only a motion controller and a probe journalling events.
    CQmEntity* Mover(const Vec3& position, float yaw = 0.0f)
    {
        CQmEntity* entity = Keep(figure::MakeEntity("mover", 0));
        entity->SetProp(QM_PROP_IK_PROCESSOR, new ProbeProp(entity, QM_PROP_IK_PROCESSOR));
        TiXmlDocument document;
        document.Parse("<entity name=\"mover\"><motion_controller/></entity>");
        LoadEntity(document.RootElement(), false, entity);
        entity->frame.SetAngles(Vec3{0.0f, yaw, 0.0f});
        Place(*entity, position);
        return entity;
    }

    static long Events(uint32_t code)
    {
        const std::string text = "mover.5 event " + std::to_string(code);
        return std::count(g_propJournal.begin(), g_propJournal.end(), text);
    }

    WalkGridOptions options;
    // Unit cells of 10: a wall in column 4 (rows 3 to 5) and a free cell at
    // column 6, row 8 walled in.
    const std::vector<std::string> kYard = {
        "..........", "..........", "..........", "....#.....", "....#.....",
        "....#.....", "..........", ".....###..", ".....#.#..", ".....###..",
    };
};

} // namespace

TEST_F(MotionControllerTest, RequestsFollowTheGridOrFail)
{
    struct Case {
        const char* what;
        Vec3 start, goal;
        float limit;
        bool found;
        uint32_t minNodes, maxNodes;
    };
    const Case cases[] = {
        {"straight, no grid search", {15, 0, 45}, {35, 0, 45}, -1.0f, true, 2, 2},
        {"around the wall", {25, 0, 45}, {65, 0, 45}, -1.0f, true, 3, 100},
        {"into the wall: an approach", {25, 0, 45}, {45, 0, 45}, -1.0f, true, 2, 100},
        {"walled-in free cell", {15, 0, 15}, {65, 0, 85}, -1.0f, false, 0, 0},
        {"outside the grid", {15, 0, 15}, {500, 0, 500}, -1.0f, false, 0, 0},
        {"exactly the limit", {15, 0, 45}, {35, 0, 45}, 20.0f, true, 2, 2},
        {"past the limit", {15, 0, 45}, {35, 0, 45}, 19.99f, false, 0, 100},
    };
    CQmAiMap* grid = Grid(kYard, options);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        entities.clear();
        g_propJournal.clear();
        m_processor.walkLengthLimit = c.limit;
        CQmEntity* entity = Mover(c.start);
        CQmPropMotionController* motion = Motion(entity);
        EXPECT_EQ(CQmPropMotionController::kTypeId, motion->GetTypeId());
        EXPECT_EQ(c.found, motion->MoveTo(c.goal));
        EXPECT_EQ(c.found, motion->enabled == 1);
        EXPECT_EQ(!c.found, motion->stopped == 1);
        EXPECT_EQ(c.found ? 1 : 0, Events(QM_EVENT_PATH_STARTED));
        EXPECT_EQ(0, Events(QM_EVENT_PATH_STOPPED)) << "a stopped controller sends no stop";
        EXPECT_GE(motion->path.nodes.Count(), c.minNodes);
        EXPECT_LE(motion->path.nodes.Count(), c.maxNodes);
        if (c.found) {
            // The path never leaves the free cells.
            for (float d = 0.0f; d <= motion->path.total; d += 1.0f) {
                Vec3 p = {0, 0, 0};
                motion->path.GetPointAt(d, p);
                const int32_t cell = grid->GetCellIndex(p.x, p.z);
                ASSERT_GE(cell, 0);
                EXPECT_EQ(0, grid->cells[cell].flags) << "at " << d;
            }
        }
    }
    m_processor.walkLengthLimit = -1.0f;
}

TEST_F(MotionControllerTest, EveryStartAndEveryChangeIntoStoppedIsTold)
{
    Grid(kYard, options);
    CQmEntity* entity = Mover({15, 0, 15});
    CQmPropMotionController* motion = Motion(entity);
    ASSERT_TRUE(motion->MoveTo({55, 0, 15}));
    ASSERT_TRUE(motion->MoveTo({15, 0, 55}));
    EXPECT_EQ(2, Events(QM_EVENT_PATH_STARTED));
    EXPECT_EQ(0, Events(QM_EVENT_PATH_STOPPED));
    // A failed request while moving stops once; the next failure and a Stop
    // while stopped tell nothing.
    EXPECT_FALSE(motion->MoveTo({65, 0, 85}));
    EXPECT_FALSE(motion->MoveTo({65, 0, 85}));
    motion->Stop();
    EXPECT_EQ(1, Events(QM_EVENT_PATH_STOPPED));
    ASSERT_TRUE(motion->MoveTo({55, 0, 15}));
    motion->Stop();
    EXPECT_EQ(2, Events(QM_EVENT_PATH_STOPPED));
    EXPECT_EQ(0, motion->enabled);
}

TEST_F(MotionControllerTest, WithoutACurrentGridARequestFails)
{
    CQmEntity* entity = Mover({15, 0, 15});
    EXPECT_FALSE(Motion(entity)->MoveTo({35, 0, 15}));
    Grid(kYard, options);
    location->activeWalkGrid = 3;
    EXPECT_FALSE(Motion(entity)->MoveTo({35, 0, 15}));
    Frame(0.04f);
    location->activeWalkGrid = 0;
    ASSERT_TRUE(Motion(entity)->MoveTo({35, 0, 15}));
    location->activeWalkGrid = 3;
    Frame(0.04f);
    EXPECT_FLOAT_EQ(15.0f, entity->frame.position.x) << "no grid, no movement";
    EXPECT_EQ(1, Events(QM_EVENT_PATH_STARTED));
}

TEST_F(MotionControllerTest, TheStartTurnRunsTowardThePath)
{
    Grid(kYard, options);
    struct Case {
        const char* what;
        float yaw;
        bool turns;
        float sign;
    };
    // The path runs along +x; a yaw of pi/2 faces -z, -pi/2 faces +z.
    const Case cases[] = {
        {"along the path", 0.0f, false, 0.0f},
        {"exactly away", 3.14159265f, true, 1.0f},
        {"facing -z", 1.5707963f, true, -1.0f},
        {"facing +z", -1.5707963f, true, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        entities.clear();
        CQmEntity* entity = Mover({15, 0, 15}, c.yaw);
        CQmPropMotionController* motion = Motion(entity);
        ASSERT_TRUE(motion->MoveTo({85, 0, 15}));
        EXPECT_EQ(c.turns, motion->turning == 1);
        if (c.turns) {
            EXPECT_EQ(c.sign, motion->turnSign);
        }
        // Standing still, it keeps turning at 2.5 pi a second until it faces
        // the path, and stays enabled.
        motion->velocity = Vec3{0, 0, 0};
        for (int frame = 0; frame < 5 && motion->turning; ++frame) {
            Frame(0.04f);
            EXPECT_EQ(1, motion->enabled);
        }
        for (int frame = 0; frame < 11 && motion->turning; ++frame)
            Frame(0.04f);
        EXPECT_EQ(0, motion->turning);
        Frame(0.04f);
        EXPECT_FLOAT_EQ(15.0f, entity->frame.position.x);
        EXPECT_NEAR(1.0f, entity->frame.world.At(0, 0), 1e-5f) << "faces +x";
    }
}

TEST_F(MotionControllerTest, TheWalkFollowsThePathOnTheFloorAndEndsExactlyAtItsEnd)
{
    options.heightBase = 7.0f;
    options.slopeZ = 1.0f; // one unit up per row of 10
    Grid(kYard, options);
    CQmEntity* entity = Mover({15, 8.5f, 15}, -1.5707963f); // on the floor, facing +z
    CQmPropMotionController* motion = Motion(entity);
    ASSERT_TRUE(motion->MoveTo({15, 0, 75}));
    EXPECT_EQ(0, motion->turning);
    motion->velocity = Vec3{100.0f, 0, 0};
    Frame(0.1f);
    // Ten units along +z, on the sloped floor, facing +z (yaw -pi/2).
    EXPECT_NEAR(25.0f, entity->frame.position.z, 1e-3f);
    EXPECT_NEAR(7.0f + 2.5f, entity->frame.position.y, 1e-3f);
    EXPECT_NEAR(-1.5707963f, entity->frame.angles.y, 1e-5f);
    EXPECT_NEAR(1.0f, entity->frame.world.At(2, 0), 1e-5f);
    EXPECT_NEAR(0.0995f, motion->moveDir.y, 1e-3f);
    EXPECT_NEAR(1.0f,
                std::sqrt(motion->moveDir.x * motion->moveDir.x + motion->moveDir.y * motion->moveDir.y +
                          motion->moveDir.z * motion->moveDir.z),
                1e-5f);
    // The last frame overshoots by far: the entity stands on the end point.
    motion->velocity = Vec3{10000.0f, 0, 0};
    Frame(0.1f);
    EXPECT_FLOAT_EQ(15.0f, entity->frame.position.x);
    EXPECT_FLOAT_EQ(75.0f, entity->frame.position.z);
    EXPECT_NEAR(7.0f + 7.5f, entity->frame.position.y, 1e-4f);
    EXPECT_EQ(1, motion->stopped);
    EXPECT_EQ(0, motion->enabled);
    EXPECT_EQ(1, Events(QM_EVENT_PATH_STOPPED));
}

TEST_F(MotionControllerTest, TheHeadingAngleFollowsTheYawConvention)
{
    struct Case {
        Vec3 direction;
        float yaw;
    };
    for (const Case& c : {Case{{1, 0, 0}, 0.0f}, Case{{0, 0, 1}, -1.5707963f}, Case{{0, 0, -1}, 1.5707963f},
                          Case{{-1, 0, 0}, -3.14159265f}, Case{{2, 0, 0}, 0.0f}, Case{{-2, 0, -0.0f}, -3.14159265f}})
        EXPECT_NEAR(c.yaw, QmHeadingAngle(c.direction), 1e-6f) << c.direction.x << " " << c.direction.z;
}

namespace {

// The path drawing over the platform's device seen through the recording
// decorator.
class MotionControllerDrawing : public DeviceDrawingTest {
protected:
    void SetUp() override
    {
        DeviceDrawingTest::SetUp();
        CreateDebugBuffers();
        Device()->ClearCalls();
    }
    void TearDown() override
    {
        ReleaseDebugBuffers();
        DeviceDrawingTest::TearDown();
    }
};

} // namespace

TEST_F(MotionControllerDrawing, ThePathIsDrawnInPiecesOfTenWithABoxAtEachNode)
{
    CQmEntity entity;
    CQmPropMotionController motion(&entity);
    motion.DrawPath();
    EXPECT_TRUE(Device()->Matching("DrawPrimitive(").empty()) << "no path, nothing drawn";
    motion.path.AddPoint(Vec3{0, 0, 0});
    motion.path.AddPoint(Vec3{25, 0, 0});
    motion.DrawPath();
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINELIST, 0, 1)", "DrawPrimitive(D3DPT_LINELIST, 0, 1)",
                                        "DrawPrimitive(D3DPT_LINELIST, 0, 1)", "DrawPrimitive(D3DPT_LINESTRIP, 0, 15)",
                                        "DrawPrimitive(D3DPT_LINESTRIP, 0, 15)"}),
              Device()->Matching("DrawPrimitive("));
}
