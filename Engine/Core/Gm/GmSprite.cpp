#include "Engine/Core/Gm/GmSprite.h"

#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <cmath>

uint8_t CGmSprite::s_globalPixelSnapping = 0;

CGmCamera* CGmSprite::GetCamera()
{
    return CGeHub::s_cameras2d[CGeHub::s_currentSlot];
}

void CGmSprite::CopyFrom(const CGmSprite& other)
{
    CGmVisual2D::CopyFrom(other);
    pixelSnapping = other.pixelSnapping;
}

void CGmSprite::PlaceQuad(uint32_t placement)
{
    const Vec2 h = HotPoint(imageSet.framePixelSize[0], imageSet.framePixelSize[1]);
    Matrix4 m = frame.world;
    if (placement == 2 || placement == 3) {
        CGmCamera* camera = GetCamera();
        const Matrix4 cameraMatrix = camera ? camera->GetViewProjection() : Matrix4::Identity();
        m = placement == 2 ? cameraMatrix : MatrixMultiply4x4(cameraMatrix, frame.world);
    }
    const bool snap = pixelSnapping || s_globalPixelSnapping;
    for (int i = 0; i < 4; ++i) {
        const GmQuadVertex& corner = quad->corners[i];
        Vec4 p = MatrixTransformVector4(m, {corner.x - h.x, corner.y - h.y, corner.z, corner.rhw});
        if (snap) {
            // Outward: the left and top edges down, the right and bottom up.
            p.x = (i & 1) ? std::ceil(p.x) : std::floor(p.x);
            p.y = (i & 2) ? std::ceil(p.y) : std::floor(p.y);
        }
        GmQuadVertex& vertex = quad->vertices[i];
        vertex.x = p.x;
        vertex.y = p.y;
        vertex.z = p.z;
        vertex.rhw = p.w;
    }
    frame.localDirty = 0;
    placementLocked = 1;
}

CGmCamera* CGmAnimSprite::GetCamera()
{
    return CGeHub::s_cameras3d[CGeHub::s_currentSlot];
}

void CGmAnimSprite::PlaceQuad(uint32_t placement)
{
    const CGmImage* image = imageSet.texture ? imageSet.texture->Image() : nullptr;
    const Vec2 h = HotPoint(image ? (float)image->width : 0.0f, image ? (float)image->height : 0.0f);
    CGmCamera* camera = GetCamera();
    const Matrix4& world = frame.world;
    Matrix4 flipY = Matrix4::Identity();
    flipY.At(1, 1) = -1.0f;

    Matrix4 m;
    if (placement == 1 || !camera) {
        m = MatrixMultiply4x4(world, flipY);
    } else {
        const Vec3 origin = {world.m[3], world.m[7], world.m[11]};
        const Vec3 q = MatrixTransformPoint(camera->view, origin);
        Matrix4 toOrigin = Matrix4::Identity();
        toOrigin.m[3] = q.x;
        toOrigin.m[7] = q.y;
        toOrigin.m[11] = q.z;
        m = MatrixMultiply4x4(camera->viewportMatrix, MatrixMultiply4x4(camera->projection, toOrigin));
        if (placement == 3) {
            Matrix4 orientation = world;
            orientation.m[3] = orientation.m[7] = orientation.m[11] = 0.0f;
            m = MatrixMultiply4x4(m, MatrixMultiply4x4(orientation, flipY));
        } else {
            m = MatrixMultiply4x4(m, flipY);
        }
    }
    for (int i = 0; i < 4; ++i) {
        const GmQuadVertex& corner = quad->corners[i];
        const Vec4 p = MatrixTransformVector4(m, {corner.x - h.x, corner.y - h.y, corner.z, 1.0f});
        const float w = p.w != 0.0f ? p.w : 1.0f;
        GmQuadVertex& vertex = quad->vertices[i];
        vertex.x = p.x / w;
        vertex.y = p.y / w;
        vertex.z = p.z / w;
        vertex.rhw = 1.0f;
    }
    frame.localDirty = 0;
    placementLocked = 1;
}
