// The path a walker follows: straight pieces joined by circular arcs, walked
// by distance from its start.
//
// Points come in one by one (AddPoint). Each new point turns the previous end
// point into a corner: the corner is cut by an arc that takes at most
// cornerFactor of the shorter of the two runs meeting there, so with a factor
// of 0.5 two corners may meet in the middle of a run but never overlap. A run
// longer than maxLine is split so that its last piece is at most maxLine long,
// which keeps the next corner's arc small. Every node starts where the one
// before it ends; the last node is an end point at distance total.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

enum : uint32_t {
    kWalkNodeStraight = 0,
    kWalkNodeArc = 1,
    kWalkNodeEnd = 2,
};

struct WalkPathNode {
    uint32_t kind = kWalkNodeEnd;
    Vec4 start = {0, 0, 0, 0};   // y and w always 0
    float reserved = 0;
    float length = 0;            // 0 for the end point
    float startDistance = 0;     // from the path's start to this node's start
    Vec4 centre = {0, 0, 0, 0};  // arcs only
    float angle = 0;             // arcs only: signed, radians
};

class CQmWalkPath {
public:
    CGeArray<WalkPathNode> nodes;
    float total = 0;
    // The walk grid's settings, copied in by whoever asks for a path.
    float maxLine = 30.0f;
    float cornerFactor = 0.5f;

    // No nodes, length 0; the settings stay.
    void Clear();
    // Appends a point on the floor (its height is dropped).
    void AddPoint(const Vec3& point);
    // The point at a distance along the path, clamped to its two ends; with no
    // nodes the output is left as it was.
    void GetPointAt(float distance, Vec3& point) const;
    // The unit walking direction at a distance; (0, 0, 0) for a path of fewer
    // than two nodes.
    void GetDirectionAt(float distance, Vec3& direction) const;

private:
    // Cuts the corner at the current end point toward point with an arc. False
    // when nothing was appended: the turn is too slight (or a reversal).
    bool AddCorner(const Vec3& point);
    // Makes the current end point a straight piece to point.
    void AddLine(const Vec3& point);
    void AppendEnd(const Vec3& point);
    // Piece index and the share of it walked at a distance.
    void Locate(float distance, uint32_t& index, float& share) const;
};
