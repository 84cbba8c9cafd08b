#include "bench/SampleUpload.h"
#include "storage/UploadFile.h"
#include "upload/UploadFrame.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <exception>
#include <sys/resource.h>

namespace {

constexpr qsizetype kUploadBytes = 16 * 1024 * 1024;

// What Save writes after a 16 MiB upload of the instrument's readings: all numbers.
const QByteArray &sampleUpload()
{
    static const QByteArray text =
        DecodeUploadFrame(sampleUploadFrame(kUploadBytes), "\x02", "\x04").text;
    return text;
}

// Wall-clock seconds, since the save waits for the disk as well.
double secondsToSave(const QString &fileName, const QByteArray &upload)
{
    const auto start = std::chrono::steady_clock::now();
    writeUploadFile(fileName, upload);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Saves the upload to a file whose extension picks the format. Counters: the time as a multiple
// of the tab-separated save of the same upload, made after each one, and the process's peak
// memory so far, which is the format's own when it runs alone (--benchmark_filter).
void BM_SaveUpload(benchmark::State &state, const char *extension)
{
    QTemporaryDir folder;
    const QString name = QDir(folder.path()).filePath(QStringLiteral("upload") + extension);
    const QString reference = QDir(folder.path()).filePath(QStringLiteral("reference.xls"));
    const QByteArray &upload = sampleUpload();
    double seconds = 0;
    double tabSeparatedSeconds = 0;
    try {
        for (auto _ : state) {
            const double saved = secondsToSave(name, upload);
            state.SetIterationTime(saved);
            seconds += saved;
            tabSeparatedSeconds += secondsToSave(reference, upload);
        }
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    state.counters["vs_tab_separated"] = seconds / tabSeparatedSeconds;
    state.counters["peak_MiB"] = peakMiB();
    state.SetBytesProcessed(state.iterations() * upload.size());
}
BENCHMARK_CAPTURE(BM_SaveUpload, tab_separated, ".xls")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveUpload, workbook, ".xlsx")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveUpload, csv, ".csv")->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
