#include "Source/GameClasses/QmGameProcessor.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"
#include "Engine/Physics/GePhysicsStep.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmEntityEditor.h"
#include "Source/GameClasses/QmEntityRemoval.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmMenu.h"
#include "Source/GameClasses/QmPictures.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmScreenTint.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmScriptTimers.h"
#include "Source/GameClasses/QmSoundLink.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "Source/GameClasses/QmVideoPlayer.h"

#include <cmath>

CQmGameProcessor* g_gameProcessor = nullptr;
CGeString g_dataRoot;
int32_t g_referenceScreenSize[2] = {1280, 1024};
uint8_t g_showAuxGeom = 0;
uint8_t g_showAuxInfo = 0;
uint8_t g_showAuxProfiler = 0;
uint8_t g_cameraMovement = 0;

IQmInventory* g_inventory = nullptr;
IQmMenu* g_menu = nullptr;
uint8_t g_quitRequested = 0;
CQmDialogSystem* g_dialogSystem = nullptr;
CQmPuzzleManager* g_puzzleManager = nullptr;

namespace {

const uint32_t kClearColor = 0xFF646464;

float FrameTime()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

bool DialogRunning()
{
    return g_dialogSystem && g_dialogSystem->IsActive();
}

float Clamp01(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

// The key of a key-down message from the keyboard, else 0.
uint32_t KeyDownOf(CCiMessageClient* sender, uint32_t code)
{
    if (code != QM_MSG_KEY_DOWN || !g_keyboard || sender != g_keyboard)
        return 0;
    return g_keyboard->lastPressedKey;
}

bool KeyHeld(uint32_t virtualKey)
{
    return g_keyboard && g_keyboard->IsKeyDown(virtualKey);
}

} // namespace

CQmGameProcessor::CQmGameProcessor()
    : effectFader(new CGmColorFader()),
      loadingFader(new CGmColorFader()),
      startLocation("loc_unknown"),
      heroName("noname"),
      editor(new CQmEntityEditor()),
      tint(new CQmScreenTint())
{
    // The full-screen control of the main set that reports clicks on the
    // location. The hint and the stat text come with their own parts.
    if (g_mainControlSet) {
        const CGeString name("_main_screen_ctrl");
        if (CGuiControl* screen = g_mainControlSet->CreateControl(name, EGCT_CONTROL)) {
            screen->SetProperty(EP_X, GuiMakeFloat(0.0f), false);
            screen->SetProperty(EP_Y, GuiMakeFloat(0.0f), false);
            screen->SetSize((float)g_referenceScreenSize[0], (float)g_referenceScreenSize[1]);
        }
        mainScreenControl = g_mainControlSet->FindControl(name);
    }
    loadingPicture = QmMakePicture((g_dataRoot + "Textures/loading.tga").c_str(), false,
                                   (float)g_referenceScreenSize[0] * 0.5f, (float)g_referenceScreenSize[1] * 0.5f,
                                   nullptr);
}

CQmGameProcessor::~CQmGameProcessor()
{
    CQmGameVars::Clear();
    QmDeletePicture(effectOverlay);
    QmDeletePicture(loadingPicture);
    QmDeletePicture(loadingScreen);
    delete effectFader;
    QmDeletePicture(logoPicture);
    delete editor;
    delete tint;
    delete logoVideo;
    logoVideo = nullptr;
    for (auto* node = arcades.first; node; node = arcades.Next(node))
        delete node->value;
    arcades.Clear();
    currentArcade = nullptr;
    delete loadingFader;
    logos.Destroy();
    if (g_pGmDevice && g_pGmDevice->m_messageHook == OnWindowMessage)
        g_pGmDevice->m_messageHook = nullptr;
}

void CQmGameProcessor::Init()
{
    CQmUnifiedCollector::LoadGameStrings();
    ScriptRunFile((g_dataRoot + "Scripts/global.lua").c_str());
    CQmUnifiedCollector::LoadInventoryItems((g_dataRoot + "Inventory/inventoryItems.xml").c_str());
    if (g_inventory)
        g_inventory->SetActive(false);
    ScriptCallFunction("global_init", nullptr, 0, true);
    if (g_pGmDevice)
        g_pGmDevice->m_messageHook = OnWindowMessage;
}

void CQmGameProcessor::Step()
{
    if (g_pGmDevice) {
        const bool focused = g_pGmDevice->m_active && !g_pGmDevice->m_minimised;
        if (focused && QmSoundIsMuted())
            QmSoundSetFocusMute(false);
        else if (!focused && !QmSoundIsMuted())
            QmSoundSetFocusMute(true);
    }
    Update();
    if (changePending)
        ChangeLocation();
    Render(true);
    if (g_cameraMovement)
        MoveDebugCamera();
    PumpWindowMessages();
    QmSoundAfterFrame(CGeHub::s_cameras3d[CGeHub::s_currentSlot]);
}

void CQmGameProcessor::TickTimerAndInput()
{
    if (g_geTimer)
        g_geTimer->Update();
    if (g_dispatcher)
        g_dispatcher->RunPass();
    // A script may run a whole update from inside the GUI's own (a control's
    // event): the inner one must not hand the same input to the controls again.
    static bool s_inGuiUpdate = false;
    if (g_guiManager && !s_inGuiUpdate) {
        struct Busy {
            Busy() { s_inGuiUpdate = true; }
            ~Busy() { s_inGuiUpdate = false; }
        } busy;
        g_guiManager->Update();
    }
}

void CQmGameProcessor::Update()
{
    // An entity that a script takes away in the middle of this update stays
    // allocated until the update returns.
    QmEntityDeleteHold hold;

    if (CQmEntity* entity = GetSelectedEntity()) {
        ShowActorHint(entity->Prop<CQmPropActor>(QM_PROP_ACTOR));
    } else if (!IsTimerRunning()) {
        if (!hintControl && g_mainControlSet)
            hintControl = g_mainControlSet->FindControl(CGeString("hint"));
        hintVisible = 0;
        hintActor = nullptr;
    }
    if (hintControl)
        hintControl->visible = hintVisible;

    TickTimerAndInput();
    const float frameTime = FrameTime();
    if (g_inventory)
        g_inventory->Update(frameTime);
    if (g_menu)
        g_menu->Update();

    CQmLocation* location = CurrentLocation();
    if (g_inventory) {
        bool active = true;
        if (location)
            active = !location->PlaysFullScreenAnimOrVideo() && !currentArcade;
        g_inventory->SetEnabled(active);
    }
    AuxOverlay::Update();

    if (menuOpen) {
        if (g_inventory)
            g_inventory->SetEnabled(false);
        return;
    }
    // Re-read: a message handler above may have changed the location.
    location = CurrentLocation();
    if (!location) {
        // Before any location is current ("global_init" asked for the first)
        // the faders still run, so that the loading fade ends and the change
        // happens, and screen effects play.
        RunFaders();
        return;
    }

    if (!hero)
        SetMainHero();
    if (inputLockTime > 0.0f) {
        inputLockTime -= frameTime;
        if (inputLockTime <= 0.0f) {
            inputLockTime = 0.0f;
            UpdateCursor();
        }
    }

    if (!location->PlaysVideo()) {
        CQmDelayedCalls::Update();
        ScriptUpdateTimers();
        if (g_puzzleManager)
            g_puzzleManager->Update();
    }

    location = CurrentLocation();
    if (location && !(g_inventory && g_inventory->IsPausingGame()) && gameEnabled) {
        location->Update(frameTime);
        PhysicsStep(frameTime, kPhysicsSubStep);
    }

    RunFaders();

    bool handleClicks = !currentArcade;
    if (currentArcade) {
        currentArcade->Update();
        handleClicks = currentArcade && !currentArcade->active;
    }
    if (handleClicks) {
        if (clickPending)
            OnLocationClick();
        if (cursorRefreshPending)
            UpdateCursor();
        doubleClick = 0;
    }

    if (g_dialogSystem)
        g_dialogSystem->Update();
    if (DialogRunning() && g_inventory && g_inventory->HasSelection())
        GuiCursorShow(g_cursors, 15);
    if (g_inventory)
        g_inventory->SetActive(!DialogRunning() && !IsTimerRunning());

    if (loadingFader->state == 1 && loadingShown) {
        float t = Clamp01(2.0f * loadingFader->Progress());
        if (nextLocation.IsEmpty())
            t = 1.0f - t;
        QmPicture* shown = loadingScreen ? loadingScreen : loadingPicture;
        QmUpdatePicture(shown);
        loadingOpacity = (uint8_t)(t * 255.0f);
        QmSetPictureAlpha(shown, loadingOpacity);
    }
    if (effectOverlay) {
        QmUpdatePicture(effectOverlay);
        float t = Clamp01(2.0f * effectFader->Progress());
        if (!effectInProgress)
            t = 1.0f - t;
        else if (effectHoldTime == 0.0f)
            t = 1.0f;
        QmSetPictureAlpha(effectOverlay, (uint8_t)(t * 255.0f));
    }

    arrow.Update(frameTime);
    hints.Update(frameTime);

    if (finishRequested) {
        if (currentArcade)
            currentArcade->Finish();
        if (CQmLocation* current = CurrentLocation())
            current->Stop();
        if (g_locationManager)
            g_locationManager->SetCurrentLocation("");
        inputLockTime = 0.0f;
        OpenMenu(finishMenuArgument);
        finishRequested = 0;
    } else {
        tint->Update();
    }
}

void CQmGameProcessor::RunFaders()
{
    effectFader->Update();
    uint32_t event = 0;
    if (effectFader->state == 1 && effectFader->TakeLastEvent(event) && event == CGmColorFader::kEventFinished) {
        bool restarted = false;
        if (effectInProgress) {
            effectFader->Stop();
            if (effectHoldTime != 0.0f) {
                effectFader->Start(0, 0x00000000, 0x01010101, effectHoldTime);
                effectHoldTime = 0.0f;
            } else {
                effectInProgress = 0;
                effectFader->Start(0, 0x00000000, 0xFFFFFFFF, 0.5f);
            }
            restarted = true;
        } else if (effectOverlay) {
            QmShowPicture(effectOverlay, false);
            QmDeletePicture(effectOverlay);
        } else {
            if (loadingScreen) {
                QmShowPicture(loadingScreen, false);
                QmDeletePicture(loadingScreen);
            } else {
                QmShowPicture(loadingPicture, false);
            }
            PostMessage(kQmMsgEffectFadeEnded);
        }
        if (!restarted)
            effectFader->Stop();
    }

    if (loadingFader->state != 1)
        return;
    loadingFader->Update();
    if (loadingFader->TakeLastEvent(event) && event == CGmColorFader::kEventFinished && loadingShown) {
        if (!nextLocation.IsEmpty()) {
            changePending = 1;
            return;
        }
        loadingFader->Stop();
        loadingShown = 0;
    }
}

void CQmGameProcessor::Render(bool present)
{
    CQmLocation* location = CurrentLocation();
    if ((renderMask & QM_RENDER_LOCATION) && gameEnabled && location) {
        location->Render(renderMask);
        hints.Render();
    }
    if (g_pGmDevice)
        g_pGmDevice->BeginScene();
    if (currentArcade) {
        currentArcade->Render();
        if (g_showAuxGeom)
            currentArcade->RenderDebug();
    }
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(0);
    if (renderMask & QM_RENDER_GUI) {
        // A puzzle on screen is the set drawn, unless the menu is over it.
        if (g_puzzleManager && g_puzzleManager->HasPuzzle() && !menuOpen && g_guiManager)
            g_guiManager->currentSet = g_puzzleManager->puzzleSet;
        if (CGuiControlSet* set = g_guiManager ? g_guiManager->currentSet : nullptr)
            for (auto* node = set->controls.head; node; node = node->next)
                if (!node->value->parent)
                    node->value->Render();
        if (g_inventory)
            g_inventory->Draw();
        if (g_menu)
            g_menu->Render();
        if (g_dialogSystem)
            g_dialogSystem->Draw();
    }
    // A document belongs to the GUI layer: the location's own picture (the
    // save preview) leaves it out.
    if (document && (renderMask & QM_RENDER_GUI)) {
        document->frame.SetPosition(
            Vec3{float(g_referenceScreenSize[0]) * 0.5f, float(g_referenceScreenSize[1]) * 0.5f, 0.0f});
        document->frame.UpdateWorldMatrix();
        for (CGmVisualObject* child : document->children)
            child->Update();
        document->Render();
    }
    if (renderMask & QM_RENDER_CURSOR)
        GuiCursorDraw(g_cursors);
    if (renderMask & QM_RENDER_FADERS) {
        const CGmColorFader* fader = effectFader->state == 1 ? effectFader
                                     : loadingFader->state == 1 ? loadingFader
                                                                 : nullptr;
        if (fader)
            fader->Draw();
        if (loadingShown)
            QmDrawPicture(loadingScreen ? loadingScreen : loadingPicture);
        if (effectOverlay)
            QmDrawPicture(effectOverlay);
    }
    RenderDebugOverlay();
    if (g_pGmDevice) {
        g_pGmDevice->EndScene();
        if (present) {
            g_pGmDevice->Present();
            g_pGmDevice->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, kClearColor, 1.0f);
        }
    }
    ++framesRendered;
}

bool CQmGameProcessor::InMiniGameMode()
{
    return CQmGameVars::GetValue("MiniGameMode") != 0;
}

void CQmGameProcessor::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    const uint32_t key = KeyDownOf(sender, code);
    if (logosPlaying && (code == 1 || key == QM_VK_SPACE)) {
        SkipLogos();
        return;
    }
    const bool escape = key == QM_VK_ESCAPE;
    const bool modal = (currentArcade && currentArcade->active) || menuOpen;
    if (modal && !escape)
        return;

    CQmLocation* location = CurrentLocation();
    if (inputLockTime == 0.0f && location &&
        (code == QM_MSG_LEFT_CLICK || key == QM_VK_SPACE || escape) && location->SkipPlaying())
        return;

    if (!modal) {
        const bool fromScreen = mainScreenControl && sender == mainScreenControl;
        if (code == QM_MSG_LEFT_CLICK && fromScreen && !doubleClick) {
            clickPending = 1;
            doubleClick = 0;
        } else if (code == QM_MSG_LEFT_DOUBLE_CLICK && fromScreen) {
            clickPending = 1;
            doubleClick = 1;
        } else if (code == QM_MSG_MOUSE_MOVE && fromScreen) {
            cursorRefreshPending = 1;
        }
        if (code == QM_MSG_RIGHT_PRESS && g_mouse && sender == g_mouse && !IsTimerRunning() &&
            !DialogRunning() && g_inventory && g_inventory->CanHide()) {
            if (g_inventory->HasSelection()) {
                if (g_inventory->IsOpen())
                    g_inventory->SetOpen(false);
                else
                    g_inventory->Unselect();
            } else {
                g_inventory->SetOpen(!g_inventory->IsOpen());
            }
        }
    }

    if (!key || IsTimerRunning())
        return;
    if (key == QM_VK_I && !modal) {
        if (!DialogRunning() && g_inventory)
            g_inventory->SetOpen(!g_inventory->IsOpen());
        return;
    }
    if (!escape)
        return;
    if (g_inventory && g_inventory->IsPausingGame())
        return;
    if (g_menu && g_menu->IsPageOpen())
        return;
    if (InMiniGameMode()) {
        finishRequested = 1;
        finishMenuArgument = 0;
        Update();
    } else if (currentArcade && currentArcade->active) {
        if (currentArcade->CanOpenMenu()) {
            OpenMenu(0);
            currentArcade->Pause();
        }
    } else {
        OpenMenu(0);
    }
}

LRESULT CQmGameProcessor::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CLOSE)
        return 0;
    if (g_quitRequested)
        return DefWindowProcA(window, message, wParam, lParam);
    CQmGameProcessor* processor = g_gameProcessor;
    if (processor && g_menu && g_inventory && g_dispatcher) {
        if (InMiniGameMode())
            return DefWindowProcA(window, message, wParam, lParam);
        processor->menuOpen = 1;
        processor->renderMask = QM_RENDER_MENU;
        g_menu->SetDisabledItems(0x80);
        g_menu->Open(0);
        g_inventory->SetOpen(false);
        g_dispatcher->deliveryEnabled = 0;
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CQmGameProcessor::StartScreenEffect(const char* picture, float holdSeconds)
{
    QmPicture* sprite = QmMakePicture((g_dataRoot + picture).c_str(), false, (float)g_referenceScreenSize[0] * 0.5f,
                                      (float)g_referenceScreenSize[1] * 0.5f, nullptr);
    if (!sprite)
        return;
    QmDeletePicture(effectOverlay);
    effectOverlay = sprite;
    QmSetPictureAlpha(effectOverlay, 1);
    effectHoldTime = holdSeconds;
    effectInProgress = 1;
    effectFader->Start(0, 0xFFFFFFFF, 0x00000000, 0.5f);
    QmShowPicture(effectOverlay, true);
}

void CQmGameProcessor::GlobalCommand(const char* command)
{
    if (!g_inventory || !command)
        return;
    const CGeString text(command);
    if (text == ":show_inventory") {
        g_inventory->SetOpen(true);
    } else if (text == ":blink_inventory") {
        if (!g_inventory->IsOpen())
            g_inventory->Blink();
    } else if (text == ":hide_inventory") {
        g_inventory->SetOpen(false);
        g_inventory->StopItemFlight();
    }
}

void CQmGameProcessor::RenderDebugOverlay()
{
    debugText.Release();
    if (!g_showAuxInfo)
        return;
    // The statistics the overlay shows; the memory zones are always 0 here.
    const int resources = g_pGmResourceManager ? (int)g_pGmResourceManager->Count() : 0;
    debugText = FormatString(
        "&0xFFFFFF00 FPS: &0xFFFFFFFF %.1f\n&0xFFFFFF00 GpResCount: &0xFFFFFFFF %i\n"
        "&0xFFFFFF00 ResSysmemUsed(kB): &0xFFFFFFFF %i\n&0xFFFFFF00 ResGpmUsed(kB): &0xFFFFFFFF %i\n\n\n"
        "&0xFFFFFF00 ZoneSize(kB): &0xFFFFFFFF %i\n&0xFFFFFF00 UsedSize(kB): &0xFFFFFFFF %i\n"
        "&0xFFFFFF00 FreeSize(kB): &0xFFFFFFFF %i\n&0xFFFFFF00 OverHead(kB): &0xFFFFFFFF %i\n"
        "&0xFFFFFF00 TailSize(kB):\t&0xFFFFFFFF %i\n&0xFFFFFF00 UsedBlocks: &0xFFFFFFFF %i\n"
        "&0xFFFFFF00 FreeBlocks: &0xFFFFFFFF %i\n\n\n&0xFFFFFF00 SoundsInAudioManger: &0xFFFFFFFF %i\n",
        g_geTimer ? (double)g_geTimer->fps : 0.0, resources, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    if (editor->IsEnabled())
        debugText = debugText + WideStringToAnsi(editor->GetStatusText());
    // Drawn by the stat text once the text visuals exist.
}

void CQmGameProcessor::MoveDebugCamera()
{
    CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    if (!camera)
        return;
    float step = FrameTime();
    if (step <= 0.0f)
        step = 0.01f;
    const float speed = (KeyHeld(QM_VK_SHIFT) ? 3000.0f : 300.0f) * step;
    Vec3 forward = {camera->target.x - camera->eye.x, 0.0f, camera->target.z - camera->eye.z};
    const float length = std::sqrt(forward.x * forward.x + forward.z * forward.z);
    if (length > 0.0f) {
        forward.x /= length;
        forward.z /= length;
    }
    const Vec3 side = {forward.z, 0.0f, -forward.x};
    Vec3 move = {0.0f, 0.0f, 0.0f};
    auto add = [&](const Vec3& direction, float amount) {
        move.x += direction.x * amount;
        move.y += direction.y * amount;
        move.z += direction.z * amount;
    };
    if (KeyHeld(QM_VK_UP))
        add(forward, speed);
    if (KeyHeld(QM_VK_DOWN))
        add(forward, -speed);
    if (KeyHeld(QM_VK_RIGHT))
        add(side, speed);
    if (KeyHeld(QM_VK_LEFT))
        add(side, -speed);
    if (KeyHeld(QM_VK_A))
        move.y += speed;
    if (KeyHeld(QM_VK_Z))
        move.y -= speed;
    camera->eye.x += move.x;
    camera->eye.y += move.y;
    camera->eye.z += move.z;
    camera->target.x += move.x;
    camera->target.y += move.y;
    camera->target.z += move.z;

    // Turns: the target around the eye, a quarter turn per second.
    const float turn = 1.5707963f * step;
    float yaw = 0.0f;
    float pitch = 0.0f;
    if (KeyHeld(QM_VK_INSERT))
        yaw += turn;
    if (KeyHeld(QM_VK_PRIOR))
        yaw -= turn;
    if (KeyHeld(QM_VK_HOME))
        pitch += turn;
    if (KeyHeld(QM_VK_END))
        pitch -= turn;
    if (yaw != 0.0f || pitch != 0.0f) {
        Vec3 view = {camera->target.x - camera->eye.x, camera->target.y - camera->eye.y,
                     camera->target.z - camera->eye.z};
        if (yaw != 0.0f) {
            const float c = std::cos(yaw), s = std::sin(yaw);
            view = {view.x * c + view.z * s, view.y, -view.x * s + view.z * c};
        }
        if (pitch != 0.0f) {
            // About the horizontal side axis: tilt the view up or down.
            const float horizontal = std::sqrt(view.x * view.x + view.z * view.z);
            const float c = std::cos(pitch), s = std::sin(pitch);
            const float newHorizontal = horizontal * c - view.y * s;
            const float newY = horizontal * s + view.y * c;
            if (horizontal > 0.0f && newHorizontal > 0.0f) {
                view.x *= newHorizontal / horizontal;
                view.z *= newHorizontal / horizontal;
                view.y = newY;
            }
        }
        camera->target = {camera->eye.x + view.x, camera->eye.y + view.y, camera->eye.z + view.z};
    }
    camera->UpdateView();
}
