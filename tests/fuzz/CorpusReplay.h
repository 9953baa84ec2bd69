// Runs every file of one committed fuzz corpus through a fuzz entry, so that
// every build checks the inputs the fuzzer found interesting, without clang.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

// Returns how many files were replayed; each must give 0.
inline size_t ReplayCorpus(const char* corpus, int (*entry)(const uint8_t*, size_t))
{
    size_t replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(std::string(QM_FUZZ_CORPUS "/") + corpus)) {
        std::ifstream in(file.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(file.path().filename().string());
        EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
        ++replayed;
    }
    return replayed;
}
