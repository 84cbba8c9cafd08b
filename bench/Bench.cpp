#include "bench/Bench.h"

#include "tools/InstrumentFrame.h"

#include <QString>

#include <chrono>
#include <unistd.h>

QByteArray samplePayload(qsizetype bytes)
{
    const QByteArray csv = sampleCsv();
    const QByteArray rows = instrumentPayload(csv.sliced(csv.indexOf('\n') + 1));
    return rows.repeated(bytes / rows.size());
}

double monotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void measureRow(benchmark::State &state, const std::function<void()> &measure)
{
    // SIGALRM's own action ends the bench, and the programs it started die with it.
    ::alarm(300);
    try {
        measure();
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
    }
    ::alarm(0);
}

void judge(benchmark::State &state, double figure, double reference, double goal)
{
    const double ratio = figure / reference;
    state.counters = {
        {"figure", figure}, {"reference", reference}, {"ratio", ratio}, {"goal", goal}};
    if (ratio > goal)
        state.SkipWithError(qPrintable(
            QString::asprintf("goal missed: ratio %.3g > %g (figure %.4g, reference %.4g)", ratio,
                              goal, figure, reference)));
}

BENCHMARK_MAIN();
