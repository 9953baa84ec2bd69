#include "Source/GameClasses/QmPropMotionController.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmPropAimapLockController.h"

#include <cmath>

float QmHeadingAngle(const Vec3& direction)
{
    const float x = Clamp(-1.0f, 1.0f, direction.x);
    const float angle = std::acos(x);
    return direction.z >= 0.0f ? -angle : angle;
}

namespace {

Vec3 WorldPosition(CGeFrame3D& frame)
{
    frame.UpdateWorldMatrix();
    return Vec3{frame.world.At(0, 3), frame.world.At(1, 3), frame.world.At(2, 3)};
}

float Cross(const Vec3& a, const Vec3& b)
{
    return a.z * b.x - b.z * a.x;
}

} // namespace

CQmPropMotionController::CQmPropMotionController(CQmEntity* ownerEntity) : CQmProp(ownerEntity)
{
    SetTypeId(kTypeId);
    path.nodes.SetGrowStep(20);
}

float CQmPropMotionController::FloorAt(const Vec3& point, float fallback)
{
    const CQmAiMap* grid = QmCurrentWalkGrid();
    const float height = grid ? grid->GetHeight(point.x, point.z) : kAiNoHeight;
    return height == kAiNoHeight ? fallback : height;
}

bool CQmPropMotionController::Fail()
{
    if (!stopped) {
        SetEnabled(false);
        stopped = 1;
        owner->NotifyProps(QM_EVENT_PATH_STOPPED);
    }
    return false;
}

bool CQmPropMotionController::MoveTo(const Vec3& target)
{
    goal = target;
    const Vec3 start = WorldPosition(owner->frame);
    path.Clear();
    if (auto* lock = owner->Prop<CQmPropAimapLockController>(QM_PROP_AIMAP_LOCK))
        lock->UnlockCells();

    CQmAiMap* grid = QmCurrentWalkGrid();
    if (!grid || !grid->count)
        return Fail();
    path.maxLine = grid->maxLineDistance;
    path.cornerFactor = Clamp(0.0f, 0.5f, grid->circleFactor);
    if (!grid->SearchPath(start, goal, path)) {
        const int32_t cell = grid->GetCellIndex(goal.x, goal.z);
        if (cell < 0 || grid->cells[cell].flags == 0)
            return Fail();
        if (!grid->FindPath(path, start, goal))
            return Fail();
    }
    const float limit = g_gameProcessor ? g_gameProcessor->walkLengthLimit : -1.0f;
    if (limit != -1.0f && limit < path.total) {
        if (!stopped)
            Stop();
        return false;
    }

    distance = 0.0f;
    path.GetDirectionAt(0.0f, pathDir);
    moveDir = pathDir;
    const Matrix4& world = owner->frame.world;
    heading = Vec3{world.At(0, 0), 0.0f, world.At(2, 0)};
    const float length = std::sqrt(heading.x * heading.x + heading.z * heading.z);
    heading = length > 1e-6f ? Vec3{heading.x / length, 0.0f, heading.z / length} : pathDir;
    turning = 0;
    const float c = Cross(heading, pathDir);
    if (std::fabs(c) > 1.1920929e-07f) {
        turnSign = c > 0.0f ? 1.0f : -1.0f;
        turning = 1;
    } else if (heading.x * pathDir.x + heading.z * pathDir.z < 0.0f) {
        turnSign = 1.0f;
        turning = 1;
    }
    SetEnabled(true);
    owner->NotifyProps(QM_EVENT_PATH_STARTED);
    stopped = 0;
    return true;
}

void CQmPropMotionController::Stop()
{
    SetEnabled(false);
    if (!stopped) {
        stopped = 1;
        owner->NotifyProps(QM_EVENT_PATH_STOPPED);
    }
}

void CQmPropMotionController::Update()
{
    const CQmAiMap* grid = QmCurrentWalkGrid();
    if (!grid || !grid->count || !path.nodes.Count())
        return;
    const float frameTime = g_geTimer ? g_geTimer->delta : 0.0f;
    CGeFrame3D& frame = owner->frame;
    distance += velocity.x * frameTime;

    if (path.total < distance) {
        Vec3 end = {0, 0, 0};
        path.GetPointAt(path.total, end);
        end.y = FloorAt(end, frame.position.y);
        frame.SetPosition(end);
        frame.Invalidate();
        Stop();
        return;
    }
    stopped = 0;

    path.GetDirectionAt(distance, pathDir);
    float yaw = QmHeadingAngle(pathDir);
    if (turning) {
        const float angle = frameTime * kTurnRate * turnSign;
        const float c = std::cos(angle), s = std::sin(angle);
        heading = Vec3{c * heading.x + s * heading.z, 0.0f, -s * heading.x + c * heading.z};
        if (SignOf(Cross(heading, pathDir)) == turnSign)
            yaw = QmHeadingAngle(heading);
        else
            turning = 0;
    }
    frame.SetAngles(Vec3{0.0f, yaw, 0.0f});
    frame.Invalidate();

    const Vec3 old = WorldPosition(frame);
    Vec3 point = {0, 0, 0};
    path.GetPointAt(distance, point);
    point.y = FloorAt(point, old.y);
    frame.SetPosition(point);
    frame.Invalidate();
    frame.UpdateWorldMatrix();
    const Vec3 d = {point.x - old.x, point.y - old.y, point.z - old.z};
    if (std::fabs(d.x) > 0.01f || std::fabs(d.y) > 0.01f || std::fabs(d.z) > 0.01f) {
        const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        moveDir = Vec3{d.x / length, d.y / length, d.z / length};
    }
}

void CQmPropMotionController::SampleHeightsAhead(float lookAhead, float step, float& lowest, float& highest,
                                                 float& current) const
{
    lowest = highest = current = kAiNoHeight;
    const CQmAiMap* grid = QmCurrentWalkGrid();
    if (!path.nodes.Count() || !grid)
        return;
    Vec3 point = {0, 0, 0};
    path.GetPointAt(distance, point);
    current = lowest = highest = grid->GetHeight(point.x, point.z);
    const int32_t steps = int32_t(lookAhead / step);
    for (int32_t i = 1; i <= steps; ++i) {
        path.GetPointAt(distance + float(i) * step, point);
        const float h = grid->GetHeight(point.x, point.z);
        lowest = FloatMin(lowest, h);
        highest = MaxF(highest, h);
    }
}

void CQmPropMotionController::DrawPath() const
{
    if (!path.nodes.Count())
        return;
    const uint32_t kPathColour = 0xFF00FF00, kNodeColour = 0xFFFFFF00, kHeightColour = 0xFFFF4040;
    const float kStep = 10.0f, kBox = 2.0f;
    const float y = owner->frame.position.y;
    Vec3 previous = {0, 0, 0};
    path.GetPointAt(0.0f, previous);
    previous.y = FloorAt(previous, y);
    for (float d = kStep;; d += kStep) {
        Vec3 point = {0, 0, 0};
        path.GetPointAt(d < path.total ? d : path.total, point);
        point.y = FloorAt(point, y);
        DrawLine3D(previous, kPathColour, point);
        previous = point;
        if (!(d < path.total))
            break;
    }
    for (const WalkPathNode& node : path.nodes) {
        const Vec3 at = {node.start.x, FloorAt(Vec3{node.start.x, 0.0f, node.start.z}, y), node.start.z};
        DrawAabb(Vec3{at.x - kBox, at.y, at.z - kBox}, Vec3{at.x + kBox, at.y + kBox, at.z + kBox}, kNodeColour);
    }
    float lowest = 0, highest = 0, current = 0;
    SampleHeightsAhead(kLookAhead, kLookStep, lowest, highest, current);
    if (lowest != kAiNoHeight && highest != kAiNoHeight) {
        Vec3 here = {0, 0, 0};
        path.GetPointAt(distance, here);
        DrawLine3D(Vec3{here.x, lowest, here.z}, kHeightColour, Vec3{here.x, highest, here.z});
    }
}

void LoadProperty_MotionController(CQmEntity& entity, const TiXmlElement*)
{
    entity.SetProp(QM_PROP_MOTION_CONTROLLER, new CQmPropMotionController(&entity));
}
