// Attachment points: world matrices worked out by hand (on the entity, on a
// bone, attached), the "allocator_list" reader, an entity carried by another
// (following a moved carrier and an animated bone, whichever entity updates
// first), detaching back to the entity's own placement, five children on one
// point and what destroying either side leaves behind.
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "tests/Source/GameClasses/FigureFixtures.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include <tinyxml.h>

namespace {

const float kQuarter = 1.5707964f;

void ExpectMatrixNear(const Matrix4& expected, const Matrix4& actual, float tolerance)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected.m[i], actual.m[i], tolerance) << "element " << i;
}

Vec3 Translation(const Matrix4& m)
{
    return Vec3{m.At(0, 3), m.At(1, 3), m.At(2, 3)};
}

void ExpectNear(const Vec3& expected, const Vec3& actual, float tolerance)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

Matrix4 Offset(const Vec3& position, const Vec3& angles = {0, 0, 0})
{
    Matrix4 m = MatrixFromEulerAngles(angles, EULER_ZYX);
    m.At(0, 3) += position.x;
    m.At(1, 3) += position.y;
    m.At(2, 3) += position.z;
    return m;
}

using EntityPtr = std::unique_ptr<CQmEntity>;

// A figure of four chain joints (joint i at height i) or, with joints 0, a
// plain entity, placed and turned, with an enabled allocator list.
EntityPtr Carrier(const char* name, uint32_t joints, const Vec3& position, const Vec3& angles = {0, 0, 0})
{
    EntityPtr entity(figure::MakeEntity(name, joints));
    entity->frame.SetPosition(position);
    entity->frame.SetAngles(angles);
    entity->frame.UpdateWorldMatrix();
    auto* list = new CQmPropAllocatorList(entity.get());
    list->SetEnabled(true);
    entity->SetProp(QM_PROP_ALLOCATOR_LIST, list);
    return entity;
}

CQmPropAllocatorList* List(const EntityPtr& e)
{
    return e->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST);
}

CQmAllocator* AddPoint(const EntityPtr& e, const char* name, const Matrix4& offset, int32_t bone = -1)
{
    auto* point = new CQmAllocator(e.get(), offset);
    point->bone = bone;
    EXPECT_TRUE(List(e)->Insert(name, point));
    return point;
}

} // namespace

TEST(CQmAllocator, WorldMatricesWorkedOutByHand)
{
    // The hero stands at (10, 0, 0) turned a quarter about y: his x axis
    // points along -z, his z axis along +x.
    EntityPtr hero = Carrier("hero", 4, Vec3{10, 0, 0}, Vec3{0, kQuarter, 0});
    EntityPtr post = Carrier("post", 0, Vec3{100, 0, 0});
    CQmAllocator* free = AddPoint(hero, "belt", Offset({1, 2, 3}));
    CQmAllocator* onBone = AddPoint(hero, "hand", Offset({1, 2, 3}), 2);
    CQmAllocator* hook = AddPoint(post, "hook", Offset({0, 5, 0}));
    EntityPtr lamp = Carrier("lamp", 0, Vec3{-7, 0, 0});
    CQmAllocator* ring = AddPoint(lamp, "ring", Offset({1, 0, 0}, {0, 0, kQuarter}));
    ring->AttachEntity(hook);
    List(post)->Update();
    List(hero)->Update();
    List(lamp)->Update();

    struct Case {
        const char* what;
        const CQmAllocator* point;
        Vec3 position, xAxis;
    };
    const Case cases[] = {
        // (1, 2, 3) turned: (3, 2, -1), plus the hero's place.
        {"on the entity", free, {13, 2, -1}, {0, 0, -1}},
        // Bone 2 stands 2 above the root: (1, 4, 3) turned.
        {"on a bone", onBone, {13, 4, -1}, {0, 0, -1}},
        {"the carrier's point", hook, {100, 5, 0}, {1, 0, 0}},
        // Attached: its offset, then the hook's world, a quarter about z
        // turning x into y.
        {"attached", ring, {101, 5, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectNear(c.position, Translation(c.point->world), 1e-5f);
        ExpectNear(c.xAxis, Vec3{c.point->world.At(0, 0), c.point->world.At(1, 0), c.point->world.At(2, 0)}, 1e-6f);
    }
}

TEST(CQmAllocator, TheReaderTakesNamedPointsOnceAndBonesOnlyInTheSkeleton)
{
    EntityPtr hero(figure::MakeEntity("hero", 4));
    TiXmlDocument document;
    document.Parse("<allocator_list>"
                   "<allocator name=\"head\" transform=\"0 50 0 0 90 0\" bone=\"3\"/>"
                   "<allocator name=\"hand\" transform=\"1 2 3\"/>"
                   "<allocator name=\"head\" transform=\"9 9 9\"/>"
                   "<allocator transform=\"1 1 1\"/>"
                   "<allocator name=\"\"/>"
                   "<allocator name=\"tail\" bone=\"4\"/>"
                   "<allocator name=\"heel\" bone=\"-2\"/>"
                   "<other name=\"nose\"/>"
                   "</allocator_list>");
    LoadProperty_AllocatorList(*hero, document.RootElement());
    CQmPropAllocatorList* list = hero->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(1, list->enabled);

    std::string order;
    for (auto* node = list->allocators.first; node; node = list->allocators.Next(node))
        order += std::string(node->key.c_str()) + " ";
    EXPECT_EQ("hand head heel tail ", order);

    struct Case {
        const char* name;
        int32_t bone;
        Matrix4 offset;
    };
    const Case cases[] = {
        {"head", 3, Offset({0, 50, 0}, {0, 90 * 0.017453292f, 0})},
        {"hand", -1, Offset({1, 2, 3})},
        {"tail", -1, Matrix4::Identity()},
        {"heel", -1, Matrix4::Identity()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CQmAllocator* point = list->Find(c.name);
        ASSERT_NE(nullptr, point);
        EXPECT_EQ(c.bone, point->bone);
        EXPECT_EQ(hero.get(), point->owner);
        ExpectMatrixNear(c.offset, point->offset, 1e-6f);
        ExpectMatrixNear(Matrix4::Identity(), MatrixMultiply4x4(point->offset, point->inverseOffset), 1e-5f);
    }
    EXPECT_EQ(nullptr, list->Find(""));
    EXPECT_EQ(nullptr, list->Find("nose"));

    // Without a skeleton no bone is taken; without points no property.
    EntityPtr crate(figure::MakeEntity("crate", 0));
    document.Clear();
    document.Parse("<allocator_list><allocator name=\"lid\" bone=\"0\"/></allocator_list>");
    LoadProperty_AllocatorList(*crate, document.RootElement());
    EXPECT_EQ(-1, crate->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST)->Find("lid")->bone);
    for (const char* empty : {"<allocator_list/>", "<allocator_list><point name=\"a\"/></allocator_list>"}) {
        EntityPtr bare(figure::MakeEntity("bare", 0));
        document.Clear();
        document.Parse(empty);
        LoadProperty_AllocatorList(*bare, document.RootElement());
        EXPECT_EQ(nullptr, bare->GetProp(QM_PROP_ALLOCATOR_LIST)) << empty;
    }
}

TEST(CQmAllocator, AnAttachedEntityIsCarriedAndDetachingRestoresItsPlacement)
{
    EntityPtr hero = Carrier("hero", 4, Vec3{10, 0, -3}, Vec3{0, 0.6f, 0});
    CQmAllocator* hand = AddPoint(hero, "hand", Offset({0.5f, 0, 0}, {0.2f, 0, 0}), 2);
    EntityPtr sword = Carrier("sword", 0, Vec3{4, 5, 6}, Vec3{0.3f, 0, 0});
    sword->frame.SetScale(Vec3{2, 2, 2});
    CQmAllocator* grip = AddPoint(sword, "grip", Offset({0, -1, 0}, {0, 0, kQuarter}));

    grip->AttachEntity(hand);
    EXPECT_EQ(hand, grip->parent);
    ASSERT_EQ(1u, hand->children.Count());
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_FIXED), sword->frame.composeMode);

    // The grip, where the sword now is, meets the hand. The sword updates
    // before the hero, and the hero moved and the bone turned in between.
    auto expectCarried = [&] {
        sword->Update();
        hero->Update();
        sword->frame.UpdateWorldMatrix();
        const Matrix4 gripInScene = MatrixMultiply4x4(sword->frame.world, grip->offset);
        ExpectMatrixNear(hand->ComputeWorld(), gripInScene, 1e-4f);
    };
    expectCarried();
    hero->frame.SetPosition(Vec3{-20, 1, 8});
    expectCarried();
    CGmMeshResource* skeleton = hand->skeleton;
    ASSERT_NE(nullptr, skeleton);
    const Quat turned = {std::sin(0.4f), 0.0f, 0.0f, std::cos(0.4f)};
    std::memcpy(skeleton->joints[1].rotation, &turned, sizeof turned);
    skeleton->dirty = 1;
    skeleton->UpdateWorldMatrices();
    expectCarried();
    // The editor's move of the grip carries the sword along at once.
    grip->SetTransform(Vec3{0, -2, 0}, Vec3{0, 0, 45});
    sword->frame.UpdateWorldMatrix();
    ExpectMatrixNear(hand->ComputeWorld(), MatrixMultiply4x4(sword->frame.world, grip->offset), 1e-4f);

    // Detached: the sword's own position, angles and scale place it again.
    grip->AttachEntity(nullptr);
    EXPECT_EQ(nullptr, grip->parent);
    EXPECT_EQ(0u, hand->children.Count());
    sword->frame.UpdateWorldMatrix();
    CGeFrame3D own;
    own.SetPosition(Vec3{4, 5, 6});
    own.SetAngles(Vec3{0.3f, 0, 0});
    own.SetScale(Vec3{2, 2, 2});
    own.UpdateWorldMatrix();
    ExpectMatrixNear(own.world, sword->frame.world, 1e-6f);

    // Leaving the location detaches the same way.
    grip->AttachEntity(hand);
    List(sword)->DetachAll();
    EXPECT_EQ(nullptr, grip->parent);
    EXPECT_EQ(0u, hand->children.Count());
    EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), sword->frame.composeMode);
}

TEST(CQmAllocator, EveryChildIsListedSoDestroyingEitherSideLeavesNoLink)
{
    EntityPtr rack = Carrier("rack", 0, Vec3{0, 0, 0});
    CQmAllocator* hook = AddPoint(rack, "hook", Matrix4::Identity());
    std::vector<EntityPtr> rings;
    for (int i = 0; i < 6; ++i) {
        rings.push_back(Carrier("ring", 0, Vec3{float(i), 0, 0}));
        AddPoint(rings.back(), "eye", Matrix4::Identity())->AttachEntity(hook);
    }
    // A fifth and sixth child are listed like the first four.
    ASSERT_EQ(6u, hook->children.Count());
    for (const EntityPtr& ring : rings)
        EXPECT_EQ(hook, List(ring)->Find("eye")->parent);

    // A child destroyed first leaves the list.
    rings.erase(rings.begin() + 4);
    EXPECT_EQ(5u, hook->children.Count());
    // Attaching again to the same point lists a child once.
    List(rings[0])->Find("eye")->AttachEntity(hook);
    EXPECT_EQ(5u, hook->children.Count());

    // The carrier destroyed: every child is free and placed by its own frame.
    rack.reset();
    for (const EntityPtr& ring : rings) {
        const CQmAllocator* eye = List(ring)->Find("eye");
        EXPECT_EQ(nullptr, eye->parent);
        EXPECT_EQ(uint32_t(CGeFrame3D::COMPOSE_EULER), ring->frame.composeMode);
        ring->Update();
    }
    // Attached to itself: free.
    CQmAllocator* eye = List(rings[0])->Find("eye");
    eye->AttachEntity(eye);
    EXPECT_EQ(nullptr, eye->parent);
    EXPECT_EQ(0u, eye->children.Count());
}

TEST(CQmAllocator, TheEntityReaderBuildsBothTags)
{
    EntityPtr hero(figure::MakeEntity("hero", 4));
    TiXmlDocument document;
    document.Parse("<entity name=\"hero\"><allocator_list><allocator name=\"hand\" bone=\"2\"/></allocator_list>"
                   "<anim_controller/><ik_processor head_bone_index=\"3\"/></entity>");
    LoadEntity(document.RootElement(), false, hero.get());
    const CQmPropAllocatorList* list = List(hero);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(1, list->enabled);
    EXPECT_EQ(2, list->Find("hand")->bone);
    const CQmProp* ik = hero->GetProp(QM_PROP_IK_PROCESSOR);
    ASSERT_NE(nullptr, ik);
    EXPECT_EQ(1, ik->enabled);
}
