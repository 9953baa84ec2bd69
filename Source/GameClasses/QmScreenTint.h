// The screen shake: while it runs, the 2D view is enlarged around its centre
// (so that its edges never show) and jolted sideways every frame, and the
// current 3D camera's eye and target are jolted sideways by the same amount,
// the direction flipping from frame to frame. The game processor owns one and
// updates it once per frame; the scripts start it ("ScreenTint").
//
// A duration of -1 selects the decaying shake: the amplitude's magnitude
// drops by 2 each frame and the shake ends below 10. Any other duration is
// seconds of frame time. Start with duration 0 replaces a running shake;
// any other Start during a shake is ignored.
//
// Choices:
// - The decay brings the magnitude toward 0 whatever the amplitude's sign, so
//   a negative amplitude ends like a positive one instead of growing.
// - Stop restores the cameras only while a shake is active: before the first
//   shake there is nothing saved to put back.
// - A camera the hub slot lacks is left alone; the other one still shakes.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CQmScreenTint {
public:
    void Start(int32_t amplitude, float duration);
    void Update();
    void Stop();

    bool IsActive() const { return active; }

    bool active = false;
    Vec3 saved2dPosition = {0.0f, 0.0f, 0.0f};
    Vec3 working2dPosition = {0.0f, 0.0f, 0.0f};
    Vec3 savedEye = {0.0f, 0.0f, 0.0f};
    Vec3 workingEye = {0.0f, 0.0f, 0.0f};
    Vec3 savedTarget = {0.0f, 0.0f, 0.0f};
    Vec3 saved2dAngles = {0.0f, 0.0f, 0.0f};
    Vec3 saved3dAngles = {0.0f, 0.0f, 0.0f};
    float amplitude = 0.0f;
    float sign = 1.0f;
    float elapsed = 0.0f;
    float duration = 0.0f; // seconds; kDecaying for the decaying shake

    static constexpr float kDecaying = -1.0f;
    // The decaying shake ends once the amplitude's magnitude is below this.
    static constexpr float kDecayEnd = 10.0f;
    static constexpr float kDecayStep = 2.0f;
};
