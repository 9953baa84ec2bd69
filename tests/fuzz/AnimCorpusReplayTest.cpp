// Replays the animation readers' committed fuzz corpus in every build. The
// seeds (written by the animation fixture writers) say in their names what
// they must give: "ok_" files are taken, "bad_" files refused; every file
// must break no rule.
#include "tests/fuzz/AnimReadersFuzz.h"
#include "tests/fuzz/CorpusReplay.h"

TEST(CGeJointsKeySequenceCorpus, TracksAndSkeletonsAreUsableOrRefused)
{
    const CorpusTally tally = ReplayCorpus("anim_readers", RunAnimReadersFuzz, "AnimReadersFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 16u);
    EXPECT_GE(tally.taken, 8u);
    EXPECT_GE(tally.refused, 8u);
}
