// Replays the catalogues' committed fuzz corpus in every build: strings
// documents and item files, "ok_" ones taken, "bad_" ones refused, and every
// one, seed or found, breaking no rule.
#include "tests/fuzz/CatalogueFuzz.h"
#include "tests/fuzz/CorpusReplay.h"

TEST(QmUnifiedCollectorCorpus, StringsAndItemFilesGiveWhatTheirElementsSay)
{
    const CorpusTally tally = ReplayCorpus("catalogue", RunCatalogueFuzz, "CatalogueFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 10u);
    EXPECT_GE(tally.taken, 4u);
    EXPECT_GE(tally.refused, 5u);
}
