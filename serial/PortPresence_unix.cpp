#include "serial/PortPresence.h"
#include "serial/PortTable.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

// The system adds and removes a device's files in steps, and sets their permissions just after:
// the look waits until the folder has been still this long.
constexpr int kSettleMs = 300;

} // namespace

QList<qint16> presentPorts()
{
    QList<qint16> present;
    for (qint16 port = kFirstPort; port <= kLastPort; ++port) {
        if (QFileInfo::exists(devicePathForPort(port)))
            present << port;
    }
    return present;
}

// The folder that holds the devices is watched, which costs nothing while it is still.
std::unique_ptr<QObject> watchPortPresence(std::function<void()> onChange)
{
    auto watcher = std::make_unique<QFileSystemWatcher>(
        QStringList{QFileInfo(devicePathForPort(kFirstPort)).absolutePath()});
    auto *settle = new QTimer(watcher.get());
    settle->setSingleShot(true);
    settle->setInterval(kSettleMs);
    QObject::connect(settle, &QTimer::timeout, settle, std::move(onChange));
    QObject::connect(watcher.get(), &QFileSystemWatcher::directoryChanged, settle,
                     qOverload<>(&QTimer::start));
    return watcher;
}
