#pragma once

#include <QString>

// The port number under which the tool lists a device of that file name (ttyUSB2 => 3), or 0 if
// it lists none.
qint16 portNumberForDeviceName(const QString &name);

// One line for the technician: where the stand-in device is, and how the tool finds it.
QString describeLink(const QString &linkPath, const QString &devicePath);
