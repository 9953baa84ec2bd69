// The game processor: the one object that owns the game's frame. It updates
// input, scripts, puzzles, physics, faders and the current mini-game or
// location, renders the location, the mini-game and the 2D layers, carries
// out location changes, reacts to keys, mouse buttons and the window's close
// request, saves and loads slots and plays the logo sequence.
//
// Created by start-up, initialised once by the main loop, stepped once per
// frame, deleted at shutdown. Everything it reaches of the other parts of the
// game goes through their program-wide pointers and is skipped while a
// pointer is null.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Platform/Win32/WinTypes.h"
#include "Source/GameClasses/QmHints.h"

#include <cstdint>

class CGmColorFader;
class CGuiControl;
struct QmPicture;
class CGmTexture;
class CQmBaseArcade;
class CQmEntity;
class CQmEntityEditor;
class CQmLocation;
class CQmOverlayDocument;
class CQmPropActor;
class CQmScreenTint;
class CQmVideoPlayer;

// Render passes of renderMask.
enum : uint32_t {
    QM_RENDER_LOCATION = 0x07,
    QM_RENDER_CURSOR = 0x10,
    QM_RENDER_GUI = 0x20,
    QM_RENDER_FADERS = 0x40,
    QM_RENDER_ALL = 0x77,
    QM_RENDER_MENU = 0x30,
};

// Posted when an effect fade ended without an effect picture.
constexpr uint32_t kQmMsgEffectFadeEnded = 1005;

// One entry of the logo queue.
struct QmLogoEntry {
    CGeString file;       // data name, or a full disk path for a local picture
    CGeString audioFile;  // sound played with a video
    float size[2] = {0.0f, 0.0f};
    float time = 0.0f;    // seconds; negative for a local picture
    uint8_t video = 0;
};

// The 200-byte header of a save slot.
struct QmSaveHeader {
    char signature[4];
    uint32_t version;
    char location[64];
    char arcade[64];
    uint32_t date[7];     // day, month, year, hour, minute, second, weekday
    float heroPosition[3];
    uint32_t reserved;
    float heroAngle;
    uint32_t inventorySize;
    uint32_t questSize;
    uint32_t variableSize;
    uint32_t arcadeSize;
};
static_assert(sizeof(QmSaveHeader) == 200, "the slot header is 200 bytes");

class CQmGameProcessor : public CCiMessageClient {
public:
    CQmGameProcessor();
    ~CQmGameProcessor() override;

    // Game strings, "Scripts/global.lua", the inventory catalogue, the stat
    // text, "global_init" and the window-message hook.
    void Init();
    // One frame: focus mute, update, a pending change, render, the debug
    // camera, the window messages, the listener and sound updates.
    void Step();
    void Update();
    void Render(bool present);
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    // The device wrapper's hook; only WM_CLOSE is looked at.
    static LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool IsTimerRunning() const { return inputLockTime > 0.0f; }

    // The player's hand on the location (QmLocationClicks.cpp).
    // The entity whose enabled collider the ray through the mouse meets
    // first; null without a location or camera.
    CQmEntity* GetSelectedEntity(Vec3* hitPoint = nullptr) const;
    // The click handler of the update: closes a document, feeds a dialog,
    // walks the hero or starts his interaction with the clicked actor.
    void OnLocationClick();
    // The world point of the background picture under the mouse; false
    // where the picture holds nothing (or without a location or background).
    bool PickBackgroundPoint(Vec3& point) const;
    // Sends the hero to the background point under the mouse;
    // "%s_cant_walk" when he cannot go there.
    void OnCantWalk();
    // Chooses the cursor shape. Hidden while input is locked, a mini-game is
    // active or the location plays a full-screen animation or a video (the
    // refresh stays pending then); over a puzzle the puzzle's tasks are
    // stepped once and its controls keep the cursors they show; otherwise
    // the actor under the mouse chooses it.
    void UpdateCursor();
    // Shows, moves or (null) hides the hint of the actor under the mouse.
    void ShowActorHint(CQmPropActor* actor);
    // Shows an overlay document (input locked until it is closed, the
    // inventory's input off) or, with null, closes the one on show (input
    // unlocked, the inventory's input on); the cursor is refreshed.
    void ShowDocument(CQmOverlayDocument* shown);
    // Locks the input for seconds (0 or less unlocks).
    void LockInput(float seconds);
    // Finds the actor of the entity named heroName in the current location.
    bool SetMainHero();
    // Disables the hero's motion controller (a moving one stops and tells
    // the hero's properties).
    void StopHeroMotion();
    // An entity leaves the game: the hero and the hint let go of it.
    void ForgetEntity(const CQmEntity* entity);
    void StartScreenEffect(const char* picture, float holdSeconds);
    void GlobalCommand(const char* command);
    void RenderDebugOverlay();
    void MoveDebugCamera();
    // The frame timer, the dispatch pass (the processor's own messages
    // included), then the GUI manager with the input devices.
    static void TickTimerAndInput();
    // The two faders of the update: each reacts to its own end event.
    void RunFaders();

    // Location changes, mini-games and the menu.
    void RequestLocationChange(const char* name, const char* entry);
    void ChangeLocation();
    void ReplaceLoadingScreen(QmPicture* picture);
    void DrawLoadingScreenNow();
    void StartArcadeByName(const char* name, const char* parameter);
    // Start-up hands each mini-game over, made, in the order of its table;
    // the map owns it under its name from then on. A second game of a name
    // already taken is logged and deleted.
    void AddArcade(CQmBaseArcade* arcade);
    void OpenMenu(uint32_t argument);
    void CloseMenu();
    void StartNewGame();
    void SwitchMiniGameMode(const char* location);

    // Save slots.
    void SaveGame(int32_t slot);
    void LoadGame(int32_t slot);
    QmSaveHeader& GetSavedData(QmSaveHeader& header, int32_t slot);
    void MakeSavePreview(const char* path);

    // Logos and the loading screen.
    void PlayLogos();
    // Queues the uncompressed 24- and 32-bit TGA pictures of folder (the
    // program's own folder when null), at most 8, sorted by name.
    void AddLocalLogoPictures(const char* folder = nullptr);
    bool RunLogoSequence();
    void SkipLogos();
    static void ServiceAfterFrame();

    // The script variable "MiniGameMode" is set and not 0.
    static bool InMiniGameMode();

    uint8_t clickPending = 0;
    uint8_t doubleClick = 0;
    uint8_t cursorRefreshPending = 0;
    float inputLockTime = 0.0f;
    CGeString nextLocation;
    CGeString entryPoint;
    uint8_t changePending = 0;
    CGmColorFader* effectFader = nullptr;
    CGmColorFader* loadingFader = nullptr;
    uint32_t renderMask = QM_RENDER_ALL;
    CGeStringMap<CQmBaseArcade*> arcades;
    CQmBaseArcade* currentArcade = nullptr;
    CGeString startLocation;
    CGeString heroName;
    CQmPropActor* hero = nullptr;     // the hero's actor property (not owned)
    void* statText = nullptr;         // the debug overlay's text visual
    CQmOverlayDocument* document = nullptr; // the overlay document on show (not owned)
    QmPicture* loadingPicture = nullptr;
    QmPicture* loadingScreen = nullptr;
    QmPicture* effectOverlay = nullptr;
    uint8_t effectInProgress = 0;
    float effectHoldTime = 0.0f;
    uint8_t loadingShown = 0;
    uint8_t menuOpen = 0;
    CGmTexture* screenshotTarget = nullptr;
    CGuiControl* hintControl = nullptr; // "hint" of the main control set, found on first use
    uint8_t hintVisible = 0;
    CQmPropActor* hintActor = nullptr;  // the actor whose hint is shown (not owned)
    CGePoolList<QmLogoEntry> logos;
    QmPicture* logoPicture = nullptr;
    uint8_t logoStarting = 0;
    uint8_t logosPlaying = 0;
    uint8_t finishRequested = 0;
    uint8_t gameEnabled = 1;
    float walkLengthLimit = -1.0f;
    CQmVideoPlayer* logoVideo = nullptr; // the video logo's player (owned)
    // Set by a logo video's player when it stops.
    uint8_t logoVideoEnded = 0;
    uint32_t finishMenuArgument = 0;
    CQm3dArrow arrow;
    CQmHints hints;
    CQmEntityEditor* editor = nullptr; // the on-place entity editor, owned
    CQmScreenTint* tint = nullptr; // the screen shake, owned
    // "_main_screen_ctrl" of the main control set: its clicks and moves are
    // the clicks on the location (owned by the set).
    CGuiControl* mainScreenControl = nullptr;

    // What the frame showed last: the opacity given to the loading screen and
    // to the logo picture, the debug overlay's text, the frames rendered.
    uint8_t loadingOpacity = 0;
    uint8_t logoOpacity = 0;
    // The current picture's fade-in, 0 to 1.
    float logoFadeIn = 0.0f;
    CGeString debugText;
    uint32_t framesRendered = 0;
};

// Null until start-up creates the processor and again after shutdown.
extern CQmGameProcessor* g_gameProcessor;

// The prefix of every data path: empty, so that data paths are relative to
// the working directory.
extern CGeString g_dataRoot;

// The reference screen (width, height) for which all 2D layout is authored.
extern int32_t g_referenceScreenSize[2];

// The debug switches, watched by the debug overlay under the names
// "show_aux_geom", "show_aux_info", "show_aux_profiler" and "camera_movement".
extern uint8_t g_showAuxGeom;
extern uint8_t g_showAuxInfo;
extern uint8_t g_showAuxProfiler;
extern uint8_t g_cameraMovement;
