// Replays the XML reader's committed fuzz corpus in every build; the "seed_"
// files are whole documents that must be taken.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/XmlReaderFuzz.h"

TEST(GeXmlCorpus, EveryInputGivesTinyXmlsTreeOrNothing)
{
    const CorpusTally tally =
        ReplayCorpus("xml_reader", RunXmlReaderFuzz, "XmlReaderFuzz.cpp", [](const std::string& name) {
            return name.rfind("seed_", 0) == 0 ? CorpusExpect::kTaken : CorpusExpect::kEither;
        });
    EXPECT_GE(tally.replayed, 10u);
}
