// The mouse device: the device window's mouse messages become polled button,
// position and wheel state and mouse messages.
//
// The window hook only records (program-wide, so only one mouse may exist):
// five button bytes, the position in window client pixels, the wheel total
// and a queue of at most 32 codes (4b + 1 press and 4b + 2 release of button b,
// 21 wheel, 23 move; a 33rd code of a frame is dropped). A press confines the
// system cursor to the game area, a release lets it go; leaving the window
// lifts every button without a code. Once per frame Update keeps the previous
// state, maps the position into the 2D view (view size over the display size
// of the settings) and posts the queued codes with the mouse as sender
// (category 7 in the high 16 bits of the type).
//
// Choices: both coordinates of lParam are read signed, so a drag left of or
// above the window gives a negative position; the confinement rectangle is
// rounded to the nearest whole pixel; a press confines to the whole 2D view,
// which is the whole client area at any display size.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Platform/Win32/WinTypes.h"

#include <cstdint>

enum : uint32_t {
    GE_MOUSE_CATEGORY = 7,
    GE_MOUSE_WHEEL = 21,
    GE_MOUSE_MOVE = 23,
};

// The press code of button b (0 left, 1 right, 2 middle, 3 and 4 extra);
// its release code is one more.
inline uint32_t GeMousePressCode(uint32_t button)
{
    return 4 * button + 1;
}

struct GeMouseRect {
    float x, y, width, height;
};

struct GeMouseRecord {
    uint8_t alive = 0;            // the hook does nothing while this is 0
    uint8_t hideSystemCursor = 0; // hide the system cursor after every message
    uint32_t queue[32] = {};
    uint32_t queueCount = 0;
    uint8_t buttons[5] = {};
    float x = 0.0f; // client pixels
    float y = 0.0f;
    int32_t wheel = 0; // every wheel step since start
};
extern GeMouseRecord g_mouseRecord;

class CGeMouseState : public CCiMessageClient {
public:
    uint8_t buttons[5] = {};
    float x = 0.0f; // 2D-view coordinates
    float y = 0.0f;
    int32_t wheel = 0;
    uint8_t previousButtons[5] = {};
    float previousX = 0.0f;
    float previousY = 0.0f;
    int32_t previousWheel = 0;

    CGeMouseState();
    virtual void Update() {}
    virtual void ClipToRect(const GeMouseRect&) {}
    virtual void ReleaseClip() {}
    virtual GeMouseRect GetClipRect() { return {0, 0, 0, 0}; }
    virtual void HideSystemCursor() {}
    virtual void ShowSystemCursor() {}
};

class CGeMouse : public CGeMouseState {
public:
    uint8_t mayHideSystemCursor = 1;

    // Hooks the current device wrapper's window (when there is one), starts
    // recording and hides the system cursor.
    CGeMouse();
    ~CGeMouse() override;

    void Update() override;
    // Confines the system cursor to a rectangle of the 2D view.
    void ClipToRect(const GeMouseRect& rect) override;
    void ReleaseClip() override;
    // The confinement in 2D-view coordinates; all zero while there is none.
    GeMouseRect GetClipRect() override;
    void HideSystemCursor() override;
    void ShowSystemCursor() override;

    // The window hook; always returns 0.
    static LRESULT Hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The program's mouse, set by its constructor (the hook confines through it).
extern CGeMouse* g_pGeMouse;
