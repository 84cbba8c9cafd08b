#pragma once

#include "serial/SerialPortService.h"

#include <QList>

struct PortSurvey
{
    // The ports that opened, in ascending order.
    QList<qint16> opened;
    // Why the first port whose device is there did not open ("permission denied"); empty when
    // every device there opened.
    QString firstRefusal;
};

// Probes COM 1 to COM 16, then each higher port among those present (Windows numbers adapters
// past COM 16). A port counts only when both choosing it and opening it succeed; any failure
// while probing it counts as its absence, and the probing goes on. The port is closed before the
// first probe and after the last.
PortSurvey probePorts(SerialPortService &port, const QList<qint16> &present);
