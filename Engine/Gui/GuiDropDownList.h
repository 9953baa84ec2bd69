// The drop-down list: the combo box's read-only sibling. The chosen value
// shows in a text control in place of the edit field, so the user can only
// pick one of the list's items: by clicking it, with Enter, with Up and Down
// (wrapping) and with the wheel over the value (stopping at the ends). Typing
// while the list is open makes the first item that starts with the typed
// character current; a closed list ignores typing.
#pragma once

#include "Engine/Gui/GuiComboBase.h"

class CGuiDropDownList : public CGuiComboBase {
public:
    CGuiDropDownList(float width, float height);

    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void CreateChildren() override;
    void OnEvent(uint32_t code) override;
};
