// Replays the walk grid's committed fuzz corpus in every build. The writer's
// seeds say in their names what they must give: "ok_" files are taken,
// "bad_" files refused; every file, seed or found, must break no rule.
#include "tests/fuzz/WalkGridFuzz.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

TEST(QmAiMapCorpus, WalkGridGivesConsistentGrids)
{
    size_t replayed = 0, taken = 0, refused = 0;
    for (const auto& file : std::filesystem::directory_iterator(QM_FUZZ_CORPUS "/walk_grid")) {
        std::ifstream in(file.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string name = file.path().filename().string();
        SCOPED_TRACE(name);
        const WalkGridFuzzOutcome outcome = RunWalkGridFuzz(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(outcome.faults, 0) << "first broken rule at WalkGridFuzz.cpp:" << outcome.firstFaultLine;
        if (name.rfind("ok_", 0) == 0) {
            EXPECT_TRUE(outcome.loaded);
        } else if (name.rfind("bad_", 0) == 0) {
            EXPECT_FALSE(outcome.loaded);
        }
        ++replayed;
        (outcome.loaded ? taken : refused)++;
    }
    EXPECT_GE(replayed, 13u);
    EXPECT_GE(taken, 6u);
    EXPECT_GE(refused, 7u);
}
