#include "bench/Bench.h"
#include "tools/InstrumentFrame.h"

#include <map>

const QByteArray &sampleUploadFrame(qsizetype frameBytes)
{
    // Made once per size: a 64 MiB frame takes a while.
    static std::map<qsizetype, QByteArray> made;
    QByteArray &frame = made[frameBytes];
    if (frame.isEmpty()) {
        const QByteArray csv = sampleCsv();
        const QByteArray rows = instrumentPayload(csv.sliced(csv.indexOf('\n') + 1));
        // Start mark, five checksum digits and end mark come on top.
        frame = instrumentFrame(rows.repeated((frameBytes - 7) / rows.size()), false);
    }
    return frame;
}
