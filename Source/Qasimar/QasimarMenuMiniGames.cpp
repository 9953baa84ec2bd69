// The mini-games page: the games the story has unlocked (bit k of the
// settings' "minigames" mask for the k-th "game" of "menu/gamelist.xml"),
// without gaps from custom01 on, and the start of one in mini-game mode.
#include "Source/Qasimar/QasimarMenu.h"

#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <tinyxml.h>

namespace {

// The text inside a child element; false when the child is missing.
bool ChildText(TiXmlElement* parent, const char* name, CGeString& text)
{
    TiXmlElement* child = parent->FirstChildElement(name);
    if (!child)
        return false;
    text = child->GetText() ? child->GetText() : "";
    return true;
}

bool ChildWideText(TiXmlElement* parent, const char* name, CGeWString& text)
{
    CGeString utf8;
    if (!ChildText(parent, name, utf8))
        return false;
    text = Utf8StringToWide(utf8);
    return true;
}

} // namespace

void CQasimarMenu::ShowMiniGamesPage()
{
    if (g_guiManager)
        g_guiManager->SetCurrentControlSetByName(CGeString("minigames_menu"));
    BuildMiniGameList();
    stripIndex = -1;
    if (CGuiControl* frame = Control("minigames_menu", "slot_selection"))
        frame->visible = 0;
    SelectMiniGame(nullptr);
}

void CQasimarMenu::BuildMiniGameList()
{
    ReleasePictures();
    for (MiniGameEntry& entry : miniGames)
        entry = MiniGameEntry();
    TiXmlDocument document;
    TiXmlElement* root = nullptr;
    if (XmlLoadDocument(g_dataRoot + "menu/gamelist.xml", document))
        root = document.FirstChildElement("gamelist");
    uint32_t filled = 0;
    uint32_t position = 0;
    for (TiXmlElement* game = root ? root->FirstChildElement("game") : nullptr; game && position < kMiniGames;
         game = game->NextSiblingElement("game"), ++position) {
        if (!((uint32_t)CQmGameConfig::s_minigames & (1u << position)))
            continue;
        MiniGameEntry& entry = miniGames[filled++];
        ChildWideText(game, "name", entry.name);
        CGeString image;
        if (ChildText(game, "image", image)) {
            bool found = false;
            CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + image, false, &found);
            if (texture && found) {
                CGmImageSet images;
                images.Init(texture, 1, 1);
                entry.picture = new CGmSprite(images);
                entry.picture->SetSize(142.0f, 114.0f);
            }
            if (texture)
                texture->Release();
        }
        if (CGuiControl* control = StripControl("minigames_menu", filled - 1)) {
            if (entry.picture && control->ControlType() == EGCT_CUSTOM)
                static_cast<CGuiCustom*>(control)->AttachVisual(entry.picture);
            control->SetPosition((float)(filled - 1) * kSlotPitch + kStripX, kStripY);
        }
        ChildWideText(game, "text", entry.text);
        ChildWideText(game, "controls", entry.controls);
        ChildText(game, "location", entry.location);
    }
    stripIndex = -1;
}

void CQasimarMenu::SelectMiniGame(CGuiControl* control)
{
    const int32_t index = StripIndexOf(control, kMiniGames);
    selected = index == selected ? -1 : index;
    if (CGuiControl* target = Control("minigames_menu", "preview"))
        if (target->ControlType() == EGCT_CUSTOM)
            static_cast<CGuiCustom*>(target)->DetachVisual();
    delete preview;
    preview = nullptr;
    CGuiControl* frame = Control("minigames_menu", "slot_selection");
    if (selected < 0) {
        if (frame)
            frame->visible = 0;
        return;
    }
    if (frame) {
        frame->SetPosition(control->X(), control->Y());
        frame->visible = 1;
    }
    if (miniGames[selected].picture)
        preview = MakePreview(*miniGames[selected].picture);
}

void CQasimarMenu::StartSelectedMiniGame()
{
    if (selected < 0 || !miniGames[selected].picture)
        return;
    ClickSound();
    const CGeString location = miniGames[selected].location;
    Close();
    if (g_gameProcessor)
        g_gameProcessor->SwitchMiniGameMode(location.c_str());
}

void CQasimarMenu::OnMiniGamesPage(CGuiControl* control, uint32_t code)
{
    const CGeString& name = control->name;
    if (code == GUI_EV_PRESS) {
        scrollHeld = 1;
        const bool left = name == "scroll_left";
        if ((left && stripIndex >= 0) || (name == "scroll_right" && stripIndex < (int32_t)kMiniGames - 7)) {
            ClickSound();
            if (scrollRemaining == 0.0f)
                StartStripStep(left);
        }
        return;
    }
    if (code == GUI_EV_RELEASE) {
        scrollHeld = 0;
        return;
    }
    if (code != GUI_EV_CLICK || scrollRemaining != 0.0f)
        return;
    if (name == "but_back") {
        ClickSound();
        Open(QM_MENU_MAIN);
    } else if (control->ControlType() == EGCT_CUSTOM && name != "preview") {
        ClickSound();
        if (clickTimer >= kDoubleClickSeconds)
            SelectMiniGame(control);
        else
            StartSelectedMiniGame();
        clickTimer = 0.0f;
    } else if (name == "but_start") {
        StartSelectedMiniGame();
    }
}
