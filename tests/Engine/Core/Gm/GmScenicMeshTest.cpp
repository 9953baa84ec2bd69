// Scenic meshes over the platform's GL device seen through the recording
// decorator: one draw range per Render, the skinned paths with a test
// skeleton whose skinning matrices are fixed translations, the joint world
// matrices of indexed vertex blending, and the world bounds.
#include "Engine/Core/Gm/GmScenicMesh.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmSkeleton.h"
#include "tests/Engine/Core/Gm/GLibLoc/D3d/DeviceTestFixture.h"

#include <cstring>

namespace {

class PlainMaterial : public CGmMaterial {
public:
    void Apply(const float*, uint32_t) override {}
    void BuildDeviceMaterial() override {}
};

// Joint i moves vertices by (i, 0, 0); skinning writes each vertex moved by
// joint 1. Counts what the mesh asks of it.
class FixedSkeleton final : public IGmSkeleton {
public:
    explicit FixedSkeleton(int* live) : live(live) { ++*live; }
    ~FixedSkeleton() { --*live; }

    IGmSkeleton* CloneSkeleton() const override
    {
        FixedSkeleton* copy = new FixedSkeleton(live);
        copy->joints = joints;
        return copy;
    }
    void ReleaseSkeleton() override { delete this; }
    uint32_t JointCount() const override { return joints; }
    void SetPose(const IGmJointPoseSource& source) override
    {
        GmJointKey key;
        source.GetJointKey(key, 0);
        posedWith = key.position.x;
        ++poses;
    }
    Matrix4 SkinningMatrix(uint32_t joint) const override
    {
        Matrix4 m = Matrix4::Identity();
        m.m[3] = float(joint);
        return m;
    }
    void SkinMeshVertices(const CGmMesh& mesh, CGmVertexBuffer& target) const override
    {
        ++skins;
        const GmVertexLayout& from = mesh.vertexBuffer->Layout();
        if (!target.LockRange(0, 0))
            return;
        for (uint32_t i = 0; i < target.Count(); ++i) {
            float p[3];
            memcpy(p, mesh.vertexBuffer->GetData() + i * from.stride + from.position, sizeof(p));
            p[0] += 1.0f;
            memcpy(target.m_lockPointer + i * target.Stride() + target.Layout().position, p, sizeof(p));
        }
        target.Unlock();
    }

    int* live;
    uint32_t joints = 3;
    float posedWith = 0.0f;
    int poses = 0;
    mutable int skins = 0;
};

class FixedPose : public IGmJointPoseSource {
public:
    void GetJointKey(GmJointKey& key, uint32_t) const override { key.position = {5.0f, 0.0f, 0.0f}; }
};

// Three draw ranges of one triangle each over four vertices with the given
// flags (position first).
CGmMesh* ThreeRangeMesh(uint32_t flags)
{
    CGmMesh* mesh = new CGmMesh();
    mesh->CreateBuffers(flags, 4, 2, 9);
    const float xyz[4][3] = {{0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {0, 0, 6}};
    EXPECT_TRUE(mesh->vertexBuffer->LockRange(0, 0));
    for (int i = 0; i < 4; ++i)
        memcpy(mesh->vertexBuffer->m_lockPointer + i * mesh->vertexBuffer->Stride(), xyz[i], sizeof(xyz[i]));
    mesh->vertexBuffer->Unlock();
    const uint16_t indices[9] = {0, 1, 2, 0, 2, 3, 0, 3, 1};
    EXPECT_TRUE(mesh->indexBuffer->LockRange(0, 0));
    memcpy(mesh->indexBuffer->m_lockPointer, indices, sizeof(indices));
    mesh->indexBuffer->Unlock();
    for (uint32_t r = 0; r < 3; ++r) {
        CGmDrawRange range;
        range.minVertex = r;
        range.vertexCount = 4 - r;
        range.startIndex = 3 * r;
        range.primitiveCount = 1;
        mesh->drawRanges.Add(range);
    }
    mesh->ComputeBounds();
    return mesh;
}

class GmScenicMesh : public PlatformDeviceTest {
protected:
    void SetUp() override
    {
        PlatformDeviceTest::SetUp();
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
    }
    void TearDown() override
    {
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        PlatformDeviceTest::TearDown();
    }

    CGmResourceManager manager;
    PlainMaterial materials[3];
};

} // namespace

TEST_F(GmScenicMesh, RenderDrawsOnlyTheRangeOfRangeIndex)
{
    CGmMesh* mesh = ThreeRangeMesh(0x1);
    CGeArray<CGmMaterial*> list;
    for (PlainMaterial& material : materials)
        list.Add(&material);
    CGmScenicMesh object(mesh, nullptr, list);
    mesh->Release();
    EXPECT_EQ(4u, object.GetTypeId() & 0xFFFF);
    EXPECT_EQ(4u, object.GetTypeId() >> 16);
    EXPECT_EQ(2, materials[1].refCount);

    object.rangeIndex = 2;
    EXPECT_EQ(&materials[2], object.GetPass(0xFFFFFFFF));
    EXPECT_EQ(&materials[0], object.GetPass(0));
    EXPECT_EQ(nullptr, object.GetPass(7));
    Device()->ClearCalls();
    object.Render();
    EXPECT_EQ((std::vector<std::string>{"DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 2, 2, 6, 1)"}),
              Device()->Matching("DrawIndexedPrimitive("));

    object.visible = 0;
    Device()->ClearCalls();
    object.Render();
    EXPECT_EQ(0, Device()->Count("DrawIndexedPrimitive"));
}

TEST_F(GmScenicMesh, ASkinnedMeshGetsDeformedVerticesWithItsFirstMaterialAndSkinsThemEachUpdate)
{
    int live = 0;
    FixedSkeleton skeleton(&live);
    FixedPose pose;
    CGmMesh* mesh = ThreeRangeMesh(0x1 | 0x8); // positions and blend weights
    {
        CGmScenicMesh object;
        object.SetMesh(mesh, &skeleton);
        mesh->Release();
        EXPECT_EQ(2, live); // its own copy
        EXPECT_EQ(nullptr, object.deformedVertices);

        object.SetMaterial(0, &materials[0]);
        ASSERT_NE(nullptr, object.deformedVertices);
        EXPECT_EQ(0x1u, object.deformedVertices->Flags());
        EXPECT_EQ(4u, object.deformedVertices->Count());
        object.SetMaterial(1, &materials[1]);

        FixedSkeleton* copy = static_cast<FixedSkeleton*>(object.skeleton);
        object.Update();
        EXPECT_EQ(0, copy->poses); // no pose source yet
        EXPECT_EQ(1, copy->skins);
        object.SetPoseSource(&pose);
        object.Update();
        EXPECT_EQ(1, copy->poses);
        EXPECT_EQ(5.0f, copy->posedWith);
        EXPECT_EQ(2, copy->skins);
        float moved[3];
        memcpy(moved, object.deformedVertices->GetData() + object.deformedVertices->Stride(), sizeof(moved));
        EXPECT_EQ(3.0f, moved[0]);

        // Drawn from the deformed vertices, without vertex blending.
        Device()->ClearCalls();
        object.SetWorldTransforms();
        object.Render();
        EXPECT_EQ(1, Device()->Count("DrawIndexedPrimitive"));
        EXPECT_EQ((std::vector<std::string>{"SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, 0)"}),
                  Device()->Matching("SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE,"));
    }
    EXPECT_EQ(1, live);
}

TEST_F(GmScenicMesh, WithoutDeformedVerticesEachJointGetsItsWorldMatrix)
{
    int live = 0;
    FixedSkeleton skeleton(&live);
    CGmMesh* mesh = ThreeRangeMesh(0x1 | 0x8);
    CGmScenicMesh object;
    object.SetMesh(mesh, &skeleton);
    mesh->Release();
    object.frame.SetPosition({0.0f, 10.0f, 0.0f});
    object.frame.UpdateWorldMatrix();
    object.SetWorldTransforms();
    for (uint32_t joint = 0; joint < 3; ++joint) {
        EXPECT_EQ(float(joint), wrapper->m_world[joint][3]) << joint;
        EXPECT_EQ(10.0f, wrapper->m_world[joint][7]) << joint;
    }
    EXPECT_EQ(0.0f, wrapper->m_world[4][7]); // the identity after the joints

    Device()->ClearCalls();
    object.Render();
    const std::vector<std::string> blend = Device()->Matching("SetRenderState(D3DRS_VERTEXBLEND,");
    ASSERT_EQ(2u, blend.size());
    EXPECT_EQ("SetRenderState(D3DRS_VERTEXBLEND, 2)", blend[0]); // (0x9 >> 2) & 7
    EXPECT_EQ("SetRenderState(D3DRS_VERTEXBLEND, 0)", blend[1]);
}

TEST_F(GmScenicMesh, TheWorldBoundsFollowTheFrame)
{
    CGmMesh* mesh = ThreeRangeMesh(0x1);
    CGmScenicMesh object;
    object.SetMesh(mesh, nullptr);
    mesh->Release();
    object.frame.SetPosition({100.0f, 0.0f, 0.0f});
    object.frame.SetAngles({0.0f, 0.0f, 1.5707964f}); // a quarter turn about z
    object.Update();
    EXPECT_NEAR(96.0f, object.worldBounds.boxMin.x, 1e-4f);
    EXPECT_NEAR(100.0f, object.worldBounds.boxMax.x, 1e-4f);
    EXPECT_NEAR(0.0f, object.worldBounds.boxMin.y, 1e-4f);
    EXPECT_NEAR(2.0f, object.worldBounds.boxMax.y, 1e-4f);
    EXPECT_NEAR(6.0f, object.worldBounds.boxMax.z, 1e-4f);
    EXPECT_EQ(mesh->bounds.radius, object.worldBounds.radius);
    EXPECT_FLOAT_EQ(mesh->bounds.centre.x + 100.0f, object.worldBounds.centre.x);
}
