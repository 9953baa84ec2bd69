// Replays the XML reader's committed fuzz corpus in every build.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/XmlReaderFuzz.h"

TEST(GeXmlCorpus, XmlReaderSurvivesEveryInput)
{
    EXPECT_GE(ReplayCorpus("xml_reader", FuzzXmlReader), 10u);
}
