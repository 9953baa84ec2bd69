// The ragdoll property: its file (bodies, shapes, skipped entries, the angle
// orders), binding on the first update, bodies that follow their bones over
// a playing track against a chain computed here from the player's keys, the
// collision world's group, and the reader.
#include "Source/GameClasses/QmPropRagdoll.h"
#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Physics/GeCollisionGeom.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <tinyxml.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace animwrite;

namespace {

constexpr uint32_t kJoints = 3;

// Body 0 on the root with a sphere lifted by 5; body 1 on the last bone with
// a capsule turned a quarter about z; a box on a bone the skeleton lacks;
// then bodies the reader skips.
const char* const kRagdoll = R"(<ragdoll>
  <body bone_index="0"><geom type="sphere" radius="4" pos="0 5 0"/></body>
  <body bone_index="2"><geom type="capsule" height="6" radius="1" pos="1 0 0" rot_euler="0 0 90"/>
                       <geom type="plane"/><geom radius="3"/></body>
  <body bone_index="7"><geom type="box" size="1 2 3"/></body>
  <body><geom type="sphere" radius="1"/></body>
  <body bone_index="-1"><geom type="sphere" radius="1"/></body>
  <body bone_index="1"><geom type="plane"/><geom type="sphere" radius="0"/></body>
</ragdoll>)";

class RagdollTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        tree.dir.Write("physics/man.xml", kRagdoll);
        ASSERT_TRUE(LoadGeMesh(skeleton, meshfixture::FileOver("man.xml", FromText(WriteSkeletonXml(
                                                                                MakeChain(kJoints))))));
    }

    // An entity with a visual object whose visual carries a copy of the
    // skeleton, and an animation controller for that visual.
    std::unique_ptr<CQmEntity> Figure(bool withController = true)
    {
        auto entity = std::make_unique<CQmEntity>();
        entity->name = "man";
        auto* visuals = new CQmPropVisualObject(entity.get());
        auto* mesh = new CGmScenicMesh;
        mesh->skeleton = skeleton.CloneSkeleton();
        visuals->visuals.Add(mesh);
        entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        visuals->enabled = 1;
        if (withController)
            AddController(*entity);
        return entity;
    }

    static CQmPropAnimController* AddController(CQmEntity& entity)
    {
        auto* controller = new CQmPropAnimController(&entity, 0);
        entity.SetProp(QM_PROP_ANIM_CONTROLLER, controller);
        controller->SetEnabled(true);
        return controller;
    }

    CGmMeshResource skeleton;
};

Matrix4 Local(const CGeJointKey& key)
{
    Matrix4 m = QuatToMatrix(key.rotation);
    m.m[3] = key.position.x;
    m.m[7] = key.position.y;
    m.m[11] = key.position.z;
    return m;
}

void ExpectNear(const Vec3& want, const Vec3& got, const char* what, int frame)
{
    EXPECT_NEAR(want.x, got.x, 1e-3f) << what << " frame " << frame;
    EXPECT_NEAR(want.y, got.y, 1e-3f) << what << " frame " << frame;
    EXPECT_NEAR(want.z, got.z, 1e-3f) << what << " frame " << frame;
}

} // namespace

TEST_F(RagdollTest, TheFileGivesBodiesOnValidBonesWithTheirShapes)
{
    const uint32_t worldGroups = g_collisionWorld.childCount;
    {
        CQmEntity entity;
        CQmPropRagdoll ragdoll(&entity);
        ragdoll.LoadFromXML("physics/man.xml");
        // Bones 0, 2 and 7; the body on bone 1 has no usable shape.
        ASSERT_EQ(3u, ragdoll.bodies.count);
        EXPECT_EQ(0u, ragdoll.bodies[0].boneIndex);
        EXPECT_EQ(2u, ragdoll.bodies[1].boneIndex);
        EXPECT_EQ(7u, ragdoll.bodies[2].boneIndex);
        ASSERT_EQ(3u, ragdoll.geoms.count);
        EXPECT_EQ(uint32_t(GEOM_SPHERE), ragdoll.geoms[0]->type);
        EXPECT_EQ(5.0f, ragdoll.geoms[0]->localPosition.y);
        auto* capsule = static_cast<CGeCollisionGeomCapsule*>(ragdoll.geoms[1]);
        EXPECT_EQ(uint32_t(GEOM_CAPSULE), capsule->type);
        EXPECT_EQ(6.0f, capsule->length);
        // 90 means a quarter turn: the capsule's x axis lies along y.
        EXPECT_NEAR(1.0f, capsule->localRotation[0].y, 1e-6f);
        EXPECT_EQ(uint32_t(GEOM_BOX), ragdoll.geoms[2]->type);
        EXPECT_EQ(&ragdoll.group, ragdoll.bodies[0].body->group);
        EXPECT_EQ(&g_collisionWorld, ragdoll.group.parent);
        EXPECT_EQ(worldGroups + 1, g_collisionWorld.childCount);

        // Reading again replaces everything; a missing file or another root
        // leaves the property empty and out of the world.
        ragdoll.LoadFromXML("physics/man.xml");
        EXPECT_EQ(3u, ragdoll.bodies.count);
        EXPECT_EQ(worldGroups + 1, g_collisionWorld.childCount);
        tree.dir.Write("physics/other.xml", "<cloth><body bone_index=\"0\"/></cloth>");
        for (const char* file : {"physics/none.xml", "physics/other.xml"}) {
            ragdoll.LoadFromXML(file);
            EXPECT_EQ(0u, ragdoll.bodies.count) << file;
            EXPECT_EQ(0u, ragdoll.geoms.count) << file;
            EXPECT_EQ(nullptr, ragdoll.group.parent) << file;
        }
        ragdoll.LoadFromXML("physics/man.xml");
    }
    EXPECT_EQ(worldGroups, g_collisionWorld.childCount) << "the destructor takes the group out";
}

TEST_F(RagdollTest, OnlyXyzChoosesTheOtherAngleOrder)
{
    const char* orders[] = {" euler_type=\"ZXY\"", " euler_type=\"zyx\"", "", " euler_type=\"XYZ\""};
    Vec3 axes[4][3];
    for (int i = 0; i < 4; ++i) {
        tree.dir.Write("physics/turn.xml", std::string("<ragdoll><body bone_index=\"0\"><geom type=\"box\" "
                                                       "size=\"1 1 1\" rot_euler=\"30 60 90\"") +
                                               orders[i] + "/></body></ragdoll>");
        CQmEntity entity;
        CQmPropRagdoll ragdoll(&entity);
        ragdoll.LoadFromXML("physics/turn.xml");
        ASSERT_EQ(1u, ragdoll.geoms.count);
        for (int r = 0; r < 3; ++r)
            axes[i][r] = ragdoll.geoms[0]->localRotation[r];
    }
    for (int i = 1; i < 3; ++i)
        for (int r = 0; r < 3; ++r)
            EXPECT_TRUE(Vec3::EqualsWithin(axes[0][r], axes[i][r], 1e-6f)) << orders[i];
    EXPECT_FALSE(Vec3::EqualsWithin(axes[0][0], axes[3][0], 1e-3f) &&
                 Vec3::EqualsWithin(axes[0][1], axes[3][1], 1e-3f));
}

TEST_F(RagdollTest, BodiesFollowTheirBonesOverAThousandFramesOfAPlayingTrack)
{
    TrackSpec spec = MakeTrack(20, kJoints, 10.0f);
    spec.looped = 1;
    CGeJointsKeySequence track;
    const Bytes text = FromText(WriteTrackXml(spec));
    ASSERT_TRUE(LoadJointsAnimTrack(track, meshfixture::FileOver("walk.xml", text)));

    // The figure stands in its looping track, started at once.
    std::unique_ptr<CQmEntity> entity = Figure();
    auto* controller = entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    ASSERT_NE(nullptr, controller->jointController);
    controller->defaultSequences[CQmPropAnimController::kChannels - 1] = &track;
    controller->PlaySequence(0.0f);
    auto* ragdoll = new CQmPropRagdoll(entity.get());
    ragdoll->LoadFromXML("physics/man.xml");
    entity->SetProp(QM_PROP_RAGDOLL, ragdoll);
    ragdoll->SetEnabled(true);
    CGeCollisionGeom* sphere = ragdoll->geoms[0];
    CGeCollisionGeom* capsule = ragdoll->geoms[1];
    CGeCollisionGeom* box = ragdoll->geoms[2];

    float turned = 0.0f;
    for (int frame = 0; frame < 1000; ++frame) {
        m_clock.ticks += 40;
        m_timer.Update();
        // The entity walks and turns while the track plays.
        entity->frame.SetPosition({float(frame) * 0.5f, 10.0f, -3.0f});
        entity->frame.SetAngles({0.0f, float(frame) * 0.01f, 0.0f});
        entity->frame.Invalidate();
        // The controller poses the skeleton with the keys its players hold
        // when the frame's update starts: the chain from those keys, the
        // root's pose, then each child turned and moved in its parent's frame.
        Matrix4 chain[kJoints];
        for (uint32_t j = 0; j < kJoints; ++j) {
            CGeJointKey key;
            controller->jointController->GetJointKey(key, j);
            chain[j] = j ? MatrixMultiply4x4(chain[j - 1], Local(key)) : Local(key);
        }
        entity->Update();
        if (frame == 0) {
            EXPECT_TRUE(ragdoll->IsBound());
            EXPECT_EQ(0.0f, sphere->worldPosition.y) << "the first update only binds";
            continue;
        }
        const Matrix4 root = MatrixMultiply4x4(entity->frame.world, chain[0]);
        const Matrix4 tip = MatrixMultiply4x4(entity->frame.world, chain[2]);
        ExpectNear(MatrixTransformPoint(root, {0.0f, 5.0f, 0.0f}), sphere->worldPosition, "sphere", frame);
        ExpectNear(MatrixTransformPoint(tip, {1.0f, 0.0f, 0.0f}), capsule->worldPosition, "capsule", frame);
        // The capsule's axis: local x turned a quarter onto y, then the bone.
        const Vec3 axis = MatrixTransformNormal(tip, {0.0f, 1.0f, 0.0f});
        ExpectNear(axis, capsule->worldRotation[0], "capsule axis", frame);
        turned = std::max(turned, std::fabs(chain[0].At(1, 0)));
        if (HasFailure())
            break;
    }
    EXPECT_GT(turned, 0.9f) << "the track turned the root through its frames";
    EXPECT_EQ(0.0f, box->worldPosition.x) << "a bone beyond the skeleton never moves";
    EXPECT_EQ(0.0f, box->worldPosition.y);
}

TEST_F(RagdollTest, WithoutControllerOrSkeletonItStaysUnboundAndTriesEachFrame)
{
    std::unique_ptr<CQmEntity> entity = Figure(false);
    auto* ragdoll = new CQmPropRagdoll(entity.get());
    ragdoll->LoadFromXML("physics/man.xml");
    entity->SetProp(QM_PROP_RAGDOLL, ragdoll);
    ragdoll->SetEnabled(true);
    entity->frame.SetPosition({100.0f, 0.0f, 0.0f});
    entity->Update();
    entity->Update();
    EXPECT_FALSE(ragdoll->IsBound());
    EXPECT_EQ(0.0f, ragdoll->geoms[0]->worldPosition.x);
    // The controller arrives: one frame binds, the next one poses.
    AddController(*entity);
    entity->Update();
    EXPECT_TRUE(ragdoll->IsBound());
    EXPECT_EQ(0.0f, ragdoll->geoms[0]->worldPosition.x);
    entity->Update();
    EXPECT_NEAR(100.0f, ragdoll->geoms[0]->worldPosition.x, 1e-4f);
}

TEST_F(RagdollTest, TheReaderLoadsTheNamedFileAndSwitchesItOn)
{
    const struct {
        const char* element;
        uint32_t bodies;
    } cases[] = {
        {"<ragdoll file=\"physics/man.xml\"/>", 3},
        {"<ragdoll file=\"physics/missing.xml\"/>", 0},
        {"<ragdoll/>", 0},
    };
    for (const auto& c : cases) {
        TiXmlDocument document;
        document.Parse((std::string("<entity name=\"man\">") + c.element + "</entity>").c_str());
        std::unique_ptr<CQmEntity> entity(LoadEntity(document.RootElement(), false, nullptr));
        auto* ragdoll = entity->Prop<CQmPropRagdoll>(QM_PROP_RAGDOLL);
        ASSERT_NE(nullptr, ragdoll) << c.element;
        EXPECT_EQ(c.bodies, ragdoll->bodies.count) << c.element;
        EXPECT_EQ(1, ragdoll->enabled) << c.element;
    }
}
