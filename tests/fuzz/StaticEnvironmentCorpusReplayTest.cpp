// Replays the static-environment loader's committed fuzz corpus in every build
// and checks how many geoms each input gives; the writer's seeds run too.
#include "tests/Engine/Physics/StaticEnvironmentWriter.h"
#include "tests/fuzz/StaticEnvironmentFuzz.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <string>

namespace {

int LoadText(const std::string& bytes)
{
    return FuzzStaticEnvironment(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

TEST(GeStaticEnvironmentCorpus, StaticEnvironmentSeedsGiveTheirGeoms)
{
    for (const StaticEnvironmentSeed& seed : StaticEnvironmentSeeds()) {
        SCOPED_TRACE(seed.name);
        EXPECT_EQ(LoadText(seed.text), int(seed.geoms));
    }
}

TEST(GeStaticEnvironmentCorpus, StaticEnvironmentCorpusGivesTheKnownGeoms)
{
    // Every committed input with the geoms it gives; an input the fuzzer adds
    // is entered here with its count.
    std::map<std::string, int> expected = {
        // TinyXML keeps the elements it finished before the cut.
        {"truncated", 3},
        // An infinite radius or position and a denormal radius are still
        // positive; only the size that rounds to 0 is refused.
        {"extreme_values", 5},
        // Not XML at all.
        {"binary_junk", 0},
    };
    for (const StaticEnvironmentSeed& seed : StaticEnvironmentSeeds())
        expected[seed.name] = int(seed.geoms);

    size_t replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(QM_FUZZ_CORPUS "/static_environment")) {
        const std::string name = file.path().filename().string();
        SCOPED_TRACE(name);
        std::ifstream in(file.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto known = expected.find(name);
        ASSERT_NE(known, expected.end()) << "enter this input's geom count in the table";
        EXPECT_EQ(LoadText(bytes), known->second);
        ++replayed;
    }
    EXPECT_EQ(replayed, expected.size());
}
