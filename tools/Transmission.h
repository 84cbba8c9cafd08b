#pragma once

#include "tools/InstrumentLine.h"

#include <QByteArrayView>
#include <QList>

enum class Pace
{
    // As the instrument sends: 19200 baud, 10 bits a byte with start and stop bit.
    Line,
    // As fast as the line takes them.
    Fast,
};

// The writes that the bytes are sent in. With split > 0, that many of about equal size (no more
// than there are bytes); otherwise one byte a write at line pace, all in one write when fast.
QList<QByteArrayView> transmissionPieces(QByteArrayView bytes, Pace pace, int split);

// Sends the bytes in those writes. At line pace each write goes when its last byte would have
// arrived, so the bytes reach the receiver at the line's rate, spread evenly. False if the line
// failed or a signal came.
bool transmit(InstrumentLine &line, QByteArrayView bytes, Pace pace, int split);
