// Cameras: what the engine hub and the start-up need of them so far, the
// viewport and the clip rectangle. A camera's matrices come with the scene
// frames.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GeViewport.h"

#include <cstdint>

class CGmCamera {
public:
    CGmCamera();
    virtual ~CGmCamera() = default;

    // Copies the values into the requested viewport, then SetViewport with
    // the hub's override of the current slot.
    void SetViewportParams(const GeViewport& values);
    // Makes the override (or, without one, the requested viewport) current
    // unless it already is; recomputes the scale and marks the camera dirty.
    void SetViewport(const GeViewport* override);
    // Unless locked: null gives the whole screen, else the four values.
    void SetClipRect(const float* rect);

    float clipRect[4] = {0, 0, 0, 0};     // x, y, width, height
    float appliedClipRect[4] = {0, 0, 0, 0};
    uint8_t locked = 0;
    GeViewport currentViewport = {0, 0, 0, 0, 0.0f, 0.0f};
    GeViewport requestedViewport;
    int32_t screenWidth = 0;              // from the device settings
    int32_t screenHeight = 0;
    float boundWidth = 0.0f;
    float boundHeight = 0.0f;
    float scaleX = 1.0f;                  // viewport width / screen width
    float scaleY = 1.0f;
    uint8_t dirty = 0;                    // the frame must be recomputed
};

// The 2D camera: maps the reference screen onto the viewport.
class CGmStaticCamera : public CGmCamera {};
