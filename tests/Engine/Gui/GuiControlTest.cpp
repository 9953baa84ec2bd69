// The control base: geometry (position tolerance, anchors, pivot, zoom and
// rotation in hit tests), properties, parents and children, manual resizing.
#include "GuiTestFixture.h"

#include "Engine/Gui/GuiProperties.h"

#include <algorithm>
#include <cstring>

namespace {

using GuiControl = GuiTest;

std::string Get(CGuiControl* c, uint32_t index)
{
    CGeWString text;
    c->GetProperty(index, text);
    std::string out;
    for (uint32_t i = 0; i < text.Length(); ++i)
        out += (char)text.c_str()[i];
    return out;
}

void Set(CGuiControl* c, uint32_t index, const char* text)
{
    std::u16string wide(text, text + strlen(text));
    c->SetProperty(index, PropertyValueFromText(CGeWString(wide.c_str()), index), false);
}

} // namespace

TEST_F(GuiControl, PositionWithinATenthPostsNothing)
{
    CGuiControl* c = Make("c", 0, 0, 10, 10);
    Frame();
    Forget();
    Set(c, EP_X, "0.05");
    Frame();
    EXPECT_EQ(0.0f, c->X());
    EXPECT_EQ(Codes(), Events("c"));
    Set(c, EP_X, "0.11");
    Frame();
    EXPECT_FLOAT_EQ(0.11f, c->X());
    EXPECT_EQ(Codes({47}), Events("c"));
    Set(c, EP_W, "10");
    Frame();
    EXPECT_EQ(Codes(), Events("c")); // the same width
}

TEST_F(GuiControl, AnchorsRelayChildrenWhenTheParentGrows)
{
    struct Case {
        const char* what;
        uint8_t l, t, r, b;
        float parentFrom;              // old parent width (and height)
        float x, w, y, h;              // the child afterwards
    } cases[] = {
        {"left and top: skipped", 1, 1, 0, 0, 100, 30, 20, 30, 20},
        {"no anchor: proportional", 0, 0, 0, 0, 100, 60, 40, 60, 40},
        {"left and right: stretches", 1, 1, 1, 1, 100, 30, 120, 30, 120},
        {"right only: moves", 0, 0, 1, 1, 100, 130, 20, 130, 20},
        {"old extent 0: unchanged", 0, 0, 0, 0, 0, 30, 20, 30, 20},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CGuiControl* p = Make("p", 0, 0, k.parentFrom, k.parentFrom);
        CGuiControl* c = Make("c", 30, 30, 20, 20, p);
        c->anchors[0] = k.l;
        c->anchors[1] = k.t;
        c->anchors[2] = k.r;
        c->anchors[3] = k.b;
        Frame();
        Forget();
        p->SetSize(200, 200);
        Frame();
        EXPECT_FLOAT_EQ(k.x, c->X());
        EXPECT_FLOAT_EQ(k.w, c->width);
        EXPECT_FLOAT_EQ(k.y, c->Y());
        EXPECT_FLOAT_EQ(k.h, c->height);
        EXPECT_EQ(Codes({46}), Events("p")); // once, after the children
        set->RemoveControl("c");
        set->RemoveControl("p");
    }
}

TEST_F(GuiControl, HitsFollowRotationZoomAndPivot)
{
    struct Case {
        const char* what;
        const char* rotate;
        const char* zoom;
        float pivotX, pivotY;
        float x, y;
        bool hit;
    } cases[] = {
        {"plain inside", "0", "1", 0, 0, 149, 119, true},
        {"plain right edge is outside", "0", "1", 0, 0, 150, 110, false},
        {"turned 90: below the origin", "90", "1", 0, 0, 90, 130, true},
        {"turned 90: the unturned area", "90", "1", 0, 0, 130, 110, false},
        {"zoom 2", "0", "2", 0, 0, 190, 130, true},
        {"zoom 2 about the centre: above-left", "0", "2", 25, 10, 52, 82, true},
        {"zoom 2 about the centre: beyond", "0", "2", 25, 10, 160, 125, false},
        {"zoom 0 takes no hits", "0", "0", 0, 0, 100, 100, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CGuiControl* c = Make("c", 100, 100, 50, 20);
        Set(c, EP_Rotate, k.rotate);
        Set(c, EP_ZoomX, k.zoom);
        Set(c, EP_ZoomY, k.zoom);
        c->SetPivot(k.pivotX, k.pivotY, 0);
        EXPECT_EQ(k.hit, c->HitTest(k.x, k.y));
        EXPECT_EQ(k.hit ? c : nullptr, set->FindControlAt(k.x, k.y));
        set->RemoveControl("c");
    }
}

TEST_F(GuiControl, PropertiesReadBack)
{
    CGuiControl* p = Make("p", 0, 0, 100, 100);
    CGuiControl* a = Make("a", 0, 0, 10, 10, p);
    Make("b", 0, 0, 10, 10, p);
    EXPECT_EQ("a\nb", Get(p, EP_Children));
    EXPECT_EQ("", Get(a, EP_Children));
    EXPECT_EQ("p", Get(a, EP_Parent));
    EXPECT_EQ("main", Get(a, EP_OwnerSet));
    EXPECT_EQ("EGCT_CONTROL", Get(a, EP_Type));
    Set(a, EP_Rotate, "90");
    EXPECT_EQ("90.000", Get(a, EP_Rotate));
    Set(a, EP_DisabledColor, "0xff102030");
    EXPECT_EQ("0xff102030", Get(a, EP_DisabledColor));
    Set(a, EP_BoundFrameSet, "nothing such");
    EXPECT_EQ("", Get(a, EP_BoundFrameSet));
    CGeWString text;
    EXPECT_FALSE(a->GetProperty(EP_LeftPic, text)); // a derived class's number
    EXPECT_TRUE(text.IsEmpty());
    Set(a, EP_Name, "b"); // taken: keeps its name
    EXPECT_EQ("a", Get(a, EP_Name));
    Set(a, EP_Name, "a2");
    EXPECT_EQ(a, set->FindControl("a2"));
    EXPECT_EQ(nullptr, set->FindControl("a"));
}

TEST_F(GuiControl, ParentPropertyMovesAndEmptyNameGoesOneLevelUp)
{
    CGuiControl* g = Make("g", 10, 10, 300, 300);
    CGuiControl* p = Make("p", 20, 20, 100, 100, g);
    CGuiControl* c = Make("c", 5, 5, 10, 10, p);
    EXPECT_FLOAT_EQ(35.0f, c->ScreenOrigin().x);
    Set(c, EP_Parent, "");
    EXPECT_EQ(g, c->parent);
    EXPECT_EQ(nullptr, p->children.head);
    EXPECT_FLOAT_EQ(15.0f, c->ScreenOrigin().x);
    Set(c, EP_Parent, "p");
    EXPECT_EQ(p, c->parent);
    p->SetPosition(40, 20);
    EXPECT_FLOAT_EQ(55.0f, c->ScreenOrigin().x); // a moved ancestor is seen
}

TEST_F(GuiControl, ResizingFromTheLeftStopsAtTheMinimumKeepingTheRightEdge)
{
    CGuiControl* c = Make("c", 100, 100, 100, 100);
    Set(c, EP_ManuallySizeable, "True");
    for (uint32_t i : {EP_SizingAreaLeft, EP_SizingAreaRight, EP_SizingAreaTop, EP_SizingAreaBottom})
        Set(c, i, "5");
    Set(c, EP_MinWidth, "50");
    MoveTo(102, 150);
    Press(102, 150);
    EXPECT_EQ(c, set->capture);
    MoveTo(190, 150);
    EXPECT_FLOAT_EQ(50.0f, c->width);
    EXPECT_FLOAT_EQ(150.0f, c->X()); // moved by old width - minimum
    MoveTo(160, 150); // the pointer must first come back past the edge
    EXPECT_FLOAT_EQ(50.0f, c->width);
    EXPECT_FLOAT_EQ(150.0f, c->X());
    MoveTo(120, 150);
    EXPECT_FLOAT_EQ(82.0f, c->width);
    EXPECT_FLOAT_EQ(118.0f, c->X());
    Release(120, 150);
    EXPECT_EQ(nullptr, set->capture);
    Codes codes = Events("c");
    EXPECT_NE(codes.end(), std::find(codes.begin(), codes.end(), 56u));

    // Without a maximum the width has no limit.
    MoveTo(198, 150);
    Press(198, 150);
    MoveTo(900, 150);
    EXPECT_FLOAT_EQ(82.0f + 702.0f, c->width);
    Release(900, 150);
}
