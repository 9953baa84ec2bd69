// Replays the image loader's committed fuzz corpus in every build: the seeds
// are whole files of every kind the readers take, named after their kind.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/ImageLoaderFuzz.h"

TEST(GmImageCorpus, EveryInputGivesAWholeImageOrAReason)
{
    const CorpusTally tally = ReplayCorpus("image_loader", RunImageLoaderFuzz, "ImageLoaderFuzz.cpp");
    EXPECT_GE(tally.replayed, 10u);
    EXPECT_GE(tally.taken, 10u);
}
