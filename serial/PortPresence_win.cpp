#include "serial/PortPresence.h"
#include "serial/PortTable.h"

#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>

namespace {

// Windows tells of new ports only to a window's message handler: the list is looked at instead,
// about once a second.
constexpr int kLookEveryMs = 1000;

} // namespace

// One look at the system's list: it costs far more than a file's existence elsewhere.
QList<qint16> presentPorts()
{
    QList<qint16> present;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (qint16 port = kFirstPort; port <= kLastPort; ++port) {
        const QString name = devicePathForPort(port);
        if (std::any_of(ports.begin(), ports.end(),
                        [&](const QSerialPortInfo &info) { return info.portName() == name; }))
            present << port;
    }
    return present;
}

std::unique_ptr<QObject> watchPortPresence(std::function<void()> onChange)
{
    auto look = std::make_unique<QTimer>();
    look->setInterval(kLookEveryMs);
    QObject::connect(look.get(), &QTimer::timeout, look.get(), std::move(onChange));
    look->start();
    return look;
}
