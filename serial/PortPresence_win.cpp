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

bool isPortPresent(qint16 port)
{
    const QString name = devicePathForPort(port);
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    return std::any_of(ports.begin(), ports.end(),
                       [&](const QSerialPortInfo &info) { return info.portName() == name; });
}

std::unique_ptr<QObject> watchPortPresence(std::function<void()> onChange)
{
    auto look = std::make_unique<QTimer>();
    look->setInterval(kLookEveryMs);
    QObject::connect(look.get(), &QTimer::timeout, look.get(), std::move(onChange));
    look->start();
    return look;
}
