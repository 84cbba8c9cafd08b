#pragma once

#include <QByteArray>

#include <benchmark/benchmark.h>
#include <ctime>

constexpr qsizetype kMiB = 1024 * 1024;

// What a row of the table measures in its rounds, the iterations of its benchmark. Each round
// takes the figure and its reference one after the other; other work on the machine only ever
// slows a round, so the best of each counts.
struct Measured
{
    double figure;
    double reference;
    double ratio;
};

Measured decodeRate(benchmark::State &state, qsizetype frameMiB);
Measured receiveCost(benchmark::State &state, qsizetype readBytes);
Measured idleCpu(benchmark::State &state);
Measured uploadTime(benchmark::State &state);
Measured lineRateCpu(benchmark::State &state);
Measured bulkCpu(benchmark::State &state, qsizetype frameMiB);
Measured drainedToComplete(benchmark::State &state, double goalSeconds);
Measured startupTime(benchmark::State &state);
Measured uploadSaveMemory(benchmark::State &state);
Measured workbookSaveTime(benchmark::State &state);
Measured workbookSaveMemory(benchmark::State &state);

// A valid upload frame of about the given size: the simulator's sample rows over and over, CR-ended
// lines of a sample number, a time and three readings, as the instrument logs them.
const QByteArray &sampleUploadFrame(qsizetype frameBytes);

// The CPU time of this thread while work runs.
template <typename Work> double cpuSeconds(Work &&work)
{
    timespec began{}, ended{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &began);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ended);
    return double(ended.tv_sec - began.tv_sec) + double(ended.tv_nsec - began.tv_nsec) * 1e-9;
}
