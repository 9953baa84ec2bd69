// A named set of controls that is shown and takes input as a unit, the
// control factory, and the loader of the CONTROLSET element of GUI layout
// documents.
//
// The set's list holds every control (descendants included) in the order in
// which they joined; that order is the stacking order (a later control lies
// above an earlier one). Names are unique in a set and compared byte by byte.
// The set owns its controls: Destroy deletes them.
//
// The factory builds the types it has classes for (GuiFactory.cpp lists
// them) and refuses the others, like EGCT_MENU, with null. The loader reads GUI documents with white-space
// condensing off (values keep their spaces and line breaks), creates the
// controls in a first pass (a taken name gets "%s%02d" with 1, 2, ...; an
// element whose type no class serves is skipped), sets their properties, and
// attaches the parents named by EP_Parent in a second pass. Nothing it meets
// stops it: bad elements are passed over.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGuiControl;
class CGuiManager;
class TiXmlElement;

class CGuiControlSet {
public:
    CGuiControlSet() = default;
    ~CGuiControlSet();
    CGuiControlSet(const CGuiControlSet&) = delete;
    CGuiControlSet& operator=(const CGuiControlSet&) = delete;

    CGuiControl* CreateControl(const CGeString& controlName, uint32_t type);
    void AddControl(CGuiControl* control);
    void RemoveControl(const CGeString& controlName);
    bool RenameControl(const CGeString& oldName, const CGeString& newName);
    CGuiControl* FindControl(const CGeString& controlName) const;
    CGuiControl* FindControlAt(float x, float y);
    void OnMouseMessage(uint32_t code);
    void SetFocus(CGuiControl* control);
    void Update();
    void LoadFromFile(const CGeString& path);
    void Load(TiXmlElement* root);
    void Destroy();
    void FocusNextTab();
    void FocusPrevTab();

    // Takes a control out of the set's list, map, focus and capture without
    // deleting it (the control leaves for another set or dies).
    void Forget(CGuiControl* control);
    // The set is the current set of its manager.
    bool IsCurrent() const;
    // The control is still a member of this set.
    bool Holds(const CGuiControl* control) const;

    CGuiManager* owner = nullptr;
    uint8_t active = 1;
    CGePoolList<CGuiControl*> controls;
    CGeStringMap<CGuiControl*> names;
    CGuiControl* focused = nullptr;
    CGeString name;
    CGuiControl* capture = nullptr;
    // Counts the controls that left the list, so that a walk over a copy of
    // the list notices when a handler took some out.
    uint32_t departures = 0;

private:
    // Calls fn for each member in list order, skipping those that left.
    template <typename Fn>
    void ForEachMember(Fn fn);
};

// The name of a type code; "" above 16.
CGeString EgctToName(uint32_t code);
// The code of a type name, ignoring letter case; 0 for any other text.
uint32_t EgctFromName(const CGeString& text);
// The factory: a control of the type's class, 1 by 1, or null.
CGuiControl* GuiConstructControl(uint32_t type);
// The factory has a class for the type.
bool GuiTypeBuildable(uint32_t type);
