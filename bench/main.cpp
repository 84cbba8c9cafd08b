#include "bench/Bench.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// A line of the table: a figure, the reference it is judged against, their ratio and the goal.
struct Row
{
    const char *name;         // the benchmark's name and the line's first column
    const char *figureFormat; // printf formats for the two values, e.g. "%.2f GB/s"
    const char *referenceFormat;
    const char *bound; // the ratio is to be ">=", "<=" or "<" the goal
    double goal;
    int rounds;
    std::function<Measured(benchmark::State &)> measure;
};

// A row that hangs ends the bench, and with it every process that the bench started.
constexpr unsigned kRowSecondsLimit = 300;
constexpr char kLine[] = "%-31s %-15s %-24s %6s  %-7s %s";
bool g_allMet = true;

template <typename... Values> std::string formatted(const char *format, Values... values)
{
    char text[200];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Runs the row's rounds. What they measured becomes the counters figure, reference, ratio, goal
// and met (1 or 0), and the table's line, the label; what they throw fails the row.
void measureRow(benchmark::State &state, const Row &row)
{
    ::alarm(kRowSecondsLimit);
    try {
        const auto [figure, reference, ratio] = row.measure(state);
        const std::string_view bound = row.bound;
        const bool met = bound == ">="   ? ratio >= row.goal
                         : bound == "<=" ? ratio <= row.goal
                                         : ratio < row.goal;
        g_allMet = g_allMet && met;
        // Beside any counter of the row's own.
        state.counters.insert({{"figure", figure},
                               {"reference", reference},
                               {"ratio", ratio},
                               {"goal", row.goal},
                               {"met", met}});
        state.SetLabel(formatted(
            kLine, row.name, formatted(row.figureFormat, figure).c_str(),
            formatted(row.referenceFormat, reference).c_str(), formatted("%.3f", ratio).c_str(),
            formatted("%s %g", row.bound, row.goal).c_str(), met ? "yes" : "NO"));
    } catch (const std::exception &error) {
        g_allMet = false;
        state.SkipWithError(error.what());
    }
    ::alarm(0);
}

// Prints the table: the label of each row's benchmark as the row ends.
class TableReporter : public benchmark::ConsoleReporter
{
public:
    // Not tabular: that would print the header again whenever a row brings counters of its own.
    TableReporter() : ConsoleReporter(OO_None) {}

private:
    void PrintHeader(const Run &) override
    {
        GetOutputStream() << formatted(kLine, "figure", "measured", "reference", "ratio", "goal",
                                       "met")
                          << std::endl;
    }
    void PrintRunData(const Run &run) override
    {
        if (run.run_type != Run::RT_Iteration)
            return;
        GetOutputStream() << (run.error_occurred ? formatted("%-31s failed: %s",
                                                             run.run_name.function_name.c_str(),
                                                             run.error_message.c_str())
                                                 : run.report_label)
                          << std::endl;
    }
};

void onHangingRow(int)
{
    static const char message[] = "bench: a row ran for over five minutes\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    // Every large buffer comes from the heap and stays there once freed, so each round reuses
    // memory that an earlier one touched. Left to itself, glibc maps a fresh buffer whenever its
    // moving threshold says so, and the first touch of each fresh page (about 10 us per 4 KiB
    // on a virtual machine) would swamp the code timed and change with the order of the rows.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);
    std::signal(SIGALRM, onHangingRow);

    // The window runs without a display, here and in the programs that the bench starts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    using State = benchmark::State;
    static const Row rows[] = {
        {"decode, 1 MiB frame", "%.2f GB/s", "memcpy %.2f GB/s", ">=", 0.1, 30,
         [](State &state) { return decodeRate(state, 1); }},
        {"decode, 64 MiB frame", "%.2f GB/s", "memcpy %.2f GB/s", ">=", 0.1, 30,
         [](State &state) { return decodeRate(state, 64); }},
        {"receive 16 MiB, 1-byte reads", "%.2f ns/B", "1 MiB: %.2f ns/B", "<=", 1.5, 3,
         [](State &state) { return receiveCost(state, 1); }},
        {"receive 16 MiB, 4 KiB reads", "%.2f ns/B", "1 MiB: %.2f ns/B", "<=", 1.5, 30,
         [](State &state) { return receiveCost(state, 4096); }},
        {"idle, port open", "CPU %.2f s", "%.1f s of one core", "<", 0.01, 1, idleCpu},
        {"upload 2 MiB via pty", "%.1f ms", "cat %.1f ms", "<=", 1.5, 5, uploadTime},
        {"line rate 1,920 B/s", "CPU %.3f s", "cat %.3f s", "<=", 1.5, 3, lineRateCpu},
        {"bulk 16 MiB via pty", "%.2f ns/B", "cat %.2f ns/B", "<=", 2, 7,
         [](State &state) { return bulkCpu(state, 16); }},
        {"bulk 64 MiB via pty", "%.2f ns/B", "cat %.2f ns/B", "<=", 2, 5,
         [](State &state) { return bulkCpu(state, 64); }},
        {"64 MiB, drained to complete", "%.3f s", "goal %.2f s", "<=", 1, 3,
         [](State &state) { return drainedToComplete(state, 0.15); }},
        {"start-up to window, 16 ports", "%.2f s", "probe pause %.2f s", "<=", 1.05, 7,
         startupTime},
        {"memory, 16 MiB upload and Save", "peak %.1f MiB", "idle %.1f MiB", "<=", 1.5, 1,
         uploadSaveMemory},
        {"save 16 MiB as .xlsx", "%.2f s", "as text %.3f s", "<=", 10, 2, workbookSaveTime},
        {"memory, saving it as .xlsx", "rise %.1f MiB", "upload %.1f MiB", "<", 0.5, 1,
         workbookSaveMemory},
    };
    for (const Row &row : rows) {
        benchmark::RegisterBenchmark(row.name, [&row](State &state) { measureRow(state, row); })
            ->Iterations(row.rounds)
            ->Unit(benchmark::kMillisecond);
    }
    TableReporter table;
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return g_allMet ? 0 : 1;
}
