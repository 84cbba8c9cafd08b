#pragma once

#include "common/PlatformError.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// What an open throws when there is no device behind the port: not plugged in, or no such port.
class DeviceAbsent : public PlatformError
{
public:
    using PlatformError::PlatformError;
};

// What an open throws when another program holds the port.
class PortInUse : public PlatformError
{
public:
    using PlatformError::PlatformError;
};

// What the tool asks of its serial port, under the serial component's own names. The line
// settings are fixed: 19200 baud, 8 data bits, no parity, 1 stop bit, receive only.
// Failing operations throw PlatformError.
class SerialPortService
{
public:
    virtual ~SerialPortService() = default;

    // The plain wait before discovery probes the ports, one second on a monotonic clock, in
    // which nothing else runs: a device that was just plugged in gets its moment to appear.
    virtual void pauseBeforeProbing() = 0;

    // Selects the port that the next open uses; only while the port is closed.
    virtual void setCommPort(qint16 port) = 0;
    virtual qint16 CommPort() const = 0;

    virtual bool PortOpen() const = 0;
    // true opens port CommPort (throws when it cannot, leaving the port closed; DeviceAbsent when
    // there is no device, PortInUse when another program holds it); false closes it.
    virtual void setPortOpen(bool open) = 0;

    // Characters waiting to be read, at most 32767 however many there are.
    virtual qint16 InBufferCount() = 0;
    // Every character waiting, each received byte one character; they are removed. What the
    // system is still passing on from the device is taken too, while it keeps coming.
    virtual QByteArray Input() = 0;

    // True once after the open device went away (cable pulled, hang-up, read error). The port
    // is closed by then, and what it had received is still waiting for Input().
    virtual bool takeDeviceLoss() = 0;

    // A line naming the device behind a port number, for the port list's tooltips.
    virtual QString describePort(qint16 port) const = 0;

    // The ports whose device is there now, in ascending order, opened or not; nothing is opened
    // to tell. On Windows they may go past COM 16.
    virtual QList<qint16> presentPorts() const = 0;
    // Whether the port opens, tried on a handle of its own and closed again at once: the open
    // port is left alone.
    virtual bool probePort(qint16 port) = 0;
    // Calls onChange, moments later, whenever ports may have come or gone.
    virtual void watchPorts(std::function<void()> onChange) = 0;
};
