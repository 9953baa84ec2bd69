// What one fuzz input gave, for the fuzz entries that know what each input
// must give: either the reader took it and gave a complete result, or it
// refused it with an error; the rules of either case are checked and the
// broken ones counted. The corpus replay tests read the outcome; libFuzzer's
// entries abort on a broken rule.
#pragma once

#include <cstdio>
#include <cstdlib>

struct FuzzOutcome {
    bool taken = false;
    int faults = 0;
    int firstFaultLine = 0; // of the first broken rule, in the entry's source

    void Check(bool rule, int line)
    {
        if (!rule && faults++ == 0)
            firstFaultLine = line;
    }
};

// Counts a broken rule with its line.
#define FUZZ_EXPECT(outcome, rule) (outcome).Check((rule), __LINE__)

// For libFuzzer: 0, or an abort that names the first broken rule.
inline int FuzzVerdict(const FuzzOutcome& outcome, const char* source)
{
    if (outcome.faults == 0)
        return 0;
    std::fprintf(stderr, "%d broken rules, the first at %s:%d\n", outcome.faults, source, outcome.firstFaultLine);
    std::abort();
}
