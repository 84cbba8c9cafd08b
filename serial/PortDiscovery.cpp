#include "app/Main.h"
#include "app/PlatformError.h"
#include "serial/PortTable.h"
#include "upload/LenientNumber.h"

#include <chrono>
#include <limits>
#include <thread>

namespace {

const QString kEntryPrefix = QStringLiteral("COM ");

// Closing never stops discovery: a port that will not close is simply not counted.
void closeQuietly(SerialPortService &port)
{
    try {
        if (port.PortOpen())
            port.setPortOpen(false);
    } catch (const PlatformError &) {
    }
}

// "COM 12" => 12, " COM 3 " => 3
qint16 portNumberOfEntry(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QString number =
        trimmed.startsWith(kEntryPrefix) ? trimmed.mid(kEntryPrefix.size()) : trimmed;
    const auto value = lenientWholeNumber(number.toLatin1(), std::numeric_limits<qint16>::min(),
                                          std::numeric_limits<qint16>::max());
    if (!value)
        throw PlatformError(QStringLiteral("\"%1\" names no port number.").arg(text));
    return static_cast<qint16>(*value);
}

} // namespace

void Main::BuildComPortList()
{
    m_window.clearComPorts();
    PortNumber = 0;

    // A plain wait, without dispatching events: a device that was just plugged in gets its
    // moment to appear before the probes.
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::seconds(1));

    closeQuietly(MSComm1);
    for (qint16 port = kFirstPort; port <= kLastPort; ++port) {
        bool found = true;
        try {
            MSComm1.setCommPort(port);
        } catch (const PlatformError &) {
            found = false;
        }
        try {
            MSComm1.setPortOpen(true);
        } catch (const PlatformError &) {
            found = false;
        }
        if (found) {
            m_window.addComPort(kEntryPrefix + QString::number(port), MSComm1.describePort(port));
            if (PortNumber == 0)
                PortNumber = port;
        }
        closeQuietly(MSComm1);
    }
    closeQuietly(MSComm1);
}

void Main::ComComboBox_Click()
{
    m_window.setPortRetryActive(false);
    closePort();
    // The rest of a frame begun on the old port never comes on the new one.
    dropUnfinishedFrame();
    PortNumber = portNumberOfEntry(m_window.comPortText());
    MSComm1.setCommPort(PortNumber);
    closePort();
    openChosenPort();
}

void Main::openChosenPort()
{
    // A port that cannot be opened leaves the tool running: the upload in memory stays, and the
    // port is tried again until it opens or another is chosen.
    try {
        MSComm1.setPortOpen(true);
    } catch (const PlatformError &error) {
        waitForPort(error.message());
    }
}

void Main::waitForPort(const QString &reason)
{
    m_window.messageBox(kCableMessage + QLatin1Char('\n') + reason, WindowOperations::Buttons::Ok,
                        WindowOperations::Icon::None);
    m_window.setPortRetryActive(true);
}

void Main::retryPort()
{
    if (!MSComm1.PortOpen()) {
        try {
            MSComm1.setPortOpen(true);
        } catch (const PlatformError &) {
            return;
        }
    }
    m_window.setPortRetryActive(false);
}
