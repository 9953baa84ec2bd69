// The on-place entity editor: a debugging aid for placing things inside a
// running location. Once a script selects an entity ("SelectEntity"), keys of
// the keyboard move or turn it, or move and turn one of its attachment points
// (allocators), and the debug overlay shows the values in its status text.
//
// Keys (key-down messages of the keyboard only; a control's key-down is not
// the editor's): numeric-pad 1 to 5 choose the mode; H toggles the help;
// Left/Right change the X axis; Up/Down the Z axis (the allocator's second
// axis in mode 5); A/Z the Y axis (the allocator's third axis in mode 5);
// numeric-pad + and - step through the allocators in name order without
// wrapping. Shift makes position and rotation steps ten times larger; in the
// allocator mode it turns the allocator instead of moving it. Modes 3 and 4
// (interaction zone, collider) show their name but change nothing.
//
// Choices:
// - The editor keeps the entity's name and the location it was selected in,
//   and uses the entity only while that location is current and still holds
//   the entity under that name; otherwise it forgets the selection (and is
//   disabled again, so the overlay shows its statistics only). A location
//   change forgets it too. So it never reads an entity that was removed or
//   went with its location.
// - The current allocator is kept by name and looked up at each use, so a
//   replaced allocator list cannot leave it pointing at a freed allocator.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CQmAllocator;
class CQmEntity;
class CQmLocation;

class CQmEntityEditor : public CCiMessageClient {
public:
    enum Mode : int32_t {
        MODE_NONE = 0,
        MODE_POSITION = 1,
        MODE_ROTATE = 2,
        MODE_IA_ZONE = 3,
        MODE_COLLIDER = 4,
        MODE_ALLOCATOR = 5,
    };

    // The entity becomes the selection (it must belong to the current
    // location): allocator angles zeroed, the first allocator current,
    // the editor enabled.
    void Select(CQmEntity* entity);
    // Drops the selection and disables the editor.
    void Forget();
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    // The overlay's text: the help, or the mode, the entity's place and turn,
    // its actor's interaction zone and the current allocator.
    CGeWString GetStatusText();
    bool IsEnabled() const { return enabled; }
    // The selection while it is still valid (see the choices), else null.
    CQmEntity* Selected();
    // The current allocator of the valid selection, or null.
    CQmAllocator* CurrentAllocator();

    int32_t mode = MODE_POSITION;
    CQmEntity* selected = nullptr;
    bool enabled = false;
    bool helpShown = false;
    Vec3 allocatorAngles = {0.0f, 0.0f, 0.0f}; // degrees
    CGeString allocatorName;                   // empty: no current allocator

    static constexpr float kPositionStep = 1.0f;
    static constexpr float kPositionFastStep = 10.0f;
    static constexpr float kAngleStep = 0.0174533f; // one degree
    static constexpr float kAngleFastStep = 0.174533f;
    static constexpr float kAllocatorAngleStep = 1.0f; // degrees

private:
    void ChangeAxis(uint32_t axis, float direction, bool shift);
    void StepAllocator(bool forward);

    CGeString selectedName;
    CQmLocation* selectedIn = nullptr;
};
