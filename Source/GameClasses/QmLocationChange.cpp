// The game processor's big state changes: from one location to the next
// behind the loading screen, into and out of a mini-game and the in-game
// menu, a new game and the mini-game mode.
#include "Source/GameClasses/QmGameProcessor.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmEntityEditor.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmMenu.h"
#include "Source/GameClasses/QmPictures.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmScriptTimers.h"
#include "Source/GameClasses/QmSoundLink.h"

namespace {

const float kChangeFadeSeconds = 0.5f;

void StopDialog()
{
    if (g_dialogSystem && g_dialogSystem->IsActive())
        g_dialogSystem->EndDialog();
}

bool Locked(const CQmGameProcessor& processor)
{
    return processor.IsTimerRunning();
}

} // namespace

void CQmGameProcessor::RequestLocationChange(const char* name, const char* entry)
{
    inputLockTime = 1.0f;
    if (g_inventory)
        g_inventory->SetActive(false);
    if (g_menu)
        g_menu->SetDisabledItems(0);
    hints.Reset();
    UpdateCursor();
    nextLocation = name ? name : "";
    entryPoint = entry ? entry : "";
    loadingShown = 1;
    CGeValue argument(nextLocation);
    ScriptCallFunction("global_on_location_load", &argument, 1, true);
    loadingFader->Start(0, loadingFader->GetColorArgb(), 0x00000000, kChangeFadeSeconds);
    QmShowPicture(loadingScreen ? loadingScreen : loadingPicture, true);
}

void CQmGameProcessor::ChangeLocation()
{
    StopDialog();
    if (g_dispatcher)
        g_dispatcher->deliveryEnabled = 0;
    walkLengthLimit = -1.0f;
    if (g_pGmResourceManager)
        g_pGmResourceManager->AgeScores();

    CQmLocation* previous = g_locationManager ? g_locationManager->current : nullptr;
    const CGeString name = nextLocation;
    // A location that cannot be had is refused before the running one is
    // stopped: the game stays where it was and the loading screen fades out.
    if (!g_locationManager || !g_locationManager->CanChangeTo(name.c_str())) {
        GeLog(2, "ChangeLocation: cannot load location %s ! Ignored\n", name.c_str());
        nextLocation.Release();
        changePending = 0;
        loadingFader->Start(0, 0x00000000, 0xFFFFFFFF, kChangeFadeSeconds);
        return;
    }

    if (editor)
        editor->Forget();
    if (previous) {
        previous->Stop();
        if (CQmAiMap* grid = previous->CurrentWalkGrid())
            grid->ResetMarks();
        ScriptRemoveAllTimers();
    }
    StopDialog();
    StopHeroMotion();
    if (g_puzzleManager)
        g_puzzleManager->Reset();

    const CGeString path = g_dataRoot + "Locations/" + name + ".xml";
    CQmLocation* location = g_locationManager->ChangeLocation(path.c_str());
    if (!location) {
        // The manager has logged the refusal.
        nextLocation.Release();
        changePending = 0;
        // The old location, still current, runs on.
        if (previous && g_locationManager->current == previous)
            previous->Restart();
        loadingFader->Start(0, 0x00000000, 0xFFFFFFFF, kChangeFadeSeconds);
        return;
    }
    changePending = 0;
    nextLocation.Release();
    g_locationManager->SetCurrentLocation(location->name.c_str());
    if (location->cameraGroups.count && location->cameraGroups[0].camera) {
        CGmCamera* listener = location->cameraGroups[0].camera;
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = listener;
        QmSoundUpdateListener(listener);
    }
    // A hero who stayed behind in the old location is not this one's: the
    // one of this location is found instead (or none, and the update goes on
    // looking).
    if (hero && location->FindEntity(heroName.c_str()) != hero->owner) {
        hero = nullptr;
        SetMainHero();
    }
    if (hero) {
        CQmEntity* entry = entryPoint.IsEmpty() ? nullptr : location->FindEntity(entryPoint.c_str());
        if (entry) {
            hero->owner->frame.SetPosition(entry->frame.position);
            hero->owner->frame.SetAngles(entry->frame.angles);
        }
        hero->SetLookAtAllocator("", "");
        if (CQmProp* lookAt = hero->owner->GetProp(QM_PROP_IK_PROCESSOR))
            lookAt->SetEnabled(false);
    }
    if (g_inventory) {
        g_inventory->Unselect();
        g_inventory->SetOpen(false);
    }
    loadingFader->Start(0, 0x00000000, 0xFFFFFFFF, kChangeFadeSeconds);
    doubleClick = 0;
    cursorRefreshPending = 1;
    if (g_geTimer)
        g_geTimer->Update();
}

void CQmGameProcessor::ReplaceLoadingScreen(QmPicture* picture)
{
    QmDeletePicture(loadingScreen);
    loadingScreen = picture;
}

void CQmGameProcessor::DrawLoadingScreenNow()
{
    if (g_pGmDevice)
        g_pGmDevice->BeginScene();
    loadingFader->Start(0, 0x00000000, 0x00000000, 1.0f);
    if (loadingFader->state == 1)
        loadingFader->Draw();
    QmDrawPicture(loadingScreen ? loadingScreen : loadingPicture);
    if (g_pGmDevice) {
        g_pGmDevice->EndScene();
        g_pGmDevice->Present();
    }
}

void CQmGameProcessor::AddArcade(CQmBaseArcade* arcade)
{
    if (!arcade)
        return;
    if (arcades.Find(arcade->name)) {
        GeLog(2, "CQmGameProcessor::AddArcade: arcade '%s' is registered already\n", arcade->name.c_str());
        delete arcade;
        return;
    }
    arcades[arcade->name] = arcade;
}

void CQmGameProcessor::StartArcadeByName(const char* name, const char* parameter)
{
    auto* node = name ? arcades.Find(CGeString(name)) : nullptr;
    if (node) {
        CQmBaseArcade* arcade = node->value;
        currentArcade = arcade;
        if (parameter)
            arcade->SetParameter(parameter);
        arcade->Start();
        // A game that refused to start has finished already and shown the
        // inventory again.
        if (currentArcade == arcade && g_inventory) {
            g_inventory->SetOpen(false);
            g_inventory->SetActive(false);
            g_inventory->SetEnabled(false);
        }
        return;
    }
    if (g_inventory) {
        g_inventory->SetActive(true);
        g_inventory->SetEnabled(true);
    }
    currentArcade = nullptr;
    if (name && *name)
        GeLog(2, "CQmGameProcessor::StartArcadeByName: No arcade '%s' found! Ignored\n", name);
}

void CQmGameProcessor::OpenMenu(uint32_t argument)
{
    if ((g_dialogSystem && g_dialogSystem->IsActive()) || Locked(*this))
        return;
    menuOpen = 1;
    renderMask = QM_RENDER_MENU;
    if (g_menu)
        g_menu->Open(argument);
    if (g_inventory)
        g_inventory->SetOpen(false);
    if (g_dispatcher)
        g_dispatcher->deliveryEnabled = 0;
}

void CQmGameProcessor::CloseMenu()
{
    renderMask = QM_RENDER_ALL;
    menuOpen = 0;
    if (g_dispatcher)
        g_dispatcher->deliveryEnabled = 0;
    if (currentArcade && currentArcade->active)
        currentArcade->Resume();
    // The location's shade light follows with the locations.
    g_shadowMode = CQmGameConfig::s_shadowVolumesOn && g_locationManager && g_locationManager->current ? 2 : 0;
}

void CQmGameProcessor::StartNewGame()
{
    if (currentArcade)
        currentArcade->Finish();
    CQmQuests::Clear();
    CQmGameVars::Clear();
    CQmDelayedCalls::Clear();
    if (g_inventory)
        g_inventory->Clear();
    if (g_dialogSystem)
        g_dialogSystem->RestoreAvailableTopics();
    hints.Reset();
    ScriptCallFunction("on_start_new_game", nullptr, 0, true);
    RequestLocationChange(startLocation.c_str(), "");
    DrawLoadingScreenNow();
    ChangeLocation();
}

void CQmGameProcessor::SwitchMiniGameMode(const char* location)
{
    if (currentArcade && currentArcade->active)
        currentArcade->Finish();
    StopHeroMotion();
    CQmDelayedCalls::Clear();
    RequestLocationChange(location, "");
    DrawLoadingScreenNow();
    CQmGameVars::Set("MiniGameMode", 1);
    ChangeLocation();
    SetMainHero();
    StopHeroMotion();
    if (g_menu)
        g_menu->SetDisabledItems(0x10);
}
