#include "Engine/Gui/GuiDropDownList.h"

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiText.h"
#include "Engine/Gui/GuiTextControl.h"

CGuiDropDownList::CGuiDropDownList(float w, float h) : CGuiComboBase(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_DROP_DOWN_LIST;
}

void CGuiDropDownList::CreateChildren()
{
    MakeListBox();
    valuePart = static_cast<CGuiTextControl*>(GuiMakePart(this, EGCT_TEXTCONTROL, kGuiTextControlSuffix));
    MakeButton();
    AdoptChildren(true);
}

void CGuiDropDownList::OnEvent(uint32_t code)
{
    CGuiComboBase::OnEvent(code);
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    if (code == GUI_EV_CHAR && keyboard) {
        const char16_t typed[2] = {AnsiCharToWide((unsigned char)keyboard->character), 0};
        SearchOpenList(CGeWString(typed));
    }
}

void CGuiDropDownList::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (!SetCommonProperty(index, value, refresh)) {
        if (index == EP_TextControlCursorType) {
            if (valuePart)
                valuePart->SetProperty(EP_CursorType, value, true);
        } else if (GuiIsSelectionPictureProperty(index)) {
            if (listBox)
                listBox->SetProperty(index, value, refresh);
        }
    }
    if (refresh)
        Refresh();
}

bool CGuiDropDownList::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    bool answered = false;
    if (GetCommonProperty(index, text, &answered))
        return answered;
    if (index == EP_TextControlCursorType)
        return valuePart ? valuePart->GetProperty(EP_CursorType, text) : false;
    if (GuiIsSelectionPictureProperty(index))
        return listBox ? listBox->GetProperty(index, text) : false;
    return false;
}
