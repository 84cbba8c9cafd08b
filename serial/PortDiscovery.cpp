#include "app/Main.h"
#include "common/PlatformError.h"
#include "serial/PortProbe.h"
#include "upload/LenientNumber.h"

#include <algorithm>
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
    m_listedPorts.clear();
    PortNumber = 0;
    // A device that was just plugged in gets its moment to appear before the probes.
    MSComm1.pauseBeforeProbing();
    m_probedPorts = MSComm1.presentPorts();
    const PortSurvey survey = probePorts(MSComm1, m_probedPorts);
    for (const qint16 port : survey.opened)
        listComPort(port);
    m_firstRefusal = survey.firstRefusal;
    if (!survey.opened.isEmpty())
        PortNumber = survey.opened.first();
}

void Main::listComPort(qint16 port)
{
    const auto at = std::lower_bound(m_listedPorts.begin(), m_listedPorts.end(), port);
    const int index = int(at - m_listedPorts.begin());
    m_listedPorts.insert(at, port);
    m_window.insertComPort(index, kEntryPrefix + QString::number(port),
                           [this, port] { return MSComm1.describePort(port); });
}

void Main::updateComPortList()
{
    const QList<qint16> present = MSComm1.presentPorts();
    // A port whose device went leaves the list; the one in use stays while it is waited for.
    for (qsizetype i = m_listedPorts.size() - 1; i >= 0; --i) {
        if (!present.contains(m_listedPorts[i]) && m_listedPorts[i] != PortNumber) {
            m_listedPorts.removeAt(i);
            m_window.removeComPort(int(i));
        }
    }
    // A device that came is tried once, on a handle of its own: the open port is left alone.
    for (const qint16 port : present) {
        if (!m_probedPorts.contains(port) && !m_listedPorts.contains(port) &&
            MSComm1.probePort(port))
            listComPort(port);
    }
    m_probedPorts = present;
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
