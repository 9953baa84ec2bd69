#include "Source/Qasimar/QmArcadeEmpty.h"

#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmScriptProcessor.h"

CQmArcade_Empty::CQmArcade_Empty() : CQmBaseArcade(CGeString("arcade: empty"))
{
}

void CQmArcade_Empty::StartGame()
{
    started = 1;
    if (!layoutLoaded) {
        CreateControlSet("gui/arcades/empty.xml");
        layoutLoaded = 1;
    }
}

bool CQmArcade_Empty::TakesMessages() const
{
    return started && IsCurrent() && !g_gameProcessor->menuOpen;
}

void CQmArcade_Empty::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!sender || sender != g_mouse)
        return;
    if (code == QM_MSG_LEFT_PRESS) {
        if (!g_gameProcessor->IsTimerRunning())
            g_gameProcessor->OnCantWalk();
    } else if (code == QM_MSG_RIGHT_PRESS) {
        Finish();
    }
}

void CQmArcade_Empty::Finish()
{
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    started = 0;
    layoutLoaded = 0;
    ScriptCallFunction("empty_arcade_end", nullptr, 0, true);
}
