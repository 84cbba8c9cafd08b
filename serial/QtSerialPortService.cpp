#include "serial/QtSerialPortService.h"

#include "common/PlatformError.h"
#include "serial/HangUpWatch.h"
#include "serial/LineSettings.h"
#include "serial/PortLock.h"
#include "serial/PortPresence.h"
#include "serial/PortTable.h"
#include "storage/RegularFile.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <limits>
#include <thread>
#include <utility>

namespace {

constexpr int kSystemPortsLifetimeMs = 500;

// What keeps arriving while Input reads is taken in the same call, up to about this much: a
// terminal device hands over a few KiB a read, and going back to the event loop for each of them
// costs more than the read itself. The window's events still come first well within a millisecond.
constexpr qint64 kInputBatch = 64 * 1024;

// Throws why the port did not open, in words the user can act on: DeviceAbsent when there is no
// device, PortInUse when another program holds it.
//   "COM 3 (/dev/ttyUSB2)" => "COM 3 (/dev/ttyUSB2) is not present."
[[noreturn]] void refuseOpen(const QSerialPort &port, const QString &name, const QString &path)
{
    if (port.error() == QSerialPort::DeviceNotFoundError)
        throw DeviceAbsent(name + QStringLiteral(" is not present."));
    // Only a terminal device answers what a serial port is asked when it opens.
    if (port.error() == QSerialPort::UnsupportedOperationError) {
        const FileKind kind = fileKind(path);
        throw PlatformError(
            name + (kind == FileKind::Device
                        ? QStringLiteral(" is not a serial port.")
                        : QStringLiteral(" is not a serial port but %1.").arg(kindName(kind))));
    }
    if (port.error() != QSerialPort::PermissionError)
        throw PlatformError(name + QStringLiteral(": ") + port.errorString());
    if (const QString denied = permissionRefusal(path); !denied.isEmpty())
        throw PlatformError(name + denied);
    throw PortInUse(name + QStringLiteral(" is held by another program; close that program."));
}

} // namespace

QtSerialPortService::QtSerialPortService(std::chrono::milliseconds probePause,
                                         std::chrono::steady_clock::time_point firstPauseFrom,
                                         QObject *parent)
    : QObject(parent), m_port(this), m_probePause(probePause), m_firstProbesFrom(firstPauseFrom)
{
    // The read buffer stays unbounded: while a modal box holds up the loop, what arrives is
    // kept here rather than left to overflow the driver's small buffer.
    m_port.setReadBufferSize(0);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPortService::onError);
}

void QtSerialPortService::pauseBeforeProbing()
{
    const auto from = std::exchange(m_firstProbesFrom, std::nullopt);
    std::this_thread::sleep_until(from.value_or(std::chrono::steady_clock::now()) + m_probePause);
}

void QtSerialPortService::setCommPort(qint16 port)
{
    if (m_port.isOpen())
        throw PlatformError(
            QStringLiteral("COM %1 is open; the port number cannot change now.").arg(m_commPort));
    m_commPort = port;
}

void QtSerialPortService::setPortOpen(bool open)
{
    if (!open) {
        closeDevice();
        return;
    }
    if (m_port.isOpen())
        throw PlatformError(QStringLiteral("COM %1 is already open.").arg(m_commPort));
    this->open();
}

void QtSerialPortService::open()
{
    const QString path = devicePathForPort(m_commPort);
    if (path.isEmpty())
        throw DeviceAbsent(QStringLiteral("COM %1 is not a port: the ports are COM %2 to COM %3.")
                               .arg(m_commPort)
                               .arg(kFirstPort)
                               .arg(highestPortNumber()));
    m_port.setPortName(path);
    setInstrumentLine(m_port);
    if (!m_port.open(QIODevice::ReadOnly)) {
        const auto clearError = qScopeGuard([this] { m_port.clearError(); });
        refuseOpen(m_port, QStringLiteral("COM %1 (%2)").arg(m_commPort).arg(path), path);
    }
    // A serial adapter keeps nothing that arrived before its port was opened; some versions of
    // Qt drop it here themselves, and so the tool does on all of them.
    m_port.clear(QSerialPort::Input);
    m_hangUpWatch = watchForHangUp(m_port, [this] { onDeviceGone(); });
    m_deviceLost = false;
}

void QtSerialPortService::closeDevice()
{
    m_hangUpWatch.reset();
    m_port.close();
}

qint16 QtSerialPortService::InBufferCount()
{
    const qint64 waiting = m_salvaged.size() + (m_port.isOpen() ? m_port.bytesAvailable() : 0);
    return static_cast<qint16>(std::min<qint64>(waiting, std::numeric_limits<qint16>::max()));
}

QByteArray QtSerialPortService::Input()
{
    QByteArray characters = std::exchange(m_salvaged, {});
    if (m_port.isOpen())
        takeWaiting(characters);
    // A wait of no time reads what the system already holds, or is passing on just now. Once
    // nothing more comes it ends as a timeout, which is no fault of the port.
    while (m_port.isOpen() && characters.size() < kInputBatch && m_port.waitForReadyRead(0))
        takeWaiting(characters);
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    return characters;
}

void QtSerialPortService::takeWaiting(QByteArray &characters)
{
    // Read straight to the end of what was taken before, without a buffer of its own between.
    const qsizetype taken = characters.size();
    characters.resize(taken + m_port.bytesAvailable());
    const qint64 read = m_port.read(characters.data() + taken, characters.size() - taken);
    characters.resize(taken + std::max<qint64>(read, 0));
}

bool QtSerialPortService::takeDeviceLoss()
{
    return std::exchange(m_deviceLost, false);
}

void QtSerialPortService::onError(QSerialPort::SerialPortError error)
{
    // A pulled cable shows as a ResourceError, as a storm of ReadErrors with the port still open,
    // or on Windows, by driver, as a PermissionError or an UnknownError. Whatever goes wrong with
    // an open port but a read's time running out, the device is taken as gone: what it sent is
    // kept, the user is told, and the port is opened again once it can be.
    if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
        onDeviceGone();
}

void QtSerialPortService::onDeviceGone()
{
    // Keep what the device sent, then close, which also ends any storm of errors. The user is
    // told later, from the receive loop, never from in here.
    if (!m_port.isOpen())
        return;
    m_salvaged.append(m_port.readAll());
    closeDevice();
    m_port.clearError();
    m_deviceLost = true;
}

QList<qint16> QtSerialPortService::presentPorts() const
{
    return ::presentPorts();
}

bool QtSerialPortService::probePort(qint16 port)
{
    QSerialPort probe(devicePathForPort(port));
    return probe.open(QIODevice::ReadOnly);
}

void QtSerialPortService::watchPorts(std::function<void()> onChange)
{
    m_portWatch = watchPortPresence(std::move(onChange));
}

const QList<QSerialPortInfo> &QtSerialPortService::systemPorts() const
{
    // A scan costs about 20 ms. The open list describes its ports as the pointer passes over them,
    // moments apart, so one scan serves them all, and a later look scans afresh.
    if (m_systemPortsFresh.hasExpired()) {
        m_systemPorts = QSerialPortInfo::availablePorts();
        m_systemPortsFresh.setRemainingTime(kSystemPortsLifetimeMs);
    }
    return m_systemPorts;
}

QString QtSerialPortService::describePort(qint16 port) const
{
    const QString path = devicePathForPort(port);
    const QString device = QFileInfo(path).canonicalFilePath();
    const QList<QSerialPortInfo> &ports = systemPorts();
    // Windows lists COM3 at \\.\COM3: its name is what the table gives.
    const auto info = std::find_if(ports.begin(), ports.end(), [&](const QSerialPortInfo &p) {
        return p.systemLocation() == device || p.systemLocation() == path || p.portName() == path;
    });
    QStringList parts{path};
    if (info != ports.end()) {
        for (const QString &detail : {info->description(), info->manufacturer()}) {
            if (!detail.isEmpty())
                parts << detail;
        }
    }
    return parts.join(QStringLiteral(" - "));
}
