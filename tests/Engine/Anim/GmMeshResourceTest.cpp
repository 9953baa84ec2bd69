// Skeletons from ".gemesh" files (both joint orders) and skeleton XML: the
// depth-first reorder, world matrices of a chain computed by hand, inverse
// binds, clones, posing from a player, the refused files, and software
// skinning of a vertex shared by a still and a turned joint.
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Anim/JaPlayer.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace animwrite;
using meshfixture::FileOver;
using meshfixture::GemeshJoint;
using meshfixture::GemeshSpec;
using meshfixture::PokeLe32;

namespace {

const float kHalfSqrt2 = 0.70710678f;

void EnsureSimd()
{
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
}

Bytes SkeletonGemesh(const std::vector<GemeshJoint>& joints, uint32_t version = 3)
{
    GemeshSpec spec = meshfixture::MakeGrid(1);
    spec.version = version;
    spec.joints = joints;
    return meshfixture::WriteGemesh(spec);
}

void ExpectMatrixNear(const Matrix4& a, const Matrix4& b, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}

Matrix4 Translation(float x, float y, float z)
{
    Matrix4 m = Matrix4::Identity();
    m.m[3] = x;
    m.m[7] = y;
    m.m[11] = z;
    return m;
}

// A pose source that turns one joint by 90 degrees about z and leaves the
// others where the skeleton has them.
class TurnOneJoint : public IGmJointPoseSource {
public:
    TurnOneJoint(const CGmMeshResource& skeleton, uint32_t turned) : m_skeleton(skeleton), m_turned(turned) {}
    void GetJointKey(GmJointKey& key, uint32_t joint) const override
    {
        const GmJointRecord& r = m_skeleton.joints[joint];
        key.position = {r.position[0], r.position[1], r.position[2]};
        key.rotation = joint == m_turned ? Quat{0, 0, kHalfSqrt2, kHalfSqrt2}
                                         : Quat{r.rotation[0], r.rotation[1], r.rotation[2], r.rotation[3]};
    }

private:
    const CGmMeshResource& m_skeleton;
    uint32_t m_turned;
};

} // namespace

TEST(CGmMeshResource, ChainWorldMatricesAndInverseBindsFromEveryForm)
{
    // Root at (1, 0, 0) turned 90 degrees about z; two children each 1 along
    // their parent's y. By hand: joint 1 sits at (0, 0, 0) (y turned onto -x)
    // and joint 2 at (-1, 0, 0).
    std::vector<GemeshJoint> chain = MakeChain(3);
    chain[0].position[0] = 1.0f;
    chain[0].rotation[2] = kHalfSqrt2;
    chain[0].rotation[3] = kHalfSqrt2;
    const struct {
        const char* path;
        Bytes bytes;
    } forms[] = {
        {"m.gemesh", SkeletonGemesh(chain, 3)},
        {"m.GEMESH", SkeletonGemesh(chain, 1)},
        {"m.xml", FromText(WriteSkeletonXml(chain))},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.path);
        CGmMeshResource skeleton;
        ASSERT_TRUE(IsSkeletalGeMesh(FileOver(form.path, form.bytes)));
        ASSERT_TRUE(LoadGeMesh(skeleton, FileOver(form.path, form.bytes)));
        ASSERT_EQ(skeleton.JointCount(), 3u);
        EXPECT_EQ(skeleton.jointNames.Count(), std::string(form.path) == "m.xml" ? 3u : 0u);
        EXPECT_EQ(skeleton.dirty, 0);
        const Matrix4 turn = MatrixRotationZ(3.14159265f / 2);
        Matrix4 root = turn;
        root.m[3] = 1.0f;
        ExpectMatrixNear(skeleton.WorldMatrix(0), root);
        Matrix4 one = turn;
        one.m[3] = 0.0f;
        ExpectMatrixNear(skeleton.WorldMatrix(1), one);
        Matrix4 two = turn;
        two.m[3] = -1.0f;
        ExpectMatrixNear(skeleton.WorldMatrix(2), two);
        for (uint32_t j = 0; j < 3; ++j) {
            ExpectMatrixNear(MatrixMultiply4x4(skeleton.inverseBind[j], skeleton.WorldMatrix(j)), Matrix4::Identity());
            ExpectMatrixNear(skeleton.SkinningMatrix(j), Matrix4::Identity());
        }
        ExpectMatrixNear(skeleton.SkinningMatrix(3), Matrix4::Identity(), 0.0f);
    }
}

TEST(CGmMeshResource, VersionOneRecordsSwapRotationAndPosition)
{
    std::vector<GemeshJoint> one(1);
    one[0].position[0] = 1;
    one[0].position[1] = 2;
    one[0].position[2] = 3;
    const Bytes bytes = SkeletonGemesh(one, 1);
    CGmMeshResource skeleton;
    ASSERT_TRUE(LoadGeMesh(skeleton, FileOver("s.gemesh", bytes)));
    const GmJointRecord& j = skeleton.joints[0];
    EXPECT_EQ(j.position[0], 1.0f);
    EXPECT_EQ(j.position[1], 2.0f);
    EXPECT_EQ(j.position[2], 3.0f);
    EXPECT_EQ(j.rotation[3], 1.0f);
    // A single joint: world = local.
    ExpectMatrixNear(skeleton.WorldMatrix(0), Translation(1, 2, 3), 0.0f);
}

TEST(CGmMeshResource, ReordersDepthFirstAndDropsOtherTrees)
{
    // Stored: 0 child of 2, 1 child of 0, 2 the root, 3 child of 2, 4 a
    // second root, 5 child of 4. Depth first from 2: 2, 0, 1, 3.
    std::vector<GemeshJoint> joints(6);
    const int parents[6] = {2, 0, -1, 2, -1, 4};
    for (int i = 0; i < 6; ++i) {
        joints[i].parent = parents[i];
        joints[i].position[0] = float(i);
    }
    CGmMeshResource skeleton;
    const std::string xml = WriteSkeletonXml(joints);
    ASSERT_TRUE(LoadGeMesh(skeleton, FileOver("s.xml", FromText(xml))));
    ASSERT_EQ(skeleton.JointCount(), 4u);
    const float storedIndex[4] = {2, 0, 1, 3};
    const uint32_t parent[4] = {0, 0, 1, 0};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(skeleton.joints[i].position[0], storedIndex[i]) << i;
        EXPECT_EQ(skeleton.joints[i].parent, parent[i]) << i;
    }
    EXPECT_EQ(skeleton.jointNames.Count(), 4u);
}

TEST(CGmMeshResource, DeepChainReordersWithoutRecursion)
{
    // Stored leaf first, root last: the reorder reverses it.
    const uint32_t n = 20000;
    std::vector<GemeshJoint> joints(n);
    for (uint32_t i = 0; i < n; ++i)
        joints[i].parent = i + 1 < n ? int32_t(i + 1) : -1;
    CGmMeshResource skeleton;
    ASSERT_TRUE(LoadGeMesh(skeleton, FileOver("deep.gemesh", SkeletonGemesh(joints))));
    ASSERT_EQ(skeleton.JointCount(), n);
    EXPECT_EQ(skeleton.joints[n - 1].parent, n - 2);
}

TEST(CGmMeshResource, RefusedFiles)
{
    const std::vector<GemeshJoint> chain = MakeChain(2);
    auto poked = [&](uint32_t offset, uint32_t value) {
        Bytes b = SkeletonGemesh(chain);
        PokeLe32(b, offset, value);
        return b;
    };
    std::vector<GemeshJoint> rootless = chain;
    rootless[0].parent = 1;
    std::string twoHierarchies = WriteSkeletonXml(chain);
    twoHierarchies.insert(twoHierarchies.find("</GE_MESH>"), "<GE_JOINTS_HIERARCHY/>");
    std::string generic = WriteSkeletonXml(chain);
    generic.replace(generic.find("SKELETAL"), 8, "GENERIC!");
    const struct {
        const char* what;
        const char* path;
        Bytes bytes;
    } cases[] = {
        {"joint count past the end", "a.gemesh", poked(meshfixture::kOffJointCount, 3)},
        {"joint offset past the end", "a.gemesh", poked(meshfixture::kOffJointOffset, 0xFFFFFFF0)},
        {"wrong signature", "a.gemesh", poked(0, 0x014D4548)},
        {"cut before the joint fields", "a.gemesh", Bytes{0x47, 0x45, 0x4D, 0x01, 2, 0, 0, 0}},
        {"no root", "a.gemesh", SkeletonGemesh(rootless)},
        {"xml two hierarchies", "a.xml", FromText(twoHierarchies)},
        {"xml no joint", "a.xml", FromText("<GE_MESH Type=\"SKELETAL\"><GE_JOINTS_HIERARCHY/></GE_MESH>")},
        {"xml not skeletal", "a.xml", FromText(generic)},
        {"other extension", "a.mesh", SkeletonGemesh(chain)},
        {"empty", "a.gemesh", Bytes()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CGmMeshResource skeleton;
        EXPECT_FALSE(LoadGeMesh(skeleton, FileOver(c.path, c.bytes)));
        EXPECT_EQ(skeleton.JointCount(), 0u);
    }
    EXPECT_FALSE(IsSkeletalGeMesh(FileOver("a.gemesh", Bytes{0x47, 0x45, 0x4D, 0x01, 2, 0})));
}

TEST(CGmMeshResource, CloneSetPoseAndLazyWorldMatrices)
{
    CGmMeshResource skeleton;
    ASSERT_TRUE(LoadGeMesh(skeleton, FileOver("c.xml", FromText(WriteSkeletonXml(MakeChain(3))))));
    CGmMeshResource* copy = skeleton.Clone();
    EXPECT_EQ(copy->refCount, 1);
    EXPECT_EQ(copy->subTypeId, 5);
    EXPECT_EQ(copy->JointCount(), 3u);
    EXPECT_EQ(copy->jointNames.Count(), 0u);
    IGmSkeleton* scenic = skeleton.CloneSkeleton();
    EXPECT_EQ(static_cast<CGmMeshResource*>(scenic)->subTypeId, 0xFFFF);

    // Posing the copy leaves the original alone; the pose source knows only
    // two joints, so the third keeps its key.
    CJaPosePlayer pose(2);
    pose.pose[1].position = {5, 0, 0};
    copy->SetPose(pose);
    EXPECT_EQ(copy->joints[1].position[0], 5.0f);
    EXPECT_EQ(copy->joints[1].position[1], 0.0f);
    EXPECT_EQ(copy->joints[2].position[1], 1.0f);
    EXPECT_EQ(skeleton.joints[1].position[1], 1.0f);
    EXPECT_EQ(copy->dirty, 0);
    ExpectMatrixNear(copy->WorldMatrix(2), Translation(5, 1, 0));

    // A clean resource keeps its matrices even when the joints change.
    copy->joints[0].position[2] = 7.0f;
    copy->UpdateWorldMatrices();
    EXPECT_EQ(copy->WorldMatrix(0).m[11], 0.0f);
    copy->dirty = 1;
    copy->UpdateWorldMatrices();
    EXPECT_EQ(copy->WorldMatrix(2).m[11], 7.0f);
    copy->Release();
    scenic->ReleaseSkeleton();
}

TEST(CGmMeshResource, SkinsAVertexSharedByAStillAndATurnedJoint)
{
    EnsureSimd();
    // Joint 0 at the origin, joint 1 at (1, 0, 0); the vertex at (2, 0, 0)
    // weighted 0.5 / 0.5 with a normal along x. Turning joint 1 by 90 degrees
    // about z carries its copy of the vertex to (1, 1, 0) and the normal to
    // (0, 1, 0); the blend is (1.5, 0.5, 0) and (0.5, 0.5, 0).
    std::vector<GemeshJoint> joints = MakeChain(2);
    joints[1].position[0] = 1.0f;
    joints[1].position[1] = 0.0f;
    CGmMeshResource skeleton;
    ASSERT_TRUE(LoadGeMesh(skeleton, FileOver("s.xml", FromText(WriteSkeletonXml(joints)))));
    skeleton.SetPose(TurnOneJoint(skeleton, 1));

    // Indexed: two betas (one weight, then the index bytes), a normal, a
    // diffuse colour that must be copied through; a second vertex names a
    // joint beyond the skeleton and skins with the identity.
    const uint32_t flags = GE_VEF_XYZ | 0x8 | GE_VEF_LASTBETA_UBYTE4 | GE_VEF_NORMAL | GE_VEF_DIFFUSE;
    CGmMesh mesh;
    mesh.CreateBuffers(flags, 2, 2, 0);
    const GmVertexLayout& layout = mesh.vertexBuffer->Layout();
    ASSERT_EQ(layout.blendCount, 2u);
    const float position[3] = {2, 0, 0}, normal[3] = {1, 0, 0}, weight = 0.5f;
    const uint8_t indices[2][4] = {{0, 1, 0, 0}, {9, 9, 0, 0}};
    const uint32_t colour = 0xFF102030;
    for (uint32_t v = 0; v < 2; ++v) {
        uint8_t* p = mesh.vertexBuffer->GetData() + v * layout.stride;
        std::memcpy(p + layout.position, position, 12);
        std::memcpy(p + layout.blend, &weight, 4);
        std::memcpy(p + layout.lastBlend, indices[v], 4);
        std::memcpy(p + layout.normal, normal, 12);
        std::memcpy(p + layout.diffuse, &colour, 4);
    }
    CGmVertexBuffer target(flags & ~0x3Cu, 2);
    skeleton.SkinMeshVertices(mesh, target);
    const GmVertexLayout& out = target.Layout();
    float p[3], n[3];
    uint32_t c;
    std::memcpy(p, target.GetData() + out.position, 12);
    std::memcpy(n, target.GetData() + out.normal, 12);
    std::memcpy(&c, target.GetData() + out.diffuse, 4);
    EXPECT_NEAR(p[0], 1.5f, 1e-5f);
    EXPECT_NEAR(p[1], 0.5f, 1e-5f);
    EXPECT_NEAR(p[2], 0.0f, 1e-5f);
    EXPECT_NEAR(n[0], 0.5f, 1e-5f);
    EXPECT_NEAR(n[1], 0.5f, 1e-5f);
    EXPECT_EQ(c, colour);
    std::memcpy(p, target.GetData() + out.stride + out.position, 12);
    EXPECT_NEAR(p[0], 2.0f, 1e-6f);
    EXPECT_NEAR(p[1], 0.0f, 1e-6f);

    // Without index bytes, weight k belongs to joint k and the last joint
    // takes the rest: the same vertex, the same result.
    const uint32_t plain = GE_VEF_XYZ | 0x4 | GE_VEF_NORMAL;
    CGmMesh mesh2;
    mesh2.CreateBuffers(plain, 1, 2, 0);
    const GmVertexLayout& l2 = mesh2.vertexBuffer->Layout();
    uint8_t* q = mesh2.vertexBuffer->GetData();
    std::memcpy(q + l2.position, position, 12);
    std::memcpy(q + l2.blend, &weight, 4);
    std::memcpy(q + l2.normal, normal, 12);
    CGmVertexBuffer target2(plain & ~0x3Cu, 1);
    skeleton.SkinMeshVertices(mesh2, target2);
    std::memcpy(p, target2.GetData() + target2.Layout().position, 12);
    EXPECT_NEAR(p[0], 1.5f, 1e-5f);
    EXPECT_NEAR(p[1], 0.5f, 1e-5f);
}
