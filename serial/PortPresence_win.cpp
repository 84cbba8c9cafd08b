#include "serial/PortPresence.h"
#include "serial/PortTable.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QTimer>

#include <windows.h>
// After windows.h, whose types it takes.
#include <dbt.h>

namespace {

// A device comes or goes in several messages; the list is looked at once they have stopped.
constexpr int kSettleMs = 300;

// Windows tells every top-level window of a port that comes or goes (WM_DEVICECHANGE). The
// messages of the program's windows pass through here; the system's list of ports, which costs
// far more, is looked at only then.
class DeviceChanges : public QObject, public QAbstractNativeEventFilter
{
public:
    explicit DeviceChanges(std::function<void()> onChange)
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(kSettleMs);
        QObject::connect(&m_settle, &QTimer::timeout, this, std::move(onChange));
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~DeviceChanges() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_DEVICECHANGE &&
            (msg->wParam == DBT_DEVICEARRIVAL || msg->wParam == DBT_DEVICEREMOVECOMPLETE ||
             msg->wParam == DBT_DEVNODES_CHANGED))
            m_settle.start();
        return false;
    }

private:
    QTimer m_settle;
};

} // namespace

QList<qint16> presentPorts()
{
    static const QRegularExpression comPort(QStringLiteral("^COM([0-9]+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QList<qint16> present;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QRegularExpressionMatch match = comPort.match(info.portName());
        const int port = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (port >= kFirstPort && port <= highestPortNumber() && !present.contains(port))
            present << qint16(port);
    }
    std::sort(present.begin(), present.end());
    return present;
}

std::unique_ptr<QObject> watchPortPresence(std::function<void()> onChange)
{
    return std::make_unique<DeviceChanges>(std::move(onChange));
}
