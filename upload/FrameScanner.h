#pragma once

#include "upload/UploadFrame.h"

#include <QByteArray>

// The characters received since the last decoded upload, and the search for the next frame in
// them. Each search resumes where the last one stopped, so feeding an upload in many small reads
// costs no more per byte than feeding it at once; the outcome is always DecodeUploadFrame's.
class FrameScanner
{
public:
    void append(QByteArrayView characters) { m_buffer.append(characters); }
    void clear();
    bool isEmpty() const { return m_buffer.isEmpty(); }
    const QByteArray &characters() const { return m_buffer; }
    // True when the last search found a start mark but not yet its end mark.
    bool holdsUnfinishedFrame() const { return m_start >= 0; }

    // Looks for the next whole frame. When there is one, it and everything before it leave the
    // buffer; whatever followed its end mark stays for the next frame.
    DecodedFrame takeFrame(QByteArrayView frameStart, QByteArrayView frameEnd);

private:
    QByteArray m_buffer;
    qsizetype m_start = -1;   // index of the first start mark, once found
    qsizetype m_searched = 0; // every byte before this index has been searched
};
