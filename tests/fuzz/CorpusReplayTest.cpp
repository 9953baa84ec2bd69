// Replays the pack reader's committed fuzz corpus in every build.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/PackReaderFuzz.h"

TEST(HarvesterCorpus, PackReaderSurvivesEveryInput)
{
    EXPECT_GE(ReplayCorpus("pack_reader", FuzzPackReader), 3u);
}
