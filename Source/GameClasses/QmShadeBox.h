// Shade boxes: axis-aligned boxes of a location inside which objects are lit
// with scaled-down light, fading in from the faces over a depth.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CQmLocation;

struct CQmShadeBox {
    // 0 outside the box (its faces belong to it) or while disabled; else the
    // distance to the nearest face over the depth, at most 1.
    float Weight(const Vec3& point) const;

    Vec3 min = {0.0f, 0.0f, 0.0f};
    Vec3 max = {0.0f, 0.0f, 0.0f};
    float depth = 0.0f;
    float ambientReduction = 0.0f; // 1 - ambient scale
    float diffuseReduction = 0.0f;
    float specularReduction = 0.0f;
    uint8_t enabled = 0;
    uint8_t omni = 0;
};

// The box of location's shade boxes that shades a point: the greatest
// weight, the first of equals; null when every weight is 0. weight receives
// the winner's weight.
const CQmShadeBox* QmFindShadeBox(const CQmLocation& location, const Vec3& point, float& weight);

// The render layers' lighting hooks: before, the winning box of the current
// location scales the gathered lights; after, they are restored.
void QmShadeBeforeLighting();
void QmShadeAfterLighting();
// The before-hook's work for a lit point (the hook finds the point itself).
void QmShadeLightPoint(const Vec3& point);
// Whether the before-hook scaled the lights of the object being drawn.
extern uint8_t g_shadeApplied;
