#pragma once

#include <QString>

// The port numbers that discovery probes: COM 1 to COM 16.
constexpr qint16 kFirstPort = 1;
constexpr qint16 kLastPort = 16;

// The highest port number that has a device: COM 16, but COM 256 on Windows, which gives each new
// serial adapter the next free number, so that a PC that met many has COM 17, COM 40 ...
qint16 highestPortNumber();

// Where the port numbers live on this host.
//   Windows: COM n is the device COMn, from COM 1 to COM 256.
//   Linux and other Unix systems, in /dev (or the folder BRACKENFELD_DEVICE_DIR names):
//     COM 1-8 => ttyUSB0-7, COM 9-14 => ttyACM0-5, COM 15-16 => ttyS0-1
// Any other number has no device: an empty path.
QString devicePathForPort(qint16 port);
