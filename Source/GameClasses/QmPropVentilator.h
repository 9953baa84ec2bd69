// The ventilator property: a wind source that, every frame while enabled,
// sets the wind force on every point of every cloth of the cloth world.
//
// For a point at P with normal N, d = P - position and s = d . direction
// (not normalised, so the wind grows along the direction). A point with
// s <= 0 lies behind the ventilator and gets no force; otherwise the force is
// d/|d| x |N . d/|d|| x s x force x gust, with gust = 1 for a steady wind
// (amplitude 0) and amplitude x cos(0.5 phi) x cos(0.33 phi) + 1 with
// phi = time x frequency otherwise. The force replaces the point's external
// force, so of several ventilators the last one updated wins; the physics
// step consumes the forces and clears them.
//
// The property reads no file: the entity reader fills its fields.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"

class CGeClothGeom;
class TiXmlElement;

class CQmPropVentilator : public CQmProp {
public:
    explicit CQmPropVentilator(CQmEntity* owner) : CQmProp(owner) {}

    // Wind on all cloths of the cloth world, then time += the frame time.
    void Update() override;
    // The wind of this ventilator on the points of one cloth.
    void ApplyWind(CGeClothGeom& cloth) const;
    // The gust factor at the current time.
    float Gust() const;
    // A sphere at the wind origin and a line along the direction.
    void DrawDebug() const;

    Vec3 position = {0.0f, 0.0f, 0.0f}; // world space
    Vec3 direction = {1.0f, 0.0f, 0.0f}; // unit length
    float force = 1.0f;
    float amplitude = 0.0f; // 0: steady wind
    float frequency = 1.0f;
    float time = 0.0f; // seconds of enabled updates
};

// The "ventilator" tag: "pos", "dir" (normalised), "force", "amp" and "freq"
// over the defaults; the reader's row leaves the property switched off.
void LoadProperty_Ventilator(CQmEntity& entity, const TiXmlElement* element);
