// The entity, camera and property script functions through Lua on a current
// location: transforms written and read back (the world-matrix readers one
// update behind), defaults and log lines for unknown entities, refused
// calls and no current location, the camera index and determinant, and the
// property switch with its cursor refresh.
#include "Engine/Core/Gm/GmCamera.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

namespace {

class ScriptEntitiesTest : public ScriptLocationTest {};

} // namespace

TEST_F(ScriptEntitiesTest, TransformsAreWrittenAndTheMatrixReadersLagOneUpdate)
{
    Run("SetEntityPosition('crate', 1, 2, 3)");
    EXPECT_EQ("1 2 3", Call("GetEntityPosition('crate')"));
    Run("SetEntityRotation('crate', 90, 0, 0)");
    EXPECT_EQ(1.5707964f, crate->frame.angles.x);
    // The world matrix is the last update's: the identity still.
    EXPECT_EQ("0 0 1", Call("GetEntityDirection('crate')"));
    EXPECT_EQ("0 0 0", Call("GetEntityPositionFromMatrix('crate')"));
    crate->frame.UpdateWorldMatrix();
    const Matrix4& world = crate->frame.world;
    Run("dx, dy, dz = GetEntityDirection('crate')");
    EXPECT_FLOAT_EQ(world.At(0, 2), std::stof(Global("dx")));
    EXPECT_FLOAT_EQ(world.At(1, 2), std::stof(Global("dy")));
    EXPECT_NEAR(0.0, std::stod(Global("dz")), 1e-6);
    EXPECT_NEAR(1.0, std::fabs(std::stod(Global("dy"))), 1e-6);
    EXPECT_EQ("1 2 3", Call("GetEntityPositionFromMatrix('crate')"));

    Run("SetEntityRotation('crate', 180, -45, 0)");
    Run("rx, ry, rz = GetEntityRotation('crate')");
    EXPECT_NEAR(180.0, std::stod(Global("rx")), 1e-4);
    EXPECT_NEAR(-45.0, std::stod(Global("ry")), 1e-4);

    crate->frame.worldDirty = 0;
    Run("SetEntityScale('crate', 2.5)");
    EXPECT_EQ(2.5f, crate->frame.scale.x);
    EXPECT_EQ(2.5f, crate->frame.scale.y);
    EXPECT_EQ(2.5f, crate->frame.scale.z);
    EXPECT_EQ(1, crate->frame.worldDirty);
}

TEST_F(ScriptEntitiesTest, UnknownEntitiesAndRefusedCallsGiveDefaultsAndLogLines)
{
    crate->frame.SetPosition(Vec3{4.0f, 5.0f, 6.0f});
    struct Case {
        const char* call;
        const char* results;
        const char* log; // "" for none
    };
    const Case cases[] = {
        {"GetEntityPosition('ghost')", "0 0 0", "Lua_GetEntityPosition: Actor 'ghost' not found in location!\n"},
        {"GetEntityDirection('ghost')", "0 0 0", "Lua_GetEntityDirection: Actor 'ghost' not found in location!\n"},
        {"GetEntityPositionFromMatrix('ghost')", "0 0 0",
         "Lua_GetEntityPositionFromMatrix: Actor 'ghost' not found in location!\n"},
        {"GetEntityRotation('ghost')", "0 0 0", "Lua_GetEntityRotation: Actor 'ghost' not found in location!\n"},
        {"SetEntityPosition('ghost', 1, 2, 3)", "", "Lua_SetEntityPosition: Actor 'ghost' not found in location!\n"},
        {"SetEntityRotation('ghost', 1, 2, 3)", "", "Lua_SetEntityRotation: Actor 'ghost' not found in location!\n"},
        {"SetEntityScale('ghost', 2)", "", "Lua_SetEntityScale: Actor 'ghost' not found in location!\n"},
        // Refused: defaults pushed, nothing logged, nothing changed.
        {"GetEntityPosition()", "0 0 0", ""},
        {"GetEntityPosition('crate', 1)", "0 0 0", ""},
        {"GetEntityRotation({})", "0 0 0", ""},
        {"SetEntityPosition('crate', 1, 2)", "", ""},
        {"SetEntityPosition('crate', 1, 2, 'x')", "", ""},
        {"SetEntityScale('crate')", "", ""},
        {"SetEntityRotation('crate', 1, 2, 3, 4)", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(c.results, Call(c.call));
        EXPECT_EQ(c.log, TakeLog());
    }
    EXPECT_EQ("4 5 6", Call("GetEntityPosition('crate')"));
    EXPECT_EQ(1.0f, crate->frame.scale.x);

    // Without a current location every name is unknown.
    NoLocation();
    EXPECT_EQ("0 0 0", Call("GetEntityPosition('crate')"));
    EXPECT_EQ("Lua_GetEntityPosition: Actor 'crate' not found in location!\n", TakeLog());
    Run("SetEntityPosition('crate', 7, 7, 7)");
    EXPECT_EQ(4.0f, crate->frame.position.x);
}

TEST_F(ScriptEntitiesTest, CameraIndexDeterminantAndPosition)
{
    for (float x : {10.0f, 20.0f}) {
        auto* camera = new CGmPerspectiveCamera;
        camera->eye = Vec3{x, 1.0f, -5.0f};
        location->cameraGroups.Add(QmCameraGroup());
        location->cameraGroups[location->cameraGroups.Count() - 1].camera = camera;
    }
    EXPECT_EQ("10 1 -5", Call("GetCameraPos()"));
    Run("SetCameraIndex(1.7)");
    EXPECT_EQ(1u, location->activeCameraGroup);
    EXPECT_EQ(1u, location->cameraFixed);
    EXPECT_EQ("20 1 -5", Call("GetCameraPos()"));
    EXPECT_EQ("0 0 0", Call("GetCameraPos(1)"));
    // The camera count and negative indices are invalid: logged, ignored.
    for (const char* index : {"2", "-1"}) {
        Run(std::string("SetCameraIndex(") + index + ")");
        EXPECT_EQ(std::string("CQmLocation::SetActiveCamera invalid camera index ") + index + "! Ignored\n", TakeLog());
        EXPECT_EQ(1u, location->activeCameraGroup);
    }

    Run("SetCameraDeterminantEntity('crate')");
    EXPECT_EQ(crate, location->cameraDeterminant);
    EXPECT_EQ(0u, location->cameraFixed);
    location->cameraFixed = 1;
    Run("SetCameraDeterminantEntity('ghost')");
    EXPECT_EQ(nullptr, location->cameraDeterminant);
    EXPECT_EQ(0u, location->cameraFixed);

    // Without a current location: nothing changes and nothing is pushed.
    NoLocation();
    EXPECT_EQ("", Call("GetCameraPos()"));
    Run("SetCameraIndex(0) SetCameraDeterminantEntity('crate')");
    EXPECT_EQ(1u, location->activeCameraGroup);
    EXPECT_EQ(nullptr, location->cameraDeterminant);
}

TEST_F(ScriptEntitiesTest, EnableEntityPropertySwitchesSlotsAndAlwaysRefreshesTheCursor)
{
    // -1 with false: every slot but the motion controller.
    Run("EnableEntityProperty('crate', -1, false)");
    ASSERT_EQ(kQmPropSlots - 1, g_propJournal.size());
    for (uint32_t slot = 0; slot < kQmPropSlots; ++slot)
        EXPECT_EQ(slot == QM_PROP_MOTION_CONTROLLER ? 1 : 0, crate->props[slot]->enabled) << slot;
    EXPECT_EQ(1, m_processor.cursorRefreshPending);

    g_propJournal.clear();
    Run("EnableEntityProperty('crate', 7, true)");
    EXPECT_EQ(std::vector<std::string>{"crate.7 on"}, g_propJournal);

    struct Case {
        const char* call;
        const char* log;
    };
    const Case refused[] = {
        {"EnableEntityProperty('crate', 18, true)", "Lua_EnableEntityProperty: illegal property index: 18"},
        {"EnableEntityProperty('crate', -2, true)", "Lua_EnableEntityProperty: illegal property index: -2"},
        {"EnableEntityProperty('ghost', 1, true)", "Lua_EnableEntityProperty: entity 'ghost' not found in location!\n"},
        {"EnableEntityProperty('crate', 1, 1)", ""},
        {"EnableEntityProperty('crate', 1)", ""},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.call);
        m_processor.cursorRefreshPending = 0;
        g_propJournal.clear();
        Run(c.call);
        EXPECT_TRUE(g_propJournal.empty());
        EXPECT_EQ(c.log, TakeLog());
        EXPECT_EQ(1, m_processor.cursorRefreshPending);
    }
}

TEST_F(ScriptEntitiesTest, ShadeLightPositionNeedsThreeNumbersAndALocation)
{
    location->shadeLightPosition = Vec4{0.0f, 0.0f, 0.0f, 1.0f};
    Run("ChangeShadeLightPos(1, 2, 3)");
    EXPECT_EQ(1.0f, location->shadeLightPosition.x);
    EXPECT_EQ(3.0f, location->shadeLightPosition.z);
    EXPECT_EQ(1.0f, location->shadeLightPosition.w);
    Run("ChangeShadeLightPos(5, 5)");
    EXPECT_EQ(1.0f, location->shadeLightPosition.x);
    NoLocation();
    Run("ChangeShadeLightPos(5, 5, 5)");
    EXPECT_EQ(1.0f, location->shadeLightPosition.x);
}
