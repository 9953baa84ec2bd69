#include "Source/Qasimar/QasimarArcadeSail.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GeMouse.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <string>

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;

void CallEvent(const char* event)
{
    ScriptCallFunction(event, nullptr, 0, true);
}

CGmColorFader* ScreenFader()
{
    return g_gameProcessor ? g_gameProcessor->effectFader : nullptr;
}

} // namespace

CQasimarArcade_Sail::CQasimarArcade_Sail() : CQmBaseArcade(CGeString("arcade: sail"))
{
}

CQasimarArcade_Sail::~CQasimarArcade_Sail()
{
    // The controls outlive the game at shutdown: they must not keep
    // pointers to the sail, the tray or a held piece.
    if (controlSet && g_guiManager && g_guiManager->Holds(controlSet)) {
        if (cursorControl)
            cursorControl->DetachVisual();
        if (trayControl)
            trayControl->DetachVisual();
        if (fieldControl)
            fieldControl->DetachVisual();
    }
    delete held;
}

void CQasimarArcade_Sail::StartGame()
{
    active = 1;
    CGuiControlSet* set = CreateControlSet("gui/arcades/sail.xml");
    auto custom = [set](const char* controlName) -> CGuiCustom* {
        CGuiControl* control = set ? set->FindControl(CGeString(controlName)) : nullptr;
        return control && control->ControlType() == EGCT_CUSTOM ? static_cast<CGuiCustom*>(control) : nullptr;
    };
    fieldControl = custom("sail_bg");
    trayControl = custom("stakan_bg");
    cursorControl = custom("sail_cursor_bg");
    restart = set ? set->FindControl(CGeString("restart")) : nullptr;
    banner = set ? set->FindControl(CGeString("banner")) : nullptr;

    std::string missing;
    const std::pair<const void*, const char*> required[] = {
        {fieldControl, "custom control 'sail_bg'"},
        {trayControl, "custom control 'stakan_bg'"},
        {cursorControl, "custom control 'sail_cursor_bg'"},
        {restart, "control 'restart'"},
    };
    for (const auto& [control, what] : required)
        if (!control)
            missing += (missing.empty() ? "" : ", ") + std::string(what);
    if (!missing.empty()) {
        RefuseStart(missing.c_str());
        return;
    }

    field.LoadPictures();
    fieldControl->AttachVisual(&field);
    trayControl->AttachVisual(&tray);
    restarting = 0;
    restartPhase = kNoRestart;
    Reset();
}

void CQasimarArcade_Sail::Reset()
{
    if (held) {
        if (cursorControl)
            cursorControl->DetachVisual();
        delete held;
        held = nullptr;
    }
    field.Reset();
    tray.Refill();
    started = 0;
    SetBanner(true);
    if (restart)
        restart->SetVisualState(0);
}

void CQasimarArcade_Sail::Finish()
{
    // A refused start set nothing up and reports nothing.
    const bool playing = fieldControl && trayControl && cursorControl && restart;
    const bool complete = field.Complete();
    if (held)
        DropHeld();
    if (restarting) {
        if (CGmColorFader* fader = ScreenFader())
            fader->Stop();
        restarting = 0;
        restartPhase = kNoRestart;
    }
    CQmBaseArcade::Finish();
    if (trayControl)
        trayControl->DetachVisual();
    if (fieldControl)
        fieldControl->DetachVisual();
    ReleaseControlSet();
    fieldControl = trayControl = cursorControl = nullptr;
    banner = restart = nullptr;
    if (!playing)
        return;
    CGeValue won;
    won.kind = GE_VALUE_BOOL;
    won.scalar.b = complete ? 1 : 0;
    ScriptCallFunction("loc11_arcade_end", &won, 1, true);
}

void CQasimarArcade_Sail::Update()
{
    if (!active || restarting)
        return;
    if (held && g_mouse)
        held->SetPosition(g_mouse->x, g_mouse->y);
    field.ClearPreview();
    if (held && field.Fits(*held))
        field.MarkPreview(*held);
    if (field.Complete())
        Finish();
}

void CQasimarArcade_Sail::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (restarting) {
        if (code == kQmMsgEffectFadeEnded && sender == g_gameProcessor)
            OnFadeEnded();
        return;
    }
    const bool fromMouse = g_mouse && sender == g_mouse;
    if (fromMouse && code == QM_MSG_LEFT_PRESS)
        OnLeftPress();
    else if (fromMouse && code == QM_MSG_RIGHT_PRESS)
        OnRightPress();
    else if (restart && sender == restart && code == QM_MSG_LEFT_CLICK)
        BeginRestart();
}

void CQasimarArcade_Sail::OnLeftPress()
{
    if (!started) {
        SetBanner(false);
        restart->SetVisualState(1);
        started = 1;
        return;
    }
    const float x = g_mouse->x, y = g_mouse->y;
    const bool inTray = CSail_Stakan::InClickArea(x, y);
    if (!held && inTray) {
        const int32_t index = tray.EntryAt(y);
        if (index < 0)
            return;
        CSail_Stakan::Entry& entry = tray.entries[index];
        held = new CSail_Figure(entry.figure->shape, entry.figure->orientation);
        held->SetPosition(x, y);
        entry.held = held;
        cursorControl->AttachVisual(held);
        CallEvent("loc11_arcade_attachfigure");
    } else if (held && inTray) {
        DropHeld();
        CallEvent("loc11_arcade_detachfigure");
    } else if (held) {
        // Where the pointer is now, not where the last frame left the piece.
        held->SetPosition(x, y);
        if (!field.Fits(*held))
            return;
        const int32_t index = HeldEntry();
        field.Cover(*held);
        DropHeld();
        tray.Remove((uint32_t)index);
        CallEvent("loc11_arcade_dropfigure");
    }
}

void CQasimarArcade_Sail::OnRightPress()
{
    if (!started || !held || held->Turning())
        return;
    held->Turn();
    CallEvent("loc11_arcade_rotatefigure");
}

void CQasimarArcade_Sail::BeginRestart()
{
    if (CGmColorFader* fader = ScreenFader())
        fader->Start(0, kWhite, kBlack, kFadeSeconds);
    restarting = 1;
    restartPhase = kFadingOut;
    SetBanner(false);
    restart->SetVisualState(1);
    started = 1;
}

void CQasimarArcade_Sail::OnFadeEnded()
{
    CGmColorFader* fader = ScreenFader();
    if (restartPhase == kFadingOut) {
        CallEvent("loc11_arcade_restart");
        Reset();
        if (fader)
            fader->Start(0, kBlack, kWhite, kFadeSeconds);
        restartPhase = kFadingIn;
    } else {
        if (fader)
            fader->Stop();
        restartPhase = kNoRestart;
        restarting = 0;
    }
}

void CQasimarArcade_Sail::DropHeld()
{
    const int32_t index = HeldEntry();
    if (index >= 0)
        tray.entries[index].held = nullptr;
    if (cursorControl)
        cursorControl->DetachVisual();
    delete held;
    held = nullptr;
}

int32_t CQasimarArcade_Sail::HeldEntry() const
{
    for (uint32_t i = 0; held && i < tray.count; ++i)
        if (tray.entries[i].held == held)
            return (int32_t)i;
    return -1;
}

void CQasimarArcade_Sail::SetBanner(bool shown)
{
    if (banner)
        banner->visible = shown ? 1 : 0;
}
