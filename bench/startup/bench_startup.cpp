// Start to first page: the application started as a whole process, showing the selection window
// (`veltrane --db STORE screenshot SelectAnalysisParameters FILE.png`) on a seeded store, beside the
// plainest Qt program that shows the same page (bench_start_floor: the same SQLite file read, a combo
// box filled with the set names, the summary and locus tags of the default set, a dialog of the same
// frames laid out and grabbed). Both run with the offscreen platform and write their PNG.
//   BM_Start     wall-clock time from starting the process to its end
//   BM_StartCpu  the CPU time the process used (user and system), as the kernel counts it
// Each BM_X runs beside its floor BM_X_Floor; the program prints X / floor for each pair at the end.
// Usage: bench_startup [--benchmark_repetitions=N]

#include "support/ratio_reporter.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

QTemporaryDir g_dir;
std::string g_store, g_picture;

struct Spent
{
    double wall = 0; // seconds
    double cpu = 0;
};

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Runs a program to its end with its output discarded; what it cost, or std::nullopt when it failed.
std::optional<Spent> run(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return std::nullopt;
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return Spent{std::chrono::duration<double>(end - start).count(), seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

std::vector<std::string> application()
{
    return {VELTRANE_APP, "--db", g_store, "screenshot", "SelectAnalysisParameters", g_picture};
}

std::vector<std::string> floorProgram()
{
    return {VELTRANE_START_FLOOR, g_store, g_picture};
}

void measure(benchmark::State &state, const std::vector<std::string> &program, bool cpu)
{
    for (auto _ : state) {
        const std::optional<Spent> spent = run(program);
        if (!spent) {
            state.SkipWithError("the program failed");
            return;
        }
        state.SetIterationTime(cpu ? spent->cpu : spent->wall);
    }
}

void BM_Start(benchmark::State &state)
{
    measure(state, application(), false);
}

void BM_Start_Floor(benchmark::State &state)
{
    measure(state, floorProgram(), false);
}

void BM_StartCpu(benchmark::State &state)
{
    measure(state, application(), true);
}

void BM_StartCpu_Floor(benchmark::State &state)
{
    measure(state, floorProgram(), true);
}

VELTRANE_BENCHMARK_PAIR(BM_Start, ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5));
VELTRANE_BENCHMARK_PAIR(BM_StartCpu, ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5));

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!veltrane::bench::initialize(argc, argv))
        return 1;
    g_store = g_dir.filePath(QStringLiteral("start.sqlite")).toStdString();
    g_picture = g_dir.filePath(QStringLiteral("first-page.png")).toStdString();
    // Both programs find the store made, seeded and its write-ahead log folded in: a start as every
    // start after the first.
    if (!run({VELTRANE_APP, "--db", g_store, "list"}) || !run(application()) || !run(floorProgram())) {
        std::fprintf(stderr, "bench_startup: %s or %s did not run\n", VELTRANE_APP, VELTRANE_START_FLOOR);
        return 1;
    }
    return veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Real);
}
