#include "Source/Qasimar/QmStartup.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiResources.h"
#include "Platform/Win32/WinShell.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/Qasimar/QasimarArcadeBuilding.h"
#include "Source/Qasimar/QasimarArcadeDoor.h"
#include "Source/Qasimar/QasimarArcadeKeys.h"
#include "Source/Qasimar/QasimarArcadePlatforms.h"
#include "Source/Qasimar/QasimarArcadeRuhFly.h"
#include "Source/Qasimar/QasimarArcadeThrowing.h"
#include "Source/Qasimar/QmArcadeDragging.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "Source/GameClasses/QmMenu.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmSoundLink.h"
#include "Source/GameClasses/QmUserFolder.h"
#include "Source/Qasimar/QmArcadeEmpty.h"
#include "Source/Qasimar/QasimarMenu.h"
#include "Source/Qasimar/QasimarArcadeFighting.h"
#include "Source/Qasimar/QasimarArcadeSail.h"

CGmStaticCamera* g_staticCamera = nullptr;

namespace {

QmSettingsHook s_settingsHook = nullptr;

const char kWindowCaption[] = "The voyages of Qasimar and the Copper Kettle";

// The cursors' hot spots in force after start-up, by cursor index 1 to 20.
const int32_t kCursorHotSpots[20][2] = {
    {4, 5},   {5, 9}, {12, 12}, {6, 11}, {11, 6}, {9, 9},  {9, 9},   {7, 2}, {8, 12},  {2, 2},
    {11, 11}, {2, 2}, {4, 5},   {9, 13}, {9, 13}, {9, 13}, {21, 15}, {4, 5}, {25, 39}, {31, 31},
};

// The device part of the record: every field up to and including the gamma.
void CopyDeviceParameters(GeDeviceConfig& to, const GeDeviceConfig& from)
{
    const int32_t soundCard = to.soundCard;
    const float soundVolume = to.soundVolume;
    to = from;
    to.soundCard = soundCard;
    to.soundVolume = soundVolume;
}

template <typename T>
void DeleteAndNull(T*& pointer)
{
    delete pointer;
    pointer = nullptr;
}

} // namespace

void SetStartupSettingsHook(QmSettingsHook hook)
{
    s_settingsHook = hook;
}

bool InitApplication()
{
    SetExtraScriptFunctionList();
    const bool started = StartGame(1280, 1024);
    if (g_pGmDevice && g_pGmDevice->GetWindow()) {
        SetWindowTextA(g_pGmDevice->GetWindow(), kWindowCaption);
        if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), (LPCSTR)(uintptr_t)102))
            SetClassLongA(g_pGmDevice->GetWindow(), GCL_HICON, (LONG_PTR)icon);
    }
    if (g_dialogSystem)
        g_dialogSystem->replicaMargin = 170;
    for (uint32_t index = 1; index <= 20; ++index)
        SetCursorHotSpot(index, kCursorHotSpots[index - 1][0], kCursorHotSpots[index - 1][1]);
    if (g_gameProcessor)
        g_gameProcessor->startLocation = "loc01";
    RegisterArcades();
    return started;
}

bool StartGame(int32_t referenceWidth, int32_t referenceHeight)
{
    g_referenceScreenSize[0] = referenceWidth;
    g_referenceScreenSize[1] = referenceHeight;

    // Data comes from the packs of the working directory.
    char directory[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof(directory), directory);
    g_packPath = length > 0 && length < sizeof(directory) ? directory : ".";
    g_packPath.Append("/resource.fpk");
    g_dataRoot = "";

    GeCoreInit();
    QmAnimInstallMakers();
    const CGeString settingsPath = FormatString("%s/config.cfg", GetUserDataFolder());
    CQmGameConfig::Load(settingsPath.c_str());
    if (s_settingsHook)
        s_settingsHook(*g_videoSettings);

    CGeHub::Init(*g_videoSettings);
    if (!g_pGmDevice || !g_pGmDevice->GetDevice())
        return false;
    // The settings now hold what the device really uses (the chosen mode).
    CopyDeviceParameters(*g_videoSettings, g_pGmDevice->m_settings);
    CQmLocationManager::RegisterDebugSwitches();

    g_dispatcher = new CCiDispatcher();
    g_locationManager = new CQmLocationManager();
    CreateActiveColliders();
    QmSetEntitySettings();

    for (uint32_t stage = 0; stage < 2; ++stage)
        g_pGmDevice->SetSamplerFilters(stage, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
    g_pGmDevice->SetZEnable(1);
    g_pGmDevice->SetZWriteEnable(1);
    g_pGmDevice->SetZFunc();

    CGuiResources::Load(g_dataRoot + "Gui/gui_res.xml", 0);
    // Each device attaches to the dispatcher as it is made.
    g_keyboard = new CGeKeyboard();
    g_mouse = new CGeMouse();
    ScriptInit();
    g_cursors = CreateStartupCursorSet();
    g_guiManager = new CGuiManager();
    g_guiManager->dispatcher = g_dispatcher;
    g_guiManager->mouse = g_mouse;
    g_guiManager->keyboard = g_keyboard;
    g_guiManager->cursorSet = g_cursors;
    g_mainControlSet = g_guiManager->CreateControlSet("mainCtrlSet");
    g_guiManager->currentSet = g_mainControlSet;
    g_cursors->ResetToDefault();
    SetupViewport();
    UpdateScreenScale();
    g_dialogSystem = new CQmDialogSystem();
    g_gameProcessor = new CQmGameProcessor();
    CreateInventory();
    g_menu = CreateMenu();

    QmSoundStart(CQmGameConfig::s_musicVolume, g_videoSettings->soundVolume);
    g_puzzleManager = CQmPuzzleManager::Create();
    g_pGmDevice->SetGamma(g_videoSettings->gamma);
    return true;
}

uint32_t RunMainLoop()
{
    if (!g_gameProcessor || !g_pGmDevice)
        return 0;
    g_gameProcessor->Init();
    g_gameProcessor->PlayLogos();
    uint32_t frames = 0;
    while (g_pGmDevice && g_pGmDevice->m_running) {
        g_gameProcessor->Step();
        ++frames;
    }
    return frames;
}

void ShutdownGame()
{
    CQmUnifiedCollector::Clear();
    DeleteAndNull(g_puzzleManager);
    DeleteAndNull(g_menu);
    DeleteAndNull(g_gameProcessor);
    DeleteAndNull(g_inventory);
    DeleteAndNull(g_dialogSystem);
    DeleteAndNull(g_guiManager); // with "mainCtrlSet" and every set still registered
    g_mainControlSet = nullptr;
    DeleteAndNull(g_locationManager);
    DeleteAndNull(g_cursors);
    DeleteAndNull(g_keyboard);
    DeleteAndNull(g_mouse);
    CGuiResources::FreeAll();
    DestroyActiveColliders();
    // The track and string catalogues live until the program ends.
    CQmUnifiedCollector::ClearTracks();
    CQmUnifiedCollector::ClearStrings();
    DeleteAndNull(g_dispatcher);
    if (g_luaState)
        ScriptShutdown();
    CQmDelayedCalls::Clear();
    CQmQuests::Clear();
    CQmGameVars::Clear();
    CGeHub::Shutdown();
    // The hub's screen camera is ours: a game started after this one, or a
    // text drawn before it starts, must not find it.
    for (uint32_t slot = 0; slot < CGeHub::kMaxDevices; ++slot)
        if (CGeHub::s_cameras2d[slot] == g_staticCamera)
            CGeHub::s_cameras2d[slot] = nullptr;
    DeleteAndNull(g_staticCamera);
    QmSoundStop();
    GeCoreShutdown();
    g_quitRequested = 0;
}

void SetupViewport()
{
    if (!g_staticCamera)
        g_staticCamera = new CGmStaticCamera();
    CGmStaticCamera& camera = *g_staticCamera;
    CGeHub::s_cameras2d[CGeHub::s_currentSlot] = &camera;
    camera.screenWidth = g_referenceScreenSize[0];
    camera.screenHeight = g_referenceScreenSize[1];
    camera.boundWidth = (float)g_referenceScreenSize[0];
    camera.boundHeight = (float)g_referenceScreenSize[1];
    camera.requestedViewport = {0, 0, g_pGmDevice->BackBufferWidth(), g_pGmDevice->BackBufferHeight(), 0.0f, 1.0f};
    camera.SetViewport(CGeHub::GetViewportOverride());
    g_pGmDevice->SetViewPort(camera.currentViewport);
}

const float* UpdateScreenScale()
{
    const uint32_t width = g_pGmDevice ? g_pGmDevice->BackBufferWidth() : 0;
    const uint32_t height = g_pGmDevice ? g_pGmDevice->BackBufferHeight() : 0;
    float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    scale[0] = width ? (float)g_referenceScreenSize[0] / (float)width : 1.0f;
    scale[1] = height ? (float)g_referenceScreenSize[1] / (float)height : 1.0f;
    return scale;
}

namespace {

// The mini-games live here, above the game layer that drives them: start-up
// makes each one from this table, in the table's order, and hands it to the
// processor (AddArcade), whose map owns it under its name. A game whose class
// is not built yet has no row; starting it logs it as unknown.
typedef CQmBaseArcade* (*ArcadeFactory)();

template <class Game>
CQmBaseArcade* MakeArcade()
{
    return new Game();
}

const ArcadeFactory kArcadeTable[] = {
    MakeArcade<CQasimarArcade_DraggingTutorial>,
    MakeArcade<CQasimarArcade_Keys>,
    MakeArcade<CQasimarArcade_Platforms>,
    MakeArcade<CQasimarArcade_Building>,
    MakeArcade<CQasimarArcade_Door>,
    MakeArcade<CQasimarArcade_RuhFly>,
    MakeArcade<CQasimarArcade_Sail>,
    MakeArcade<CQasimarArcade_Throwing>,
    MakeArcade<CQasimarArcade_Fighting>,
    MakeArcade<CQmArcade_Empty>,
    MakeArcade<CQmArcade_Dragging>,
};

} // namespace

void RegisterArcades()
{
    if (!g_gameProcessor)
        return;
    for (ArcadeFactory make : kArcadeTable)
        g_gameProcessor->AddArcade(make());
}

void SetCursorHotSpot(uint32_t index, int32_t x, int32_t y)
{
    CGmSprite* sprite = g_cursors ? g_cursors->GetCursorSprite(index) : nullptr;
    if (!sprite)
        return;
    for (Vec2& hotPoint : sprite->hotPoints)
        hotPoint = {(float)x, (float)y};
}
