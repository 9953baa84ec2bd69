// The stencil-shadow step without a device: the caster queue's limit, the
// silhouette edges of a single triangle and of a closed cube, what does not
// cast, and the extruded shadow mesh built from the quads.
#include "Engine/Core/Gm/GmShadow.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

class PlainMaterial : public CGmMaterial {
public:
    void Apply(const float*, uint32_t) override {}
    void BuildDeviceMaterial() override {}
};

// A mesh of positions (flags 0x1) and 16-bit indices, one triangle-list range.
CGmMesh* MakeMesh(const std::vector<float>& xyz, const std::vector<uint16_t>& indices)
{
    CGmMesh* mesh = new CGmMesh();
    const uint32_t vertices = uint32_t(xyz.size() / 3);
    mesh->CreateBuffers(0x1, vertices, 2, uint32_t(indices.size()));
    EXPECT_TRUE(mesh->vertexBuffer->LockRange(0, 0));
    memcpy(mesh->vertexBuffer->m_lockPointer, xyz.data(), xyz.size() * sizeof(float));
    mesh->vertexBuffer->Unlock();
    EXPECT_TRUE(mesh->indexBuffer->LockRange(0, 0));
    memcpy(mesh->indexBuffer->m_lockPointer, indices.data(), indices.size() * 2);
    mesh->indexBuffer->Unlock();
    CGmDrawRange range;
    range.vertexCount = vertices;
    range.primitiveCount = uint32_t(indices.size() / 3);
    mesh->drawRanges.Add(range);
    mesh->ComputeBounds();
    return mesh;
}

// The fixture's cube winds its faces so that (B - A) x (C - A) points inwards;
// the silhouette builder takes it as the outward normal (the device's
// clockwise front faces), so each triangle is turned round.
CGmMesh* ClockwiseMeshOf(const meshfixture::GemeshSpec& spec)
{
    std::vector<float> xyz(spec.vertexCount * 3);
    memcpy(xyz.data(), spec.vertices.data(), xyz.size() * sizeof(float));
    std::vector<uint16_t> indices(spec.indices.begin(), spec.indices.end());
    for (size_t t = 0; t + 2 < indices.size(); t += 3)
        std::swap(indices[t + 1], indices[t + 2]);
    return MakeMesh(xyz, indices);
}

class GmShadow : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_shadowFaceBuffer = static_cast<uint8_t*>(malloc(kShadowFaceBufferSize));
        material.castsShadows = 1;
    }
    void TearDown() override
    {
        ReleaseShadowResources();
        g_shadowMode = 0;
        g_shadowLightPosition[0] = g_shadowLightPosition[2] = 0.0f;
        g_shadowLightPosition[1] = 1000.0f;
        g_shadowQuadCount = 0;
        CGmShadowQueue::s_count = 0;
    }

    // A scenic mesh over the mesh (whose creation reference it takes over).
    std::unique_ptr<CGmScenicMesh> Caster(CGmMesh* mesh)
    {
        CGeArray<CGmMaterial*> list;
        list.Add(&material);
        std::unique_ptr<CGmScenicMesh> object(new CGmScenicMesh(mesh, nullptr, list));
        mesh->Release();
        return object;
    }

    PlainMaterial material;
};

} // namespace

TEST_F(GmShadow, TheShadowLightSwitchesStencilShadowsOnAndQueuesCasters)
{
    std::unique_ptr<CGmScenicMesh> caster = Caster(MakeMesh({0, 0, 0, 1, 0, 0, 0, 0, 1}, {0, 1, 2}));
    // Before any shadow light nothing is queued.
    caster->Update();
    EXPECT_EQ(0u, CGmShadowQueue::s_count);
    EXPECT_EQ(1000.0f, g_shadowLightPosition[1]);
    EXPECT_EQ(0, caster->mesh->hasNeighbours);

    const float position[3] = {1.0f, 2.0f, 3.0f};
    const float colour[4] = {0.0f, 0.5f, 1.0f, 0.25f};
    SetShadowLight(position, colour);
    EXPECT_EQ(kShadowModeStencil, g_shadowMode);
    EXPECT_EQ(0x400080FFu, g_shadowColor);
    ASSERT_NE(nullptr, GetShadowSprite());
    EXPECT_EQ(0x40u, GetShadowSprite()->alpha);

    // The first update with shadows finds the neighbours and queues itself.
    caster->Update();
    EXPECT_EQ(1, caster->mesh->hasNeighbours);
    ASSERT_EQ(1u, CGmShadowQueue::s_count);
    EXPECT_EQ(caster.get(), CGmShadowQueue::s_entries[0].object);
    EXPECT_EQ(3.0f, CGmShadowQueue::s_entries[0].light[2]);
    EXPECT_EQ(nullptr, CGmShadowQueue::s_entries[0].vertexSource);
}

TEST_F(GmShadow, TheQueueRefusesThe257thCaster)
{
    std::unique_ptr<CGmScenicMesh> caster = Caster(MakeMesh({0, 0, 0, 1, 0, 0, 0, 0, 1}, {0, 1, 2}));
    Matrix4 world = Matrix4::Identity();
    for (uint32_t i = 0; i < kShadowMaxCasters; ++i) {
        world.m[3] = float(i);
        ASSERT_TRUE(CGmShadowQueue::Push(caster.get(), world, nullptr));
    }
    world.m[3] = -1.0f;
    EXPECT_FALSE(CGmShadowQueue::Push(caster.get(), world, nullptr));
    EXPECT_EQ(kShadowMaxCasters, CGmShadowQueue::s_count);
    EXPECT_EQ(255.0f, CGmShadowQueue::s_entries[255].world.m[3]);
}

TEST_F(GmShadow, QueuedCastersThatDieAreNeverRead)
{
    // A caster destroyed between its update and the flush (a location unloaded
    // in between) leaves the queue; the others keep their order.
    std::unique_ptr<CGmScenicMesh> kept = Caster(MakeMesh({0, 0, 0, 0, 0, 1, 1, 0, 0}, {0, 1, 2}));
    std::unique_ptr<CGmScenicMesh> dying = Caster(MakeMesh({0, 0, 0, 0, 0, 1, 1, 0, 0}, {0, 1, 2}));
    kept->mesh->BuildNeighbours();
    dying->mesh->BuildNeighbours();
    Matrix4 world = Matrix4::Identity();
    ASSERT_TRUE(CGmShadowQueue::Push(dying.get(), world, nullptr));
    world.m[3] = 5.0f;
    ASSERT_TRUE(CGmShadowQueue::Push(kept.get(), world, nullptr));
    ASSERT_TRUE(CGmShadowQueue::Push(dying.get(), world, nullptr));
    dying.reset();
    ASSERT_EQ(1u, CGmShadowQueue::s_count);
    EXPECT_EQ(kept.get(), CGmShadowQueue::s_entries[0].object);
    EXPECT_EQ(5.0f, CGmShadowQueue::s_entries[0].world.m[3]);
    CGmShadowQueue::Flush();
    EXPECT_EQ(3u, g_shadowQuadCount);

    // Shutting the engine down empties the queue and the quads with the
    // objects of the game that filled them.
    ASSERT_TRUE(CGmShadowQueue::Push(kept.get(), world, nullptr));
    ReleaseShadowResources();
    EXPECT_EQ(0u, CGmShadowQueue::s_count);
    EXPECT_EQ(0u, g_shadowQuadCount);
}

TEST_F(GmShadow, ASingleLitTriangleGivesThreeQuadsInWorldSpace)
{
    // Counter-clockwise seen from above: its normal points up, to the light.
    std::unique_ptr<CGmScenicMesh> caster = Caster(MakeMesh({0, 0, 0, 0, 0, 1, 1, 0, 0}, {0, 1, 2}));
    caster->mesh->BuildNeighbours();
    Matrix4 world = Matrix4::Identity();
    world.m[3] = 10.0f;
    ASSERT_TRUE(CGmShadowQueue::Push(caster.get(), world, nullptr));
    CGmShadowQueue::Flush();
    EXPECT_EQ(0u, CGmShadowQueue::s_count);
    ASSERT_EQ(3u, g_shadowQuadCount);
    const float expected[3][2][3] = {{{10, 0, 0}, {10, 0, 1}}, {{10, 0, 1}, {11, 0, 0}}, {{11, 0, 0}, {10, 0, 0}}};
    for (int q = 0; q < 3; ++q) {
        const GmShadowQuad& quad = g_shadowQuads[q];
        EXPECT_EQ(expected[q][0][0], quad.p0.x) << q;
        EXPECT_EQ(expected[q][0][2], quad.p0.z) << q;
        EXPECT_EQ(expected[q][1][0], quad.p1.x) << q;
        EXPECT_EQ(expected[q][1][2], quad.p1.z) << q;
    }

    // Turned away from the light, or with a material that casts no shadow,
    // it gives none.
    g_shadowQuadCount = 0;
    world.m[5] = -1.0f;
    world.m[10] = -1.0f;
    CGmShadowQueue::Push(caster.get(), world, nullptr);
    material.castsShadows = 0;
    world.m[5] = world.m[10] = 1.0f;
    CGmShadowQueue::Push(caster.get(), world, nullptr);
    CGmShadowQueue::Flush();
    EXPECT_EQ(0u, g_shadowQuadCount);
}

TEST_F(GmShadow, AClosedCubeLitFromAboveCastsOnlyItsSilhouette)
{
    std::unique_ptr<CGmScenicMesh> cube = Caster(ClockwiseMeshOf(meshfixture::MakeCube()));
    ASSERT_TRUE(cube->mesh->BuildNeighbours());
    ASSERT_TRUE(CGmShadowQueue::Push(cube.get(), Matrix4::Identity(), nullptr));
    CGmShadowQueue::Flush();
    // Only the top face is lit: its four outer edges, none across its diagonal.
    ASSERT_EQ(4u, g_shadowQuadCount);
    const float top = cube->mesh->bounds.boxMax.y;
    for (uint32_t q = 0; q < g_shadowQuadCount; ++q) {
        EXPECT_EQ(top, g_shadowQuads[q].p0.y);
        EXPECT_EQ(top, g_shadowQuads[q].p1.y);
        const bool alongX = g_shadowQuads[q].p0.x != g_shadowQuads[q].p1.x;
        const bool alongZ = g_shadowQuads[q].p0.z != g_shadowQuads[q].p1.z;
        EXPECT_NE(alongX, alongZ) << "a diagonal at quad " << q;
    }
}

TEST_F(GmShadow, TheShadowMeshExtrudesEachQuadAwayFromTheLight)
{
    BuildShadowMesh();
    EXPECT_EQ(nullptr, GetShadowMesh()); // no quads yet

    g_shadowLightPosition[0] = 0.0f;
    g_shadowLightPosition[1] = 10.0f;
    g_shadowLightPosition[2] = 0.0f;
    g_shadowQuads[0] = {{1, 5, 0}, {2, 5, 0}};
    g_shadowQuads[1] = {{0, 0, 0}, {0, 0, 1}};
    g_shadowQuadCount = 2;
    BuildShadowMesh();
    CGmMesh* mesh = GetShadowMesh();
    ASSERT_NE(nullptr, mesh);
    EXPECT_EQ(0x101u, mesh->vertexBuffer->Flags());
    ASSERT_EQ(8u, mesh->vertexBuffer->Count());
    ASSERT_EQ(12u, mesh->indexBuffer->Count());
    EXPECT_EQ(4u, mesh->indexBuffer->IndexSize());
    EXPECT_EQ(4u, mesh->drawRanges[0].primitiveCount);
    EXPECT_EQ(8u, mesh->drawRanges[0].vertexCount);

    struct Vertex {
        float x, y, z;
        uint32_t colour;
    };
    const Vertex* v = reinterpret_cast<const Vertex*>(mesh->vertexBuffer->GetData());
    // p + 10 (p - L): (1, 5, 0) goes to (11, -45, 0).
    EXPECT_EQ(1.0f, v[0].x);
    EXPECT_EQ(2.0f, v[1].x);
    EXPECT_EQ(11.0f, v[2].x);
    EXPECT_EQ(-45.0f, v[2].y);
    EXPECT_EQ(22.0f, v[3].x);
    EXPECT_EQ(-100.0f, v[6].y);
    EXPECT_EQ(11.0f, v[7].z);
    const uint32_t* indices = reinterpret_cast<const uint32_t*>(mesh->indexBuffer->GetData());
    const uint32_t expected[12] = {0, 3, 2, 0, 1, 3, 4, 7, 6, 4, 5, 7};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(expected[i], indices[i]) << i;

    // The mesh is re-used for the next frame's quads.
    g_shadowQuadCount = 1;
    BuildShadowMesh();
    EXPECT_EQ(mesh, GetShadowMesh());
    EXPECT_EQ(4u, mesh->vertexBuffer->Count());
}
