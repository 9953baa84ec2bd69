// Loading and editing of bound-frame sets.
#include "Engine/Gui/GuiBoundFrames.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"

#include <strings.h>

namespace {

bool SamePictures(const CGuiBoundFrameSet& a, const CGuiBoundFrameSet& b)
{
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (a.Picture(part).schema != b.Picture(part).schema)
            return false;
    }
    return true;
}

bool SameTiling(const CGuiBoundFrameSet& a, const CGuiBoundFrameSet& b)
{
    for (uint32_t border = 0; border < 4; ++border) {
        if (a.BorderTiled(border) != b.BorderTiled(border))
            return false;
    }
    return a.bgTiled == b.bgTiled;
}

bool SameOffsets(const float* a, const float* b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

// A picture property: the name, and the schema when the resources have one.
void SetPicture(GuiFramePicture& picture, const CGeValue& value)
{
    picture.name = CGeString();
    picture.schema = nullptr;
    const CGeString name = value.kind == GE_VALUE_WSTRING ? WideStringToAnsi(value.wstr) : value.str;
    if (CGmImageSet* schema = CGuiResources::FindSpriteSchema(name)) {
        picture.schema = schema;
        picture.name = name;
    }
}

// The field a float property writes, or null: EP_BgOffsetTop .. EP_ClientAreaOffsetRight.
float* OffsetField(CGuiBoundFrameSet& set, uint32_t number)
{
    // Top, bottom, left, right in property order; left, top, right, bottom in the record.
    static const uint32_t kSide[4] = {1, 3, 0, 2};
    if (number >= EP_BgOffsetTop && number <= EP_BgOffsetRight)
        return &set.bgOffset[kSide[number - EP_BgOffsetTop]];
    if (number >= EP_ClientAreaOffsetTop && number <= EP_ClientAreaOffsetRight)
        return &set.clientAreaOffset[kSide[number - EP_ClientAreaOffsetTop]];
    return nullptr;
}

void SetSimpleProperty(CGuiBoundFrameSetSimple& set, uint32_t number, const CGeValue& value)
{
    switch (number) {
    case EP_LeftRightBorderPic: SetPicture(set.leftRightBorderPic, value); break;
    case EP_TopBottomBorderPic: SetPicture(set.topBottomBorderPic, value); break;
    case EP_CornerPic: SetPicture(set.cornerPic, value); break;
    case EP_BgPic: SetPicture(set.bgPic, value); break;
    default: break;
    }
}

void SetEnhancedProperty(CGuiBoundFrameSetEnhanced& set, uint32_t number, const CGeValue& value)
{
    switch (number) {
    case EP_LeftBorderPic: SetPicture(set.borders[2], value); break;
    case EP_LeftBorderTiled: set.borderTiled[2] = value.scalar.b; break;
    case EP_RightBorderPic: SetPicture(set.borders[3], value); break;
    case EP_RightBorderTiled: set.borderTiled[3] = value.scalar.b; break;
    case EP_TopBorderPic: SetPicture(set.borders[0], value); break;
    case EP_TopBorderTiled: set.borderTiled[0] = value.scalar.b; break;
    case EP_BottomBorderPic: SetPicture(set.borders[1], value); break;
    case EP_BottomBorderTiled: set.borderTiled[1] = value.scalar.b; break;
    case EP_BgPic: SetPicture(set.bgPic, value); break;
    case EP_LeftTopCornerPic: SetPicture(set.corners[0], value); break;
    case EP_RightTopCornerPic: SetPicture(set.corners[1], value); break;
    case EP_RightBottomCornerPic: SetPicture(set.corners[3], value); break;
    case EP_LeftBottomCornerPic: SetPicture(set.corners[2], value); break;
    default: break;
    }
}

} // namespace

bool CGuiBoundFrameSet::LooksLike(const CGuiBoundFrameSet& other) const
{
    return kind == other.kind && SamePictures(*this, other) && bgVertexColor == other.bgVertexColor &&
           cornersBlendMode == other.cornersBlendMode && bordersBlendMode == other.bordersBlendMode &&
           bgBlendMode == other.bgBlendMode && SameOffsets(bgOffset, other.bgOffset) &&
           SameOffsets(clientAreaOffset, other.clientAreaOffset) && SameTiling(*this, other) &&
           drawFrameWithBg == other.drawFrameWithBg;
}

bool CGuiBoundFrameSet::NeedsLayoutAgainst(const CGuiBoundFrameSet& other) const
{
    return !SamePictures(*this, other) || !SameOffsets(bgOffset, other.bgOffset) || !SameTiling(*this, other);
}

const GuiFramePicture& CGuiBoundFrameSetSimple::Picture(uint32_t part) const
{
    if (part < GUI_PART_TOP)
        return cornerPic;
    if (part < GUI_PART_TOP + 2)
        return topBottomBorderPic;
    if (part < GUI_PART_BACKGROUND)
        return leftRightBorderPic;
    return bgPic;
}

const GuiFramePicture& CGuiBoundFrameSetEnhanced::Picture(uint32_t part) const
{
    if (part < GUI_PART_TOP)
        return corners[part];
    if (part < GUI_PART_BACKGROUND)
        return borders[part - GUI_PART_TOP];
    return bgPic;
}

uint32_t CGuiBoundFrames::KindFromName(const char* text)
{
    if (!text)
        return EBFT_None;
    if (strcasecmp(text, "EBFT_SimpleRect") == 0)
        return EBFT_SimpleRect;
    if (strcasecmp(text, "EBFT_EnhancedRect") == 0)
        return EBFT_EnhancedRect;
    return EBFT_None;
}

CGuiBoundFrameSet* CGuiBoundFrames::CreateSet(GuiFrameSetTable& frameSets, uint32_t kind, const CGeString& name)
{
    if (frameSets.Find(name))
        return nullptr;
    CGuiBoundFrameSet* set = nullptr;
    if (kind == EBFT_SimpleRect)
        set = new CGuiBoundFrameSetSimple();
    else if (kind == EBFT_EnhancedRect)
        set = new CGuiBoundFrameSetEnhanced();
    else
        return nullptr;
    set->name = name;
    frameSets[name] = set;
    return set;
}

void CGuiBoundFrames::SetSetProperty(GuiFrameSetTable& frameSets, CGuiBoundFrameSet* set, uint32_t number,
                                     const CGeValue& value)
{
    if (!set)
        return;
    if (number == EP_DrawFrameWithBg) {
        set->drawFrameWithBg = value.scalar.b;
        return;
    }
    if (number == EP_Name) {
        const CGeString name = value.kind == GE_VALUE_WSTRING ? WideStringToAnsi(value.wstr) : value.str;
        if (frameSets.Find(name))
            return;
        auto* node = frameSets.Find(set->name);
        if (node && node->value == set)
            frameSets.Erase(node);
        set->name = name;
        frameSets[name] = set;
        return;
    }
    if (float* offset = OffsetField(*set, number)) {
        *offset = value.scalar.f32;
        return;
    }
    switch (number) {
    case EP_BgTiled: set->bgTiled = value.scalar.b; return;
    case EP_BgBlendMode: set->bgBlendMode = value.scalar.u32; return;
    case EP_BordersBlendMode: set->bordersBlendMode = value.scalar.u32; return;
    case EP_CornersBlendMode: set->cornersBlendMode = value.scalar.u32; return;
    case EP_BgVertexColor: set->bgVertexColor = value.scalar.u32; return;
    default: break;
    }
    if (set->kind == EBFT_SimpleRect)
        SetSimpleProperty(static_cast<CGuiBoundFrameSetSimple&>(*set), number, value);
    else if (set->kind == EBFT_EnhancedRect)
        SetEnhancedProperty(static_cast<CGuiBoundFrameSetEnhanced&>(*set), number, value);
}

bool CGuiBoundFrames::GetBgVertexColorText(GuiFrameSetTable& frameSets, const CGeString& name, CGeWString& text)
{
    auto* node = frameSets.Find(name);
    if (!node || !node->value)
        return false;
    CGeValue value;
    value.kind = GE_VALUE_UINT32;
    value.scalar.u32 = node->value->bgVertexColor;
    text = PropertyValueToText(value, EP_BgVertexColor);
    return true;
}

void CGuiBoundFrames::LoadCollection(const char* path, GuiFrameSetTable& frameSets)
{
    TiXmlDocument document;
    if (!path || !XmlLoadDocument(CGeString(path), document) || document.Error()) {
        GeLog(1, "CGuiBoundFrames: %s cannot be read\n", path ? path : "(null)");
        return;
    }
    TiXmlElement* root = document.FirstChildElement("GUI");
    if (!root) {
        GeLog(1, "CGuiBoundFrames: %s has no GUI\n", path);
        return;
    }
    TiXmlElement* collection = root->FirstChildElement("BFS_COLLECTION");
    if (!collection) {
        GeLog(1, "CGuiBoundFrames: %s has no BFS_COLLECTION\n", root->Value());
        return;
    }
    for (TiXmlElement* e = collection->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* nameText = e->Attribute("Name");
        if (!nameText) {
            GeLog(2, "CGuiBoundFrames: a frame set without Name is skipped\n");
            continue;
        }
        const CGeString name(nameText);
        const uint32_t kind = KindFromName(e->Attribute("Type"));
        CGuiBoundFrameSet* set = CreateSet(frameSets, kind, name);
        if (!set) {
            if (auto* old = frameSets.Find(name)) {
                delete old->value;
                frameSets.Erase(old);
                set = CreateSet(frameSets, kind, name);
            }
        }
        if (!set) {
            GeLog(2, "CGuiBoundFrames: frame set %s has no known Type\n", nameText);
            continue;
        }
        for (TiXmlElement* p = e->FirstChildElement(); p; p = p->NextSiblingElement()) {
            const char* propertyName = p->Attribute("Name");
            if (!propertyName) {
                GeLog(2, "CGuiBoundFrames: a property of %s without Name is skipped\n", nameText);
                continue;
            }
            const uint32_t number = FindPropertyByName(CGeString(propertyName));
            if (number >= GUI_PROPERTY_COUNT) {
                GeLog(2, "CGuiBoundFrames: %s: unknown property %s\n", nameText, propertyName);
                continue;
            }
            const char* valueText = p->GetText();
            const CGeWString text = Utf8StringToWide(CGeString(valueText ? valueText : ""));
            SetSetProperty(frameSets, set, number, PropertyValueFromText(text, number));
        }
    }
}

void CGuiBoundFrames::DeleteAll(GuiFrameSetTable& frameSets)
{
    for (auto* node = frameSets.first; node; node = frameSets.Next(node))
        delete node->value;
    frameSets.Clear();
}
