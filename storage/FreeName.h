#pragma once

#include <QString>

// Gives the file at `from` the name `to` in the same folder, unless a file of that name is there,
// even one that another program made a moment ago: then it returns false and `from` stays. Throws
// PlatformError naming the system's reason for any other failure.
bool takeFreeName(const QString &from, const QString &to);
