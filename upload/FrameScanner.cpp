#include "upload/FrameScanner.h"

void FrameScanner::clear()
{
    m_buffer.clear();
    m_start = -1;
    m_searched = 0;
}

DecodedFrame FrameScanner::takeFrame(QByteArrayView frameStart, QByteArrayView frameEnd)
{
    if (m_start < 0) {
        m_start = findMark(m_buffer, frameStart, m_searched);
        if (m_start < 0) {
            m_searched = m_buffer.size();
            return {};
        }
        // The end mark may stand at the start mark's own place only if the two marks are equal.
        m_searched = m_start;
    }
    const qsizetype end = findMark(m_buffer, frameEnd, m_searched);
    if (end < 0) {
        m_searched = m_buffer.size();
        return {};
    }

    DecodedFrame frame = decodeFrameBetween(m_buffer, m_start, end);
    m_buffer.remove(0, frame.frameEnd);
    m_start = -1;
    m_searched = 0;
    return frame;
}
