// Replays the ".gemesh" reader's committed fuzz corpus in every build. The
// seeds say in their names what they must give: "ok_" files are taken,
// "bad_" files refused; every file must break no rule.
#include "tests/fuzz/CorpusReplay.h"
#include "tests/fuzz/MeshLoaderFuzz.h"

TEST(CGmMeshCorpus, GemeshGivesUsableMeshes)
{
    const CorpusTally tally = ReplayCorpus("mesh_loader", RunMeshLoaderFuzz, "MeshLoaderFuzz.cpp", ExpectByPrefix);
    EXPECT_GE(tally.replayed, 10u);
    EXPECT_GE(tally.taken, 5u);
    EXPECT_GE(tally.refused, 5u);
}
