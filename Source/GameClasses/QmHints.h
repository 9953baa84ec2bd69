// The two pointers with which the scripts guide the player, both members of
// the game processor and stepped by it once per frame.
//
// CQmHints: a picture ("gui/pic/hint.tga") with a short text of the hint file
// "gui/hints.xml" centred over it, shown at a screen position for a given
// time; a chosen delay after it has gone, "on_hint_disappear" tells the
// scripts which hint ended. A new Show replaces the hint on show without an
// event for it; Hide ends it at once, without an event.
//
// CQm3dArrow: the mesh "gui/meshes/3darrow.gemesh" in render layer 2,
// pointing from a position at a target, turning about its own axis and
// bobbing along it at 6 radians per second. Hiding clears its visible flag
// and leaves it in its layer; it is never drawn into the dialog's portrait.
//
// Choices:
// - A hint name that the file does not have shows the picture with an empty
//   text and has no current hint, so no end event follows it.
// - The arrow's frame is built with Vec3::Normalize throughout, which turns
//   a zero vector into (1, 0, 0): a target at the position, or a direction
//   along the turning helper axis, gives a degenerate but finite frame.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGmScenicMesh;
class CGmSprite;
class CGmText;

class CQmHints {
public:
    // Loads the picture, makes the text in "HINT_DIALOG" and reads the hint
    // file; missing pieces leave the panel without them.
    CQmHints();
    ~CQmHints();
    CQmHints(const CQmHints&) = delete;
    CQmHints& operator=(const CQmHints&) = delete;

    // Shows the named hint with the picture's top-left corner at (x, y),
    // mirrored left-right on request, at the given opacity; the text goes for
    // showTime seconds, the end event follows delay seconds later.
    void Show(float x, float y, bool mirrored, uint8_t alpha, const char* name, float showTime, float delay);
    // Per frame with the frame time, and with 0 around the save preview.
    void Update(float frameTime);
    // Ends the hint at once without its event ("HideHint").
    void Hide();
    // A location change or a new game: the three timers to 0, both visuals
    // hidden; a current hint stays and reports its end on the next update.
    void Reset();
    // Draws the shown picture and text.
    void Render();

    bool PictureShown() const;
    bool TextShown() const;
    // The name of the hint on show, null when none.
    const char* CurrentHint() const { return current ? current->key.c_str() : nullptr; }

    CGmSprite* picture = nullptr;
    CGmText* text = nullptr;
    float elapsed = 0.0f;
    float showTime = 0.0f;
    float disappearDelay = 0.0f;
    CGeStringMap<CGeWString> texts;
    CGeStringMap<CGeWString>::Node* current = nullptr;

private:
    void LoadHintFile();
    void HideVisuals();
};

class CQm3dArrow {
public:
    static constexpr uint32_t kLayer = 2;
    static constexpr float kTurnRate = 6.0f; // radians per second
    static constexpr float kBob = 15.0f;     // units along the axis

    // Loads the mesh and its material; the mesh visual exists (hidden) even
    // when they are missing, and then draws nothing.
    CQm3dArrow();
    // Takes the mesh visual out of every render layer and deletes it.
    ~CQm3dArrow();
    CQm3dArrow(const CQm3dArrow&) = delete;
    CQm3dArrow& operator=(const CQm3dArrow&) = delete;

    void Show(const Vec3& position, const Vec3& target);
    void Hide();
    // Turns and bobs the arrow, shown or not.
    void Update(float frameTime);
    bool Shown() const;

    CGmScenicMesh* mesh = nullptr;
    Vec3 basePosition = {0.0f, 0.0f, 0.0f};
    Vec3 direction = {1.0f, 0.0f, 0.0f};
    float time = 0.0f;
};
