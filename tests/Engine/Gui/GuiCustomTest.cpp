// The custom control hosts an outside visual inside its client area, drawn
// through the 2D camera's clip: the client area alone, cut by a clipping
// parent, or nothing when the two do not overlap.
#include "GuiTestFixture.h"

#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiProperties.h"

namespace {

using GuiCustom = GuiTest;

// Remembers the camera's clip as it stood whenever it was drawn.
class CClipProbe : public CGmVisualObject {
public:
    explicit CClipProbe(CGmCamera* cam) : camera(cam) {}
    void Update() override { ++updates; }
    void Render() override
    {
        ++renders;
        locked = camera->locked;
        for (int i = 0; i < 4; ++i)
            clip[i] = camera->clipRect[i];
    }
    CGmCamera* camera;
    int updates = 0, renders = 0;
    uint8_t locked = 0;
    float clip[4] = {};
};

std::vector<float> Clip(const CClipProbe& p)
{
    return {p.clip[0], p.clip[1], p.clip[2], p.clip[3]};
}

} // namespace

TEST_F(GuiCustom, DrawsItsVisualClippedToTheClientArea)
{
    CClipProbe probe(&camera);
    auto* custom = static_cast<CGuiCustom*>(Make("custom", 100, 100, 200, 100, nullptr, EGCT_CUSTOM));
    EXPECT_EQ(11, custom->cursorType);
    custom->AttachVisual(&probe);
    EXPECT_EQ(&custom->frame, probe.frame.parent);
    Frame();
    EXPECT_EQ(1, probe.updates);
    custom->Render();
    EXPECT_EQ(1, probe.renders);
    EXPECT_EQ(1, probe.locked);
    EXPECT_EQ(std::vector<float>({100, 100, 200, 100}), Clip(probe));
    EXPECT_EQ(0, camera.locked); // switched off again

    custom->SetSize(50, 40); // the client area follows at once
    EXPECT_FLOAT_EQ(50.0f, custom->clientSize[0]);
    EXPECT_FLOAT_EQ(40.0f, custom->clientSize[1]);

    custom->SetProperty(EP_ClipInner, GuiMakeBool(0), false);
    CGeWString text;
    ASSERT_TRUE(custom->GetProperty(EP_ClipInner, text));
    EXPECT_TRUE(text == CGeWString(u"False"));
    custom->Render();
    EXPECT_EQ(0, probe.locked);

    custom->DetachVisual();
    EXPECT_EQ(nullptr, probe.frame.parent);
    set->RemoveControl("custom"); // the visual lives on
    EXPECT_EQ(2, probe.renders);
}

// A turned or zoomed control clips to the screen bounds of its client area,
// where its content is drawn.
TEST_F(GuiCustom, ATurnedOrZoomedControlClipsToItsClientAreasBounds)
{
    CClipProbe probe(&camera);
    auto* custom = static_cast<CGuiCustom*>(Make("custom", 300, 200, 200, 100, nullptr, EGCT_CUSTOM));
    custom->AttachVisual(&probe);
    custom->SetPivot(100.0f, 50.0f, 0.0f); // turns about its middle, placed at (300, 200)
    struct Case {
        float degrees, zoom;
        std::vector<float> clip;
    } cases[] = {
        {0.0f, 1.0f, {200, 150, 200, 100}},
        {90.0f, 1.0f, {250, 100, 100, 200}},
        {180.0f, 1.0f, {200, 150, 200, 100}},
        {0.0f, 2.0f, {100, 100, 400, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        custom->SetProperty(EP_Rotate, GuiMakeFloat(c.degrees), true);
        custom->SetProperty(EP_ZoomX, GuiMakeFloat(c.zoom), true);
        custom->SetProperty(EP_ZoomY, GuiMakeFloat(c.zoom), true);
        custom->Render();
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(c.clip[i], probe.clip[i], 1e-3f) << i;
    }
    custom->DetachVisual();
}

TEST_F(GuiCustom, AClippingParentCutsTheVisual)
{
    CClipProbe probe(&camera);
    CGuiControl* panel = Make("panel", 0, 0, 150, 150);
    auto* custom = static_cast<CGuiCustom*>(Make("custom", 100, 100, 200, 100, panel, EGCT_CUSTOM));
    custom->clipping = 1;
    custom->AttachVisual(&probe);
    Frame();
    panel->Render();
    EXPECT_EQ(1, probe.locked);
    EXPECT_EQ(std::vector<float>({100, 100, 50, 50}), Clip(probe));
    EXPECT_EQ(0, camera.locked);

    // Outside the enclosing clip: the client area intersects to nothing.
    const float outer[4] = {0, 0, 50, 50};
    camera.SetClipRect(outer);
    camera.locked = 1;
    custom->DrawVisual();
    EXPECT_EQ(std::vector<float>({0, 0, 0, 0}), Clip(probe));
    EXPECT_EQ(1, camera.locked); // the outer clip is back
    EXPECT_EQ(std::vector<float>({0, 0, 50, 50}),
              std::vector<float>(camera.clipRect, camera.clipRect + 4));
    camera.locked = 0;

    // Moved wholly outside its clipping parent, the control draws nothing.
    custom->SetPosition(200, 200);
    Frame();
    probe.renders = 0;
    panel->Render();
    EXPECT_EQ(0, probe.renders);
    custom->DetachVisual();
}
