#pragma once

#include <QString>

// The lock file that keeps every program from the device although the program that made it has
// ended: one that the user may not remove, such as a run as root left behind. Qt's serial port
// takes such a file as the port being held. Empty when there is none, or where the system keeps
// no lock files (Windows).
QString abandonedLockFile(const QString &devicePath);
