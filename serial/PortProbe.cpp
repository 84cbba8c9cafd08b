#include "serial/PortProbe.h"

#include "common/PlatformError.h"
#include "serial/PortTable.h"

namespace {

// Closing never stops the probing: a port that will not close is simply not counted.
void closeQuietly(SerialPortService &port)
{
    try {
        if (port.PortOpen())
            port.setPortOpen(false);
    } catch (const PlatformError &) {
    }
}

} // namespace

PortSurvey probePorts(SerialPortService &port, const QList<qint16> &present)
{
    QList<qint16> numbers;
    for (qint16 number = kFirstPort; number <= kLastPort; ++number)
        numbers << number;
    for (const qint16 number : present) {
        if (number > kLastPort)
            numbers << number;
    }
    PortSurvey survey;
    closeQuietly(port);
    for (const qint16 number : numbers) {
        bool opened = true;
        try {
            port.setCommPort(number);
        } catch (const PlatformError &) {
            opened = false;
        }
        // After a refused number the open is still tried, on the number the port still holds,
        // and then closed again; that port is not counted whatever the open does.
        try {
            port.setPortOpen(true);
        } catch (const DeviceAbsent &) {
            opened = false;
        } catch (const PlatformError &error) {
            opened = false;
            if (survey.firstRefusal.isEmpty())
                survey.firstRefusal = error.message();
        }
        if (opened)
            survey.opened << number;
        closeQuietly(port);
    }
    closeQuietly(port);
    return survey;
}
