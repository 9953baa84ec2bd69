// The puzzle script functions. Those that work on a running puzzle (the
// position, pivot, task, visibility, value and cursor functions) return at
// once, without a trace and without any result, while there is no puzzle
// control set; "PuzzleGetPos" then returns no values at all. The others
// work on the manager directly: adding a control or loading a control file
// is what starts a puzzle. An unknown control name is the manager's concern,
// except for "PuzzleIsMouseOver", which answers false.
//
// "PuzzleRemoveTask" still takes its control argument and checks it, but
// removes the tasks of its kind from every control: a task kind is shared by
// all controls of the puzzle.
#include "Source/GameClasses/QmScriptPuzzles.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmScriptApi.h"

namespace {

// The most parameters a task call carries after the control, kind and time.
constexpr int kMaxTaskValues = 1023;

bool PuzzleRunning()
{
    return g_puzzleManager && g_puzzleManager->HasPuzzle();
}

} // namespace

int Lua_PuzzleAddControl(lua_State* L)
{
    if (!ScriptCheckArgs(L, "PuzzleAddControl", "tnnnn") || !g_puzzleManager)
        return 0;
    g_puzzleManager->AddControl(ScriptArgText(L, 1), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3), ScriptArgFloat(L, 4),
                                ScriptArgFloat(L, 5));
    return 0;
}

int Lua_PuzzleRemoveControl(lua_State* L)
{
    if (ScriptCheckArgs(L, "PuzzleRemoveControl", "t") && g_puzzleManager)
        g_puzzleManager->RemoveControl(ScriptArgText(L, 1));
    return 0;
}

int Lua_PuzzleReset(lua_State* L)
{
    if (ScriptCheckArgs(L, "PuzzleReset", "") && g_puzzleManager)
        g_puzzleManager->Reset();
    return 0;
}

int Lua_PuzzleBringToFront(lua_State* L)
{
    if (ScriptCheckArgs(L, "PuzzleBringToFront", "t") && g_puzzleManager)
        g_puzzleManager->BringToFront(ScriptArgText(L, 1));
    return 0;
}

int Lua_PuzzleAssignSprite(lua_State* L)
{
    const int count = lua_gettop(L);
    if (count != 2 && count != 6) {
        ScriptRefuseCall("PuzzleAssignSprite", "wrong number of arguments", count);
        return 0;
    }
    if (!ScriptCheckArgs(L, "PuzzleAssignSprite", count == 2 ? "tt" : "ttnnnn") || !g_puzzleManager)
        return 0;
    if (count == 2) {
        g_puzzleManager->AssignSprite(ScriptArgText(L, 1), ScriptArgText(L, 2), 1, 1, 1, 17);
    } else {
        g_puzzleManager->AssignSprite(ScriptArgText(L, 1), ScriptArgText(L, 2), ScriptArgInt(L, 3), ScriptArgInt(L, 4),
                                      ScriptArgInt(L, 5), ScriptArgInt(L, 6));
    }
    return 0;
}

int Lua_PuzzleSetFlags(lua_State* L)
{
    if (ScriptCheckArgs(L, "PuzzleSetFlags", "tn") && g_puzzleManager)
        g_puzzleManager->SetFlags(ScriptArgText(L, 1), ScriptArgInt(L, 2));
    return 0;
}

int Lua_PuzzleSetPos(lua_State* L)
{
    if (PuzzleRunning() && ScriptCheckArgs(L, "PuzzleSetPos", "tnn"))
        g_puzzleManager->SetPos(ScriptArgText(L, 1), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3));
    return 0;
}

int Lua_PuzzleGetPos(lua_State* L)
{
    if (!PuzzleRunning())
        return 0;
    float x = 0.0f, y = 0.0f;
    if (ScriptCheckArgs(L, "PuzzleGetPos", "t"))
        g_puzzleManager->GetPos(ScriptArgText(L, 1), &x, &y);
    ScriptPushNumber(L, x);
    ScriptPushNumber(L, y);
    return 2;
}

int Lua_PuzzleSetPivot(lua_State* L)
{
    if (PuzzleRunning() && ScriptCheckArgs(L, "PuzzleSetPivot", "tnn"))
        g_puzzleManager->SetPivot(ScriptArgText(L, 1), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3));
    return 0;
}

int Lua_PuzzleAddTask(lua_State* L)
{
    if (!PuzzleRunning() || !ScriptCheckArgCount(L, "PuzzleAddTask", 4, kMaxTaskValues + 3))
        return 0;
    // Every argument is checked before any is read: one text among the
    // values refuses the whole call.
    const int count = lua_gettop(L);
    if (!ScriptIsText(L, 1))
        return ScriptRefuseCall("PuzzleAddTask", "wrong type of argument", 1), 0;
    for (int i = 2; i <= count; ++i)
        if (!ScriptIsNumber(L, i))
            return ScriptRefuseCall("PuzzleAddTask", "wrong type of argument", i), 0;
    float values[kMaxTaskValues];
    for (int i = 4; i <= count; ++i)
        values[i - 4] = ScriptArgFloat(L, i);
    g_puzzleManager->AddTask(ScriptArgText(L, 1), ScriptArgInt(L, 2), ScriptArgFloat(L, 3),
                             static_cast<uint32_t>(count - 3), values);
    return 0;
}

int Lua_PuzzleRemoveTask(lua_State* L)
{
    if (!PuzzleRunning() || !ScriptCheckArgs(L, "PuzzleRemoveTask", "t|n"))
        return 0;
    g_puzzleManager->RemoveTask(lua_gettop(L) >= 2 ? ScriptArgInt(L, 2) : -1);
    return 0;
}

int Lua_PuzzleLoadControls(lua_State* L)
{
    if (ScriptCheckArgs(L, "PuzzleLoadControls", "t") && g_puzzleManager)
        g_puzzleManager->LoadControls(ScriptArgText(L, 1));
    return 0;
}

int Lua_PuzzleSetText(lua_State* L)
{
    if (ScriptCheckArgs(L, "PuzzleSetText", "tt") && g_puzzleManager)
        g_puzzleManager->SetText(ScriptArgText(L, 1), ScriptArgText(L, 2));
    return 0;
}

int Lua_PuzzleSetCtrlVisibility(lua_State* L)
{
    if (PuzzleRunning() && ScriptCheckArgs(L, "PuzzleSetCtrlVisibility", "tb"))
        g_puzzleManager->SetCtrlVisibility(ScriptArgText(L, 1), ScriptArgBool(L, 2));
    return 0;
}

int Lua_PuzzleSetCtrlValue(lua_State* L)
{
    if (PuzzleRunning() && ScriptCheckArgs(L, "PuzzleSetCtrlValue", "tn"))
        g_puzzleManager->SetCtrlValue(ScriptArgText(L, 1), ScriptArgFloat(L, 2));
    return 0;
}

int Lua_PuzzleIsMouseOver(lua_State* L)
{
    if (!ScriptCheckArgs(L, "PuzzleIsMouseOver", "t"))
        return ScriptPushBool(L, false);
    CGuiControl* control = QmPuzzleFindControl(ScriptArgText(L, 1));
    return ScriptPushBool(L, control && g_mouse && control->IsPointInClientArea(g_mouse->x, g_mouse->y));
}

int Lua_SetPuzzleControlCursorType(lua_State* L)
{
    if (!PuzzleRunning() || !ScriptCheckArgs(L, "SetPuzzleControlCursorType", "tnn"))
        return 0;
    const int32_t cursor = ScriptArgInt(L, 2);
    const int32_t blend = ScriptArgInt(L, 3);
    // The blend mode belongs to the cursor itself: every control showing it
    // changes with it.
    if (g_cursors && cursor > 0)
        if (CGmSprite* sprite = g_cursors->GetCursorSprite(static_cast<uint32_t>(cursor)))
            sprite->SetBlendMode(static_cast<uint32_t>(blend));
    const char* name = ScriptArgText(L, 1);
    CGuiControl* control = g_puzzleManager->FindControl(name);
    if (!control) {
        GeTrace("Lua_SetPuzzleControlCursorType: no puzzle control '%s'", name);
        return 0;
    }
    control->SetProperty(EP_CursorType, GuiMakeUInt(static_cast<uint32_t>(cursor)), true);
    return 0;
}

int Lua_SetPuzzleControlTranpForManipulator(lua_State* L)
{
    if (!PuzzleRunning() || !ScriptCheckArgs(L, "SetPuzzleControlTranpForManipulator", "tb"))
        return 0;
    if (CGuiControl* control = g_puzzleManager->FindControl(ScriptArgText(L, 1)))
        control->SetProperty(EP_TransparentForManipulator, GuiMakeBool(ScriptArgBool(L, 2) ? 1 : 0), true);
    return 0;
}

int Lua_GetManipulatorPos(lua_State* L)
{
    float x = 0.0f, y = 0.0f;
    if (lua_gettop(L) == 0 && g_mouse) {
        const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
        x = scale[0] != 0.0f ? g_mouse->x / scale[0] : 0.0f;
        y = scale[1] != 0.0f ? g_mouse->y / scale[1] : 0.0f;
    } else if (lua_gettop(L) != 0) {
        ScriptRefuseCall("GetManipulatorPos", "too many arguments", lua_gettop(L));
    }
    ScriptPushNumber(L, x);
    ScriptPushNumber(L, y);
    return 2;
}
