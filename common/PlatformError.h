#pragma once

#include <QString>
#include <QtGlobal>

#include <stdexcept>

// A failed call on the platform (serial port, file, dialog). Procedures that guard a call catch it;
// anywhere else it reaches the window, which reports what failed and ends the program.
class PlatformError : public std::runtime_error
{
public:
    explicit PlatformError(const QString &what) : std::runtime_error(what.toStdString()) {}

    QString message() const { return QString::fromStdString(what()); }

    // The system's reason for a failed call: errno's on Unix, GetLastError()'s on Windows.
    static PlatformError ofSystemError(int code) { return PlatformError(qt_error_string(code)); }
};
