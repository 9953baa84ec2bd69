// The scrolling controls drawn on the headless device and read back, at the
// reference size and at a smaller back buffer: scroll bars in both
// directions (the start arrow mirrored, the vertical bar's pictures turned by
// a quarter turn onto the bar), a list box's selection half scrolled out of
// view, and a scroll box cutting its content.
#include "GuiPictureFixture.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiScrollArea.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiScrollBox.h"
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

TEST_F(GuiScrollPixels, AListsSelectionHalfScrolledOut)
{
    // A font whose texture is clear, so that only the selection shows.
    static const char16_t kCodes[] = u" abcdefghij";
    CGmTexture* texture = new CGmTexture();
    texture->Create(110, 12, GM_FMT_A8R8G8B8, false);
    CGuiFont* font = new CGuiFont();
    font->Init(texture, 11, 11, kCodes, nullptr, 0, 0);
    texture->Release();
    CGuiResources::fonts[CGeString("F")] = font;
    const uint32_t magenta[4] = {kMagenta, kMagenta, kMagenta, kMagenta};
    GuiTestSchema("sel", 20, 12, magenta);

    auto* list = static_cast<CGuiListBox*>(set->CreateControl(CGeString("l"), EGCT_LISTBOX));
    list->SetSize(200, 60);
    list->SetPosition(100, 300);
    list->SetProperty(EP_Font, CGeValue("F"), false);
    list->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(10), false);
    list->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(10), false);
    list->SetProperty(EP_SelectionPic, CGeValue("sel"), false);
    list->SetProperty(EP_Items, CGeValue(CGeWString(u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj")), true);
    list->SetCurItem(1);
    list->SetScrollOffset({0.0f, 18.0f}); // the item's upper half above the view

    for (uint32_t w : {1280u, 640u}) {
        SCOPED_TRACE(w);
        Frame(w, w * 1024 / 1280, [&] {
            set->Update();
            list->Render();
        });
        struct Expect {
            float x, y;
            uint32_t colour;
        } probes[] = {
            {150, 303, kMagenta},    {280, 303, kMagenta}, // the lower half, the list's width less the bar
            {150, 309, kBackground},                       // below it
            {150, 297, kBackground},                       // the cut upper half
            {295, 303, kBackground},                       // beside it, the vertical bar
        };
        for (const Expect& p : probes)
            EXPECT_LE(ColourDistance(p.colour, Probe(p.x, p.y, w)), 2)
                << p.x << ", " << p.y << ": " << std::hex << Probe(p.x, p.y, w);
    }
}

TEST_F(GuiScrollPixels, AScrollBoxCutsItsContent)
{
    const uint32_t green[4] = {kGreen, kGreen, kGreen, kGreen};
    GuiTestSchema("white", 8, 8, green);
    auto* frameSet = static_cast<CGuiBoundFrameSetSimple*>(
        CGuiBoundFrames::CreateSet(manager->frameSets, EBFT_SimpleRect, CGeString("content")));
    CGmImageSet* white = CGuiResources::FindSpriteSchema(CGeString("white"));
    frameSet->bgPic.schema = white;
    frameSet->bgVertexColor = 0xFFFFFFFF;

    auto* box = static_cast<CGuiScrollBox*>(set->CreateControl(CGeString("box"), EGCT_SCROLLBOX));
    box->SetSize(200, 100);
    box->SetPosition(500, 300);
    box->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(10), false);
    box->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(10), true);
    CGuiControl* content = set->CreateControl(CGeString("content"), EGCT_CONTROL);
    content->SetParent(box->area);
    content->SetSize(300, 200);
    content->SetProperty(EP_BoundFrameSet, CGeValue("content"), false);
    content->SetProperty(EP_Clipping, GuiMakeBool(1), false);
    box->Refresh();
    box->SetProperty(EP_ScrollOffsetX, GuiMakeFloat(50), false);
    EXPECT_FLOAT_EQ(-50.0f, content->X());

    for (uint32_t w : {1280u, 640u}) {
        SCOPED_TRACE(w);
        Frame(w, w * 1024 / 1280, [&] {
            set->Update();
            box->Render();
        });
        struct Expect {
            float x, y;
            uint32_t colour;
        } probes[] = {
            {504, 304, kGreen},      {680, 380, kGreen}, // inside the area
            {696, 350, kBackground},                     // where the vertical bar runs
            {600, 396, kBackground},                     // and the horizontal one
            {720, 350, kBackground},                     // beyond the box
            {480, 350, kBackground},                     // scrolled out to the left
        };
        for (const Expect& p : probes)
            EXPECT_LE(ColourDistance(p.colour, Probe(p.x, p.y, w)), 2)
                << p.x << ", " << p.y << ": " << std::hex << Probe(p.x, p.y, w);
    }
}
