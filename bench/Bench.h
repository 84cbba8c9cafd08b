#pragma once

#include <QByteArray>

#include <benchmark/benchmark.h>
#include <functional>

constexpr qsizetype kMiB = 1024 * 1024;

// The payload of an upload of about this size: the simulator's sample rows over and over.
QByteArray samplePayload(qsizetype bytes);
// The system's monotonic clock, which observed.cpp tells its times by.
double monotonicSeconds();

// Runs a row, which ends in judge(). What it throws fails the row; a row that hangs ends the bench.
void measureRow(benchmark::State &state, const std::function<void()> &measure);
// The row's counters: its figure, the reference that the figure is judged against, their ratio
// and the goal, the largest ratio allowed. A larger ratio fails the row.
void judge(benchmark::State &state, double figure, double reference, double goal);
