// The load and save pages: the strip of 20 slots with their thumbnails and
// dates, the selection with its preview, the double click, the overwrite
// question and the confirmation. Loading and saving are the game processor's.
#include "Source/Qasimar/QasimarMenu.h"

#include "Engine/Core/Common/GeDateTime.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmUserFolder.h"

#include <sys/stat.h>

#include <cstring>

namespace {

// Files of the per-user folder are read from the disk as they are now.
CGmSprite* LoadThumbnail(const CGeString& path)
{
    CGeFileData file = ReadWholeFile(path.c_str(), false);
    if (!file.size) {
        FreeFileData(file);
        return nullptr;
    }
    CGmTexture* texture = new CGmTexture();
    const bool decoded = texture->LoadFromFile(file, true);
    FreeFileData(file);
    if (!decoded) {
        texture->Release();
        return nullptr;
    }
    CGmImageSet images;
    images.Init(texture, 1, 1);
    texture->Release();
    CGmSprite* sprite = new CGmSprite(images);
    sprite->SetSize(142.0f, 114.0f);
    return sprite;
}

bool FileExists(const CGeString& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void SetText(CGuiControl* control, const CGeWString& text)
{
    if (control && control->ControlType() == EGCT_TEXTCONTROL)
        static_cast<CGuiTextControl*>(control)->SetText(text);
}

void Attach(CGuiControl* control, CGmVisualObject* visual)
{
    if (control && control->ControlType() == EGCT_CUSTOM)
        static_cast<CGuiCustom*>(control)->AttachVisual(visual);
}

} // namespace

void CQasimarMenu::ShowLoadPage()
{
    if (g_guiManager)
        g_guiManager->SetCurrentControlSetByName(CGeString("load_menu"));
    BuildSlotList();
    if (CGuiControl* frame = Control("load_menu", "slot_selection"))
        frame->visible = 0;
    SelectSlot(nullptr);
}

void CQasimarMenu::ShowSavePage()
{
    if (g_guiManager)
        g_guiManager->SetCurrentControlSetByName(CGeString("save_menu"));
    BuildSlotList();
    for (const char* name : {"slot_selection", "rusure_dlg", "game_saved_dlg"})
        if (CGuiControl* control = Control("save_menu", name))
            control->visible = 0;
    SelectSlot(nullptr);
}

void CQasimarMenu::BuildSlotList()
{
    ReleasePictures();
    const CGeString setName = CurrentSetName();
    for (uint32_t i = 0; i < kSlots; ++i) {
        const CGeString slotPath = FormatString("%s/save/slot_%i.s", GetUserDataFolder(), (int)i);
        slotUsed[i] = FileExists(slotPath) ? 1 : 0;
        memset(&slotDates[i], 0, sizeof(slotDates[i]));
        if (slotUsed[i]) {
            QmSaveHeader header;
            if (g_gameProcessor)
                g_gameProcessor->GetSavedData(header, (int32_t)i);
            else
                memset(&header, 0, sizeof(header));
            memcpy(slotDates[i].words, header.date, sizeof(slotDates[i].words));
        }
        slotPictures[i] = LoadThumbnail(slotPath + ".tga");
        CGuiControl* control = StripControl(setName.c_str(), i);
        if (slotPictures[i])
            Attach(control, slotPictures[i]);
        if (control)
            control->SetPosition(((float)i - (float)stripIndex - 1.0f) * kSlotPitch + kStripX, kStripY);
    }
}

CGmSprite* CQasimarMenu::MakePreview(const CGmSprite& picture)
{
    CGmSprite* sprite = new CGmSprite(picture.imageSet);
    const CGeString setName = CurrentSetName();
    CGuiControl* target = Control(setName.c_str(), "preview");
    if (target) {
        Attach(target, sprite);
        sprite->SetSize(target->width, target->height);
    }
    sprite->frame.SetPosition(Vec3{0.0f, 0.0f, 0.0f});
    return sprite;
}

void CQasimarMenu::ShowDateTexts(const MenuSlotDate* date)
{
    const CGeString setName = CurrentSetName();
    CGeWString day, time;
    if (date) {
        GeCalendarTime when;
        memcpy(&when, date->words, sizeof(when));
        CGeDateTimeDecoder::Format("d.m.y", when, day);
        CGeDateTimeDecoder::Format("h:n:s", when, time);
    }
    SetText(Control(setName.c_str(), "date_field"), day);
    SetText(Control(setName.c_str(), "time_field"), time);
}

void CQasimarMenu::SelectSlot(CGuiControl* control)
{
    const int32_t index = StripIndexOf(control, kSlots);
    selected = index == selected ? -1 : index;
    const CGeString setName = CurrentSetName();
    if (CGuiControl* target = Control(setName.c_str(), "preview"))
        if (target->ControlType() == EGCT_CUSTOM)
            static_cast<CGuiCustom*>(target)->DetachVisual();
    delete preview;
    preview = nullptr;
    CGuiControl* frame = Control(setName.c_str(), "slot_selection");
    if (selected < 0) {
        if (frame)
            frame->visible = 0;
        ShowDateTexts(nullptr);
        return;
    }
    if (frame) {
        frame->SetPosition(control->X(), control->Y());
        frame->visible = 1;
    }
    if (slotUsed[selected])
        ShowDateTexts(&slotDates[selected]);
    else
        ShowDateTexts(nullptr);
    if (slotPictures[selected])
        preview = MakePreview(*slotPictures[selected]);
}

void CQasimarMenu::LoadSelectedSlot()
{
    const int32_t slot = selected;
    Close();
    if (g_gameProcessor)
        g_gameProcessor->LoadGame(slot);
    if (g_inventory)
        g_inventory->Unselect();
    gameSaved = 0;
}

void CQasimarMenu::SetSavePageControls(uint8_t state)
{
    for (const char* name : {"but_save", "but_cancel", "scroll_left", "scroll_right"})
        if (CGuiControl* control = Control("save_menu", name))
            control->SetVisualState(state);
    for (uint32_t i = 0; i < kSlots; ++i)
        if (CGuiControl* control = StripControl("save_menu", i))
            control->SetVisualState(state);
}

void CQasimarMenu::SaveSelectedSlot()
{
    if (selected < 0)
        return;
    if (!slotUsed[selected]) {
        WriteSlot();
        return;
    }
    if (CGuiControl* question = Control("save_menu", "rusure_dlg"))
        question->visible = 1;
    SetSavePageControls(0);
}

void CQasimarMenu::WriteSlot()
{
    if (selected < 0)
        return;
    lastSavedSlot = selected;
    if (g_gameProcessor)
        g_gameProcessor->SaveGame(selected);
    gameSaved = 1;
    BuildSlotList();
    selected = -1;
    SelectSlot(nullptr);
    if (CGuiControl* confirmation = Control("save_menu", "game_saved_dlg"))
        confirmation->visible = 1;
    SetSavePageControls(0);
}

void CQasimarMenu::OnSlotPage(CGuiControl* control, uint32_t code, bool save)
{
    const CGeString& name = control->name;
    const char* setName = save ? "save_menu" : "load_menu";
    if (code == GUI_EV_PRESS) {
        scrollHeld = 1;
        const bool left = name == "scroll_left";
        if (left || name == "scroll_right") {
            ClickSound();
            const int32_t last = (int32_t)kSlots - 7;
            if (scrollRemaining == 0.0f && (left ? stripIndex >= 0 : stripIndex < last))
                StartStripStep(left);
        }
        return;
    }
    if (code == GUI_EV_RELEASE) {
        scrollHeld = 0;
        return;
    }
    // A slot that moves under the pointer is not the one the player aimed at.
    if (code != GUI_EV_CLICK || scrollRemaining != 0.0f)
        return;
    if (name == "but_cancel") {
        ClickSound();
        Open(QM_MENU_MAIN);
        return;
    }
    if (control->ControlType() == EGCT_CUSTOM && name != "preview") {
        ClickSound();
        if (clickTimer >= kDoubleClickSeconds) {
            SelectSlot(control);
        } else if (selected >= 0 && save) {
            SaveSelectedSlot();
        } else if (selected >= 0 && slotUsed[selected]) {
            LoadSelectedSlot();
        }
        clickTimer = 0.0f;
        return;
    }
    if (!save) {
        if (name == "but_load" && selected >= 0 && slotUsed[selected]) {
            ClickSound();
            LoadSelectedSlot();
        }
        return;
    }
    if (name == "but_save" && selected >= 0) {
        ClickSound();
        SaveSelectedSlot();
    } else if (name == "but_yes") {
        ClickSound();
        if (CGuiControl* question = Control(setName, "rusure_dlg"))
            question->visible = 0;
        WriteSlot();
    } else if (name == "but_no") {
        ClickSound();
        if (CGuiControl* question = Control(setName, "rusure_dlg"))
            question->visible = 0;
        SetSavePageControls(1);
    } else if (name == "but_ok") {
        ClickSound();
        if (CGuiControl* confirmation = Control(setName, "game_saved_dlg"))
            confirmation->visible = 0;
        SetSavePageControls(1);
    }
}
