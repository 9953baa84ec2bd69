// Replays the location loader's committed fuzz corpus in every build. The
// seeds say in their names what they must give: "ok_" files are taken,
// "bad_" files refused; every file, seed or found, must break no rule.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/LocationFileFuzz.h"

TEST(LocationFileCorpus, LocationFilesKeepTheLoadersRules)
{
    const CorpusTally tally =
        ReplayCorpus("location_file", RunLocationFileFuzz, "LocationFileFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 5u);
    EXPECT_GE(tally.taken, 3u);
    EXPECT_GE(tally.refused, 2u);
}
