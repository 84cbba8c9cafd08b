#include "upload/UploadFrame.h"

#include "upload/LenientNumber.h"

#include <array>
#include <cstring>
#include <limits>
#include <utility>

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kComma = ',';
constexpr char kTab = '\t';

// Each byte as the decoded text has it: a comma becomes a tab, any other byte stays.
constexpr std::array<char, 256> kDecodedByte = [] {
    std::array<char, 256> decoded{};
    for (int code = 0; code < 256; ++code)
        decoded[code] = code == static_cast<unsigned char>(kComma) ? kTab : static_cast<char>(code);
    return decoded;
}();

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
    quint16 sum = 2;
    for (const char byte : payload)
        sum += static_cast<unsigned char>(byte);
    return sum;
}

// Every CR of the payload is followed by an added LF, and every comma becomes a tab:
// "1,2\r3,4\r" => "1\t2\r\n3\t4\r\n". The checksum is summed in the same pass; what wraps past
// 16 bits is dropped, as the instrument does.
void PayloadDecoder::decode(QByteArrayView piece)
{
    // Room for the most there could be, a line end after every byte; what is left over is never
    // written, and the text grows by doubling.
    const qsizetype decoded = m_text.size();
    m_text.resize(decoded + 2 * piece.size());
    char *out = m_text.data() + decoded;
    // The sum is kept in a local: written through `out`, a char may alias the member, which the
    // compiler would then add to in memory, byte by byte, each add waiting for the one before.
    // What wraps past 16 bits goes only at the end, which leaves the same 16 bits.
    unsigned sum = m_sum;
    for (const char byte : piece) {
        const auto code = static_cast<unsigned char>(byte);
        sum += code;
        // Looked up rather than compared: commas come every few bytes, in no order that a branch
        // could be predicted by.
        *out++ = kDecodedByte[code];
        if (code == static_cast<unsigned char>(kCarriageReturn))
            *out++ = '\n';
    }
    m_sum = static_cast<quint16>(sum);
    m_text.resize(out - m_text.constData());
}

DecodedFrame PayloadDecoder::finish(QByteArrayView buffer, qsizetype payloadAt, qsizetype end)
{
    const qsizetype fieldAt = end - kChecksumWidth;
    // A frame too short to hold the checksum field is damaged.
    if (fieldAt < payloadAt) {
        clear();
        return {FrameOutcome::ChecksumError, {}, end + 1};
    }
    // Decoded before the checksum is known to match; a damaged upload is rare, and its text is
    // simply dropped.
    decode(buffer.sliced(payloadAt, fieldAt - payloadAt));
    const auto expected =
        lenientWholeNumber(buffer.sliced(fieldAt, kChecksumWidth),
                           std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    const quint16 checksum = 2 + m_sum;
    QByteArray text = std::exchange(m_text, {});
    clear();
    if (!expected || *expected != checksum)
        return {FrameOutcome::ChecksumError, {}, end + 1};
    return {FrameOutcome::Decoded, std::move(text), end + 1};
}

void PayloadDecoder::clear()
{
    m_text.clear();
    m_sum = 0;
}

DecodedFrame decodeFrameBetween(QByteArrayView buffer, qsizetype start, qsizetype end)
{
    return PayloadDecoder().finish(buffer, start + 1, end);
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
