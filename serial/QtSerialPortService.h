#pragma once

#include "serial/SerialPortService.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <chrono>
#include <memory>
#include <optional>

// The serial port on QSerialPort, opened read-only at 19200 8N1 without flow control.
class QtSerialPortService : public QObject, public SerialPortService
{
    Q_OBJECT

public:
    // probePause: the wait before discovery probes the ports, counted the first time from
    // firstPauseFrom; tests that are not about it shorten it.
    explicit QtSerialPortService(
        std::chrono::milliseconds probePause = std::chrono::seconds(1),
        std::chrono::steady_clock::time_point firstPauseFrom = std::chrono::steady_clock::now(),
        QObject *parent = nullptr);

    void pauseBeforeProbing() override;
    void setCommPort(qint16 port) override;
    qint16 CommPort() const override { return m_commPort; }
    bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;
    qint16 InBufferCount() override;
    QByteArray Input() override;
    bool takeDeviceLoss() override;
    QString describePort(qint16 port) const override;
    QList<qint16> presentPorts() const override;
    bool probePort(qint16 port) override;
    void watchPorts(std::function<void()> onChange) override;

private:
    void open();
    void closeDevice();
    // Appends what the port holds to the characters.
    void takeWaiting(QByteArray &characters);
    void onError(QSerialPort::SerialPortError error);
    void onDeviceGone();
    const QList<QSerialPortInfo> &systemPorts() const;

    QSerialPort m_port;
    std::unique_ptr<QObject> m_hangUpWatch;
    std::unique_ptr<QObject> m_portWatch;
    std::chrono::milliseconds m_probePause;
    std::optional<std::chrono::steady_clock::time_point> m_firstProbesFrom;
    qint16 m_commPort = 1;
    // What the port had received when its device went away, kept for the next Input.
    QByteArray m_salvaged;
    bool m_deviceLost = false;
    // The system's list of serial ports, from the last scan, and how long it may serve.
    mutable QList<QSerialPortInfo> m_systemPorts;
    mutable QDeadlineTimer m_systemPortsFresh{0};
};
