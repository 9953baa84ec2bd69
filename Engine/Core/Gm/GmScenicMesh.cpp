#include "Engine/Core/Gm/GmScenicMesh.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Gm/GmSkeleton.h"

namespace {

// Blend weights and packed joint indices: what skinning takes out.
constexpr uint32_t kBlendBits = 0x3C;
constexpr uint32_t kPackedJointIndices = 0x20;
// What vertexFormatFlag keeps of the flags.
constexpr uint32_t kPlainFormatMask = 0x3F3FF;

void SetBlendStates(uint32_t indexed, uint32_t blend)
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device || !device->CanCall())
        return;
    device->GetDevice()->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, indexed);
    device->GetDevice()->SetRenderState(D3DRS_VERTEXBLEND, blend);
}

} // namespace

CGmScenicMesh::CGmScenicMesh()
{
    SetTypeId(kGmMeshTypeId | kGmMeshTypeId << 16);
    materials.SetGrowStep(16);
}

CGmScenicMesh::CGmScenicMesh(CGmMesh* meshIn, const IGmSkeleton* skeletonIn, const CGeArray<CGmMaterial*>& list)
    : CGmScenicMesh()
{
    SetMeshAndMaterials(list, meshIn, skeletonIn);
}

CGmScenicMesh::~CGmScenicMesh()
{
    CGmShadowQueue::Forget(this);
    if (mesh)
        mesh->Release();
    for (CGmMaterial* material : materials)
        if (material)
            material->Release();
    if (skeleton)
        skeleton->ReleaseSkeleton();
    ReleaseDeformedVertices();
}

void CGmScenicMesh::SetMeshAndMaterials(const CGeArray<CGmMaterial*>& list, CGmMesh* meshIn,
                                        const IGmSkeleton* skeletonIn)
{
    for (uint32_t i = 0; i < list.Count(); ++i)
        SetMaterial(i, list[i]);
    SetMesh(meshIn, skeletonIn);
}

void CGmScenicMesh::SetMesh(CGmMesh* meshIn, const IGmSkeleton* skeletonIn)
{
    if (meshIn)
        meshIn->AddRef();
    if (mesh)
        mesh->Release();
    mesh = meshIn;
    if (skeletonIn) {
        if (skeleton)
            skeleton->ReleaseSkeleton();
        skeleton = skeletonIn->CloneSkeleton();
    }
    UpdateWorldBounds();
    ReleaseDeformedVertices();
    if (!mesh)
        return;
    for (uint32_t i = 0; i < mesh->drawRanges.Count() && i < materials.Count(); ++i)
        if (materials[i])
            SetMaterial(i, materials[i]);
}

void CGmScenicMesh::SetMaterial(uint32_t index, CGmMaterial* material)
{
    while (materials.Count() <= index)
        materials.Add(nullptr);
    if (material)
        material->AddRef();
    if (materials[index])
        materials[index]->Release();
    materials[index] = material;
    if (skeleton && !deformedVertices && mesh && mesh->vertexBuffer) {
        const CGmVertexBuffer& source = *mesh->vertexBuffer;
        deformedVertices = new CGmVertexBuffer(source.Flags() & ~kBlendBits, source.Count());
        if (deformedVertices->Count() && deformedVertices->LockRange(0, 0))
            deformedVertices->Unlock();
    }
}

CGmMaterial* CGmScenicMesh::GetPass(uint32_t index) const
{
    if (index == 0xFFFFFFFF)
        index = rangeIndex;
    return index < materials.Count() ? materials[index] : nullptr;
}

void CGmScenicMesh::Update()
{
    frame.UpdateWorldMatrix();
    if (!posedThisFrame && skeleton && poseSource)
        skeleton->SetPose(*poseSource);
    posedThisFrame = 0;
    if (deformedVertices && skeleton && mesh)
        skeleton->SkinMeshVertices(*mesh, *deformedVertices);
    UpdateWorldBounds();
    if (g_shadowMode == kShadowModeStencil && mesh) {
        if (!mesh->hasNeighbours)
            mesh->BuildNeighbours();
        CGmShadowQueue::Push(this, frame.world, deformedVertices);
    }
}

void CGmScenicMesh::UpdateWorldBounds()
{
    worldBounds.Reset();
    if (!mesh)
        return;
    const GmMeshBounds& local = mesh->bounds;
    if (local.boxMin.x <= local.boxMax.x) {
        for (int i = 0; i < 8; ++i) {
            const Vec3 corner = {(i & 1) ? local.boxMax.x : local.boxMin.x, (i & 2) ? local.boxMax.y : local.boxMin.y,
                                 (i & 4) ? local.boxMax.z : local.boxMin.z};
            worldBounds.AddToBox(MatrixTransformPoint(frame.world, corner));
        }
    }
    worldBounds.centre = {local.centre.x + frame.position.x, local.centre.y + frame.position.y,
                          local.centre.z + frame.position.z};
    worldBounds.radius = local.radius;
}

void CGmScenicMesh::SetWorldTransforms()
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!visible || !device)
        return;
    if (skeleton && !deformedVertices) {
        // One world matrix per joint for indexed vertex blending; the
        // device holds 256, so joints are counted in a byte.
        const uint32_t joints = skeleton->JointCount() < 255 ? skeleton->JointCount() : 255;
        for (uint32_t i = 0; i < joints; ++i) {
            const Matrix4 m = MatrixMultiply4x4(frame.world, skeleton->SkinningMatrix(i));
            device->SetTransform(m.m, uint8_t(i));
        }
        if (joints < 255)
            device->SetTransform(Matrix4::Identity().m, uint8_t(joints + 1));
        return;
    }
    device->SetTransform(frame.world.m, 0);
}

void CGmScenicMesh::Render()
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!visible || !device || !mesh || !mesh->vertexBuffer || rangeIndex >= mesh->drawRanges.Count())
        return;
    const CGmMaterial* material = GetPass(0xFFFFFFFF);
    uint32_t flags = mesh->vertexBuffer->Flags();
    if (skeleton) {
        if (deformedVertices) {
            deformedVertices->Bind();
            flags = deformedVertices->Flags();
        } else {
            mesh->vertexBuffer->Bind();
            SetBlendStates(1, (flags >> 2) & 7);
        }
        if (material && material->vertexFormatFlag)
            flags &= kPlainFormatMask;
    } else {
        if (flags & kPackedJointIndices)
            SetBlendStates(1, 0);
        mesh->vertexBuffer->Bind();
    }
    device->SetFVF(flags);

    const CGmDrawRange& range = mesh->drawRanges[rangeIndex];
    if (mesh->indexBuffer) {
        mesh->indexBuffer->Bind();
        device->DrawIndexedPrimitive(range.primitiveType, 0, range.minVertex, range.vertexCount, range.startIndex,
                                     range.primitiveCount);
    } else {
        device->DrawPrimitive(range.primitiveType, range.minVertex, range.primitiveCount);
    }
    SetBlendStates(0, 0);
}

void CGmScenicMesh::ReleaseDeformedVertices()
{
    if (deformedVertices)
        deformedVertices->Release();
    deformedVertices = nullptr;
}
