#include "bench/SampleUpload.h"

#include "tools/InstrumentFrame.h"

#include <cstdio>
#include <map>
#include <random>

namespace {

// Start mark, five checksum digits, end mark.
constexpr qsizetype kFrameOverhead = 7;

// Readings as the instrument logs them: a running second count and four channels of two to
// four decimals, some of them negative.
class Instrument
{
public:
    QByteArray nextLine()
    {
        QByteArray line = QByteArray::number(++m_seconds);
        line += ',' + channel(40, 2) + ',' + channel(1100, 2) + ',' + channel(5, 4) + ',' +
                channel(100, 3) + '\r';
        return line;
    }

private:
    // A value in [-range/4, range*3/4) with the given number of decimals.
    QByteArray channel(int range, int decimals)
    {
        int scale = 1;
        for (int i = 0; i < decimals; ++i)
            scale *= 10;
        const int steps = range * scale;
        const int value = static_cast<int>(m_random() % steps) - steps / 4;
        char field[32];
        std::snprintf(field, sizeof field, "%.*f", decimals, static_cast<double>(value) / scale);
        return QByteArray(field);
    }

    std::minstd_rand m_random{20240611};
    qint64 m_seconds = 0;
};

QByteArray makeFrame(qsizetype frameBytes)
{
    Instrument instrument;
    QByteArray payload;
    payload.reserve(frameBytes);
    for (;;) {
        const QByteArray line = instrument.nextLine();
        if (payload.size() + line.size() + kFrameOverhead > frameBytes)
            break;
        payload += line;
    }
    return instrumentFrame(payload, false);
}

} // namespace

QByteArray sampleUploadFrame(qsizetype frameBytes)
{
    // The benchmark library calls each benchmark several times over; writing 64 MiB of readings
    // takes seconds, so each size is made once.
    static std::map<qsizetype, QByteArray> made;
    QByteArray &frame = made[frameBytes];
    if (frame.isEmpty())
        frame = makeFrame(frameBytes);
    return frame;
}
