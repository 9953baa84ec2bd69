// The sound source property: slots read from "sound_source" snippets, the
// play options of a start read back through the observer, the 2D pan through
// a camera, the per-slot update handing on only what changed, muting, file
// stops, and a 3D sound heard by samples at the level its distance gives.
#include "Source/GameClasses/QmPropSoundSource.h"

#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmPropLightSource.h"

#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "tests/Source/GameClasses/SoundTestFixture.h"

#include <tinyxml.h>

#include <cctype>
#include <cmath>
#include <vector>

namespace {

std::vector<CSmPlayOption> g_observed;

void Observe(const CSmPlayOption* options, uint32_t count)
{
    g_observed.assign(options, options + count);
}

class QmPropSoundSourceTest : public GameSoundTest {
protected:
    void SetUp() override
    {
        GameSoundTest::SetUp();
        entity.name = "bell";
        entity.frame.SetPosition({10.0f, 0.0f, 0.0f});
        entity.frame.UpdateWorldMatrix();
        source = new CQmPropSoundSource(&entity);
        entity.SetProp(QM_PROP_SOUND_SOURCE, source);
        source->SetEnabled(true);
        CQmPropSoundSource::playObserver = Observe;
        g_observed.clear();
    }
    void TearDown() override
    {
        CQmPropSoundSource::playObserver = nullptr;
        entity.SetProp(QM_PROP_SOUND_SOURCE, nullptr);
        CGeHub::s_cameras3d[CGeHub::s_currentSlot] = nullptr;
        GameSoundTest::TearDown();
    }

    bool Load(const char* xml)
    {
        TiXmlDocument document;
        document.Parse(xml);
        return source->LoadFromXML(document.RootElement());
    }

    static Vec3 Position(const CQmSoundSlot* slot)
    {
        return {slot->frame.world.m[3], slot->frame.world.m[7], slot->frame.world.m[11]};
    }
    static Vec3 Direction(const CQmSoundSlot* slot)
    {
        return {slot->frame.world.m[0], slot->frame.world.m[4], slot->frame.world.m[8]};
    }

    CQmEntity entity;
    CQmPropSoundSource* source = nullptr;
};

void ExpectVec(const Vec3& expected, const Vec3& actual, const char* what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-5f) << what;
    EXPECT_NEAR(expected.y, actual.y, 1e-5f) << what;
    EXPECT_NEAR(expected.z, actual.z, 1e-5f) << what;
}

} // namespace

TEST_F(QmPropSoundSourceTest, SlotsAreReadWithTheirDefaultsAndTheirOwnValues)
{
    ASSERT_TRUE(Load(R"(<sound_source>
        <slot name="plain"/>
        <slot name="tuned">
          <inner_cone value="45"/><outter_cone value="90"/><min_dist value="20.5"/><max_dist value="800"/>
          <outside_volume value="0.25"/><volume value="0.5"/>
          <position value="1 2 3"/><direction value="0 0 2"/>
        </slot>
        <slot name="bare"><min_dist/><inner_cone/><volume/><direction/><position/></slot>
      </sound_source>)"));
    ASSERT_EQ(3u, source->slots.Count());

    const struct {
        const char* name;
        QmSoundParams params;
        Vec3 position, direction;
    } cases[] = {
        {"plain", {360, 360, 100.0f, 3000.0f, 0.0f, 1.0f}, {10, 0, 0}, {1, 0, 0}},
        {"tuned", {45, 90, 20.5f, 800.0f, 0.25f, 0.5f}, {11, 2, 3}, {0, 0, 1}},
        {"bare", {0, 360, 0.0f, 3000.0f, 0.0f, 0.0f}, {10, 0, 0}, {1, 0, 0}}, // a zero direction faces +X
    };
    for (const auto& c : cases) {
        const CQmSoundSlot* slot = source->FindSlot(c.name);
        ASSERT_NE(nullptr, slot) << c.name;
        EXPECT_TRUE(c.params == slot->params) << c.name;
        ExpectVec(c.position, Position(slot), c.name);
        ExpectVec(c.direction, Direction(slot), c.name);
        EXPECT_EQ(&entity.frame, slot->frame.parent) << c.name;
    }

    // The slots follow the entity.
    entity.frame.SetPosition({0.0f, 5.0f, 0.0f});
    entity.frame.UpdateWorldMatrix();
    source->Update();
    ExpectVec({1, 7, 3}, Position(source->FindSlot("tuned")), "moved");
}

TEST_F(QmPropSoundSourceTest, ARepeatedSlotNameKeepsItsParametersAndTakesTheNewPlace)
{
    ASSERT_TRUE(Load(R"(<sound_source>
        <slot name="door"><volume value="0.3"/><position value="1 0 0"/></slot>
        <slot name="door"><volume value="0.9"/><position value="0 4 0"/><direction value="0 1 0"/></slot>
      </sound_source>)"));
    ASSERT_EQ(1u, source->slots.Count());
    const CQmSoundSlot* slot = source->FindSlot("door");
    EXPECT_FLOAT_EQ(0.3f, slot->params.volume);
    ExpectVec({10, 4, 0}, Position(slot), "position");
    ExpectVec({0, 1, 0}, Direction(slot), "direction");

    // Another element changes nothing; a new load replaces every slot.
    EXPECT_FALSE(Load("<light_source/>"));
    EXPECT_EQ(1u, source->slots.Count());
    EXPECT_TRUE(Load(R"(<sound_source><slot name="a"/><slot name="b"/></sound_source>)"));
    EXPECT_EQ(nullptr, source->FindSlot("door"));
    EXPECT_EQ(2u, source->slots.Count());
    EXPECT_EQ(2u, entity.frame.children.count);
}

TEST_F(QmPropSoundSourceTest, AThreeDStartHandsTheSlotToTheSoundInOrder)
{
    ASSERT_TRUE(Load(R"(<sound_source><slot name="s">
        <inner_cone value="30"/><outter_cone value="120"/><min_dist value="50"/><max_dist value="900"/>
        <outside_volume value="0.2"/><volume value="0.5"/><position value="0 1 0"/><direction value="0 0 -1"/>
      </slot></sound_source>)"));
    const std::string bell = DcWave("bell.wav", 1.0, 8000, 1);
    QmSoundPlayRecord* record = source->PlayByName("s", bell.c_str(), true, 0.8f, &entity, false);
    ASSERT_NE(nullptr, record);
    ASSERT_NE(nullptr, record->ref.sound);
    EXPECT_EQ(0.8f, record->volume);

    const uint32_t kinds[] = {1, 12, 11, 9, 8, 7, 6, 10, 5, 3, 4};
    ASSERT_EQ(11u, g_observed.size());
    for (size_t i = 0; i < 11; ++i)
        EXPECT_EQ(kinds[i], g_observed[i].kind) << i;
    EXPECT_FLOAT_EQ(50.0f, g_observed[1].FloatAt(0));
    EXPECT_FLOAT_EQ(900.0f, g_observed[2].FloatAt(0));
    EXPECT_FLOAT_EQ(0.2f, g_observed[3].FloatAt(0));
    EXPECT_EQ(120u, g_observed[4].values[0]);
    EXPECT_EQ(30u, g_observed[5].values[0]);
    EXPECT_FLOAT_EQ(0.4f, g_observed[9].FloatAt(0));

    // The sound got the position as a position and the direction as its cone.
    auto* sound = static_cast<CSmSound3D*>(record->ref.sound);
    ASSERT_TRUE(sound->is3d);
    ExpectVec({10, 1, 0}, sound->position3d, "position");
    ExpectVec({0, 0, -1}, sound->coneOrientation, "cone");
    EXPECT_EQ(30u, sound->insideConeAngle);
    EXPECT_FLOAT_EQ(50.0f, sound->minDistance);
    EXPECT_TRUE(sound->loop);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&entity), sound->entry->ownerKey);

    // Without loop the first option is one the sound ignores.
    source->PlayByName("s", bell.c_str(), false, 1.0f, nullptr, false);
    EXPECT_EQ(0xFFFFu, g_observed[0].kind);
    EXPECT_EQ(nullptr, source->PlayByName("nothing", bell.c_str(), false, 1.0f, nullptr, false));
    source->soundManager = nullptr;
    EXPECT_EQ(nullptr, source->PlayByName("s", bell.c_str(), false, 1.0f, nullptr, false));
}

TEST_F(QmPropSoundSourceTest, ATwoDStartIsPannedByTheSlotsScreenX)
{
    CGmPerspectiveCamera camera;
    camera.screenWidth = 800;
    camera.screenHeight = 600;
    camera.eye = {0, 0, -100};
    camera.target = {0, 0, 0};
    camera.fov = 90.0f;
    camera.Apply({0, 0, 800, 600, 0.0f, 1.0f});
    CGeHub::s_cameras3d[CGeHub::s_currentSlot] = &camera;
    entity.frame.SetPosition({0, 0, 0});
    entity.frame.UpdateWorldMatrix();
    ASSERT_TRUE(Load(R"(<sound_source><slot name="voice"><volume value="0.5"/></slot></sound_source>)"));
    const std::string line = DcWave("line.wav", 1.0);

    const struct {
        float x, screenX;
    } cases[] = {{-100.0f, 0.0f}, {0.0f, 400.0f}, {100.0f, 800.0f}};
    for (const auto& c : cases) {
        entity.frame.SetPosition({c.x, 0, 0});
        entity.frame.UpdateWorldMatrix();
        QmSoundPlayRecord* record = source->PlayByName("voice", line.c_str(), false, 1.0f, nullptr, true);
        ASSERT_NE(nullptr, record);
        ASSERT_EQ(3u, g_observed.size());
        EXPECT_EQ(2u, g_observed[1].kind);
        const float pan = c.screenX * 0.25f / 800.0f - 0.125f;
        EXPECT_NEAR(pan, g_observed[1].FloatAt(0), 1e-4f) << c.x;
        EXPECT_NEAR(pan, record->ref.sound->params.pan, 1e-4f) << c.x;
        EXPECT_FLOAT_EQ(0.35f, record->ref.sound->params.volume) << c.x; // 1 x 0.5 x 0.7
        EXPECT_FALSE(record->ref.sound->is3d);
    }
    // Without a camera the pan is 0.
    CGeHub::s_cameras3d[CGeHub::s_currentSlot] = nullptr;
    EXPECT_EQ(0.0f, QmSoundPanAt({100, 0, 0}));
}

TEST_F(QmPropSoundSourceTest, TheUpdateHandsOnOnlyWhatChanged)
{
    ASSERT_TRUE(Load(R"(<sound_source><slot name="s"/></sound_source>)"));
    const std::string hum = DcWave("hum.wav", 1.0, 8000, 1);
    QmSoundPlayRecord* record = source->PlayByName("s", hum.c_str(), true, 0.5f, nullptr, false);
    ASSERT_NE(nullptr, record);
    auto* sound = static_cast<CSmSound3D*>(record->ref.sound);
    CQmSoundSlot* slot = source->FindSlot("s");

    // Marks in every field a setter writes: only the changed ones move.
    const Vec3 mark = {-7, -7, -7};
    auto markAll = [&] {
        sound->position3d = sound->coneOrientation = mark;
        sound->insideConeAngle = sound->outsideConeAngle = 7;
        sound->minDistance = sound->maxDistance = sound->coneOutsideVolume = -7.0f;
        sound->params.volume = 0.123f;
    };
    markAll();
    source->Update(); // nothing changed since the load
    EXPECT_EQ(-7.0f, sound->minDistance);
    EXPECT_EQ(0.123f, sound->params.volume);

    QmSoundParams params = slot->params;
    params.volume = 0.8f;
    source->SetPlacement(slot, params);
    EXPECT_FLOAT_EQ(0.4f, sound->params.volume); // record volume x slot volume
    EXPECT_EQ(-7.0f, sound->position3d.x);
    EXPECT_EQ(-7.0f, sound->coneOrientation.x);
    EXPECT_EQ(7u, sound->insideConeAngle);
    EXPECT_EQ(-7.0f, sound->minDistance);
    EXPECT_EQ(-7.0f, sound->coneOutsideVolume);

    markAll();
    params.innerCone = 40;
    params.maxDistance = 500.0f;
    source->SetPlacement(slot, params);
    EXPECT_EQ(40u, sound->insideConeAngle);
    EXPECT_EQ(360u, sound->outsideConeAngle);
    EXPECT_EQ(100.0f, sound->minDistance);
    EXPECT_EQ(500.0f, sound->maxDistance);
    EXPECT_EQ(-7.0f, sound->coneOutsideVolume);
    EXPECT_EQ(0.123f, sound->params.volume);
    EXPECT_EQ(-7.0f, sound->position3d.x);

    markAll();
    entity.frame.SetPosition({20, 0, 0});
    entity.frame.UpdateWorldMatrix();
    source->Update();
    ExpectVec({20, 0, 0}, sound->position3d, "moved");
    EXPECT_EQ(-7.0f, sound->coneOrientation.x); // not turned
    EXPECT_EQ(-7.0f, sound->minDistance);
}

TEST_F(QmPropSoundSourceTest, DisablingMutesWithoutStoppingAndStopsEndSoundsByFileOrAll)
{
    ASSERT_TRUE(Load(R"(<sound_source><slot name="s"/></sound_source>)"));
    ASSERT_TRUE(CSmListener::Init(0.01f, 1.0f, 0.0f)); // faces +X from the origin; the slot is at 10
    CSmListener::CommitDeferredSettings();
    const std::string a = DcWave("Sounds/A.wav", 1.0, 8000, 1);
    const std::string b = DcWave("sounds/b.wav", 1.0, 8000, 1);
    CSmSound* first = source->PlayByName("s", a.c_str(), true, 1.0f, nullptr, false)->ref.sound;
    CSmSound* second = source->PlayByName("s", b.c_str(), true, 1.0f, nullptr, false)->ref.sound;
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_FALSE(AllZero(Pull(441)));

    source->SetEnabled(false);
    EXPECT_TRUE(AllZero(Pull(441)));
    EXPECT_TRUE(first->IsPlaying());
    EXPECT_TRUE(second->IsPlaying());
    source->SetEnabled(true);
    EXPECT_FALSE(AllZero(Pull(441)));

    // The file is compared exactly with the sound's lower-cased path.
    CQmSoundSlot* slot = source->FindSlot("s");
    source->StopFile(slot, a.c_str());
    EXPECT_TRUE(first->IsPlaying());
    source->StopFile(slot, Lower(a).c_str());
    EXPECT_FALSE(first->IsPlaying());
    EXPECT_TRUE(second->IsPlaying());
    EXPECT_EQ(2u, slot->records.Count());

    source->StopByName("s");
    EXPECT_FALSE(second->IsPlaying());
    EXPECT_EQ(0u, slot->records.Count());
    EXPECT_EQ(nullptr, second->handle);
}

TEST_F(QmPropSoundSourceTest, AThreeDSoundAtTwiceItsMinimumDistanceIsHeardAtHalfAmplitude)
{
    ASSERT_TRUE(CSmListener::Init(0.01f, 1.0f, 0.0f)); // at the origin facing +X
    ASSERT_TRUE(Load(R"(<sound_source>
        <slot name="near"><position value="90 0 0"/><direction value="1 0 0"/></slot>
        <slot name="far"><position value="190 0 0"/><direction value="1 0 0"/></slot>
      </sound_source>)"));
    const std::string hum = DcWave("hum.wav", 1.0, 8000, 1);
    // The entity sits at 10: the slots are at 100 and 200, min distance 100.
    const struct {
        const char* slot;
        double amplitude;
    } cases[] = {{"near", 8000.0}, {"far", 4000.0}};
    for (const auto& c : cases) {
        QmSoundPlayRecord* record = source->PlayByName(c.slot, hum.c_str(), true, 1.0f, nullptr, false);
        ASSERT_NE(nullptr, record);
        CSmListener::CommitDeferredSettings();
        const std::vector<int16_t> out = Pull(100);
        EXPECT_NEAR(c.amplitude, out[50], 2) << c.slot;
        EXPECT_NEAR(c.amplitude, out[51], 2) << c.slot;
        source->StopByName(c.slot);
    }
}

// The location loader's entity reader makes both properties from their tags.
TEST_F(QmPropSoundSourceTest, TheEntityReaderMakesSoundAndLightSourcesFromTheirTags)
{
    TiXmlDocument document;
    document.Parse(R"(<entity name="buoy" pos="0 0 50">
        <sound_source><slot name="bell"><position value="0 10 0"/></slot></sound_source>
        <light_source type="omni" diffuse="1 1 0.5 0" range="400"/>
      </entity>)");
    CQmEntity* buoy = LoadEntity(document.RootElement(), false, nullptr);
    ASSERT_NE(nullptr, buoy);
    auto* sounds = buoy->Prop<CQmPropSoundSource>(QM_PROP_SOUND_SOURCE);
    auto* light = buoy->Prop<CQmPropLightSource>(QM_PROP_LIGHT_SOURCE);
    ASSERT_NE(nullptr, sounds);
    ASSERT_NE(nullptr, light);
    EXPECT_EQ(1, sounds->enabled);
    EXPECT_EQ(1, light->enabled);
    ASSERT_NE(nullptr, sounds->FindSlot("bell"));
    EXPECT_EQ(group, sounds->soundManager);
    EXPECT_EQ(400.0f, light->templateDesc.f[16]);
    EXPECT_EQ(1, light->templateDesc.Type());
    delete buoy;
}
