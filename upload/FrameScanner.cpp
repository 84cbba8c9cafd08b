#include "upload/FrameScanner.h"

namespace {

// A payload is decoded in pieces of at least this size, so that an upload arriving a character at
// a time is not decoded a character at a time.
constexpr qsizetype kDecodePiece = 4096;

} // namespace

void FrameScanner::clear()
{
    m_buffer.clear();
    m_payload.clear();
    searchAfresh();
    m_decodedAway = 0;
}

void FrameScanner::searchAfresh()
{
    m_inFrame = false;
    m_payloadAt = 0;
    m_searched = 0;
}

DecodedFrame FrameScanner::takeFrame(QByteArrayView frameStart, QByteArrayView frameEnd)
{
    if (!m_inFrame) {
        // What stands before a start mark is never part of a frame: line noise goes as it arrives,
        // however much of it comes.
        const qsizetype start = findMark(m_buffer, frameStart, 0);
        const qsizetype noise = start < 0 ? m_buffer.size() : start;
        m_buffer.remove(0, noise);
        m_decodedAway += noise;
        if (start < 0)
            return {};
        m_inFrame = true;
        m_payloadAt = 1;
        // The end mark may stand at the start mark's own place only if the two marks are equal.
        m_searched = 0;
    }
    const qsizetype end = findMark(m_buffer, frameEnd, m_searched);
    if (end < 0) {
        m_searched = m_buffer.size();
        decodeArrivedPayload();
        return {};
    }

    // Decoding ahead always leaves a field's width behind, so the field is still in the buffer.
    DecodedFrame frame = m_payload.finish(m_buffer, m_payloadAt, end);
    frame.frameEnd += m_decodedAway;
    m_buffer.remove(0, end + 1);
    searchAfresh();
    m_decodedAway = 0;
    return frame;
}

// Decodes what has arrived of the payload and lets its raw characters go, all but the last few,
// which may yet turn out to be the checksum field.
void FrameScanner::decodeArrivedPayload()
{
    const qsizetype decodable = m_buffer.size() - kChecksumWidth - m_payloadAt;
    if (decodable < kDecodePiece)
        return;
    m_payload.decode(QByteArrayView(m_buffer).sliced(m_payloadAt, decodable));
    const qsizetype gone = m_payloadAt + decodable;
    m_buffer.remove(0, gone);
    m_decodedAway += gone;
    m_searched -= gone;
    m_payloadAt = 0;
}
