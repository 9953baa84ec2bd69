// Two properties that move an entity without the walk grid.
//
// CQmPropCurveMotion (slot 13) carries the entity along one of the current
// location's curve ways at a scripted speed (curve time per second), turning
// it with the curve unless the tag says "static", and fires "curve_finish"
// (entity, curve way) in the update that reaches the curve's duration, before
// it places the entity on the end point.
//
// CQmPropLinearMotionController (slot 4) moves the entity in a straight line
// toward a point at a constant speed, optionally facing the direction of
// travel. Arrival (the target passed) or Halt sends event 1006 to the
// entity's properties; the controller's own handler gives the frame back, puts
// the entity on the target and fires "<location>_stop_linear_moving" (entity).
//
// While either drives the entity, its frame takes the local matrix from the
// property (fixed compose mode); giving the frame back restores the standard
// composition from position, angles and scale.
//
// Choices:
// - The curve motion keeps its curve way's name and checks each update that
//   the current location still holds that very record; a curve way that went
//   away with its location stops the motion and gives the frame back, so an
//   entity that outlives its location never follows a freed curve.
// - A dispatch to the entity's own position has no direction and never
//   arrives by itself; Halt ends it.
// - Without a current location the stop event is not fired (there is no
//   location name to build it from).
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class TiXmlElement;
struct QmCurveWay;

// The frame hand-over: driving, the local matrix is given from outside;
// released, the frame composes it from position, angles and scale. Both mark
// the frame and its subtree changed.
void QmDriveFrame(CGeFrame3D& frame);
void QmReleaseFrame(CGeFrame3D& frame);

class CQmPropCurveMotion : public CQmProp {
public:
    explicit CQmPropCurveMotion(CQmEntity* owner) : CQmProp(owner) {}

    // The current location's curve way of that name; none stops the motion.
    void Start(const char* curveName);
    // Without a curve way the frame is given back; otherwise it is driven from
    // startTime on at speed curve time per second.
    void Begin(float startTime, float curveSpeed);
    // Drives the frame when set and a curve way is followed, else gives it back.
    void SetEnabled(bool flag) override;
    void Update() override;

    QmCurveWay* curveWay = nullptr;
    float time = 0.0f;
    uint8_t running = 0;
    uint8_t turnWithCurve = 1;
    float speed = 1.0f;
    CGeString curveName; // the followed record's name

private:
    // False (and the motion stopped, the frame given back) when the current
    // location no longer holds the followed record.
    bool CurveWayStillThere();
};

class CQmPropLinearMotionController : public CQmProp {
public:
    explicit CQmPropLinearMotionController(CQmEntity* owner) : CQmProp(owner) {}

    // Drives the frame toward point; the caller sets speed and faceTravel and
    // then enables the property.
    void DispatchToPoint(const Vec3& point);
    // Disables the property; a moving controller stops and sends event 1006.
    void Halt();
    void Update() override;
    // 1006, from any sender: the frame given back on the target, the stop
    // event fired.
    void OnEvent(uint32_t code) override;

    uint8_t stopped = 1;
    uint8_t faceTravel = 1;
    Vec3 target = {0.0f, 0.0f, 0.0f};
    Vec3 direction = {0.0f, 0.0f, 0.0f};
    float speed = 1.0f;
};

// Tag readers: "curve_motion" ("static": true keeps the entity unturned) and
// "linear_motion_controller" (no attributes); the tag table switches them on
// and off.
void LoadProperty_CurveMotion(CQmEntity& entity, const TiXmlElement* element);
void LoadProperty_LinearMotionController(CQmEntity& entity, const TiXmlElement* element);
