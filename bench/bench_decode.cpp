#include "bench/Bench.h"
#include "upload/UploadFrame.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

// DecodeUploadFrame on one valid frame against memcpy of the same bytes into a buffer already
// touched, the cheapest pass there is over them. Both in bytes of frame per second of CPU time.
Measured decodeRate(benchmark::State &state, qsizetype frameMiB)
{
    const QByteArray &frame = sampleUploadFrame(frameMiB * kMiB);
    const QByteArray start(1, '\x02');
    const QByteArray end(1, '\x04');
    if (DecodeUploadFrame(frame, start, end).outcome != FrameOutcome::Decoded)
        throw std::runtime_error("the sample frame does not decode");
    QByteArray copy(frame.size(), '\0');
    // Each round passes over 64 MiB, so that a round is long beside the clock's own cost.
    const qsizetype frames = 64 / frameMiB;
    double decoding = std::numeric_limits<double>::infinity();
    double copying = decoding;
    for (auto _ : state) {
        decoding = std::min(decoding, cpuSeconds([&] {
                                for (qsizetype i = 0; i < frames; ++i)
                                    benchmark::DoNotOptimize(
                                        DecodeUploadFrame(frame, start, end).text.data());
                            }));
        copying = std::min(copying, cpuSeconds([&] {
                               for (qsizetype i = 0; i < frames; ++i) {
                                   std::memcpy(copy.data(), frame.constData(), frame.size());
                                   benchmark::ClobberMemory();
                               }
                           }));
    }
    const double bytes = double(frame.size()) * double(frames);
    return {bytes / decoding * 1e-9, bytes / copying * 1e-9, copying / decoding};
}
