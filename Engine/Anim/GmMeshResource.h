// The skeleton of an animated model: its joints in parent-before-child order,
// each joint's local pose, the world matrices and the inverse bind matrices
// (the world matrices' inverses in the pose the file gives).
//
// Skeletons come from ".gemesh" files (joint count at byte 0x31, record
// offset at 0x35, 36-byte records; version 1 stores the rotation first) or
// from GE_MESH XML of Type "SKELETAL". After reading, the joints are put
// depth first under the first root (a joint, then each child with all its
// descendants, children in stored order); joints outside that tree are
// dropped and parents renumbered. The walk keeps its own stack, so a deep
// chain cannot exhaust the call stack. A joint count or record offset that
// reaches past the file, and a skeleton without a root, are refused with a
// log line.
//
// The resource is the IGmSkeleton that skinned scenic meshes clone and pose:
// SetPose copies min(joint counts) keys from any pose source (a player, the
// animation controller) and recomputes the world matrices; the skinning
// matrix of joint j is world(j) x inverse bind(j), computed only in
// SkinningMatrix, which SkinMeshVertices and indexed vertex blending share.
#pragma once

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Engine/Core/Gm/GmSkeleton.h"

#include <cstdint>

// The joint record as files store it (version 2 order) and as the resource
// keeps it: position, an unread float, rotation, parent index (-1 for a root
// in a file; after reordering the parent's new index, 0 for the root).
using GmJointRecord = JointPose;
// A world record: the row-major matrix, then the parent index.
using GmWorldRecord = JointMatrix;

constexpr uint32_t kGemeshJointCountOffset = 0x31;
constexpr uint32_t kGemeshJointOffsetOffset = 0x35;
constexpr uint32_t kGemeshJointBytes = 36;

class CGmMeshResource : public CGeResource, public IGmSkeleton {
public:
    CGmMeshResource();

    // A copy with its own count of 1: joints, world matrices, inverse binds
    // and the dirty flag; no names.
    CGmMeshResource* Clone() const;

    bool LoadBinary(const CGeFileData& file);
    bool LoadXml(const CGeFileData& file);

    // Recomputes the world matrices when dirty and clears the flag.
    void UpdateWorldMatrices();

    // IGmSkeleton. CloneSkeleton's copy has sub-type 0xFFFF.
    IGmSkeleton* CloneSkeleton() const override;
    void ReleaseSkeleton() override { Release(); }
    uint32_t JointCount() const override { return joints.Count(); }
    void SetPose(const IGmJointPoseSource& source) override;
    Matrix4 SkinningMatrix(uint32_t joint) const override;
    void SkinMeshVertices(const CGmMesh& mesh, CGmVertexBuffer& target) const override;

    Matrix4 WorldMatrix(uint32_t joint) const;

    CGeArray<GmJointRecord> joints;
    CGeArray<GmWorldRecord> world;
    CGeArray<Matrix4> inverseBind;
    CGeArray<CGeString> jointNames;
    uint8_t dirty = 0;

private:
    // Reorders the joints read from a file, builds world matrices and
    // inverse binds; false (and no joints) when no root is reachable.
    bool FinishLoad(const char* path);

    mutable CGeArray<Matrix4> m_skinScratch;
};

// Whether mesh data holds a skeleton: the graphics test IsSkeletalMeshFile
// (".xml" containing "SKELETAL"; ".gemesh" with the signature and a non-zero
// joint count; false for files too short).
bool IsSkeletalGeMesh(const CGeFileData& file);

// Fills the resource from ".gemesh" or GE_MESH XML data by the extension (any
// case); false for no data, another extension, or a refused file.
bool LoadGeMesh(CGmMeshResource& resource, const CGeFileData& file);
