// Replays the image loader's committed fuzz corpus in every build.
#include "tests/fuzz/ImageLoaderFuzz.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

TEST(GmImageCorpus, ImageLoaderSurvivesEveryInput)
{
    size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QM_FUZZ_CORPUS "/image_loader")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(FuzzImageLoader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
        ++replayed;
    }
    EXPECT_GE(replayed, 10u);
}
