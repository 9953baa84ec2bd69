// The GUI resources loaded from loose fixture files: a main file and an
// add-on, every branch of the sections, replacement of sprite schemas and a
// clean FreeAll.
#include "Engine/Gui/GuiResources.h"

#include "Engine/Core/Common/GeSimd.h"

#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

namespace {

std::string Tga(uint32_t width, uint32_t height)
{
    imagefixture::TgaSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixels.assign(width * height * 4, 0xC0);
    imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
    return std::string(bytes.begin(), bytes.end());
}

const char* const kMain = R"(<?xml version="1.0" encoding="utf-8"?>
<GUI_RESOURCES>
  <SPRITE_SCHEMAS>
    <SPRITE_SCHEMA Name="s1" Image="bg" TotalFrames="4" FramesPerLine="2"/>
    <SPRITE_SCHEMA Name="s2" Image="pics/green.tga" Rect="1 2 3"/>
    <SPRITE_SCHEMA Name="s3" ImageList="anim"/>
    <SPRITE_SCHEMA Name="s4" ImageList="lists/own.xml"/>
    <SPRITE_SCHEMA Name="s5" Image="bg" ImageList="anim"/>
    <SPRITE_SCHEMA Name="s6" Image="nothere.tga"/>
    <SPRITE_SCHEMA Name="s7"/>
    <SPRITE_SCHEMA Name="s8" Image="bg" FramesPerLine="0"/>
    <SPRITE_SCHEMA Name="s9" Image="bg" Rect="0 0 4 4"/>
    <SPRITE_SCHEMA Name="s10" ImageList="lists/none.xml"/>
    <SPRITE_SCHEMA Image="bg"/>
  </SPRITE_SCHEMAS>
  <STRINGLIST>
    <hello ENG="Hello" RUS="&#x41F;&#x440;&#x438;&#x432;&#x435;&#x442;"/>
    <empty/>
    <hello ENG="Again"/>
    <only RUS="r" SPA="s"/>
  </STRINGLIST>
  <STRINGLIST><late ENG="never read"/></STRINGLIST>
  <PICS>
    <IMAGE Name="bg" FileName="pics/red.tga"/>
    <IMAGE FileName="pics/blue.tga"/>
    <IMAGE><RUS FileName="pics/a.tga"/><ENG FileName="pics/b.tga"/></IMAGE>
    <IMAGE><XX FileName="pics/c.tga"/></IMAGE>
    <IMAGE Name="bg" FileName="pics/blue.tga"/>
    <IMAGE/>
    <IMAGE Name="ghost" FileName="pics/missing.tga"/>
    <IMAGELIST Name="anim"><IMAGE FileName="pics/a.tga"/><IMAGE FileName="pics/b.tga"/></IMAGELIST>
    <IMAGELIST Name="anim"><IMAGE FileName="pics/c.tga"/></IMAGELIST>
    <IMAGELIST><IMAGE FileName="pics/c.tga"/></IMAGELIST>
    <IMAGELIST Name="fromfile"><FILENAME ENG="lists/l.xml"/></IMAGELIST>
  </PICS>
  <FONTLIST>
    <FONT Name="F" FileName="fonts/f.tga" CodeTable="ab" FramesPerLine="2" SymbolWidths="8"/>
    <FONT Name="F" FileName="fonts/f.tga" CodeTable="xyz" FramesPerLine="3"/>
    <FONT Name="NoCode" FileName="fonts/f.tga" FramesPerLine="2"/>
    <FONT Name="Zero" FileName="fonts/f.tga" CodeTable="ab" FramesPerLine="0"/>
    <FONT Name="Narrow" FileName="fonts/f.tga" CodeTable="ab" FramesPerLine="200"/>
    <FONT Name="Missing" FileName="fonts/nope.tga" CodeTable="ab" FramesPerLine="2"/>
    <FONT FileName="fonts/f.tga" CodeTable="ab" FramesPerLine="2"/>
  </FONTLIST>
</GUI_RESOURCES>
)";

const char* const kAddOn = R"(<GUI_RESOURCES>
  <STRINGLIST>
    <hello RUS="x"/>
    <bye ENG="Bye" RUS="Пока"/>
  </STRINGLIST>
  <FONTLIST><FONT Name="F" FileName="fonts/f.tga" CodeTable="q" FramesPerLine="1"/></FONTLIST>
  <SPRITE_SCHEMAS>
    <SPRITE_SCHEMA Name="s2" Image="bg"/>
    <SPRITE_SCHEMA Name="s4b" ImageList="own"/>
  </SPRITE_SCHEMAS>
</GUI_RESOURCES>
)";

class GuiResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        char buffer[4096];
        ASSERT_NE(getcwd(buffer, sizeof(buffer)), nullptr);
        m_previousDir = buffer;
        dir.Write("gui/gui_res.xml", kMain);
        dir.Write("menu/addon.xml", kAddOn);
        dir.Write("other.xml", R"(<GUI_RESOURCES><STRINGLIST><tres ENG="e" RUS="r"/></STRINGLIST></GUI_RESOURCES>)");
        dir.Write("broken.xml", "<GUI_RESOURCES><STRINGLIST>");
        dir.Write("noroot.xml", "<OTHER/>");
        dir.Write("pics/red.tga", Tga(8, 8));
        dir.Write("pics/blue.tga", Tga(16, 8));
        dir.Write("pics/green.tga", Tga(32, 8));
        dir.Write("pics/a.tga", Tga(4, 4));
        dir.Write("pics/b.tga", Tga(4, 2));
        dir.Write("pics/c.tga", Tga(2, 2));
        dir.Write("fonts/f.tga", Tga(32, 16));
        dir.Write("lists/l.xml", R"(<IMAGELIST Name="ignored"><IMAGE FileName="pics/c.tga"/></IMAGELIST>)");
        dir.Write("lists/own.xml", R"(<IMAGELIST Name="own"><IMAGE FileName="pics/a.tga"/></IMAGELIST>)");
        dir.Write("lists/none.xml", "<NOLIST/>");
        ASSERT_EQ(chdir(dir.Path().c_str()), 0);
        GeSimdCreate();
        g_pGmResCollector = new CGmResCollector();
    }

    void TearDown() override
    {
        CGuiResources::FreeAll();
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        GeSimdDestroy();
        ASSERT_EQ(chdir(m_previousDir.c_str()), 0);
    }

    static std::u16string Str(const char* id)
    {
        const CGeWString* s = CGuiResources::FindString(CGeString(id));
        return s ? std::u16string(s->c_str()) : u"<none>";
    }
    static CGmImageSet* Schema(const char* name) { return CGuiResources::FindSpriteSchema(CGeString(name)); }
    static CGmTexture* Image(const char* name)
    {
        auto* node = CGuiResources::images.Find(CGeString(name));
        return node ? node->value : nullptr;
    }
    static GuiImageList* List(const char* name)
    {
        auto* node = CGuiResources::imageLists.Find(CGeString(name));
        return node ? node->value : nullptr;
    }

    CTestTempDir dir;

private:
    std::string m_previousDir;
};

} // namespace

TEST_F(GuiResources, MainFileAndAddOn)
{
    CGuiResources::Load(CGeString("gui/gui_res.xml"), 0);
    EXPECT_STREQ(CGuiResources::GetLanguageCode().c_str(), "ENG");

    // Strings: first wins, no attribute skipped, the first attribute stands in.
    EXPECT_EQ(Str("hello"), u"Hello");
    EXPECT_EQ(Str("empty"), u"<none>");
    EXPECT_EQ(Str("only"), u"r");
    EXPECT_EQ(Str("late"), u"<none>");

    // Images: named, derived, per language, first definition kept.
    ASSERT_NE(Image("bg"), nullptr);
    EXPECT_EQ(GetImageWidth(Image("bg")), 8u);
    ASSERT_NE(Image("pics/blue"), nullptr);
    EXPECT_EQ(GetImageWidth(Image("pics/blue")), 16u);
    EXPECT_NE(Image("pics/b"), nullptr); // the ENG child
    EXPECT_EQ(Image("pics/a"), nullptr);
    EXPECT_NE(Image("pics/c"), nullptr); // no ENG child: the first child
    EXPECT_NE(Image("ghost"), nullptr);  // a missing file still gives its texture
    EXPECT_EQ(Image("Bg"), nullptr);     // case matters

    // Image lists: inline, from a file under the element's name, duplicates skipped.
    ASSERT_NE(List("anim"), nullptr);
    EXPECT_EQ(List("anim")->Count(), 2u);
    ASSERT_NE(List("fromfile"), nullptr);
    EXPECT_EQ(List("fromfile")->Count(), 1u);
    EXPECT_EQ(List("ignored"), nullptr);

    // Fonts: first wins; no code table, no cells per row, cells too narrow and
    // missing files are skipped.
    CGuiFont* font = CGuiResources::FindFont(CGeString("F"));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->glyphs.Count(), 3u);                  // a, b and the Cyrillic a borrowing the Latin one
    EXPECT_FLOAT_EQ(font->FindGlyph(u'a')->width, 8.0f);  // its symbol width
    EXPECT_FLOAT_EQ(font->FindGlyph(u'b')->width, 16.0f); // the cell width
    EXPECT_STREQ(CGuiResources::FindFontName(font).c_str(), "F");
    for (const char* skipped : {"NoCode", "Zero", "Narrow", "Missing"})
        EXPECT_FALSE(CGuiResources::HasFont(CGeString(skipped))) << skipped;
    EXPECT_EQ(CGuiResources::fonts.Count(), 1u);

    // Sprite schemas, read last whatever their place in the file.
    ASSERT_NE(Schema("s1"), nullptr);
    EXPECT_EQ(Schema("s1")->kind, (uint32_t)CGmImageSet::KIND_GRID);
    EXPECT_EQ(Schema("s1")->frameCount, 4u);
    EXPECT_EQ(Schema("s1")->texture, Image("bg"));
    ASSERT_NE(Schema("s2"), nullptr); // three numbers: one frame of the whole texture
    EXPECT_EQ(Schema("s2")->kind, (uint32_t)CGmImageSet::KIND_GRID);
    EXPECT_EQ(Schema("s2")->frameCount, 1u);
    EXPECT_EQ(Schema("s2")->texture, Image("pics/green"));
    ASSERT_NE(Schema("s3"), nullptr);
    EXPECT_EQ(Schema("s3")->kind, (uint32_t)CGmImageSet::KIND_LIST);
    EXPECT_EQ(Schema("s3")->frameCount, 2u);
    ASSERT_NE(Schema("s4"), nullptr); // a list file: its own name now holds the list
    EXPECT_NE(List("own"), nullptr);
    EXPECT_EQ(Schema("s5")->texture, Image("bg")); // Image before ImageList
    EXPECT_EQ(Schema("s5")->kind, (uint32_t)CGmImageSet::KIND_GRID);
    for (const char* skipped : {"s6", "s7", "s8", "s10"})
        EXPECT_EQ(Schema(skipped), nullptr) << skipped;
    ASSERT_NE(Schema("s9"), nullptr);
    EXPECT_EQ(Schema("s9")->kind, (uint32_t)CGmImageSet::KIND_RECT);
    EXPECT_EQ(Schema("S1"), nullptr);
    EXPECT_EQ(CGuiResources::schemaNames.Count(), CGuiResources::spriteSchemas.Count());

    // The add-on reads RUS; what exists stays, a schema is replaced and its
    // texture, used by no other schema, leaves the image table.
    CGmTexture* green = Image("pics/green");
    green->AddRef();
    CGuiResources::Load(CGeString("menu/addon.xml"), 1);
    EXPECT_EQ(Str("hello"), u"Hello");
    EXPECT_EQ(Str("bye"), u"\u041F\u043E\u043A\u0430");
    EXPECT_EQ(CGuiResources::FindFont(CGeString("F")), font);
    EXPECT_EQ(Schema("s2")->texture, Image("bg"));
    EXPECT_EQ(Image("pics/green"), nullptr);
    EXPECT_EQ(green->refCount, 1); // only the test's own reference is left
    green->Release();
    ASSERT_NE(Schema("s4b"), nullptr);
    EXPECT_EQ(Schema("s4b")->frameCount, 1u);

    // Language 2 falls back to the first attribute.
    CGuiResources::Load(CGeString("other.xml"), 2);
    EXPECT_EQ(Str("tres"), u"e");
    EXPECT_STREQ(CGuiResources::GetLanguageCode().c_str(), "SPA");
}

TEST_F(GuiResources, FontsLoadedAtASmallerBackBuffer)
{
    // An add-on read after start-up computed the scale for 1024 by 768: the
    // symbol widths are divided by the horizontal factor (10 / 1.25 = 8
    // texture pixels of the 16-pixel cell), the drawn sizes multiplied back.
    dir.Write("scaled.xml", R"(<GUI_RESOURCES><FONTLIST>
        <FONT Name="S" FileName="fonts/f.tga" CodeTable="ab" FramesPerLine="2" SymbolWidths="10 7"/>
        </FONTLIST></GUI_RESOURCES>)");
    g_gm2dScale[0][0] = 1.25f;
    g_gm2dScale[0][1] = 1024.0f / 768.0f;
    CGuiResources::Load(CGeString("scaled.xml"), 1);
    g_gm2dScale[0][0] = g_gm2dScale[0][1] = 1.0f;
    CGuiFont* font = CGuiResources::FindFont(CGeString("S"));
    ASSERT_NE(font, nullptr);
    const float uCell = 0.5f; // 32 pixels in two cells of a 32-pixel texture
    struct Case {
        char16_t code;
        float du, width;
    } cases[] = {{u'a', uCell * 8 / 16, 10.0f}, {u'b', uCell * 5 / 16, 6.25f}};
    for (const Case& c : cases) {
        SCOPED_TRACE((char)c.code);
        EXPECT_FLOAT_EQ(font->FindGlyph(c.code)->du, c.du);
        EXPECT_FLOAT_EQ(font->FindGlyph(c.code)->width, c.width);
        EXPECT_FLOAT_EQ(font->FindGlyph(c.code)->height, 16.0f * 1024.0f / 768.0f);
    }
}

TEST_F(GuiResources, BadFilesChangeNothing)
{
    CGuiResources::Load(CGeString("gui/gui_res.xml"), 0);
    const uint32_t strings = CGuiResources::strings.Count();
    for (const char* file : {"broken.xml", "noroot.xml", "absent.xml"})
        CGuiResources::Load(CGeString(file), 0);
    EXPECT_EQ(CGuiResources::strings.Count(), strings);
    EXPECT_EQ(CGuiResources::LoadImageListFile(CGeString(), CGeString("lists/none.xml")).Length(), 0u);
}

TEST_F(GuiResources, FreeAllLeavesNothingReferenced)
{
    CGuiResources::Load(CGeString("gui/gui_res.xml"), 0);
    CGuiResources::Load(CGeString("menu/addon.xml"), 1);
    EXPECT_GT(g_pGmResCollector->tables[GM_RES_KIND_TEXTURE].entryCount, 0u);
    CGuiResources::FreeAll();
    EXPECT_EQ(CGuiResources::strings.Count() + CGuiResources::images.Count() + CGuiResources::imageNames.Count() +
                  CGuiResources::imageLists.Count() + CGuiResources::imageListNames.Count() +
                  CGuiResources::fonts.Count() + CGuiResources::fontNames.Count() +
                  CGuiResources::spriteSchemas.Count() + CGuiResources::schemaNames.Count(),
              0u);
    // Every texture was released to its end: the collector forgot them all.
    EXPECT_EQ(g_pGmResCollector->tables[GM_RES_KIND_TEXTURE].entryCount, 0u);
}
