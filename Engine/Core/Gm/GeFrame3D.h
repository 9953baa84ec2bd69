// A transform node: every placed thing (visuals, cameras, entities, controls)
// hangs its frame into another's to form trees.
//
// The local matrix is composed from position, angles or rotation and scale in
// one of three modes; the world matrix is parentWorld * local and is rebuilt on
// demand. Invalidation is lazy: the three setters mark only their own frame,
// and a frame marks its whole subtree when it next rebuilds its world matrix,
// so a child updated before its parent still sees the old parent world.
// SetMatrix, SetComposeMode and AddChild mark the subtree at once.
//
// Owners embed a frame by value. A frame that dies leaves no link behind: it
// removes itself from its parent's list and orphans its children.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GePoolList.h"

#include <cstdint>

class CGeFrame3D {
public:
    enum ComposeMode : uint32_t {
        COMPOSE_EULER = 0,      // T * R(angles, angle order) * S
        COMPOSE_QUATERNION = 1, // T * (R(rotation) * S)
        COMPOSE_FIXED = 2,      // the local matrix given by SetMatrix
    };

    using ComposeRoutine = void (*)(CGeFrame3D& frame);

    CGeFrame3D();
    ~CGeFrame3D();
    CGeFrame3D(const CGeFrame3D&) = delete;
    CGeFrame3D& operator=(const CGeFrame3D&) = delete;

    // Moves child here (from any previous parent) and marks its subtree dirty;
    // a child already listed here stays listed once. Null does nothing.
    void AddChild(CGeFrame3D* child);
    // Clears child's parent link in any case; true when child was in
    // parent's list and has been unlinked. The child is not marked dirty.
    static bool DetachChild(CGeFrame3D* child, CGeFrame3D* parent);

    // 0, 1 or 2 select a compose routine; other values keep the current one
    // but are stored. Marks this frame and its subtree dirty.
    void SetComposeMode(uint32_t mode);
    // Marks this frame and its whole subtree dirty.
    void Invalidate();
    // Rebuilds local and world when world-dirty (the parent first).
    void UpdateWorldMatrix();

    void SetMatrix(const Matrix4& m);
    void SetPosition(const Vec3& v);
    void SetAngles(const Vec3& v);
    void SetScale(const Vec3& v);

    Matrix4 local = Matrix4::Identity();
    Matrix4 world = Matrix4::Identity();
    CGeFrame3D* parent = nullptr;
    CGePoolList<CGeFrame3D*> children;
    Vec3 position = {0.0f, 0.0f, 0.0f};
    Quat rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    Vec3 angles = {0.0f, 0.0f, 0.0f};
    Vec3 scale = {1.0f, 1.0f, 1.0f};
    uint32_t angleOrder = EULER_ZYX;
    uint8_t worldDirty = 1;
    uint8_t localDirty = 1; // read by owners (a camera recomputes its view)
    uint32_t composeMode = COMPOSE_EULER;
    ComposeRoutine compose;

private:
    void InvalidateChildren();
};
