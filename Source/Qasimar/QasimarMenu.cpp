// The menu object: construction from the menu files, the props, opening and
// closing, the per-frame update, the main page with its quit questions and
// credits, and the routing of the pages' events.
#include "Source/Qasimar/QasimarMenu.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiValues.h"
#include "Platform/Win32/WinMessages.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"

namespace {

const char* const kSetNames[] = {"main_menu", "load_menu", "save_menu", "settings_menu", "minigames_menu"};
// The order in which the page files are read (bound frames, then sets).
const char* const kFileOrder[] = {"main_menu", "load_menu", "save_menu", "minigames_menu", "settings_menu"};

const char kClickSound[] = "sounds/button.wav";
const char kMenuMusic[] = "sounds/music/bagdad.wav";
const float kMenuMusicVolume = 0.425f;
const float kCreditsStart = 960.0f;
const float kCreditsSpeed = 100.0f;
const float kStripSpeed = 300.0f;
const uint32_t kStripWindow = 7;

enum PropIndex : uint32_t { BLIND, PITCHER, COVER, COMPASS, LARGE_FAN, SCROLL, FIRE, DICE, DOORS, BIRD };

struct PropInfo {
    const char* folder;
    const char* control;
    uint32_t frames;
    float speed;
    const char* button;  // the main button that starts it; null for the looping ones
    uint32_t mode;
    const char* title;   // the spoken title; null for none
};

// By PropIndex.
const PropInfo kPropTable[CQasimarMenu::kProps] = {
    {"blind", "blind", 32, 0.25f, "but_continue", CGeFrameAnim::WIGWAG, "sounds/menu/continue.wav"},
    {"pitcher", "pitcher", 81, 0.5f, "but_new", CGeFrameAnim::FORWARD, "sounds/menu/new_game.wav"},
    {"cover", "boxcover", 11, 0.25f, "but_load", CGeFrameAnim::WIGWAG, "sounds/menu/load_game.wav"},
    {"compass", "compass", 31, 0.25f, "but_settings", CGeFrameAnim::FORWARD, nullptr},
    {"largefan", "large_fan", 41, 0.25f, "but_exit", CGeFrameAnim::FORWARD, "sounds/menu/exit.wav"},
    {"scroll", "scroll", 18, 0.25f, "but_save", CGeFrameAnim::WIGWAG, "sounds/menu/save_game.wav"},
    {"fire", "fire", 50, 0.6f, nullptr, CGeFrameAnim::FORWARD + CGeFrameAnim::LOOP, nullptr},
    {"dice", "dice", 36, 0.25f, "but_minigames", CGeFrameAnim::FORWARD, "sounds/menu/mini_games.wav"},
    {"doors", "doors", 16, 0.25f, "but_credits", CGeFrameAnim::WIGWAG, "sounds/menu/authors.wav"},
    {"bird", "bird", 132, 0.3f, nullptr, CGeFrameAnim::FORWARD + CGeFrameAnim::LOOP, nullptr},
};
// Construction order of the props.
const PropIndex kCreationOrder[] = {BLIND, PITCHER, COVER, COMPASS, LARGE_FAN, SCROLL, FIRE, DOORS, BIRD, DICE};

// A speed given as a magnitude keeps the player's current sign.
void SetSpeedKeepingSign(CGeFrameAnim& player, float magnitude)
{
    player.speed = player.speed < 0.0f ? -magnitude : magnitude;
}

float FrameDelta()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

CGuiControl* AsControl(CCiMessageClient* sender)
{
    if (!sender || sender->GetTypeId() >> 16 != GUI_CONTROL_CATEGORY)
        return nullptr;
    return static_cast<CGuiControl*>(sender);
}

bool MouseInside(const CGuiControl* control)
{
    return control && g_mouse && control->IsPointInClientArea(g_mouse->x, g_mouse->y);
}

} // namespace

IQmMenu* CreateMenu()
{
    return new (std::nothrow) CQasimarMenu();
}

CQasimarMenu::CQasimarMenu()
{
    SetTypeId(0xFFFF);
    // The base registered the menu for every sender and type.
    CGuiResources::Load(g_dataRoot + "Menu/addon.xml", 1);
    if (g_guiManager) {
        for (const char* name : kSetNames)
            g_guiManager->CreateControlSet(CGeString(name));
        for (const char* name : kFileOrder) {
            const CGeString path = g_dataRoot + "Menu/" + name + ".xml";
            CGuiBoundFrames::LoadCollection(path.c_str(), g_guiManager->frameSets);
        }
        for (const char* name : kFileOrder) {
            if (CGuiControlSet* set = g_guiManager->FindControlSet(CGeString(name)))
                set->LoadFromFile(g_dataRoot + "Menu/" + name + ".xml");
        }
    }
    CreateSlotControls("load_menu", kSlots);
    CreateSlotControls("save_menu", kSlots);
    CreateSlotControls("minigames_menu", kMiniGames);
    for (PropIndex index : kCreationOrder)
        CreateProp(index);
    for (PropIndex looping : {FIRE, BIRD})
        if (props[looping] && props[looping]->activePlayer)
            props[looping]->activePlayer->Start(kPropTable[looping].mode, 1);
}

CQasimarMenu::~CQasimarMenu()
{
    for (uint32_t i = 0; i < kProps; ++i) {
        CGuiControl* control = Control("main_menu", kPropTable[i].control);
        if (control && control->ControlType() == EGCT_CUSTOM &&
            static_cast<CGuiCustom*>(control)->attached == props[i])
            static_cast<CGuiCustom*>(control)->DetachVisual();
        delete props[i];
        props[i] = nullptr;
    }
    ReleasePictures();
    open = 0;
    if (g_guiManager) {
        // The mini-games set stays with the GUI manager.
        for (const char* name : {"main_menu", "load_menu", "save_menu", "settings_menu"}) {
            if (CGuiControlSet* set = g_guiManager->FindControlSet(CGeString(name))) {
                if (previousSet == set)
                    previousSet = nullptr;
                g_guiManager->RemoveControlSet(set);
                set->Destroy();
                delete set;
            }
        }
    }
    if (g_menu == this)
        g_menu = nullptr;
}

void CQasimarMenu::CreateSlotControls(const char* setName, uint32_t count)
{
    CGuiControlSet* set = g_guiManager ? g_guiManager->FindControlSet(CGeString(setName)) : nullptr;
    if (!set)
        return;
    CGuiControl* background = Control(setName, "background1");
    for (uint32_t i = 0; i < count; ++i) {
        const CGeString name = FormatString("custom%02d", (int)(i + 1));
        // Made through the set, so that the control carries its name and
        // posts its clicks to the menu like the ones from the page's file.
        CGuiControl* control = set->FindControl(name);
        if (!control)
            control = set->CreateControl(name, EGCT_CUSTOM);
        if (!control)
            continue;
        control->SetPosition(kStripX + kSlotPitch * (float)i, kStripY);
        control->SetProperty(EP_BoundFrameSet, CGeValue("sl_slot_bg_bfs"), true);
        control->SetProperty(EP_BoundFrameSetHover, CGeValue("sl_slot_bg_bfs_over"), true);
        if (background)
            control->SetParent(background);
        control->SetSize(142.0f, 114.0f);
        control->SetProperty(EP_CursorType, GuiMakeUInt(1), true);
        control->SetProperty(EP_TransparentForManipulator, GuiMakeBool(0), true);
        control->visible = 1;
    }
}

void CQasimarMenu::CreateProp(uint32_t index)
{
    const PropInfo& info = kPropTable[index];
    CGeArray<CGmTexture*> textures;
    for (uint32_t frame = 0; frame < info.frames; ++frame) {
        const CGeString path = FormatString("%smenu/pic/%s/%02d.dds", g_dataRoot.c_str(), info.folder, (int)frame);
        textures.Add(rescollect::LoadTexture(path));
    }
    CGmImageSet images;
    images.InitFromList(textures.begin(), textures.Count());
    CGmSprite* sprite = new CGmSprite(images);
    sprite->SetBlendMode(5);
    CGuiControl* control = Control("main_menu", info.control);
    if (control && control->ControlType() == EGCT_CUSTOM)
        static_cast<CGuiCustom*>(control)->AttachVisual(sprite);
    sprite->ownPlayer.Init(info.frames);
    sprite->activePlayer = &sprite->ownPlayer;
    SetSpeedKeepingSign(sprite->ownPlayer, info.speed);
    for (CGmTexture* texture : textures)
        if (texture)
            texture->Release();
    props[index] = sprite;
}

CGuiControl* CQasimarMenu::Control(const char* setName, const char* controlName)
{
    CGuiControlSet* set = g_guiManager ? g_guiManager->FindControlSet(CGeString(setName)) : nullptr;
    CGuiControl* control = set ? set->FindControl(CGeString(controlName)) : nullptr;
    if (!control && m_reportedMissing.insert(std::string(setName) + "/" + controlName).second)
        GeLog(2, "CQasimarMenu: the control %s of %s is missing; what needs it is skipped\n", controlName, setName);
    return control;
}

CGeString CQasimarMenu::CurrentSetName() const
{
    CGuiControlSet* set = g_guiManager ? g_guiManager->currentSet : nullptr;
    return set ? set->name : CGeString();
}

bool CQasimarMenu::GameInProgress()
{
    return g_locationManager && g_locationManager->current;
}

void CQasimarMenu::ClickSound()
{
    if (g_bgSoundManager)
        g_bgSoundManager->StartAmbient(kClickSound, 1.0f, 0.0f, false);
}

// Opening and closing ---------------------------------------------------------

void CQasimarMenu::Open(uint32_t page)
{
    const bool askQuit = (disabledItems & QM_MENU_ASK_QUIT) != 0;
    if (!open) {
        previousSet = g_guiManager ? g_guiManager->currentSet : nullptr;
        if (g_cursors)
            g_cursors->ApplyCursor();
        savedMusicName.Release();
        savedMusicPosition = 0;
        savedMusicVolume = 1.0f;
        if (g_bgSoundManager) {
            g_bgSoundManager->GetMainState(savedMusicName, savedMusicPosition, savedMusicVolume);
            g_bgSoundManager->StopMain(0.0f);
        }
        if (g_soundManager)
            CSmSoundManager::PauseGroup(g_soundManager);
        ScriptCallFunction("global_on_menu_start", nullptr, 0, true);
        disabledItems &= ~QM_MENU_ASK_QUIT;
        if (g_bgSoundManager)
            g_bgSoundManager->StartMain(kMenuMusic, kMenuMusicVolume, 0.0f, true, 0, false);
    } else if (IsCurrent("settings_menu")) {
        RestoreSettings();
    }
    ReleasePictures();
    switch (page) {
    case QM_MENU_MAIN:
        if (g_guiManager)
            g_guiManager->SetCurrentControlSetByName(CGeString("main_menu"));
        FillMainPage(askQuit);
        break;
    case QM_MENU_LOAD: ShowLoadPage(); break;
    case QM_MENU_SAVE: ShowSavePage(); break;
    case QM_MENU_SETTINGS: ShowSettingsPage(); break;
    case QM_MENU_MINIGAMES: ShowMiniGamesPage(); break;
    default: break;
    }
    open = 1;
}

void CQasimarMenu::Close()
{
    ReleasePictures();
    if (g_guiManager && previousSet)
        g_guiManager->currentSet = previousSet;
    previousSet = nullptr;
    if (g_bgSoundManager)
        g_bgSoundManager->StopAllAmbient();
    if (g_gameProcessor)
        g_gameProcessor->CloseMenu();
    open = 0;
    if (g_soundManager)
        CSmSoundManager::ResumeGroup(g_soundManager);
    if (!savedMusicName.IsEmpty() && g_bgSoundManager)
        g_bgSoundManager->StartMain(savedMusicName.c_str(), savedMusicVolume, 0.0f, true, savedMusicPosition, false);
    scrollHeld = 0;
}

void CQasimarMenu::StartNewGame()
{
    Close();
    if (g_gameProcessor)
        g_gameProcessor->StartNewGame();
}

void CQasimarMenu::ExitProgram()
{
    g_quitRequested = 1;
    if (g_pGmDevice && g_pGmDevice->GetWindow())
        PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
}

void CQasimarMenu::ReleasePictures()
{
    const bool slotPage = IsCurrent("load_menu") || IsCurrent("save_menu");
    const bool gamesPage = IsCurrent("minigames_menu");
    if (slotPage || gamesPage) {
        const CGeString setName = CurrentSetName();
        const uint32_t count = slotPage ? kSlots : kMiniGames;
        for (uint32_t i = 0; i <= count; ++i) {
            CGuiControl* control = i == 0 ? Control(setName.c_str(), "preview") : StripControl(setName.c_str(), i - 1);
            if (control && control->ControlType() == EGCT_CUSTOM)
                static_cast<CGuiCustom*>(control)->DetachVisual();
        }
    }
    delete preview;
    preview = nullptr;
    for (CGmSprite*& picture : slotPictures) {
        delete picture;
        picture = nullptr;
    }
    for (MiniGameEntry& entry : miniGames) {
        delete entry.picture;
        entry.picture = nullptr;
    }
}

// The frame ---------------------------------------------------------------------

void CQasimarMenu::Update()
{
    const float delta = FrameDelta();
    clickTimer += delta;
    smoothedTime = delta * 0.3f + smoothedTime * 0.7f;

    if (creditsOffset > 0.0f && IsCurrent("main_menu")) {
        creditsOffset -= smoothedTime * kCreditsSpeed;
        if (creditsOffset < 0.0f)
            creditsOffset = 0.0f;
        if (CGuiControl* credits = Control("main_menu", "credits"))
            credits->SetPosition(credits->X(), creditsOffset - credits->height);
        if (creditsOffset == 0.0f)
            if (CGuiControl* background = Control("main_menu", "credits_bg"))
                background->visible = 0;
    }

    if (scrollRemaining != 0.0f) {
        scrollRemaining -= smoothedTime * kStripSpeed;
        const int32_t stripSize = IsCurrent("minigames_menu") ? (int32_t)kMiniGames : (int32_t)kSlots;
        if (scrollRemaining <= 0.0f) {
            if (scrollHeld && stripIndex >= 0 && stripIndex < stripSize - (int32_t)kStripWindow) {
                scrollRemaining = kSlotPitch;
                stripIndex -= (int32_t)scrollDirection;
            } else {
                scrollRemaining = 0.0f;
            }
        }
        PlaceStrip();
    }
    // The props step with their controls (see the lead comment).
}

void CQasimarMenu::PlaceStrip()
{
    const CGeString setName = CurrentSetName();
    const uint32_t count = setName == "minigames_menu" ? kMiniGames : kSlots;
    for (uint32_t i = 0; i < count; ++i)
        if (CGuiControl* control = StripControl(setName.c_str(), i))
            control->SetPosition(((float)i - (float)stripIndex - 1.0f) * kSlotPitch -
                                     scrollDirection * scrollRemaining + kStripX,
                                 kStripY);
    if (selected >= 0)
        if (CGuiControl* target = StripControl(setName.c_str(), (uint32_t)selected))
            if (CGuiControl* frame = Control(setName.c_str(), "slot_selection"))
                frame->SetPosition(target->X(), target->Y());
}

void CQasimarMenu::StartStripStep(bool left)
{
    scrollDirection = left ? 1.0f : -1.0f;
    stripIndex += left ? -1 : 1;
    scrollRemaining = kSlotPitch;
    smoothedTime = FrameDelta();
}

CGuiControl* CQasimarMenu::StripControl(const char* setName, uint32_t index)
{
    return Control(setName, FormatString("custom%02d", (int)(index + 1)).c_str());
}

int32_t CQasimarMenu::StripIndexOf(CGuiControl* control, uint32_t count)
{
    if (!control)
        return -1;
    const CGeString setName = CurrentSetName();
    for (uint32_t i = 0; i < count; ++i)
        if (StripControl(setName.c_str(), i) == control)
            return (int32_t)i;
    return -1;
}

// The main page -----------------------------------------------------------------

void CQasimarMenu::ShowQuestion(const char* controlName, bool show)
{
    CGuiControl* question = Control("main_menu", controlName);
    if (!question)
        return;
    question->visible = show ? 1 : 0;
    question->SetVisualState(show ? 1 : 0);
    question->SetStateRecursive(show ? 1 : 0);
}

void CQasimarMenu::SetMainButtons(uint8_t state)
{
    if (CGuiControl* group = Control("main_menu", "button01"))
        group->SetStateRecursive(state);
}

void CQasimarMenu::ShowQuitQuestion()
{
    SetMainButtons(0);
    ShowQuestion(!gameSaved && GameInProgress() ? "warning2" : "warning", true);
}

void CQasimarMenu::FillMainPage(bool askQuit)
{
    if (CGuiControl* warning = Control("main_menu", "warning"))
        warning->visible = 0;
    const bool game = GameInProgress();
    const struct {
        const char* name;
        bool enabled;
    } buttons[] = {
        {"but_new", !(disabledItems & QM_MENU_NO_NEW)},
        {"but_settings", !(disabledItems & QM_MENU_NO_SETTINGS)},
        {"but_exit", !(disabledItems & QM_MENU_NO_EXIT)},
        {"but_load", !(disabledItems & QM_MENU_NO_LOAD)},
        {"but_save", !(disabledItems & QM_MENU_NO_SAVE) && game},
        {"but_continue", !(disabledItems & QM_MENU_NO_CONTINUE) && game},
    };
    if (CGuiControl* background = Control("main_menu", "credits_bg"))
        background->visible = 0;
    if (CGuiControl* credits = Control("main_menu", "credits"))
        credits->transparentForManipulator = 1;
    if (askQuit) {
        ShowQuitQuestion();
    } else {
        ShowQuestion("warning2", false);
        SetMainButtons(1);
    }
    // After the group's state: the mask and the game decide each button.
    for (const auto& button : buttons)
        if (CGuiControl* control = Control("main_menu", button.name))
            control->SetVisualState(askQuit ? 0 : (button.enabled ? 1 : 0));
}

void CQasimarMenu::OnMainPage(CGuiControl* control, uint32_t code)
{
    const CGeString& name = control->name;
    if (code == GUI_EV_ENTER) {
        if (!MouseInside(control))
            return;
        for (const PropInfo& info : kPropTable) {
            if (!info.button || name != info.button)
                continue;
            CGmSprite* prop = props[&info - kPropTable];
            if (!prop || !prop->activePlayer || prop->activePlayer->playing)
                return;
            prop->activePlayer->Start(info.mode, 1);
            if (info.title && g_bgSoundManager)
                g_bgSoundManager->StartAmbient(info.title, 1.0f, 0.0f, false);
            return;
        }
        return;
    }
    if (code != GUI_EV_CLICK)
        return;
    // The main buttons act only on a release inside them; the questions'
    // buttons and the credits' background act on the event alone.
    const bool inside = MouseInside(control);
    const bool game = GameInProgress();
    if (name == "but_continue" && inside && game) {
        ClickSound();
        Close();
        gameSaved = 0;
    }
    if (name == "but_new" && inside) {
        ClickSound();
        StartNewGame();
        gameSaved = 0;
    }
    if (name == "but_load" && inside) {
        ClickSound();
        ShowLoadPage();
    }
    if (name == "but_exit" && inside) {
        ClickSound();
        ShowQuitQuestion();
    }
    if (name == "but_settings" && inside) {
        ClickSound();
        ShowSettingsPage();
    }
    if (name == "but_save" && inside && game) {
        ClickSound();
        ShowSavePage();
    }
    if (name == "but_yes") {
        ClickSound();
        ExitProgram();
    }
    if (name == "but_no") {
        ClickSound();
        SetMainButtons(1);
        ShowQuestion("warning", false);
        FillMainPage(false);
    }
    if (name == "btn_no") {
        ClickSound();
        SetMainButtons(1);
        ShowQuestion("warning2", false);
        gameSaved = 1;
        ExitProgram();
    }
    if (name == "btn_yes") {
        ClickSound();
        SetMainButtons(1);
        ShowQuestion("warning2", false);
        if (g_bgSoundManager)
            g_bgSoundManager->StopAllAmbient();
        ShowSavePage();
    }
    if (name == "but_credits" && inside) {
        ClickSound();
        if (CGuiControl* background = Control("main_menu", "credits_bg"))
            background->visible = 1;
        CGuiControl* credits = Control("main_menu", "credits");
        creditsOffset = (credits ? credits->height : 0.0f) + kCreditsStart;
        smoothedTime = FrameDelta();
    }
    if (name == "credits_bg") {
        ClickSound();
        control->visible = 0;
        creditsOffset = 0.0f;
    }
    if (name == "but_minigames" && inside) {
        ClickSound();
        ShowMiniGamesPage();
    }
}

void CQasimarMenu::OnEscape()
{
    if (IsCurrent("main_menu")) {
        CGuiControl* background = Control("main_menu", "credits_bg");
        CGuiControl* warning = Control("main_menu", "warning");
        CGuiControl* warning2 = Control("main_menu", "warning2");
        if (background && background->visible) {
            background->visible = 0;
            creditsOffset = 0.0f;
        } else if ((warning && warning->visible) || (warning2 && warning2->visible)) {
            SetMainButtons(1);
            ShowQuestion(warning && warning->visible ? "warning" : "warning2", false);
            FillMainPage(false);
        } else if (GameInProgress()) {
            Close();
        }
        return;
    }
    if (IsCurrent("save_menu")) {
        CGuiControl* question = Control("save_menu", "rusure_dlg");
        CGuiControl* confirmation = Control("save_menu", "game_saved_dlg");
        if ((question && question->visible) || (confirmation && confirmation->visible)) {
            if (question)
                question->visible = 0;
            if (confirmation)
                confirmation->visible = 0;
            SetSavePageControls(1);
            return;
        }
    }
    if (IsCurrent("settings_menu")) {
        CGuiControl* warning = Control("settings_menu", "warning");
        if (warning && warning->visible) {
            warning->visible = 0;
            SetSettingsControls(1);
        }
    }
    if (scrollRemaining == 0.0f)
        Open(QM_MENU_MAIN);
}

// Events ------------------------------------------------------------------------

void CQasimarMenu::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!open)
        return;
    if (code == QM_MSG_KEY_DOWN && g_keyboard && sender == g_keyboard) {
        if (g_keyboard->lastPressedKey == QM_VK_ESCAPE)
            OnEscape();
        return;
    }
    CGuiControl* control = AsControl(sender);
    if (!control || !control->ownerSet || !control->ownerSet->IsCurrent())
        return;
    const CGeString setName = control->ownerSet->name;
    if (setName == "main_menu")
        OnMainPage(control, code);
    else if (setName == "load_menu")
        OnSlotPage(control, code, false);
    else if (setName == "save_menu")
        OnSlotPage(control, code, true);
    else if (setName == "settings_menu")
        OnSettingsPage(control, code);
    else if (setName == "minigames_menu")
        OnMiniGamesPage(control, code);
}
