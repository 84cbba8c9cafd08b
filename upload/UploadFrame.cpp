#include "upload/UploadFrame.h"

#include "common/LargeBuffers.h"
#include "upload/LenientNumber.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

// BRACKENFELD_PORTABLE_DECODE takes the plain loops even where the machine has the vector
// instructions, so that they are built and tested here too.
#if !defined(BRACKENFELD_PORTABLE_DECODE) && (defined(__SSE2__) || defined(_M_X64))
#include <emmintrin.h>
#define BRACKENFELD_DECODE_SSE2 1
#endif

namespace {

// How far ahead of the decoding the text's pages are provided: few calls for a large upload, and
// little memory taken early.
constexpr qsizetype kProvideStep = 256 * 1024;

constexpr char kCarriageReturn = '\r';
constexpr char kComma = ',';
constexpr char kTab = '\t';

// The decoder works on 16-byte pieces and 64-byte chunks: one vector register where the machine
// has one, plain loops (which the compiler may vectorise) elsewhere.
#ifdef BRACKENFELD_DECODE_SSE2

// The piece at in with every comma a tab, stored at out.
inline void copyTabbed16(char *out, const char *in)
{
    const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    const __m128i commas = _mm_cmpeq_epi8(piece, _mm_set1_epi8(kComma));
    const __m128i tabbed =
        _mm_xor_si128(piece, _mm_and_si128(commas, _mm_set1_epi8(kComma ^ kTab)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), tabbed);
}

// Bit i set where in[i] is a CR, for i < 16.
inline unsigned lineEnds16(const char *in)
{
    const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(piece, _mm_set1_epi8(kCarriageReturn))));
}

// The sum of the 64 bytes at in. One instruction adds eight bytes at a time.
inline unsigned byteSum64(const char *in)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    for (int piece = 0; piece < 4; ++piece) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 16 * piece));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(bytes, zero));
    }
    return unsigned(_mm_cvtsi128_si32(sums)) +
           unsigned(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
}

#else

inline void copyTabbed16(char *out, const char *in)
{
    for (int i = 0; i < 16; ++i)
        out[i] = in[i] == kComma ? kTab : in[i];
}

inline unsigned lineEnds16(const char *in)
{
    unsigned found = 0;
    for (int i = 0; i < 16; ++i)
        found |= unsigned(in[i] == kCarriageReturn) << i;
    return found;
}

inline unsigned byteSum64(const char *in)
{
    unsigned sum = 0;
    for (int i = 0; i < 64; ++i)
        sum += static_cast<unsigned char>(in[i]);
    return sum;
}

#endif

// Bit i set where in[i] is a CR, for i < 64.
inline std::uint64_t lineEnds64(const char *in)
{
    std::uint64_t found = 0;
    for (int piece = 0; piece < 4; ++piece)
        found |= std::uint64_t(lineEnds16(in + 16 * piece)) << (16 * piece);
    return found;
}

// The checksum's sum of bytes: what wraps past 16 bits is dropped, as the instrument does.
quint16 byteSum(QByteArrayView bytes)
{
    const char *in = bytes.data();
    const char *const end = in + bytes.size();
    quint16 sum = 0;
    for (; end - in >= 64; in += 64)
        sum += byteSum64(in);
    for (; in < end; ++in)
        sum += static_cast<unsigned char>(*in);
    return sum;
}

// The number of CRs in the bytes.
qsizetype lineEndCount(QByteArrayView bytes)
{
    const char *in = bytes.data();
    const char *const end = in + bytes.size();
    qsizetype count = 0;
    for (; end - in >= 64; in += 64)
        count += std::popcount(lineEnds64(in));
    for (; in < end; ++in)
        count += *in == kCarriageReturn;
    return count;
}

// Where decoding has got to: the next byte to copy and the place for it, and how far the
// checksum has summed.
struct Progress
{
    const char *in;
    char *out;
    const char *summed;
    quint16 checksum;
};

// Copies whole lines, found a chunk of 64 bytes at a time, in pieces that run past each line's
// end into bytes that the next line then overwrites, and sums each chunk while it is at hand.
// The output never has less room left than the input, so a chunk followed by enough input has
// room on both sides for the last piece.
Progress copyLines(Progress at, const char *end)
{
    // A line of up to this many bytes is copied in three pieces whatever its length, so the
    // instrument's lines of 30 to 40 bytes take no branch that depends on their length.
    constexpr qsizetype kShortLine = 48;
    constexpr qsizetype kChunk = 64;

    for (; end - at.summed >= kChunk + kShortLine; at.summed += kChunk) {
        const char *const chunk = at.summed;
        at.checksum += byteSum64(chunk);
        for (std::uint64_t found = lineEnds64(chunk); found != 0; found &= found - 1) {
            const char *const lineEnd = chunk + std::countr_zero(found) + 1;
            const qsizetype length = lineEnd - at.in;
            if (length <= kShortLine) {
                copyTabbed16(at.out, at.in);
                copyTabbed16(at.out + 16, at.in + 16);
                copyTabbed16(at.out + 32, at.in + 32);
            } else {
                // The last piece ends less than 16 bytes past the line.
                for (qsizetype done = 0; done < length; done += 16)
                    copyTabbed16(at.out + done, at.in + done);
            }
            at.out += length;
            *at.out++ = '\n';
            at.in = lineEnd;
        }
    }
    return at;
}

// Copies what copyLines left, in pieces that stop at each CR and never run past either text.
// Returns the end of the output.
char *copyRest(Progress at, const char *end)
{
    while (end - at.in >= 16) {
        copyTabbed16(at.out, at.in);
        const unsigned found = lineEnds16(at.in);
        if (found == 0) {
            at.in += 16;
            at.out += 16;
            continue;
        }
        const int lineEnd = std::countr_zero(found) + 1;
        at.out[lineEnd] = '\n';
        at.in += lineEnd;
        at.out += lineEnd + 1;
    }
    for (; at.in < end; ++at.in) {
        *at.out++ = *at.in == kComma ? kTab : *at.in;
        if (*at.in == kCarriageReturn)
            *at.out++ = '\n';
    }
    return at.out;
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
    return 2 + byteSum(payload);
}

// Every CR of the payload is followed by an added LF, and every comma becomes a tab:
// "1,2\r3,4\r" => "1\t2\r\n3\t4\r\n". The checksum is summed in the same pass: an upload larger
// than the cache is then read from memory once, not twice. Where the text has room for the most
// there could be, twice the piece, the CRs are not counted; the pages it never writes are never
// touched, and the room left over is handed back when the frame is finished. Where it has not,
// the count tells how much the piece truly needs, so that memory taken over from an upload of
// the same size holds this one without growing.
void PayloadDecoder::decode(QByteArrayView piece)
{
    const qsizetype decoded = m_text.size();
    qsizetype room = decoded + 2 * piece.size();
    if (room > m_text.capacity())
        room = decoded + piece.size() + lineEndCount(piece);
    // Growing by doubling keeps a payload that comes in many pieces from being moved each time.
    if (room > m_text.capacity()) {
        m_text.reserve(std::max(room, 2 * m_text.capacity()));
        adviseHugePages(m_text.data(), m_text.capacity());
    }
    m_text.resize(room);
    provideAhead(decoded + piece.size());
    const char *const end = piece.data() + piece.size();
    const Progress copied =
        copyLines({piece.data(), m_text.data() + decoded, piece.data(), 0}, end);
    m_sum += copied.checksum + byteSum(QByteArrayView(copied.summed, end));
    m_text.resize(copyRest(copied, end) - m_text.constData());
}

// The text's pages are provided a step ahead of the decoding, some at a time, rather than one
// page fault for each. A piece mostly decodes to its own size; a line end takes one more byte.
void PayloadDecoder::provideAhead(qsizetype needed)
{
    if (needed <= m_provided)
        return;
    const qsizetype to = std::min(m_text.capacity(), needed + kProvideStep);
    providePages(m_text.data() + m_provided, to - m_provided);
    m_provided = to;
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
    text.squeeze();
    return {FrameOutcome::Decoded, std::move(text), end + 1};
}

void PayloadDecoder::reuse(QByteArray spent)
{
    if (!m_text.isEmpty() || spent.capacity() <= m_text.capacity())
        return;
    // An empty text has no pages provided, so the count stays at nought.
    spent.resize(0);
    m_text = std::move(spent);
}

void PayloadDecoder::clear()
{
    m_text.clear();
    m_sum = 0;
    m_provided = 0;
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
