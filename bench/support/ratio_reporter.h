#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace veltrane::bench {

// Prints the usual table, then each case's time over its floor's (case BM_X, floor BM_X_Floor, both
// from the same run, with the same arguments: BM_X/10 beside BM_X_Floor/10). With repetitions the
// median stands for a case; otherwise its single run does. Cases that report a "peak_bytes" counter
// are measured by it instead of their time: a table of their memory over the floor's. Cases run at
// scale 1 and 10 (BM_X/1, BM_X/10) get a last table, the exponent k of their growth, time(10) /
// time(1) = 10^k (or peak(10) / peak(1)), so 1 means linear.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    enum class Clock { Cpu, Real }; // Real for work that waits on a database or the disk

    explicit RatioReporter(Clock clock = Clock::Cpu)
        : m_clock(clock)
    {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = keyOf(run);
            const double time = m_clock == Clock::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            const auto peak = run.counters.find("peak_bytes");
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration)
                continue;
            (median ? m_medians : m_times)[name] = time;
            if (peak != run.counters.end())
                (median ? m_peakMedians : m_peaks)[name] = peak->second.value;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto &[name, time] : m_medians)
            m_times[name] = time;
        for (const auto &[name, peak] : m_peakMedians)
            m_peaks[name] = peak;
        std::printf("\n%-48s %12s\n", "case", m_clock == Clock::Cpu ? "CPU / floor" : "time / floor");
        for (const auto &[name, time] : m_times) {
            const auto floor = m_times.find(floorOf(name));
            if (floor == m_times.end() || floor->second <= 0 || m_peaks.count(name))
                continue;
            const double ratio = time / floor->second;
            std::printf("%-48s %12.2f\n", name.c_str(), ratio);
            if (ratio > m_worst)
                m_worst = ratio;
        }
        printPeaks();
        bool header = false;
        printGrowth(m_times, false, header);
        printGrowth(m_peaks, true, header);
    }

    // The largest ratio of a case to its floor in this run (0 when no pair ran).
    double worstRatio() const { return m_worst; }

private:
    // BM_X, or BM_X/10 for a case run with arguments.
    static std::string keyOf(const Run &run)
    {
        const std::string &args = run.run_name.args;
        return run.run_name.function_name + (args.empty() ? std::string() : "/" + args);
    }

    static std::string floorOf(const std::string &name)
    {
        const size_t slash = name.find('/');
        if (slash == std::string::npos)
            return name + "_Floor";
        return name.substr(0, slash) + "_Floor" + name.substr(slash);
    }

    void printPeaks() const
    {
        bool header = false;
        for (const auto &[name, peak] : m_peaks) {
            const auto floor = m_peaks.find(floorOf(name));
            if (floor == m_peaks.end() || floor->second <= 0)
                continue;
            if (!header)
                std::printf("\n%-48s %12s %12s %12s\n", "case", "peak MB", "floor MB", "peak / floor");
            header = true;
            std::printf("%-48s %12.1f %12.1f %12.2f\n", name.c_str(), peak / 1e6, floor->second / 1e6,
                        peak / floor->second);
        }
    }

    // Times, or peaks of the memory cases.
    void printGrowth(const std::map<std::string, double> &values, bool peaks, bool &header) const
    {
        for (const auto &[name, value] : values) {
            const size_t at = name.rfind("/1");
            if (at == std::string::npos || at + 2 != name.size() || (!peaks && m_peaks.count(name)))
                continue;
            const auto scaled = values.find(name + "0");
            if (scaled == values.end() || value <= 0)
                continue;
            if (!header)
                std::printf("\n%-48s %12s\n", "case, from scale 1 to 10", "exponent");
            header = true;
            std::printf("%-48s %12.2f\n", (name.substr(0, at) + (peaks ? " (peak)" : "")).c_str(),
                        std::log10(scaled->second / value));
        }
    }

    Clock m_clock;
    std::map<std::string, double> m_times, m_medians, m_peaks, m_peakMedians;
    double m_worst = 0;
};

// Set by initialize(): a run fails when a case takes more than this many times its floor's time.
inline double &failAbove()
{
    static double limit = 0; // 0: never
    return limit;
}

// Google Benchmark's options plus one of our own, --fail-above=RATIO, which makes the program end
// with status 1 when a pair's ratio exceeds RATIO (a check for gross regressions, not for targets).
// False when an option is not understood. A program that takes an argument of its own (a database
// URL) says so with takesArgument and checks what is left itself.
inline bool initialize(int &argc, char **argv, bool takesArgument = false)
{
    static const char kFailAbove[] = "--fail-above=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kFailAbove, sizeof kFailAbove - 1) == 0)
            failAbove() = std::atof(argv[i] + sizeof kFailAbove - 1);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    return takesArgument || !benchmark::ReportUnrecognizedArguments(argc, argv);
}

// Runs the benchmarks named on the command line (after initialize) with the ratio tables.
inline int runWithRatios(RatioReporter::Clock clock)
{
    RatioReporter reporter(clock);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (failAbove() > 0 && reporter.worstRatio() > failAbove()) {
        std::printf("\nA case took more than %.1f times its floor's time.\n", failAbove());
        return 1;
    }
    return 0;
}

} // namespace veltrane::bench

// Registers a case and its floor with the same settings, e.g.
// VELTRANE_BENCHMARK_PAIR(BM_Fill, ->Unit(benchmark::kMillisecond));
#define VELTRANE_BENCHMARK_PAIR(name, ...)                                                                             \
    BENCHMARK(name) __VA_ARGS__;                                                                                       \
    BENCHMARK(name##_Floor) __VA_ARGS__
