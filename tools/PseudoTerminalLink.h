#pragma once

#include "tools/InstrumentLine.h"

#include <QString>

#include <termios.h>

// A stand-in serial device: a pseudo-terminal whose port side is linked under the name that the
// tool looks for (say <folder>/ttyUSB2), as if the instrument were plugged in. The instrument's
// side sends. Hanging up is pulling the cable: the link goes away.
class PseudoTerminalLink : public InstrumentLine
{
public:
    // Throws PlatformError if the pseudo-terminal or the link cannot be made.
    explicit PseudoTerminalLink(const QString &linkPath);
    ~PseudoTerminalLink() override;

    PseudoTerminalLink(const PseudoTerminalLink &) = delete;
    PseudoTerminalLink &operator=(const PseudoTerminalLink &) = delete;

    QString linkPath() const { return m_linkPath; }
    QString devicePath() const { return m_devicePath; }

    bool send(QByteArrayView bytes) override;
    bool delivered() override;
    // A receiver listens while it holds the port open at the instrument's line speed, which the
    // tool sets when it opens the port and puts back when it closes it. It must have held it for
    // a moment: the tool's probes of its ports open each one only briefly.
    bool awaitReceiver() override;
    QString errorString() const override { return m_error; }

    // Sends what the line takes now, without waiting: the count sent, or -1 when the line failed
    // or is hung up.
    qsizetype sendSome(QByteArrayView bytes);
    // The line settings that the port side has now, as the port last set them.
    termios lineSettings() const;
    // The cable is pulled: the port side hangs up, and the device leaves the folder.
    void hangUp();

private:
    void link();
    void close();

    QString m_linkPath;
    QString m_devicePath;
    QString m_error;
    int m_instrument = -1;
    // The port's side, held open so that hanging up is the only way the device goes.
    int m_port = -1;
};
