// Edit fields, switches, progress bars and combo boxes drawn on the headless
// device and read back, at the reference size and at a smaller back buffer:
// an edit's two-line selection and its caret, a switch on its third frame, a
// progress bar at one half stretched, tiled and clipped, an open combo list
// over the control below the combo, and a combo near the screen's bottom
// that drops its list upwards.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiComboBox.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiSwitch.h"
#include "Engine/Gui/GuiValues.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"

#include <memory>

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;

class GuiInputPixels : public Screen2dTest {
protected:
    void SetUp() override
    {
        if (!g_pGeSimd)
            GeSimdCreate();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        Screen2dTest::SetUp();
        set = manager->CreateControlSet("main");
    }

    void TearDown() override
    {
        set = nullptr;
        manager.reset(); // the controls and their sprites go before the device
        CGuiResources::FreeAll();
        Screen2dTest::TearDown();
    }

    // A picture of one row of w by h blocks, one per colour, cut into frames
    // (one frame per block unless told).
    static void Schema(const char* name, uint32_t w, uint32_t h, std::vector<uint32_t> colours, uint32_t frames = 0)
    {
        const uint32_t blocks = (uint32_t)colours.size();
        CGmTexture* texture = new CGmTexture();
        texture->Create(w * blocks, h, GM_FMT_A8R8G8B8, false);
        uint32_t pitch = 0;
        uint8_t* bytes = texture->GetFrameImage(&pitch);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w * blocks; ++x)
                reinterpret_cast<uint32_t*>(bytes + y * pitch)[x] = colours[x / w];
        auto* images = new CGmImageSet();
        images->Init(texture, frames ? frames : blocks, frames ? frames : blocks);
        texture->Release();
        CGuiResources::spriteSchemas[CGeString(name)] = images;
    }

    // The font "mono": ten glyphs 10 by 12 of a transparent texture, so that
    // only the pictures show.
    static void InvisibleFont()
    {
        const char16_t codes[] = u" abcdefghi";
        CGmTexture* texture = new CGmTexture();
        texture->Create(100, 12, GM_FMT_A8R8G8B8, false);
        auto* font = new CGuiFont();
        ASSERT_TRUE(font->Init(texture, 10, 10, codes, nullptr, 0, 0));
        texture->Release();
        CGuiResources::fonts[CGeString("mono")] = font;
    }

    // A plain frame set whose background is the "white" schema in a colour.
    void FrameSet(const char* name, uint32_t colour)
    {
        auto* s = static_cast<CGuiBoundFrameSetSimple*>(
            CGuiBoundFrames::CreateSet(manager->frameSets, EBFT_SimpleRect, CGeString(name)));
        s->bgPic.schema = CGuiResources::FindSpriteSchema("white");
        s->bgVertexColor = colour;
    }

    uint32_t Probe(float x, float y, uint32_t w) const
    {
        const float s = (float)w / 1280.0f;
        return At((uint32_t)(x * s), (uint32_t)(y * s));
    }

    void ExpectColour(uint32_t colour, float x, float y, uint32_t w) const
    {
        EXPECT_LE(ColourDistance(colour, Probe(x, y, w)), 2) << x << ", " << y << ": " << std::hex << Probe(x, y, w);
    }

    std::unique_ptr<CGuiManager> manager = std::make_unique<CGuiManager>();
    CGuiControlSet* set = nullptr;
};

} // namespace

TEST_F(GuiInputPixels, EditSelectionOverTwoLinesAndItsCaret)
{
    InvisibleFont();
    Schema("caret", 2, 12, {kGreen});
    Schema("sel", 4, 4, {kRed});

    auto* e = static_cast<CGuiEdit*>(set->CreateControl("e", EGCT_EDIT));
    e->SetSize(300, 100);
    e->SetPosition(100, 100);
    e->SetProperty(EP_Font, CGeValue("mono"), false);
    e->SetProperty(EP_CaretPic, CGeValue("caret"), false);
    e->SetProperty(EP_SelectionPic, CGeValue("sel"), true);
    e->SetText(u"abc\ndef\nghi");
    set->SetFocus(e);

    for (uint32_t w : {1280u, 640u}) {
        SCOPED_TRACE(w);
        Vec2 b = {0, 0}, caret = {0, 0}, caretSize = {0, 0};
        float lh = 0.0f;
        Frame(w, w * 1024 / 1280, [&] {
            // Laid out at this size's scale, then drawn.
            e->Refresh();
            e->Select(1, 5);
            b = e->GlyphPlace(1);
            caret = e->CaretPosition();
            caretSize = e->CaretSize();
            lh = e->textVisual->lineHeight;
            set->Update();
            e->Render();
        });
        ASSERT_EQ(1, e->caretPlaceable);
        const float x0 = 100.0f, y0 = 100.0f;
        // First line from the second glyph to the right edge, second line
        // from the left edge to the caret; the caret right of that.
        ExpectColour(kRed, x0 + b.x + 2.0f, y0 + lh * 0.5f, w);
        ExpectColour(kRed, x0 + 290.0f, y0 + lh * 0.5f, w);
        ExpectColour(Screen2dTest::kBackground, x0 + b.x - 4.0f, y0 + lh * 0.5f, w);
        ExpectColour(kRed, x0 + 2.0f, y0 + lh * 1.5f, w);
        ExpectColour(kGreen, x0 + caret.x + caretSize.x * 0.5f, y0 + caret.y + caretSize.y * 0.5f, w);
        ExpectColour(Screen2dTest::kBackground, x0 + caret.x + caretSize.x + 6.0f, y0 + lh * 1.5f, w);
        ExpectColour(Screen2dTest::kBackground, x0 + 2.0f, y0 + lh * 2.5f, w);
    }

    // Without the focus neither the caret nor the selection shows.
    set->SetFocus(nullptr);
    Frame(1280, 1024, [&] {
        set->Update();
        e->Render();
    });
    ExpectColour(Screen2dTest::kBackground, 100.0f + 2.0f, 100.0f + 18.0f, 1280);
    ExpectColour(Screen2dTest::kBackground, 100.0f + 200.0f, 100.0f + 6.0f, 1280);
}

TEST_F(GuiInputPixels, SwitchShowsTheFrameOfItsState)
{
    Schema("states", 4, 4, {kRed, kGreen, kBlue});
    auto* s = static_cast<CGuiSwitch*>(set->CreateControl("s", EGCT_SWITCH));
    s->SetSize(40, 20);
    s->SetPosition(100, 100);
    s->SetProperty(EP_ImageList, CGeValue("states"), true);
    s->SetProperty(EP_CurState, GuiMakeUInt(2), false);
    for (uint32_t w : {1280u, 640u}) {
        SCOPED_TRACE(w);
        Frame(w, w * 1024 / 1280, [&] {
            s->Refresh();
            set->Update();
            s->Render();
        });
        ExpectColour(kBlue, 120.0f, 110.0f, w);
        ExpectColour(Screen2dTest::kBackground, 150.0f, 110.0f, w);
    }
}

TEST_F(GuiInputPixels, ProgressBarAtOneHalfStretchedTiledAndClipped)
{
    Schema("bar", 4, 4, {kRed, kGreen}, 1); // one 8-pixel picture, red then green
    struct Case {
        uint8_t tiled, clipped;
        std::vector<std::pair<float, uint32_t>> probes; // x within the bar, colour
    } cases[] = {
        {0, 0, {{20, kRed}, {80, kGreen}, {150, Screen2dTest::kBackground}}},
        {1, 0, {{1.5f, kRed}, {5.5f, kGreen}, {9.5f, kRed}, {13.5f, kGreen}, {150, Screen2dTest::kBackground}}},
        {0, 1, {{20, kRed}, {80, kRed}, {150, Screen2dTest::kBackground}}},
    };
    for (const Case& k : cases) {
        auto* p = static_cast<CGuiProgressBar*>(set->CreateControl("p", EGCT_PROGRESSBAR));
        p->SetSize(200, 20);
        p->SetPosition(100, 100);
        p->SetProperty(EP_ProgressPic, CGeValue("bar"), false);
        p->SetProperty(EP_ProgressPicTiled, GuiMakeBool(k.tiled), false);
        p->SetProperty(EP_ProgressPicClipped, GuiMakeBool(k.clipped), false);
        for (uint32_t w : {1280u, 640u}) {
            SCOPED_TRACE(testing::Message() << w << " tiled " << (int)k.tiled << " clipped " << (int)k.clipped);
            Frame(w, w * 1024 / 1280, [&] {
                p->SetValue(0.5f);
                set->Update();
                p->Render();
            });
            for (const auto& probe : k.probes)
                if (w == 1280 || probe.first >= 10.0f || !k.tiled) // tiles below a pixel apart are not probed
                    ExpectColour(probe.second, 100.0f + probe.first, 110.0f, w);
        }
        set->RemoveControl("p");
    }
}

TEST_F(GuiInputPixels, AnOpenComboListLiesOverTheControlBelow)
{
    InvisibleFont();
    Schema("white", 8, 8, {0xFFFFFFFF});
    FrameSet("red", kRed);
    FrameSet("green", kGreen);

    CGuiControl* below = set->CreateControl("below", EGCT_CONTROL);
    below->SetSize(200, 60);
    below->SetPosition(100, 125);
    below->SetProperty(EP_BoundFrameSet, CGeValue("red"), false);
    auto* c = static_cast<CGuiComboBox*>(set->CreateControl("c", EGCT_COMBOBOX));
    c->SetSize(200, 20);
    c->SetPosition(100, 100);
    c->SetProperty(EP_Font, CGeValue("mono"), false);
    c->SetProperty(EP_BoundFrameSet, CGeValue("green"), false);
    c->SetProperty(EP_MaxDropItemCount, GuiMakeUInt(3), false);
    c->SetProperty(EP_Items, CGeValue(CGeWString(u"a\nb\nc\nd\ne")), true);
    ASSERT_NE(nullptr, c->listBox);

    for (uint32_t w : {1280u, 640u}) {
        for (bool open : {false, true}) {
            SCOPED_TRACE(testing::Message() << w << (open ? " open" : " closed"));
            float listTop = 0.0f, listBottom = 0.0f;
            Frame(w, w * 1024 / 1280, [&] {
                c->Close();
                if (open)
                    c->Open();
                listTop = 100.0f + c->listBox->Y();
                listBottom = listTop + c->listBox->height;
                set->Update();
                below->Render();
                c->Render();
            });
            ASSERT_GT(listBottom, 128.0f);
            ASSERT_LT(listBottom, 180.0f);
            ExpectColour(open ? kGreen : kRed, 200.0f, (125.0f + listBottom) * 0.5f, w);
            ExpectColour(kRed, 200.0f, listBottom + 4.0f, w);
        }
    }
}

TEST_F(GuiInputPixels, AComboNearTheScreensBottomDropsItsListUpwards)
{
    InvisibleFont();
    Schema("white", 8, 8, {0xFFFFFFFF});
    FrameSet("green", kGreen);
    auto* c = static_cast<CGuiComboBox*>(set->CreateControl("c", EGCT_COMBOBOX));
    c->SetSize(200, 20);
    c->SetProperty(EP_Font, CGeValue("mono"), false);
    c->SetProperty(EP_BoundFrameSet, CGeValue("green"), false);
    c->SetProperty(EP_MaxDropItemCount, GuiMakeUInt(3), false);
    c->SetProperty(EP_Items, CGeValue(CGeWString(u"a\nb\nc\nd\ne")), true);
    for (uint32_t w : {1280u, 640u}) {
        for (float y : {990.0f, 100.0f}) {
            SCOPED_TRACE(testing::Message() << w << " at " << y);
            float listY = 0.0f, listHeight = 0.0f;
            Frame(w, w * 1024 / 1280, [&] {
                c->SetPosition(100, y);
                c->Close();
                c->Open();
                listY = c->listBox->Y();
                listHeight = c->listBox->height;
                set->Update();
                c->Render();
            });
            ASSERT_GT(listHeight, 0.0f);
            const bool above = y > 500.0f;
            EXPECT_FLOAT_EQ(above ? -listHeight : 20.0f, listY);
            ExpectColour(kGreen, 200.0f, y + listY + listHeight * 0.5f, w);
            ExpectColour(Screen2dTest::kBackground, 200.0f, above ? y + 24.0f : y - 4.0f, w);
        }
    }
}
