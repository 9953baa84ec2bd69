// The dialog system headless: the real GUI manager, keyboard and mouse on the
// recording device at 1280 by 1024, the dialog's control-set document and
// content written by the tests, the real script processor with the
// script-event recorder, a current location "room" with speakers, the frame
// timer's delta and the voice clock driven by the tests, and a seeded random
// generator.
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiText.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Platform/DSound/DSoundTesting.h"
#include "Platform/Win32/WinKeyboard.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Engine/Gui/GuiTestFixture.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The dialog's document: the panel with its ten replicas, the portrait, the
// topics list, a world control under everything and an exit button.
std::string DialogDocument()
{
    std::string xml = "<GUI><CONTROLSET Name='dialog_system'>"
                      "<C Name='world' Type='EGCT_CONTROL'><P Name='EP_W'>1280</P><P Name='EP_H'>1024</P></C>"
                      "<C Name='dlg' Type='EGCT_CONTROL'><P Name='EP_X'>100</P><P Name='EP_Y'>700</P>"
                      "<P Name='EP_W'>1000</P><P Name='EP_H'>200</P><P Name='EP_Visible'>0</P></C>"
                      "<C Name='self_monitor' Type='EGCT_CONTROL'><P Name='EP_X'>0</P><P Name='EP_Y'>700</P>"
                      "<P Name='EP_W'>90</P><P Name='EP_H'>90</P><P Name='EP_Visible'>0</P></C>"
                      "<C Name='topics' Type='EGCT_LISTBOX'><P Name='EP_X'>300</P><P Name='EP_Y'>300</P>"
                      "<P Name='EP_W'>400</P><P Name='EP_H'>300</P><P Name='EP_Visible'>0</P></C>"
                      "<C Name='exit' Type='EGCT_BUTTON'><P Name='EP_X'>1200</P><P Name='EP_Y'>0</P>"
                      "<P Name='EP_W'>80</P><P Name='EP_H'>40</P></C>";
    for (int i = 0; i < 10; ++i) {
        char name[16];
        snprintf(name, sizeof(name), "replica%02d", i);
        xml += std::string("<C Name='") + name + "' Type='EGCT_TEXTCONTROL'><P Name='EP_Parent'>dlg</P>"
               "<P Name='EP_W'>800</P><P Name='EP_H'>30</P><P Name='EP_Visible'>0</P></C>";
    }
    return xml + "</CONTROLSET></GUI>";
}

const char kStrings[] = "<string_list>"
                        "<string string_name='k_hello'>Hello traveller</string>"
                        "<string string_name='h_ask'>What is this place?</string>"
                        "<string string_name='h_bye'>Bye.</string>"
                        "<string string_name='h_more'>Tell me more</string>"
                        "<string string_name='k_harbour'>The harbour of the copper kettle.</string>"
                        "<string string_name='five'>12345</string>"
                        "<string string_name='quarter'>1234567890123456789012345</string>"
                        "<string string_name='A'>A</string><string string_name='B'>B</string>"
                        "<string string_name='C'>C</string>"
                        "<string string_name='t_ships'>Ships</string><string string_name='t_fish'>Fish</string>"
                        "</string_list>";

const char kTopics[] = "<topic_set><topic topic_name='ships' string_name='t_ships'/>"
                       "<topic topic_name='fish' string_name='t_fish'/><topic topic_name='none'/></topic_set>";

const char kTalk[] =
    "<conversation_set>"
    "<conversation name='greet' opponent_name='keeper'>"
    "  <node name='k1' actor_name='$opponent$'><cue><variant string_name='k_hello'/>"
    "    <link target='h1'/></cue></node>"
    "  <node name='h1'>"
    "    <cue><variant string_name='h_ask'/><link target='k2'/></cue>"
    "    <cue><variant string_name='h_bye'/><link target='$end$'/></cue>"
    "    <cue><appear_if>false</appear_if><variant string_name='h_more'/></cue>"
    "    <cue><appear_if>asked == 1</appear_if><variant string_name='h_more'/><link target='$end$'/></cue>"
    "  </node>"
    "  <node name='k2' actor_name='$opponent$'><cue on_exit='asked = 1'><variant string_name='k_harbour'/>"
    "    <flag_changer name='met' location_name='loc01' value='5'/><flag_changer name='stale' location_name='loc01' state='false'/>"
    "    <link target='nowhere'>asked ~= 1</link><link target='h1'/></cue></node>"
    "</conversation>"
    "<conversation name='lost' opponent_name='keeper'>"
    "  <node name='a' actor_name='$opponent$'><cue><variant string_name='five'/><link target='gone'/></cue></node>"
    "</conversation>"
    "<conversation name='turns' opponent_name='keeper'>"
    "  <node name='a' actor_name='$opponent$'><cue variant_order='in_turn'><variant string_name='A'/>"
    "    <variant string_name='B' frequency='0'/><variant string_name='C'/><link target='a'/></cue></node>"
    "</conversation>"
    "<conversation name='times' opponent_name='keeper'>"
    "  <node name='five' actor_name='$opponent$'><cue><variant string_name='five'/><link target='quarter'/></cue></node>"
    "  <node name='quarter' actor_name='$opponent$'><cue><variant string_name='quarter'/></cue></node>"
    "</conversation>"
    "<conversation name=\"it's \\ odd\" opponent_name='keeper'>"
    "  <node name='q' actor_name='$think$'><cue><variant string_name='five'/></cue></node>"
    "</conversation>"
    "<conversation name='ships_talk' topic_name='ships' opponent_name='keeper'>"
    "  <node name='s' actor_name='$opponent$'><cue><variant string_name='five'/><link target='$topics$'/></cue></node>"
    "</conversation>"
    "<conversation name='fish_talk' topic_name='fish' opponent_name='keeper'>"
    "  <node name='f' actor_name='$opponent$'><cue><variant string_name='five'/><link target='$topics$'/></cue></node>"
    "</conversation>"
    "<conversation name='bye_keeper' topic_name='$ending$' opponent_name='keeper'>"
    "  <node name='e' actor_name='$opponent$'><cue><variant string_name='five'/></cue></node>"
    "</conversation>"
    "<conversation name='sailor_ships' topic_name='ships' opponent_name='sailor'>"
    "  <node name='s'><cue><variant string_name='five'/></cue></node>"
    "</conversation>"
    "</conversation_set>";

uint32_t g_ticks[2] = {0, 0};
uint32_t g_tickCalls = 0;
uint32_t FakeTicks()
{
    return g_ticks[g_tickCalls++ & 1];
}

} // namespace

class DialogSystemTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_language = CGuiResources::languageIndex;
        g_guiManager = manager.get();
        g_mouse = mouse.get();
        g_keyboard = keyboard.get();
        dir.Write("dialog_system/dialog_system.xml", DialogDocument());
        dir.Write("dialog_system/content/strings.xml", kStrings);
        dir.Write("dialog_system/content/topics.xml", kTopics);
        dir.Write("dialog_system/content/talk.xml", kTalk);
        g_dataRoot = (dir.Path() + "/").c_str();
        g_gameProcessor = &processor;
        ScriptInit();
        events = std::make_unique<CScriptEventRecorder>();
        events->Record({"on_dialog_end", "on_sentence_begin", "on_sentence_end", "room_on_topics_open",
                        "room_on_topics_close"});
        locations.current = &room;
        g_locationManager = &locations;
        GeSrand(7);
        CQmQuests::Clear();
        dialog = std::make_unique<CQmDialogSystem>();
        g_dialogSystem = dialog.get();
        manager->currentSet = set;
        // The dispatcher's first pass only switches delivery on.
        dispatcher.RunPass();
    }

    void TearDown() override
    {
        g_dialogSystem = nullptr;
        dialog.reset();
        CQmDialogSystem::tickSource = m_ticks;
        CQmQuests::Clear();
        locations.current = nullptr;
        g_locationManager = nullptr;
        events.reset();
        ScriptShutdown();
        g_gameProcessor = nullptr;
        g_dataRoot = "";
        g_guiManager = nullptr;
        g_mouse = nullptr;
        g_keyboard = nullptr;
        CGuiResources::languageIndex = m_language;
        GuiTest::TearDown();
    }

    // The recorded events since the last call, joined, then forgotten.
    std::string Events()
    {
        const std::string joined = events->Joined();
        events->Clear();
        return joined;
    }

    // Frames of the sentence timer.
    void Tick(float delta)
    {
        timer.delta = delta;
        dialog->Update();
    }

    CGuiTextControl* Replica(uint32_t i) { return dialog->Replica(i); }
    std::u16string TextOf(uint32_t i) { return Replica(i)->text.c_str(); }
    bool Shown(const char* name) { return dialog->Control(name)->visible != 0; }

    // A left click in the middle of a dialog control, as the player makes it.
    void ClickOn(CGuiControl* control)
    {
        const Vec2 origin = control->ScreenOrigin();
        Click(static_cast<int>(origin.x + 5), static_cast<int>(origin.y + 5));
        dispatcher.RunPass();
    }

    void RunScript(const std::string& text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text.c_str(), error)) << text << ": " << error.c_str();
    }

    CTestTempDir dir;
    CQmGameProcessor processor;
    CQmLocationManager locations;
    CQmLocation room{"room"};
    std::unique_ptr<CScriptEventRecorder> events;
    std::unique_ptr<CQmDialogSystem> dialog;

private:
    uint32_t m_language = 0;
    uint32_t (*m_ticks)() = CQmDialogSystem::tickSource;
};

// Running a conversation -------------------------------------------------------

TEST_F(DialogSystemTest, AConversationRunsThroughTheKeepersLineTheHerosChoiceAndItsEnd)
{
    dialog->InitiateDialog("greet", "", "");
    EXPECT_TRUE(dialog->IsActive());
    EXPECT_STREQ("dialog_system", manager->currentSet->name.c_str());
    EXPECT_TRUE(Shown("dlg"));
    EXPECT_TRUE(Shown("self_monitor"));
    EXPECT_FALSE(Shown("topics"));
    EXPECT_EQ("room_on_topics_close() on_sentence_begin(greet,k1,0,keeper)", Events());
    // The keeper's line: his colour (the first of the other speakers'), no
    // name without an actor, 15 characters shown for 1.5 s.
    EXPECT_EQ(0xFFEFD1FDu, dialog->speakerColours.Find(CGeString("keeper"))->value);
    EXPECT_EQ(u"&0xFFEFD1FDHello traveller", TextOf(0));
    EXPECT_TRUE(Replica(0)->visible);
    EXPECT_FALSE(Replica(1)->visible);
    EXPECT_FLOAT_EQ(1.5f, dialog->sentenceTime);
    EXPECT_FALSE(dialog->IsLastSentence());

    Tick(1.0f);
    EXPECT_EQ("", Events());
    Tick(0.75f);
    // The hero's node offers the two available replies, white, stacked.
    EXPECT_EQ("on_sentence_end(greet,k1,0,keeper)", Events());
    EXPECT_EQ(0.0f, dialog->sentenceTime);
    ASSERT_EQ(2u, dialog->replicaCues.Count());
    EXPECT_EQ(u"What is this place?", TextOf(0));
    EXPECT_EQ(u"Bye.", TextOf(1));
    EXPECT_EQ(0xFFFFFFu, Replica(1)->textVisual->color & 0xFFFFFFu);
    EXPECT_EQ(Replica(0)->Y() + 40.0f, Replica(1)->Y());
    EXPECT_EQ(10.0f, Replica(0)->X());
    // Centred in the panel's 200 units: two of 30 and a gap of 10 leave 130.
    EXPECT_EQ(65.0f, Replica(0)->Y());

    // The player picks "Bye.": the last sentence of the dialog.
    ClickOn(Replica(1));

    EXPECT_EQ("on_sentence_begin(greet,h1,1,$self$)", Events());
    EXPECT_TRUE(dialog->IsLastSentence());
    EXPECT_FALSE(Replica(0)->visible);
    EXPECT_EQ(u"&0xFFD1DCFDBye.", TextOf(1));
    // A click on the shown sentence ends it.
    ClickOn(Replica(1));
    EXPECT_EQ("on_sentence_end(greet,h1,1,$self$) on_dialog_end(greet,h1,$self$)", Events());
    EXPECT_FALSE(dialog->IsActive());
    EXPECT_STREQ("main", manager->currentSet->name.c_str());
    EXPECT_FALSE(Shown("dlg"));
    EXPECT_EQ(nullptr, dialog->currentConversation);
}

TEST_F(DialogSystemTest, ChunksFlagChangersConditionsAndALinkToNoNode)
{
    CQmQuests::Pass("stale", "loc01", 1);
    dialog->InitiateDialog("greet", "k2", "");
    Events();
    dialog->SkipSentence();
    // on_exit ran before the end event; the flags changed; "asked ~= 1" no
    // longer holds, so the link to h1 is followed, where the reply that
    // needs asked == 1 now shows.
    EXPECT_EQ("on_sentence_end(greet,k2,0,keeper)", Events());
    ASSERT_NE(nullptr, CQmQuests::Find("met", "loc01"));
    EXPECT_EQ(5, *CQmQuests::Find("met", "loc01"));
    EXPECT_EQ(nullptr, CQmQuests::Find("stale", "loc01"));
    EXPECT_EQ(3u, dialog->replicaCues.Count());
    EXPECT_EQ(u"Tell me more", TextOf(2));

    // A link to a node the conversation lacks: the dialog stays where it is.
    dialog->InitiateDialog("lost", "", "");
    EXPECT_EQ("on_dialog_end(greet,h1,$self$) room_on_topics_close() on_sentence_begin(lost,a,0,keeper)", Events());
    dialog->SkipSentence();
    EXPECT_EQ("on_sentence_end(lost,a,0,keeper)", Events());
    EXPECT_TRUE(dialog->IsActive());
    EXPECT_STREQ("a", dialog->currentNode->name.c_str());
    EXPECT_EQ(0.0f, dialog->sentenceTime);
}

TEST_F(DialogSystemTest, StartNodesUnknownConversationsAndTheEndMarker)
{
    struct Case {
        const char* conversation;
        const char* start;
        const char* opponent;
        bool active;
        const char* node;
    } cases[] = {
        {"nobody", "", "", false, nullptr},
        {"greet", "$end$", "", false, nullptr},
        {"greet", "missing", "", true, "k1"},
        {"greet", "h1", "", true, "h1"},
        {"", "$topics$", "", false, nullptr},
    };
    for (const Case& c : cases) {
        dialog->InitiateDialog(c.conversation, c.start, c.opponent);
        EXPECT_EQ(c.active, dialog->IsActive()) << c.conversation << " " << c.start;
        if (c.node) {
            EXPECT_STREQ(c.node, dialog->currentNode->name.c_str());
        }
        dialog->EndDialog();
    }
}

TEST_F(DialogSystemTest, SentenceTimesFromTextAndFromTheVoice)
{
    dialog->InitiateDialog("times", "", "");
    EXPECT_FLOAT_EQ(1.0f, dialog->sentenceTime); // five characters
    Tick(0.5f);
    EXPECT_FLOAT_EQ(0.5f, dialog->sentenceTime);
    Tick(0.6f);
    EXPECT_FLOAT_EQ(2.5f, dialog->sentenceTime); // twenty-five

    // A voice of 3000 ms that takes 2 ms to start: 3.102 s.
    dialog->EndDialog();
    DSoundTestSetBackend(DSoundTestBackend::Manual);
    CSmSoundManager::streamThreadWanted = false;
    CSmSoundGroup* group = new CSmSoundGroup;
    g_soundManager = group;
    DSoundTestSetBackend(DSoundTestBackend::Audio);
    const CGeString previousRoot = DataRootPrefix;
    DataRootPrefix = g_dataRoot;
    const std::string pcm(44100 * 3 * 2, '\0');
    dir.Write("sound/five.wav", WaveFile(1, 44100, 16, pcm));
    {
        CQmEntity keeper;
        CQmPropSoundSource* source = new CQmPropSoundSource(&keeper);
        keeper.SetProp(QM_PROP_SOUND_SOURCE, source);
        TiXmlDocument doc;
        doc.Parse("<sound_source><slot name='speaker'/></sound_source>");
        ASSERT_TRUE(source->LoadFromXML(doc.RootElement()));
        source->SetEnabled(true);
        room.AddNamedObject("keeper", &keeper, true);
        g_ticks[0] = 1000;
        g_ticks[1] = 1002;
        g_tickCalls = 0;
        CQmDialogSystem::tickSource = FakeTicks;
        dialog->InitiateDialog("times", "", "");
        EXPECT_NEAR(3.102f, dialog->sentenceTime, 1e-5f);
        EXPECT_EQ(&keeper, dialog->speakerEntity);
        dialog->EndDialog();
        EXPECT_EQ(nullptr, dialog->speakerEntity);
        room.RemoveEntity("keeper");
    }
    DataRootPrefix = previousRoot;
    g_soundManager = nullptr;
    delete group;
    CSmSoundManager::streamThreadWanted = true;
}

TEST_F(DialogSystemTest, InTurnVariantsGoRoundAndZeroWeightsStillTakeTheirTurn)
{
    dialog->InitiateDialog("turns", "", "");
    std::u16string said;
    for (int visit = 0; visit < 4; ++visit) {
        said += Replica(0)->text.c_str()[Replica(0)->text.Length() - 1];
        dialog->SkipSentence();
    }
    EXPECT_EQ(u"ABCA", said);
}

// The C runtime's generator as a plain model.
struct CrtModel {
    uint32_t state;
    int Next()
    {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

TEST_F(DialogSystemTest, WeightedPicksFollowTheNormalisedTableAndTheGenerator)
{
    struct Case {
        std::vector<float> weights;
        std::vector<int32_t> table; // normalised, before the adjustment
    } cases[] = {
        {{1, 1, 2}, {2500, 2500, 5000}},
        {{1, 1, 1}, {3333, 3333, 3333}},
        {{0, 1}, {0, 10000}},
        {{0.001f, 0.004f}, {5000, 5000}}, // truncating to 0 counts as 1 each
        {{0.5f, 0.25f, 0.25f}, {5000, 2500, 2500}},
    };
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed < 40; ++seed) {
            CrtModel model{seed};
            std::vector<int32_t> w = c.table;
            int32_t total = 0;
            for (int32_t v : w)
                total += v;
            if (total != 10000) {
                uint32_t r = w.size() > 1 ? static_cast<uint32_t>(model.Next()) % w.size() : 0;
                for (; total < 10000; r = (r + 1) % w.size(), ++total)
                    ++w[r];
            }
            const int32_t pick = model.Next() % 10001;
            int32_t expected = -1, low = 0;
            for (size_t k = 0; k < w.size(); ++k) {
                if (w[k] == 0)
                    continue;
                const bool last = k + 1 == w.size() || std::all_of(w.begin() + k + 1, w.end(), [](int32_t v) { return v == 0; });
                const int32_t high = low + w[k] + (last ? 1 : 0);
                if (pick >= low && pick < high)
                    expected = static_cast<int32_t>(k);
                low += w[k];
            }
            GeSrand(seed);
            EXPECT_EQ(expected, static_cast<int32_t>(
                                    CQmDialogSystem::PickWeightedVariant(c.weights.data(), c.weights.size())))
                << "seed " << seed << " weights " << c.weights.size();
        }
    }
    const float none[] = {0.0f, -1.0f};
    EXPECT_EQ(0u, CQmDialogSystem::PickWeightedVariant(none, 2));
}

TEST_F(DialogSystemTest, SpeakerColoursGoRoundTheTableAndTwelveRepliesOfferTen)
{
    // A conversation with the hero, his thoughts and seven other speakers.
    std::string xml = "<conversation_set><conversation name='crowd'>"
                      "<node name='me'><cue><variant string_name='five'/></cue></node>"
                      "<node name='thought' actor_name='$think$'><cue><variant string_name='five'/></cue></node>";
    for (int i = 0; i < 7; ++i)
        xml += "<node name='n" + std::to_string(i) + "' actor_name='s" + std::to_string(i) +
               "'><cue><variant string_name='five'/></cue></node>";
    xml += "</conversation><conversation name='many'><node name='h'>";
    for (int i = 0; i < 12; ++i)
        xml += "<cue><variant string_name='five'/></cue>";
    xml += "</node></conversation></conversation_set>";
    dir.Write("dialog_system/content/zz_more.xml", xml);
    dialog = std::make_unique<CQmDialogSystem>();
    g_dialogSystem = dialog.get();

    dialog->InitiateDialog("crowd", "", "");
    const uint32_t table[] = {0xFFD1DCFD, 0xFFD1FDD3, 0xFFEFD1FD, 0xFFFAFDD1, 0xFF630909, 0xFFD1FDFB};
    EXPECT_EQ(table[0], dialog->speakerColours.Find(CGeString("$self$"))->value);
    EXPECT_EQ(table[1], dialog->speakerColours.Find(CGeString("$think$"))->value);
    const int expected[] = {2, 3, 4, 5, 2, 3, 4};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(table[expected[i]], dialog->speakerColours.Find(CGeString(("s" + std::to_string(i)).c_str()))->value)
            << i;

    dialog->InitiateDialog("many", "", "");
    EXPECT_EQ(10u, dialog->replicaCues.Count());
    for (uint32_t i = 0; i < 10; ++i)
        EXPECT_TRUE(Replica(i)->visible) << i;
    EXPECT_EQ(0.0f, dialog->sentenceTime);
    // The panel grew to hold the ten.
    EXPECT_EQ(10 * 30.0f + 9 * 10.0f, dialog->Control("dlg")->height);
}

TEST_F(DialogSystemTest, QuotesInNamesAndThoughtsThatWobble)
{
    dialog->InitiateDialog("it's \\ odd", "", "");
    EXPECT_EQ("room_on_topics_close() on_sentence_begin(it's \\ odd,q,0,$think$)", Events());
    GmTextVertexHook hook = Replica(0)->textVisual->vertexHook;
    EXPECT_EQ(&CQmDialogSystem::WobbleThoughtText, hook);
    // The hook moves every corner by the formula, the phase by the frame.
    GmTextVertex source[8] = {};
    GmTextVertex target[8] = {};
    for (int v = 0; v < 8; ++v) {
        source[v].x = 10.0f * v;
        source[v].y = 5.0f;
        source[v].color = 0xFF123456;
        source[v].u = 0.5f;
    }
    float phase = 1.0f;
    timer.delta = 0.25f;
    CQmDialogSystem::WobbleThoughtText(source, target, 2, &phase);
    EXPECT_FLOAT_EQ(1.25f, phase);
    for (int v = 0; v < 8; ++v) {
        const float a = 2.5f + v, b = 2.5f + v / 4;
        EXPECT_NEAR(10.0f * v + 0.2f * std::sin(a) + 1.5f * std::sin(b), target[v].x, 1e-4f) << v;
        EXPECT_NEAR(5.0f + 0.2f * std::cos(a) + std::cos(b), target[v].y, 1e-4f) << v;
        EXPECT_EQ(0xFF123456u, target[v].color);
        EXPECT_EQ(0.5f, target[v].u);
    }
    dialog->EndDialog();
    EXPECT_EQ("on_dialog_end(it's \\ odd,q,$think$)", Events());
}

TEST_F(DialogSystemTest, HandlersThatEndOrRestartTheDialogStopTheRunner)
{
    // An end handler of the keeper's line starts another dialog: the runner
    // of the first does not follow its link.
    RunScript("function on_sentence_end(c, n, i, a) __record('on_sentence_end', c, n, i, a) "
              "if c == 'greet' then InitiateDialog('times') end end");
    dialog->InitiateDialog("greet", "", "");
    Events();
    dialog->SkipSentence();
    EXPECT_EQ("on_sentence_end(greet,k1,0,keeper) on_dialog_end(greet,k1,keeper) room_on_topics_close() "
              "on_sentence_begin(times,five,0,keeper)",
              Events());
    EXPECT_STREQ("times", dialog->currentConversation->name.c_str());
    EXPECT_STREQ("five", dialog->currentNode->name.c_str());

    // A begin handler that ends the dialog: no time, no text, nothing after.
    RunScript("function on_sentence_begin(c, n, i, a) __record('on_sentence_begin', c, n, i, a) "
              "InitiateDialog(c, '$end$') end");
    dialog->InitiateDialog("greet", "", "");
    EXPECT_FALSE(dialog->IsActive());
    EXPECT_EQ(0.0f, dialog->sentenceTime);
    EXPECT_STREQ("main", manager->currentSet->name.c_str());
}

// The topics menu ------------------------------------------------------------------

TEST_F(DialogSystemTest, TheTopicsMenuListsDimsChoosesAndEndsWithTheKeepersEnding)
{
    dialog->AddAvailableTopic("ships", true);
    dialog->AddAvailableTopic("fish", false);
    dialog->AddAvailableTopic("unknown", true);
    dialog->InitiateDialog("", "$topics$", "keeper");
    EXPECT_TRUE(dialog->IsActive());
    EXPECT_TRUE(dialog->topicsMode);
    EXPECT_STREQ("dialog_system", manager->currentSet->name.c_str());
    EXPECT_TRUE(Shown("topics"));
    EXPECT_FALSE(Shown("dlg"));
    EXPECT_EQ("room_on_topics_open()", Events());
    CGuiListBox* list = dialog->TopicsList();
    CGeWString items;
    list->GetProperty(EP_Items, items);
    // Topics in name order; the one kept false is dimmed.
    EXPECT_EQ(u"&0x70ffffffFish&c\nShips", std::u16string(items.c_str()));
    EXPECT_EQ(-1, list->curItem);

    // The list's click comes from its inner text control and chooses the
    // current item.
    list->curItem = 1;
    dialog->OnMessage(list->textControl, 3);
    EXPECT_EQ("room_on_topics_close() on_sentence_begin(ships_talk,s,0,keeper)", Events());
    EXPECT_FALSE(Shown("topics"));
    EXPECT_TRUE(Shown("dlg"));
    // Its "$topics$" link brings the menu back without "ships".
    dialog->SkipSentence();
    EXPECT_EQ("on_sentence_end(ships_talk,s,0,keeper) room_on_topics_open()", Events());
    list->GetProperty(EP_Items, items);
    EXPECT_EQ(u"&0x70ffffffFish&c", std::u16string(items.c_str()));
    // A dimmed topic can still be chosen.
    list->curItem = 0;
    dialog->OnMessage(list->textControl, 3);
    dialog->SkipSentence();
    // Leaving the exhausted menu, then the ending's direct start: two closes.
    EXPECT_EQ("room_on_topics_close() on_sentence_begin(fish_talk,f,0,keeper) on_sentence_end(fish_talk,f,0,keeper) "
              "room_on_topics_close() room_on_topics_close() on_sentence_begin(bye_keeper,e,0,keeper)",
              Events());
    // The menu ran out: the keeper's ending plays, and its end ends all.
    dialog->SkipSentence();
    EXPECT_EQ("on_sentence_end(bye_keeper,e,0,keeper) on_dialog_end(bye_keeper,e,keeper)", Events());
    EXPECT_FALSE(dialog->IsActive());
    EXPECT_FALSE(dialog->topicsMode);
    EXPECT_STREQ("main", manager->currentSet->name.c_str());
    list->GetProperty(EP_Items, items);
    EXPECT_TRUE(items.IsEmpty());
}

TEST_F(DialogSystemTest, KeysClicksAndTheInputLock)
{
    dialog->AddAvailableTopic("ships", true);
    dialog->InitiateDialog("", "$topics$", "sailor");
    Events();
    // Escape leaves the menu; the sailor has no ending: the dialog ends
    // without a conversation to report.
    Type(VK_ESCAPE, 27);
    dispatcher.RunPass();
    EXPECT_EQ("room_on_topics_close()", Events());
    EXPECT_FALSE(dialog->IsActive());

    // "exit" leaves too, a right click in the world as well.
    dialog->InitiateDialog("", "$topics$", "keeper");
    Events();
    ClickOn(dialog->Control("exit"));
    EXPECT_EQ("room_on_topics_close() room_on_topics_close() on_sentence_begin(bye_keeper,e,0,keeper)", Events());
    dialog->EndDialog();
    Events();

    // Space skips a shown sentence, but not while the input is locked.
    dialog->InitiateDialog("greet", "", "");
    Events();
    processor.inputLockTime = 1.0f;
    Type(VK_SPACE, ' ');
    dispatcher.RunPass();
    ClickOn(dialog->Control("world"));
    EXPECT_EQ("", Events());
    processor.inputLockTime = 0.0f;
    Type(VK_SPACE, ' ');
    dispatcher.RunPass();
    EXPECT_EQ("on_sentence_end(greet,k1,0,keeper)", Events());
    // Space during the hero's choice finds no shown sentence.
    Type(VK_SPACE, ' ');
    dispatcher.RunPass();
    EXPECT_EQ("", Events());
    // The pointer over a reply lights it while nothing is said.
    const Vec2 origin = Replica(1)->ScreenOrigin();
    MoveTo(static_cast<int>(origin.x + 5), static_cast<int>(origin.y + 5));
    dispatcher.RunPass();
    EXPECT_EQ(0xD1DCFDu, Replica(1)->textVisual->color & 0xFFFFFFu);
    EXPECT_EQ(0xFFFFFFu, Replica(0)->textVisual->color & 0xFFFFFFu);
    // A click in the world while the hero chooses skips nothing.
    ClickOn(dialog->Control("world"));
    EXPECT_EQ("", Events());
    ClickOn(Replica(0));
    EXPECT_EQ("on_sentence_begin(greet,h1,0,$self$)", Events());
    ClickOn(dialog->Control("world"));
    EXPECT_EQ("on_sentence_end(greet,h1,0,$self$) on_sentence_begin(greet,k2,0,keeper)", Events());
}

// Available topics and the script functions --------------------------------------

TEST_F(DialogSystemTest, ScriptFunctionsAndTopicStatesThroughSaveAndLoad)
{
    struct Row {
        const char* call;
        const char* state; // GetTopicState('ships') after the call
    } rows[] = {
        {"AddAvailableTopic('unknown')", "0"},
        {"AddAvailableTopic()", "0"},
        {"AddAvailableTopic('ships', false, 1)", "0"},
        {"AddAvailableTopic('ships', false)", "1"},
        {"AddAvailableTopic('ships', 'no')", "2"},
        {"AddAvailableTopic('ships', false)", "1"},
        {"RemoveAvailableTopic('ships', 1)", "1"},
        {"RemoveAvailableTopic('ships')", "0"},
        {"AddAvailableTopic('ships')", "2"},
        {"AddAvailableTopic('ships', false)", "1"},
    };
    for (const Row& r : rows) {
        RunScript(r.call);
        RunScript("RecordLine(GetTopicState('ships'))");
        EXPECT_EQ(r.state, Events()) << r.call;
    }
    RunScript("RecordLine(select('#', GetTopicState()))");
    EXPECT_EQ("0", Events());
    // The store keeps the first value of the twice-added topic; a flag
    // changer's write is in the same save block.
    dialog->InitiateDialog("greet", "k2", "");
    dialog->SkipSentence();
    dialog->EndDialog();
    uint8_t* block = nullptr;
    const uint32_t size = CQmQuests::Save(&block);
    CQmQuests::Clear();
    dialog->RestoreAvailableTopics();
    EXPECT_EQ(0, dialog->GetTopicState("ships"));
    ASSERT_TRUE(CQmQuests::Load(block, size));
    free(block);
    dialog->RestoreAvailableTopics();
    EXPECT_EQ(2, dialog->GetTopicState("ships"));
    EXPECT_EQ(5, *CQmQuests::Find("met", "loc01"));

    // "InitiateDialog" takes one to three texts and asks for a cursor refresh.
    processor.cursorRefreshPending = 0;
    RunScript("InitiateDialog('greet', 'h1')");
    EXPECT_TRUE(dialog->IsActive());
    EXPECT_STREQ("h1", dialog->currentNode->name.c_str());
    EXPECT_EQ(1, processor.cursorRefreshPending);
    RunScript("InitiateDialog('greet', '$end$')");
    EXPECT_FALSE(dialog->IsActive());
    RunScript("InitiateDialog('', '$topics$', 'keeper', 'x')");
    EXPECT_FALSE(dialog->IsActive());
    RunScript("InitiateDialog(1)");
    EXPECT_FALSE(dialog->IsActive());

    RunScript("SetActorCameraTranslation(1, '2', 3.5)");
    EXPECT_EQ(2.0f, CQmDialogSystem::actorCameraTranslation[1]);
    EXPECT_EQ(3.5f, CQmDialogSystem::actorCameraTranslation[2]);
    RunScript("SetActorCameraTranslation(1, 2)");
    EXPECT_EQ(3.5f, CQmDialogSystem::actorCameraTranslation[2]);
    dialog->SkipSentence();
    EXPECT_EQ(0.0f, CQmDialogSystem::actorCameraTranslation[2]);
}

// The portrait ------------------------------------------------------------------------

namespace {

// A visual that notes, when drawn, the camera and the lights it is drawn with.
class CPortraitProbe : public CGmVisualObject {
public:
    void Render() override
    {
        ++draws;
        CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
        if (camera) {
            eye = camera->eye;
            viewport = camera->currentViewport;
        }
        lightsOn = 0;
        for (CGmLightDesc* light : g_pGmLayers->lights)
            lightsOn += light->Enabled() ? 1 : 0;
    }
    int draws = 0;
    Vec3 eye = {0, 0, 0};
    GeViewport viewport;
    int lightsOn = -1;
};

} // namespace

TEST_F(DialogSystemTest, ThePortraitDrawsOnlyTheSpeakerInItsControlAndPutsTheSceneBack)
{
    CGmLayers layers;
    CGmLayers* previousLayers = g_pGmLayers;
    g_pGmLayers = &layers;
    CGmLightDesc sun;
    sun.Init();
    sun.SetEnabled(true);
    layers.AddLight(&sun);
    CQmEntity keeper, bystander;
    CPortraitProbe* keeperLook = new CPortraitProbe;
    CPortraitProbe* bystanderLook = new CPortraitProbe;
    for (auto [entity, probe] : {std::pair{&keeper, keeperLook}, std::pair{&bystander, bystanderLook}}) {
        CQmPropVisualObject* visuals = new CQmPropVisualObject(entity);
        entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        visuals->visuals.Add(probe);
        layers.Add(0, probe);
    }
    CQmPropActor* actor = new CQmPropActor(&keeper);
    actor->headSize = 60.0f;
    keeper.SetProp(QM_PROP_ACTOR, actor);
    keeper.frame.SetPosition({100.0f, 50.0f, 300.0f});
    keeper.frame.UpdateWorldMatrix();
    room.AddNamedObject("keeper", &keeper, true);
    room.AddNamedObject("bystander", &bystander, true);

    dialog->InitiateDialog("greet", "", "");
    CQmDialogSystem::actorCameraTranslation[1] = 5.0f;
    dialog->Draw();
    EXPECT_FALSE(dialog->IsDrawingPortrait());
    EXPECT_EQ(1, keeperLook->draws);
    EXPECT_EQ(0, bystanderLook->draws);
    // Along the keeper's first axis, far enough for a head of 60 to fill the
    // 15 degrees, raised by the offset.
    EXPECT_NEAR(100.0f + 30.0f / std::tan(0.1308997f), keeperLook->eye.x, 1e-3f);
    EXPECT_NEAR(55.0f, keeperLook->eye.y, 1e-4f);
    EXPECT_NEAR(300.0f, keeperLook->eye.z, 1e-4f);
    // The control's place plus (16, 18), 126 by 124.
    EXPECT_EQ(16u, keeperLook->viewport.X);
    EXPECT_EQ(718u, keeperLook->viewport.Y);
    EXPECT_EQ(126u, keeperLook->viewport.Width);
    EXPECT_EQ(124u, keeperLook->viewport.Height);
    // Only the portrait light shone; the scene is as it was.
    EXPECT_EQ(1, keeperLook->lightsOn);
    EXPECT_TRUE(sun.Enabled());
    EXPECT_FALSE(dialog->portraitLight->Enabled());
    EXPECT_TRUE(bystanderLook->visible);
    EXPECT_TRUE(Shown("self_monitor"));

    // The hero speaks next, and there is no hero to draw: the portrait hides.
    dialog->SkipSentence();
    dialog->Draw();
    EXPECT_FALSE(Shown("self_monitor"));
    EXPECT_EQ(1, keeperLook->draws);
    // Nothing is drawn over the topics menu.
    dialog->EndDialog();
    dialog->Draw();
    EXPECT_EQ(1, keeperLook->draws);

    room.RemoveEntity("keeper");
    room.RemoveEntity("bystander");
    dialog.reset();
    g_dialogSystem = nullptr;
    g_pGmLayers = previousLayers;
}
