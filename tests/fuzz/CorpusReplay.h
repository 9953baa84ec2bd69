// Runs every file of one committed fuzz corpus through a fuzz entry, so that
// every build checks the inputs the fuzzer found interesting, without clang.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

struct CorpusTally {
    size_t replayed = 0;
    size_t taken = 0;
    size_t refused = 0;
};

// What a corpus file must give, from its name: the reader takes it, refuses
// it, or either (the inputs the fuzzer found, which only must break no rule).
enum class CorpusExpect { kTaken, kRefused, kEither };

// Replays the corpus through run: every input must break none of the entry's
// rules (source names the entry's file for the message), and give what
// expect says for its name.
inline CorpusTally ReplayCorpus(const char* corpus, FuzzOutcome (*run)(const uint8_t*, size_t), const char* source,
                                const std::function<CorpusExpect(const std::string&)>& expect = {})
{
    CorpusTally tally;
    for (const auto& file : std::filesystem::directory_iterator(std::string(QM_FUZZ_CORPUS "/") + corpus)) {
        std::ifstream in(file.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string name = file.path().filename().string();
        SCOPED_TRACE(name);
        const FuzzOutcome outcome = run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(outcome.faults, 0) << "first broken rule at " << source << ":" << outcome.firstFaultLine;
        const CorpusExpect expected = expect ? expect(name) : CorpusExpect::kEither;
        if (expected != CorpusExpect::kEither) {
            EXPECT_EQ(outcome.taken, expected == CorpusExpect::kTaken) << (outcome.taken ? "taken" : "refused");
        }
        ++tally.replayed;
        ++(outcome.taken ? tally.taken : tally.refused);
    }
    return tally;
}

// The usual naming: "ok_" files are taken, "bad_" files refused, others either.
inline CorpusExpect ExpectByPrefix(const std::string& name)
{
    if (name.rfind("ok_", 0) == 0)
        return CorpusExpect::kTaken;
    if (name.rfind("bad_", 0) == 0)
        return CorpusExpect::kRefused;
    return CorpusExpect::kEither;
}
