// The look-at processor on a skinned figure: the two speed tables, the head
// bone's world matrix while it turns and once it points at the target, the
// limits, the release back to the animated pose (also when nothing re-poses
// the skeleton), binding through the "ik_processor" tag; and the actor's
// look-at step that feeds it (in front, behind, too far, invisible, whose
// reach counts), end to end through a location's updates, letting go when the
// looked-at entity leaves the location.
#include "Source/GameClasses/QmPropIkProcessor.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

#include <cmath>
#include <cstring>

#include <tinyxml.h>

namespace {

const float kDegree = 0.017453292f;

Vec3 Column(const Matrix4& m, int c)
{
    return Vec3{m.At(0, c), m.At(1, c), m.At(2, c)};
}

void ExpectNear(const Vec3& expected, const Vec3& actual, float tolerance)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// Reads an entity tag into entity through the entity reader.
void ReadTags(CQmEntity* entity, const std::string& children)
{
    const std::string text = "<entity name=\"" + std::string(entity->name.c_str()) + "\">" + children + "</entity>";
    TiXmlDocument document;
    document.Parse(text.c_str());
    LoadEntity(document.RootElement(), false, entity);
}

class IkTest : public ScriptLocationTest {
protected:
    void TearDown() override
    {
        for (CQmEntity* entity : m_own)
            delete entity;
        ScriptLocationTest::TearDown();
    }

    // A figure with a chain skeleton of four joints, an animation controller
    // on its visual 0 and a look-at processor on bone 3 (the head), placed at
    // position and turned by yaw about the vertical.
    CQmEntity* Figure(const char* name, const Vec3& position = {0, 0, 0}, float yaw = 0.0f)
    {
        CQmEntity* entity = figure::MakeEntity(name, 4);
        ReadTags(entity, "<anim_controller/><ik_processor head_bone_index=\"3\"/>");
        entity->frame.SetPosition(position);
        entity->frame.SetAngles(Vec3{0.0f, yaw, 0.0f});
        entity->frame.UpdateWorldMatrix();
        return entity;
    }

    CQmEntity* Own(CQmEntity* entity)
    {
        m_own.push_back(entity);
        return entity;
    }

    static CQmPropIkProcessor* Ik(CQmEntity* e) { return e->Prop<CQmPropIkProcessor>(QM_PROP_IK_PROCESSOR); }

    // The head bone's world matrix in the scene.
    static Matrix4 HeadWorld(CQmEntity* e)
    {
        CQmPropIkProcessor* ik = Ik(e);
        return MatrixMultiply4x4(e->frame.world, ik->skeleton->WorldMatrix(uint32_t(ik->headBone)));
    }

    // A point 50 units along direction d given in the head bone's frame.
    static Vec3 InHeadFrame(CQmEntity* e, const Vec3& d)
    {
        return MatrixTransformPoint(HeadWorld(e), Vec3{d.x * 50.0f, d.y * 50.0f, d.z * 50.0f});
    }

    // Frames of seconds each through the processor alone.
    static void Frames(CQmPropIkProcessor* ik, int count, float seconds)
    {
        g_geTimer->delta = seconds;
        for (int i = 0; i < count; ++i)
            ik->Update();
    }

    std::vector<CQmEntity*> m_own;
};

// The direction that the vertical angle v and the horizontal angle h give
// to the head's z axis: first the turn about y, then the one about x.
Vec3 Aim(float v, float h)
{
    return Vec3{std::sin(v), -std::cos(v) * std::sin(h), std::cos(v) * std::cos(h)};
}

} // namespace

TEST_F(IkTest, SpeedsComeFromTheTablesSoBothAxesArriveTogether)
{
    struct Case {
        const char* what;
        float dv, dh;             // radians left on each axis
        float vertical, horizontal; // degrees a second
    };
    const Case cases[] = {
        {"20 and 5 degrees", 20 * kDegree, 5 * kDegree, 60.0f, 15.0f},
        {"exactly 10 degrees takes the second pair", 0.1745329f, 0.0f, 60.0f, 0.0f},
        {"just under 10 degrees", 0.17f, 0.0f, 36.0f, 0.0f},
        {"beyond the vertical table", 50 * kDegree, 10 * kDegree, 180.0f, 36.0f},
        {"horizontal leads", 5 * kDegree, 30 * kDegree, 20.0f, 120.0f},
        {"horizontal exactly 10 degrees", 0.0f, 0.1745329f, 0.0f, 120.0f},
        {"beyond the horizontal table", 0.0f, 100 * kDegree, 0.0f, 360.0f},
        {"equal distances: vertical leads", 30 * kDegree, 30 * kDegree, 90.0f, 90.0f},
        {"nothing left", 0.0f, 0.0f, 0.0f, 0.0f},
    };
    CQmPropIkProcessor ik(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Distances count either way round.
        ik.vertical.angle = 0.0f;
        ik.vertical.goal = -c.dv;
        ik.horizontal.angle = 0.0f;
        ik.horizontal.goal = c.dh;
        ik.vertical.speed = ik.horizontal.speed = 99.0f;
        ik.ChooseSpeeds();
        EXPECT_NEAR(c.vertical * kDegree, ik.vertical.speed, 1e-5f);
        EXPECT_NEAR(c.horizontal * kDegree, ik.horizontal.speed, 1e-5f);
    }
}

TEST_F(IkTest, TheHeadTurnsAtThoseSpeedsUntilItPointsAtTheTarget)
{
    CQmEntity* hero = Own(Figure("hero", Vec3{10.0f, 0.0f, -4.0f}, 0.7f));
    CQmPropIkProcessor* ik = Ik(hero);
    ASSERT_EQ(3, ik->headBone);
    // A bent neck, so the head's frame is neither the entity's nor the
    // skeleton root's.
    GmJointRecord& neck = ik->skeleton->joints[2];
    const Quat bend = {0.0f, 0.0f, std::sin(0.3f), std::cos(0.3f)};
    std::memcpy(neck.rotation, &bend, sizeof bend);
    ik->skeleton->dirty = 1;
    ik->skeleton->UpdateWorldMatrices();

    const Matrix4 rest = HeadWorld(hero);
    const Vec3 wanted = Aim(20 * kDegree, 5 * kDegree);
    const Vec3 target = InHeadFrame(hero, wanted);
    ik->LookAt(target);
    Frames(ik, 1, 0.1f);
    EXPECT_EQ(0, ik->lookActive);
    EXPECT_NEAR(20 * kDegree, ik->vertical.goal, 1e-5f);
    EXPECT_NEAR(5 * kDegree, ik->horizontal.goal, 1e-5f);
    EXPECT_NEAR(60 * kDegree, ik->vertical.speed, 1e-5f);
    EXPECT_NEAR(15 * kDegree, ik->horizontal.speed, 1e-5f);

    // After 0.1 s: 6 and 1.5 degrees, seen in the head bone's world matrix.
    Matrix4 world = HeadWorld(hero);
    ExpectNear(MatrixTransformNormal(rest, Aim(6 * kDegree, 1.5f * kDegree)), Column(world, 2), 1e-5f);
    ExpectNear(Column(rest, 3), Column(world, 3), 1e-5f);

    // Both arrive at 1/3 s, not past their goals; the head's z axis then
    // points at the target, and stays there while the target stays.
    Frames(ik, 2, 0.1f);
    EXPECT_LT(ik->vertical.angle, 20 * kDegree);
    Frames(ik, 1, 0.1f);
    EXPECT_EQ(ik->vertical.goal, ik->vertical.angle);
    EXPECT_EQ(ik->horizontal.goal, ik->horizontal.angle);
    for (int round = 0; round < 2; ++round) {
        world = HeadWorld(hero);
        const Vec3 toTarget = {target.x - world.At(0, 3), target.y - world.At(1, 3), target.z - world.At(2, 3)};
        const float length = toTarget.Length();
        ExpectNear(Vec3{toTarget.x / length, toTarget.y / length, toTarget.z / length}, Column(world, 2), 1e-5f);
        // Nothing re-poses this skeleton: the turn is not stacked again.
        Frames(ik, 5, 0.1f);
    }
}

TEST_F(IkTest, GoalsAreHeldWithinTheLimits)
{
    struct Case {
        const char* what;
        Vec3 direction; // in the head's frame
        float vertical, horizontal; // goals, degrees
    };
    const Case cases[] = {
        // Straight above the head (its x axis): the vertical limit, and the
        // horizontal part of a zero vector is a quarter turn, clamped.
        {"straight above", {1.0f, 0.0f, 0.0f}, 40.0f, -45.0f},
        {"below", Aim(-30 * kDegree, 0.0f), -16.0f, 0.0f},
        {"far to one side", Aim(0.0f, 70 * kDegree), 0.0f, 45.0f},
        {"far to the other", Aim(0.0f, -70 * kDegree), 0.0f, -45.0f},
        {"behind", {0.0f, 0.0f, -1.0f}, 0.0f, -45.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CQmEntity* hero = Own(Figure("hero"));
        CQmPropIkProcessor* ik = Ik(hero);
        ik->LookAt(InHeadFrame(hero, c.direction));
        Frames(ik, 1, 0.0f);
        EXPECT_NEAR(c.vertical * kDegree, ik->vertical.goal, 2e-5f);
        EXPECT_NEAR(c.horizontal * kDegree, ik->horizontal.goal, 2e-5f);
        Frames(ik, 40, 0.1f);
        EXPECT_EQ(ik->vertical.goal, ik->vertical.angle);
        EXPECT_EQ(ik->horizontal.goal, ik->horizontal.angle);
    }
}

TEST_F(IkTest, AReleasedHeadReturnsToTheAnimationExactly)
{
    for (bool animated : {true, false}) {
        SCOPED_TRACE(animated ? "the animation poses the head each frame" : "nothing re-poses the skeleton");
        CQmEntity* hero = Own(Figure("hero"));
        CQmPropIkProcessor* ik = Ik(hero);
        GmJointRecord& head = ik->skeleton->joints[3];
        Quat pose = {0.0f, 0.0f, 0.0f, 1.0f};
        std::memcpy(&pose, head.rotation, sizeof pose);
        // Stands in for the animation controller, which runs first.
        auto frame = [&](int f) {
            if (animated) {
                pose = Quat{std::sin(0.01f * f), 0.0f, 0.0f, std::cos(0.01f * f)};
                std::memcpy(head.rotation, &pose, sizeof pose);
                ik->skeleton->dirty = 1;
                ik->skeleton->UpdateWorldMatrices();
            }
            g_geTimer->delta = 0.05f;
            ik->Update();
        };
        int f = 0;
        ik->LookAt(InHeadFrame(hero, Aim(15 * kDegree, -20 * kDegree)));
        while (f < 10)
            frame(f++);
        EXPECT_NE(0.0f, ik->vertical.angle);
        EXPECT_NE(0, std::memcmp(head.rotation, &pose, sizeof pose)) << "turned";

        ik->Release();
        EXPECT_EQ(1, ik->released);
        EXPECT_EQ(0.0f, ik->vertical.goal);
        EXPECT_EQ(-1.0f, ik->vertical.sign);
        EXPECT_EQ(1.0f, ik->horizontal.sign);
        while (f < 40 && (ik->vertical.angle != 0.0f || ik->horizontal.angle != 0.0f))
            frame(f++);
        ASSERT_LT(f, 40);
        EXPECT_EQ(0, std::memcmp(head.rotation, &pose, sizeof pose));
        frame(f++);
        EXPECT_EQ(0, std::memcmp(head.rotation, &pose, sizeof pose));
        Matrix4 local = QuatToMatrix(pose);
        local.At(1, 3) = 1.0f;
        const Matrix4 expected = MatrixMultiply4x4(ik->skeleton->WorldMatrix(2), local);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(expected.m[i], ik->skeleton->WorldMatrix(3).m[i], 1e-6f) << i;
    }
}

TEST_F(IkTest, BindingNeedsTheControllersSkeletonAndABoneInIt)
{
    struct Case {
        const char* what;
        uint32_t joints;
        const char* tags;
        int32_t headBone;
    };
    const Case cases[] = {
        {"bone 3 of 4", 4, "<anim_controller/><ik_processor head_bone_index=\"3\"/>", 3},
        {"the default bone 0", 4, "<anim_controller/><ik_processor/>", 0},
        {"a bone past the skeleton", 4, "<anim_controller/><ik_processor head_bone_index=\"4\"/>", -1},
        {"a negative bone", 4, "<anim_controller/><ik_processor head_bone_index=\"-1\"/>", -1},
        {"no animation controller", 4, "<ik_processor head_bone_index=\"1\"/>", -1},
        {"no visual object", 0, "<ik_processor/>", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CQmEntity* entity = Own(figure::MakeEntity("e", c.joints));
        ReadTags(entity, c.tags);
        CQmPropIkProcessor* ik = Ik(entity);
        ASSERT_NE(nullptr, ik);
        EXPECT_EQ(1, ik->enabled);
        EXPECT_EQ(c.headBone, ik->headBone);
        EXPECT_EQ(c.headBone >= 0, ik->skeleton != nullptr);
        // Unbound, an update touches nothing.
        ik->LookAt(Vec3{0.0f, 0.0f, 100.0f});
        Frames(ik, 1, 0.1f);
        EXPECT_EQ(c.headBone >= 0 ? 0 : 1, ik->lookActive);
    }
}

TEST_F(IkTest, TheActorsLookAtStepGivesTheTargetOrReleasesTheHead)
{
    struct Case {
        const char* what;
        Vec3 lamp;
        std::vector<uint32_t> lampSlots; // probes, switched on
        int offSlot;                     // a probe switched off; -1 none
        float lampReach;                 // the lamp's actor's reach; 0: no actor
        bool processorOn;
        const char* outcome; // "look", "release" or "none"
    };
    const Case cases[] = {
        {"in front, near, shown", {100, 0, 30}, {10}, -1, 0, true, "look"},
        {"behind", {-100, 0, 30}, {10}, -1, 0, true, "release"},
        {"square to the side", {0, 0, 100}, {10}, -1, 0, true, "release"},
        {"beyond the hero's reach", {520, 0, 0}, {10}, -1, 0, true, "release"},
        {"within the lamp's own longer reach", {520, 0, 0}, {10}, -1, 1000, true, "look"},
        {"beyond the lamp's own shorter reach", {150, 0, 0}, {10}, -1, 100, true, "release"},
        {"its visual object is off", {100, 0, 0}, {10, 6}, 10, 0, true, "release"},
        {"no visual object: the attachment points count", {100, 0, 0}, {6}, -1, 0, true, "look"},
        {"no visual object, points off", {100, 0, 0}, {6}, 6, 0, true, "release"},
        {"only an actor, switched on", {100, 0, 0}, {}, -1, 300, true, "look"},
        {"nothing that shows", {100, 0, 0}, {}, -1, 0, true, "release"},
        {"the processor is off", {100, 0, 0}, {10}, -1, 0, false, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CQmEntity* hero = figure::MakeEntity("hero", 0);
        location->AddNamedObject(hero->name, hero, false);
        auto* actor = new CQmPropActor(hero);
        hero->SetProp(QM_PROP_ACTOR, actor);
        actor->SetEnabled(true);
        auto* ik = new CQmPropIkProcessor(hero);
        hero->SetProp(QM_PROP_IK_PROCESSOR, ik);

        auto* lamp = new CQmEntity;
        lamp->name = "lamp";
        for (uint32_t slot : c.lampSlots) {
            lamp->SetProp(slot, new ProbeProp(lamp, slot));
            lamp->props[slot]->enabled = int(slot) == c.offSlot ? 0 : 1;
        }
        if (c.lampReach > 0.0f) {
            auto* lampActor = new CQmPropActor(lamp);
            lampActor->maxLookAtDist = c.lampReach;
            lampActor->enabled = 1;
            lamp->SetProp(QM_PROP_ACTOR, lampActor);
        }
        lamp->frame.SetPosition(c.lamp);
        lamp->frame.UpdateWorldMatrix();
        location->AddNamedObject(lamp->name, lamp, false);

        actor->SetLookAtAllocator("lamp", "_entity_");
        ASSERT_EQ(&lamp->frame.world, actor->lookAtMatrix);
        ik->SetEnabled(c.processorOn);
        ik->released = 0;
        ik->lookActive = 0;
        actor->Update();
        const std::string outcome = ik->lookActive ? "look" : ik->released ? "release" : "none";
        EXPECT_EQ(c.outcome, outcome);
        if (ik->lookActive)
            ExpectNear(c.lamp, ik->target, 0.0f);
        location->RemoveEntity("lamp");
        location->RemoveEntity("hero");
    }
}

TEST_F(IkTest, ThroughTheLocationTheHeadFollowsAnAttachmentPointAndLetsGo)
{
    CQmEntity* hero = Figure("hero");
    location->AddNamedObject(hero->name, hero, false);
    auto* actor = new CQmPropActor(hero);
    hero->SetProp(QM_PROP_ACTOR, actor);
    actor->SetEnabled(true);
    // The lamp's "head" hangs 3 above it; the hero's head is at 3 as well.
    CQmEntity* lamp = figure::MakeEntity("lamp", 0);
    ReadTags(lamp, "<allocator_list><allocator name=\"head\" transform=\"0 3 0\"/></allocator_list>");
    lamp->frame.SetPosition(Vec3{100.0f, 0.0f, 100.0f});
    location->AddNamedObject(lamp->name, lamp, false);

    actor->SetLookAtAllocator("lamp", "head");
    const CQmAllocator* point = lamp->Prop<CQmPropAllocatorList>(QM_PROP_ALLOCATOR_LIST)->Find("head");
    ASSERT_EQ(&point->world, actor->lookAtMatrix);
    for (int i = 0; i < 20; ++i)
        Tick(*location, 0.1);
    // 45 degrees toward the head's x axis is past the vertical limit.
    ExpectNear(Aim(40 * kDegree, 0.0f), Column(HeadWorld(hero), 2), 1e-5f);
    ExpectNear(Vec3{100.0f, 3.0f, 100.0f}, Column(point->world, 3), 1e-5f);

    // Behind the hero now: released, the head swings back to rest.
    lamp->frame.SetPosition(Vec3{-100.0f, 0.0f, 100.0f});
    for (int i = 0; i < 20; ++i)
        Tick(*location, 0.1);
    EXPECT_EQ(1, Ik(hero)->released);
    ExpectNear(Vec3{0.0f, 0.0f, 1.0f}, Column(HeadWorld(hero), 2), 0.0f);

    // In front again, then taken out of the location: the head lets go.
    lamp->frame.SetPosition(Vec3{100.0f, 0.0f, 100.0f});
    for (int i = 0; i < 20; ++i)
        Tick(*location, 0.1);
    EXPECT_EQ(0, Ik(hero)->released);
    location->RemoveEntity("lamp");
    EXPECT_EQ(nullptr, actor->lookAtMatrix);
    EXPECT_EQ(1, Ik(hero)->released);
    for (int i = 0; i < 20; ++i)
        Tick(*location, 0.1);
    ExpectNear(Vec3{0.0f, 0.0f, 1.0f}, Column(HeadWorld(hero), 2), 0.0f);
}
