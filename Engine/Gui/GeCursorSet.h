// The game's own mouse cursor: one animated screen sprite per cursor shape,
// hung under the set's node, which the GUI manager moves to the mouse every
// frame. Shapes are numbered from 1 in the order of the descriptor list; 0 is
// no cursor. Numbers 1 to 12 are the EnCursorType values, 13 to 20 the game's
// own pointers (g_startupCursorList).
//
// The selected cursor is the one asked for last, the shown cursor the one on
// screen. SetCursor switches at once; ResetToDefault lets a running animation
// finish first: the shown cursor becomes the selected one whenever the shown
// cursor's animation ends, and a cursor whose selection did not change simply
// plays again. Each sprite's frames carry the descriptor's hot spot, so the
// picture's hot spot sits on the mouse position.
//
// The set's world matrix is copied into a restarted sprite's world, so that
// it stands at the mouse before its first update; the sprite's own local
// matrix stays the identity (it is a child of the set, and a copy of the set's
// matrix there would count the position twice).
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Gm/GeFrame3D.h"

#include <cstdint>

class CGmImageSet;
class CGmSprite;

struct GeCursorDescriptor {
    const CGmImageSet* schema; // a sprite schema of the GUI resources; null gives a sprite without picture
    float hotSpotX;
    float hotSpotY;
};

class CGeCursorSet : public CGeFrame3D {
public:
    // From a null-terminated list of descriptor pointers.
    explicit CGeCursorSet(const GeCursorDescriptor* const* descriptors);
    ~CGeCursorSet();

    // Selects and shows cursor n at once; a number above the count is 0.
    void SetCursor(uint32_t n);
    // Selects cursor 1 without cutting a running animation short.
    void ResetToDefault();
    // (Re)starts the shown cursor's sprite.
    void ApplyCursor();
    // Sprite n (1 to the count), else null.
    CGmSprite* GetCursorSprite(uint32_t n) const;
    // The per-frame step, after the GUI manager set the position.
    void Update();

    uint32_t Count() const { return sprites.Count(); }

    CGeArray<CGmSprite*> sprites; // sprite n - 1 is cursor n
    uint32_t selectedCursor = 0;
    uint32_t shownCursor = 0;
    float position[2] = {0.0f, 0.0f}; // in the 2D view
    // Cleared by every video player update, which applies the cursor again
    // when both were set. Nothing in this program sets them.
    uint8_t videoFlags[2] = {0, 0};
};

// The start-up's cursor list, in number order: sprite-schema name and hot spot.
struct GeCursorListRow {
    const char* schemaName;
    float hotSpotX;
    float hotSpotY;
};
constexpr uint32_t kStartupCursorCount = 20;
extern const GeCursorListRow g_startupCursorList[kStartupCursorCount];

// The start-up's cursor set over the GUI resources' sprite schemas.
CGeCursorSet* CreateStartupCursorSet();
