#pragma once

#include <QString>

// Makes the folder, and every folder above it that is missing. Throws PlatformError naming the
// system's reason ("Permission denied", "No space left on device") when one cannot be made.
void makeFolder(const QString &path);
// Makes the one folder, whose parent is there. Throws PlatformError naming the system's reason.
void makeOneFolder(const QString &path);

// Puts the name that the file at `path` has just been given on the disk, so that a power cut
// cannot take the name back once the file's content is synced: anything that relies on the new
// file, such as removing the copy it replaces, comes after this. Throws PlatformError naming the
// system's reason.
void syncName(const QString &path);
