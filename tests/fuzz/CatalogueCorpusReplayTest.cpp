// Replays the catalogues' committed fuzz corpus in every build: strings
// documents, item files, actor files and overlay documents, "ok_" ones taken, "bad_" ones refused, and every
// one, seed or found, breaking no rule.
#include "tests/fuzz/CatalogueFuzz.h"
#include "tests/fuzz/CorpusReplay.h"

TEST(QmUnifiedCollectorCorpus, StringsItemsActorsAndDocumentsGiveWhatTheirElementsSay)
{
    const CorpusTally tally = ReplayCorpus("catalogue", RunCatalogueFuzz, "CatalogueFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 17u);
    EXPECT_GE(tally.taken, 7u);
    EXPECT_GE(tally.refused, 8u);
}
