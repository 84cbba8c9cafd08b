#pragma once

#include "tools/InstrumentLine.h"

#include <QSerialPort>

// A real serial port at the instrument's settings, 19200 baud 8N1 without flow control, e.g. one
// end of a null-modem cable whose other end is the tool's port.
class SerialDeviceLine : public InstrumentLine
{
public:
    // Throws PlatformError if the port cannot be opened.
    explicit SerialDeviceLine(const QString &devicePath);

    bool send(QByteArrayView bytes) override;
    bool delivered() override;
    QString errorString() const override { return m_port.errorString(); }

private:
    QSerialPort m_port;
};
