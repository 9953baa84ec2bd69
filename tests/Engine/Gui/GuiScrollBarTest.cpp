// The scroll bar: layout of its eight sprites in both directions, the five
// zones under press and release, the repeat on hold, thumb drags (continuous
// and in whole steps), the wheel, leaving and re-entering during a hold, the
// cursor confinement, the range properties, and the divisions by zero that a
// degenerate range or picture would cause.
#include "GuiScrollFixture.h"

#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Platform/Win32/WinCursor.h"

#include <cmath>

namespace {

// Records what reaches the bar's own OnEvent.
class CRecordingBar : public CGuiScrollBar {
public:
    CRecordingBar() : CGuiScrollBar(1.0f, 1.0f) {}
    void OnEvent(uint32_t code) override
    {
        own.push_back(code);
        CGuiScrollBar::OnEvent(code);
    }
    Codes own;
};

class GuiScrollBar : public GuiScrollTest {
protected:
    void SetUp() override
    {
        GuiScrollTest::SetUp();
        Schema("arrow", 20, 20);
        Schema("arrowDown", 20, 20);
        Schema("thumb", 30, 20);
        Schema("thumbDown", 30, 20);
        Schema("track", 10, 20);
        Schema("trackDown", 10, 20);
    }

    // A bar with every picture: arrows 20 long, a thumb 30 long, so that a
    // 200-long bar has 130 of travel.
    CRecordingBar* MakeBar(const char* name, float x, float y, float w, float h, int32_t direction = 0)
    {
        auto* bar = new CRecordingBar();
        bar->dispatcher = &dispatcher;
        bar->SetName(CGeString(name));
        set->AddControl(bar);
        bar->SetProperty(EP_Direction, GuiMakeInt(direction), false);
        for (auto [index, pic] : {std::pair<uint32_t, const char*>{EP_ArrowPic, "arrow"},
                                  {EP_ArrowPressedPic, "arrowDown"},
                                  {EP_ThumbPic, "thumb"},
                                  {EP_ThumbPressedPic, "thumbDown"},
                                  {EP_ScrollBarBgPic, "track"},
                                  {EP_ScrollBarBgPressedPic, "trackDown"}})
            bar->SetProperty(index, CGeValue(pic), false);
        bar->CGuiControl::SetPosition(x, y);
        bar->SetSize(w, h);
        bar->Recalc();
        return bar;
    }

    void Range(CGuiScrollBar* bar, float lo, float hi, float pos)
    {
        bar->SetProperty(EP_CurPos, GuiMakeFloat(pos), false);
        bar->SetProperty(EP_MaxPos, GuiMakeFloat(hi), false);
        bar->SetProperty(EP_MinPos, GuiMakeFloat(lo), true);
    }

    static float Along(const CGmSprite* s, int32_t direction)
    {
        return direction ? s->frame.position.y : s->frame.position.x;
    }

    // The confinement as the platform reports it.
    GeMouseRect ClipRead() { return mouse->GetClipRect(); }
};

} // namespace

TEST_F(GuiScrollBar, SpritesLieAlongTheBarInBothDirections)
{
    for (int32_t direction : {0, 1}) {
        SCOPED_TRACE(direction);
        CRecordingBar* bar = direction ? MakeBar("v", 400, 100, 20, 200, 1) : MakeBar("h", 100, 100, 200, 20);
        Range(bar, 0, 10, 5);
        const float angle = direction ? 1.5707964f : 0.0f;
        struct Part {
            CGmSprite* sprite;
            float along, length;
        } parts[] = {
            {bar->startArrow, 0, 20},    {bar->startArrowPressed, 0, 20},
            {bar->endArrow, 180, 20},    {bar->endArrowPressed, 180, 20},
            {bar->track, 20, 160},       {bar->trackPressed, 20, 160},
            {bar->thumb, 85, 30}, // 20 + 5 / 10 * 130
            {bar->thumbPressed, 85, 30},
        };
        for (const Part& p : parts) {
            ASSERT_NE(nullptr, p.sprite);
            EXPECT_FLOAT_EQ(p.along, Along(p.sprite, direction));
            // Across the bar: at 0, or at the right edge where the quarter
            // turn lays the picture back onto a vertical bar.
            EXPECT_FLOAT_EQ(direction ? 20.0f : 0.0f,
                            direction ? p.sprite->frame.position.x : p.sprite->frame.position.y);
            EXPECT_FLOAT_EQ(p.length, p.sprite->size[0]);
            EXPECT_FLOAT_EQ(20.0f, p.sprite->size[1]);
            EXPECT_FLOAT_EQ(angle, p.sprite->frame.angles.z);
            EXPECT_EQ(1, p.sprite->visible);
        }
        // Only the start arrow is mirrored; only the thumb is not snapped.
        EXPECT_EQ(1u, bar->startArrow->uvMode);
        EXPECT_EQ(1u, bar->startArrowPressed->uvMode);
        EXPECT_EQ(0u, bar->endArrow->uvMode);
        EXPECT_EQ(0, bar->thumb->pixelSnapping);
        EXPECT_EQ(1, bar->track->pixelSnapping);
        EXPECT_EQ(1, bar->endArrow->pixelSnapping);
    }
}

TEST_F(GuiScrollBar, APartThatDoesNotFitIsHiddenNeverShrunk)
{
    struct Case {
        float length;
        uint8_t arrows, thumb, track;
    } cases[] = {
        {200, 1, 1, 1},
        {60, 1, 0, 1}, // arrows fit, the 30-long thumb has 20 of room
        {40, 1, 0, 0}, // the arrows meet: no track
        {30, 0, 0, 0}, // the arrows overlap: neither fits beside the other
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        CRecordingBar* bar = MakeBar("b", 100, 100, c.length, 20);
        EXPECT_EQ(c.arrows, bar->startArrow->visible);
        EXPECT_EQ(c.arrows, bar->endArrow->visible);
        EXPECT_EQ(c.arrows, bar->endArrowPressed->visible);
        EXPECT_EQ(c.thumb, bar->thumb->visible);
        EXPECT_EQ(c.thumb, bar->thumbPressed->visible);
        EXPECT_EQ(c.track, bar->track->visible);
        EXPECT_FLOAT_EQ(20.0f, bar->startArrow->size[0]);
        EXPECT_FLOAT_EQ(30.0f, bar->thumb->size[0]);
        set->RemoveControl(CGeString("b"));
    }
}

TEST_F(GuiScrollBar, PressAndReleaseOnEachZone)
{
    // Range 0 to 10 at 5: the thumb covers 185 to 215 on the screen.
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    bar->SetProperty(EP_BigChange, GuiMakeFloat(3), false);
    struct Case {
        int press, release;
        float position;
        int32_t part;
        uint8_t startLit, endLit, trackLit, thumbLit;
        Codes events;
    } cases[] = {
        {110, 110, 4, GUI_SCROLL_START_ARROW, 1, 0, 0, 0, {37, 57}},
        {290, 290, 6, GUI_SCROLL_END_ARROW, 0, 1, 0, 0, {37, 57}},
        {150, 150, 2, GUI_SCROLL_TRACK_BEFORE, 0, 0, 1, 0, {37, 57}},
        {250, 250, 8, GUI_SCROLL_TRACK_AFTER, 0, 0, 1, 0, {37, 57}},
        {200, 200, 5, GUI_SCROLL_THUMB, 0, 0, 0, 1, {57}},
        {110, 150, 5, GUI_SCROLL_START_ARROW, 1, 0, 0, 0, {57}}, // released over the track
        {290, 250, 5, GUI_SCROLL_END_ARROW, 0, 1, 0, 0, {57}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.press);
        SCOPED_TRACE(c.release);
        Range(bar, 0, 10, 5);
        MoveTo(c.press, 110);
        Forget();
        bar->own.clear();
        Press(c.press, 110);
        EXPECT_EQ(c.part, bar->pressedPart);
        EXPECT_EQ(1, bar->active);
        EXPECT_EQ(c.startLit, bar->startLit);
        EXPECT_EQ(c.endLit, bar->endLit);
        EXPECT_EQ(c.trackLit, bar->trackLit);
        EXPECT_EQ(c.thumbLit, bar->thumbLit);
        EXPECT_FLOAT_EQ(5.0f, bar->position); // a press never moves
        if (c.release != c.press)
            MoveTo(c.release, 110);
        Release(c.release, 110);
        EXPECT_FLOAT_EQ(c.position, bar->position);
        EXPECT_EQ(GUI_SCROLL_NONE, bar->pressedPart);
        EXPECT_EQ(0, bar->active);
        EXPECT_EQ(0, bar->startLit + bar->endLit + bar->trackLit + bar->thumbLit);
        EXPECT_EQ(c.events, EventsAmong("bar", {37, 57}));
        for (uint32_t code : bar->own)
            EXPECT_TRUE(code != 37 && code != 57) << code; // never to its own OnEvent
    }
}

TEST_F(GuiScrollBar, HoldingTheEndArrowRepeatsByElapsedTime)
{
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    Range(bar, 0, 100, 0);
    MoveTo(290, 110);
    // The press frame starts the hold; frames of 0.016 s follow. The hold
    // reaches 0.2 s in the 13th frame; each third frame after it finds
    // 0.032 s gathered and steps 1.6 times.
    Press(290, 110, 0.016f);
    float expected = 0.0f;
    for (int frame = 2; frame <= 19; ++frame) {
        Frame(0.016f);
        if (frame == 16 || frame == 19)
            expected += 1.6f;
        EXPECT_NEAR(expected, bar->position, 1e-4) << frame;
    }
    Forget();
    Release(290, 110, 0.016f);
    EXPECT_NEAR(expected + 1.0f, bar->position, 1e-4); // the release adds one step
    EXPECT_EQ(Codes({37, 57}), EventsAmong("bar", {37, 57}));
}

TEST_F(GuiScrollBar, LeavingDuringAHoldStopsTheRepeatUntilThePointerReturns)
{
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    Range(bar, 0, 100, 0);
    MoveTo(290, 110);
    Press(290, 110, 0.016f);
    for (int i = 0; i < 14; ++i)
        Frame(0.016f); // the hold is over
    Forget();
    MoveTo(320, 110, 0.016f); // off the end of the bar
    EXPECT_EQ(Codes({57}), EventsAmong("bar", {57}));
    EXPECT_EQ(0, bar->endLit);
    EXPECT_EQ(1, bar->active); // the press stays
    const float before = bar->position;
    for (int i = 0; i < 6; ++i)
        Frame(0.016f);
    EXPECT_FLOAT_EQ(before, bar->position);

    MoveTo(290, 110, 0.016f); // back over the arrow, the button still held
    EXPECT_EQ(1, bar->endLit);
    EXPECT_EQ(GUI_SCROLL_END_ARROW, bar->pressedPart);
    for (int i = 0; i < 6; ++i)
        Frame(0.016f);
    EXPECT_GT(bar->position, before);
    const float held = bar->position;
    Release(290, 110);
    EXPECT_NEAR(held + 1.0f, bar->position, 1e-4);

    // Entering with the button up ends the press: a later release does nothing.
    Press(290, 110);
    MoveTo(320, 110);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(320, 110));
    Frame();
    MoveTo(290, 110);
    EXPECT_EQ(0, bar->active);
}

TEST_F(GuiScrollBar, TheThumbDragsAndConfinesTheCursorToTheTrack)
{
    for (int32_t direction : {0, 1}) {
        SCOPED_TRACE(direction);
        CRecordingBar* bar = direction ? MakeBar("bar", 100, 100, 20, 200, 1) : MakeBar("bar", 100, 100, 200, 20);
        Range(bar, 0, 10, 5);
        auto at = [&](int along) {
            return direction ? std::pair<int, int>{110, 100 + along} : std::pair<int, int>{100 + along, 110};
        };
        auto [px, py] = at(100); // 15 into the thumb at 85
        MoveTo(px, py);
        Press(px, py);
        ASSERT_EQ(GUI_SCROLL_THUMB, bar->pressedPart);
        const GeMouseRect clip = ClipRead();
        EXPECT_FLOAT_EQ(direction ? 100.0f : 120.0f, clip.x);
        EXPECT_FLOAT_EQ(direction ? 120.0f : 100.0f, clip.y);
        EXPECT_FLOAT_EQ(direction ? 20.0f : 160.0f, clip.width);
        EXPECT_FLOAT_EQ(direction ? 160.0f : 20.0f, clip.height);
        Forget();

        struct Step {
            int along;
            float thumb, position;
        } steps[] = {
            {150, 135, 10.0f * 115 / 130},
            {190, 150, 10}, // stops at the end of the track
            {10, 20, 0},    // and at its start
            {100, 85, 5},
        };
        for (const Step& s : steps) {
            auto [x, y] = at(s.along);
            MoveTo(x, y);
            EXPECT_FLOAT_EQ(s.thumb, Along(bar->thumb, direction)) << s.along;
            EXPECT_FLOAT_EQ(s.thumb, Along(bar->thumbPressed, direction));
            EXPECT_NEAR(s.position, bar->position, 1e-4) << s.along;
            EXPECT_EQ(1, bar->thumbLit);
        }
        EXPECT_EQ(Codes({37, 37, 37, 37}), EventsAmong("bar", {37, 57}));
        Release(px, py);
        EXPECT_FLOAT_EQ(0.0f, ClipRead().width); // let go
        set->RemoveControl(CGeString("bar"));
    }
}

TEST_F(GuiScrollBar, DiscontinuousBarsMoveInWholeSteps)
{
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    bar->SetProperty(EP_Discontinuous, GuiMakeBool(1), false);
    // Range 0 to 4: 2.7 becomes 2 on the next recompute, the thumb at
    // startLen + 2 x travel / 4.
    Range(bar, 0, 4, 2.7f);
    EXPECT_FLOAT_EQ(2.0f, bar->position);
    EXPECT_FLOAT_EQ(20.0f + 2.0f * 130.0f / 4.0f, bar->thumb->frame.position.x);

    Range(bar, 0, 4, 0);
    MoveTo(125, 110); // 5 into the thumb at 20
    Press(125, 110);
    // A step is 32.5 long, 32 as whole pixels; the thumb snaps at half steps.
    struct Step {
        int x;
        float position, thumb;
    } steps[] = {
        {135, 0, 20},     // thumb at 30: below 20 + 16.25
        {142, 1, 52.5f},  // 37
        {190, 2, 85},     // 85
        {225, 3, 117.5f}, // 120
        {239, 4, 150},    // 134: past the last half step, the maximum
        {150, 1, 52.5f},  // 45
    };
    for (const Step& s : steps) {
        MoveTo(s.x, 110);
        EXPECT_FLOAT_EQ(s.position, bar->position) << s.x;
        EXPECT_FLOAT_EQ(s.thumb, bar->thumb->frame.position.x) << s.x;
    }
    Release(150, 110);
}

TEST_F(GuiScrollBar, DegenerateRangesAndPicturesStayInRange)
{
    // Maximum equal to the minimum: the thumb sits at the track start.
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    Range(bar, 3, 3, 3);
    EXPECT_FLOAT_EQ(20.0f, bar->thumb->frame.position.x);
    MoveTo(125, 110);
    Press(125, 110);
    MoveTo(200, 110);
    EXPECT_FLOAT_EQ(3.0f, bar->position);
    Release(200, 110);

    // Discontinuous: a range below one step, and steps shorter than a pixel.
    bar->SetProperty(EP_Discontinuous, GuiMakeBool(1), false);
    struct Case {
        float hi;
        int dragTo;
        float lo, up; // the position lies within
    } cases[] = {
        {0.5f, 200, 0, 0},
        {1000, 190, 500, 560},   // a step is 0.13 long: about (190 - 125) / 0.13
        {1000, 299, 1000, 1000}, // past the end of the travel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hi);
        Range(bar, 0, c.hi, 0);
        EXPECT_FLOAT_EQ(20.0f, bar->thumb->frame.position.x);
        MoveTo(125, 110);
        Press(125, 110);
        MoveTo(c.dragTo, 110);
        EXPECT_GE(bar->position, c.lo);
        EXPECT_LE(bar->position, c.up);
        EXPECT_FLOAT_EQ(bar->position, std::trunc(bar->position));
        EXPECT_TRUE(std::isfinite(bar->thumb->frame.position.x));
        Release(c.dragTo, 110);
    }

    // A picture without size: arrows of no length, a tiled track repeating once.
    CGuiResources::spriteSchemas[CGeString("empty")] = new CGmImageSet();
    bar->SetProperty(EP_ArrowPic, CGeValue("empty"), false);
    bar->SetProperty(EP_ScrollBarBgPic, CGeValue("empty"), false);
    bar->SetProperty(EP_ScrollBarBgTiled, GuiMakeBool(1), true);
    EXPECT_FLOAT_EQ(0.0f, bar->StartLength());
    EXPECT_EQ(0, bar->startArrow->visible);
    EXPECT_FLOAT_EQ(1.0f, bar->track->quad->uvSpan[0]);
    EXPECT_FLOAT_EQ(200.0f, bar->track->size[0]);
}

TEST_F(GuiScrollBar, TheWheelStepsOnlyWhenAllowed)
{
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    Range(bar, 0, 10, 9);
    bar->SetProperty(EP_SmallChange, GuiMakeFloat(2), false);
    MoveTo(250, 110);
    Forget();
    Wheel(-1); // towards the user: forward
    EXPECT_FLOAT_EQ(10.0f, bar->position);
    EXPECT_EQ(Codes({37, 57}), EventsAmong("bar", {37, 57}));
    Wheel(-1); // at the maximum: both events all the same
    EXPECT_FLOAT_EQ(10.0f, bar->position);
    EXPECT_EQ(Codes({37, 57}), EventsAmong("bar", {37, 57}));
    Wheel(2);
    EXPECT_FLOAT_EQ(6.0f, bar->position);
    Forget();
    bar->SetProperty(EP_AllowWheel, GuiMakeBool(0), false);
    Wheel(-1);
    EXPECT_FLOAT_EQ(6.0f, bar->position);
    EXPECT_EQ(Codes(), EventsAmong("bar", {37, 57}));
}

TEST_F(GuiScrollBar, RangePropertiesNeverPassThePosition)
{
    CRecordingBar* bar = MakeBar("bar", 100, 100, 200, 20);
    Range(bar, 0, 10, 5);
    auto text = [&](uint32_t index) {
        CGeWString t;
        EXPECT_TRUE(bar->GetProperty(index, t));
        return std::u16string(t.c_str());
    };
    bar->SetProperty(EP_MinPos, GuiMakeFloat(7), false);
    EXPECT_EQ(u"5.000", text(EP_MinPos));
    bar->SetProperty(EP_MaxPos, GuiMakeFloat(2), false);
    EXPECT_EQ(u"5.000", text(EP_MaxPos));

    bar->SetProperty(EP_MinPos, GuiMakeFloat(0), false);
    bar->SetProperty(EP_MaxPos, GuiMakeFloat(1), false);
    bar->SetProperty(EP_MaxPos, GuiMakeFloat(1), false);
    EXPECT_EQ(u"5.000", text(EP_MaxPos)); // still at 5
    Range(bar, 0, 1, 0);
    bar->SetProperty(EP_CurPos, GuiMakeFloat(10), false);
    EXPECT_EQ(u"10.000", text(EP_CurPos)); // unclamped
    bar->SetProperty(EP_CurPos, GuiMakeFloat(10), true);
    EXPECT_EQ(u"1.000", text(EP_CurPos)); // the refresh clamps
    bar->SetPosition(-4.0f);
    EXPECT_FLOAT_EQ(0.0f, bar->position);

    EXPECT_EQ(u"arrow", text(EP_ArrowPic));
    EXPECT_EQ(u"Horizontal", text(EP_Direction));
    EXPECT_EQ(u"ALPHA_BLEND", text(EP_ScrollBarBlendMode));
    bar->SetProperty(EP_ThumbPic, CGeValue("nothing"), false);
    EXPECT_EQ(u"", text(EP_ThumbPic));
    EXPECT_EQ(nullptr, bar->thumb);
    // Without a thumb the whole track pages forward.
    EXPECT_EQ(GUI_SCROLL_TRACK_AFTER, bar->ZoneAt(25.0f));
    EXPECT_EQ(GUI_SCROLL_START_ARROW, bar->ZoneAt(5.0f));
}
