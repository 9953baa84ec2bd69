// The sprite reader and the entity reader: frame sources, sequences and
// their modes, the tag table, the visual object's layer rule, colliders from
// each shape attribute, duplicate entities and replaced properties, and the
// track catalogue's references.
#include "Source/GameClasses/QmEntityLoader.h"
#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmSprite.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Source/GameClasses/LocationFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"

#include <tinyxml.h>

using namespace locwriter;

namespace {

class EntityLoaderTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        WriteSharedFiles(tree.dir.Path());
        QmAnimInstallMakers();
        g_pGmResCollector = &collector;
        g_pGmLayers = &layers;
        CreateActiveColliders();
        location = std::make_unique<CQmLocation>("here");
        g_loadingLocation = location.get();
    }

    void TearDown() override
    {
        g_loadingLocation = nullptr;
        location.reset();
        DestroyActiveColliders();
        g_pGmLayers = nullptr;
        CQmUnifiedCollector::ClearTracks();
        g_pGmResCollector = nullptr;
        LocationTest::TearDown();
    }

    // The first element of text, read by the sprite reader.
    std::unique_ptr<CGmVisual2D> ReadSprite(const std::string& text, bool registered = false)
    {
        TiXmlDocument document;
        document.Parse(text.c_str());
        return std::unique_ptr<CGmVisual2D>(LoadSprite(document.RootElement(), registered));
    }

    CQmEntity* Read(const std::string& text)
    {
        TiXmlDocument document;
        document.Parse(text.c_str());
        return LoadEntity(document.RootElement(), true, nullptr);
    }

    uint32_t InLayers() const
    {
        uint32_t count = 0;
        for (const auto& layer : layers.layers)
            count += layer.count;
        return count;
    }

    CGmResCollector collector;
    CGmLayers layers;
    std::unique_ptr<CQmLocation> location;
};

const std::string kRed = std::string("image=\"") + kRedPicture + "\"";

} // namespace

TEST_F(EntityLoaderTest, SpriteFrameSourcesInTheirOrder)
{
    struct Case {
        std::string element;
        bool made;
        uint32_t kind, frames;
        bool anim;
    };
    const std::string list = std::string("imagelist=\"") + kImageList + "\"";
    const std::string strip = std::string("image=\"") + kStripPicture + "\"";
    const Case cases[] = {
        {"<sprite2d " + list + " " + kRed + "/>", true, CGmImageSet::KIND_LIST, 2, false},
        {"<sprite2d " + strip + " totalframes=\"4\" framesperline=\"4\"/>", true, CGmImageSet::KIND_GRID, 4, false},
        {"<sprite2d " + strip + " totalframes=\"0\" framesperline=\"-3\"/>", true, CGmImageSet::KIND_GRID, 1, false},
        {"<sprite2d " + strip + " rect=\"2 0 6.9 2\"/>", true, CGmImageSet::KIND_RECT, 1, false},
        // A sprite in the scene cuts by frames and ignores "rect".
        {"<sprite3d " + strip + " rect=\"2 0 6 2\" totalframes=\"2\"/>", true, CGmImageSet::KIND_GRID, 2, true},
        {"<sprite2d_glow " + kRed + "/>", true, CGmImageSet::KIND_GRID, 1, false},
        {"<sprite2d videotrack=\"missing.ogv\"/>", true, CGmImageSet::KIND_PLAIN, 1, false},
        {"<sprite2d name=\"x\" pos=\"1 2 3\"/>", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        auto sprite = ReadSprite(c.element);
        ASSERT_EQ(c.made, sprite != nullptr) << c.element;
        if (!sprite)
            continue;
        EXPECT_EQ(c.kind, sprite->imageSet.kind) << c.element;
        EXPECT_EQ(c.frames, sprite->imageSet.frameCount) << c.element;
        EXPECT_EQ(c.anim, dynamic_cast<CQmAnimSprite*>(sprite.get()) != nullptr) << c.element;
        EXPECT_EQ(!c.anim, dynamic_cast<CQmSprite*>(sprite.get()) != nullptr) << c.element;
        EXPECT_EQ(1u, sprite->blendMode) << c.element;
    }
    auto rect = ReadSprite("<sprite2d " + std::string("image=\"") + kStripPicture + "\" rect=\"2 0 6.9 2\"/>");
    EXPECT_FLOAT_EQ(4.0f, rect->imageSet.framePixelSize[0]);
}

TEST_F(EntityLoaderTest, SpritePlacementSizeHotPointAndSequences)
{
    auto sprite = ReadSprite("<sprite2d name=\"s\" " + kRed +
                                 " pos=\"5 6 7\" blendmode=\"ADD\" size=\"20 10\" hotpoint=\"2 3\">"
                                 "<sequence name=\"a\" begin=\"1\" end=\"4\"/>"
                                 "<sequence name=\"b\" mode=\"FORWARD\" speed=\"12\"/>"
                                 "<sequence name=\"c\" mode=\"WIGWAG: LOOP\"/>"
                                 "<sequence name=\"d\" mode=\"BACKWARD:3\"/>"
                                 "<sequence name=\"a\" begin=\"9\"/>"
                                 "</sprite2d>",
                             true);
    ASSERT_NE(nullptr, sprite);
    EXPECT_FLOAT_EQ(5.0f, sprite->frame.world.At(0, 3));
    EXPECT_FLOAT_EQ(7.0f, sprite->frame.world.At(2, 3));
    EXPECT_EQ(2u, sprite->blendMode);
    EXPECT_FLOAT_EQ(20.0f, sprite->size[0]);
    EXPECT_FLOAT_EQ(3.0f, sprite->hotPoints[0].y);
    EXPECT_EQ(&sprite->ownPlayer, sprite->activePlayer);
    EXPECT_EQ(sprite.get(), FindLocationSprite(CGeString("s")));

    QmSpriteSequenceMap& map = *QmSpriteSequences(sprite.get());
    ASSERT_EQ(4u, map.Count());
    struct Case {
        const char* name;
        uint32_t begin, end, mode, repeats;
        float speed;
    };
    const Case cases[] = {
        {"a", 1, 4, 17, 0, 25.0f}, // the first of a name stays
        {"b", 0, 0, 1, 1, 12.0f},
        {"c", 0, 0, 0x13, 0, 25.0f},
        {"d", 0, 0, 2, 3, 25.0f},
    };
    for (const Case& c : cases) {
        auto* node = map.Find(CGeString(c.name));
        ASSERT_NE(nullptr, node) << c.name;
        const QmSpriteSequence& record = *node->value;
        EXPECT_EQ(c.begin, record.begin) << c.name;
        EXPECT_EQ(c.end, record.end) << c.name;
        EXPECT_EQ(c.mode, record.mode) << c.name;
        EXPECT_EQ(c.repeats, record.repeats) << c.name;
        EXPECT_FLOAT_EQ(c.speed, record.speed) << c.name;
        EXPECT_EQ(sprite.get(), record.sprite) << c.name;
    }

    // A second sprite of the name takes it over, with a log line.
    auto second = ReadSprite("<sprite2d name=\"s\" " + kRed + "/>", true);
    EXPECT_EQ(second.get(), FindLocationSprite(CGeString("s")));
    EXPECT_EQ(std::string("Sprite with name s is already exists in location!\n"), GeLogLastMessage().c_str());
    ClearLocationSprites();
}

TEST_F(EntityLoaderTest, TheTagTableFillsEighteenSlotsWithNineteenTags)
{
    EXPECT_EQ(19u, kQmPropertyTagCount);
    bool slotSeen[kQmPropSlots] = {};
    for (const QmPropertyTag& row : g_propertyTags) {
        ASSERT_LT(row.slot, kQmPropSlots) << row.tag;
        slotSeen[row.slot] = true;
        EXPECT_EQ(&row, FindPropertyTag(row.tag));
    }
    for (bool seen : slotSeen)
        EXPECT_TRUE(seen);
    EXPECT_EQ(FindPropertyTag("anim_controller")->slot, FindPropertyTag("ja_controller")->slot);
    EXPECT_EQ(QM_TAG_LEFT_AS_MADE, FindPropertyTag("walker")->enabled);
    for (const char* off : {"motion_controller", "linear_motion_controller", "cloth", "ventilator"})
        EXPECT_EQ(QM_TAG_OFF, FindPropertyTag(off)->enabled) << off;
    EXPECT_EQ(nullptr, FindPropertyTag("composite_geom"));
    EXPECT_EQ(nullptr, FindPropertyTag(nullptr));
}

TEST_F(EntityLoaderTest, EntityPlaceNameAndPlaceholders)
{
    CQmEntity* entity = Read(Entity("pos=\"1 2 3\" rot=\"90 0 0\"",
                                    {"<allocator_list/>", "<drop_shadow/>", "<no_such_tag/>"}));
    ASSERT_NE(nullptr, entity);
    EXPECT_EQ(std::string("unknown!"), entity->name.c_str());
    EXPECT_FLOAT_EQ(2.0f, entity->frame.position.y);
    EXPECT_NEAR(1.5707963f, entity->frame.angles.x, 1e-6f);
    for (uint32_t slot = 0; slot < kQmPropSlots; ++slot)
        EXPECT_EQ(nullptr, entity->GetProp(slot)) << slot;
    // Listed in the location, not reachable by name.
    EXPECT_EQ(1u, location->entities.count);
    EXPECT_EQ(0u, location->entityNames.Count());
}

TEST_F(EntityLoaderTest, VisualObjectsChooseTheirLayers)
{
    struct Case {
        std::string tag;
        uint32_t layer;
    };
    const std::string red = kRed;
    const Case cases[] = {
        {MeshTag(kOneRangeMesh, kBlendMaterial), 3},
        {MeshTag(kOneRangeMesh, kOpaqueMaterial), 2},
        {MeshTag(kOneRangeMesh), 2},
        {MeshTag(kTwoRangeMesh, kBlendMaterial), 2},
        {"<visual_object><sprite2d " + red + "/></visual_object>", 2},
        {"<visual_object><sprite3d " + red + "/></visual_object>", 3},
        {"<visual_object><sprite3d overlay=\"true\" " + red +
             "><sequence name=\"q\" overlay=\"false\"/></sprite3d>"
             "</visual_object>",
         4},
        {std::string("<visual_object><psys_effect filename=\"") + kEffect + "\" pos=\"0 5 0\"/></visual_object>", 3},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "e" + std::to_string(index++);
        CQmEntity* entity = Read(Entity("name=\"" + name + "\"", {c.tag}));
        ASSERT_NE(nullptr, entity) << c.tag;
        auto* visual = entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
        ASSERT_NE(nullptr, visual) << c.tag;
        EXPECT_EQ(1, visual->enabled) << c.tag;
        ASSERT_EQ(1u, visual->visuals.Count()) << c.tag;
        EXPECT_TRUE(layers.Contains(c.layer, visual->visuals[0])) << c.tag;
        EXPECT_EQ(&entity->frame, visual->visuals[0]->frame.parent) << c.tag;
    }
}

TEST_F(EntityLoaderTest, BrokenVisualObjectsLeaveNothingBehind)
{
    // A missing mesh drops the whole property, with the sprites read before it.
    CQmEntity* entity =
        Read(Entity("name=\"a\"", {"<visual_object><sprite2d " + kRed +
                                   "/><mesh filename=\"meshes/none.xml\"/><sprite2d " + kRed + "/></visual_object>"}));
    ASSERT_NE(nullptr, entity);
    EXPECT_EQ(nullptr, entity->GetProp(QM_PROP_VISUAL_OBJECT));
    EXPECT_EQ(std::string("LoadProperty_VisualObject: No mesh - failed to create property!\n"),
              GeLogLastMessage().c_str());
    EXPECT_EQ(0u, InLayers());

    // A missing effect skips that child only; no children, no property.
    entity = Read(Entity("name=\"b\"", {"<visual_object><psys_effect filename=\"effects/none.xml\"/><sprite2d " + kRed +
                                            "/></visual_object>",
                                        "<visual_object/>"}));
    ASSERT_NE(nullptr, entity);
    auto* visual = entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    ASSERT_NE(nullptr, visual);
    EXPECT_EQ(1u, visual->visuals.Count());
    EXPECT_EQ(1u, InLayers());
}

TEST_F(EntityLoaderTest, DuplicatesAndReplacedPropertiesLeaveNoGhosts)
{
    const std::string drawn = MeshTag(kOneRangeMesh, kBlendMaterial);
    const std::string box = "<collider aabb=\"0 0 0 1 1 1\"/>";
    ASSERT_NE(nullptr, Read(Entity("name=\"twin\"", {drawn, box})));
    EXPECT_EQ(1u, InLayers());
    EXPECT_EQ(1u, g_activeColliders->members.count);

    // The second entity of the name is deleted with its visuals and shapes.
    EXPECT_EQ(nullptr, Read(Entity("name=\"twin\"", {drawn, box})));
    EXPECT_EQ(std::string("Object with name twin is already exists in location!\n"), GeLogLastMessage().c_str());
    EXPECT_EQ(1u, InLayers());
    EXPECT_EQ(1u, g_activeColliders->members.count);
    EXPECT_EQ(1u, location->entities.count);

    // A second tag of a kind destroys the property it replaces.
    CQmEntity* entity = Read(Entity("name=\"again\"", {drawn, box, drawn, "<collider sphere=\"0 0 0 1\"/>"}));
    ASSERT_NE(nullptr, entity);
    EXPECT_EQ(2u, InLayers());
    EXPECT_EQ(2u, g_activeColliders->members.count);
    EXPECT_EQ(COLLIDER_SPHERE, entity->Prop<CQmPropCollider>(QM_PROP_COLLIDER)->shape->GetClass());

    location.reset();
    EXPECT_EQ(0u, InLayers());
    EXPECT_EQ(0u, g_activeColliders->members.count);
}

TEST_F(EntityLoaderTest, CollidersFromEachShapeAttribute)
{
    struct Case {
        const char* attributes;
        uint32_t shapeClass; // COLLIDER_CLASS_COUNT: no collider
        Vec3 local;
    };
    const Case cases[] = {
        {"aabb=\"0 0 0 2 4 6\" box=\"1 1 1 1 1 1 0 0 0\"", COLLIDER_AABB, {1, 2, 3}},
        {"sphere=\"1 2 3 4\"", COLLIDER_SPHERE, {1, 2, 3}},
        {"box=\"5 0 0 2 4 6 0 90 0\"", COLLIDER_BOX, {5, 0, 0}},
        {"aabb=\"1 2\"", COLLIDER_AABB, {0.5f, 1, 0}},
        {"composite_geom=\"x\"", COLLIDER_CLASS_COUNT, {0, 0, 0}},
        {"", COLLIDER_CLASS_COUNT, {0, 0, 0}},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "c" + std::to_string(index++);
        CQmEntity* entity = Read(Entity("name=\"" + name + "\"", {std::string("<collider ") + c.attributes + "/>"}));
        ASSERT_NE(nullptr, entity);
        auto* collider = entity->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
        if (c.shapeClass == COLLIDER_CLASS_COUNT) {
            EXPECT_EQ(nullptr, collider) << c.attributes;
            continue;
        }
        ASSERT_NE(nullptr, collider) << c.attributes;
        EXPECT_EQ(1, collider->enabled) << c.attributes;
        EXPECT_EQ(c.shapeClass, collider->shape->GetClass()) << c.attributes;
        EXPECT_EQ(collider, collider->shape->owner) << c.attributes;
        EXPECT_FLOAT_EQ(c.local.x, collider->local.At(0, 3)) << c.attributes;
        EXPECT_FLOAT_EQ(c.local.y, collider->local.At(1, 3)) << c.attributes;
        EXPECT_FLOAT_EQ(c.local.z, collider->local.At(2, 3)) << c.attributes;
    }
    // The box turned 90 degrees about y spans its z size along x.
    auto* turned = location->FindEntity("c2")->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    const auto* box = static_cast<const CGeColliderBox*>(turned->shape);
    EXPECT_NEAR(2.0f, box->bounds.min.x, 1e-4f);
    EXPECT_NEAR(8.0f, box->bounds.max.x, 1e-4f);
    EXPECT_NEAR(-2.0f, box->bounds.min.y, 1e-4f);
    EXPECT_NEAR(-1.0f, box->bounds.min.z, 1e-4f);
}

TEST_F(EntityLoaderTest, ATrackAddedTwiceKeepsOneEntryAndBalancedReferences)
{
    const auto bytes = animwrite::WriteGeat(animwrite::MakeTrack(3, 2));
    WriteFile(tree.dir.Path(), "tracks/walk.geat", bytes);
    const uintptr_t first = 1, second = 2;
    EXPECT_EQ(std::string("walk"), CQmUnifiedCollector::LoadJointsAnimTrack("tracks/walk.geat", first).c_str());
    EXPECT_EQ(std::string("walk"), CQmUnifiedCollector::LoadJointsAnimTrack("tracks/walk.geat", first).c_str());
    EXPECT_EQ(std::string("CQmUnifiedCollector::LoadJointsAnimTrack: Track walk is already exists! Ignored\n"),
              GeLogLastMessage().c_str());
    EXPECT_EQ(1u, CQmUnifiedCollector::TrackCount(first));
    CGeJointsKeySequence* track = CQmUnifiedCollector::GetJointsAnimTrack(first, "walk");
    ASSERT_NE(nullptr, track);
    EXPECT_EQ(1, track->refCount);
    // Another skeleton finds it loaded and keeps no reference of its own.
    EXPECT_EQ(std::string("walk"), CQmUnifiedCollector::LoadJointsAnimTrack("tracks/walk.geat", second).c_str());
    EXPECT_EQ(track, CQmUnifiedCollector::GetJointsAnimTrack(second, "walk"));
    EXPECT_EQ(1, track->refCount);
    EXPECT_EQ(nullptr, CQmUnifiedCollector::GetJointsAnimTrack(second, "run"));
    EXPECT_EQ(nullptr, CQmUnifiedCollector::GetJointsAnimTrack(3, "walk"));
    EXPECT_EQ(std::string("CQmUnifiedCollector::GetJointsAnimTrack: No entity found: 3!\n"),
              GeLogLastMessage().c_str());
    EXPECT_TRUE(CQmUnifiedCollector::LoadJointsAnimTrack("tracks/none.geat", first).IsEmpty());
    CQmUnifiedCollector::ClearTracks();
    EXPECT_EQ(0u, CQmUnifiedCollector::TrackCount(first));
}
