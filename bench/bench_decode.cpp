#include "bench/SampleUpload.h"
#include "upload/UploadFrame.h"

#include <benchmark/benchmark.h>
#include <cstring>

namespace {

constexpr qsizetype kMiB = 1024 * 1024;

void BM_DecodeUploadFrame(benchmark::State &state)
{
    const QByteArray frame = sampleUploadFrame(state.range(0) * kMiB);
    const QByteArray start("\x02");
    const QByteArray end("\x04");
    if (DecodeUploadFrame(frame, start, end).outcome != FrameOutcome::Decoded) {
        state.SkipWithError("the sample frame does not decode");
        return;
    }
    for (auto _ : state) {
        DecodedFrame decoded = DecodeUploadFrame(frame, start, end);
        benchmark::DoNotOptimize(decoded.text.data());
    }
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_DecodeUploadFrame)->ArgName("MiB")->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);

// The reference: the cheapest pass there is over the same bytes, into a buffer already mapped.
void BM_Memcpy(benchmark::State &state)
{
    const QByteArray frame = sampleUploadFrame(state.range(0) * kMiB);
    QByteArray copy(frame.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.constData(), frame.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_Memcpy)->ArgName("MiB")->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);

} // namespace
