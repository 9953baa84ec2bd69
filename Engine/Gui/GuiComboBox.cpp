#include "Engine/Gui/GuiComboBox.h"

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"

CGuiComboBox::CGuiComboBox(float w, float h) : CGuiComboBase(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_COMBOBOX;
}

CGuiEdit* CGuiComboBox::Edit() const
{
    return static_cast<CGuiEdit*>(valuePart);
}

void CGuiComboBox::CreateChildren()
{
    MakeListBox();
    valuePart = static_cast<CGuiEdit*>(GuiMakePart(this, EGCT_EDIT, kGuiEditSuffix));
    MakeButton();
    AdoptChildren(false);
}

void CGuiComboBox::SelectShownText()
{
    if (CGuiEdit* edit = Edit())
        edit->Select(0, -1);
}

void CGuiComboBox::OnEvent(uint32_t code)
{
    CGuiComboBase::OnEvent(code);
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    CGuiEdit* edit = Edit();
    switch (code) {
    case GUI_EV_KEY_DOWN:
        if (keyboard && !IsListKey(keyboard->lastPressedKey) && edit && !edit->readOnly)
            edit->HandleKey();
        break;
    case GUI_EV_CHAR:
        if (edit && !edit->readOnly) {
            edit->TypeCharacter();
            SearchOpenList(edit->text);
        } else if (keyboard) {
            const char16_t typed[2] = {AnsiCharToWide((unsigned char)keyboard->character), 0};
            SearchOpenList(CGeWString(typed));
        }
        break;
    case GUI_EV_FOCUS_GAINED:
        if (edit) {
            edit->CaretFromPointer();
            edit->Select(0, -1);
        }
        break;
    default: break;
    }
}

void CGuiComboBox::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (!SetCommonProperty(index, value, refresh)) {
        CGuiEdit* edit = Edit();
        if (index == EP_EditCursorType) {
            if (edit)
                edit->SetProperty(EP_CursorType, value, true);
        } else if (GuiIsSelectionPictureProperty(index)) {
            if (listBox)
                listBox->SetProperty(index, value, refresh);
            if (edit)
                edit->SetProperty(index, value, refresh);
        } else if (GuiIsEditCaretOrFilterProperty(index)) {
            if (edit)
                edit->SetProperty(index, value, refresh);
        }
    }
    if (refresh)
        Refresh();
}

bool CGuiComboBox::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    bool answered = false;
    if (GetCommonProperty(index, text, &answered))
        return answered;
    CGuiEdit* edit = Edit();
    if (index == EP_EditCursorType)
        return edit ? edit->GetProperty(EP_CursorType, text) : false;
    if (GuiIsSelectionPictureProperty(index))
        return listBox ? listBox->GetProperty(index, text) : false;
    if (GuiIsEditCaretOrFilterProperty(index))
        return edit ? edit->GetProperty(index, text) : false;
    return false;
}
