// The in-game menu: the main page with its animated props, the credits and
// the quit questions, the load and save pages with their strip of 20 slots,
// the settings page and the mini-games page. One object, made at start-up and
// reached through g_menu; the game processor opens it, its own buttons close
// it. While it is open the GUI manager's current set is one of its five
// control sets, and it answers the events their controls post through the
// dispatcher.
//
// Pages live in "Menu/main_menu.xml", "load_menu", "save_menu",
// "settings_menu" and "minigames_menu" (bound frames and one control set
// each), with the GUI resources of "Menu/addon.xml". Every control the menu
// names is looked up by name; one that the page file lacks is logged once and
// the action that needs it is skipped. The slot controls custom01..20 (and
// custom01..09 on the mini-games page) are made by the menu unless the page
// file already defines them; either way they are placed and framed alike.
//
// Choices beyond the plain rules:
// - The quit question of an unsaved game ("warning2") is closed by Escape like
//   the plain one, its two buttons hide it, and filling the main page without
//   a question switches the main buttons on: no path leaves them all off.
// - A save slot counts as used when its slot file exists; its thumbnail is
//   optional, so a slot whose picture is lost is still asked about before it
//   is overwritten, and can still be loaded.
// - Slot thumbnails are read from the disk at every showing, never from the
//   resource cache, so an overwritten slot shows its new picture.
// - The props are advanced by the GUI, which updates the visual of every live
//   custom control once a frame; the menu does not step them a second time.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmMenu.h"

#include <cstdint>
#include <set>
#include <string>

class CGmSprite;
class CGuiControl;
class CGuiControlSet;

// The seven date and time words of a save header: day, month, year, hour,
// minute, second, weekday.
struct MenuSlotDate {
    uint32_t words[7];
};

struct MenuResolution {
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;
};

struct MiniGameEntry {
    CGeWString name;
    CGmSprite* picture = nullptr; // null for an entry no unlocked game filled
    CGeWString text;
    CGeWString controls;
    CGeString location;
};

// The pages of Open.
enum : uint32_t {
    QM_MENU_MAIN = 0,
    QM_MENU_LOAD = 1,
    QM_MENU_SAVE = 2,
    QM_MENU_SETTINGS = 3,
    QM_MENU_MINIGAMES = 4,
};

// Bits of the disabled-items mask.
enum : uint32_t {
    QM_MENU_NO_NEW = 0x01,
    QM_MENU_NO_SETTINGS = 0x02,
    QM_MENU_NO_EXIT = 0x04,
    QM_MENU_NO_LOAD = 0x08,
    QM_MENU_NO_SAVE = 0x10,
    QM_MENU_NO_CONTINUE = 0x20,
    QM_MENU_ASK_QUIT = 0x80,
};

class CQasimarMenu : public IQmMenu {
public:
    static constexpr uint32_t kSlots = 20;
    static constexpr uint32_t kMiniGames = 9;
    static constexpr uint32_t kProps = 10;
    static constexpr float kSlotPitch = 164.0f;
    static constexpr float kStripX = 154.0f;
    static constexpr float kStripY = 821.0f;
    static constexpr float kDoubleClickSeconds = 0.3f;

    CQasimarMenu();
    ~CQasimarMenu() override;

    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    void Update() override;
    void Render() override {}
    void Open(uint32_t page) override;
    void ShowLoadPage() override;
    void ShowSavePage() override;
    void ShowSettingsPage() override;
    void SetDisabledItems(uint32_t mask) override { disabledItems = mask; }
    bool IsPageOpen() const override { return open; }

    void ShowMiniGamesPage();
    // Ends the menu and resumes the game.
    void Close();
    void StartNewGame();
    // The quit flag, then the close request to the device window.
    void ExitProgram();

    void BuildSlotList();
    void SelectSlot(CGuiControl* control);
    void BuildMiniGameList();
    void SelectMiniGame(CGuiControl* control);
    // Undoes the settings page's live previews.
    void RestoreSettings();
    void ApplySettings();
    // Detaches and deletes the slot, preview and mini-game pictures.
    void ReleasePictures();

    // The named control of a set; null (logged once per set and name) when
    // the page file lacks it.
    CGuiControl* Control(const char* setName, const char* controlName);
    // The current control set's name; "" when there is none.
    CGeString CurrentSetName() const;
    bool IsCurrent(const char* setName) const { return CurrentSetName() == setName; }
    // A location is current.
    static bool GameInProgress();

    uint8_t open = 0;
    CGmSprite* slotPictures[kSlots] = {};
    CGmSprite* preview = nullptr;
    MenuSlotDate slotDates[kSlots] = {};
    // The slot file exists (the thumbnail may not).
    uint8_t slotUsed[kSlots] = {};
    MiniGameEntry miniGames[kMiniGames];
    float appliedSoundVolume = 1.0f;
    float appliedMusicVolume = 1.0f;
    int32_t currentResolution = 0;
    int32_t selected = -1;
    int32_t lastSavedSlot = -1;
    CGeArray<MenuResolution> resolutions; // grows by 16
    CGeString savedMusicName;
    uint32_t savedMusicPosition = 0;
    float savedMusicVolume = 1.0f;
    uint32_t disabledItems = 0;
    float creditsOffset = 0.0f;
    float smoothedTime = 0.0f;
    // blind, pitcher, cover, compass, large fan, scroll, fire, dice, doors, bird
    CGmSprite* props[kProps] = {};
    float clickTimer = 0.0f;
    CGuiControlSet* previousSet = nullptr;
    int32_t stripIndex = -1;
    float scrollRemaining = 0.0f;
    float scrollDirection = 1.0f;
    uint8_t scrollHeld = 0;
    uint8_t gameSaved = 0;

private:
    void CreateSlotControls(const char* setName, uint32_t count);
    void CreateProp(uint32_t index);
    void FillMainPage(bool askQuit);
    void OnMainPage(CGuiControl* control, uint32_t code);
    void OnSlotPage(CGuiControl* control, uint32_t code, bool save);
    void OnSettingsPage(CGuiControl* control, uint32_t code);
    void OnMiniGamesPage(CGuiControl* control, uint32_t code);
    void OnEscape();
    void ShowQuitQuestion();
    // Switches the main buttons' group off (0) or on (1).
    void SetMainButtons(uint8_t state);
    // Shows or hides a question: visible, visual state and subtree state.
    void ShowQuestion(const char* controlName, bool show);
    void StartStripStep(bool left);
    void PlaceStrip();
    // The strip controls' index among custom01..count of the current set, or -1.
    int32_t StripIndexOf(CGuiControl* control, uint32_t count);
    CGuiControl* StripControl(const char* setName, uint32_t index);
    void LoadSelectedSlot();
    void SaveSelectedSlot();
    void WriteSlot();
    void SetSavePageControls(uint8_t state);
    void SetSettingsControls(uint8_t state);
    void StartSelectedMiniGame();
    void ShowDateTexts(const MenuSlotDate* date);
    CGmSprite* MakePreview(const CGmSprite& picture);
    static void ClickSound();

    std::set<std::string> m_reportedMissing;
};

// Allocates and constructs the menu; null only when allocation fails.
IQmMenu* CreateMenu();
