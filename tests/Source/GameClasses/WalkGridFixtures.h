// Shared helpers of the walk-grid tests: grids drawn as text and loaded
// through the file reader, and the path invariants every test checks.
#pragma once

#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmWalkPath.h"
#include "tools/walkgrid/WalkGridWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

inline bool LoadImage(CQmAiMap& map, const WalkGridImage& image)
{
    const std::vector<uint8_t> bytes = image.Serialize();
    return map.ReadFromFile(bytes.data(), bytes.size());
}

// Unit cells from the origin unless options say otherwise.
inline bool LoadPicture(CQmAiMap& map, const std::vector<std::string>& rows,
                        const WalkGridOptions& options = WalkGridOptions())
{
    return LoadImage(map, WalkGridFromPicture(rows, options));
}

// Every node starts where the one before it ends, distances add up, and the
// last node is the end point at the total.
inline void ExpectConsistentPath(const CQmWalkPath& path)
{
    ASSERT_GT(path.nodes.count, 0u);
    float distance = 0.0f;
    for (uint32_t i = 0; i < path.nodes.count; ++i) {
        const WalkPathNode& node = path.nodes[i];
        SCOPED_TRACE("node " + std::to_string(i));
        EXPECT_NEAR(node.startDistance, distance, 1e-3f * (1.0f + distance));
        EXPECT_GE(node.length, -1e-4f);
        EXPECT_EQ(node.start.y, 0.0f);
        EXPECT_EQ(node.kind == kWalkNodeEnd, i + 1 == path.nodes.count);
        distance = node.startDistance + node.length;
    }
    EXPECT_NEAR(path.nodes[path.nodes.count - 1].startDistance, path.total, 1e-3f * (1.0f + path.total));
    for (uint32_t i = 0; i + 1 < path.nodes.count; ++i) {
        const WalkPathNode& node = path.nodes[i];
        const Vec4& next = path.nodes[i + 1].start;
        float endX = next.x, endZ = next.z;
        if (node.kind == kWalkNodeStraight) {
            const float dx = next.x - node.start.x, dz = next.z - node.start.z;
            EXPECT_NEAR(std::sqrt(dx * dx + dz * dz), node.length, 1e-3f * (1.0f + node.length));
        } else if (node.kind == kWalkNodeArc) {
            // The arc turned by its angle ends where the next node starts.
            const float rx = node.start.x - node.centre.x, rz = node.start.z - node.centre.z;
            const float c = std::cos(node.angle), s = std::sin(node.angle);
            endX = node.centre.x + rx * c + rz * s;
            endZ = node.centre.z - rx * s + rz * c;
            EXPECT_NEAR(std::sqrt(rx * rx + rz * rz) * std::fabs(node.angle), node.length, 1e-3f);
        }
        EXPECT_NEAR(endX, next.x, 1e-3f);
        EXPECT_NEAR(endZ, next.z, 1e-3f);
    }
}

// The points a path was built from, read back: with corner factor 0 every
// arc has radius 0, so the points are the starts of the straight pieces and
// the end point.
inline std::vector<Vec2> PathPoints(const CQmWalkPath& path)
{
    std::vector<Vec2> points;
    for (const WalkPathNode& node : path.nodes)
        if (node.kind != kWalkNodeArc)
            points.push_back({node.start.x, node.start.z});
    return points;
}
