#pragma once

#include "tools/InstrumentLine.h"

#include <QString>

// A stand-in serial device: a pseudo-terminal whose port side is linked under the name that the
// tool looks for, as if the instrument were plugged in. Closing it is pulling the cable: the link
// goes away.
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
    QString errorString() const override { return m_error; }

private:
    void link();
    void close();

    QString m_linkPath;
    QString m_devicePath;
    QString m_error;
    int m_instrument = -1;
    // Held open so that what is sent before the tool opens the port waits for it there.
    int m_port = -1;
};
