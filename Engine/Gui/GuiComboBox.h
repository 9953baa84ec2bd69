// The combo box: an edit field that shows the chosen value, a button that
// opens and closes the drop-down list, and the list box itself. The edit's
// text and the list's current item are kept in step: a clicked or chosen
// item, Enter, Up and Down (wrapping at the ends) and the wheel over the
// edit (stopping at the ends) take an item's text into the edit; typing
// edits the text and, while the list is open, makes the first item that
// starts with it current. Ctrl+Down released opens the list; a press outside
// and the loss of the focus close it.
#pragma once

#include "Engine/Gui/GuiComboBase.h"

class CGuiEdit;

class CGuiComboBox : public CGuiComboBase {
public:
    CGuiComboBox(float width, float height);

    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void CreateChildren() override;
    void OnEvent(uint32_t code) override;

    CGuiEdit* Edit() const;

protected:
    void SelectShownText() override;
};
