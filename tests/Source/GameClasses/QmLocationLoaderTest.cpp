// The location loader on files from the location writer: its sections in a
// fixed order, the camera groups with their backgrounds, sprites and zones,
// the sky's defaults, walk grids, 2D-linked objects, shade boxes and overlay
// documents, the keep-alive steps, broken files, and the static collision
// environment across location changes.
#include "Source/GameClasses/QmLocationLoader.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmCurveWay.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmSprite.h"
#include "tests/Source/GameClasses/LocationFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tools/walkgrid/WalkGridWriter.h"

#include <cmath>

using namespace locwriter;

namespace {

class LocationLoaderTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        WriteSharedFiles(tree.dir.Path());
    }

    // A location read from text; named "test".
    std::unique_ptr<CQmLocation> Load(const std::string& text)
    {
        auto location = std::make_unique<CQmLocation>();
        LoadLocation(*location, "Locations/test.xml", reinterpret_cast<const uint8_t*>(text.data()),
                     uint32_t(text.size()));
        return location;
    }

    static std::string Sprite(const std::string& attributes, const std::string& children = "",
                              const char* element = "sprite2d")
    {
        return std::string("<") + element + " " + attributes + ">" + children + "</" + element + ">";
    }
};

std::string CameraGroup(const std::string& inside)
{
    return "<camera_group>" + inside + "</camera_group>";
}

const std::string kCamera = "<camera3d pos=\"0 0 -100\" target=\"0 0 0\" upvec=\"0 1 0\" fov=\"60\" znear=\"1\" "
                            "zfar=\"1000\"/>";

} // namespace

TEST_F(LocationLoaderTest, CameraGroupsReadOnlyWhatFollowsTheirCameraAndKeepIndicesPastASkippedGroup)
{
    const std::string zone = "<zone aabb=\"1 2 3 4 5 6\"/>";
    auto location = Load(LocationXml({
        CameraGroup("<background/>" + zone + kCamera + "<background argbimage=\"" + std::string(kRedPicture) + "\"/>" +
                    zone + "<zone aabb=\"7 8\"/>"),
        CameraGroup("<background/>" + zone), // no camera: skipped whole
        CameraGroup(kCamera + zone),
    }));
    EXPECT_EQ("test", std::string(location->name.c_str()));
    ASSERT_EQ(2u, location->cameraGroups.Count());
    EXPECT_EQ(1u, location->cameraGroups[0].backgrounds.Count());
    EXPECT_EQ(0u, location->cameraGroups[1].backgrounds.Count());
    ASSERT_EQ(3u, location->zones.Count());
    EXPECT_EQ(0u, location->zones[0].group);
    EXPECT_FLOAT_EQ(6.0f, location->zones[0].max.z);
    // Too few numbers: the missing ones are 0.
    EXPECT_FLOAT_EQ(8.0f, location->zones[1].min.y);
    EXPECT_FLOAT_EQ(0.0f, location->zones[1].max.x);
    // The group after the skipped one is group 1, and so are its zones.
    EXPECT_EQ(1u, location->zones[2].group);

    const CGmCamera& camera = *location->cameraGroups[0].camera;
    EXPECT_FLOAT_EQ(-100.0f, camera.eye.z);
    EXPECT_FLOAT_EQ(60.0f, camera.fov);
    EXPECT_FLOAT_EQ(1000.0f, camera.farPlane);
    EXPECT_EQ(1280, camera.screenWidth);
    EXPECT_EQ(1024, camera.screenHeight);
}

TEST_F(LocationLoaderTest, RollTurnsTheUpVectorAboutTheViewWithinOneTurn)
{
    struct Case {
        const char* roll;
        float degrees;
    };
    for (const Case& c : {Case{"370", 10.0f}, Case{"-370", -10.0f}, Case{"90", 90.0f}, Case{"0", 0.0f}}) {
        auto location = Load(LocationXml({CameraGroup(
            std::string("<camera3d pos=\"0 0 0\" target=\"0 0 10\" upvec=\"0 1 0\" roll=\"") + c.roll + "\"/>")}));
        ASSERT_EQ(1u, location->cameraGroups.Count()) << c.roll;
        const Vec3 up = location->cameraGroups[0].camera->up;
        // About +z the up vector (0, 1) turns toward -x for a positive angle.
        const float radians = c.degrees * 0.017453292f;
        EXPECT_NEAR(-std::sin(radians), up.x, 1e-5f) << c.roll;
        EXPECT_NEAR(std::cos(radians), up.y, 1e-5f) << c.roll;
        EXPECT_NEAR(0.0f, up.z, 1e-6f) << c.roll;
    }
}

TEST_F(LocationLoaderTest, SkyTakesTheFirstSphereAndItsLastCloudySkyWithSeededDefaults)
{
    const std::string cloudy = std::string("clouds=\"") + kRedPicture + "\"";
    GeSrand(1234);
    const int speedDraw = GeRand() % 4096;
    const int angleDraw = GeRand() % 4096;
    GeSrand(1234);
    auto location = Load(LocationXml({
        "<sky_sphere><sky " + cloudy + " speed=\"2\" angle=\"0.1\"/><sky " + cloudy +
            " color0=\"1 0.5 0.25 0\" pitch=\"90\" tiling=\"7\"/><sky speed=\"9\"/></sky_sphere>",
        "<sky_sphere><sky " + cloudy + " speed=\"99\"/></sky_sphere>",
    }));
    ASSERT_NE(nullptr, location->skySphere);
    const CQmSkySphere& sky = *location->skySphere;
    EXPECT_FLOAT_EQ(0.005f * (1.0f + float(speedDraw) / 4096.0f), sky.speed);
    EXPECT_NEAR(float(angleDraw) / 4096.0f * 6.2831853f, sky.angle, 1e-5f);
    EXPECT_FLOAT_EQ(7.0f, sky.tiling);
    EXPECT_NEAR(3.14159265f / 2.0f, sky.pitch, 1e-6f);
    // Colours are written alpha first and kept red first.
    EXPECT_FLOAT_EQ(0.5f, sky.centreColour.x);
    EXPECT_FLOAT_EQ(1.0f, sky.centreColour.w);

    auto tiled = Load(LocationXml({"<sky_sphere><sky " + cloudy +
                                   " speed=\"1\" angle=\"0.5\" tiling=\"65\"/>"
                                   "</sky_sphere>"}));
    ASSERT_NE(nullptr, tiled->skySphere);
    EXPECT_FLOAT_EQ(1.0f, tiled->skySphere->tiling);
    EXPECT_NEAR(3.14159265f, tiled->skySphere->angle, 1e-5f);
    EXPECT_EQ(nullptr, Load(LocationXml({"<sky_sphere><sky speed=\"1\"/></sky_sphere>"}))->skySphere);
}

TEST_F(LocationLoaderTest, WalkGridAttributesOnlyWithinTheirRanges)
{
    WalkGridOptions options;
    const std::vector<uint8_t> grid = WalkGridFromPicture({"...", "..."}, options).Serialize();
    WriteFile(tree.dir.Path(), "grids/a.aimap", grid);
    struct Case {
        const char* attributes;
        float maxLine, circle, bias;
    };
    const Case cases[] = {
        {"max_line_distance=\"9.9\" circle_factor=\"0\"", 30.0f, 0.5f, 0.0f},
        {"max_line_distance=\"10\" circle_factor=\"0.51\" height_bias=\"-2\"", 10.0f, 0.5f, -2.0f},
        {"circle_factor=\"0.5\"", 30.0f, 0.5f, 0.0f},
        {"circle_factor=\"0.25\"", 30.0f, 0.25f, 0.0f},
    };
    for (const Case& c : cases) {
        auto location =
            Load(LocationXml({std::string("<ai_map filename=\"grids/a.aimap\" ") + c.attributes + "/>",
                              "<ai_map max_line_distance=\"50\"/>", "<ai_map filename=\"grids/missing.aimap\"/>"}));
        ASSERT_EQ(1u, location->walkGridCount) << c.attributes;
        EXPECT_FLOAT_EQ(c.maxLine, location->walkGrids[0]->maxLineDistance) << c.attributes;
        EXPECT_FLOAT_EQ(c.circle, location->walkGrids[0]->circleFactor) << c.attributes;
        EXPECT_FLOAT_EQ(c.bias, location->walkGrids[0]->heightBias) << c.attributes;
    }
    std::vector<std::string> nine(9, "<ai_map filename=\"grids/a.aimap\"/>");
    EXPECT_EQ(8u, Load(LocationXml(nine))->walkGridCount);
}

TEST_F(LocationLoaderTest, BackgroundSpritesGlowsAndTheRegistryFeedLinkedObjects)
{
    const std::string red = std::string("image=\"") + kRedPicture + "\"";
    const std::string sequence = "<sequence name=\"blink\" begin=\"1\" end=\"3\" mode=\"WIGWAG\" speed=\"5\"/>";
    const std::string background = "<background>" + Sprite("name=\"plain\" " + red, sequence) +
                                   Sprite("name=\"top\" overlay=\"true\" " + red) +
                                   // The glow's mask comes from its own element, not from its sequence.
                                   Sprite(std::string("name=\"glow\" imagemask=\"") + kRedPicture + "\" " + red,
                                          "<sequence name=\"s\" imagemask=\"nothing.tga\"/>", "sprite2d_glow") +
                                   Sprite("name=\"noframes\"") + "</background>";
    // The linked object comes first in the file and still finds the sprites.
    auto location = Load(LocationXml({
        "<linked_2d_object name=\"door\"><sprite name=\"plain\"/><sprite name=\"top\"/><sprite name=\"nothing\"/>"
        "<sprite/><sprite name=\"visual\"/></linked_2d_object>",
        "<linked_2d_object/>",
        Entity("name=\"e\"", {"<visual_object>" + Sprite("name=\"visual\" " + red, sequence) + "</visual_object>"}),
        CameraGroup(kCamera + background),
    }));
    ASSERT_EQ(1u, location->cameraGroups.Count());
    ASSERT_EQ(1u, location->cameraGroups[0].backgrounds.Count());
    const CQmBackGround& bg = *location->cameraGroups[0].backgrounds[0];
    EXPECT_EQ(1u, bg.plainSprites.Count());
    EXPECT_EQ(1u, bg.overlaySprites.Count());
    ASSERT_EQ(1u, bg.glows.Count());
    EXPECT_NE(nullptr, bg.glows[0].mask);
    EXPECT_FLOAT_EQ(0.0f, bg.glows[0].phase);

    auto* door = location->linkedObjects.Find(CGeString("door"));
    ASSERT_NE(nullptr, door);
    auto* blink = door->value.animations.Find(CGeString("blink"));
    ASSERT_NE(nullptr, blink);
    ASSERT_EQ(1u, blink->value.Count());
    EXPECT_EQ(1u, blink->value[0].begin);
    EXPECT_EQ(3u, blink->value[0].end);
    EXPECT_EQ(3u, blink->value[0].mode);
    EXPECT_EQ(1u, blink->value[0].repeats);
    EXPECT_EQ(bg.plainSprites[0], blink->value[0].sprite);
    // A sprite without sequences gives one step of "bad_animation"; the
    // visual object's sprite is not registered and adds nothing.
    auto* bad = door->value.animations.Find(CGeString("bad_animation"));
    ASSERT_NE(nullptr, bad);
    ASSERT_EQ(1u, bad->value.Count());
    EXPECT_EQ(bg.overlaySprites[0], bad->value[0].sprite);
    EXPECT_EQ(0u, bad->value[0].repeats);
    EXPECT_EQ(2u, door->value.animations.Count());
    EXPECT_NE(nullptr, location->linkedObjects.Find(CGeString("")));
    // The registry is emptied before the entities are read.
    EXPECT_EQ(nullptr, FindLocationSprite(CGeString("plain")));
}

TEST_F(LocationLoaderTest, ShadeBoxesAndOverlayDocuments)
{
    const std::string red = std::string("image=\"") + kRedPicture + "\"";
    auto location = Load(LocationXml({
        "<shade_box><box aabb=\"0 0 0 1 2 3\" depth=\"0.5\" ambscale=\"0.25\" omni=\"TRUE\"/><box/></shade_box>",
        "<overlay_document name=\"note\">" + Sprite(red) + "</overlay_document>",
        "<overlay_document name=\"note\">" + Sprite(red) + Sprite("") + Sprite(red) + "</overlay_document>",
        "<overlay_document>" + Sprite(red) + "</overlay_document>",
    }));
    ASSERT_EQ(2u, location->shadeBoxes.Count());
    const CQmShadeBox& box = *location->shadeBoxes[0];
    EXPECT_FLOAT_EQ(3.0f, box.max.z);
    EXPECT_FLOAT_EQ(0.5f, box.depth);
    EXPECT_FLOAT_EQ(0.75f, box.ambientReduction);
    EXPECT_FLOAT_EQ(0.0f, box.diffuseReduction);
    EXPECT_EQ(1, box.omni);
    EXPECT_EQ(1, box.enabled);
    EXPECT_EQ(0, location->shadeBoxes[1]->omni);

    ASSERT_EQ(1u, location->documents.Count());
    const CQmOverlayDocument& note = *location->documents.first->value;
    EXPECT_EQ(2u, note.children.Count());
    EXPECT_EQ(&note.frame, note.children[0]->frame.parent);
    EXPECT_EQ(std::string("Unnamed document - ignored!\n"), GeLogLastMessage().c_str());
}

TEST_F(LocationLoaderTest, CurveWaysJoinTheLocationByNameAndTheFirstOfANameStays)
{
    const std::string points = "<point pos=\"0 0 0\"/><point pos=\"4 0 0\"/>";
    auto location = Load(LocationXml({
        "<curve_way type=\"polyline\" name=\"way\" time=\"2\">" + points + "</curve_way>",
        "<curve_way type=\"bezier\" name=\"way\" time=\"8\">" + points + "</curve_way>",
        "<curve_way type=\"catmullrom\" name=\"loop\" time=\"1\">" + points + "</curve_way>",
        "<curve_way type=\"circle\" name=\"bad\" time=\"1\">" + points + "</curve_way>",
        "<curve_way type=\"polyline\" name=\"\" time=\"1\"/>",
    }));
    ASSERT_EQ(2u, location->curveWays.Count());
    const QmCurveWay* way = location->curveWays.Lookup(CGeString("way"));
    ASSERT_NE(nullptr, way);
    EXPECT_EQ(QM_CURVE_POLYLINE, way->kind);
    EXPECT_FLOAT_EQ(2.0f, way->duration);
    EXPECT_FLOAT_EQ(2.0f, way->curve->GetValue(1.0f).x);
    EXPECT_EQ(QM_CURVE_CATMULLROM, location->curveWays.Lookup(CGeString("loop"))->kind);
    EXPECT_EQ(nullptr, location->curveWays.Find(CGeString("bad")));
}

TEST_F(LocationLoaderTest, SectionsInFixedOrderWithKeepAliveSteps)
{
    // Entities are read after the camera groups whatever the file says: the
    // entity's duplicate sprite name does not disturb the group's sprite.
    const std::string red = std::string("image=\"") + kRedPicture + "\"";
    const uint32_t before = g_locationKeepAliveCount;
    auto location = Load(LocationXml({
        "<overlay_document name=\"d\"/>",
        "<shade_box><box/></shade_box>",
        Entity("name=\"a\"", {"<unknown/>", "<actor/>"}),
        Entity("name=\"b\""),
        "<curve_way name=\"c\"/>",
        CameraGroup(kCamera + "<background>" + Sprite("name=\"s\" " + red) + "</background>"),
        "<linked_2d_object name=\"l\"><sprite name=\"s\"/></linked_2d_object>",
        "<sky_sphere/>",
        "<shade_light pos=\"1 2 3\" color=\"1 0.5 0 0\"/>",
        "<physical_environment/>",
    }));
    // Six between the sections and one after each child of an entity.
    EXPECT_EQ(6u + 2u, g_locationKeepAliveCount - before);
    EXPECT_EQ(2u, location->entities.count);
    EXPECT_EQ(1u, location->linkedObjects.Find(CGeString("l"))->value.animations.Count());
    EXPECT_EQ(1, location->hasShadeLight);
    EXPECT_FLOAT_EQ(2.0f, location->shadeLightPosition.y);
    EXPECT_FLOAT_EQ(0.5f, location->shadeLightColor.x);
    EXPECT_FLOAT_EQ(1.0f, location->shadeLightColor.w);
    EXPECT_TRUE(location->staticEnvironmentFile.IsEmpty());
}

TEST_F(LocationLoaderTest, BrokenFilesGiveAnEmptyLocationNamedAfterTheirFile)
{
    const char* const texts[] = {
        "",
        "<location><camera_group>",
        "<place><camera_group><camera3d/></camera_group></place>",
        "not xml at all",
        "<location/>",
        "<?xml version=\"1.0\"?><!-- nothing -->",
    };
    for (const char* text : texts) {
        auto location = Load(text);
        EXPECT_EQ("test", std::string(location->name.c_str())) << text;
        EXPECT_EQ(0u, location->cameraGroups.Count()) << text;
        EXPECT_EQ(0u, location->entities.count) << text;
    }
    CQmLocation location;
    LoadLocation(location, "dir/sub/named.xml", nullptr, 0);
    EXPECT_EQ("named", std::string(location.name.c_str()));
}

TEST_F(LocationLoaderTest, TheManagerLoadsThroughTheLoaderAndReloadsTheStaticEnvironment)
{
    CQmLocationManager::SetLoader(nullptr); // the real loader
    WriteFile(tree.dir.Path(), "Locations/one.xml",
              LocationXml(
                  {std::string("<physical_environment file=\"") + kStaticEnvironment + "\"/>", Entity("name=\"e\"")}));
    WriteFile(tree.dir.Path(), "Locations/two.xml", LocationXml({Entity("name=\"f\"")}));
    CQmLocation* one = manager.ChangeLocation(tree.Path("one").c_str());
    ASSERT_NE(nullptr, one);
    EXPECT_NE(nullptr, one->FindEntity("e"));
    EXPECT_EQ(2u, g_staticBody.geomCount);
    // Entering it again while it is loaded reads the environment again.
    ClearStaticEnvironment();
    EXPECT_EQ(one, manager.ChangeLocation(tree.Path("one").c_str()));
    EXPECT_EQ(2u, g_staticBody.geomCount);
    // A location without an environment clears the first one's.
    CQmLocation* two = manager.ChangeLocation(tree.Path("two").c_str());
    ASSERT_NE(nullptr, two);
    EXPECT_NE(nullptr, two->FindEntity("f"));
    EXPECT_EQ(0u, g_staticBody.geomCount);
    manager.Clear();
    EXPECT_EQ(0u, g_staticBody.geomCount);
}
