// The sky: a textured, scrolling dome centred on the camera and drawn behind
// everything else, its clouds fading into a rim colour toward the horizon.
//
// The dome is a cap of a sphere of radius 3000 whose centre lies 2920 below
// the camera: a top vertex 80 above it and eight rings of 24 vertices down to
// 27 degrees from the vertical. It stays invisible until a script activates
// it, and a sky without its texture draws nothing and does not scroll.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>

class CGmIndexBuffer;
class CGmTexture;
class CGmVertexBuffer;

struct QmSkyVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
constexpr uint32_t kQmSkyVertexFlags = 0x1101; // engine flags: position, diffuse, one pair

class CQmSkySphere : public CGmVisualObject {
public:
    static constexpr uint32_t kVertices = 193;
    static constexpr uint32_t kTriangles = 360;
    static constexpr float kRadius = 3000.0f;
    static constexpr float kDrop = 2920.0f;

    CQmSkySphere(const Vec4& centreColour, float scrollSpeed, const Vec4& rimColour, const char* texturePath);
    ~CQmSkySphere() override;

    void BuildVertices();
    void Update() override;
    void Render() override;
    const QmSkyVertex* Vertices() const;
    const uint16_t* Indices() const;

    CGmTexture* texture = nullptr;
    CGmVertexBuffer* vertices = nullptr;
    CGmIndexBuffer* indices = nullptr;
    Vec4 centreColour;
    Vec4 rimColour;
    float speed = 0.0f;
    float scroll = 0.0f;
    float angle = 0.0f;
    float tiling = 1.0f;
    float pitch = 0.0f;
    uint8_t active = 0;
};
