#include "upload/UploadFrame.h"

#include "upload/LenientNumber.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr qsizetype kChecksumWidth = 5;
constexpr char kCarriageReturn = '\r';

// std::count's 64-bit tally lets the compiler compare only a few bytes per instruction; a
// byte-wide tally compares a whole vector of them, and blocks of at most 255 bytes keep it from
// wrapping.
qsizetype countLineEnds(QByteArrayView payload)
{
    constexpr qsizetype kBlock = 255;
    qsizetype count = 0;
    for (qsizetype from = 0; from < payload.size(); from += kBlock) {
        unsigned char inBlock = 0;
        for (const char c : payload.sliced(from, std::min(kBlock, payload.size() - from)))
            inBlock += c == kCarriageReturn;
        count += inBlock;
    }
    return count;
}

// Every CR of the payload is followed by an added LF, and every comma becomes a tab:
// "1,2\r3,4\r" => "1\t2\r\n3\t4\r\n".
QByteArray tabSeparated(QByteArrayView payload)
{
    const qsizetype lineEnds = countLineEnds(payload);
    QByteArray text(payload.size() + lineEnds, Qt::Uninitialized);
    char *out = text.data();
    const char *in = payload.data();
    const char *const end = in + payload.size();
    while (in < end) {
        const void *cr = std::memchr(in, kCarriageReturn, end - in);
        const char *lineEnd = cr ? static_cast<const char *>(cr) + 1 : end;
        std::memcpy(out, in, lineEnd - in);
        out += lineEnd - in;
        in = lineEnd;
        if (cr)
            *out++ = '\n';
    }
    // Every byte is written, comma or not: std::replace's store only on a match mispredicts on
    // every field of a comma-dense payload, and the unconditional select vectorizes.
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c == ',' ? '\t' : c; });
    return text;
}

} // namespace

qsizetype findMark(QByteArrayView buffer, QByteArrayView mark, qsizetype from)
{
    if (mark.isEmpty() || from >= buffer.size())
        return -1;
    const void *found = std::memchr(buffer.data() + from, mark.front(), buffer.size() - from);
    return found ? static_cast<const char *>(found) - buffer.data() : -1;
}

quint16 uploadChecksum(QByteArrayView payload)
{
    // Wrapping after every byte gives the same low 16 bits as summing wide and wrapping once,
    // and a 16-bit sum vectorizes four times wider than a 64-bit one.
    quint16 sum = 2;
    for (const char c : payload)
        sum += static_cast<unsigned char>(c);
    return sum;
}

DecodedFrame decodeFrameBetween(QByteArrayView buffer, qsizetype start, qsizetype end)
{
    // The checksum field sits just before the end mark; a frame too short to hold it is damaged.
    if (end - start < kChecksumWidth + 1)
        return {FrameOutcome::ChecksumError, {}, end + 1};

    const QByteArrayView field = buffer.sliced(end - kChecksumWidth, kChecksumWidth);
    const auto expected = lenientWholeNumber(field, std::numeric_limits<qint32>::min(),
                                             std::numeric_limits<qint32>::max());
    const QByteArrayView payload = buffer.sliced(start + 1, end - start - 1 - kChecksumWidth);
    if (!expected || *expected != uploadChecksum(payload))
        return {FrameOutcome::ChecksumError, {}, end + 1};
    return {FrameOutcome::Decoded, tabSeparated(payload), end + 1};
}

DecodedFrame DecodeUploadFrame(QByteArrayView buffer, QByteArrayView frameStart,
                               QByteArrayView frameEnd)
{
    const qsizetype start = findMark(buffer, frameStart, 0);
    if (start < 0)
        return {};
    // An end mark before the start mark does not count.
    const qsizetype end = findMark(buffer, frameEnd, start);
    if (end < 0)
        return {};
    return decodeFrameBetween(buffer, start, end);
}
