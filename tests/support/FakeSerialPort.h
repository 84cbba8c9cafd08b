#pragma once

#include "common/PlatformError.h"
#include "serial/SerialPortService.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <limits>

// A serial port whose devices and arriving characters the test decides. It records every open
// and close so that a test can read the port's story.
class FakeSerialPort : public SerialPortService
{
public:
    QSet<qint16> present;           // ports that open
    QMap<qint16, QString> refusing; // ports whose device is there but refuses, and why
    QList<QByteArray> reads;        // what each later poll finds waiting, one entry per poll
    QStringList log;                // "open 3", "close 3", "refused 7"
    bool lossPending = false;
    int pauses = 0; // waits before probing

    void pauseBeforeProbing() override { ++pauses; }
    void setCommPort(qint16 port) override
    {
        if (m_open)
            throw PlatformError(QStringLiteral("port is open"));
        m_commPort = port;
    }
    qint16 CommPort() const override { return m_commPort; }
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override
    {
        if (!open) {
            if (m_open)
                log << QStringLiteral("close %1").arg(m_commPort);
            m_open = false;
            return;
        }
        if (m_open || !present.contains(m_commPort)) {
            log << QStringLiteral("refused %1").arg(m_commPort);
            if (refusing.contains(m_commPort))
                throw PlatformError(refusing.value(m_commPort));
            throw DeviceAbsent(QStringLiteral("COM %1: no such device").arg(m_commPort));
        }
        m_open = true;
        log << QStringLiteral("open %1").arg(m_commPort);
    }
    qint16 InBufferCount() override
    {
        if (reads.isEmpty())
            return 0;
        return static_cast<qint16>(
            std::min<qsizetype>(reads.front().size(), std::numeric_limits<qint16>::max()));
    }
    QByteArray Input() override { return reads.isEmpty() ? QByteArray() : reads.takeFirst(); }
    bool takeDeviceLoss() override { return std::exchange(lossPending, false); }
    QString describePort(qint16 port) const override
    {
        return QStringLiteral("/dev/fake%1").arg(port);
    }
    QList<qint16> presentPorts() const override
    {
        QList<qint16> ports =
            (present + QSet<qint16>(refusing.keyBegin(), refusing.keyEnd())).values();
        std::sort(ports.begin(), ports.end());
        return ports;
    }
    bool probePort(qint16 port) override
    {
        log << QStringLiteral("probe %1").arg(port);
        return present.contains(port);
    }
    void watchPorts(std::function<void()>) override {}

    // The device goes away while open: the port closes and the loss is reported once.
    void pullCable()
    {
        m_open = false;
        lossPending = true;
        present.remove(m_commPort);
    }

private:
    qint16 m_commPort = 1;
    bool m_open = false;
};
