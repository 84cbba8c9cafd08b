#include "serial/PortTable.h"

#include <QDir>

qint16 highestPortNumber()
{
#ifdef Q_OS_WIN
    return 256;
#else
    return kLastPort;
#endif
}

QString devicePathForPort(qint16 port)
{
    if (port < kFirstPort || port > highestPortNumber())
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    struct Range
    {
        qint16 first;
        qint16 last;
        const char *device;
    };
    static constexpr Range kTable[] = {
        {1, 8, "ttyUSB"},
        {9, 14, "ttyACM"},
        {15, 16, "ttyS"},
    };
    QString folder = qEnvironmentVariable("BRACKENFELD_DEVICE_DIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/dev");
    // Absolute: QSerialPort reads a relative name as one under /dev.
    for (const Range &range : kTable) {
        if (port <= range.last)
            return QDir(folder).absoluteFilePath(QLatin1String(range.device) +
                                                 QString::number(port - range.first));
    }
    return {};
#endif
}
