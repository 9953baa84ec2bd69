// Replays the depth pictures' committed fuzz corpus in every build. The
// seeds say in their names what they must give: "ok_" files are taken,
// "bad_" files refused; every file, seed or found, must break no rule.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/DepthPictureFuzz.h"

TEST(CQmBackGroundCorpus, DepthPicturesGiveTilesDistancesAndPicks)
{
    const CorpusTally tally =
        ReplayCorpus("depth_picture", RunDepthPictureFuzz, "DepthPictureFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 6u);
    EXPECT_GE(tally.taken, 4u);
    EXPECT_GE(tally.refused, 2u);
}
