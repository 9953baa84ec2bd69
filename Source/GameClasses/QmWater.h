// Water surfaces and the stones that float on them.
//
// CQmWater is a grid of columns x rows vertices (position, normal, one
// texture pair) whose heights follow a travelling wave and whose texture
// drifts along u; it is a scenic mesh with one material, drawn by the render
// layers once its creator puts it there.
// CQmStone is an entity that follows the waves of its water and, once
// dropped, sinks and reports "stone_drow" to the scripts.
//
// Choices: a grid under 2 x 2 vertices, or one beyond what 16-bit indices
// reach, builds no mesh and draws nothing (the script function refuses such
// grids before they get here).
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>


// Vertex layout of the water: position, normal, one texture pair.
struct QmWaterVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
constexpr uint32_t kQmWaterVertexFlags = 0x1041; // engine flags: position, normal, one pair

class CQmWater : public CGmScenicMesh {
public:
    CQmWater(uint32_t columns, uint32_t rows, float sizeX, float sizeZ, const char* materialPath, float amplitude,
             float scrollSpeed, float tiling);
    ~CQmWater() override;

    // Wave and drift, once per frame, then the scenic mesh's own update.
    void Update() override;
    float WaveHeight(float x, float z) const;
    // The grid's vertex, null outside it or without a mesh.
    const QmWaterVertex* Vertex(uint32_t column, uint32_t row) const;
    static bool IsValidGrid(uint32_t columns, uint32_t rows);

    float time = 0.0f;
    uint32_t columns = 0;
    uint32_t rows = 0;
    float amplitude = 0.0f;
    float sizeX = 0.0f;
    float sizeZ = 0.0f;
    float scrollSpeed = 0.0f;
    float uTiling = 0.5f; // half of the tiling given at creation
};

class CQmStone : public CQmEntity {
public:
    enum Mode : uint32_t { SINK_LATE = 1, SINK_SOON = 2, STAY = 3 };

    explicit CQmStone(uint32_t stoneMode) : mode(stoneMode) {}

    void Update() override;
    virtual void Drop() { dropRequested = 1; }

    uint32_t mode;
    uint8_t falling = 0;
    uint8_t active = 1;
    uint8_t dropRequested = 0;
    int32_t heightOffset = 0;
    float dropTime = 0.0f;
    CQmWater* water = nullptr;
};
