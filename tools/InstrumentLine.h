#pragma once

#include <QByteArrayView>
#include <QString>

// Where the instrument's bytes go: a stand-in device or a real serial port.
class InstrumentLine
{
public:
    virtual ~InstrumentLine() = default;

    // Writes all the bytes and hands them on before returning, so that each call is one write as
    // the receiver sees it. False if it failed (errorString says why) or a signal cut it short.
    virtual bool send(QByteArrayView bytes) = 0;

    // True once nothing sent is still on its way: closing now loses nothing.
    virtual bool delivered() = 0;

    virtual QString errorString() const = 0;
};
