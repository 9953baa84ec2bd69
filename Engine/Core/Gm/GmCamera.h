// Cameras turn their frame into the matrices and the device viewport through
// which visuals are drawn.
//
// The static camera is the 2D camera: positions are given in reference-screen
// pixels (its screen size) and its viewport scale maps them onto the device.
// The perspective camera's frame holds the camera-to-world transform; its view
// is left-handed (looking down +Z, +X to the right of up), the field of view
// is horizontal and depth runs from 0 at near to 1 at far, as Direct3D has it.
// Matrices follow the engine's column-vector convention, so a view-projection
// is projection * view.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GeViewport.h"
#include "Engine/Core/Gm/GeFrame3D.h"

#include <cstdint>

class CGmDeviceWrapper;

class CGmCamera {
public:
    enum Kind { KIND_STATIC = 0, KIND_PERSPECTIVE = 1 };

    CGmCamera();
    virtual ~CGmCamera() = default;

    virtual Matrix4 GetViewProjection() = 0;
    // Unless locked: null gives the whole screen, else the four values.
    virtual void SetClipRect(const float* rect);
    // Sets the requested viewport and applies it to the device.
    virtual void Apply(const GeViewport& values);
    virtual int GetKind() const = 0;

    // Copies the values into the requested viewport, then SetViewport with
    // the hub's override of the current slot.
    void SetViewportParams(const GeViewport& values);
    // Makes the override (or, without one, the requested viewport) current
    // unless it already is; recomputes the scale and marks the frame's local
    // matrix dirty.
    void SetViewport(const GeViewport* override);

    // Writes the frame's local matrix from eye, target and up.
    void UpdateView();
    void UpdateProjection();
    // (x / w, y / w, z, w) of viewport * projection * view * (p, 1).
    Vec4 ProjectPoint(const Vec3& p) const;
    // The unit direction from the eye through the viewport pixel (sx, sy).
    Vec3 ScreenToRay(float sx, float sy) const;
    // Rebuilds the viewport matrix from the current viewport.
    void UpdateViewportMatrix();
    // Hands the view and projection matrices to the device (the device layer
    // lies below the cameras and takes the two matrices, not the camera).
    void ApplyViewProjection(CGmDeviceWrapper* device) const;

    CGeFrame3D frame;
    float clipRect[4] = {0, 0, 0, 0}; // x, y, width, height
    float appliedClipRect[4] = {0, 0, 0, 0};
    uint8_t locked = 0;
    GeViewport currentViewport = {0, 0, 0, 0, 0.0f, 0.0f};
    GeViewport requestedViewport;
    int32_t screenWidth = 0; // from the device settings
    int32_t screenHeight = 0;
    float boundWidth = 0.0f;
    float boundHeight = 0.0f;
    float scaleX = 1.0f; // viewport width / screen width
    float scaleY = 1.0f;
    Matrix4 matrix = Matrix4::Identity(); // 2D matrix, or the cached view-projection

    // The perspective camera's parameters; the static camera has no use for
    // them, but the projection routines work on any camera.
    float fov = 90.0f; // horizontal, degrees
    uint32_t viewMode = 1; // 1: look-at from eye, target and up
    Vec3 eye = {1.0f, 1.0f, 1.0f};
    Vec3 target = {0.0f, 0.0f, 0.0f};
    Vec3 up = {0.0f, 1.0f, 0.0f};
    float nearPlane = 10.0f;
    float farPlane = 100000.0f;
    Matrix4 view = Matrix4::Identity();
    Matrix4 projection = Matrix4::Identity();
    Matrix4 viewportMatrix = Matrix4::Identity();
};

// The 2D camera: maps the reference screen onto the viewport.
class CGmStaticCamera : public CGmCamera {
public:
    // The frame's world matrix with row 0 scaled by scale x and row 1 by
    // scale y (the world as it stood before this call brings it up to date).
    Matrix4 GetViewProjection() override;
    // Clips to the bound size and sets the device viewport to the result in
    // device pixels when it changed.
    void SetClipRect(const float* rect) override;
    int GetKind() const override { return KIND_STATIC; }
};

class CGmPerspectiveCamera : public CGmCamera {
public:
    CGmPerspectiveCamera();

    Matrix4 GetViewProjection() override;
    // Also rebuilds the viewport matrix, the view and the projection.
    void Apply(const GeViewport& values) override;
    int GetKind() const override { return KIND_PERSPECTIVE; }
};
