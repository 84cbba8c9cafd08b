#pragma once

#include "upload/UploadFrame.h"

#include <QByteArray>

// The characters received since the last decoded upload, and the search for the next frame in
// them. Each search resumes where the last one stopped, characters before a start mark are dropped
// as they come, and a frame's payload is decoded as it arrives, so feeding an upload in many small
// reads costs no more per byte than feeding it at once, its raw characters are not kept beside
// its text, and line noise takes no memory. The outcome is always DecodeUploadFrame's.
class FrameScanner
{
public:
    void append(QByteArrayView characters) { m_buffer.append(characters); }
    void clear();
    bool isEmpty() const { return m_buffer.isEmpty() && !m_inFrame; }
    // The characters not decoded yet: those not searched yet, and the newest of a frame.
    const QByteArray &characters() const { return m_buffer; }
    // True when the last search found a start mark but not yet its end mark.
    bool holdsUnfinishedFrame() const { return m_inFrame; }

    // Looks for the next whole frame. When there is one, it and everything before it leave the
    // buffer; whatever followed its end mark stays for the next frame. The frame's end counts
    // from the first character received after the last frame.
    DecodedFrame takeFrame(QByteArrayView frameStart, QByteArrayView frameEnd);

private:
    void decodeArrivedPayload();
    // Forgets the frame being searched for; the buffer's characters stay.
    void searchAfresh();

    QByteArray m_buffer;
    PayloadDecoder m_payload;
    bool m_inFrame = false;      // a start mark was found
    qsizetype m_payloadAt = 0;   // where the payload not decoded yet begins in the buffer
    qsizetype m_searched = 0;    // every byte before this index has been searched
    qsizetype m_decodedAway = 0; // characters since the last frame gone from the buffer
};
