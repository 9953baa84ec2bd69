// Bound-frame sets: the named settings records that say what a control's
// background and border look like, read from the BFS_COLLECTION element of
// GUI layout documents into the table the GUI manager owns.
//
// A set is a SimpleRect (kind 1: one corner picture mirrored for the four
// corners, one picture per pair of opposite borders) or an EnhancedRect
// (kind 2: a picture and a tiling flag per corner and border). Pictures are
// sprite-schema names resolved when the property is set; a name without a
// schema leaves the picture empty. A later set of a name replaces the earlier
// one, also across files; EP_Name renames a set unless the new name is taken.
//
// Choices: the fields both kinds have sit in the base record; a set or a
// property element without Name is skipped with a log line; only element
// children are read; a String property also takes a wide-text value.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeValue.h"

#include <cstdint>

class CGmImageSet;

enum EnBoundFrameType : uint32_t {
    EBFT_None = 0,
    EBFT_SimpleRect = 1,
    EBFT_EnhancedRect = 2,
};

// The nine parts of a frame, and their bits in part masks.
enum GuiFramePart : uint32_t {
    GUI_PART_LEFT_TOP = 0, // corners 0 to 3: left-top, right-top, left-bottom, right-bottom
    GUI_PART_TOP = 4,      // borders 4 to 7: top, bottom, left, right
    GUI_PART_BACKGROUND = 8,
    GUI_PART_COUNT = 9,
};
constexpr uint32_t GuiPartBit(uint32_t part)
{
    return 1u << part;
}

// A picture: the sprite schema's name and the schema (not owned).
struct GuiFramePicture {
    CGeString name;
    CGmImageSet* schema = nullptr;
};

class CGuiBoundFrameSet {
public:
    explicit CGuiBoundFrameSet(uint32_t setKind) : kind(setKind) {}
    virtual ~CGuiBoundFrameSet() = default;

    // The picture of a part (GuiFramePart order).
    virtual const GuiFramePicture& Picture(uint32_t part) const = 0;
    // Whether border b (0 top, 1 bottom, 2 left, 3 right) repeats its picture.
    virtual uint8_t BorderTiled(uint32_t border) const = 0;
    // A copy of the same kind, names included.
    virtual CGuiBoundFrameSet* Clone() const = 0;

    // Equal in everything a frame shows: resolved pictures, colour, blend
    // modes, the eight offsets, tiling and EP_DrawFrameWithBg.
    bool LooksLike(const CGuiBoundFrameSet& other) const;
    // Differs in what moves or sizes the parts: pictures, background offsets
    // or tiling.
    bool NeedsLayoutAgainst(const CGuiBoundFrameSet& other) const;

    uint32_t kind;
    CGeString name;
    uint8_t drawFrameWithBg = 0;
    uint32_t bgVertexColor = 0xFFFFFFFF;
    uint32_t cornersBlendMode = 5;
    uint32_t bordersBlendMode = 5;
    uint32_t bgBlendMode = 5;
    float bgOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // left, top, right, bottom
    float clientAreaOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    uint8_t bgTiled = 0;
};

class CGuiBoundFrameSetSimple : public CGuiBoundFrameSet {
public:
    CGuiBoundFrameSetSimple() : CGuiBoundFrameSet(EBFT_SimpleRect) {}
    const GuiFramePicture& Picture(uint32_t part) const override;
    uint8_t BorderTiled(uint32_t) const override { return 0; }
    CGuiBoundFrameSet* Clone() const override { return new CGuiBoundFrameSetSimple(*this); }

    GuiFramePicture cornerPic;
    GuiFramePicture bgPic;
    GuiFramePicture topBottomBorderPic;
    GuiFramePicture leftRightBorderPic;
};

class CGuiBoundFrameSetEnhanced : public CGuiBoundFrameSet {
public:
    CGuiBoundFrameSetEnhanced() : CGuiBoundFrameSet(EBFT_EnhancedRect) {}
    const GuiFramePicture& Picture(uint32_t part) const override;
    uint8_t BorderTiled(uint32_t border) const override { return border < 4 ? borderTiled[border] : 0; }
    CGuiBoundFrameSet* Clone() const override { return new CGuiBoundFrameSetEnhanced(*this); }

    GuiFramePicture corners[4]; // left-top, right-top, left-bottom, right-bottom
    GuiFramePicture borders[4]; // top, bottom, left, right
    GuiFramePicture bgPic;
    uint8_t borderTiled[4] = {0, 0, 0, 0};
};

// The GUI manager's table of frame sets: it owns the records.
using GuiFrameSetTable = CGeStringMap<CGuiBoundFrameSet*>;

class CGuiBoundFrames {
public:
    static void LoadCollection(const char* path, GuiFrameSetTable& frameSets);
    // A new empty record entered under name; null when the name is taken or
    // the kind is neither 1 nor 2.
    static CGuiBoundFrameSet* CreateSet(GuiFrameSetTable& frameSets, uint32_t kind, const CGeString& name);
    static void SetSetProperty(GuiFrameSetTable& frameSets, CGuiBoundFrameSet* set, uint32_t number,
                               const CGeValue& value);
    // The text of a set's EP_BgVertexColor; false, text untouched, without such a set.
    static bool GetBgVertexColorText(GuiFrameSetTable& frameSets, const CGeString& name, CGeWString& text);
    // 1 for "EBFT_SimpleRect", 2 for "EBFT_EnhancedRect" (any letter case), else 0.
    static uint32_t KindFromName(const char* text);
    // Deletes every record and empties the table (the GUI manager's end).
    static void DeleteAll(GuiFrameSetTable& frameSets);
};
