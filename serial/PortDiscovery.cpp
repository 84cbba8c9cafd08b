#include "app/Main.h"
#include "common/PlatformError.h"
#include "serial/PortProbe.h"
#include "upload/LenientNumber.h"

#include <limits>

namespace {

const QString kEntryPrefix = QStringLiteral("COM ");

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
    // A device that was just plugged in gets its moment to appear before the probes.
    MSComm1.pauseBeforeProbing();
    const QList<qint16> found = probePorts(MSComm1);
    for (const qint16 port : found)
        m_window.addComPort(kEntryPrefix + QString::number(port),
                            [this, port] { return MSComm1.describePort(port); });
    if (!found.isEmpty())
        PortNumber = found.first();
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
