// The switch and the progress bar: stepping by clicks and keys with event 45,
// the stored state beyond the frames, pictures and their layout; the bar's
// fraction stretched, tiled and clipped and its bounds that never pass the
// value. Each with the case the plain rules leave undefined (no states, an
// empty range).
#include "GuiTestFixture.h"

#include "Engine/Core/Common/GeTextConvert.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiSwitch.h"

#include <algorithm>

namespace {

class GuiSwitch : public GuiTest {
protected:
    void TearDown() override
    {
        GuiTest::TearDown();
        CGuiResources::FreeAll();
    }

    // A schema of n frames; with a texture of that width when width > 0.
    static void Schema(const char* name, uint32_t frames, uint32_t textureWidth = 0)
    {
        auto* images = new CGmImageSet();
        CGmTexture* texture = nullptr;
        if (textureWidth) {
            texture = new CGmTexture();
            texture->Create(textureWidth, 8, GM_FMT_A8R8G8B8, false);
        }
        images->Init(texture, frames, frames);
        if (texture)
            texture->Release();
        CGuiResources::spriteSchemas[CGeString(name)] = images;
    }
    CGuiSwitch* MakeSwitch(uint32_t frames)
    {
        auto* s = static_cast<CGuiSwitch*>(Make("s", 100, 100, 40, 20, nullptr, EGCT_SWITCH));
        if (frames) {
            Schema("states", frames);
            s->SetProperty(EP_ImageList, CGeValue("states"), true);
        }
        s->AddListener(&heard, Listen);
        return s;
    }
    void RightClick(int x, int y)
    {
        Send(WM_RBUTTONDOWN, 0, MAKELPARAM(x, y));
        Frame();
        Send(WM_RBUTTONUP, 0, MAKELPARAM(x, y));
        Frame();
    }
    void Key(WPARAM key, bool shift = false)
    {
        // The device reports the frame's last key down and the key bits as
        // the frame ends: Shift goes down and up in frames of its own.
        if (shift) {
            Send(WM_KEYDOWN, 16, 0);
            Frame();
        }
        Send(WM_KEYDOWN, key, 0);
        Send(WM_KEYUP, key, 0);
        Frame();
        if (shift) {
            Send(WM_KEYUP, 16, 0);
            Frame();
        }
    }
    // How many of the codes are 45.
    static size_t Steps(const Codes& codes) { return (size_t)std::count(codes.begin(), codes.end(), 45u); }
    static void Listen(void* log, CGuiControl*, uint32_t code) { static_cast<Codes*>(log)->push_back(code); }

    Codes heard;
};

using GuiProgressBar = GuiSwitch;

std::string Read(CGuiControl* c, uint32_t index)
{
    CGeWString text;
    EXPECT_TRUE(c->GetProperty(index, text));
    return WideStringToAnsi(text).c_str();
}

} // namespace

TEST_F(GuiSwitch, ClicksStepCyclicallyAndReportEachStep)
{
    CGuiSwitch* s = MakeSwitch(3);
    EXPECT_EQ(3u, s->statesCount);
    EXPECT_EQ(1, s->focusEnabled);
    EXPECT_EQ(8, s->cursorType);
    for (uint32_t expected : {1u, 2u, 0u, 1u}) {
        Forget();
        heard.clear();
        Click(110, 110);
        EXPECT_EQ(expected, s->currentState);
        EXPECT_EQ(1u, Steps(Events("s")));
        EXPECT_EQ(1u, Steps(heard));
    }
    s->SetProperty(EP_CurState, GuiMakeUInt(0), false);
    for (uint32_t expected : {2u, 1u, 0u, 2u}) {
        Forget();
        RightClick(110, 110);
        EXPECT_EQ(expected, s->currentState);
        EXPECT_EQ(1u, Steps(Events("s")));
    }
}

TEST_F(GuiSwitch, KeysOfTheFocusedSwitch)
{
    CGuiSwitch* s = MakeSwitch(3);
    set->SetFocus(s);
    Frame();
    struct Case {
        uint32_t from;
        WPARAM key;
        bool shift;
        uint32_t to;
        size_t steps;
    } cases[] = {
        {0, 39, false, 1, 1}, // Right
        {0, 37, false, 2, 1}, // Left wraps
        {1, 32, false, 2, 1}, // Space forward
        {1, 32, true, 0, 1},  // Shift+Space backward
        {0, 13, false, 0, 0}, // Enter in state 0: nothing
        {2, 13, false, 0, 1}, // Enter goes home
        {1, 65, false, 1, 0}, // any other key
    };
    for (const Case& k : cases) {
        s->SetProperty(EP_CurState, GuiMakeUInt(k.from), false);
        Frame();
        Forget();
        Key(k.key, k.shift);
        EXPECT_EQ(k.to, s->currentState) << "key " << k.key;
        EXPECT_EQ(k.steps, Steps(Events("s"))) << "key " << k.key;
    }
}

TEST_F(GuiSwitch, StoredStateBeyondTheFramesShowsTheLastFrame)
{
    CGuiSwitch* s = MakeSwitch(3);
    Forget();
    s->SetProperty(EP_CurState, GuiMakeUInt(7), false);
    EXPECT_EQ("7", Read(s, EP_CurState));
    EXPECT_EQ("3", Read(s, EP_StatesCount));
    s->Render();
    EXPECT_EQ(2u, s->sprite->imageSet.currentFrame);
    Frame();
    EXPECT_EQ(0u, Steps(Events("s")));
    Click(110, 110);
    EXPECT_EQ(2u, s->currentState); // 8 mod 3
}

TEST_F(GuiSwitch, PicturesAndLayout)
{
    CGuiSwitch* s = MakeSwitch(3);
    ASSERT_NE(nullptr, s->sprite);
    EXPECT_EQ(&s->frame, s->sprite->frame.parent);
    EXPECT_EQ(1, s->sprite->pixelSnapping);
    EXPECT_FLOAT_EQ(40.0f, s->sprite->size[0]);
    s->SetSize(60, 30);
    EXPECT_FLOAT_EQ(60.0f, s->sprite->size[0]);
    EXPECT_FLOAT_EQ(30.0f, s->sprite->size[1]);
    s->SetProperty(EP_SwitchBlendMode, GuiMakeUInt(2), false);
    EXPECT_EQ(2u, s->sprite->blendMode);
    s->SetVisualState(0);
    EXPECT_EQ(s->disabledColor, s->sprite->color);

    // A new picture starts at state 0; an unknown one removes the picture
    // and keeps the count.
    s->SetProperty(EP_CurState, GuiMakeUInt(2), false);
    Schema("five", 5);
    s->SetProperty(EP_ImageList, CGeValue("five"), false);
    EXPECT_EQ(0u, s->currentState);
    EXPECT_EQ(5u, s->statesCount);
    EXPECT_EQ(2u, s->sprite->blendMode);
    s->SetProperty(EP_ImageList, CGeValue("no such schema"), false);
    EXPECT_EQ(nullptr, s->sprite);
    EXPECT_EQ("", Read(s, EP_ImageList));
    EXPECT_EQ(5u, s->statesCount);
}

TEST_F(GuiSwitch, WithoutStatesStepsAreIgnored)
{
    CGuiSwitch* s = MakeSwitch(0);
    set->SetFocus(s);
    Frame();
    Forget();
    Click(110, 110);
    RightClick(110, 110);
    for (WPARAM key : {39, 37, 32})
        Key(key);
    EXPECT_EQ(0u, s->currentState);
    EXPECT_EQ(0u, Steps(Events("s")));
    EXPECT_TRUE(heard.empty() || Steps(heard) == 0);
}

TEST_F(GuiProgressBar, FractionStretchedTiledAndClipped)
{
    Schema("bar", 1, 16);
    struct Case {
        uint8_t tiled, clipped;
        float width, subRectWidth, repeat;
    } cases[] = {
        {0, 0, 100.0f, 1.0f, 1.0f},
        {0, 1, 200.0f, 0.5f, 1.0f},
        {1, 0, 100.0f, 1.0f, 100.0f / 16.0f},
    };
    for (const Case& k : cases) {
        auto* p = static_cast<CGuiProgressBar*>(Make("p", 0, 0, 200, 20, nullptr, EGCT_PROGRESSBAR));
        p->SetProperty(EP_ProgressPic, CGeValue("bar"), false);
        p->SetProperty(EP_ProgressPicTiled, GuiMakeBool(k.tiled), false);
        p->SetProperty(EP_ProgressPicClipped, GuiMakeBool(k.clipped), false);
        p->SetValue(0.5f);
        ASSERT_NE(nullptr, p->sprite);
        EXPECT_FLOAT_EQ(k.width, p->sprite->size[0]);
        EXPECT_FLOAT_EQ(20.0f, p->sprite->size[1]);
        EXPECT_FLOAT_EQ(k.subRectWidth, p->sprite->subRect.width);
        EXPECT_FLOAT_EQ(k.repeat, p->sprite->quad->uvSpan[0]);
        EXPECT_EQ(0u, p->sprite->addressMode);
        set->RemoveControl("p");
    }
}

TEST_F(GuiProgressBar, BoundsNeverPassTheValue)
{
    struct Step {
        uint32_t index;
        float given;
    };
    struct Case {
        std::vector<Step> steps;
        float minimum, maximum, value;
    } cases[] = {
        {{{EP_MinPos, 5.0f}}, 0.0f, 1.0f, 0.0f},
        {{{EP_MaxPos, 10.0f}, {EP_CurPos, 7.0f}, {EP_MinPos, 5.0f}}, 5.0f, 10.0f, 7.0f},
        {{{EP_CurPos, 1.0f}, {EP_MaxPos, 0.25f}}, 0.0f, 1.0f, 1.0f},
        {{{EP_CurPos, 2.0f}}, 0.0f, 1.0f, 1.0f},
        {{{EP_CurPos, -1.0f}}, 0.0f, 1.0f, 0.0f},
    };
    for (const Case& k : cases) {
        auto* p = static_cast<CGuiProgressBar*>(Make("p", 0, 0, 200, 20, nullptr, EGCT_PROGRESSBAR));
        for (const Step& s : k.steps)
            p->SetProperty(s.index, GuiMakeFloat(s.given), false);
        EXPECT_FLOAT_EQ(k.minimum, p->minimum);
        EXPECT_FLOAT_EQ(k.maximum, p->maximum);
        EXPECT_FLOAT_EQ(k.value, p->value);
        set->RemoveControl("p");
    }
    auto* p = static_cast<CGuiProgressBar*>(Make("p", 0, 0, 200, 20, nullptr, EGCT_PROGRESSBAR));
    p->SetValue(2.0f);
    EXPECT_FLOAT_EQ(1.0f, p->value);
    p->SetValue(-1.0f);
    EXPECT_FLOAT_EQ(0.0f, p->value);
    EXPECT_EQ("0", Read(p, EP_CurPos).substr(0, 1));
}

TEST_F(GuiProgressBar, EmptyRangeShowsNothingAndTilingRebuildsThePicture)
{
    Schema("bar", 1, 16);
    auto* p = static_cast<CGuiProgressBar*>(Make("p", 0, 0, 200, 20, nullptr, EGCT_PROGRESSBAR));
    p->SetProperty(EP_ProgressPic, CGeValue("bar"), false);
    p->SetProperty(EP_MaxPos, GuiMakeFloat(0.0f), false); // maximum = minimum = value = 0
    EXPECT_FLOAT_EQ(0.0f, p->maximum);
    p->Recalc();
    EXPECT_FLOAT_EQ(0.0f, p->Fraction());
    EXPECT_FLOAT_EQ(0.0f, p->sprite->size[0]);
    p->SetProperty(EP_ProgressPicClipped, GuiMakeBool(1), true);
    EXPECT_FLOAT_EQ(0.0f, p->sprite->subRect.width);

    // The tiled flag makes the picture anew from its stored name; the
    // tiling shows after the next layout.
    p->SetProperty(EP_ProgressPicClipped, GuiMakeBool(0), false);
    p->SetProperty(EP_MaxPos, GuiMakeFloat(1.0f), false);
    p->SetProperty(EP_CurPos, GuiMakeFloat(0.5f), false);
    p->SetProperty(EP_ProgressPicTiled, GuiMakeBool(1), false);
    EXPECT_NE(nullptr, p->sprite);
    EXPECT_EQ("bar", Read(p, EP_ProgressPic));
    EXPECT_FLOAT_EQ(1.0f, p->sprite->quad->uvSpan[0]);
    p->SetSize(200, 20);
    p->Refresh();
    EXPECT_FLOAT_EQ(100.0f / 16.0f, p->sprite->quad->uvSpan[0]);

    // Disabled: the disabled colour with its alpha.
    p->SetProperty(EP_DisabledColor, GuiMakeUInt(0x80112233), false);
    p->SetVisualState(0);
    EXPECT_EQ(0x80, p->sprite->alpha);
    p->SetVisualState(1);
    EXPECT_EQ(255, p->sprite->alpha);
}
