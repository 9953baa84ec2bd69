// The GUI manager: owns the control sets by name and the table of bound-frame
// sets, knows the current set, and once per frame polls the keyboard and the
// mouse, hands their messages to the current set's controls, moves the
// cursor set to the mouse and updates the current set's controls.
//
// The current set is a public field: game code makes a set current by
// storing it, and the next message goes to it (the set is read again for
// every mouse message, so a handler that switches sets sends the rest of the
// frame's messages to the new one). Like the controls, the manager holds the
// dispatcher only to post and collect; it has no dispatcher row. The creator
// fills in the dispatcher, the devices and the cursor set.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Gui/GuiFrameLink.h"

#include <cstdint>

class CGeCursorSet;
class CGeKeyboardState;
class CGeMouseState;
class CGuiControlSet;

constexpr uint32_t GUI_MANAGER_CATEGORY = 8;

class CGuiManager : public CCiMessageClient {
public:
    CGuiManager();
    ~CGuiManager() override;

    void Update();
    CGuiControlSet* CreateControlSet(const CGeString& setName);
    CGuiControlSet* FindControlSet(const CGeString& setName) const;
    // Whether the set is still one of the manager's: a pointer kept elsewhere
    // may outlive its set.
    bool Holds(const CGuiControlSet* set) const;
    void RemoveControlSet(CGuiControlSet* set);
    // Makes the named set current; an unknown name changes nothing.
    void SetCurrentControlSetByName(const CGeString& setName);

    CGeMouseState* mouse = nullptr;
    CGeKeyboardState* keyboard = nullptr;
    CGeCursorSet* cursorSet = nullptr;
    CGuiControlSet* currentSet = nullptr;
    CGeStringMap<CGuiControlSet*> sets;
    GuiFrameSetTable frameSets;
};

// The program's GUI manager and its first control set "mainCtrlSet", the
// input devices and the cursor set; null until start-up creates them.
extern CGuiManager* g_guiManager;
extern CGuiControlSet* g_mainControlSet;
extern CGeKeyboardState* g_keyboard;
extern CGeMouseState* g_mouse;
extern CGeCursorSet* g_cursors;
