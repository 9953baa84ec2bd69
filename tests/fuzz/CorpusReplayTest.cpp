// Replays the committed fuzz corpus through the fuzz entry, so that every
// build checks the inputs the fuzzer found interesting, without clang.
#include "tests/fuzz/PackReaderFuzz.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

TEST(FuzzCorpus, PackReaderSurvivesEveryInput)
{
    size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QM_FUZZ_CORPUS "/pack_reader")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(FuzzPackReader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
        ++replayed;
    }
    EXPECT_GE(replayed, 3u);
}
