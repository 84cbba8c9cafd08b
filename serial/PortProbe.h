#pragma once

#include "serial/SerialPortService.h"

#include <QList>

// The ports among COM 1 to COM 16 that open, in ascending order. A port counts only when both
// choosing it and opening it succeed; any failure while probing it counts as its absence, and
// the probing goes on. The port is closed before the first probe and after the last.
QList<qint16> probePorts(SerialPortService &port);
