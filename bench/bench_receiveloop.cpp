#include "app/Main.h"
#include "bench/LeanWindow.h"
#include "bench/SampleUpload.h"
#include "bench/SlicedSerialPort.h"
#include "support/FakeFileDialog.h"

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kMiB = 1024 * 1024;

// One whole upload, from the first poll that finds characters to the decoded text, in reads of
// a fixed size.
void BM_ReceiveLoop(benchmark::State &state)
{
    const QByteArray frame = sampleUploadFrame(state.range(0) * kMiB);
    const qsizetype textSize = DecodeUploadFrame(frame, "\x02", "\x04").text.size();
    for (auto _ : state) {
        LeanWindow window;
        SlicedSerialPort port(frame, state.range(1));
        FakeFileDialog dialog;
        Main main(window, port, dialog);
        main.FrameStart = "\x02";
        main.FrameEnd = "\x04";
        while (!port.allRead())
            main.pollPort();
        if (main.UploadData.size() != textSize || window.boxCount != 0) {
            state.SkipWithError("the upload was not decoded");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_ReceiveLoop)
    ->ArgNames({"MiB", "read"})
    ->Args({1, 1})
    ->Args({16, 1})
    ->Args({1, 4096})
    ->Args({16, 4096})
    ->Unit(benchmark::kMillisecond);

} // namespace
