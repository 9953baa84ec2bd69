#include "Source/GameClasses/QmWater.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cmath>

namespace {

float FrameTime()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

} // namespace

bool CQmWater::IsValidGrid(uint32_t columns, uint32_t rows)
{
    return columns >= 2 && rows >= 2 && uint64_t(columns) * rows <= 65536;
}

CQmWater::CQmWater(uint32_t gridColumns, uint32_t gridRows, float extentX, float extentZ, const char* materialPath,
                   float waveAmplitude, float speed, float tiling)
    : columns(gridColumns), rows(gridRows), amplitude(waveAmplitude), sizeX(extentX), sizeZ(extentZ),
      scrollSpeed(speed), uTiling(tiling * 0.5f)
{
    if (materialPath && *materialPath) {
        if (CGmMaterial* material = rescollect::LoadMaterial(g_dataRoot + materialPath)) {
            SetMaterial(0, material);
            material->Release();
        }
    }
    if (!IsValidGrid(columns, rows))
        return;
    auto* grid = new CGmMesh;
    const uint32_t quads = (columns - 1) * (rows - 1);
    grid->CreateBuffers(kQmWaterVertexFlags, columns * rows, 2, quads * 6);
    auto* vertices = reinterpret_cast<QmWaterVertex*>(grid->vertexBuffer->GetData());
    for (uint32_t c = 0; c < columns; ++c) {
        for (uint32_t r = 0; r < rows; ++r) {
            QmWaterVertex& v = vertices[rows * c + r];
            v.x = c * sizeX / (columns - 1) - sizeX * 0.5f;
            v.y = 0.0f;
            v.z = r * sizeZ / (rows - 1) - sizeZ * 0.5f;
            v.nx = 0.0f;
            v.ny = 1.0f;
            v.nz = 0.0f;
            v.u = c * uTiling / (columns - 1);
            v.v = float(r) / float(rows - 1);
        }
    }
    auto* indices = reinterpret_cast<uint16_t*>(grid->indexBuffer->GetData());
    uint32_t n = 0;
    for (uint32_t c = 0; c + 1 < columns; ++c) {
        for (uint32_t r = 1; r < rows; ++r) {
            indices[n++] = uint16_t(rows * c + r);
            indices[n++] = uint16_t(rows * (c + 1) + r - 1);
            indices[n++] = uint16_t(rows * c + r - 1);
            indices[n++] = uint16_t(rows * c + r);
            indices[n++] = uint16_t(rows * (c + 1) + r);
            indices[n++] = uint16_t(rows * (c + 1) + r - 1);
        }
    }
    CGmDrawRange range;
    range.vertexCount = columns * rows;
    range.primitiveCount = quads * 2;
    grid->drawRanges.Add(range);
    grid->UploadFirstRange();
    SetMesh(grid, nullptr);
    grid->Release();
}

CQmWater::~CQmWater() = default;

float CQmWater::WaveHeight(float x, float z) const
{
    return amplitude * std::sin(x + time) * std::sin(0.5f * time + z);
}

const QmWaterVertex* CQmWater::Vertex(uint32_t column, uint32_t row) const
{
    if (!mesh || column >= columns || row >= rows)
        return nullptr;
    return reinterpret_cast<const QmWaterVertex*>(mesh->vertexBuffer->GetData()) + rows * column + row;
}

void CQmWater::Update()
{
    const float dt = FrameTime();
    time += dt;
    if (!mesh) {
        CGmScenicMesh::Update();
        return;
    }
    const float du = sizeX != 0.0f ? dt * scrollSpeed / sizeX : 0.0f;
    CGmVertexBuffer* buffer = mesh->vertexBuffer;
    if (!buffer->LockRange(0, buffer->Count()))
        return;
    auto* vertices = reinterpret_cast<QmWaterVertex*>(buffer->GetData());
    for (uint32_t i = 0; i < buffer->Count(); ++i) {
        vertices[i].y = WaveHeight(vertices[i].x, vertices[i].z);
        vertices[i].u += du;
    }
    buffer->Unlock();
    CGmScenicMesh::Update();
}

void CQmStone::Update()
{
    CQmEntity::Update();
    if (!active)
        return;
    if (dropRequested) {
        dropTime = 0.0f;
        dropRequested = 0;
        falling = 1;
    }
    if (falling) {
        dropTime += FrameTime();
        const float threshold = mode == SINK_LATE ? 3.0f : (mode == SINK_SOON ? 0.5f : -1.0f);
        if (threshold >= 0.0f && dropTime >= threshold) {
            Vec3 position = frame.position;
            position.y -= (dropTime - threshold) * 20.0f;
            frame.SetPosition(position);
            if (position.y < float(heightOffset) - 250.0f) {
                ScriptCallFunction("stone_drow", nullptr, 0, true);
                active = 0;
                falling = 0;
            }
            return;
        }
        if (mode == STAY)
            return;
    }
    if (mode != STAY && water) {
        Vec3 position = frame.position;
        position.y = water->WaveHeight(position.x, position.z) + float(heightOffset);
        frame.SetPosition(position);
    }
}
