// The console reporter of every benchmark here: prints the usual table and keeps
// each run's time per iteration, so that main can print ratios against a
// reference measured in the same run once all benchmarks are done. Every
// benchmark prints its results through PrintRatios/PrintRatio, so that every
// ratio reads the same way round: our time over the reference's.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class CBenchRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            // Failed runs and the aggregates of repeated runs give no time to compare.
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double toSeconds = 1.0 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            // With --benchmark_repetitions the fastest repetition counts: it is
            // the one least disturbed by the rest of the machine.
            Times& times = m_times[RunName(run)];
            times.real = Fastest(times.real, run.GetAdjustedRealTime() * toSeconds);
            times.cpu = Fastest(times.cpu, run.GetAdjustedCPUTime() * toSeconds);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Wall-clock and CPU time of run over that of reference: below 1, run is the
    // faster. 0 when either did not run or a time is 0.
    double RealRatio(const std::string& run, const std::string& reference) const
    {
        return Ratio(run, reference, &Times::real);
    }
    double CpuRatio(const std::string& run, const std::string& reference) const
    {
        return Ratio(run, reference, &Times::cpu);
    }

    // The heading of the results: what was measured, and how the ratios read.
    static void PrintRatios(const char* what)
    {
        std::printf("\n%s\nTime ratios, ours over the reference's (below 1: ours is faster):\n", what);
    }

    // One result line: "what  wall-clock ratio, CPU ratio  (ours / reference)";
    // nothing when either side did not run. The CPU ratio is the steadier one
    // on a busy machine.
    void PrintRatio(const std::string& what, const std::string& ours, const std::string& reference) const
    {
        const double real = RealRatio(ours, reference);
        const double cpu = CpuRatio(ours, reference);
        if (real > 0 && cpu > 0)
            std::printf("  %-40s %6.2fx wall clock, %6.2fx CPU  (%s / %s)\n", what.c_str(), real, cpu, ours.c_str(),
                        reference.c_str());
    }

private:
    static double Fastest(double kept, double now) { return kept > 0 && kept < now ? kept : now; }

    struct Times {
        double real = 0;  // seconds per iteration
        double cpu = 0;
    };

    // The name a benchmark was registered under, with its arguments ("Memcpy/chosen/65536")
    // but without run settings such as a minimum time.
    static std::string RunName(const Run& run)
    {
        const std::string& args = run.run_name.args;
        return run.run_name.function_name + (args.empty() ? "" : "/" + args);
    }

    double Ratio(const std::string& run, const std::string& reference, double Times::*time) const
    {
        auto a = m_times.find(run);
        auto b = m_times.find(reference);
        if (a == m_times.end() || b == m_times.end() || a->second.*time <= 0 || b->second.*time <= 0)
            return 0;
        return a->second.*time / b->second.*time;
    }

    std::map<std::string, Times> m_times;
};
