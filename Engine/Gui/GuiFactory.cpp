// The control factory: the classes this library has, by type code. Types
// without a class here (EGCT_MENU among them) are refused.
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"

CGuiControl* GuiConstructControl(uint32_t type)
{
    switch (type) {
    case EGCT_CONTROL: return new CGuiControl(1.0f, 1.0f);
    case EGCT_TEXTCONTROL: return new CGuiTextControl(1.0f, 1.0f);
    case EGCT_BUTTON: return new CGuiButton(1.0f, 1.0f);
    case EGCT_CUSTOM: return new CGuiCustom(1.0f, 1.0f);
    default: return nullptr;
    }
}

bool GuiTypeBuildable(uint32_t type)
{
    return type == EGCT_CONTROL || type == EGCT_TEXTCONTROL || type == EGCT_BUTTON || type == EGCT_CUSTOM;
}
