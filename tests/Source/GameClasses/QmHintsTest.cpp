// The hint panel and the 3D arrow: the hint's timing and end event by a
// driven clock, the hint file's duplicates and nameless entries, the text
// centred over the picture by pixels at two screen sizes; the arrow's frame
// against hand-computed values, its render layer, and when its mesh draws.
#include "Source/GameClasses/QmHints.h"

#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Source/GameClasses/DeviceDrawingFixture.h"
#include "tests/Source/GameClasses/HintVideoFixtures.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

const char* const kHintFile = "<hints>\n"
                              "  <hint name=\"door\" text=\"Open the door\"/>\n"
                              "  <hint name=\"key\" text=\"first\"/>\n"
                              "  <hint name=\"key\" text=\"second\"/>\n"
                              "  <hint text=\"nameless\"/>\n"
                              "</hints>\n";

class QmHintsTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        tree.dir.Write("gui/hints.xml", kHintFile);
        tree.dir.Write("gui/pic/hint.tga", SolidTga(40, 20, 0xFF0000FF));
        recorder->Record({"on_hint_disappear"});
        recorder->Clear();
    }

    std::string Events() const { return recorder->Joined(); }
};

} // namespace

TEST_F(QmHintsTest, TheHintGoesAtItsShowTimeAndItsEventFollowsAfterTheDelay)
{
    struct Checkpoint {
        float time; // seconds since Show, reached in steps of 0.5 s
        bool shown;
        const char* events;
    };
    struct Case {
        float showTime, delay;
        std::vector<Checkpoint> checkpoints;
    };
    const Case cases[] = {
        // Never visible: the update that ends Show hides it and fires at once.
        {0.0f, 0.0f, {{0.0f, false, "on_hint_disappear(door)"}, {2.0f, false, "on_hint_disappear(door)"}}},
        {3.0f, 2.0f, {{0.0f, true, ""}, {2.5f, true, ""}, {3.0f, false, ""}, {4.5f, false, ""},
                      {5.0f, false, "on_hint_disappear(door)"}, {8.0f, false, "on_hint_disappear(door)"}}},
        {1.0f, 0.0f, {{0.5f, true, ""}, {1.0f, false, "on_hint_disappear(door)"}}},
    };
    for (const Case& c : cases) {
        CQmHints hints;
        recorder->Clear();
        hints.Show(100.0f, 50.0f, false, 200, "door", c.showTime, c.delay);
        float time = 0.0f;
        for (const Checkpoint& point : c.checkpoints) {
            while (time < point.time) {
                hints.Update(0.5f);
                time += 0.5f;
            }
            EXPECT_EQ(point.shown, hints.PictureShown()) << c.showTime << "/" << c.delay << " at " << time;
            EXPECT_EQ(point.shown, hints.TextShown()) << c.showTime << "/" << c.delay << " at " << time;
            EXPECT_EQ(point.events, Events()) << c.showTime << "/" << c.delay << " at " << time;
        }
        EXPECT_EQ(nullptr, hints.CurrentHint());
    }
}

TEST_F(QmHintsTest, ANewHintReplacesTheOldSilentlyAndHidingEndsItWithoutEvent)
{
    CQmHints hints;
    hints.Show(0.0f, 0.0f, false, 255, "door", 3.0f, 2.0f);
    hints.Update(1.0f);
    hints.Show(0.0f, 0.0f, true, 255, "key", 1.0f, 0.0f);
    EXPECT_EQ(1u, hints.picture->uvMode) << "mirrored";
    EXPECT_EQ(0.0f, hints.elapsed);
    hints.Update(1.0f);
    hints.Update(10.0f);
    EXPECT_EQ("on_hint_disappear(key)", Events());

    recorder->Clear();
    hints.Show(0.0f, 0.0f, false, 255, "door", 1.0f, 1.0f);
    hints.Update(0.5f);
    hints.Hide();
    EXPECT_FALSE(hints.PictureShown() || hints.TextShown());
    EXPECT_EQ(nullptr, hints.CurrentHint());
    EXPECT_EQ(0.0f, hints.showTime + hints.disappearDelay);
    hints.Update(5.0f);
    EXPECT_EQ("", Events());

    // The end event may show the next hint at once.
    Run("function on_hint_disappear(name) RecordLine('gone ' .. name) "
        "if name == 'door' then ShowHint(1, 2, false, 255, 'key', 4, 0) end end");
    CQmHints* saved = &m_processor.hints;
    saved->texts[CGeString("door")] = CGeWString(u"d");
    saved->texts[CGeString("key")] = CGeWString(u"k");
    saved->Show(0.0f, 0.0f, false, 255, "door", 0.5f, 0.0f);
    saved->Update(0.5f);
    EXPECT_STREQ("key", saved->CurrentHint());
    EXPECT_TRUE(saved->PictureShown());
    EXPECT_EQ("gone door", Events());
}

TEST_F(QmHintsTest, TheHintFileKeepsTheLaterTextAndSkipsNamelessHints)
{
    CQmHints hints;
    ASSERT_EQ(2u, hints.texts.count);
    EXPECT_TRUE(hints.texts[CGeString("key")] == CGeWString(u"second"));
    hints.Show(10.0f, 20.0f, false, 128, "key", 2.0f, 0.0f);
    EXPECT_TRUE(hints.text->text == CGeWString(u"second"));
    EXPECT_EQ(128, hints.picture->alpha);
    EXPECT_STREQ("key", hints.CurrentHint());

    // A name the file lacks: the picture with an empty text, no current
    // hint and so no event.
    hints.Show(10.0f, 20.0f, false, 255, "nowhere", 1.0f, 0.0f);
    EXPECT_TRUE(hints.PictureShown());
    EXPECT_EQ(0u, hints.text->text.Length());
    EXPECT_EQ(nullptr, hints.CurrentHint());
    hints.Update(3.0f);
    EXPECT_FALSE(hints.PictureShown());
    EXPECT_EQ("", Events());
}

TEST_F(QmHintsTest, ALocationChangeTakesTheVisualsDownAndTheCurrentHintReportsItsEnd)
{
    CQmHints hints;
    hints.Show(0.0f, 0.0f, false, 255, "door", 3.0f, 2.0f);
    hints.Reset();
    EXPECT_FALSE(hints.PictureShown() || hints.TextShown());
    EXPECT_EQ(0.0f, hints.elapsed + hints.showTime + hints.disappearDelay);
    hints.Update(0.1f);
    EXPECT_EQ("on_hint_disappear(door)", Events());
}

namespace {

// The hint picture (blue) and "HINT_DIALOG", a font of white 16 by 16
// blocks, drawn at a back-buffer size.
class QmHintPixels : public DataScreen2dTest {
protected:
    void SetUp() override
    {
        DataScreen2dTest::SetUp();
        data.Write("gui/pic/hint.tga", SolidTga(200, 100, 0xFF0000FF));
        data.Write("gui/hints.xml", "<hints><hint name=\"h\" text=\"XXX\"/><hint name=\"one\" text=\"X\"/></hints>");
        RegisterBlockFont("HINT_DIALOG");
    }

    struct Box {
        int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
        float CentreX() const { return (x0 + x1 + 1) * 0.5f; }
    };
    Box Find(uint32_t w, uint32_t h, bool (*match)(uint32_t)) const
    {
        Box box;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                if (match(At(x, y))) {
                    box.x0 = std::min(box.x0, int(x));
                    box.y0 = std::min(box.y0, int(y));
                    box.x1 = std::max(box.x1, int(x));
                    box.y1 = std::max(box.y1, int(y));
                }
        return box;
    }
};

bool IsBlue(uint32_t pixel)
{
    return (pixel & 0xFFFFFF) == 0x0000FF;
}

bool IsWhite(uint32_t pixel)
{
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}

} // namespace

TEST_F(QmHintPixels, TheTextIsCentredOverThePictureAtEveryScreenSize)
{
    struct Case {
        uint32_t width, height;
        const char* hint;
    };
    for (const Case& c : {Case{1280, 1024, "h"}, Case{1024, 768, "h"}, Case{1024, 768, "one"}}) {
        ScaleFor(c.width, c.height);
        CQmHints hints;
        hints.Show(400.0f, 300.0f, false, 255, c.hint, 5.0f, 0.0f);
        Frame(c.width, c.height, [&] { hints.Render(); });
        const Box picture = Find(c.width, c.height, IsBlue);
        const Box text = Find(c.width, c.height, IsWhite);
        ASSERT_GE(picture.x1, 0) << c.width;
        ASSERT_GE(text.x1, 0) << c.width << " " << c.hint;
        // The text's measure ends with the pitch of -4 after its last glyph,
        // so its ink sits up to 2 pixels right of the centre.
        EXPECT_NEAR(picture.CentreX(), text.CentreX(), 2.0f) << c.width << " " << c.hint;
        // Within the picture, above the pointer strip at its bottom.
        EXPECT_GT(text.y0, picture.y0) << c.width;
        EXPECT_LT(text.y1, picture.y1) << c.width;
        EXPECT_EQ(int(std::lround(400.0f * c.width / 1280.0f)), picture.x0) << c.width;
    }
}

namespace {

// The arrow over the scratch data with a one-quad mesh.
class Qm3dArrowTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        const meshfixture::Bytes mesh = meshfixture::WriteGemesh(meshfixture::MakeGrid(1));
        tree.dir.Write("gui/meshes/3darrow.gemesh", std::string(mesh.begin(), mesh.end()));
    }

    // The three axis columns and the translation of the mesh's local matrix.
    static Vec3 Column(const CQm3dArrow& arrow, int c)
    {
        const Matrix4& m = arrow.mesh->frame.local;
        return {m.At(0, c), m.At(1, c), m.At(2, c)};
    }

    static uint32_t TimesInLayer(const CGmLayers& layers, uint32_t layer, const CGmVisualObject* visual)
    {
        uint32_t n = 0;
        for (auto* node = layers.layers[layer].head; node; node = node->next)
            n += node->value == visual ? 1 : 0;
        return n;
    }
};

void ExpectNear(const Vec3& expected, const Vec3& actual, const std::string& what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-5f) << what;
    EXPECT_NEAR(expected.y, actual.y, 1e-5f) << what;
    EXPECT_NEAR(expected.z, actual.z, 1e-5f) << what;
}

} // namespace

TEST_F(Qm3dArrowTest, TheArrowTurnsAboutItsAxisAndBobsAlongIt)
{
    const float pi = 3.14159265358979f;
    // Pointing up from (10, 20, 30): a = 6t turns the cross-section about y.
    struct Case {
        float t;
        Vec3 v, minusU, translation;
    };
    const Case cases[] = {
        {0.0f, {0, 0, 1}, {1, 0, 0}, {10, 20, 30}},
        {pi / 12, {1, 0, 0}, {0, 0, -1}, {10, 35, 30}},
        {pi / 6, {0, 0, -1}, {-1, 0, 0}, {10, 20, 30}},
        {pi / 4, {-1, 0, 0}, {0, 0, 1}, {10, 5, 30}},
    };
    for (const Case& c : cases) {
        CQm3dArrow arrow;
        arrow.Show({10, 20, 30}, {10, 70, 30});
        arrow.Update(c.t);
        const std::string at = "t = " + std::to_string(c.t);
        ExpectNear({0, 1, 0}, Column(arrow, 0), at + " d");
        ExpectNear(c.v, Column(arrow, 1), at + " v");
        ExpectNear(c.minusU, Column(arrow, 2), at + " -u");
        ExpectNear(c.translation, Column(arrow, 3), at + " translation");
        ExpectNear(c.translation, MatrixTransformPoint(arrow.mesh->frame.world, {0, 0, 0}), at + " world");
    }

    // A slanted arrow: an orthonormal right-handed frame around d, moving
    // along d by 15 sin a.
    CQm3dArrow slanted;
    slanted.Show({0, 0, 0}, {3, 4, 12});
    slanted.Update(0.3f);
    const Vec3 d = Column(slanted, 0), v = Column(slanted, 1), w = Column(slanted, 2);
    ExpectNear({3.0f / 13, 4.0f / 13, 12.0f / 13}, d, "slanted d");
    EXPECT_NEAR(0.0f, Vec3::Dot(d, v), 1e-5f);
    EXPECT_NEAR(0.0f, Vec3::Dot(d, w), 1e-5f);
    EXPECT_NEAR(1.0f, v.Length(), 1e-5f);
    ExpectNear(w, Vec3::Cross(d, v), "right-handed");
    const float bob = 15.0f * std::sin(6.0f * 0.3f);
    ExpectNear({d.x * bob, d.y * bob, d.z * bob}, Column(slanted, 3), "slanted translation");
}

TEST_F(Qm3dArrowTest, ATargetAtThePositionOrAlongTheHelperAxisGivesAFiniteFrame)
{
    struct Case {
        Vec3 target;
        Vec3 d, v, minusU;
    };
    // At t = 0 the helper axis is (0, 0, 1).
    const Case cases[] = {
        {{5, 5, 5}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},  // the zero direction becomes (1, 0, 0)
        {{5, 5, 9}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},  // d parallel to the helper: u becomes (1, 0, 0)
    };
    for (const Case& c : cases) {
        CQm3dArrow arrow;
        arrow.Show({5, 5, 5}, c.target);
        arrow.Update(0.0f);
        for (float value : arrow.mesh->frame.local.m)
            ASSERT_TRUE(std::isfinite(value));
        ExpectNear(c.d, Column(arrow, 0), "d");
        ExpectNear(c.v, Column(arrow, 1), "v");
        ExpectNear(c.minusU, Column(arrow, 2), "-u");
        ExpectNear({5, 5, 5}, Column(arrow, 3), "translation");
    }
}

TEST_F(Qm3dArrowTest, ShownTwiceItIsOnceInLayerTwoAndHidingLeavesItThere)
{
    const CGmVisualObject* visual = nullptr;
    {
        CQm3dArrow arrow;
        visual = arrow.mesh;
        EXPECT_FALSE(arrow.Shown());
        EXPECT_EQ(0u, TimesInLayer(layers, 2, visual));
        arrow.Show({0, 0, 0}, {1, 0, 0});
        arrow.Show({0, 0, 0}, {1, 0, 0});
        EXPECT_TRUE(arrow.Shown());
        EXPECT_EQ(1u, TimesInLayer(layers, 2, visual));
        arrow.Hide();
        EXPECT_FALSE(arrow.Shown());
        EXPECT_EQ(1u, TimesInLayer(layers, 2, visual));
        arrow.Show({7, 8, 9}, {7, 8, 20});
        arrow.Update(0.0f);
        EXPECT_TRUE(arrow.Shown());
        ExpectNear({7, 8, 9}, Column(arrow, 3), "the new place");
        EXPECT_EQ(1u, TimesInLayer(layers, 2, visual));
    }
    for (uint32_t layer = 0; layer < CGmLayers::kLayerCount; ++layer)
        EXPECT_EQ(0u, TimesInLayer(layers, layer, visual)) << "removed with the arrow";
}

namespace {

class PortraitDialog : public CQmDialogSystem {
public:
    bool IsDrawingPortrait() const override { return portrait; }
    bool portrait = false;
};

// The arrow's mesh drawn on the platform's device through the recording
// decorator.
class Qm3dArrowDrawing : public DeviceDrawingTest {
protected:
    void SetUp() override
    {
        DeviceDrawingTest::SetUp();
        g_pGmResCollector = &collector;
        g_dataRoot = (data.Path() + "/").c_str();
        const meshfixture::Bytes mesh = meshfixture::WriteGemesh(meshfixture::MakeGrid(1));
        data.Write("gui/meshes/3darrow.gemesh", std::string(mesh.begin(), mesh.end()));
    }
    void TearDown() override
    {
        g_dialogSystem = nullptr;
        g_dataRoot = "";
        g_pGmResCollector = nullptr;
        DeviceDrawingTest::TearDown();
    }

    CTestTempDir data;
    CGmResCollector collector;
};

} // namespace

TEST_F(Qm3dArrowDrawing, TheMeshDrawsWhenShownButNeverHiddenOrIntoThePortrait)
{
    PortraitDialog dialog;
    g_dialogSystem = &dialog;
    CQm3dArrow arrow;
    ASSERT_NE(nullptr, arrow.mesh->mesh);
    arrow.Update(0.1f);
    struct Case {
        bool shown, portrait;
        size_t draws;
    };
    for (const Case& c : {Case{true, false, 1}, Case{false, false, 0}, Case{true, true, 0}}) {
        if (c.shown)
            arrow.Show({0, 0, 0}, {0, 1, 0});
        else
            arrow.Hide();
        dialog.portrait = c.portrait;
        Device()->ClearCalls();
        arrow.mesh->Render();
        const size_t draws =
            Device()->Matching("DrawIndexedPrimitive(").size() + Device()->Matching("DrawPrimitive(").size();
        EXPECT_EQ(c.draws, draws) << c.shown << " " << c.portrait;
    }
}

TEST_F(QmHintsTest, TheHintAndArrowScriptFunctionsCheckTheirArguments)
{
    CQmHints& hints = m_processor.hints;
    hints.texts[CGeString("door")] = CGeWString(u"Open it");
    EXPECT_EQ("", Call("ShowHint(10, 20, 1, 255, 'door', 3, 0)"));
    EXPECT_EQ("Lua::ShowHint arguments error", TakeLog()) << "1 is no boolean";
    EXPECT_FALSE(hints.PictureShown());
    Call("ShowHint(10, 20, true, 300, 'door', 3, 1)");
    EXPECT_TRUE(hints.PictureShown());
    EXPECT_EQ(255, hints.picture->alpha);
    EXPECT_EQ(1u, hints.picture->uvMode);
    EXPECT_STREQ("door", hints.CurrentHint());
    EXPECT_EQ(3.0f, hints.showTime);
    EXPECT_EQ(1.0f, hints.disappearDelay);
    Call("ShowHint(10, 20, false, -5, 'door', 3, 1)");
    EXPECT_EQ(0, hints.picture->alpha);
    Call("HideHint('anything', 2)");
    EXPECT_FALSE(hints.PictureShown());
    EXPECT_EQ(nullptr, hints.CurrentHint());

    CQm3dArrow& arrow = m_processor.arrow;
    Call("Show3dArrow(1, 2, 3, 4, 5)");
    EXPECT_EQ("Lua_Show3dArrow: arguments error\n", TakeLog());
    EXPECT_FALSE(arrow.Shown());
    Call("Show3dArrow(1, 2, 3, 1, '12', 3)");
    EXPECT_TRUE(arrow.Shown());
    EXPECT_EQ(2.0f, arrow.basePosition.y);
    EXPECT_EQ(1.0f, arrow.direction.y);
    EXPECT_TRUE(layers.Contains(2, arrow.mesh));
    Call("Hide3dArrow(true)");
    EXPECT_FALSE(arrow.Shown());
    EXPECT_TRUE(layers.Contains(2, arrow.mesh));
}
