// Control sets, the factory's type names and the CONTROLSET loader.
#include "Engine/Gui/GuiControlSet.h"

#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"

#include <tinyxml.h>

namespace {

const char* const kTypeNames[17] = {
    "EGCT_NONE",     "EGCT_CONTROL",  "EGCT_TEXTCONTROL", "EGCT_BUTTON",    "EGCT_MENU",      "EGCT_MEMO",
    "EGCT_TEXT",     "EGCT_EDIT",     "EGCT_SWITCH",      "EGCT_COMBOBOX",  "EGCT_LISTBOX",   "EGCT_SCROLLAREA",
    "EGCT_SCROLLBOX", "EGCT_SCROLLBAR", "EGCT_PROGRESSBAR", "EGCT_CUSTOM", "EGCT_DROP_DOWN_LIST",
};

bool EqualIgnoringCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'a' && ca <= 'z')
            ca = (char)(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z')
            cb = (char)(cb - 'a' + 'A');
        if (ca != cb)
            return false;
        if (!ca)
            return true;
    }
}

// The control and, when it is compound, its internal parts.
void RefreshWithParts(CGuiControl* control)
{
    control->Refresh();
    if (!control->compound)
        return;
    for (auto* node = control->children.head; node; node = node->next)
        if (node->value->internalPart)
            node->value->Refresh();
}

} // namespace

CGeString EgctToName(uint32_t code)
{
    return code <= 16 ? CGeString(kTypeNames[code]) : CGeString();
}

uint32_t EgctFromName(const CGeString& text)
{
    for (uint32_t code = 1; code <= 16; ++code)
        if (EqualIgnoringCase(text.c_str(), kTypeNames[code]))
            return code;
    return 0;
}

// ---------------------------------------------------------------------------
// Membership.

CGuiControlSet::~CGuiControlSet()
{
    Destroy();
}

bool CGuiControlSet::IsCurrent() const
{
    return owner && owner->currentSet == this;
}

void CGuiControlSet::Forget(CGuiControl* control)
{
    if (!control)
        return;
    if (focused == control)
        focused = nullptr;
    if (capture == control)
        capture = nullptr;
    if (auto* node = controls.Find(controls.head, controls.tail, control)) {
        controls.Remove(node);
        ++departures;
    }
    if (auto* entry = names.Find(control->name))
        if (entry->value == control)
            names.Erase(entry);
    if (control->ownerSet == this)
        control->ownerSet = nullptr;
}

bool CGuiControlSet::Holds(const CGuiControl* control) const
{
    return control && control->ownerSet == this &&
           controls.Find(controls.head, controls.tail, const_cast<CGuiControl*>(control));
}

CGuiControl* CGuiControlSet::CreateControl(const CGeString& controlName, uint32_t type)
{
    if (controlName.IsEmpty() || names.Find(controlName) || type < 1 || type > 16 || type == EGCT_MENU)
        return nullptr;
    CGuiControl* control = GuiConstructControl(type);
    if (!control)
        return nullptr;
    control->dispatcher = owner ? owner->dispatcher : nullptr;
    control->SetName(controlName);
    AddControl(control);
    control->CreateChildren();
    return control;
}

void CGuiControlSet::AddControl(CGuiControl* control)
{
    if (!control || control->ownerSet == this)
        return;
    if (control->ownerSet)
        control->ownerSet->Forget(control);
    control->ownerSet = this;
    controls.PushBack(control);
    names[control->name] = control;
    for (auto* node = control->children.head; node; node = node->next)
        AddControl(node->value);
}

void CGuiControlSet::RemoveControl(const CGeString& controlName)
{
    auto* entry = names.Find(controlName);
    if (!entry)
        return;
    CGuiControl* control = entry->value;
    Forget(control);

    CGeArray<CGuiControl*> kids;
    for (auto* node = control->children.head; node; node = node->next)
        kids.Add(node->value);
    for (CGuiControl* child : kids) {
        if (control->compound && child->internalPart) {
            RemoveControl(child->name);
        } else {
            control->RemoveChild(child);
            if (control->parent)
                control->parent->AddChild(child);
        }
    }
    if (!control->internalPart && control->parent)
        control->parent->RemoveChild(control);
    delete control;
}

bool CGuiControlSet::RenameControl(const CGeString& oldName, const CGeString& newName)
{
    auto* entry = names.Find(oldName);
    if (!entry)
        return false;
    if (oldName == newName)
        return true;
    if (names.Find(newName))
        return false;
    CGuiControl* control = entry->value;
    names.Erase(entry);
    names[newName] = control;
    return true;
}

CGuiControl* CGuiControlSet::FindControl(const CGeString& controlName) const
{
    auto* entry = names.Find(controlName);
    return entry ? entry->value : nullptr;
}

CGuiControl* CGuiControlSet::FindControlAt(float x, float y)
{
    for (auto* node = controls.tail; node; node = node->prev) {
        if (node->value->parent)
            continue;
        if (CGuiControl* hit = node->value->FindControlAt(x, y))
            return hit;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Input, focus and update.

template <typename Fn>
void CGuiControlSet::ForEachMember(Fn fn)
{
    // A handler may take controls out of the set (or delete them): once one
    // left, each further control is looked up before it is called.
    CGeArray<CGuiControl*> list;
    for (auto* node = controls.head; node; node = node->next)
        list.Add(node->value);
    const uint32_t start = departures;
    for (CGuiControl* control : list)
        if (departures == start || Holds(control))
            fn(control);
}

void CGuiControlSet::OnMouseMessage(uint32_t code)
{
    if (!active)
        return;
    if (capture) {
        CGuiControl* target = capture;
        if (target->IsLive())
            target->OnMouseMessage(code);
        return;
    }
    ForEachMember([code](CGuiControl* control) {
        if (!control->IsLive())
            return;
        if (control->transparentForManipulator && control->parent)
            control->parent->OnMouseMessage(code);
        else
            control->OnMouseMessage(code);
    });
}

void CGuiControlSet::SetFocus(CGuiControl* control)
{
    if (control && !control->focusEnabled)
        return;
    if (focused)
        focused->PostEvent(GUI_EV_FOCUS_LOST);
    focused = control;
    if (control)
        control->PostEvent(GUI_EV_FOCUS_GAINED);
}

namespace {

void UpdateTree(CGuiControl* control)
{
    control->Update();
    for (auto* node = control->children.head; node; node = node->next)
        UpdateTree(node->value);
}

} // namespace

void CGuiControlSet::Update()
{
    if (!active)
        return;
    ForEachMember([](CGuiControl* control) {
        if (!control->parent)
            UpdateTree(control);
    });
}

// ---------------------------------------------------------------------------
// Loading.

void CGuiControlSet::LoadFromFile(const CGeString& path)
{
    TiXmlDocument document;
    if (!XmlLoadDocument(path, document)) {
        GeLog(2, "CGuiControlSet::LoadFromFile: '%s' cannot be read\n", path.c_str());
        return;
    }
    TiXmlElement* root = document.FirstChildElement("GUI");
    if (!root) {
        GeLog(2, "CGuiControlSet::LoadFromFile: '%s' has no GUI root\n", path.c_str());
        return;
    }
    Load(root);
}

void CGuiControlSet::Load(TiXmlElement* root)
{
    TiXmlElement* section = root ? root->FirstChildElement("CONTROLSET") : nullptr;
    if (!section)
        return;

    CGeArray<CGuiControl*> loaded;
    for (TiXmlElement* element = section->FirstChildElement(); element; element = element->NextSiblingElement()) {
        const char* nameText = element->Attribute("Name");
        const char* typeText = element->Attribute("Type");
        const CGeString controlName(nameText ? nameText : "");
        const uint32_t type = EgctFromName(CGeString(typeText ? typeText : ""));
        // A type that no class serves can never be created: renaming would
        // not end, so the element is skipped.
        if (!GuiTypeBuildable(type)) {
            GeLog(2, "CGuiControlSet::Load: control '%s' of type '%s' skipped\n", controlName.c_str(),
                  typeText ? typeText : "");
            continue;
        }
        CGuiControl* control = CreateControl(controlName, type);
        for (uint32_t counter = 1; !control; ++counter)
            control = CreateControl(FormatString("%s%02d", controlName.c_str(), counter), type);
        loaded.Add(control);

        for (TiXmlElement* property = element->FirstChildElement(); property;
             property = property->NextSiblingElement()) {
            const char* propertyName = property->Attribute("Name");
            const uint32_t index = FindPropertyByName(CGeString(propertyName ? propertyName : ""));
            if (index >= GUI_PROPERTY_COUNT)
                continue;
            const TiXmlNode* first = property->FirstChild();
            const char* valueText = first && first->ToText() ? first->Value() : "";
            const CGeWString value = Utf8StringToWide(CGeString(valueText));
            if (index == EP_Parent && !value.IsEmpty()) {
                delete control->pendingParent;
                control->pendingParent = new CGeString(valueText);
                continue;
            }
            control->SetProperty(index, PropertyValueFromText(value, index), false);
        }
        RefreshWithParts(control);
    }

    CGeStringMap<uint8_t> parents;
    for (CGuiControl* control : loaded) {
        if (!control->pendingParent)
            continue;
        const CGeString parentName = *control->pendingParent;
        delete control->pendingParent;
        control->pendingParent = nullptr;
        parents[parentName] = 1;
        control->SetProperty(EP_Parent, CGeValue(parentName), true);
    }
    for (auto* entry = parents.first; entry; entry = parents.Next(entry)) {
        CGuiControl* control = FindControl(entry->key);
        if (!control)
            continue;
        RefreshWithParts(control);
        if (control->internalPart && control->parent && control->parent->compound)
            RefreshWithParts(control->parent);
    }
}

void CGuiControlSet::Destroy()
{
    for (auto* node = controls.head; node; node = node->next) {
        CGuiControl* control = node->value;
        control->ownerSet = nullptr;
        delete control;
    }
    controls.Destroy();
    names.Destroy();
    focused = nullptr;
    capture = nullptr;
    name = CGeString();
}
