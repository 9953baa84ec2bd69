// Tab and Shift+Tab: the keyboard focus moves among the children of one
// parent, or among the top-level controls of a set, by tab order (compared
// as unsigned numbers); equal orders go round in list order.
//
// A child takes part when its set is the manager's current set, it and its
// ancestors are visible, its focus is enabled and it is a tab stop. At set
// level a control takes part when it has no parent, its focus is enabled, it
// is a tab stop and it is visible: a hidden control would take the focus
// where no key reaches anything and Tab could never leave it.
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"

namespace {

template <typename Eligible>
void MoveFocus(const CGeArray<CGuiControl*>& list, bool forward, Eligible eligible)
{
    const int n = (int)list.Count();
    int focusedIndex = -1;
    bool any = false;
    uint32_t lo = 0, hi = 0;
    for (int i = 0; i < n; ++i) {
        CGuiControl* c = list[i];
        if (focusedIndex < 0 && c->IsFocused())
            focusedIndex = i;
        if (!eligible(c))
            continue;
        const uint32_t order = (uint32_t)c->tabOrder;
        if (!any || order < lo)
            lo = order;
        if (!any || order > hi)
            hi = order;
        any = true;
    }
    if (focusedIndex < 0 || !any)
        return;
    auto at = [&](int k) { return list[forward ? (focusedIndex + k) % n : (focusedIndex - k + n) % n]; };
    CGuiControl* chosen = nullptr;
    const uint32_t f = (uint32_t)list[focusedIndex]->tabOrder;
    if (lo == hi) {
        for (int k = 1; k <= n && !chosen; ++k)
            if (eligible(at(k)))
                chosen = at(k);
    } else if (forward ? f >= hi : f <= lo) {
        const uint32_t wrapTo = forward ? lo : hi;
        for (int k = 1; k <= n && !chosen; ++k)
            if (eligible(at(k)) && (uint32_t)at(k)->tabOrder == wrapTo)
                chosen = at(k);
    } else {
        for (int k = 1; k <= n; ++k) {
            CGuiControl* c = at(k);
            if (!eligible(c))
                continue;
            const uint32_t order = (uint32_t)c->tabOrder;
            const bool beyond = forward ? order > f : order < f;
            const bool better = !chosen || (forward ? order < (uint32_t)chosen->tabOrder
                                                    : order > (uint32_t)chosen->tabOrder);
            if (beyond && better)
                chosen = c;
        }
    }
    if (chosen && !chosen->IsFocused() && chosen->ownerSet && chosen->focusEnabled)
        chosen->ownerSet->SetFocus(chosen);
}

CGeArray<CGuiControl*> ChildrenOf(const CGuiControl& parent)
{
    CGeArray<CGuiControl*> list;
    for (auto* node = parent.children.head; node; node = node->next)
        list.Add(node->value);
    return list;
}

CGeArray<CGuiControl*> TopLevelOf(const CGuiControlSet& set)
{
    CGeArray<CGuiControl*> list;
    for (auto* node = set.controls.head; node; node = node->next)
        if (!node->value->parent)
            list.Add(node->value);
    return list;
}

bool ChildEligible(const CGuiControl* c)
{
    return c->IsLive() && c->focusEnabled && c->tabStop;
}

bool TopLevelEligible(const CGuiControl* c)
{
    return !c->parent && c->focusEnabled && c->tabStop && c->visible;
}

} // namespace

void CGuiControl::FocusNextTab()
{
    MoveFocus(ChildrenOf(*this), true, ChildEligible);
}

void CGuiControl::FocusPrevTab()
{
    MoveFocus(ChildrenOf(*this), false, ChildEligible);
}

void CGuiControlSet::FocusNextTab()
{
    MoveFocus(TopLevelOf(*this), true, TopLevelEligible);
}

void CGuiControlSet::FocusPrevTab()
{
    MoveFocus(TopLevelOf(*this), false, TopLevelEligible);
}
