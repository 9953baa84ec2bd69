#include "Source/GameClasses/QmPropCurveMotion.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmCurveWay.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cmath>
#include <cstdio>
#include <tinyxml.h>

namespace {

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

float FrameTime()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

QmCurveWay* FindCurveWay(const CGeString& name)
{
    CQmLocation* location = CurrentLocation();
    return location && !name.IsEmpty() ? location->curveWays.Lookup(name) : nullptr;
}

Vec3 Translation(const Matrix4& m)
{
    return Vec3{m.At(0, 3), m.At(1, 3), m.At(2, 3)};
}

} // namespace

void QmDriveFrame(CGeFrame3D& frame)
{
    frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
}

void QmReleaseFrame(CGeFrame3D& frame)
{
    frame.SetComposeMode(CGeFrame3D::COMPOSE_EULER);
}

// Curve motion ------------------------------------------------------------------

void CQmPropCurveMotion::Start(const char* name)
{
    curveName = name ? name : "";
    curveWay = FindCurveWay(curveName);
    if (!curveWay)
        running = 0;
}

void CQmPropCurveMotion::Begin(float startTime, float curveSpeed)
{
    if (!curveWay) {
        QmReleaseFrame(owner->frame);
        return;
    }
    QmDriveFrame(owner->frame);
    running = 1;
    time = startTime;
    speed = curveSpeed;
}

void CQmPropCurveMotion::SetEnabled(bool flag)
{
    CQmProp::SetEnabled(flag);
    if (flag && curveWay && CurveWayStillThere())
        QmDriveFrame(owner->frame);
    else
        QmReleaseFrame(owner->frame);
}

bool CQmPropCurveMotion::CurveWayStillThere()
{
    if (FindCurveWay(curveName) == curveWay)
        return true;
    curveWay = nullptr;
    running = 0;
    QmReleaseFrame(owner->frame);
    return false;
}

void CQmPropCurveMotion::Update()
{
    if (!running || !curveWay || !CurveWayStillThere())
        return;
    if (time >= curveWay->duration) {
        running = 0;
        time = curveWay->duration;
        // The handler may start the motion anew (or on another curve way).
        CGeValue args[2] = {CGeValue(owner->name), CGeValue(curveWay->name)};
        ScriptCallFunction("curve_finish", args, 2, true);
        if (!curveWay)
            return;
    }
    const idCurve<Vec3>* curve = curveWay->curve;
    if (!curve)
        return;
    const Vec3 p = curve->GetValue(time);
    Matrix4 local = Matrix4::Identity();
    if (turnWithCurve) {
        Vec3 t = curve->GetFirstDerivative(time);
        t.y = 0.0f;
        t.Normalize();
        local = MatrixFromAxes(t, Vec3{0.0f, 1.0f, 0.0f}, Vec3{-t.z, 0.0f, t.x});
    }
    local.At(0, 3) = p.x;
    local.At(1, 3) = p.y;
    local.At(2, 3) = p.z;
    owner->frame.SetMatrix(local);
    if (running)
        time += speed * FrameTime();
}

// Linear motion -----------------------------------------------------------------

void CQmPropLinearMotionController::DispatchToPoint(const Vec3& point)
{
    target = point;
    QmDriveFrame(owner->frame);
    const Vec3 from = Translation(owner->frame.local);
    direction = Vec3{target.x - from.x, target.y - from.y, target.z - from.z};
    const float tolerance = 1e-05f;
    if (std::fabs(direction.x) > tolerance || std::fabs(direction.y) > tolerance || std::fabs(direction.z) > tolerance)
        direction.Normalize();
    stopped = 0;
}

void CQmPropLinearMotionController::Halt()
{
    SetEnabled(false);
    if (stopped)
        return;
    stopped = 1;
    owner->NotifyProps(QM_EVENT_LINE_ENDED);
}

void CQmPropLinearMotionController::Update()
{
    if (stopped)
        return;
    CGeFrame3D& frame = owner->frame;
    Vec3 pos = Translation(frame.local);
    frame.Invalidate();
    const Vec3 toTarget = {target.x - pos.x, target.y - pos.y, target.z - pos.z};
    if (Vec3::Dot(direction, toTarget) < 0.0f) {
        SetEnabled(false);
        pos = target;
        stopped = 1;
        // The handler gives the frame back; place the entity before it runs.
        Matrix4 local = frame.local;
        local.At(0, 3) = pos.x;
        local.At(1, 3) = pos.y;
        local.At(2, 3) = pos.z;
        frame.SetMatrix(local);
        owner->NotifyProps(QM_EVENT_LINE_ENDED);
        return;
    }
    const float step = speed * FrameTime();
    pos = Vec3{pos.x + direction.x * step, pos.y + direction.y * step, pos.z + direction.z * step};
    Matrix4 local = frame.local;
    if (faceTravel) {
        const Matrix4 turn = RotationBetweenVectors(Vec3{1.0f, 0.0f, 0.0f}, direction);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col)
                local.At(row, col) = turn.At(row, col);
    }
    local.At(0, 3) = pos.x;
    local.At(1, 3) = pos.y;
    local.At(2, 3) = pos.z;
    frame.SetMatrix(local);
    frame.UpdateWorldMatrix();
}

void CQmPropLinearMotionController::OnEvent(uint32_t code)
{
    if (code != QM_EVENT_LINE_ENDED)
        return;
    CGeFrame3D& frame = owner->frame;
    QmReleaseFrame(frame);
    frame.SetPosition(target);
    frame.UpdateWorldMatrix();
    CQmLocation* location = CurrentLocation();
    if (!location)
        return;
    char event[256];
    std::snprintf(event, sizeof(event), "%s_stop_linear_moving", location->name.c_str());
    CGeValue entityName(owner->name);
    ScriptCallFunction(event, &entityName, 1, true);
}

// Tag readers -------------------------------------------------------------------

void LoadProperty_CurveMotion(CQmEntity& entity, const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    auto* motion = new CQmPropCurveMotion(&entity);
    motion->turnWithCurve = XmlGetBool("static", handle) ? 0 : 1;
    entity.SetProp(QM_PROP_CURVE_MOTION, motion);
}

void LoadProperty_LinearMotionController(CQmEntity& entity, const TiXmlElement*)
{
    entity.SetProp(QM_PROP_LINEAR_MOTION, new CQmPropLinearMotionController(&entity));
}
