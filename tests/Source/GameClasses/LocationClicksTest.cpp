// The player's hand on a location: a real location seen from straight above
// (a camera at 300 over a walk grid, its picking picture 300 deep except for
// a strip that holds nothing), a walking hero and a door with colliders, the
// game processor over them. Clicks as a table through the click handler; the
// cursor by action, with and without an item, and the turned portal cursor
// under two cameras; the hint's placements; the hero, the input lock and the
// selection through the script functions; entities taken away by a script
// in the middle of an update.
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmScriptSceneControls.h"
#include "tests/Source/GameClasses/CursorFixtures.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"
#include "tests/Source/GameClasses/WalkingFixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

const float kPi = 3.14159265f;
// The viewport is 640 x 512; the reference screen is twice as large.
const uint32_t kWidth = 640, kHeight = 512;
const float kScale = 2.0f;
// Pixels left of this column hold no geometry in the picking picture.
const uint32_t kVoidColumns = 64;

// A dialog that runs or not, takes clicks or not, and counts the clicks it
// is given; it may lock the input when it takes one (a scene starts).
class HandDialog : public CQmDialogSystem {
public:
    void SkipSentence() override
    {
        ++skips;
        if (lockOnSkip && g_gameProcessor)
            g_gameProcessor->LockInput(3.0f);
    }
    int skips = 0;
    bool lockOnSkip = false;
};

// Remove(name): takes the named entity out of the current location, as a
// script function that removes an actor does.
int RemoveProbe(lua_State* L)
{
    if (g_locationManager && g_locationManager->current)
        g_locationManager->current->RemoveEntity(ScriptArgText(L, 1));
    return 0;
}

const QmScriptFunctionEntry kHandProbes[] = {
    {"Remove", ScriptEntryPoint<RemoveProbe>},
    {nullptr, nullptr},
};

// A property that fires "tick" with its entity's name every update and
// notes the update.
class TickProp : public CQmProp {
public:
    using CQmProp::CQmProp;
    void Update() override
    {
        g_propJournal.push_back(std::string(owner->name.c_str()) + " tick");
        CGeValue name(owner->name);
        ScriptCallFunction("tick", &name, 1, false);
    }
};

class LocationClicksTest : public WalkingTest {
protected:
    void SetUp() override
    {
        WalkingTest::SetUp();
        // The probes of this file beside the script functions.
        recorder.reset();
        ScriptShutdown();
        SetExtraScriptFunctionList(kHandProbes);
        ScriptInit();
        m_top = lua_gettop(g_luaState);
        recorder = std::make_unique<CScriptEventRecorder>();
        recorder->Record({"here_use_object", "here_cant_walk", "here_document_close", "global_use_invitem_on_hero",
                          "here_test_use_invitem"});

        if (!g_activeColliders) {
            CreateActiveColliders();
            ownColliders = true;
        }
        g_inventory = &inventory;
        dialog = std::make_unique<HandDialog>();
        g_dialogSystem = dialog.get();
        g_mouse = &mouse;
        previousScale[0] = g_gm2dScale[0][0];
        previousScale[1] = g_gm2dScale[0][1];
        g_gm2dScale[0][0] = g_gm2dScale[0][1] = kScale;
        CGeHub::s_currentSlot = 0;

        blankCursors = std::make_unique<BlankCursors>();
        cursors = blankCursors->set.get();

        // The camera straight above the grid, up along +z, and the picking
        // picture 300 deep: the floor y = 0.
        camera = new CGmPerspectiveCamera;
        Aim(*camera, Vec3{50.0f, 300.0f, 50.0f});
        auto* background = new CQmBackGround("", "", "", camera);
        std::vector<float> depths(size_t(kWidth) * kHeight, 300.0f);
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kVoidColumns; ++x)
                depths[size_t(y) * kWidth + x] = 1e20f;
        background->picking = new CGmImage;
        background->picking->MakeRaw(kWidth, kHeight, GM_FMT_A8R8G8B8, kWidth * 4);
        memcpy(background->picking->data, depths.data(), depths.size() * 4);
        QmCameraGroup group;
        group.camera = camera;
        group.backgrounds.Add(background);
        location->cameraGroups.Add(std::move(group));
        CGeHub::s_cameras3d[0] = camera;

        options.cellSize = 10.0f;
        Grid({"..........", "..........", "..........", "..........", "..........", "..........", "..........",
              "..........", "..........", ".........."},
             options);
        hero = Hero(Vec3{15.0f, 0.0f, 15.0f});
        // The hero's box reaches 40 along x, so that a click on its far end
        // lies well away from his feet.
        BoxCollider(hero, Vec3{-5.0f, 0.0f, -5.0f}, Vec3{40.0f, 30.0f, 5.0f});
        Actor(hero)->permittedAction = QM_ACTION_USE;
        door = Thing("door", Vec3{70.0f, 0.0f, 70.0f}, Vec3{0.0f, 0.0f, -15.0f}, 8.0f, false);
        BoxCollider(door, Vec3{-5.0f, 0.0f, -5.0f}, Vec3{5.0f, 20.0f, 5.0f});
        Actor(door)->permittedAction = QM_ACTION_USE;
        m_processor.heroName = "hero";
        ASSERT_TRUE(m_processor.SetMainHero());
    }

    void TearDown() override
    {
        for (auto& entity : entities)
            location->RemoveEntity(entity->name.c_str());
        entities.clear();
        blankCursors.reset();
        g_mouse = nullptr;
        g_inventory = nullptr;
        g_dialogSystem = nullptr;
        dialog.reset();
        g_mainControlSet = nullptr;
        CGeHub::s_cameras3d[0] = nullptr;
        g_gm2dScale[0][0] = previousScale[0];
        g_gm2dScale[0][1] = previousScale[1];
        WalkingTest::TearDown();
        if (ownColliders)
            DestroyActiveColliders();
    }

    static void Aim(CGmPerspectiveCamera& target, const Vec3& eye)
    {
        target.screenWidth = int32_t(kWidth);
        target.screenHeight = int32_t(kHeight);
        target.eye = eye;
        target.target = Vec3{eye.x, 0.0f, eye.z};
        target.up = Vec3{0.0f, 0.0f, 1.0f};
        target.nearPlane = 10.0f;
        target.farPlane = 1000.0f;
        target.Apply({0, 0, kWidth, kHeight, 0.0f, 1.0f});
    }

    // The mouse (reference units) over a world point.
    void MouseOver(const Vec3& point)
    {
        const Vec4 at = camera->ProjectPoint(point);
        mouse.x = at.x * kScale;
        mouse.y = at.y * kScale;
    }

    // Where the straight-down ray through the mouse meets the floor.
    Vec3 FloorUnderMouse() const
    {
        const Vec3 dir = camera->ScreenToRay(mouse.x / kScale, mouse.y / kScale);
        const float t = -camera->eye.y / dir.y;
        return Vec3{camera->eye.x + dir.x * t, 0.0f, camera->eye.z + dir.z * t};
    }

    static CQmPropActor* Actor(CQmEntity* e) { return e->Prop<CQmPropActor>(QM_PROP_ACTOR); }

    // Moves the clock so that the next timer update reads this frame time.
    void Advance(double seconds) { m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5); }

    FakeInventory inventory;
    std::unique_ptr<HandDialog> dialog;
    CGeMouseState mouse;
    std::unique_ptr<BlankCursors> blankCursors;
    CGeCursorSet* cursors = nullptr;
    CGmPerspectiveCamera* camera = nullptr; // the location's
    CQmEntity* hero = nullptr;
    CQmEntity* door = nullptr;
    WalkGridOptions options;
    float previousScale[2] = {1.0f, 1.0f};
    bool ownColliders = false;
};

} // namespace

TEST_F(LocationClicksTest, TheEntityUnderTheMouseAndItsPoints)
{
    MouseOver(Vec3{70.0f, 20.0f, 70.0f});
    EXPECT_EQ(door, m_processor.GetSelectedEntity());
    Run("e = GetSelectedEntity() x, y, z = GetSelectedEntityPoint() "
        "bx, by, bz = GetSelectedBackgroundPoint() n = select('#', GetSelectedEntity(1))");
    EXPECT_EQ("door", Global("e"));
    // The top of the door's box, and the floor behind it.
    EXPECT_NEAR(70.0, std::stod(Global("x")), 1e-2);
    EXPECT_NEAR(20.0, std::stod(Global("y")), 1e-2);
    EXPECT_NEAR(70.0, std::stod(Global("z")), 1e-2);
    // The floor where the ray through the door's top meets it.
    const double floor = 50.0 + 20.0 * 300.0 / 280.0;
    EXPECT_NEAR(floor, std::stod(Global("bx")), 1e-2);
    EXPECT_NEAR(0.0, std::stod(Global("by")), 1e-2);
    EXPECT_NEAR(floor, std::stod(Global("bz")), 1e-2);
    EXPECT_TRUE(Holds("n == 1 and GetSelectedEntity(1) == nil"));

    // Arguments, nothing under the mouse and a strip without geometry all
    // answer zeros (and an empty name).
    Run("x, y, z = GetSelectedEntityPoint(1) bx, by, bz = GetSelectedBackgroundPoint('a')");
    EXPECT_TRUE(Holds("x == 0 and y == 0 and z == 0 and bx == 0 and by == 0 and bz == 0"));
    MouseOver(Vec3{50.0f, 0.0f, 30.0f});
    EXPECT_EQ(nullptr, m_processor.GetSelectedEntity());
    Run("e = GetSelectedEntity() x, y, z = GetSelectedEntityPoint()");
    EXPECT_EQ("", Global("e"));
    EXPECT_TRUE(Holds("x == 0 and y == 0 and z == 0"));
    mouse.x = 10.0f * kScale;
    mouse.y = 256.0f * kScale;
    Run("bx, by, bz = GetSelectedBackgroundPoint()");
    EXPECT_TRUE(Holds("bx == 0 and by == 0 and bz == 0"));

    // A disabled collider is not picked; without a location there is no
    // entity point at all.
    door->GetProp(QM_PROP_COLLIDER)->SetEnabled(false);
    MouseOver(Vec3{70.0f, 20.0f, 70.0f});
    EXPECT_EQ(nullptr, m_processor.GetSelectedEntity());
    manager.current = nullptr;
    Run("n = select('#', GetSelectedEntityPoint()) e = GetSelectedEntity()");
    EXPECT_EQ("0", Global("n"));
    EXPECT_EQ("", Global("e"));
    manager.current = location;
}

TEST_F(LocationClicksTest, ClicksOnTheLocation)
{
    enum Where { kDoor, kHeroFarEnd, kFloor, kVoid, kAtHisFeet };
    enum Dialog { kNoDialog, kRefusing, kTaking, kTakingAndLocking };
    struct Case {
        const char* name;
        Where where;
        bool document, locked, item, noHero;
        Dialog dialogState;
        const char* events; // recorded, joined
        bool walks;         // the hero is sent to the floor under the mouse
        int skips;
    } cases[] = {
        {"a document closes, nothing else", kDoor, true, false, false, false, kNoDialog, "here_document_close(note)",
         false, 0},
        {"locked input drops it", kDoor, false, true, false, false, kNoDialog, "", false, 0},
        {"a dialog refusing clicks drops it", kDoor, false, false, false, false, kRefusing, "", false, 0},
        {"a dialog taking it, then the door", kDoor, false, false, false, false, kTaking, "here_use_object(door)",
         false, 1},
        {"a dialog taking it and locking", kDoor, false, false, false, false, kTakingAndLocking, "", false, 1},
        {"the door", kDoor, false, false, false, false, kNoDialog, "here_use_object(door)", false, 0},
        {"the hero without an item walks", kHeroFarEnd, false, false, false, false, kNoDialog, "", true, 0},
        {"the hero with an item: his use test", kHeroFarEnd, false, false, true, false, kNoDialog,
         "global_use_invitem_on_hero(hero,held)", false, 0},
        {"the floor", kFloor, false, false, false, false, kNoDialog, "", true, 0},
        {"the floor with an item held", kFloor, false, false, true, false, kNoDialog, "", false, 0},
        {"the floor without a hero", kFloor, false, false, false, true, kNoDialog, "", false, 0},
        {"no geometry: no event", kVoid, false, false, false, false, kNoDialog, "", false, 0},
        {"a refused walk", kAtHisFeet, false, false, false, false, kNoDialog, "here_cant_walk()", false, 0},
    };
    CQmOverlayDocument note;
    note.name = "note";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Place(*hero, Vec3{15.0f, 0.0f, 15.0f});
        BoxCollider(hero, Vec3{-5.0f, 0.0f, -5.0f}, Vec3{40.0f, 30.0f, 5.0f});
        Motion(hero)->Stop();
        Actor(hero)->dispatchTarget = Vec3{0, 0, 0};
        Actor(hero)->ClearCurrentAction();
        m_processor.inputLockTime = 0.0f;
        m_processor.document = nullptr;
        if (c.document)
            m_processor.ShowDocument(&note);
        if (c.locked)
            m_processor.LockInput(5.0f);
        dialog->active = c.dialogState != kNoDialog;
        dialog->lastSentence = c.dialogState == kTaking || c.dialogState == kTakingAndLocking;
        dialog->lockOnSkip = c.dialogState == kTakingAndLocking;
        dialog->skips = 0;
        inventory.Hold(c.item);
        m_processor.hero = c.noHero ? nullptr : Actor(hero);
        switch (c.where) {
        case kDoor:
            MouseOver(Vec3{70.0f, 20.0f, 70.0f});
            break;
        case kHeroFarEnd:
            MouseOver(Vec3{50.0f, 30.0f, 15.0f});
            break;
        case kFloor:
            MouseOver(Vec3{80.0f, 0.0f, 30.0f});
            break;
        case kVoid:
            mouse.x = 20.0f * kScale;
            mouse.y = 200.0f * kScale;
            break;
        case kAtHisFeet:
            MouseOver(Vec3{17.0f, 0.0f, 13.0f});
            break;
        }
        recorder->Clear();
        m_processor.clickPending = 1;
        m_processor.OnLocationClick();

        EXPECT_EQ(0, m_processor.clickPending);
        EXPECT_EQ(c.events, recorder->Joined());
        EXPECT_EQ(c.skips, dialog->skips);
        EXPECT_EQ(c.walks, Motion(hero)->stopped == 0);
        if (c.walks) {
            const Vec3 floor = FloorUnderMouse();
            EXPECT_NEAR(floor.x, Actor(hero)->dispatchTarget.x, 1e-2f);
            EXPECT_NEAR(0.0f, Actor(hero)->dispatchTarget.y, 1e-2f);
            EXPECT_NEAR(floor.z, Actor(hero)->dispatchTarget.z, 1e-2f);
        }
        if (c.document) {
            EXPECT_EQ(nullptr, m_processor.document);
            EXPECT_EQ(0.0f, m_processor.inputLockTime);
            EXPECT_TRUE(inventory.input);
        }
    }
    dialog->active = false;
    inventory.Hold(false);
    Motion(hero)->Stop();

    // Through the update: a pending click is handled once, a double click
    // makes the hero run.
    m_processor.hero = Actor(hero);
    MouseOver(Vec3{80.0f, 0.0f, 30.0f});
    m_processor.clickPending = 1;
    m_processor.doubleClick = 1;
    manager.current = location;
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(0, m_processor.clickPending);
    EXPECT_EQ(0, m_processor.doubleClick);
    EXPECT_EQ(0, Motion(hero)->stopped);
    EXPECT_EQ(kQmGaitRun, Legs(hero)->requestedGait);
}

TEST_F(LocationClicksTest, TheCursorFollowsTheActorUnderTheMouse)
{
    CQmPropActor* doorActor = Actor(door);
    struct Case {
        int32_t action;
        bool item;
        bool overHero;
        uint32_t cursor;
    } cases[] = {
        {QM_ACTION_USE, false, false, 14},     {QM_ACTION_USE, true, false, 16},
        {QM_ACTION_TALK, false, false, 17},    {QM_ACTION_TALK, true, false, 16},
        {QM_ACTION_PORTAL, false, false, 19},  {QM_ACTION_PORTAL, true, false, 19},
        {QM_ACTION_LOOK, false, false, 18},    {QM_ACTION_LOOK, true, false, 16},
        {QM_ACTION_NONE, false, false, 1},     {QM_ACTION_NONE, true, false, 15},
        {QM_ACTION_INVITEM, false, false, 1},  {QM_ACTION_USE, false, true, 1},
        {QM_ACTION_USE, true, true, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.action) + (c.item ? " with an item" : "") + (c.overHero ? " over the hero" : ""));
        doorActor->permittedAction = c.action;
        Actor(hero)->permittedAction = c.action;
        inventory.Hold(c.item);
        MouseOver(c.overHero ? Vec3{50.0f, 30.0f, 15.0f} : Vec3{70.0f, 20.0f, 70.0f});
        m_processor.mainScreenControl = nullptr;
        CGuiControl screen(1280.0f, 1024.0f);
        m_processor.mainScreenControl = &screen;
        m_processor.cursorRefreshPending = 1;
        m_processor.UpdateCursor();
        EXPECT_EQ(c.cursor, cursors->shownCursor);
        EXPECT_EQ(int32_t(c.cursor), screen.cursorType);
        EXPECT_EQ(0, m_processor.cursorRefreshPending);
        m_processor.mainScreenControl = nullptr;
    }

    // Off the actors: the default or "Grab"; a disabled actor counts as none.
    MouseOver(Vec3{80.0f, 0.0f, 30.0f});
    inventory.Hold(false);
    m_processor.UpdateCursor();
    EXPECT_EQ(1u, cursors->shownCursor);
    doorActor->permittedAction = QM_ACTION_TALK;
    doorActor->SetEnabled(false);
    MouseOver(Vec3{70.0f, 20.0f, 70.0f});
    inventory.Hold(true);
    m_processor.UpdateCursor();
    EXPECT_EQ(15u, cursors->shownCursor);
    doorActor->SetEnabled(true);
    inventory.Hold(false);

    // A dialog that refuses clicks shows the default and keeps the refresh
    // pending; the lock hides the cursor and keeps it pending too.
    dialog->active = true;
    m_processor.cursorRefreshPending = 1;
    m_processor.UpdateCursor();
    EXPECT_EQ(1u, cursors->shownCursor);
    EXPECT_EQ(1, m_processor.cursorRefreshPending);
    dialog->lastSentence = true;
    m_processor.UpdateCursor();
    EXPECT_EQ(17u, cursors->shownCursor);
    EXPECT_EQ(0, m_processor.cursorRefreshPending);
    dialog->active = false;
    m_processor.cursorRefreshPending = 1;
    m_processor.LockInput(1.0f);
    EXPECT_EQ(0u, cursors->shownCursor);
    EXPECT_EQ(1, m_processor.cursorRefreshPending);
}

// The "Portal" cursor turns toward the portal's direction as the camera
// sees it: pi - s x acos(x) of the direction in view space, flattened.
TEST_F(LocationClicksTest, ThePortalCursorTurnsWithTheCamera)
{
    CQmPropActor* doorActor = Actor(door);
    doorActor->permittedAction = QM_ACTION_PORTAL;
    CGmSprite* portal = cursors->GetCursorSprite(19);
    ASSERT_NE(nullptr, portal);
    struct Case {
        Vec3 portalDir;
        bool turnedCamera; // the second camera: beside the door, looking along +x
        float angle;
    } cases[] = {
        // From above with +z up on the screen: world x is screen x (view x
        // = 1: acos 1 = 0), world z is screen up (view y = 1).
        {Vec3{0, 0, 0}, false, kPi},
        {Vec3{1, 0, 0}, false, kPi},
        {Vec3{-1, 0, 0}, false, 0.0f},
        {Vec3{0, 0, 1}, false, kPi * 0.5f},
        {Vec3{0, 0, -1}, false, kPi * 1.5f},
        // From the side looking along +x: world +x is depth (flattened to
        // nothing, taken as it comes), world +y is up, world -z is right.
        {Vec3{0, 1, 0}, true, kPi * 0.5f},
        {Vec3{0, 0, -1}, true, kPi},
    };
    CGmPerspectiveCamera side;
    side.screenWidth = int32_t(kWidth);
    side.screenHeight = int32_t(kHeight);
    side.eye = Vec3{-200.0f, 10.0f, 70.0f};
    side.target = Vec3{70.0f, 10.0f, 70.0f};
    side.up = Vec3{0.0f, 1.0f, 0.0f};
    side.nearPlane = 10.0f;
    side.farPlane = 1000.0f;
    side.Apply({0, 0, kWidth, kHeight, 0.0f, 1.0f});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.portalDir.x) + " " + std::to_string(c.portalDir.y) + " " +
                     std::to_string(c.portalDir.z) + (c.turnedCamera ? " from the side" : " from above"));
        doorActor->portalDir = c.portalDir;
        CGeHub::s_cameras3d[0] = c.turnedCamera ? &side : camera;
        MouseOver(Vec3{70.0f, 20.0f, 70.0f});
        m_processor.UpdateCursor();
        EXPECT_EQ(19u, cursors->shownCursor);
        EXPECT_NEAR(0.0f, portal->frame.angles.x, 1e-5f);
        EXPECT_NEAR(0.0f, portal->frame.angles.y, 1e-5f);
        EXPECT_NEAR(c.angle, portal->frame.angles.z, 1e-4f);
    }
    CGeHub::s_cameras3d[0] = camera;
}

TEST_F(LocationClicksTest, TheHintBesideTheCursor)
{
    CGuiManager gui;
    CGuiControlSet* set = gui.CreateControlSet(CGeString("main"));
    g_mainControlSet = set;
    CGuiControl* hint = set->CreateControl(CGeString("hint"), EGCT_TEXTCONTROL);
    ASSERT_NE(nullptr, hint);
    hint->SetSize(200.0f, 40.0f);
    CQmPropActor* doorActor = Actor(door);
    doorActor->displayName = CGeWString(u"The door");

    // First placement +35, +42, then it follows at +55, +55; near the right
    // and bottom edges it goes to the mouse's other side.
    struct Case {
        float mouseX, mouseY;
        bool same;
        float x, y;
    } cases[] = {
        {100.0f, 100.0f, false, 135.0f, 142.0f},  {100.0f, 100.0f, true, 155.0f, 155.0f},
        {1100.0f, 500.0f, true, 893.0f, 555.0f},   {1100.0f, 990.0f, true, 893.0f, 945.0f},
        {1100.0f, 990.0f, false, 893.0f, 945.0f},  {1000.0f, 940.0f, false, 1035.0f, 982.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mouseX) + ", " + std::to_string(c.mouseY));
        if (!c.same)
            m_processor.ShowActorHint(nullptr);
        mouse.x = c.mouseX;
        mouse.y = c.mouseY;
        m_processor.ShowActorHint(doorActor);
        EXPECT_EQ(hint, m_processor.hintControl);
        EXPECT_EQ(1, m_processor.hintVisible);
        EXPECT_FLOAT_EQ(c.x, hint->X());
        EXPECT_FLOAT_EQ(c.y, hint->Y());
    }
    CGeWString text;
    ASSERT_TRUE(hint->GetProperty(EP_Text, text));
    EXPECT_TRUE(text == CGeWString(u"The door"));

    // Through the update: the door under the mouse shows its hint, a nameless
    // actor none, the floor hides it; the lock keeps what is shown.
    m_processor.ShowActorHint(nullptr);
    MouseOver(Vec3{70.0f, 20.0f, 70.0f});
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(doorActor, m_processor.hintActor);
    EXPECT_EQ(1, hint->visible);
    m_processor.LockInput(2.0f);
    MouseOver(Vec3{80.0f, 0.0f, 30.0f});
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(1, hint->visible);
    m_processor.LockInput(0.0f);
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(0, hint->visible);
    EXPECT_EQ(nullptr, m_processor.hintActor);
    MouseOver(Vec3{50.0f, 30.0f, 15.0f});
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(Actor(hero), m_processor.hintActor);
    EXPECT_EQ(0, hint->visible);
    m_processor.hintControl = nullptr; // the set goes with this test
    m_processor.hintActor = nullptr;
}

TEST_F(LocationClicksTest, HeroAndInputLockFromScripts)
{
    // The name is kept even where nothing answers to it; the hero found is
    // the named entity's actor; an entity without one is logged.
    m_processor.hero = nullptr;
    Run("SetMainHero('nobody')");
    EXPECT_STREQ("nobody", m_processor.heroName.c_str());
    EXPECT_EQ(nullptr, m_processor.hero);
    CQmEntity* crate = Keep(figure::MakeEntity("crate", 0));
    location->AddNamedObject(crate->name, crate, true);
    GeLogClearLast();
    Run("SetMainHero('crate')");
    EXPECT_EQ(nullptr, m_processor.hero);
    EXPECT_STREQ("Main hero is not an actor!\n", GeLogLastMessage().c_str());
    Run("SetMainHero('hero')");
    EXPECT_EQ(Actor(hero), m_processor.hero);
    Run("SetMainHero() SetMainHero('a', 'b') SetMainHero({})");
    EXPECT_STREQ("hero", m_processor.heroName.c_str());

    // The update finds a hero named while none was there.
    m_processor.hero = nullptr;
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(Actor(hero), m_processor.hero);

    // The lock: seconds, the inventory's input off while it lasts, counted
    // down by the update to exactly 0.
    struct Case {
        const char* call;
        float lock;
        bool input;
    } cases[] = {
        {"LockInput(2)", 2.0f, false},      {"LockInput('0.5')", 0.5f, false}, {"LockInput(0)", 0.0f, true},
        {"LockInput(-1)", -1.0f, true},     {"LockInput(1.5)", 1.5f, false},   {"LockInput()", 1.5f, false},
        {"LockInput('x')", 1.5f, false},    {"LockInput(1, 2)", 1.5f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        Run(c.call);
        EXPECT_FLOAT_EQ(c.lock, m_processor.inputLockTime);
        EXPECT_EQ(c.input, inventory.input);
    }
    for (int frame = 0; frame < 3; ++frame) {
        Advance(0.4);
        m_processor.Update();
    }
    EXPECT_NEAR(0.3f, m_processor.inputLockTime, 1e-5f);
    EXPECT_FALSE(inventory.input);
    Advance(0.4);
    m_processor.Update();
    EXPECT_EQ(0.0f, m_processor.inputLockTime);
    EXPECT_TRUE(inventory.input);
}

// A script fired from inside the frame's update takes entities away: the one
// being updated and one further along are not updated again, neither is
// freed before the update returns, and the hero and the hint let go of them.
TEST_F(LocationClicksTest, EntitiesTakenAwayInTheMiddleOfAnUpdate)
{
    auto owned = [&](const char* name) {
        CQmEntity* entity = ProbeEntity(name, {QM_PROP_LIGHT_SOURCE, QM_PROP_SOUND_SOURCE});
        entity->SetProp(QM_PROP_WALKER, new TickProp(entity));
        entity->props[QM_PROP_WALKER]->enabled = 1;
        location->AddNamedObject(entity->name, entity, false);
        return entity;
    };
    CQmEntity* first = owned("first");
    CQmEntity* second = owned("second");
    auto* target = new CQmPropActor(second);
    second->SetProp(QM_PROP_ACTOR, target);
    target->SetEnabled(true);
    target->walkForInteraction = 1;
    target->SetIaZone(Vec3{0, 0, 0}, 1.0f, Vec3{0, 0, 0}, Vec3{0, 0, 0});
    CQmEntity* third = owned("third");

    // The hint shows the second's actor.
    m_processor.hintActor = target;
    m_processor.hintVisible = 1;

    Run("function tick(name) if name == 'first' then Remove('first') Remove('third') end end");
    g_propJournal.clear();
    Tick(*location, 0.04);
    const std::vector<std::string> journal = g_propJournal;
    auto at = [&](const std::string& what) {
        return std::find(journal.begin(), journal.end(), what) - journal.begin();
    };
    // The first stops after its ticking property (its sound source is not
    // updated), the third is not updated at all, and both are deleted when
    // the update returns, after the second's update.
    EXPECT_LT(at("first tick"), (long)journal.size());
    EXPECT_EQ((long)journal.size(), at("first.12 update"));
    EXPECT_EQ((long)journal.size(), at("third.0 update"));
    EXPECT_LT(at("second.12 update"), at("first.0 delete"));
    EXPECT_LT(at("second.12 update"), at("third.0 delete"));
    EXPECT_EQ(nullptr, location->FindEntity("first"));

    // The second goes from a script run by the processor's own update (the
    // click handler's events run there too): the hint drops it.
    Run("function tick(name) if name == 'second' then Remove('second') end end");
    g_propJournal.clear();
    Advance(0.04);
    m_processor.Update();
    EXPECT_EQ(nullptr, location->FindEntity("second"));
    EXPECT_EQ(nullptr, m_processor.hintActor);
    EXPECT_EQ(0, m_processor.hintVisible);

    // Outside any update an entity goes at once; the hero's own entity
    // leaving drops the hero.
    Run("function tick(name) end");
    g_propJournal.clear();
    Run("Remove('hero')");
    EXPECT_EQ(nullptr, m_processor.hero);
    entities.erase(std::remove_if(entities.begin(), entities.end(),
                                  [&](const std::unique_ptr<CQmEntity>& e) { return e.get() == hero; }),
                   entities.end());
    (void)first;
    (void)third;
}
