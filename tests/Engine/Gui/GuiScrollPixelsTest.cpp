// The scrolling controls drawn on the headless device and read back, at the
// reference size and at a smaller back buffer: scroll bars in both
// directions (the start arrow mirrored, the vertical bar's pictures turned by
// a quarter turn onto the bar).
#include "GuiPictureFixture.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiValues.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"

#include <memory>

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;
constexpr uint32_t kCyan = 0xFF00FFFF, kMagenta = 0xFFFF00FF;

class GuiScrollPixels : public Screen2dTest {
protected:
    void SetUp() override
    {
        if (!g_pGeSimd)
            GeSimdCreate();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        Screen2dTest::SetUp();
        const uint32_t quadrants[4] = {kRed, kGreen, kBlue, kYellow};
        const uint32_t cyan[4] = {kCyan, kCyan, kCyan, kCyan};
        const uint32_t magenta[4] = {kMagenta, kMagenta, kMagenta, kMagenta};
        GuiTestSchema("arrow", 20, 20, quadrants);
        GuiTestSchema("thumb", 30, 20, magenta);
        GuiTestSchema("track", 10, 20, cyan);
        set = manager->CreateControlSet("main");
    }

    void TearDown() override
    {
        set = nullptr;
        manager.reset(); // the controls and their sprites go before the device
        CGuiResources::FreeAll();
        Screen2dTest::TearDown();
    }

    CGuiScrollBar* MakeBar(const char* name, float x, float y, float w, float h, int32_t direction)
    {
        auto* bar = static_cast<CGuiScrollBar*>(set->CreateControl(CGeString(name), EGCT_SCROLLBAR));
        bar->SetProperty(EP_Direction, GuiMakeInt(direction), false);
        bar->SetProperty(EP_ArrowPic, CGeValue("arrow"), false);
        bar->SetProperty(EP_ThumbPic, CGeValue("thumb"), false);
        bar->SetProperty(EP_ScrollBarBgPic, CGeValue("track"), false);
        bar->CGuiControl::SetPosition(x, y);
        bar->SetSize(w, h);
        bar->SetProperty(EP_MaxPos, GuiMakeFloat(10), true);
        return bar;
    }

    uint32_t Probe(float x, float y, uint32_t w) const
    {
        const float s = (float)w / 1280.0f;
        return At((uint32_t)(x * s), (uint32_t)(y * s));
    }

    std::unique_ptr<CGuiManager> manager = std::make_unique<CGuiManager>();
    CGuiControlSet* set = nullptr;
};

} // namespace

TEST_F(GuiScrollPixels, BarsInBothDirections)
{
    CGuiScrollBar* horz = MakeBar("h", 100, 100, 200, 20, 0);
    CGuiScrollBar* vert = MakeBar("v", 400, 100, 20, 200, 1);
    for (uint32_t w : {1280u, 640u}) {
        SCOPED_TRACE(w);
        Frame(w, w * 1024 / 1280, [&] {
            set->Update();
            horz->Render();
            vert->Render();
        });
        struct Expect {
            float x, y;
            uint32_t colour;
        } probes[] = {
            // Horizontal: the start arrow mirrored, the end arrow as drawn.
            {105, 105, kGreen},
            {115, 105, kRed},
            {105, 115, kYellow},
            {115, 115, kBlue},
            {285, 105, kRed},
            {295, 105, kGreen},
            {285, 115, kBlue},
            {295, 115, kYellow},
            {135, 110, kMagenta}, // the thumb at the track start
            {200, 110, kCyan},
            {200, 125, kBackground},
            // Vertical: the pictures' length runs down, their top row lies
            // along the bar's right edge.
            {415, 115, kRed},
            {415, 105, kGreen},
            {405, 115, kBlue},
            {405, 105, kYellow},
            {415, 285, kRed},
            {415, 295, kGreen},
            {405, 285, kBlue},
            {405, 295, kYellow},
            {410, 135, kMagenta},
            {410, 200, kCyan},
            {430, 200, kBackground},
            {395, 200, kBackground},
        };
        for (const Expect& p : probes)
            EXPECT_LE(ColourDistance(p.colour, Probe(p.x, p.y, w)), 2)
                << p.x << ", " << p.y << ": " << std::hex << Probe(p.x, p.y, w);
    }
}
