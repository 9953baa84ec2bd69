// The on-place entity editor: keys by mode against the selected entity's
// place and turn and its current allocator, the help and mode keys, stepping
// through the allocators, what is not the editor's (keys before a selection,
// a control's key-down), the status text compared whole, the selection
// forgotten with its location or its entity, the debug overlay, and
// "SelectEntity" from the scripts.
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmEntityEditor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

#include <cmath>
#include <string>

namespace {

constexpr uint32_t kPad1 = 0x61, kPad2 = 0x62, kPad3 = 0x63, kPad4 = 0x64, kPad5 = 0x65;
constexpr uint32_t kPadPlus = 0x6B, kPadMinus = 0x6D, kKeyH = 0x48;

// An allocator of the barrel offset to a point, unturned.
CQmAllocator* AllocatorAt(CQmEntity* owner, const Vec3& position)
{
    auto* allocator = new CQmAllocator(owner, Matrix4::Identity());
    allocator->SetTransform(position, {0.0f, 0.0f, 0.0f});
    return allocator;
}

class QmEntityEditorTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        previousKeyboard = g_keyboard;
        g_keyboard = &keyboard;
        barrel = new CQmEntity();
        barrel->name = "barrel";
        location->AddNamedObject(barrel->name, barrel, false);
        auto* list = new CQmPropAllocatorList(barrel);
        list->Insert("a_hand", AllocatorAt(barrel, {1.0f, 2.0f, 3.0f}));
        list->Insert("b_head", AllocatorAt(barrel, {0.0f, 5.0f, 0.0f}));
        list->Insert("c_foot", AllocatorAt(barrel, {0.0f, -5.0f, 0.0f}));
        barrel->SetProp(QM_PROP_ALLOCATOR_LIST, list);
        Place();
    }

    void TearDown() override
    {
        g_keyboard = previousKeyboard;
        ScriptLocationTest::TearDown();
    }

    // The barrel back at (10, 20, 30), unturned, its hand at (1, 2, 3).
    void Place()
    {
        barrel->frame.SetPosition({10.0f, 20.0f, 30.0f});
        barrel->frame.SetAngles({0.0f, 0.0f, 0.0f});
        barrel->frame.UpdateWorldMatrix();
        Hand()->SetTransform({1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 0.0f});
    }

    CQmAllocator* Hand() const
    {
        return barrel->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST)->Find("a_hand");
    }

    void Press(CQmEntityEditor& editor, uint32_t key, bool shift = false)
    {
        keyboard.lastPressedKey = key;
        if (shift)
            keyboard.keys[QM_VK_SHIFT >> 3] |= uint8_t(1 << (QM_VK_SHIFT & 7));
        else
            keyboard.keys[QM_VK_SHIFT >> 3] &= uint8_t(~(1 << (QM_VK_SHIFT & 7)));
        editor.HandleMessage(&keyboard, QM_MSG_KEY_DOWN);
    }

    static std::string Text(CQmEntityEditor& editor) { return WideStringToAnsi(editor.GetStatusText()).c_str(); }

    CGeKeyboardState keyboard;
    CGeKeyboardState* previousKeyboard = nullptr;
    CQmEntity* barrel = nullptr;
};

const char kTitle[] = "&0xFFFFFF00 On-place entity editor. Hit <H> key for help.&0xFFFFFFFF\n";

std::string EntityBlock(const char* name, const char* x, const char* y, const char* z, const char* rx,
                        const char* ry, const char* rz)
{
    return std::string("&0xFFFFFF00 ----------------------&0xFFFFFFFF\n&0xFFFFFF00 Name: &0xFFFFFFFF ") + name +
           "\n&0xFFFFFF00 PosX: &0xFFFFFFFF " + x + "\n&0xFFFFFF00 PosY: &0xFFFFFFFF " + y +
           "\n&0xFFFFFF00 PosZ: &0xFFFFFFFF " + z +
           "\n&0xFFFFFF00 ----------------------&0xFFFFFFFF\n&0xFFFFFF00 RotX: &0xFFFFFFFF " + rx +
           "\n&0xFFFFFF00 RotY: &0xFFFFFFFF " + ry + "\n&0xFFFFFF00 RotZ: &0xFFFFFFFF " + rz + "\n";
}

} // namespace

TEST_F(QmEntityEditorTest, KeysMoveTurnOrEditTheAllocatorByMode)
{
    struct Case {
        uint32_t modeKey, key;
        bool shift;
        Vec3 position, angles, allocator, allocatorAngles;
    };
    const Vec3 zero = {0.0f, 0.0f, 0.0f};
    const Vec3 at = {10.0f, 20.0f, 30.0f};
    const Vec3 hand = {1.0f, 2.0f, 3.0f};
    const float degree = 0.0174533f, tenDegrees = 0.174533f;
    const Case cases[] = {
        {kPad1, QM_VK_LEFT, false, {9.0f, 20.0f, 30.0f}, zero, hand, zero},
        {kPad1, QM_VK_RIGHT, true, {20.0f, 20.0f, 30.0f}, zero, hand, zero},
        {kPad1, QM_VK_UP, false, {10.0f, 20.0f, 31.0f}, zero, hand, zero},
        {kPad1, QM_VK_DOWN, true, {10.0f, 20.0f, 20.0f}, zero, hand, zero},
        {kPad1, QM_VK_A, false, {10.0f, 21.0f, 30.0f}, zero, hand, zero},
        {kPad1, QM_VK_Z, true, {10.0f, 10.0f, 30.0f}, zero, hand, zero},
        {kPad2, QM_VK_LEFT, false, at, {-degree, 0.0f, 0.0f}, hand, zero},
        {kPad2, QM_VK_UP, true, at, {0.0f, 0.0f, tenDegrees}, hand, zero},
        {kPad2, QM_VK_Z, false, at, {0.0f, -degree, 0.0f}, hand, zero},
        {kPad3, QM_VK_RIGHT, true, at, zero, hand, zero},
        {kPad3, QM_VK_A, false, at, zero, hand, zero},
        {kPad4, QM_VK_UP, false, at, zero, hand, zero},
        {kPad4, QM_VK_LEFT, true, at, zero, hand, zero},
        // Mode 5: the first axis, the second (Up/Down), the third (A/Z);
        // Shift turns instead of moving, by one degree.
        {kPad5, QM_VK_LEFT, false, at, zero, {0.0f, 2.0f, 3.0f}, zero},
        {kPad5, QM_VK_UP, false, at, zero, {1.0f, 3.0f, 3.0f}, zero},
        {kPad5, QM_VK_A, false, at, zero, {1.0f, 2.0f, 4.0f}, zero},
        {kPad5, QM_VK_Z, true, at, zero, hand, {0.0f, 0.0f, -1.0f}},
        {kPad5, QM_VK_RIGHT, true, at, zero, hand, {1.0f, 0.0f, 0.0f}},
        // The allocator keys outside mode 5 do nothing.
        {kPad1, kPadPlus, false, at, zero, hand, zero},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode key " + std::to_string(c.modeKey) + ", key " + std::to_string(c.key) +
                     (c.shift ? " with Shift" : ""));
        Place();
        CQmEntityEditor editor;
        editor.Select(barrel);
        Press(editor, c.modeKey);
        Press(editor, c.key, c.shift);
        EXPECT_TRUE(Vec3::EqualsWithin(c.position, barrel->frame.position, 1e-5f));
        EXPECT_TRUE(Vec3::EqualsWithin(c.angles, barrel->frame.angles, 1e-6f));
        const Matrix4& offset = Hand()->offset;
        EXPECT_TRUE(Vec3::EqualsWithin(c.allocator, {offset.At(0, 3), offset.At(1, 3), offset.At(2, 3)}, 1e-5f));
        EXPECT_TRUE(Vec3::EqualsWithin(c.allocatorAngles, editor.allocatorAngles, 1e-6f));
        EXPECT_STREQ("a_hand", editor.allocatorName.c_str());
        // The change reaches the world matrix at the entity's next update.
        barrel->frame.UpdateWorldMatrix();
        EXPECT_NEAR(c.position.x, barrel->frame.world.m[3], 1e-5f);
    }
}

TEST_F(QmEntityEditorTest, ThirtySixFastTurnsComeBackAround)
{
    CQmEntityEditor editor;
    editor.Select(barrel);
    const Matrix4 before = barrel->frame.world;
    Press(editor, kPad2);
    for (int i = 0; i < 36; ++i)
        Press(editor, QM_VK_LEFT, true);
    EXPECT_NEAR(0.0f, std::remainder(barrel->frame.angles.x, 6.2831853f), 1e-4f);
    barrel->frame.UpdateWorldMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(before.m[i], barrel->frame.world.m[i], 1e-4f) << i;
}

TEST_F(QmEntityEditorTest, AllocatorsStepInNameOrderWithoutWrapping)
{
    CQmEntityEditor editor;
    editor.Select(barrel);
    Press(editor, kPad5);
    const struct {
        uint32_t key;
        const char* current;
    } steps[] = {{kPadMinus, "a_hand"}, {kPadPlus, "b_head"}, {kPadPlus, "c_foot"},
                 {kPadPlus, "c_foot"},  {kPadMinus, "b_head"}, {kPadMinus, "a_hand"}};
    for (const auto& step : steps) {
        Press(editor, step.key);
        EXPECT_STREQ(step.current, editor.allocatorName.c_str());
    }
    // A selection zeroes the allocator angles and starts at the first one.
    Press(editor, kPadPlus);
    Press(editor, QM_VK_A, true);
    EXPECT_EQ(1.0f, editor.allocatorAngles.z);
    editor.Select(barrel);
    EXPECT_STREQ("a_hand", editor.allocatorName.c_str());
    EXPECT_EQ(0.0f, editor.allocatorAngles.z);
    // An entity without allocators has none current.
    editor.Select(crate);
    EXPECT_EQ(nullptr, editor.CurrentAllocator());
}

TEST_F(QmEntityEditorTest, OnlyTheKeyboardsKeysAfterASelectionCount)
{
    CQmEntityEditor editor;
    // Before any selection nothing is the editor's.
    Press(editor, QM_VK_RIGHT);
    Press(editor, kKeyH);
    EXPECT_FALSE(editor.IsEnabled());
    EXPECT_FALSE(editor.helpShown);
    EXPECT_EQ("", Text(editor));
    EXPECT_EQ(10.0f, barrel->frame.position.x);

    editor.Select(barrel);
    EXPECT_TRUE(editor.IsEnabled());
    // A control's key-down (the same code from another sender) and the
    // keyboard's key-up are not the editor's.
    keyboard.lastPressedKey = QM_VK_RIGHT;
    CCiMessageClient control;
    editor.HandleMessage(&control, QM_MSG_KEY_DOWN);
    editor.HandleMessage(&keyboard, QM_MSG_KEY_UP);
    EXPECT_EQ(10.0f, barrel->frame.position.x);
    Press(editor, QM_VK_RIGHT);
    EXPECT_EQ(11.0f, barrel->frame.position.x);
}

TEST_F(QmEntityEditorTest, TheStatusTextShowsHelpModeEntityZoneAndAllocator)
{
    CQmEntityEditor editor;
    editor.Select(crate); // no actor, no allocators
    crate->frame.SetPosition({1.5f, -2.0f, 0.25f});
    crate->frame.SetAngles({3.14159265f, 0.0f, -1.5707963f});
    EXPECT_EQ(std::string(kTitle) + "&0xFFFFFF00 Edit Mode : Change position &0xFFFFFFFF\n" +
                  EntityBlock("crate", "1.500", "-2.000", "0.250", "180.000", "0.000", "-90.000"),
              Text(editor));

    Press(editor, kKeyH);
    EXPECT_EQ("&0xFFFFFF00 On-place entity editor help:&0xFFFFFFFF\n"
              "&0xFFFFFF00 Key left , Key Right : Change X axis &0xFFFFFFFF\n"
              "&0xFFFFFF00 Key up, Key Down : Change Z axis &0xFFFFFFFF\n"
              "&0xFFFFFF00 Key A, Key Z : Change Y axis &0xFFFFFFFF\n"
              "&0xFFFFFF00 Shift : Changes more quickly(Changes Rotation in Allocator Mode) &0xFFFFFFFF\n"
              "&0xFFFFFF00 Key +, Key - : Scrolls allocators(if any) &0xFFFFFFFF\n",
              Text(editor));
    Press(editor, kKeyH);

    const struct {
        int32_t mode;
        const char* line;
    } modes[] = {
        {0, "&0xFFFFFF00 Edit Mode : none            &0xFFFFFFFF\n"},
        {2, "&0xFFFFFF00 Edit Mode : Rotate          &0xFFFFFFFF\n"},
        {3, "&0xFFFFFF00 Edit Mode : Edit IA zone    &0xFFFFFFFF\n"},
        {4, "&0xFFFFFF00 Edit Mode : Edit collider   &0xFFFFFFFF\n"},
        {5, "&0xFFFFFF00 Edit Mode : Edit allocator  &0xFFFFFFFF\n"},
    };
    for (const auto& m : modes) {
        if (m.mode)
            Press(editor, kPad1 + uint32_t(m.mode) - 1);
        else
            editor.mode = 0;
        const std::string text = Text(editor);
        EXPECT_EQ(std::string(kTitle) + m.line, text.substr(0, std::strlen(kTitle) + std::strlen(m.line)));
    }

    // An actor's world zone and the current allocator follow the entity.
    auto* actor = new CQmPropActor(barrel);
    barrel->SetProp(QM_PROP_ACTOR, actor);
    actor->SetIaZone({0.0f, 0.0f, -40.0f}, 25.0f, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f});
    editor.Select(barrel);
    Press(editor, kPad5);
    Press(editor, QM_VK_A, true);
    EXPECT_EQ(std::string(kTitle) + "&0xFFFFFF00 Edit Mode : Edit allocator  &0xFFFFFFFF\n" +
                  EntityBlock("barrel", "10.000", "20.000", "30.000", "0.000", "0.000", "0.000") +
                  "&0xFFFFFF00 ----------------------&0xFFFFFFFF\n"
                  "&0xFFFFFF00 iaZoneX: &0xFFFFFFFF 10.000\n&0xFFFFFF00 iaZoneY: &0xFFFFFFFF 20.000\n"
                  "&0xFFFFFF00 iaZoneZ: &0xFFFFFFFF -10.000\n&0xFFFFFF00 iaZoneRadius: &0xFFFFFFFF 25.000\n"
                  "&0xFFFFFF00 ----------------------&0xFFFFFFFF\n"
                  "&0xFFFFFF00 AllocatorX: &0xFFFFFFFF 1.000\n&0xFFFFFF00 AllocatorY: &0xFFFFFFFF 2.000\n"
                  "&0xFFFFFF00 AllocatorZ: &0xFFFFFFFF 3.000\n&0xFFFFFF00 AllocRotX: &0xFFFFFFFF 0.000\n"
                  "&0xFFFFFF00 AllocRotY: &0xFFFFFFFF 0.000\n&0xFFFFFF00 AllocRotZ: &0xFFFFFFFF 1.000\n"
                  "&0xFFFFFF00 Allocator Name: &0xFFFFFFFF a_hand\n",
              Text(editor));
}

TEST_F(QmEntityEditorTest, TheSelectionGoesWithItsLocationOrItsEntity)
{
    CQmEntityEditor editor;
    editor.Select(barrel);
    // Another location becomes current: the selection is forgotten and
    // stays forgotten when the first one comes back.
    manager.cacheLimit = 2;
    manager.Adopt(new CQmLocation("deck"));
    manager.current = manager.locations.Find(CGeString("deck"))->value;
    Press(editor, QM_VK_RIGHT);
    EXPECT_FALSE(editor.IsEnabled());
    EXPECT_EQ(nullptr, editor.Selected());
    manager.current = location;
    Press(editor, QM_VK_RIGHT);
    EXPECT_EQ(10.0f, barrel->frame.position.x);
    EXPECT_EQ("", Text(editor));

    // The entity is removed (and deleted with it): nothing reads it again.
    editor.Select(barrel);
    ASSERT_TRUE(location->RemoveEntity("barrel"));
    barrel = nullptr;
    Press(editor, QM_VK_RIGHT);
    EXPECT_EQ("", Text(editor));
    EXPECT_FALSE(editor.IsEnabled());
}

TEST_F(QmEntityEditorTest, SelectEntityHandsTheEntityToTheProcessorsEditor)
{
    CQmEntityEditor& editor = *m_processor.editor;
    Run("SelectEntity('nobody')");
    EXPECT_EQ("Lua_SelectEntity: Actor 'nobody' not found in location!\n", TakeLog());
    EXPECT_FALSE(editor.IsEnabled());
    Run("SelectEntity()");
    Run("SelectEntity('barrel', 1)");
    EXPECT_FALSE(editor.IsEnabled());

    Run("SelectEntity('barrel')");
    EXPECT_EQ(barrel, editor.Selected());
    Press(editor, QM_VK_UP, true);
    EXPECT_EQ(40.0f, barrel->frame.position.z);

    // The debug overlay appends the editor's text to its statistics.
    const uint8_t wasShown = g_showAuxInfo;
    g_showAuxInfo = 1;
    m_processor.RenderDebugOverlay();
    const std::string overlay = m_processor.debugText.c_str();
    const std::string status = Text(editor);
    ASSERT_GT(overlay.size(), status.size());
    EXPECT_EQ(status, overlay.substr(overlay.size() - status.size()));
    EXPECT_EQ(0u, overlay.find("&0xFFFFFF00 FPS: "));
    editor.Forget();
    m_processor.RenderDebugOverlay();
    EXPECT_EQ(std::string::npos, std::string(m_processor.debugText.c_str()).find("On-place"));
    g_showAuxInfo = wasShown;
}
