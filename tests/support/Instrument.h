#pragma once

#include "serial/QtSerialPortService.h"
#include "tools/PseudoTerminalLink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The folder of stand-in devices: the port table looks in it, not in /dev, while it lives.
class DeviceFolder : public QTemporaryDir
{
public:
    static inline const char *const kVariable = "BRACKENFELD_DEVICE_DIR";

    DeviceFolder() { qputenv(kVariable, QFile::encodeName(path())); }
    ~DeviceFolder() { qunsetenv(kVariable); }
};

// Opens the port on the given number, as the tool does; throws PlatformError as the open does.
inline void openPort(QtSerialPortService &port, qint16 number)
{
    port.setCommPort(number);
    port.setPortOpen(true);
}

// The instrument on a stand-in device linked as <folder>/<name> (say ttyUSB2), where the port
// table looks when BRACKENFELD_DEVICE_DIR names that folder. The tool under test reads it on the
// test's own thread, so while the line is full the test's events are processed and the port can
// drain it.
class Instrument : public PseudoTerminalLink
{
public:
    Instrument(const QString &folder, const QString &name)
        : PseudoTerminalLink(QDir(folder).filePath(name))
    {}

    // False if the bytes could not all be sent within the timeout, or after hangUp().
    bool write(QByteArrayView bytes, int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!bytes.isEmpty()) {
            const qsizetype sent = sendSome(bytes);
            if (sent < 0 || (sent == 0 && deadline.hasExpired()))
                return false;
            bytes = bytes.sliced(sent);
            if (sent == 0)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
};
