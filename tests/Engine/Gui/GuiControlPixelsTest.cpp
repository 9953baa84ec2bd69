// Controls drawn on the headless device and read back: a framed panel whose
// clipping child, larger than the panel, is cut at the panel's frame insets,
// at the reference size and at a smaller back buffer.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"

#include <memory>

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;

class GuiControlPixels : public Screen2dTest {
protected:
    void SetUp() override
    {
        if (!g_pGeSimd)
            GeSimdCreate();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        Screen2dTest::SetUp();
        CGmTexture* texture = new CGmTexture();
        texture->Create(8, 8, GM_FMT_A8R8G8B8, false);
        uint32_t pitch = 0;
        uint8_t* bytes = texture->GetFrameImage(&pitch);
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; ++x)
                reinterpret_cast<uint32_t*>(bytes + y * pitch)[x] = 0xFFFFFFFF;
        white = new CGmImageSet();
        white->Init(texture, 1, 1);
        texture->Release();
        AddSet("panel", kRed, 10.0f);
        AddSet("child", kGreen, 0.0f);
        set = manager->CreateControlSet("main");
    }

    void TearDown() override
    {
        set = nullptr;
        manager.reset(); // the controls and their frames go before the device
        white->Release();
        delete white;
        Screen2dTest::TearDown();
    }

    void AddSet(const char* name, uint32_t colour, float inset)
    {
        auto* s = static_cast<CGuiBoundFrameSetSimple*>(
            CGuiBoundFrames::CreateSet(manager->frameSets, EBFT_SimpleRect, CGeString(name)));
        s->bgPic.schema = white;
        s->bgVertexColor = colour;
        for (float& offset : s->clientAreaOffset)
            offset = inset;
    }

    CGuiControl* Make(const char* name, const char* frameSet, float x, float y, float w, float h,
                      CGuiControl* parent)
    {
        CGuiControl* c = set->CreateControl(name, EGCT_CONTROL);
        if (parent)
            c->SetParent(parent);
        c->SetSize(w, h);
        c->SetPosition(x, y);
        c->SetProperty(EP_BoundFrameSet, CGeValue(frameSet), false);
        return c;
    }

    uint32_t Probe(float x, float y, uint32_t w) const
    {
        const float s = (float)w / 1280.0f;
        return At((uint32_t)(x * s), (uint32_t)(y * s));
    }

    CGmImageSet* white = nullptr;
    std::unique_ptr<CGuiManager> manager = std::make_unique<CGuiManager>();
    CGuiControlSet* set = nullptr;
};

} // namespace

TEST_F(GuiControlPixels, AClippingChildIsCutAtThePanelsFrameInsets)
{
    CGuiControl* panel = Make("panel", "panel", 100, 100, 200, 100, nullptr);
    CGuiControl* child = Make("child", "child", -50, -50, 400, 300, panel);
    child->clipping = 1;
    ASSERT_NE(nullptr, panel->boundFrame);
    ASSERT_NE(nullptr, child->boundFrame);
    set->Update();
    ASSERT_EQ(1, child->hasClipRect);
    EXPECT_FLOAT_EQ(110.0f, child->clipRect.x);
    EXPECT_FLOAT_EQ(180.0f, child->clipRect.width);

    for (uint32_t w : {1280u, 640u}) {
        SCOPED_TRACE(w);
        Frame(w, w * 1024 / 1280, [&] {
            set->Update();
            panel->Render();
        });
        struct Expect {
            float x, y;
            uint32_t colour;
        } probes[] = {
            {150, 150, kGreen},      // inside the client area
            {112, 112, kGreen},      // just inside the insets
            {104, 150, kRed},        // the panel's inset band
            {150, 194, kRed},
            {70, 150, kBackground},  // the child reaches here, but is cut
            {150, 250, kBackground},
        };
        for (const Expect& p : probes)
            EXPECT_LE(ColourDistance(p.colour, Probe(p.x, p.y, w)), 2)
                << p.x << ", " << p.y << ": " << std::hex << Probe(p.x, p.y, w);
    }
    EXPECT_EQ(0, camera.locked);
}
