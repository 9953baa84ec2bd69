// A scenic mesh: the 3D drawable that puts a CGmMesh into the scene with its
// frame's transform, one material per draw range and, for a skinned mesh, its
// own copy of a skeleton that deforms the vertices.
//
// The render layers update and draw it: each frame Update (pose, skinning,
// world bounds, and with stencil shadows on a place in the shadow queue),
// then for every draw range they set rangeIndex, apply GetPass's material and
// call SetWorldTransforms and Render. Render binds no material.
//
// A skinned mesh is deformed in software into `deformedVertices` (the mesh's
// format without blend weights and joint indices) once it has a material;
// without that buffer it draws through indexed vertex blending, one device
// world matrix per joint. Skeletons and pose sources are seen only through
// IGmSkeleton and IGmJointPoseSource.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>

class CGmMaterial;
class CGmVertexBuffer;
class IGmJointPoseSource;
class IGmSkeleton;

// Type and sub-type of scenic meshes; the render layers draw every visual
// whose type (low 16 bits) is this as a mesh.
constexpr uint32_t kGmMeshTypeId = 4;

class CGmScenicMesh : public CGmVisualObject {
public:
    // Empty; the owner gives it resources with SetMeshAndMaterials.
    CGmScenicMesh();
    // Takes a reference on the mesh and on every material; copies the skeleton.
    CGmScenicMesh(CGmMesh* mesh, const IGmSkeleton* skeleton, const CGeArray<CGmMaterial*>& materials);
    ~CGmScenicMesh() override;

    void SetMeshAndMaterials(const CGeArray<CGmMaterial*>& materials, CGmMesh* mesh, const IGmSkeleton* skeleton);
    // Holds the mesh; a given skeleton replaces the copy. The world bounds are
    // recomputed and the deformed vertices made again on the next material.
    void SetMesh(CGmMesh* mesh, const IGmSkeleton* skeleton);
    // Holds the material for the draw range; a skinned mesh gets its
    // deformed vertices with its first material.
    void SetMaterial(uint32_t index, CGmMaterial* material);
    // Not owned; null for none.
    void SetPoseSource(IGmJointPoseSource* source) { poseSource = source; }

    // 0xFFFFFFFF: the material of rangeIndex; else the material of the index
    // (null beyond the list).
    CGmMaterial* GetPass(uint32_t index) const;
    uint32_t MaterialCount() const { return materials.Count(); }

    void Update() override;
    // The device's world matrices for the next Render.
    void SetWorldTransforms();
    // Draws the draw range rangeIndex.
    void Render() override;

    CGmMesh* mesh = nullptr;
    IGmSkeleton* skeleton = nullptr;
    IGmJointPoseSource* poseSource = nullptr;
    uint32_t rangeIndex = 0;
    CGmVertexBuffer* deformedVertices = nullptr;
    CGeArray<CGmMaterial*> materials; // one reference each; entries may be null
    GmMeshBounds worldBounds;         // box and sphere in world space
    uint8_t posedThisFrame = 0;

private:
    void UpdateWorldBounds();
    void ReleaseDeformedVertices();
};
