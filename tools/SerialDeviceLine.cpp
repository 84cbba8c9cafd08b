#include "tools/SerialDeviceLine.h"

#include "common/PlatformError.h"
#include "serial/LineSettings.h"
#include "tools/Interruption.h"

#include <sys/ioctl.h>
#include <termios.h>

namespace {

// Short, so that a signal is noticed soon while a write waits.
constexpr int kWriteWaitMs = 50;

} // namespace

SerialDeviceLine::SerialDeviceLine(const QString &devicePath)
{
    m_port.setPortName(devicePath);
    setInstrumentLine(m_port);
    if (!m_port.open(QIODevice::WriteOnly))
        throw PlatformError(
            QStringLiteral("cannot open %1: %2").arg(devicePath, m_port.errorString()));
}

bool SerialDeviceLine::send(QByteArrayView bytes)
{
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    while (m_port.bytesToWrite() > 0) {
        if (Interruption::requested())
            return false;
        if (!m_port.waitForBytesWritten(kWriteWaitMs)) {
            if (m_port.error() != QSerialPort::TimeoutError)
                return false;
            m_port.clearError();
        }
    }
    return true;
}

bool SerialDeviceLine::delivered()
{
    // Handed to the driver is not yet on the wire: its own queue must be empty too. A driver that
    // cannot tell is taken at its word.
    int queued = 0;
    return m_port.bytesToWrite() == 0 &&
           (::ioctl(m_port.handle(), TIOCOUTQ, &queued) != 0 || queued == 0);
}
