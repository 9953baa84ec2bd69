// Replays the walk grid's committed fuzz corpus in every build. The writer's
// seeds say in their names what they must give: "ok_" files are taken,
// "bad_" files refused; every file, seed or found, must break no rule.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/WalkGridFuzz.h"

TEST(QmAiMapCorpus, WalkGridGivesConsistentGrids)
{
    const CorpusTally tally = ReplayCorpus("walk_grid", RunWalkGridFuzz, "WalkGridFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 13u);
    EXPECT_GE(tally.taken, 6u);
    EXPECT_GE(tally.refused, 7u);
}
