// The control factory: the classes this library has, by type code. Types
// without a class here (EGCT_MENU among them) are refused. A type is
// buildable exactly when the factory makes it, so a new class needs only its
// line in the switch.
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiComboBox.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiDropDownList.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiMemo.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Engine/Gui/GuiScrollArea.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiScrollBox.h"
#include "Engine/Gui/GuiSwitch.h"
#include "Engine/Gui/GuiText.h"

CGuiControl* GuiConstructControl(uint32_t type)
{
    switch (type) {
    case EGCT_CONTROL: return new CGuiControl(1.0f, 1.0f);
    case EGCT_TEXTCONTROL: return new CGuiTextControl(1.0f, 1.0f);
    case EGCT_BUTTON: return new CGuiButton(1.0f, 1.0f);
    case EGCT_CUSTOM: return new CGuiCustom(1.0f, 1.0f);
    case EGCT_MEMO: return new CGuiMemo(1.0f, 1.0f);
    case EGCT_EDIT: return new CGuiEdit(1.0f, 1.0f);
    case EGCT_COMBOBOX: return new CGuiComboBox(1.0f, 1.0f);
    case EGCT_SWITCH: return new CGuiSwitch(1.0f, 1.0f);
    case EGCT_PROGRESSBAR: return new CGuiProgressBar(1.0f, 1.0f);
    case EGCT_TEXT: return new CGuiText(1.0f, 1.0f);
    case EGCT_SCROLLBAR: return new CGuiScrollBar(1.0f, 1.0f);
    case EGCT_LISTBOX: return new CGuiListBox(1.0f, 1.0f);
    case EGCT_SCROLLAREA: return new CGuiScrollArea(1.0f, 1.0f);
    case EGCT_SCROLLBOX: return new CGuiScrollBox(1.0f, 1.0f);
    case EGCT_DROP_DOWN_LIST: return new CGuiDropDownList(1.0f, 1.0f);
    default: return nullptr;
    }
}

bool GuiTypeBuildable(uint32_t type)
{
    CGuiControl* probe = GuiConstructControl(type);
    delete probe;
    return probe != nullptr;
}
