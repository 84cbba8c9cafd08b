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

    // Returns once a receiver is listening, as an instrument is told to send only once the tool
    // is ready: what is sent to a closed port is lost. A line that cannot tell returns at once.
    // False if a signal cut the wait short.
    virtual bool awaitReceiver() { return true; }

    virtual QString errorString() const = 0;
};
