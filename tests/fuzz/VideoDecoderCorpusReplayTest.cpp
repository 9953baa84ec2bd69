// Replays the video decoder's committed fuzz corpus in every build.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/VideoDecoderFuzz.h"

TEST(FuzzCorpus, VideoDecoderSurvivesEveryInput)
{
    EXPECT_GE(ReplayCorpus("video_decoder", FuzzVideoDecoder), 6u);
}
