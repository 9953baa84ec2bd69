// The skeleton and pose services a skinned scenic mesh draws with.
//
// Graphics sits below skeletal animation, so the scene code knows skeletons
// and pose sources only through these two interfaces: the animation library's
// skeletal mesh resource is an IGmSkeleton and its players are
// IGmJointPoseSource. The skinning matrix of a joint is computed in one place,
// the skeleton, and both software skinning (SkinMeshVertices) and indexed
// vertex blending (the scenic mesh's SetWorldTransforms) use it.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CGmMesh;
class CGmVertexBuffer;

// One joint's local pose as the track files store it: the position, a 32-bit
// field the records keep, then the rotation.
struct GmJointKey {
    Vec3 position = {0, 0, 0};
    uint32_t reserved = 0;
    Quat rotation = {0, 0, 0, 1};
};

class IGmJointPoseSource {
public:
    // The joint's current local position and rotation; a joint the source
    // does not drive gives the identity key.
    virtual void GetJointKey(GmJointKey& key, uint32_t joint) const = 0;

protected:
    ~IGmJointPoseSource() = default;
};

class IGmSkeleton {
public:
    // A copy the caller owns (one reference, sub-type 0xFFFF) of the local
    // poses, the joints and the inverse binds; release it with ReleaseSkeleton.
    virtual IGmSkeleton* CloneSkeleton() const = 0;
    // Drops the caller's reference.
    virtual void ReleaseSkeleton() = 0;
    virtual uint32_t JointCount() const = 0;
    // Takes every joint's local pose from the source, then updates the world
    // matrices.
    virtual void SetPose(const IGmJointPoseSource& source) = 0;
    // World(joint) x inverse bind(joint), in the engine's matrix convention;
    // the identity for a joint beyond the skeleton.
    virtual Matrix4 SkinningMatrix(uint32_t joint) const = 0;
    // Writes the mesh's vertices deformed by the skinning matrices into
    // target, whose format is the mesh's without blend weights and joint
    // indices and whose vertex count is the mesh's.
    virtual void SkinMeshVertices(const CGmMesh& mesh, CGmVertexBuffer& target) const = 0;

protected:
    ~IGmSkeleton() = default;
};
