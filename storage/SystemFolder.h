#pragma once

#include <QString>

// Whether the folder is one where the system's package manager or installer puts programs
// (/usr/bin, Program Files). A program there writes nothing beside itself, even when run by an
// administrator who could.
bool isSystemProgramFolder(const QString &folder);

// Whether the user may make files in the folder, by everything the system checks: on Windows its
// access rights as well as its attributes.
bool userMayWriteIn(const QString &folder);
