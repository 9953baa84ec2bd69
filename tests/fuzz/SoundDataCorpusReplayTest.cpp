// Replays the sound data sources' committed fuzz corpus in every build: WAV
// files and Ogg Vorbis clips written by the test tree's writers, whole or
// damaged, named after what the sources must do with them.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/SoundDataFuzz.h"

TEST(SmSoundDataCorpus, EveryInputLoadsWholeOrIsRefusedWithAReason)
{
    const CorpusTally tally = ReplayCorpus("sound_data", RunSoundDataFuzz, "SoundDataFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 8u);
    EXPECT_GE(tally.taken, 4u);
    EXPECT_GE(tally.refused, 3u);
}
