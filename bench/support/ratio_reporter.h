#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace veltrane::bench {

// Prints the usual table, then each case's time over its floor's (case BM_X, floor BM_X_Floor, both
// from the same run). With repetitions the median stands for a case; otherwise its single run does.
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
            const std::string name = run.run_name.function_name; // without "/real_time" and the like
            const double time = m_clock == Clock::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[name] = time;
            else if (run.run_type == Run::RT_Iteration)
                m_times[name] = time;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto &[name, time] : m_medians)
            m_times[name] = time;
        std::printf("\n%-48s %12s\n", "case", m_clock == Clock::Cpu ? "CPU / floor" : "time / floor");
        for (const auto &[name, time] : m_times) {
            const auto floor = m_times.find(name + "_Floor");
            if (floor != m_times.end() && floor->second > 0)
                std::printf("%-48s %12.2f\n", name.c_str(), time / floor->second);
        }
    }

private:
    Clock m_clock;
    std::map<std::string, double> m_times;
    std::map<std::string, double> m_medians;
};

// Runs the benchmarks named on the command line (after benchmark::Initialize) with the ratio table.
inline int runWithRatios(RatioReporter::Clock clock)
{
    RatioReporter reporter(clock);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace veltrane::bench

// Registers a case and its floor with the same settings, e.g.
// VELTRANE_BENCHMARK_PAIR(BM_Fill, ->Unit(benchmark::kMillisecond));
#define VELTRANE_BENCHMARK_PAIR(name, ...)                                                                             \
    BENCHMARK(name) __VA_ARGS__;                                                                                       \
    BENCHMARK(name##_Floor) __VA_ARGS__
