// The catalogues of items, game strings, actors and documents: strings
// tables from well-formed and damaged documents, the item file with its
// defaults and its broken forms, actors loaded globally and into the current
// location, their removal and the main hero's protection, documents replaced
// under a name, Clear's reach, and the game processor's start filling the
// strings and the items.
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInvItemDesc.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "tests/Source/GameClasses/LocationFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"

#include <tinyxml.h>

#include <string>

using namespace locwriter;

namespace {

const std::string kRed = std::string("image=\"") + kRedPicture + "\"";

std::u16string Wide(const CGeWString& text)
{
    return std::u16string(text.c_str(), text.Length());
}

QmStringTable ReadStrings(const std::string& text)
{
    TiXmlDocument document;
    document.Parse(text.c_str());
    QmStringTable table;
    CQmUnifiedCollector::LoadStrings(document, table);
    return table;
}

// A document whose deletions are counted.
int g_documentsDeleted = 0;
class CountedDocument : public CQmOverlayDocument {
public:
    ~CountedDocument() override { ++g_documentsDeleted; }
};

class QmUnifiedCollectorTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        WriteSharedFiles(tree.dir.Path());
        QmAnimInstallMakers();
        g_pGmResCollector = &collector;
        g_pGmLayers = &layers;
        CreateActiveColliders();
        g_documentsDeleted = 0;
    }

    void TearDown() override
    {
        CQmUnifiedCollector::Clear();
        CQmUnifiedCollector::ClearStrings();
        manager.Clear();
        DestroyActiveColliders();
        g_pGmLayers = nullptr;
        g_pGmResCollector = nullptr;
        LocationTest::TearDown();
    }

    void Write(const std::string& path, const std::string& text) { tree.dir.Write(path, text); }

    // A location made current through the manager.
    CQmLocation* Current(const char* name)
    {
        manager.Adopt(new CQmLocation(name));
        manager.SetCurrentLocation(name);
        return manager.current;
    }

    CGmResCollector collector;
    CGmLayers layers;
};

TEST_F(QmUnifiedCollectorTest, StringsTableTakesLaterDuplicatesAndSkipsIncompleteEntries)
{
    // Any root name is accepted; UTF-8 becomes UTF-16.
    QmStringTable table = ReadStrings("<anything>"
                                      "<string id=\"a\" str=\"first\"/>"
                                      "<string id=\"b\" str=\"kept\"/>"
                                      "<string id=\"a\" str=\"second\"/>"
                                      "<string id=\"b\"/>"
                                      "<string str=\"no id\"/>"
                                      "<other id=\"c\" str=\"not a string\"/>"
                                      "<string id=\"ru\" str=\"\xd0\x9a\xd0\xbe\xd1\x82\"/>"
                                      "<string id=\"empty\" str=\"\"/>"
                                      "</anything>");
    struct Case {
        const char* id;
        bool present;
        std::u16string text;
    } cases[] = {
        {"a", true, u"second"}, {"b", true, u"kept"}, {"c", false, u""}, {"ru", true, u"\u041a\u043e\u0442"},
        {"empty", true, u""},
    };
    for (const Case& c : cases) {
        const auto* node = table.Find(CGeString(c.id));
        ASSERT_EQ(c.present, node != nullptr) << c.id;
        if (node) {
            EXPECT_EQ(c.text, Wide(node->value)) << c.id;
        }
    }
    EXPECT_EQ(4u, table.Count());
}

TEST_F(QmUnifiedCollectorTest, DamagedStringsDocumentsNeverCrash)
{
    GeLogClearLast();
    EXPECT_EQ(0u, ReadStrings("").Count());
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(std::string("CQmUnifiedCollector::LoadStrings: empty root element!\n"), GeLogLastMessage().c_str());

    EXPECT_EQ(0u, ReadStrings("<strings/>").Count());

    // Invalid UTF-8 keeps the readable text around the broken bytes.
    QmStringTable table = ReadStrings("<s><string id=\"x\" str=\"a\xff\xc3z\"/></s>");
    const auto* node = table.Find(CGeString("x"));
    ASSERT_NE(nullptr, node);
    const std::u16string text = Wide(node->value);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(u'a', text.front());
    EXPECT_EQ(u'z', text.back());

    // A document cut short keeps what parsed before the break.
    table = ReadStrings("<s><string id=\"ok\" str=\"yes\"/><string id=\"cut\" str=\"no");
    EXPECT_EQ(nullptr, table.Find(CGeString("cut")));
}

TEST_F(QmUnifiedCollectorTest, GameStringsShareOneEmptyTextForUnknownIds)
{
    GeLogClearLast();
    CQmUnifiedCollector::LoadGameStrings(); // no file yet
    EXPECT_EQ(2, GeLogLastLevel());
    const CGeWString& first = CQmUnifiedCollector::GetString("greeting");
    EXPECT_TRUE(first.IsEmpty());

    Write("strings/game_strings.xml", "<game_strings><string id=\"greeting\" str=\"Hello\"/></game_strings>");
    CQmUnifiedCollector::LoadGameStrings();
    EXPECT_EQ(u"Hello", Wide(CQmUnifiedCollector::GetString("greeting")));
    const CGeWString& unknown = CQmUnifiedCollector::GetString("nothing");
    EXPECT_TRUE(unknown.IsEmpty());
    EXPECT_EQ(&first, &unknown);
    EXPECT_EQ(&unknown, &CQmUnifiedCollector::GetString(nullptr));

    // Clear leaves the strings for the rest of the program.
    CQmUnifiedCollector::Clear();
    EXPECT_EQ(u"Hello", Wide(CQmUnifiedCollector::GetString("greeting")));
}

TEST_F(QmUnifiedCollectorTest, ItemFileGivesDescriptionsWithTheirDefaults)
{
    Write("inv/texts.xml", "<t><string id=\"s_key\" str=\"A key\"/><string id=\"s_rope\" str=\"A rope\"/></t>");
    Write("inv/items.xml", std::string("<items_list stringlist=\"inv/texts.xml\">"
                                       "<inv_item name=\"key\" string_id=\"s_key\" cursor_type=\"3\" init_value=\"7\">"
                                       "<managed_by_script/><sprite2d ") +
                               kRed +
                               "/></inv_item>"
                               "<inv_item name=\"rope\" string_id=\"s_rope\"/>"
                               "<inv_item name=\"lamp\" string_id=\"s_missing\" init_value=\"0\"/>"
                               "<inv_item string_id=\"s_key\"/>"
                               "<inv_item name=\"nostring\"/>"
                               "<inv_item name=\"dup\" string_id=\"s_key\"/>"
                               "<inv_item name=\"dup\" string_id=\"s_rope\" cursor_type=\"2\"/>"
                               "</items_list>");
    CQmUnifiedCollector::LoadInventoryItems((g_dataRoot + "inv/items.xml").c_str());

    struct Case {
        const char* name;
        std::u16string text;
        int32_t cursorType;
        bool hasInitValue;
        int32_t initValue;
        bool managed;
        bool sprite;
    } cases[] = {
        {"key", u"A key", 3, true, 7, true, true},
        {"rope", u"A rope", 1, false, 0, false, false},
        {"lamp", u"Unknown description", 1, true, 0, false, false},
        {"dup", u"A rope", 2, false, 0, false, false},
    };
    for (const Case& c : cases) {
        const CQmInvItemDesc* item = CQmUnifiedCollector::FindItem(c.name);
        ASSERT_NE(nullptr, item) << c.name;
        EXPECT_EQ(std::string(c.name), item->name.c_str());
        EXPECT_EQ(c.text, Wide(item->text)) << c.name;
        EXPECT_EQ(c.cursorType, item->cursorType) << c.name;
        EXPECT_EQ(c.hasInitValue, item->hasInitValue) << c.name;
        EXPECT_EQ(c.initValue, item->initValue) << c.name;
        EXPECT_EQ(c.managed, item->managedByScript) << c.name;
        EXPECT_EQ(c.sprite, item->sprite != nullptr) << c.name;
    }
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindItem("nostring"));
    EXPECT_EQ(4u, CQmUnifiedCollector::ItemCount());

    // Clear deletes the descriptions with their sprites; tracks and strings stay.
    CQmUnifiedCollector::Clear();
    EXPECT_EQ(0u, CQmUnifiedCollector::ItemCount());
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindItem("key"));
}

TEST_F(QmUnifiedCollectorTest, BrokenItemFilesLoadNoItems)
{
    Write("texts.xml", "<t><string id=\"s\" str=\"x\"/></t>");
    struct Case {
        const char* file;
        const char* text; // null: no file at all
        int level;        // of the last log line; 0 for none
    } cases[] = {
        {"missing.xml", nullptr, 2},
        {"wrong_root.xml", "<items stringlist=\"texts.xml\"><inv_item name=\"a\" string_id=\"s\"/></items>", 2},
        {"no_root.xml", "", 2},
        {"garbage.xml", "\x01\x02 not xml at all <<<", 2},
        {"no_stringlist.xml", "<items_list><inv_item name=\"a\" string_id=\"s\"/></items_list>", 0},
    };
    for (const Case& c : cases) {
        if (c.text)
            Write(c.file, c.text);
        GeLogClearLast();
        CQmUnifiedCollector::LoadInventoryItems((g_dataRoot + c.file).c_str());
        EXPECT_EQ(0u, CQmUnifiedCollector::ItemCount()) << c.file;
        EXPECT_EQ(c.level, GeLogLastLevel()) << c.file;
    }
    CQmUnifiedCollector::LoadInventoryItems(nullptr);
    EXPECT_EQ(0u, CQmUnifiedCollector::ItemCount());

    // A strings file that cannot be read gives every item the fallback text.
    Write("bad_texts.xml", "<items_list stringlist=\"none.xml\"><inv_item name=\"a\" string_id=\"s\"/></items_list>");
    CQmUnifiedCollector::LoadInventoryItems((g_dataRoot + "bad_texts.xml").c_str());
    ASSERT_NE(nullptr, CQmUnifiedCollector::FindItem("a"));
    EXPECT_EQ(u"Unknown description", Wide(CQmUnifiedCollector::FindItem("a")->text));
}

TEST_F(QmUnifiedCollectorTest, GlobalActorIsHiddenAndGetsAnActorProperty)
{
    Write("Actors/guard.xml", Entity("name=\"ignored\"", {MeshTag(kOneRangeMesh, kBlendMaterial)}));
    CQmEntity* guard = CQmUnifiedCollector::LoadActor("Actors/guard.xml", "", true);
    ASSERT_NE(nullptr, guard);
    EXPECT_EQ(std::string("guard"), guard->name.c_str());
    EXPECT_EQ(guard, CQmUnifiedCollector::FindActor("guard"));
    auto* visual = guard->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    ASSERT_NE(nullptr, visual);
    EXPECT_EQ(0, visual->enabled);
    ASSERT_EQ(1u, visual->visuals.Count());
    EXPECT_EQ(0, visual->visuals[0]->visible);
    auto* actor = guard->Prop<CQmPropActor>(QM_PROP_ACTOR);
    ASSERT_NE(nullptr, actor);
    EXPECT_EQ(1, actor->enabled);
    EXPECT_TRUE(actor->displayName.IsEmpty());

    // An actor file with its own actor tag keeps that property; a given name wins.
    Write("Actors/smith.xml", "<entities>" + Entity("name=\"x\"", {"<actor/>"}) + "</entities>");
    CQmEntity* smith = CQmUnifiedCollector::LoadActor("Actors/smith.xml", "blacksmith", true);
    ASSERT_NE(nullptr, smith);
    EXPECT_EQ(std::string("blacksmith"), smith->name.c_str());
    EXPECT_NE(nullptr, smith->Prop<CQmPropActor>(QM_PROP_ACTOR));

    // A name already taken in the catalogue or in the current location loads nothing.
    EXPECT_EQ(nullptr, CQmUnifiedCollector::LoadActor("Actors/smith.xml", "guard", true));
    EXPECT_EQ(guard, CQmUnifiedCollector::FindActor("guard"));
    CQmLocation* here = Current("here");
    ASSERT_NE(nullptr, here);
    here->AddNamedObject(CGeString("local"), ProbeEntity("local", {0}), false);
    EXPECT_EQ(nullptr, CQmUnifiedCollector::LoadActor("Actors/smith.xml", "local", true));
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("local"));
}

TEST_F(QmUnifiedCollectorTest, ActorFilesWithoutEntityAndLocalActorsWithoutLocationAreRefused)
{
    Write("Actors/empty.xml", "<actor_file><nothing/></actor_file>");
    Write("Actors/ok.xml", Entity("name=\"ok\""));
    struct Case {
        const char* file;
        bool global;
        std::string message;
    } cases[] = {
        {"Actors/empty.xml", true, "No 'entity' tag found in actor file 'Actors/empty.xml'! Actor is not loaded!\n"},
        {"Actors/none.xml", true, "No 'entity' tag found in actor file 'Actors/none.xml'! Actor is not loaded!\n"},
        {"Actors/ok.xml", false,
         "CQmUnifiedCollector::LoadActor: no current location for actor ok! Actor is not loaded!\n"},
    };
    for (const Case& c : cases) {
        GeLogClearLast();
        EXPECT_EQ(nullptr, CQmUnifiedCollector::LoadActor(c.file, "", c.global)) << c.file;
        EXPECT_EQ(2, GeLogLastLevel()) << c.file;
        EXPECT_EQ(c.message, GeLogLastMessage().c_str()) << c.file;
    }
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("ok"));

    // With a current location the local actor joins it, owned by it.
    CQmLocation* here = Current("here");
    CQmEntity* ok = CQmUnifiedCollector::LoadActor("Actors/ok.xml", "", false);
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(ok, here->FindEntity("ok"));
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("ok"));
    EXPECT_FALSE(here->IsShared(ok));
}

TEST_F(QmUnifiedCollectorTest, RemoveActorKeepsTheMainHeroAndTakesOthersOutOfLocations)
{
    Write("Actors/hero.xml", Entity("name=\"hero\""));
    Write("Actors/cat.xml", Entity("name=\"cat\""));
    CQmEntity* hero = CQmUnifiedCollector::LoadActor("Actors/hero.xml", "", true);
    CQmEntity* cat = CQmUnifiedCollector::LoadActor("Actors/cat.xml", "", true);
    ASSERT_NE(nullptr, hero);
    ASSERT_NE(nullptr, cat);
    CQmLocation* here = Current("here");
    ASSERT_TRUE(here->AddNamedObject(CGeString("cat"), cat, true));
    m_processor.heroName = "hero";

    GeLogClearLast();
    CQmUnifiedCollector::RemoveActor("nobody");
    EXPECT_EQ(std::string("CQmunifiedCollector::RemoveActor - no actor with name nobody found\n"),
              GeLogLastMessage().c_str());

    CQmUnifiedCollector::RemoveActor("hero");
    EXPECT_EQ(2, GeLogLastLevel());
    // Windows-1251 bytes of the Russian report.
    EXPECT_EQ(
        std::string("CQmunifiedCollector::RemoveActor - \xef\xee\xef\xfb\xf2\xea\xe0 \xf3\xe4\xe0\xeb\xe5\xed\xe8\xff "
                    "MainHero \xf1 \xe8\xec\xe5\xed\xe5\xec hero.\xcf\xf0\xe5\xf0\xe2\xe0\xed\xee. \n"),
        GeLogLastMessage().c_str());
    EXPECT_EQ(hero, CQmUnifiedCollector::FindActor("hero"));

    CQmUnifiedCollector::RemoveActor("cat");
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("cat"));
    EXPECT_EQ(nullptr, here->FindEntity("cat"));
    EXPECT_FALSE(here->IsShared(cat));
}

TEST_F(QmUnifiedCollectorTest, ClearTakesActorsOutOfLocationsAndDeletesReplacedDocuments)
{
    Write("Actors/cat.xml", Entity("name=\"cat\""));
    CQmEntity* cat = CQmUnifiedCollector::LoadActor("Actors/cat.xml", "", true);
    ASSERT_NE(nullptr, cat);
    CQmLocation* here = Current("here");
    ASSERT_TRUE(here->AddNamedObject(CGeString("cat"), cat, true));
    // A location entity of an actor's name is not the actor: Clear leaves it.
    CQmLocation* other = new CQmLocation("other");
    manager.cacheLimit = 2;
    manager.Adopt(other);
    other->AddNamedObject(CGeString("cat"), ProbeEntity("cat", {0}), false);

    auto* first = new CountedDocument;
    auto* second = new CountedDocument;
    CQmUnifiedCollector::StoreDocument(CGeString("map"), first);
    CQmUnifiedCollector::StoreDocument(CGeString("map"), second);
    // The replaced document may still be on screen: it lives until Clear.
    EXPECT_EQ(0, g_documentsDeleted);
    EXPECT_EQ(second, CQmUnifiedCollector::FindDocument("map"));

    CQmUnifiedCollector::Clear();
    EXPECT_EQ(2, g_documentsDeleted);
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindDocument("map"));
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("cat"));
    EXPECT_EQ(nullptr, here->FindEntity("cat"));
    EXPECT_FALSE(here->IsShared(cat));
    EXPECT_NE(nullptr, other->FindEntity("cat"));
    // The locations go after the catalogues, as at shutdown.
    manager.Clear();
}

TEST_F(QmUnifiedCollectorTest, GameStartFillsStringsAndItems)
{
    Write("strings/game_strings.xml", "<s><string id=\"title\" str=\"Copper Kettle\"/></s>");
    Write("strings/items.xml", "<s><string id=\"s_kettle\" str=\"A kettle\"/></s>");
    Write("Inventory/inventoryItems.xml",
          "<items_list stringlist=\"strings/items.xml\"><inv_item name=\"kettle\" string_id=\"s_kettle\"/>"
          "</items_list>");
    Write("Scripts/global.lua", "function global_init() seen = 1 end");
    m_processor.Init();
    EXPECT_EQ(u"Copper Kettle", Wide(CQmUnifiedCollector::GetString("title")));
    ASSERT_NE(nullptr, CQmUnifiedCollector::FindItem("kettle"));
    EXPECT_EQ(u"A kettle", Wide(CQmUnifiedCollector::FindItem("kettle")->text));
}

} // namespace
