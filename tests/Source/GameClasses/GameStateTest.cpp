// Script variables and quest states: the stores, their save blocks byte for
// byte, and damaged blocks that must leave the stores as they were.
#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmQuests.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> TakeBlock(uint32_t (*save)(uint8_t**))
{
    uint8_t* data = nullptr;
    const uint32_t size = save(&data);
    std::vector<uint8_t> block(data, data + size);
    free(data);
    return block;
}

std::vector<uint8_t> SavedVars()
{
    return TakeBlock(CQmGameVars::Save);
}

std::vector<uint8_t> SavedQuests()
{
    return TakeBlock(CQmQuests::Save);
}

// Names of the saved records, in block order.
std::vector<std::string> RecordNames(const std::vector<uint8_t>& block)
{
    std::vector<std::string> names;
    for (size_t at = 16; at + 36 <= block.size(); at += 36)
        names.push_back(reinterpret_cast<const char*>(block.data() + at));
    return names;
}

// Two names of one bucket (the low byte of their CRC-32).
std::pair<std::string, std::string> SameBucketNames()
{
    std::string first = "v0";
    const uint32_t bucket = Crc32(2, first.c_str()) & 0xFF;
    for (int i = 1;; ++i) {
        std::string other = "v" + std::to_string(i);
        if ((Crc32((uint32_t)other.size(), other.c_str()) & 0xFF) == bucket)
            return {first, other};
    }
}

void PutWord(std::vector<uint8_t>& block, uint32_t value)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
    block.insert(block.end(), bytes, bytes + 4);
}

void PutName(std::vector<uint8_t>& block, const std::string& name)
{
    PutWord(block, (uint32_t)name.size());
    block.insert(block.end(), name.begin(), name.end());
    block.push_back(0);
}

class GameStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CQmGameVars::Clear();
        CQmQuests::Clear();
    }
    void TearDown() override
    {
        CQmGameVars::Clear();
        CQmQuests::Clear();
    }
};

} // namespace

TEST_F(GameStateTest, VariablesKeepNamesAsBytes)
{
    CQmGameVars::Set("Key", 1);
    CQmGameVars::Set("key", 2);
    CQmGameVars::Set("", 3); // the empty name is a variable of bucket 0
    CQmGameVars::Set("key", 4);
    EXPECT_EQ(1, CQmGameVars::GetValue("Key"));
    EXPECT_EQ(4, CQmGameVars::GetValue("key"));
    EXPECT_EQ(3, CQmGameVars::GetValue(""));
    EXPECT_EQ(nullptr, CQmGameVars::Get("KEY"));
    EXPECT_EQ(3u, CQmGameVars::Count());
}

TEST_F(GameStateTest, VariableBlockLayoutAndOrder)
{
    CQmGameVars::Set("a", 1);
    CQmGameVars::Set("b", -2);
    CQmGameVars::Set("c", 3);
    CQmGameVars::Set("zero", 0);
    std::vector<uint8_t> block = SavedVars();
    ASSERT_EQ(124u, block.size()); // three non-zero variables
    EXPECT_EQ(0, memcmp(block.data(), "vars\1\0\0\0\3\0\0\0\0\0\0\0", 16));

    // A zero variable stays in the store but not in the save; loading the
    // save gives it back as unknown (0).
    ASSERT_TRUE(CQmGameVars::Load(block.data(), (uint32_t)block.size()));
    EXPECT_EQ(nullptr, CQmGameVars::Get("zero"));
    EXPECT_EQ(-2, CQmGameVars::GetValue("b"));

    // Same bucket: newest first in the save, and reversed after a reload.
    CQmGameVars::Clear();
    const auto names = SameBucketNames();
    CQmGameVars::Set(names.first.c_str(), 1);
    CQmGameVars::Set(names.second.c_str(), 2);
    block = SavedVars();
    EXPECT_EQ((std::vector<std::string>{names.second, names.first}), RecordNames(block));
    ASSERT_TRUE(CQmGameVars::Load(block.data(), (uint32_t)block.size()));
    EXPECT_EQ((std::vector<std::string>{names.first, names.second}), RecordNames(SavedVars()));
}

TEST_F(GameStateTest, LongVariableNamesStayOutOfSaves)
{
    const std::string fits(31, 'f');
    const std::string tooLong(32, 'x');
    CQmGameVars::Set(fits.c_str(), 5);
    CQmGameVars::Set(tooLong.c_str(), 6);
    GeLogClearLast();
    const std::vector<uint8_t> block = SavedVars();
    EXPECT_EQ(16u + 36u, block.size());
    EXPECT_EQ(1, GeLogLastLevel());
    EXPECT_EQ((std::vector<std::string>{fits}), RecordNames(block));
    EXPECT_EQ(6, CQmGameVars::GetValue(tooLong.c_str())); // still in the store
}

TEST_F(GameStateTest, DamagedVariableBlocksChangeNothing)
{
    CQmGameVars::Set("kept", 9);
    CQmGameVars::Set("x", 1);
    const std::vector<uint8_t> good = SavedVars();
    std::vector<uint8_t> wrongTag = good;
    wrongTag[0] = 'V';
    std::vector<uint8_t> wrongVersion = good;
    wrongVersion[4] = 2;
    std::vector<uint8_t> countTooBig = good;
    countTooBig[8] = 3;
    std::vector<uint8_t> hugeCount = good;
    hugeCount[11] = 0xFF;
    const std::vector<std::vector<uint8_t>> cases = {
        wrongTag, wrongVersion, countTooBig, hugeCount,
        std::vector<uint8_t>(good.begin(), good.end() - 1), std::vector<uint8_t>(good.begin(), good.begin() + 15), {}};
    CQmGameVars::Set("live", 7);
    for (const auto& block : cases) {
        EXPECT_FALSE(CQmGameVars::CheckBlock(block.data(), (uint32_t)block.size()));
        EXPECT_FALSE(CQmGameVars::Load(block.data(), (uint32_t)block.size()));
        EXPECT_EQ(7, CQmGameVars::GetValue("live"));
    }
    // A name field filled to its end reads as the cut name, never beyond.
    std::vector<uint8_t> unterminated = good;
    memset(unterminated.data() + 16, 'n', 32);
    ASSERT_TRUE(CQmGameVars::Load(unterminated.data(), (uint32_t)unterminated.size()));
    EXPECT_NE(nullptr, CQmGameVars::Get(std::string(32, 'n').c_str()));
}

TEST_F(GameStateTest, QuestsPassFailAndGroups)
{
    CQmQuests::Pass("door", "", 1);
    CQmQuests::Pass("door", "tower", 2);
    CQmQuests::Pass("door", "", 5); // a second pass keeps one entry
    CQmQuests::Pass("", "", 1);     // ignored
    EXPECT_TRUE(CQmQuests::GetValue("door", ""));
    EXPECT_EQ(5, *CQmQuests::Find("door", ""));
    EXPECT_EQ(2, *CQmQuests::Find("door", "tower"));
    EXPECT_FALSE(CQmQuests::GetValue("door", "cellar"));
    EXPECT_EQ(1u, CQmQuests::s_ungrouped.Count());

    CQmQuests::Fail("door", "tower");
    CQmQuests::Fail("absent", "nowhere");
    EXPECT_FALSE(CQmQuests::GetValue("door", "tower"));
    EXPECT_EQ(1u, CQmQuests::s_groups.Count()); // the group stays, empty
}

TEST_F(GameStateTest, QuestBlockLayout)
{
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}), SavedQuests());

    CQmQuests::Pass("b", "", 2);
    CQmQuests::Pass("a", "", 1);
    CQmQuests::Pass("q", "g", 3);
    CQmQuests::Pass("gone", "empty", 1);
    CQmQuests::Fail("gone", "empty");
    std::vector<uint8_t> expected;
    PutWord(expected, 0x7FFFFFFF);
    PutWord(expected, 2);
    PutName(expected, "a");
    PutWord(expected, 1);
    PutName(expected, "b");
    PutWord(expected, 2);
    PutWord(expected, 2);
    PutName(expected, "empty");
    PutWord(expected, 0);
    PutName(expected, "g");
    PutWord(expected, 1);
    PutName(expected, "q");
    PutWord(expected, 3);
    const std::vector<uint8_t> block = SavedQuests();
    EXPECT_EQ(expected, block);

    // After loading, the group without entries is gone.
    ASSERT_TRUE(CQmQuests::Load(block.data(), (uint32_t)block.size()));
    EXPECT_EQ(1u, CQmQuests::s_groups.Count());
    EXPECT_EQ(3, *CQmQuests::Find("q", "g"));
}

TEST_F(GameStateTest, OldQuestLayoutReadsAsValueZero)
{
    std::vector<uint8_t> block;
    PutWord(block, 1);
    PutName(block, "old");
    PutWord(block, 1);
    PutName(block, "grp");
    PutWord(block, 1);
    PutName(block, "inner");
    ASSERT_TRUE(CQmQuests::Load(block.data(), (uint32_t)block.size()));
    EXPECT_EQ(0, *CQmQuests::Find("old", ""));
    EXPECT_EQ(0, *CQmQuests::Find("inner", "grp"));
}

TEST_F(GameStateTest, DamagedQuestBlocksChangeNothing)
{
    CQmQuests::Pass("a", "", 1);
    CQmQuests::Pass("q", "g", 3);
    const std::vector<uint8_t> good = SavedQuests();
    std::vector<uint8_t> hugeLength = good;
    hugeLength[8] = 0xFF; // the first name's length
    hugeLength[11] = 0xFF;
    std::vector<uint8_t> lengthPastEnd = good;
    lengthPastEnd[8] = 200;
    std::vector<uint8_t> tooManyGroups = good;
    tooManyGroups[18] = 9; // the group count
    CQmQuests::Pass("live", "", 4);
    for (uint32_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_FALSE(CQmQuests::Load(good.data(), cut)) << cut;
        EXPECT_TRUE(CQmQuests::GetValue("live", ""));
    }
    for (const auto& block : {hugeLength, lengthPastEnd, tooManyGroups}) {
        EXPECT_FALSE(CQmQuests::Load(block.data(), (uint32_t)block.size()));
        EXPECT_TRUE(CQmQuests::GetValue("live", ""));
    }
}
