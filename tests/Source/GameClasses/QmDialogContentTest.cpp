// The dialog content loader: content folders written by the tests, read
// loose and from a pack, through the dialog system's constructor (no GUI
// manager: only the content is made).
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Engine/Gui/GuiResources.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace {

using Files = std::map<std::string, std::string>;

// Named so that the readers meet them in this order: colours, a
// conversation naming a topic that a later topic set labels, strings, a
// broken file, a second string list and topic set.
const Files kContent = {
    {"a_colors.xml", "<color_set><color value='0xFF112233'/><color/><color value=''/></color_set>"},
    {"b_colors.XML", "<color_set><color value='FF'/></color_set>"},
    {"c_talk.xml",
     "<conversation_set>"
     "<conversation name='greet' opponent_name='keeper' topic_name='ships'>"
     "  <node name='n1' actor_name='$opponent$' color='0xFF00FF00'>"
     "    <cue variant_order='Random' on_exit='x = 1'>"
     "      <appear_if>first</appear_if><appear_if>second</appear_if><appear_if></appear_if>"
     "      <variant string_name='hello'/><variant string_name='hi' frequency='2.5'/>"
     "      <variant string_name='hey' frequency='lots'/><variant frequency='3'/>"
     "      <flag_changer name='met' location_name='loc01' value='7'/>"
     "      <flag_changer name='gone' state='false' value='3'/><flag_changer state='true'/>"
     "      <link target='n2'>asked == 1</link><link target='$end$'/><link/><other/>"
     "    </cue>"
     "    <cue/>"
     "  </node>"
     "  <node name='n1'><cue variant_order='random'/></node>"
     "  <node name='empty'/>"
     "  <node actor_name='$self$'><cue/></node>"
     "  <node name='n2' actor_name='' color='FF'><cue/></node>"
     "  <node name='n3' color='0xFFFFFFFF'><cue variant_order='turn'/></node>"
     "</conversation>"
     "<conversation name='greet' topic_name='other'><node name='x'><cue/></node></conversation>"
     "<conversation name='again' opponent_name='keeper' topic_name='ships'><node name='x'><cue/></node>"
     "</conversation>"
     "<conversation name='loose'><node name='x'><cue/></node></conversation>"
     "<conversation name='blank' topic_name=''><node name='x'><cue/></node></conversation>"
     "<conversation topic_name='ships'/>"
     "<conversation name='nodeless' topic_name='ships' opponent_name='sailor'/>"
     "</conversation_set>"},
    {"d_strings.xml",
     "<string_list>"
     "<string string_name='hello' file_name='voice/hello.ogg'>Well\xE2\x80\xA6 hello \xE2\x80\x93 friend</string>"
     "<string string_name='hello'>second</string>"
     "<string string_name=''>nameless</string>"
     "<string>nameless</string>"
     "<string string_name='mute'><b>bold</b></string>"
     "<topic string_name='wrong_kind'/>"
     "</string_list>"},
    {"e_broken.xml", "<string_list><string string_name='lost'>x</string>"},
    {"f_more.xml",
     "<string_list><string string_name='later'>Later</string><string string_name='hello'>third</string>"
     "</string_list>"},
    {"g_topics.xml",
     "<topic_set><topic topic_name='ships' string_name='first'/><topic topic_name='ships' string_name='lbl'/>"
     "<topic string_name='nameless'/><topic topic_name='weather'/></topic_set>"},
    {"h_notes.txt", "<string_list><string string_name='txt'>no</string></string_list>"},
    {"i_other.xml", "<something><string string_name='other'>no</string></something>"},
};

class DialogContentTest : public ::testing::Test {
protected:
    void SetUp() override { m_language = CGuiResources::languageIndex; }
    void TearDown() override
    {
        CGuiResources::languageIndex = m_language;
        CHarvester::Unmount();
        g_packPath = "";
        g_dataRoot = "";
    }

    std::unique_ptr<CQmDialogSystem> LoadLoose(const Files& files)
    {
        for (const auto& f : files)
            dir.Write("data/dialog_system/content/" + f.first, f.second);
        g_dataRoot = (dir.Path() + "/data/").c_str();
        return std::make_unique<CQmDialogSystem>();
    }

    std::unique_ptr<CQmDialogSystem> LoadPacked(const Files& files)
    {
        for (const auto& f : files)
            dir.Write("tree/dialog_system/content/" + f.first, f.second);
        std::string error;
        EXPECT_TRUE(WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error))
            << error;
        g_packPath = (dir / "resource.fpk").c_str();
        EXPECT_TRUE(CHarvester::MountSinglePack(g_packPath));
        return std::make_unique<CQmDialogSystem>();
    }

    CTestTempDir dir;

private:
    uint32_t m_language = 0;
};

std::u16string Text(const DialogStringEntry& entry)
{
    return entry.text.c_str();
}

void ExpectContent(CQmDialogSystem& d)
{
    // Strings: the first definition wins, over files too; the ellipsis and
    // the en dash are spelt in ASCII; a text that is no text node is empty.
    EXPECT_EQ(u"Well... hello - friend", Text(d.GetString("hello")));
    EXPECT_STREQ("voice/hello.ogg", d.GetString("hello").file_name.c_str());
    EXPECT_EQ(u"", Text(d.GetString("mute")));
    EXPECT_TRUE(d.strings.Find(CGeString("mute")) != nullptr);
    EXPECT_EQ(u"Later", Text(d.GetString("later")));
    for (const char* absent : {"", "lost", "txt", "other", "second"})
        EXPECT_EQ(nullptr, d.strings.Find(CGeString(absent))) << absent;
    EXPECT_EQ(3u, d.strings.Count());
    // An unknown name: the mumble, no name, no voice.
    const DialogStringEntry unknown = d.GetString("nobody");
    EXPECT_EQ(u"<Бормочет что-то невнятное...>", Text(unknown));
    EXPECT_TRUE(unknown.name.IsEmpty());
    EXPECT_TRUE(unknown.file_name.IsEmpty());

    // Colours: the first set cleared the table, the second appended, "FF"
    // reads 0, the defaults fill places 2 to 5.
    const uint32_t colors[] = {0xFF112233, 0, 0xFFEFD1FD, 0xFFFAFDD1, 0xFF630909, 0xFFD1FDFB};
    ASSERT_EQ(6u, d.colors.Count());
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(colors[i], d.colors[i]) << i;

    // Topics: the later label wins; a topic made by a conversation gets its
    // label from a later file; "$general$" and "" hold the conversations
    // written without and with an empty topic.
    ASSERT_NE(nullptr, d.topics.Find(CGeString("ships")));
    EXPECT_STREQ("lbl", d.topics.Find(CGeString("ships"))->value.string_name.c_str());
    EXPECT_STREQ("", d.topics.Find(CGeString("weather"))->value.string_name.c_str());
    ASSERT_NE(nullptr, d.topics.Find(CGeString("$general$")));
    EXPECT_NE(nullptr, d.topics.Find(CGeString("$general$"))->value.conversations.Find(CGeString("loose")));
    EXPECT_STREQ("", d.FindConversation("loose")->topic_name.c_str());
    ASSERT_NE(nullptr, d.topics.Find(CGeString("")));
    EXPECT_NE(nullptr, d.topics.Find(CGeString(""))->value.conversations.Find(CGeString("blank")));
    // Duplicates: a name taken in another topic, a second conversation with
    // the keeper in "ships".
    EXPECT_EQ(nullptr, d.topics.Find(CGeString("other")));
    EXPECT_EQ(nullptr, d.FindConversation("again"));
    ASSERT_NE(nullptr, d.FindConversation("nodeless"));
    EXPECT_TRUE(d.FindConversation("nodeless")->nodes.IsEmpty());

    // The conversation's nodes: the duplicate, the cueless and the nameless
    // are gone.
    DialogConversation* c = d.FindConversation("greet");
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("ships", c->topic_name.c_str());
    EXPECT_STREQ("keeper", c->opponent_name.c_str());
    ASSERT_EQ(3u, c->nodes.Count());
    const DialogNode& n1 = c->nodes[0];
    EXPECT_STREQ("n1", n1.name.c_str());
    EXPECT_STREQ("$opponent$", n1.actor_name.c_str());
    EXPECT_EQ(0xFF00FF00u, n1.color);
    EXPECT_STREQ("$self$", c->nodes[1].actor_name.c_str());
    EXPECT_EQ(0u, c->nodes[1].color);
    EXPECT_EQ(0xFFFFFFFFu, c->nodes[2].color);
    EXPECT_EQ(1u, c->nodes[2].cues[0].order);

    ASSERT_EQ(2u, n1.cues.Count());
    const DialogCue& cue = n1.cues[0];
    EXPECT_EQ(1u, cue.order); // "Random" is not "random"
    EXPECT_EQ(0u, n1.cues[1].order);
    EXPECT_STREQ("x = 1", cue.on_exit.c_str());
    EXPECT_STREQ("second", cue.appear_if.c_str());
    EXPECT_EQ(-1, cue.next_variant);
    EXPECT_EQ(-1, cue.chosen_variant);
    ASSERT_EQ(3u, cue.variants.Count());
    EXPECT_EQ(1.0f, cue.variants[0].frequency);
    EXPECT_EQ(2.5f, cue.variants[1].frequency);
    EXPECT_EQ(0.0f, cue.variants[2].frequency);
    ASSERT_EQ(2u, cue.flag_changers.Count());
    EXPECT_STREQ("loc01", cue.flag_changers[0].location_name.c_str());
    EXPECT_EQ(0u, cue.flag_changers[0].clear);
    EXPECT_EQ(7, cue.flag_changers[0].value);
    EXPECT_EQ(1u, cue.flag_changers[1].clear);
    EXPECT_EQ(3, cue.flag_changers[1].value);
    ASSERT_EQ(2u, cue.links.Count());
    EXPECT_STREQ("n2", cue.links[0].target.c_str());
    EXPECT_STREQ("asked == 1", cue.links[0].condition.c_str());
    EXPECT_STREQ("$end$", cue.links[1].target.c_str());
    EXPECT_TRUE(cue.links[1].condition.IsEmpty());
}

} // namespace

TEST_F(DialogContentTest, LooseFilesFollowEverySkipAndDuplicateRuleAndABrokenFileIsPassedOver)
{
    GeLogClearLast();
    std::unique_ptr<CQmDialogSystem> d = LoadLoose(kContent);
    ExpectContent(*d);
    // The broken file was logged at level 2 and the files after it were read.
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find("e_broken.xml"));
}

TEST_F(DialogContentTest, PackedFilesReadAsLooseOnes)
{
    std::unique_ptr<CQmDialogSystem> d = LoadPacked(kContent);
    ExpectContent(*d);
}

TEST_F(DialogContentTest, ColourTablesFromNoneOneOrManyColours)
{
    struct Case {
        const char* file;
        std::vector<uint32_t> expected;
    } cases[] = {
        {nullptr, {0xFFD1DCFD, 0xFFD1FDD3, 0xFFEFD1FD, 0xFFFAFDD1, 0xFF630909, 0xFFD1FDFB}},
        {"<color_set><color value='0x80000001'/></color_set>",
         {0x80000001, 0xFFD1FDD3, 0xFFEFD1FD, 0xFFFAFDD1, 0xFF630909, 0xFFD1FDFB}},
        {"<color_set><color value='1'/><color value='0X10'/><color value='0x3'/><color value='4'/>"
         "<color value='0x5'/><color value='0x6'/><color value='0x7'/></color_set>",
         {0, 0x10, 0x3, 0, 0x5, 0x6, 0x7}},
    };
    for (const Case& c : cases) {
        CTestTempDir scratch;
        if (c.file)
            scratch.Write("dialog_system/content/colors.xml", c.file);
        g_dataRoot = (scratch.Path() + "/").c_str();
        CQmDialogSystem d;
        ASSERT_EQ(c.expected.size(), d.colors.Count()) << (c.file ? c.file : "none");
        for (uint32_t i = 0; i < d.colors.Count(); ++i)
            EXPECT_EQ(c.expected[i], d.colors[i]) << i;
    }
}
