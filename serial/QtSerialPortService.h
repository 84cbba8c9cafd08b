#pragma once

#include "serial/SerialPortService.h"

#include <QObject>
#include <QSerialPort>

// The serial port on QSerialPort, opened read-only at 19200 8N1 without flow control.
class QtSerialPortService : public QObject, public SerialPortService
{
    Q_OBJECT

public:
    explicit QtSerialPortService(QObject *parent = nullptr);

    void setCommPort(qint16 port) override;
    qint16 CommPort() const override { return m_commPort; }
    bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;
    qint16 InBufferCount() override;
    QByteArray Input() override;
    bool takeDeviceLoss() override;
    QString describePort(qint16 port) const override;

private:
    void open();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    qint16 m_commPort = 1;
    // What the port had received when its device went away, kept for the next Input.
    QByteArray m_salvaged;
    bool m_deviceLost = false;
};
