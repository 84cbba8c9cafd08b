#pragma once

#include <QString>

// The port numbers there can be: COM 1 to COM 16.
constexpr qint16 kFirstPort = 1;
constexpr qint16 kLastPort = 16;

// Where the port numbers 1 to 16 live on this host.
//   Windows: COM n is the device COMn.
//   Linux and other Unix systems, in /dev (or the folder BRACKENFELD_DEVICE_DIR names):
//     COM 1-8 => ttyUSB0-7, COM 9-14 => ttyACM0-5, COM 15-16 => ttyS0-1
// Any other number has no device: an empty path.
QString devicePathForPort(qint16 port);
