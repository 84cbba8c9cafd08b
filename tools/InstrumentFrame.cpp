#include "tools/InstrumentFrame.h"

#include "upload/UploadFrame.h"

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr int kChecksumDigits = 5;

} // namespace

QByteArray instrumentPayload(QByteArrayView csv)
{
    QByteArray payload;
    payload.reserve(csv.size() + 1);
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        // The CR of a CR LF pair is dropped here; its LF writes the line end.
        if (c == kCarriageReturn && i + 1 < csv.size() && csv[i + 1] == kLineFeed)
            continue;
        payload.append(c == kLineFeed ? kCarriageReturn : c);
    }
    if (!payload.isEmpty() && !payload.endsWith(kCarriageReturn))
        payload.append(kCarriageReturn);
    return payload;
}

QByteArray instrumentFrame(QByteArrayView payload, bool corruptChecksum)
{
    // quint16 wraps, so the corrupted checksum stays five digits.
    const auto checksum = static_cast<quint16>(uploadChecksum(payload) + (corruptChecksum ? 1 : 0));
    return '\x02' + payload.toByteArray() +
           QByteArray::number(checksum).rightJustified(kChecksumDigits, '0') + '\x04';
}

QByteArray decodedText(QByteArrayView payload)
{
    return payload.toByteArray().replace(',', '\t').replace("\r", "\r\n");
}

QByteArray savedFile(QByteArrayView payload)
{
    return decodedText(payload) + "\r\n";
}

QByteArray sampleCsv()
{
    return QByteArrayLiteral("Sample,Time,Temperature C,Conductivity uS/cm,pH\n"
                             "1,09:02:14,18.6,412,7.21\n"
                             "2,09:07:51,18.9,408,7.19\n"
                             "3,09:13:30,19.2,415,7.24\n"
                             "4,09:19:02,19.4,421,7.26\n"
                             "5,09:24:47,19.3,418,7.22\n");
}
