#pragma once

#include <QString>

// Whether the folder is one where the system's package manager or installer puts programs
// (/usr/bin, Program Files). A program there writes nothing beside itself, even when run by an
// administrator who could.
bool isSystemProgramFolder(const QString &folder);
