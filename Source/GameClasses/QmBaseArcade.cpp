#include "Source/GameClasses/QmBaseArcade.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmGameProcessor.h"

namespace {

CGeString ControlSetName(const CGeString& arcadeName)
{
    return CGeString("_ctrlset_") + arcadeName;
}

} // namespace

CQmBaseArcade::CQmBaseArcade(const CGeString& arcadeName) : name(arcadeName)
{
}

CQmBaseArcade::~CQmBaseArcade() = default;

void CQmBaseArcade::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    if (TakesMessages())
        OnMessage(sender, code);
}

bool CQmBaseArcade::TakesMessages() const
{
    return active && !paused && IsCurrent();
}

bool CQmBaseArcade::IsCurrent() const
{
    return g_gameProcessor && g_gameProcessor->currentArcade == this;
}

void CQmBaseArcade::Start()
{
    if (!active)
        StartGame();
}

void CQmBaseArcade::Finish()
{
    active = 0;
    if (dispatcher && g_gameProcessor)
        dispatcher->SendDirect(g_gameProcessor, this);
    if (g_gameProcessor)
        g_gameProcessor->StartArcadeByName("", nullptr);
}

void CQmBaseArcade::RefuseStart(const char* missing)
{
    GeLog(2, "%s: %s is missing, the game does not start\n", name.c_str(), missing);
    Finish();
}

uint32_t CQmBaseArcade::SaveState(uint8_t** out)
{
    *out = nullptr;
    return 0;
}

CGuiControlSet* CQmBaseArcade::CreateControlSet(const char* guiFile)
{
    if (!g_guiManager)
        return nullptr;
    if (!controlSet) {
        previousControlSet = g_guiManager->currentSet;
        controlSet = g_guiManager->CreateControlSet(ControlSetName(name));
    }
    if (!controlSet)
        return nullptr;
    controlSet->LoadFromFile(g_dataRoot + guiFile);
    g_guiManager->currentSet = controlSet;
    return controlSet;
}

void CQmBaseArcade::ReleaseControlSet()
{
    if (!controlSet || !g_guiManager) {
        controlSet = nullptr;
        return;
    }
    // Found by its name, never through the pointer: the set may be gone.
    auto* entry = g_guiManager->sets.Find(ControlSetName(name));
    if (entry && entry->value == controlSet) {
        CGuiControlSet* set = entry->value;
        g_guiManager->RemoveControlSet(set);
        set->Destroy();
        delete set;
    }
    // A set deleted meanwhile (a puzzle set after a location change, say) is
    // not made current again.
    g_guiManager->currentSet = g_guiManager->Holds(previousControlSet) ? previousControlSet : g_mainControlSet;
    controlSet = nullptr;
    previousControlSet = nullptr;
}
