// The puzzle manager: its control set, its controls by name, the task list
// and the script events of the puzzle's input. The tasks themselves are in
// QmPuzzleTasks.cpp.
#include "Source/GameClasses/QmPuzzleManager.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GeFrameAnim.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstring>

namespace {

const char kPuzzleSetName[] = "_puzzle_";

// The events of the GUI-control codes, by code; null where a code has none.
const char* ControlEventName(uint32_t code)
{
    switch (code) {
    case 1: return "btn1_press";
    case 2: return "btn1_unpress";
    case 3: return "btn1_click";
    case 4: return "btn1_dblclick";
    case 5: return "btn2_press";
    case 6: return "btn2_unpress";
    case 7: return "btn2_click";
    case 8: return "btn2_dblclick";
    case 23: return "mouse_move";
    default: return nullptr;
    }
}

// The hosted 2D visual of a custom control, or null.
CGmVisual2D* HostedVisual(CGuiControl* control)
{
    if (!control || control->ControlType() != EGCT_CUSTOM)
        return nullptr;
    return dynamic_cast<CGmVisual2D*>(static_cast<CGuiCustom*>(control)->attached);
}

// Detaches and deletes a custom control's hosted visual.
void DeleteHostedVisual(CGuiControl* control)
{
    if (!control || control->ControlType() != EGCT_CUSTOM)
        return;
    CGuiCustom* custom = static_cast<CGuiCustom*>(control);
    CGmVisualObject* visual = custom->attached;
    custom->DetachVisual();
    delete visual;
}

} // namespace

CGuiControl* QmPuzzleFindControl(const char* name)
{
    return g_puzzleManager ? g_puzzleManager->FindControl(name) : nullptr;
}

void QmPuzzlePlace(CGuiControl* control, float x, float y)
{
    if (control)
        control->PlaceAt(x, y);
}

bool QmPuzzleSetAlpha(CGuiControl* control, float value)
{
    CGmVisual2D* visual = HostedVisual(control);
    if (!visual)
        return false;
    // The low byte of the truncated value, as a byte store would keep it.
    const int64_t whole = static_cast<int64_t>(value > -9.2e18f && value < 9.2e18f ? value : 0.0f);
    visual->SetAlpha(static_cast<uint8_t>(whole & 0xFF));
    return true;
}

bool QmPuzzleGetAlpha(CGuiControl* control, float* value)
{
    CGmVisual2D* visual = HostedVisual(control);
    if (!visual)
        return false;
    *value = static_cast<float>(visual->alpha);
    return true;
}

CQmPuzzleManager::CQmPuzzleManager() = default;

CQmPuzzleManager::~CQmPuzzleManager()
{
    Reset();
}

CQmPuzzleManager* CQmPuzzleManager::Create()
{
    CQmPuzzleManager* manager = new CQmPuzzleManager();
    // Puzzle images and sprite schemas are then found by name.
    CGuiResources::Load(g_dataRoot + "Gui/puzzles.xml", 1);
    ScriptRunFile((g_dataRoot + "Scripts/puzzles.lua").c_str());
    return manager;
}

void CQmPuzzleManager::CreatePuzzleSet()
{
    if (puzzleSet || !g_guiManager)
        return;
    if (g_dialogSystem && g_dialogSystem->IsActive())
        g_dialogSystem->EndDialog();
    savedSet = g_guiManager->currentSet;
    puzzleSet = g_guiManager->CreateControlSet(kPuzzleSetName);
    if (!puzzleSet) {
        // A set of that name that someone else made is not ours to destroy.
        savedSet = nullptr;
        return;
    }
    g_guiManager->currentSet = puzzleSet;
}

CGuiControl* CQmPuzzleManager::FindControl(const char* name) const
{
    if (!puzzleSet || !name)
        return nullptr;
    return puzzleSet->FindControl(CGeString(name));
}

int32_t CQmPuzzleManager::FindOwnIndex(const char* name) const
{
    CGuiControl* control = FindControl(name);
    if (!control)
        return -1;
    for (uint32_t i = 0; i < controlCount; ++i)
        if (controls[i] == control)
            return static_cast<int32_t>(i);
    return -1;
}

bool CQmPuzzleManager::AddControl(const char* name, float x, float y, float w, float h)
{
    CreatePuzzleSet();
    if (!puzzleSet || !name || std::strlen(name) > kMaxNameLength || controlCount + 1 >= kMaxControls)
        return false;
    if (puzzleSet->FindControl(CGeString(name)))
        return false;
    CGuiControl* control = puzzleSet->CreateControl(CGeString(name), EGCT_CUSTOM);
    if (!control)
        return false;
    controls[controlCount++] = control;
    control->SetProperty(EP_ClipInner, GuiMakeBool(1), true);
    control->SetProperty(EP_CursorType, GuiMakeUInt(1), true);
    control->PlaceAt(x, y);
    control->SetSize(w, h);
    return true;
}

bool CQmPuzzleManager::RemoveControl(const char* name)
{
    const int32_t index = FindOwnIndex(name);
    if (index < 0)
        return false;
    CGuiControl* control = controls[index];
    DeleteHostedVisual(control);
    puzzleSet->RemoveControl(control->name);
    controls[index] = controls[--controlCount];
    controls[controlCount] = nullptr;
    return true;
}

void CQmPuzzleManager::Reset()
{
    for (uint32_t i = 0; i < controlCount; ++i)
        DeleteHostedVisual(controls[i]);
    if (puzzleSet) {
        if (g_guiManager) {
            // The set current before the puzzle may be gone meanwhile (a
            // mini-game's own set, say).
            g_guiManager->currentSet = g_guiManager->Holds(savedSet) ? savedSet : g_mainControlSet;
            g_guiManager->RemoveControlSet(puzzleSet);
        }
        delete puzzleSet;
        puzzleSet = nullptr;
        savedSet = nullptr;
    }
    for (uint32_t i = 0; i < controlCount; ++i)
        controls[i] = nullptr;
    controlCount = 0;
    for (uint32_t i = 0; i < taskCount; ++i) {
        delete tasks[i];
        tasks[i] = nullptr;
    }
    taskCount = 0;
}

void CQmPuzzleManager::BringToFront(const char* name)
{
    if (CGuiControl* control = FindControl(name))
        control->BringToFront();
}

bool CQmPuzzleManager::AssignSprite(const char* name, const char* file, int32_t frames, int32_t framesPerLine,
                                    int32_t fps, int32_t mode)
{
    const int32_t index = FindOwnIndex(name);
    if (index < 0 || !file || frames < 1 || framesPerLine < 1)
        return false;
    CGuiControl* control = controls[index];
    if (control->ControlType() != EGCT_CUSTOM)
        return false;
    bool found = false;
    CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + file, false, &found);
    if (!found || !texture) {
        if (texture)
            texture->Release();
        return false;
    }
    CGmImageSet images;
    images.Init(texture, static_cast<uint32_t>(frames), static_cast<uint32_t>(framesPerLine));
    texture->Release();

    CGmSprite* sprite = new CGmSprite(images);
    sprite->frame.SetPosition(Vec3{0.0f, 0.0f, 0.0f});
    sprite->frame.SetAngles(Vec3{0.0f, 0.0f, 0.0f});
    sprite->frame.SetScale(Vec3{1.0f, 1.0f, 1.0f});
    sprite->frame.Invalidate();
    sprite->SetBlendMode(5);
    CGeFrameAnim player(static_cast<uint32_t>(frames));
    if (frames > 1) {
        player.SetRange(0, static_cast<uint32_t>(frames - 1));
        const float scale = g_geTimer && g_geTimer->scale != 0.0f ? g_geTimer->scale : 25.0f;
        player.speed = static_cast<float>(fps) / scale;
        if (mode & CGeFrameAnim::LOOP)
            player.Start(static_cast<uint32_t>(mode), 1);
    }
    sprite->SetFrameAnim(player);
    sprite->SetFrame(player.GetFrame());

    DeleteHostedVisual(control);
    static_cast<CGuiCustom*>(control)->AttachVisual(sprite);
    return true;
}

void CQmPuzzleManager::SetFlags(const char* name, int32_t flags)
{
    const int32_t index = FindOwnIndex(name);
    if (index < 0)
        return;
    controls[index]->manuallyMovable = (flags & 1) ? 1 : 0;
    controls[index]->manuallySizeable = (flags & 2) ? 1 : 0;
}

void CQmPuzzleManager::SetPos(const char* name, float x, float y)
{
    QmPuzzlePlace(FindControl(name), x, y);
}

bool CQmPuzzleManager::GetPos(const char* name, float* x, float* y) const
{
    CGuiControl* control = FindControl(name);
    *x = control ? control->X() : 0.0f;
    *y = control ? control->Y() : 0.0f;
    return control != nullptr;
}

void CQmPuzzleManager::SetPivot(const char* name, float x, float y)
{
    const int32_t index = FindOwnIndex(name);
    if (index >= 0)
        controls[index]->SetPivot(x, y, 0.0f);
}

void CQmPuzzleManager::SetText(const char* name, const char* text)
{
    CGuiControl* control = FindControl(name);
    if (!control || control->ControlType() != EGCT_TEXTCONTROL)
        return;
    static_cast<CGuiTextControl*>(control)->SetText(AnsiStringToWide(CGeString(text ? text : "")));
}

void CQmPuzzleManager::SetCtrlVisibility(const char* name, bool visible)
{
    if (CGuiControl* control = FindControl(name))
        control->visible = visible ? 1 : 0;
}

void CQmPuzzleManager::SetCtrlValue(const char* name, float value)
{
    CGuiControl* control = FindControl(name);
    if (!control) {
        GeLog(2, "Puzzle: No control found: %s", name ? name : "");
        return;
    }
    control->SetProperty(EP_CurPos, GuiMakeFloat(value), true);
}

void CQmPuzzleManager::LoadControls(const char* file)
{
    CreatePuzzleSet();
    if (puzzleSet && file)
        puzzleSet->LoadFromFile(g_dataRoot + file);
}

void CQmPuzzleManager::AddTask(const char* name, int32_t kind, float duration, uint32_t count, const float* values)
{
    if (!name)
        return;
    if (duration == 0.0f) {
        CGuiControl* control = FindControl(name);
        if (!control)
            return;
        switch (kind) {
        case QM_PUZZLE_TASK_MOVE:
            if (count >= 2)
                QmPuzzlePlace(control, values[0], values[1]);
            break;
        case QM_PUZZLE_TASK_ROTATE:
            if (count >= 1)
                control->SetProperty(EP_Rotate, GuiMakeFloat(values[0]), true);
            break;
        case QM_PUZZLE_TASK_ZOOM:
            if (count >= 1) {
                control->SetProperty(EP_ZoomX, GuiMakeFloat(values[0]), true);
                control->SetProperty(EP_ZoomY, GuiMakeFloat(values[0]), true);
            }
            break;
        case QM_PUZZLE_TASK_FADE:
            if (count >= 1)
                QmPuzzleSetAlpha(control, values[0]);
            break;
        default: break;
        }
        return;
    }
    CQmPuzzleTask* task = nullptr;
    switch (kind) {
    case QM_PUZZLE_TASK_MOVE: task = new CQmPuzzleTaskMove(name, duration); break;
    case QM_PUZZLE_TASK_ROTATE: task = new CQmPuzzleTaskRotate(name, duration); break;
    case QM_PUZZLE_TASK_ZOOM: task = new CQmPuzzleTaskZoom(name, duration); break;
    case QM_PUZZLE_TASK_FADE: task = new CQmPuzzleTaskFade(name, duration); break;
    default: return;
    }
    bool placed = false;
    for (uint32_t i = 0; i < taskCount && !placed; ++i) {
        if (tasks[i]->kind == task->kind && std::strcmp(tasks[i]->controlName, task->controlName) == 0) {
            delete tasks[i];
            tasks[i] = task;
            placed = true;
        }
    }
    if (!placed) {
        if (taskCount >= kMaxTasks) {
            delete task;
            return;
        }
        tasks[taskCount++] = task;
    }
    task->SetTarget(count, values);
}

void CQmPuzzleManager::RemoveTaskAt(uint32_t index)
{
    delete tasks[index];
    tasks[index] = tasks[--taskCount];
    tasks[taskCount] = nullptr;
}

void CQmPuzzleManager::RemoveTask(int32_t kind)
{
    for (uint32_t i = 0; i < taskCount;) {
        if (kind == -1 || tasks[i]->kind == static_cast<uint32_t>(kind))
            RemoveTaskAt(i);
        else
            ++i;
    }
}

void CQmPuzzleManager::Update()
{
    const float dt = g_geTimer ? g_geTimer->delta : 0.0f;
    for (uint32_t i = 0; i < taskCount;) {
        tasks[i]->Step(dt);
        if (tasks[i]->remaining == 0.0f)
            RemoveTaskAt(i); // the moved task is stepped at the same index
        else
            ++i;
    }
}

void CQmPuzzleManager::FireEvent(const char* suffix, const CGeValue& argument) const
{
    // The location's function first, then the global one; the names are
    // built whole, however long the location's name.
    if (g_locationManager && g_locationManager->current) {
        CGeString name = g_locationManager->current->name;
        name.Append("_puzzle_");
        name.Append(suffix);
        ScriptCallFunction(name.c_str(), &argument, 1, false);
    }
    CGeString global("global_puzzle_");
    global.Append(suffix);
    ScriptCallFunction(global.c_str(), &argument, 1, false);
}

void CQmPuzzleManager::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!puzzleSet || !sender)
        return;
    const uint32_t category = sender->GetTypeId() >> 16;
    if (category == GE_KEYBOARD_CATEGORY) {
        if (code != GUI_EV_KEY_DOWN && code != GUI_EV_KEY_UP)
            return;
        const CGeKeyboardState* keyboard = static_cast<CGeKeyboardState*>(sender);
        const uint32_t key = code == GUI_EV_KEY_DOWN ? keyboard->lastPressedKey : keyboard->lastReleasedKey;
        FireEvent(code == GUI_EV_KEY_DOWN ? "keydown" : "keyup", GuiMakeUInt(key));
    } else if (category == GUI_CONTROL_CATEGORY) {
        const char* event = ControlEventName(code);
        if (!event)
            return;
        FireEvent(event, CGeValue(static_cast<CGuiControl*>(sender)->name));
    }
}
