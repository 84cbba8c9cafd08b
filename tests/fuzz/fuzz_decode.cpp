#include "upload/FrameScanner.h"
#include "upload/UploadFrame.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QByteArray kStart("\x02");
const QByteArray kEnd("\x04");

void require(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_decode: %s\n", what);
    std::abort();
}

// Where the bytes are cut into two reads: anywhere from before the first byte to after the
// last, moving with every byte of the input.
qsizetype splitPoint(QByteArrayView bytes)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return static_cast<qsizetype>(hash % static_cast<std::uint32_t>(bytes.size() + 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const DecodedFrame whole = DecodeUploadFrame(bytes, kStart, kEnd);

    // A frame may already be whole in the first read; the second read is appended regardless,
    // so that what the scanner keeps can be checked in both cases.
    const qsizetype split = splitPoint(bytes);
    FrameScanner scanner;
    scanner.append(bytes.first(split));
    DecodedFrame pieces = scanner.takeFrame(kStart, kEnd);
    const bool wholeInFirstRead = pieces.outcome != FrameOutcome::Incomplete;
    scanner.append(bytes.sliced(split));
    if (!wholeInFirstRead)
        pieces = scanner.takeFrame(kStart, kEnd);

    require(pieces.outcome == whole.outcome, "scanner and decoder disagree on the outcome");
    require(pieces.text == whole.text, "scanner and decoder disagree on the text");
    require(pieces.frameEnd == whole.frameEnd, "scanner and decoder disagree on the frame end");
    // After a frame the scanner keeps what followed it; without one, only what may still end as a
    // frame: the last characters from the first start mark on, and nothing before it.
    const QByteArrayView kept = scanner.characters();
    if (whole.outcome != FrameOutcome::Incomplete) {
        require(kept == bytes.sliced(whole.frameEnd),
                "the scanner kept other characters than those after the frame");
    } else {
        const qsizetype start = bytes.indexOf(kStart.front());
        require(start < 0 ? kept.isEmpty() : bytes.sliced(start).endsWith(kept),
                "the scanner kept characters that no frame can hold");
    }

    if (whole.outcome == FrameOutcome::Decoded) {
        const qsizetype start = bytes.indexOf(kStart.front());
        const QByteArrayView payload = bytes.sliced(start + 1, whole.frameEnd - start - 7);
        const auto lineEnds = std::count(payload.begin(), payload.end(), '\r');
        require(whole.text.size() == payload.size() + lineEnds,
                "the decoded text is not the payload plus one character per CR");
        require(!whole.text.contains(','), "a comma was left in the decoded text");
    }
    return 0;
}
