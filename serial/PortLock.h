#pragma once

#include <QString>

// Where Qt's serial port keeps the device's lock file, found as it finds it: in the first of the
// system's lock folders that the user may read, where the file is there already or the user may
// write. Empty where no folder serves, or where the system keeps no lock files (Windows).
QString portLockFile(const QString &devicePath);

// Why a device that is there refused to open with a permission error, when it is not simply held
// by another program: where the user may not open the device, that and the advice that lets them;
// where a lock file that a program which has ended left blocks it, that file. It is the rest of a
// sentence that begins with the port's name (": permission denied. ..."), or empty. Windows has
// no such permissions or files: a port there refuses only while another program holds it.
QString permissionRefusal(const QString &devicePath);
