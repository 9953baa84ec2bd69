// Replays the pack reader's committed fuzz corpus in every build; the three
// seeds are whole packs, FATs and streams that must be taken.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/PackReaderFuzz.h"

TEST(HarvesterCorpus, EveryInputGivesWholeFilesOrNothing)
{
    const CorpusTally tally =
        ReplayCorpus("pack_reader", RunPackReaderFuzz, "PackReaderFuzz.cpp", [](const std::string& name) {
            const bool seed = name == "whole_pack" || name == "fat_two_entries" || name == "lzo_text_stream";
            return seed ? CorpusExpect::kTaken : CorpusExpect::kEither;
        });
    EXPECT_GE(tally.replayed, 3u);
    EXPECT_GE(tally.taken, 3u);
    EXPECT_GE(tally.refused, 1u);
}
