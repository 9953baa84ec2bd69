// Save slots: a slot saved in a bare current location and read back, its
// header for the slot list, and damaged slots that leave the game untouched.
#include "Source/GameClasses/QmUserFolder.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"
#include "tests/Support/TestTempDir.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class SaveSlotTest : public GameProcessorTest {
protected:
    void SetUp() override
    {
        setenv("XDG_DATA_HOME", m_home.Path().c_str(), 1);
        GameProcessorTest::SetUp();
    }
    void TearDown() override
    {
        GameProcessorTest::TearDown();
        unsetenv("XDG_DATA_HOME");
    }

    std::string SlotPath(int slot) const { return m_home / ("qasimar/save/slot_" + std::to_string(slot) + ".s"); }
    std::string Slot(int slot) const { return CTestTempDir::Read(SlotPath(slot)); }

    // A game state that a load must not touch.
    void RunningGame()
    {
        CQmGameVars::Clear();
        CQmQuests::Clear();
        CQmDelayedCalls::Clear();
        CQmGameVars::Set("running", 1);
        CQmDelayedCalls::Add("pending", 5.0f, 0, nullptr);
    }

    void ExpectUntouched(const std::string& what)
    {
        EXPECT_EQ(1, CQmGameVars::GetValue("running")) << what;
        EXPECT_EQ(1u, CQmDelayedCalls::s_count) << what;
        EXPECT_EQ("none", m_inventory.loaded) << what;
        EXPECT_FALSE(Journal("event location_load harbour")) << what;
    }

    CTestTempDir m_home;
};

uint32_t Word(const std::string& bytes, size_t at)
{
    uint32_t value;
    memcpy(&value, bytes.data() + at, 4);
    return value;
}

void SetWord(std::string& bytes, size_t at, uint32_t value)
{
    memcpy(&bytes[at], &value, 4);
}

} // namespace

TEST_F(SaveSlotTest, SaveAndLoadRestoresQuestsAndVariables)
{
    // Without a current location nothing is saved.
    m_processor->SaveGame(1);
    EXPECT_FALSE(std::filesystem::exists(SlotPath(1)));

    EnterLocation("harbour");
    CQmGameVars::Set("gold", 12);
    CQmQuests::Pass("door", "tower", 2);
    m_processor->SaveGame(3);
    const std::string file = Slot(3);
    ASSERT_GE(file.size(), 200u);
    EXPECT_EQ(0, memcmp(file.data(), "SAVE\3\0\0\0harbour\0", 16));
    EXPECT_EQ(std::string(64, '\0'), file.substr(72, 64)); // no mini-game
    EXPECT_EQ(0u, Word(file, 196));                          // no mini-game block
    EXPECT_EQ(3u, Word(file, 184));                          // the inventory's block
    const uint32_t questSize = Word(file, 188);
    EXPECT_EQ(0x7FFFFFFFu, Word(file, 200));                 // the quest block at 200
    EXPECT_EQ("inv", file.substr(200 + questSize, 3));
    EXPECT_EQ(200u + questSize + 3 + Word(file, 192), file.size());
    EXPECT_FALSE(std::filesystem::exists(SlotPath(3) + ".tmp"));

    // The header for the slot list.
    QmSaveHeader header;
    m_processor->GetSavedData(header, 3);
    EXPECT_STREQ("harbour", header.location);
    EXPECT_GE(header.date[2], 2024u);
    EXPECT_GE(header.date[6], 1u);

    // Loading restores the stored state and asks for the stored location,
    // whose change then fails: no location of that name can be loaded here.
    CQmGameVars::Clear();
    CQmQuests::Clear();
    CQmGameVars::Set("other", 1);
    m_locations.Clear();
    GeLogClearLast();
    m_processor->LoadGame(3);
    EXPECT_EQ(12, CQmGameVars::GetValue("gold"));
    EXPECT_EQ(0, CQmGameVars::GetValue("other"));
    EXPECT_EQ(2, *CQmQuests::Find("door", "tower"));
    EXPECT_EQ("inv", m_inventory.loaded);
    EXPECT_TRUE(Journal("event location_load harbour"));
    EXPECT_STREQ("ChangeLocation: cannot load location harbour ! Ignored\n", GeLogLastMessage().c_str());
}

TEST_F(SaveSlotTest, NamesTooLongForTheirFieldAreRefused)
{
    EnterLocation(std::string(64, 'l').c_str());
    GeLogClearLast();
    m_processor->SaveGame(2);
    EXPECT_EQ(1, GeLogLastLevel());
    EXPECT_FALSE(std::filesystem::exists(SlotPath(2)));
    EnterLocation(std::string(63, 'l').c_str());
    m_processor->SaveGame(2);
    EXPECT_TRUE(std::filesystem::exists(SlotPath(2)));
}

TEST_F(SaveSlotTest, AFailedSaveKeepsTheOldSlotAndMakesNoPreview)
{
    EnterLocation("harbour");
    m_processor->SaveGame(4);
    const std::string old = Slot(4);
    std::filesystem::create_directories(SlotPath(4) + ".tmp"); // in the way
    CQmGameVars::Set("changed", 1);
    GeLogClearLast();
    m_processor->SaveGame(4);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(old, Slot(4));
    EXPECT_FALSE(std::filesystem::exists(SlotPath(4) + ".tga"));
}

TEST_F(SaveSlotTest, DamagedSlotsAreRefusedWithTheGameUntouched)
{
    EnterLocation("harbour");
    CQmGameVars::Set("gold", 12);
    CQmQuests::Pass("door", "", 1);
    m_processor->SaveGame(5);
    const std::string good = Slot(5);
    m_locations.Clear();

    std::string foreign = good;
    foreign[0] = 'X';
    std::string version2 = good;
    SetWord(version2, 4, 2);
    std::string pastEnd = good;
    SetWord(pastEnd, 192, Word(good, 192) + 1);
    std::string overflowing = good;
    SetWord(overflowing, 184, 0xFFFFFFF0u);
    std::string unterminated = good;
    memset(&unterminated[8], 'n', 64);
    std::string badQuests = good;
    SetWord(badQuests, 208, 0xFFFF); // the first quest name's length
    std::string badVars = good;
    badVars[200 + Word(good, 188) + 3] = 'V';

    const struct {
        const char* what;
        std::string bytes;
        int level;
    } cases[] = {
        {"empty", "", 2},
        {"199 bytes", good.substr(0, 199), 1},
        {"foreign signature", foreign, 1},
        {"version 2", version2, 1},
        {"sizes past the end", pastEnd, 1},
        {"cut inside a block", good.substr(0, good.size() - 1), 1},
        {"overflowing sizes", overflowing, 1},
        {"name without terminator", unterminated, 1},
        {"damaged quest block", badQuests, 1},
        {"damaged variable block", badVars, 1},
    };
    for (const auto& c : cases) {
        RunningGame();
        m_home.Write("qasimar/save/slot_6.s", c.bytes);
        GeLogClearLast();
        m_processor->LoadGame(6);
        EXPECT_EQ(c.level, GeLogLastLevel()) << c.what;
        ExpectUntouched(c.what);
    }
    RunningGame();
    m_processor->LoadGame(7); // missing
    EXPECT_STREQ(("CQmGameProcessor::LoadGame: unable to load game " + SlotPath(7) + "!\n").c_str(),
                 GeLogLastMessage().c_str());
    ExpectUntouched("missing");
}

TEST_F(SaveSlotTest, SlotListHeaders)
{
    QmSaveHeader header;
    memset(&header, 0xAB, sizeof(header));
    m_processor->GetSavedData(header, 8);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(0u, header.version);

    // A version-2 file: refused, zeroed, dated by the file.
    std::string old(200, '\0');
    memcpy(&old[0], "SAVE", 4);
    old[4] = 2;
    memcpy(&old[8], "harbour", 7);
    m_home.Write("qasimar/save/slot_8.s", old);
    memset(&header, 0xAB, sizeof(header));
    m_processor->GetSavedData(header, 8);
    EXPECT_STREQ(("CQmGameProcessor::GetSavedData: savegame '" + SlotPath(8) + "' is of unsuported version!\n").c_str(),
                 GeLogLastMessage().c_str());
    EXPECT_EQ(1, GeLogLastLevel());
    EXPECT_EQ(0, header.location[0]);
    EXPECT_GE(header.date[2], 2024u);
    EXPECT_EQ(0u, header.date[6]);

    m_home.Write("qasimar/save/slot_8.s", old.substr(0, 100));
    m_processor->GetSavedData(header, 8);
    EXPECT_EQ(1, GeLogLastLevel());
}

namespace {

// A game with a state block of its own.
class SavingArcade : public FakeArcade {
public:
    using FakeArcade::FakeArcade;
    uint32_t SaveState(uint8_t** out) override
    {
        *out = static_cast<uint8_t*>(malloc(5));
        memcpy(*out, "state", 5);
        return 5;
    }
    void LoadState(const uint8_t*, uint32_t) override { Note("arcade.load_state"); }
    void Finish() override
    {
        Note("arcade.finish");
        FakeArcade::Finish();
    }
};

} // namespace

TEST_F(SaveSlotTest, TheCurrentMiniGameIsSavedBeforeTheQuestsAndFinishedByALoad)
{
    EnterLocation("harbour");
    auto* arcade = new SavingArcade("arcade: dragging");
    m_processor->arcades[CGeString("arcade: dragging")] = arcade;
    m_processor->StartArcadeByName("arcade: dragging", nullptr);
    CQmQuests::Pass("door", "tower", 2);
    m_processor->SaveGame(4);
    const std::string file = Slot(4);
    ASSERT_GE(file.size(), 205u);
    EXPECT_EQ(std::string("arcade: dragging") + std::string(48, '\0'), file.substr(72, 64));
    EXPECT_EQ(5u, Word(file, 196));
    EXPECT_EQ("state", file.substr(200, 5));
    EXPECT_EQ(0x7FFFFFFFu, Word(file, 205)); // the quest block behind it
    EXPECT_EQ("inv", file.substr(205 + Word(file, 188), 3));

    // Loading finishes the game first, skips its block and starts no game.
    CQmQuests::Clear();
    g_journal.clear();
    m_processor->LoadGame(4);
    EXPECT_TRUE(Journal("arcade.finish"));
    EXPECT_EQ("arcade.finish", g_journal.front());
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(0, arcade->active);
    EXPECT_FALSE(Journal("arcade.load_state"));
    EXPECT_FALSE(Journal("arcade.start"));
    EXPECT_EQ(2, *CQmQuests::Find("door", "tower"));
    EXPECT_EQ("inv", m_inventory.loaded);
}
