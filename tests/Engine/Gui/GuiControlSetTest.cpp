// Control sets: the factory, membership and names, removal, and the
// CONTROLSET loader over fixture documents written by the test.
#include "GuiTestFixture.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Gui/GuiProperties.h"
#include "tests/Support/TestTempDir.h"

#include <tinyxml.h>

namespace {

using GuiControlSet = GuiTest;

std::string Names(CGuiControlSet* s)
{
    std::string out;
    for (auto* node = s->controls.head; node; node = node->next)
        out += std::string(node->value->name.c_str()) + (node->next ? "," : "");
    return out;
}

} // namespace

TEST_F(GuiControlSet, FactoryBuildsItsTypesAndRefusesTheRest)
{
    EXPECT_EQ("EGCT_BUTTON", std::string(EgctToName(3).c_str()));
    EXPECT_EQ("", std::string(EgctToName(17).c_str()));
    EXPECT_EQ(15u, EgctFromName("egct_custom"));
    EXPECT_EQ(0u, EgctFromName("EGCT_NONE"));
    EXPECT_EQ(0u, EgctFromName("Button"));

    CGuiControl* c = set->CreateControl("c", EGCT_CONTROL);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ((5u << 16) | 1u, c->GetTypeId());
    EXPECT_EQ(&dispatcher, c->dispatcher);
    EXPECT_FALSE(dispatcher.HoldsRow(c)); // posts only
    EXPECT_EQ(15u, set->CreateControl("x", EGCT_CUSTOM)->ControlType());
    EXPECT_EQ(nullptr, set->CreateControl("c", EGCT_CONTROL));  // taken
    EXPECT_EQ(nullptr, set->CreateControl("", EGCT_CONTROL));   // empty
    EXPECT_EQ(nullptr, set->CreateControl("m", EGCT_MENU));
    EXPECT_EQ(nullptr, set->CreateControl("n", 0));
    EXPECT_EQ(nullptr, set->CreateControl("q", 17));
}

TEST_F(GuiControlSet, RenameAddAndRemove)
{
    CGuiControl* a = Make("a", 0, 0, 10, 10);
    CGuiControl* b = Make("b", 0, 0, 10, 10);
    EXPECT_TRUE(set->RenameControl("a", "a"));
    EXPECT_FALSE(set->RenameControl("a", "b"));
    EXPECT_EQ(a, set->FindControl("a"));
    EXPECT_EQ(b, set->FindControl("b"));
    EXPECT_FALSE(set->RenameControl("zz", "y"));

    // A control with two children moves to another set with them.
    Make("a1", 0, 0, 1, 1, a);
    Make("a2", 0, 0, 1, 1, a);
    CGuiControlSet* other = manager->CreateControlSet("other");
    other->AddControl(a);
    EXPECT_EQ("b", Names(set));
    EXPECT_EQ("a,a1,a2", Names(other));
    EXPECT_EQ(nullptr, set->FindControl("a1"));
    EXPECT_EQ(other, set->owner->FindControlSet("other"));

    // Removing a compound control deletes its parts and hands its other
    // children to its parent, or leaves them parentless.
    CGuiControl* top = Make("top", 0, 0, 100, 100, nullptr, EGCT_CONTROL, other);
    a->SetParent(top);
    a->compound = 1;
    other->FindControl("a1")->internalPart = 1;
    other->RemoveControl("a");
    EXPECT_EQ("a2,top", Names(other));
    EXPECT_EQ(top, other->FindControl("a2")->parent);
    other->RemoveControl("top");
    EXPECT_EQ(nullptr, other->FindControl("a2")->parent);
}

TEST_F(GuiControlSet, StackingOrderAndFrontAndBack)
{
    Make("low", 0, 0, 100, 100);
    CGuiControl* high = Make("high", 0, 0, 100, 100);
    EXPECT_EQ(high, set->FindControlAt(5, 5));
    high->SendToBack();
    EXPECT_EQ("high,low", Names(set));
    EXPECT_EQ("low", std::string(set->FindControlAt(5, 5)->name.c_str()));
    high->BringToFront();
    EXPECT_EQ("low,high", Names(set));
    high->visible = 0;
    EXPECT_EQ("low", std::string(set->FindControlAt(5, 5)->name.c_str()));
}

TEST_F(GuiControlSet, LoaderRenamesTakenNamesAndAttachesParentsLater)
{
    CTestTempDir dir;
    const std::string path = dir.Write("gui/screen.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<GUI>
  <BFS_COLLECTION/>
  <CONTROLSET Name="ignored">
    <Control Name="child" Type="EGCT_CONTROL">
      <Property Name="EP_Parent">panel</Property>
      <Property Name="EP_X">12.5</Property>
      <Property Name="X">99</Property>
      <Property Name="EP_NoSuchThing">1</Property>
      <Property>1</Property>
    </Control>
    <Control Name="btn" Type="egct_control"/>
    <Control Name="btn" Type="EGCT_CONTROL"/>
    <Control Name="btn" Type="EGCT_CONTROL"><Property Name="EP_W">40</Property></Control>
    <Control Name="" Type="EGCT_CONTROL"/>
    <Control Name="menu" Type="EGCT_MENU"/>
    <Control Name="memo" Type="EGCT_MEMO"/>
    <Control Name="nothing" Type="Banana"/>
    <Control Name="panel" Type="EGCT_CUSTOM">
      <Property Name="EP_W">300</Property>
      <Property Name="EP_ClipInner">False</Property>
    </Control>
  </CONTROLSET>
</GUI>)");
    set->LoadFromFile(path.c_str());
    // EGCT_MENU and unknown types are skipped; the memo comes with its parts.
    EXPECT_EQ("child,btn,btn01,btn02,01,memo,memo____Edit____,memo____ScrollBarHorz____,memo____ScrollBarVert____,panel",
              Names(set));
    CGuiControl* child = set->FindControl("child");
    CGuiControl* panel = set->FindControl("panel");
    ASSERT_NE(nullptr, child);
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(panel, child->parent);
    EXPECT_EQ(nullptr, child->pendingParent);
    EXPECT_FLOAT_EQ(12.5f, child->X());
    EXPECT_FLOAT_EQ(40.0f, set->FindControl("btn02")->width);
    EXPECT_FLOAT_EQ(300.0f, panel->width);
    CGeWString text;
    panel->GetProperty(EP_ClipInner, text);
    EXPECT_TRUE(text == CGeWString(u"False"));

    // A missing file or root creates nothing.
    CGuiControlSet* empty = manager->CreateControlSet("empty");
    empty->LoadFromFile((dir / "missing.xml").c_str());
    empty->LoadFromFile(dir.Write("noroot.xml", "<OTHER><CONTROLSET><C Name='a' Type='EGCT_CONTROL'/></CONTROLSET></OTHER>").c_str());
    EXPECT_EQ("", Names(empty));
}

TEST_F(GuiControlSet, LoaderKeepsMultiLineValues)
{
    // A value keeps its spaces and line breaks.
    TiXmlDocument document;
    const char xml[] = "<GUI><CONTROLSET><C Name='t' Type='EGCT_CUSTOM'>"
                       "<P Name='EP_Name'>  two\nlines  </P></C></CONTROLSET></GUI>";
    ASSERT_TRUE(XmlParseDocumentText((const uint8_t*)xml, sizeof(xml) - 1, document));
    set->Load(document.FirstChildElement("GUI"));
    EXPECT_NE(nullptr, set->FindControl("  two\nlines  "));
}
