#pragma once

#include <QByteArray>
#include <QByteArrayView>

// An upload frame as the instrument sends it:
//   start mark (code 2) | payload | checksum, five decimal digits | end mark (code 4)
// The payload is comma-separated text, each line ended by a carriage return. The checksum is
// 2 plus the codes of the payload's bytes, modulo 65536.

enum class FrameOutcome
{
    Incomplete,
    ChecksumError,
    Decoded
};

struct DecodedFrame
{
    FrameOutcome outcome = FrameOutcome::Incomplete;
    // The tab-separated text with CR LF line ends; only for Decoded.
    QByteArray text;
    // Index just past the frame's end mark; only when the outcome is not Incomplete.
    qsizetype frameEnd = 0;
};

// The frame's marks.
inline constexpr QByteArrayView kFrameStartMark("\x02", 1);
inline constexpr QByteArrayView kFrameEndMark("\x04", 1);

// The checksum field's width: it sits just before the end mark.
inline constexpr qsizetype kChecksumWidth = 5;

// Decodes a frame's payload as it arrives, in pieces of any size: the text and the checksum's sum
// grow with each piece, so the raw characters need not be kept until the end mark comes.
class PayloadDecoder
{
public:
    void decode(QByteArrayView piece);
    // Decodes the rest of the payload, from payloadAt up to the checksum field just before the end
    // mark at end, and gives the outcome for the whole frame; the decoder is then empty for the
    // next frame.
    DecodedFrame finish(QByteArrayView buffer, qsizetype payloadAt, qsizetype end);
    // Forgets the frame being decoded and lets its memory go.
    void clear();

private:
    QByteArray m_text;
    quint16 m_sum = 0;
};

// Finds the first frame in the buffer and verifies and decodes it. Bytes before the start mark
// are not part of it. The marks are one-character texts; every byte is one character.
DecodedFrame DecodeUploadFrame(QByteArrayView buffer, QByteArrayView frameStart,
                               QByteArrayView frameEnd);

// Verifies and decodes the frame whose marks stand at the indexes start and end of the buffer.
DecodedFrame decodeFrameBetween(QByteArrayView buffer, qsizetype start, qsizetype end);

// Index of the first mark character at or after from, or -1.
qsizetype findMark(QByteArrayView buffer, QByteArrayView mark, qsizetype from);

// The checksum the instrument writes for a payload.
quint16 uploadChecksum(QByteArrayView payload);
