// Replays the video decoder's committed fuzz corpus in every build: clips
// written by the test tree's Theora writer, whole or damaged, named after
// what the decoder must do with them.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/VideoDecoderFuzz.h"

TEST(GmVideoDecoderCorpus, EveryInputOpensWholeOrIsRefusedWithAReason)
{
    const CorpusTally tally = ReplayCorpus("video_decoder", RunVideoDecoderFuzz, "VideoDecoderFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 8u);
    EXPECT_GE(tally.taken, 6u);
    EXPECT_GE(tally.refused, 1u);
}
