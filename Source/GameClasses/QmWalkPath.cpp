#include "Source/GameClasses/QmWalkPath.h"

#include <algorithm>
#include <cmath>

namespace {

Vec4 FloorPoint(const Vec3& p)
{
    return {p.x, 0.0f, p.z, 0.0f};
}

// In double: squaring the coordinates of a large grid would overflow a float.
float Distance(const Vec4& a, const Vec4& b)
{
    return float(std::hypot(double(b.x) - a.x, double(b.z) - a.z));
}

// Unit vector from a toward b in x-z; the zero vector when they coincide.
Vec4 DirectionTo(const Vec4& a, const Vec4& b)
{
    const float length = Distance(a, b);
    if (!(length > 0.0f))
        return {0, 0, 0, 0};
    return {(b.x - a.x) / length, 0.0f, (b.z - a.z) / length, 0.0f};
}

// Turns v about the vertical axis by angle; a positive angle turns +x toward -z.
Vec4 TurnAboutVertical(const Vec4& v, float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {v.x * c + v.z * s, 0.0f, -v.x * s + v.z * c, 0.0f};
}

} // namespace

void CQmWalkPath::Clear()
{
    nodes.Clear();
    total = 0;
}

void CQmWalkPath::AppendEnd(const Vec3& point)
{
    WalkPathNode end;
    end.kind = kWalkNodeEnd;
    end.start = FloorPoint(point);
    end.startDistance = total;
    nodes.Add(end);
}

void CQmWalkPath::AddPoint(const Vec3& point)
{
    if (nodes.IsEmpty()) {
        total = 0;
        AppendEnd(point);
        return;
    }
    const Vec4 target = FloorPoint(point);
    const Vec4 corner = nodes[nodes.count - 1].start;
    const float run = Distance(corner, target);
    if (maxLine > 0.0f && run > maxLine) {
        // Moving a probe along the run by maxLine until the midpoint between it
        // and the target is within maxLine of it ends after k steps, the
        // smallest k with (run - k maxLine) / 2 <= maxLine; computed at once,
        // since a huge run would take as many steps.
        const float steps = std::max(0.0f, std::ceil(run / maxLine - 2.0f));
        const float along = steps * maxLine + (run - steps * maxLine) * 0.5f;
        const Vec4 direction = DirectionTo(corner, target);
        const Vec3 split = {corner.x + direction.x * along, 0.0f, corner.z + direction.z * along};
        // Straight on there is no arc; the split still keeps the last piece short.
        if (!AddCorner(split))
            AddLine(split);
        AddLine(point);
        return;
    }
    if (!AddCorner(point))
        AddLine(point);
}

void CQmWalkPath::AddLine(const Vec3& point)
{
    WalkPathNode& last = nodes[nodes.count - 1];
    last.kind = kWalkNodeStraight;
    last.length = Distance(last.start, FloorPoint(point));
    total += last.length;
    AppendEnd(point);
}

bool CQmWalkPath::AddCorner(const Vec3& point)
{
    if (nodes.count == 1) {
        AddLine(point);
        return true;
    }
    const Vec4 target = FloorPoint(point);
    const WalkPathNode& before = nodes[nodes.count - 2];
    const Vec4 corner = nodes[nodes.count - 1].start;
    const float incoming = before.length;
    const float outgoing = Distance(corner, target);
    const float r = cornerFactor * (incoming < outgoing ? incoming : outgoing);
    const Vec4 u = DirectionTo(corner, before.start);
    const Vec4 v = DirectionTo(corner, target);
    const float cross = u.x * v.z - u.z * v.x;
    if (!(std::fabs(cross) > 0.001f))
        return false;

    // The arc in double: near-straight corners have huge radii, where the
    // float angle would put the arc's end units away from the next piece.
    const double ax = corner.x + double(r) * u.x, az = corner.z + double(r) * u.z;
    const double bx = corner.x + double(r) * v.x, bz = corner.z + double(r) * v.z;
    const double t = ((bx - ax) * v.x + (bz - az) * v.z) / cross;
    const double ox = ax - t * u.z, oz = az + t * u.x;
    const double radius = std::hypot(ax - ox, az - oz);
    // The angle between the two radii, 0 to pi; from both its sine and cosine,
    // which stays exact where the cosine alone is near 1.
    const double sine = (ax - ox) * (bz - oz) - (az - oz) * (bx - ox);
    const double cosine = (ax - ox) * (bx - ox) + (az - oz) * (bz - oz);
    const double alpha = std::atan2(std::fabs(sine), cosine);
    const bool negative = (bx - ox) * (az - oz) - (bz - oz) * (ax - ox) < 0.0;
    const Vec4 a = {float(ax), 0.0f, float(az), 0.0f};
    const Vec4 b = {float(bx), 0.0f, float(bz), 0.0f};
    const Vec4 centre = {float(ox), 0.0f, float(oz), 0.0f};

    nodes[nodes.count - 2].length -= r;
    WalkPathNode& arc = nodes[nodes.count - 1];
    arc.kind = kWalkNodeArc;
    arc.start = a;
    arc.startDistance -= r;
    arc.centre = centre;
    arc.length = float(alpha * radius);
    arc.angle = float(negative ? -alpha : alpha);
    total = total - r + arc.length;

    WalkPathNode straight;
    straight.kind = kWalkNodeStraight;
    straight.start = b;
    straight.length = Distance(b, target);
    straight.startDistance = total;
    nodes.Add(straight);
    total += straight.length;
    AppendEnd(point);
    return true;
}

void CQmWalkPath::Locate(float distance, uint32_t& index, float& share) const
{
    index = 0;
    for (uint32_t i = 0; i + 1 < nodes.count; ++i) {
        if (distance <= nodes[i + 1].startDistance) {
            index = i;
            break;
        }
    }
    const WalkPathNode& node = nodes[index];
    const float walked = index == 0 ? distance : distance - node.startDistance;
    // A piece of length 0 (a point added twice) is over as soon as it starts.
    share = node.length > 0.0f ? walked / node.length : 0.0f;
}

void CQmWalkPath::GetPointAt(float distance, Vec3& point) const
{
    if (nodes.IsEmpty())
        return;
    const WalkPathNode* node = nullptr;
    if (nodes.count == 1 || distance <= 0.0f)
        node = &nodes[0];
    else if (distance >= total)
        node = &nodes[nodes.count - 1];
    if (node) {
        point = {node->start.x, 0.0f, node->start.z};
        return;
    }
    uint32_t i;
    float t;
    Locate(distance, i, t);
    const WalkPathNode& piece = nodes[i];
    if (piece.kind == kWalkNodeArc) {
        const Vec4 radial = {piece.start.x - piece.centre.x, 0.0f, piece.start.z - piece.centre.z, 0.0f};
        const Vec4 turned = TurnAboutVertical(radial, piece.angle * t);
        point = {piece.centre.x + turned.x, 0.0f, piece.centre.z + turned.z};
        return;
    }
    const Vec4& next = nodes[i + 1].start;
    point = {piece.start.x * (1.0f - t) + next.x * t, 0.0f, piece.start.z * (1.0f - t) + next.z * t};
}

void CQmWalkPath::GetDirectionAt(float distance, Vec3& direction) const
{
    if (nodes.count < 2) {
        direction = {0, 0, 0};
        return;
    }
    uint32_t i;
    float t;
    Locate(distance, i, t);
    const WalkPathNode& piece = nodes[i];
    const Vec4& next = nodes[i + 1].start;
    Vec4 result;
    if (piece.kind == kWalkNodeArc) {
        // The tangent is the turned radius crossed with the arc's axis, the
        // axis pointing so that the tangent runs from the start to the end.
        const Vec4 radial = {piece.start.x - piece.centre.x, 0.0f, piece.start.z - piece.centre.z, 0.0f};
        const Vec4 turned = TurnAboutVertical(radial, piece.angle * t);
        const Vec4 toEnd = {next.x - piece.centre.x, 0.0f, next.z - piece.centre.z, 0.0f};
        const float axisY = toEnd.z * radial.x - toEnd.x * radial.z;
        result = DirectionTo({0, 0, 0, 0}, {-turned.z * axisY, 0.0f, turned.x * axisY, 0.0f});
    } else {
        result = DirectionTo(piece.start, next);
    }
    direction = {result.x, 0.0f, result.z};
}
