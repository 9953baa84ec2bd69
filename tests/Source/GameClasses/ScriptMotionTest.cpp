// The motion script functions through Lua against a current location: curve
// ways, straight moves and particle effects; argument counts, types, defaults
// and log lines per function.
#include "Engine/Anim/GcPsysEffect.h"
#include "Source/GameClasses/QmPropCurveMotion.h"
#include "tests/Source/GameClasses/MotionFixtures.h"

namespace {

// A particle effect that counts its updates.
class CountingEffect : public CGcPsysEffect {
public:
    void Update() override
    {
        ++updates;
        CGcPsysEffect::Update();
    }
    int updates = 0;
};

// A visual of another kind.
class PlainVisual : public CGmVisualObject {
public:
    void Render() override {}
};

class ScriptMotionTest : public MotionLocationTest {
protected:
    void SetUp() override
    {
        MotionLocationTest::SetUp();
        AddCurveWay("way", "polyline", 4.0f, {{0, 0, 0}, {8, 0, 0}});

        bird = Add("bird");
        curve = new CQmPropCurveMotion(bird);
        bird->SetProp(QM_PROP_CURVE_MOTION, curve);
        curve->SetEnabled(true);
        door = Add("door");
        line = new CQmPropLinearMotionController(door);
        door->SetProp(QM_PROP_LINEAR_MOTION, line);
        lamp = Add("lamp");
        visuals = new CQmPropVisualObject(lamp);
        lamp->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        visuals->visuals.Add(new PlainVisual);
        effect = new CountingEffect;
        visuals->visuals.Add(effect);
        Add("rock");
        recorder->Record({"harbour_stop_linear_moving", "curve_finish"});
        recorder->Clear();
        GeLogClearLast();
    }

    // The results of a script expression, joined by blanks ("" for none).
    std::string Results(const std::string& call)
    {
        Run("local function join(...) local s = '' for i = 1, select('#', ...) do "
            "s = s .. (i > 1 and ' ' or '') .. tostring((select(i, ...))) end return s end results = join(" +
            call + ")");
        return Global("results");
    }

    std::string LastLog() const { return GeLogLastMessage().c_str(); }

    CQmEntity *bird = nullptr, *door = nullptr, *lamp = nullptr;
    CQmPropCurveMotion* curve = nullptr;
    CQmPropLinearMotionController* line = nullptr;
    CQmPropVisualObject* visuals = nullptr;
    CountingEffect* effect = nullptr;
};

} // namespace

TEST_F(ScriptMotionTest, MoveEntityOnCurveTakesTwoToFourArgumentsWithItsDefaults)
{
    const struct {
        const char* call;
        const char* result;
        uint8_t running;
        float time, speed;
    } cases[] = {
        {"MoveEntityOnCurve('bird', 'way', 1.5, 2)", "true", 1, 1.5f, 2.0f},
        {"MoveEntityOnCurve('bird', 'way', '0.5')", "true", 1, 0.5f, 1.0f},
        {"MoveEntityOnCurve('bird', 'way')", "true", 1, 0.0f, 1.0f},
        {"MoveEntityOnCurve('bird', 'nowhere', 3, 3)", "true", 0, 0.0f, 1.0f}, // no curve way: not begun
        {"MoveEntityOnCurve('rock', 'way')", "false", 0, 0.0f, 1.0f},
        {"MoveEntityOnCurve('ghost', 'way')", "false", 0, 0.0f, 1.0f},
        {"MoveEntityOnCurve('bird')", "false", 0, 0.0f, 1.0f},
        {"MoveEntityOnCurve('bird', 'way', 1, 2, 3)", "false", 0, 0.0f, 1.0f},
        {"MoveEntityOnCurve('bird', 'way', 'soon')", "false", 0, 0.0f, 1.0f},
    };
    for (const auto& c : cases) {
        curve->running = 0;
        curve->time = 0.0f;
        curve->speed = 1.0f;
        EXPECT_EQ(c.result, Results(c.call)) << c.call;
        EXPECT_EQ(c.running, curve->running) << c.call;
        EXPECT_FLOAT_EQ(c.time, curve->time) << c.call;
        EXPECT_FLOAT_EQ(c.speed, curve->speed) << c.call;
    }
    EXPECT_EQ("", LastLog()); // look-ups fail to the debug trace only
}

TEST_F(ScriptMotionTest, StopEntityOnCurveAnswersTheTimeAndSetCurveSpeedMultSetsTheSpeed)
{
    Run("MoveEntityOnCurve('bird', 'way', 1, 2)");
    Tick(*location, 0.25);
    EXPECT_EQ("1.5", Results("StopEntityOnCurve('bird')"));
    EXPECT_EQ(0, curve->running);
    for (const char* none : {"StopEntityOnCurve('rock')", "StopEntityOnCurve('ghost')", "StopEntityOnCurve()",
                             "StopEntityOnCurve('bird', 1)"})
        EXPECT_EQ("", Results(none)) << none;

    Run("SetCurveSpeedMult('bird', 'any name', 0.25)");
    EXPECT_FLOAT_EQ(0.25f, curve->speed);
    for (const char* refused : {"SetCurveSpeedMult('bird', 3)", "SetCurveSpeedMult('bird', 'way', 'fast')",
                                "SetCurveSpeedMult('ghost', 'way', 7)"}) {
        Run(refused);
        EXPECT_FLOAT_EQ(0.25f, curve->speed) << refused;
    }
    EXPECT_EQ("", LastLog());
}

TEST_F(ScriptMotionTest, DispatchEntityToPointTurnsUnlessASixthFalseSaysNot)
{
    const struct {
        const char* args; // after the entity
        bool moves;
        uint8_t faceTravel;
    } cases[] = {
        {"4, 0, 0, 2", true, 1},    {"4, 0, 0, 2, false", true, 0},    {"4, 0, 0, 2, true", true, 1},
        {"4, 0, 0, 2, 0", true, 1}, {"4, 0, 0, 2, false, 1", true, 1}, {"4, 0, 0", false, 1},
        {"4, 'x', 0, 2", false, 1}, {"'4', 0, 0, '2'", true, 1},
    };
    for (const auto& c : cases) {
        line->SetEnabled(false);
        line->stopped = 1;
        line->faceTravel = 1;
        line->speed = 1.0f;
        Run(std::string("DispatchEntityToPoint('door', ") + c.args + ")");
        EXPECT_EQ(c.moves ? 1 : 0, line->enabled) << c.args;
        EXPECT_EQ(c.moves ? 0 : 1, line->stopped) << c.args;
        EXPECT_EQ(c.faceTravel, line->faceTravel) << c.args;
        if (c.moves) {
            EXPECT_FLOAT_EQ(4.0f, line->target.x) << c.args;
            EXPECT_FLOAT_EQ(2.0f, line->speed) << c.args;
            EXPECT_FLOAT_EQ(1.0f, line->direction.x) << c.args;
        }
    }
    EXPECT_EQ("", LastLog());

    // An entity without a linear motion is left alone; a missing one is logged.
    Run("DispatchEntityToPoint('rock', 1, 2, 3, 4)");
    EXPECT_EQ("", LastLog());
    Run("DispatchEntityToPoint('ghost', 1, 2, 3, 4)");
    EXPECT_EQ("Lua_DispatchEntityToPoint: Entity 'ghost' not found in location!\n", LastLog());
    EXPECT_EQ(2, GeLogLastLevel());
}

TEST_F(ScriptMotionTest, StopMovingEntityHaltsOnTheTargetAndLogsTheDispatchText)
{
    Run("DispatchEntityToPoint('door', 4, 0, 0, 1, false)");
    Tick(*location, 0.5);
    Run("StopMovingEntity('door')");
    EXPECT_EQ("harbour_stop_linear_moving(door)", recorder->Joined());
    EXPECT_FLOAT_EQ(4.0f, door->frame.position.x);
    EXPECT_EQ(0, line->enabled);
    Run("StopMovingEntity('door')"); // already stopped: nothing more
    Run("StopMovingEntity('rock')");
    Run("StopMovingEntity('door', 1)");
    EXPECT_EQ(1u, recorder->Lines().size());
    EXPECT_EQ("", LastLog());
    Run("StopMovingEntity('ghost')");
    EXPECT_EQ("Lua_DispatchEntityToPoint: Entity 'ghost' not found in location!\n", LastLog());
}

TEST_F(ScriptMotionTest, StartPSysEffectStartsWithWarmUpStepsStopsAndChecksTheVisual)
{
    Run("StartPSysEffect('lamp', 1, true, 50)");
    EXPECT_EQ(1, effect->playing);
    EXPECT_EQ(50, effect->updates);
    Run("StartPSysEffect('lamp', 1.9, false)");
    EXPECT_EQ(0, effect->playing);
    Run("StartPSysEffect('lamp', 1, true)");
    EXPECT_EQ(1, effect->playing);
    EXPECT_EQ(50, effect->updates);
    EXPECT_EQ("", LastLog());

    const struct {
        const char* call;
        const char* log;
    } failures[] = {
        {"StartPSysEffect('lamp', 2, false)",
         "Lua_StartPSysEffect: no visual object in entity lamp or type mismatch!\n"},
        {"StartPSysEffect('lamp', -1, false)",
         "Lua_StartPSysEffect: no visual object in entity lamp or type mismatch!\n"},
        {"StartPSysEffect('lamp', 0, false)",
         "Lua_StartPSysEffect: no visual object in entity lamp or type mismatch!\n"},
        {"StartPSysEffect('door', 0, false)", "Lua_StartPSysEffect: no property visual_object in entity door!\n"},
        {"StartPSysEffect('ghost', 0, false)", ""},
        {"StartPSysEffect('lamp', 1, 0)", ""}, // the flag must be a boolean
        {"StartPSysEffect('lamp', 1)", ""},
    };
    for (const auto& f : failures) {
        GeLogClearLast();
        Run(f.call);
        EXPECT_EQ(f.log, LastLog()) << f.call;
        EXPECT_EQ(1, effect->playing) << f.call;
    }
}
