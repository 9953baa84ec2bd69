// Frame sets read from BFS_COLLECTION documents: kinds, properties by kind,
// pictures resolved against the sprite schemas, replacement across files,
// renaming, and documents that add nothing.
#include "Engine/Gui/GuiBoundFrames.h"

#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const kFirst = R"(<GUI>
  <CONTROLSET/>
  <BFS_COLLECTION>
    <BFS Name="a" Type="ebft_simplerect">
      <P Name="EP_CornerPic">corner</P>
      <P Name="EP_LeftBorderPic">corner</P>
      <P Name="EP_BgPic">nothere</P>
      <P Name="EP_BgOffsetLeft">2.5</P>
      <P Name="EP_ClientAreaOffsetBottom">4</P>
      <P Name="EP_BgVertexColor">0x80FF0000</P>
      <P Name="EP_DrawFrameWithBg">True</P>
      <P Name="EP_NoSuchProperty">1</P>
      <P>no name</P>
    </BFS>
    <BFS Name="b" Type="EBFT_EnhancedRect">
      <P Name="EP_CornerPic">corner</P>
      <P Name="EP_RightBottomCornerPic">corner</P>
      <P Name="EP_LeftBorderPic">edge</P>
      <P Name="EP_TopBorderTiled">True</P>
      <P Name="EP_BgTiled">True</P>
    </BFS>
    <BFS Type="EBFT_SimpleRect"/>
    <BFS Name="c" Type="EBFT_Other"><P Name="EP_BgPic">corner</P></BFS>
    <!-- a comment is no set -->
  </BFS_COLLECTION>
</GUI>)";

const char* const kSecond = R"(<GUI><BFS_COLLECTION>
  <X Name="a" Type="EBFT_EnhancedRect"/>
  <X Name="b" Type="none"/>
</BFS_COLLECTION></GUI>)";

class GuiBoundFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"corner", "edge"})
            CGuiResources::spriteSchemas[CGeString(name)] = new CGmImageSet();
        dir.Write("first.xml", kFirst);
        dir.Write("second.xml", kSecond);
        dir.Write("noroot.xml", "<OTHER><BFS_COLLECTION/></OTHER>");
        dir.Write("nocollection.xml", "<GUI><CONTROLSET/></GUI>");
    }
    void TearDown() override
    {
        CGuiBoundFrames::DeleteAll(sets);
        CGuiResources::FreeAll();
    }

    void Load(const char* file) { CGuiBoundFrames::LoadCollection((dir.Path() + "/" + file).c_str(), sets); }
    CGuiBoundFrameSet* Set(const char* name)
    {
        auto* node = sets.Find(CGeString(name));
        return node ? node->value : nullptr;
    }
    static CGmImageSet* Schema(const char* name) { return CGuiResources::FindSpriteSchema(CGeString(name)); }

    CTestTempDir dir;
    GuiFrameSetTable sets;
};

} // namespace

TEST_F(GuiBoundFrames, CollectionsFillTheTableByKind)
{
    Load("first.xml");
    EXPECT_EQ(sets.Count(), 2u);
    EXPECT_EQ(Set("c"), nullptr); // unknown Type: no set

    auto* a = dynamic_cast<CGuiBoundFrameSetSimple*>(Set("a"));
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->name.c_str(), "a");
    EXPECT_EQ(a->cornerPic.schema, Schema("corner"));
    EXPECT_STREQ(a->cornerPic.name.c_str(), "corner");
    for (uint32_t part = GUI_PART_TOP; part < GUI_PART_COUNT; ++part)
        EXPECT_EQ(a->Picture(part).schema, nullptr) << part; // a left border means nothing here; no "nothere"
    EXPECT_EQ(a->Picture(3).schema, Schema("corner"));       // one picture for the four corners
    EXPECT_FLOAT_EQ(a->bgOffset[0], 2.5f);
    EXPECT_FLOAT_EQ(a->clientAreaOffset[3], 4.0f);
    EXPECT_EQ(a->bgVertexColor, 0x80FF0000u);
    EXPECT_EQ(a->drawFrameWithBg, 1);
    EXPECT_EQ(a->cornersBlendMode, 5u);

    auto* b = dynamic_cast<CGuiBoundFrameSetEnhanced*>(Set("b"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->corners[0].schema, nullptr); // EP_CornerPic means nothing here
    EXPECT_EQ(b->corners[3].schema, Schema("corner"));
    EXPECT_EQ(b->borders[2].schema, Schema("edge"));
    EXPECT_EQ(b->BorderTiled(0), 1);
    EXPECT_EQ(b->BorderTiled(2), 0);
    EXPECT_EQ(b->bgTiled, 1);

    // A later file replaces "a" with a new set of its own kind and removes
    // "b" with an unknown Type.
    Load("second.xml");
    ASSERT_NE(Set("a"), nullptr);
    EXPECT_EQ(Set("a")->kind, (uint32_t)EBFT_EnhancedRect);
    EXPECT_EQ(Set("a")->bgVertexColor, 0xFFFFFFFFu);
    EXPECT_EQ(Set("b"), nullptr);

    // Documents that add nothing leave the table as it is.
    for (const char* file : {"noroot.xml", "nocollection.xml", "absent.xml"})
        Load(file);
    EXPECT_EQ(sets.Count(), 1u);
}

TEST_F(GuiBoundFrames, NewSetsRenamingAndColourText)
{
    EXPECT_EQ(CGuiBoundFrames::KindFromName("EBFT_ENHANCEDRECT"), 2u);
    EXPECT_EQ(CGuiBoundFrames::KindFromName("SimpleRect"), 0u);
    EXPECT_EQ(CGuiBoundFrames::CreateSet(sets, 3, CGeString("x")), nullptr);
    CGuiBoundFrameSet* x = CGuiBoundFrames::CreateSet(sets, 2, CGeString("x"));
    CGuiBoundFrameSet* y = CGuiBoundFrames::CreateSet(sets, 1, CGeString("y"));
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(CGuiBoundFrames::CreateSet(sets, 1, CGeString("x")), nullptr); // the name is taken

    // A new set: alpha blending, white, no offsets, no tiling, no pictures.
    EXPECT_EQ(x->bgBlendMode + x->bordersBlendMode + x->cornersBlendMode, 15u);
    EXPECT_EQ(x->bgVertexColor, 0xFFFFFFFFu);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(x->bgOffset[i] + x->clientAreaOffset[i] + x->BorderTiled(i), 0.0f);
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part)
        EXPECT_EQ(x->Picture(part).schema, nullptr);

    CGeWString text(u"untouched");
    EXPECT_FALSE(CGuiBoundFrames::GetBgVertexColorText(sets, CGeString("none"), text));
    EXPECT_EQ(std::u16string(text.c_str()), u"untouched");
    ASSERT_TRUE(CGuiBoundFrames::GetBgVertexColorText(sets, CGeString("x"), text));
    EXPECT_EQ(std::u16string(text.c_str()), u"0xffffffff");

    // Renaming onto a taken name changes nothing; onto a free one moves the set.
    CGuiBoundFrames::SetSetProperty(sets, x, EP_Name, CGeValue("y"));
    EXPECT_EQ(Set("x"), x);
    EXPECT_EQ(Set("y"), y);
    CGuiBoundFrames::SetSetProperty(sets, x, EP_Name, CGeValue("z"));
    EXPECT_EQ(Set("x"), nullptr);
    EXPECT_EQ(Set("z"), x);
    EXPECT_STREQ(x->name.c_str(), "z");
    CGuiBoundFrames::SetSetProperty(sets, nullptr, EP_BgTiled, CGeValue("ignored"));
}
