// The GUI manager's sets and its per-frame pass.
#include "Engine/Gui/GuiManager.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"

CGuiManager* g_guiManager = nullptr;
CGuiControlSet* g_mainControlSet = nullptr;
CGeKeyboardState* g_keyboard = nullptr;
CGeMouseState* g_mouse = nullptr;
CGeCursorSet* g_cursors = nullptr;

CGuiManager::CGuiManager()
{
    typeId = (GUI_MANAGER_CATEGORY << 16) | CGeTypedObject::kUntyped;
    // Only to post and collect: no dispatcher row; the creator sets it.
    if (dispatcher) {
        dispatcher->UnregisterClient(this);
        dispatcher = nullptr;
    }
}

CGuiManager::~CGuiManager()
{
    for (auto* entry = sets.first; entry; entry = sets.Next(entry)) {
        CGuiControlSet* set = entry->value;
        if (set == g_mainControlSet)
            g_mainControlSet = nullptr;
        set->Destroy();
        set->owner = nullptr;
        delete set;
    }
    sets.Destroy();
    currentSet = nullptr;
    GuiFrameSetsDestroy(frameSets);
    if (g_guiManager == this)
        g_guiManager = nullptr;
}

CGuiControlSet* CGuiManager::CreateControlSet(const CGeString& setName)
{
    if (sets.Find(setName))
        return nullptr;
    CGuiControlSet* set = new CGuiControlSet();
    set->name = setName;
    set->owner = this;
    sets[setName] = set;
    if (!currentSet)
        currentSet = set;
    return set;
}

CGuiControlSet* CGuiManager::FindControlSet(const CGeString& setName) const
{
    auto* entry = sets.Find(setName);
    return entry ? entry->value : nullptr;
}

void CGuiManager::SetCurrentControlSetByName(const CGeString& setName)
{
    if (CGuiControlSet* set = FindControlSet(setName))
        currentSet = set;
}

bool CGuiManager::Holds(const CGuiControlSet* set) const
{
    for (auto* node = sets.first; node; node = sets.Next(node))
        if (node->value == set)
            return true;
    return false;
}

void CGuiManager::RemoveControlSet(CGuiControlSet* set)
{
    if (!set)
        return;
    auto* entry = sets.Find(set->name);
    if (!entry || entry->value != set)
        return;
    sets.Erase(entry);
    set->owner = nullptr;
    if (currentSet == set)
        currentSet = nullptr;
}

void CGuiManager::Update()
{
    if (mouse)
        mouse->Update();
    if (keyboard)
        keyboard->Update();
    if (currentSet && dispatcher) {
        uint32_t codes[CCiDispatcher::kMaxCollected];
        uint32_t n = keyboard ? dispatcher->CollectFor(keyboard, codes) : 0;
        if (n > CCiDispatcher::kMaxCollected)
            n = CCiDispatcher::kMaxCollected;
        for (uint32_t i = 0; i < n; ++i)
            if (currentSet && currentSet->active && currentSet->focused)
                currentSet->focused->OnKeyboardMessage(codes[i]);
        n = mouse ? dispatcher->CollectFor(mouse, codes) : 0;
        if (n > CCiDispatcher::kMaxCollected)
            n = CCiDispatcher::kMaxCollected;
        // The current set is read again for every message. The device keeps
        // one position a frame, so only the frame's first message sees the
        // pointer come from where it was: after it, the earlier position is
        // the current one. Otherwise a move, a press and a release in one
        // frame would each enter the control anew, and the entry would forget
        // the press before its release could make a click.
        if (n > 0) {
            const float fromX = mouse->previousX, fromY = mouse->previousY;
            for (uint32_t i = 0; i < n; ++i) {
                if (currentSet)
                    currentSet->OnMouseMessage(codes[i]);
                mouse->previousX = mouse->x;
                mouse->previousY = mouse->y;
            }
            mouse->previousX = fromX;
            mouse->previousY = fromY;
        }
    }
    if (cursorSet && mouse)
        GuiCursorFollow(cursorSet, mouse->x, mouse->y);
    if (currentSet)
        currentSet->Update();
}
