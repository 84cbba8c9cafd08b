#include "tools/Transmission.h"

#include "tools/Interruption.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr qint64 kBaud = 19200;
constexpr qint64 kBitsPerByte = 10;

std::chrono::nanoseconds lineTime(qsizetype bytes)
{
    return std::chrono::nanoseconds(bytes * kBitsPerByte * 1'000'000'000 / kBaud);
}

} // namespace

QList<QByteArrayView> transmissionPieces(QByteArrayView bytes, Pace pace, int split)
{
    qsizetype count = split;
    if (split <= 0)
        count = pace == Pace::Line ? bytes.size() : 1;
    count = std::clamp<qsizetype>(count, 1, std::max<qsizetype>(bytes.size(), 1));
    QList<QByteArrayView> pieces;
    pieces.reserve(count);
    // The first size % count pieces take one byte more.
    qsizetype from = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype size = bytes.size() / count + (i < bytes.size() % count ? 1 : 0);
        pieces.append(bytes.sliced(from, size));
        from += size;
    }
    return pieces;
}

bool transmit(InstrumentLine &line, QByteArrayView bytes, Pace pace, int split)
{
    const auto start = std::chrono::steady_clock::now();
    qsizetype sent = 0;
    for (const QByteArrayView piece : transmissionPieces(bytes, pace, split)) {
        sent += piece.size();
        const QDeadlineTimer due(start + lineTime(sent), Qt::PreciseTimer);
        if (pace == Pace::Line && !Interruption::sleepUntil(due))
            return false;
        if (!line.send(piece))
            return false;
    }
    return true;
}
