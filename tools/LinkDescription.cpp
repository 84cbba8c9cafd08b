#include "tools/LinkDescription.h"

#include "serial/PortTable.h"

#include <QDir>
#include <QFileInfo>

qint16 portNumberForDeviceName(const QString &name)
{
    // The tool's own table decides, so the two cannot disagree.
    for (qint16 port = kFirstPort; port <= kLastPort; ++port) {
        if (QFileInfo(devicePathForPort(port)).fileName() == name)
            return port;
    }
    return 0;
}

QString describeLink(const QString &linkPath, const QString &devicePath)
{
    const QFileInfo link(linkPath);
    const QString where = QStringLiteral("Instrument at %1 (%2): ").arg(linkPath, devicePath);
    const qint16 port = portNumberForDeviceName(link.fileName());
    if (port == 0)
        return where + QStringLiteral("not a port the tool lists (it lists ttyUSB0-7, "
                                      "ttyACM0-5 and ttyS0-1)");
    const QString folder = link.absolutePath();
    if (folder == QLatin1String("/dev"))
        return where + QStringLiteral("the tool lists it as COM %1").arg(port);
    return where + QStringLiteral("the tool lists it as COM %1 when started with "
                                  "BRACKENFELD_DEVICE_DIR=%2")
                       .arg(port)
                       .arg(folder);
}
