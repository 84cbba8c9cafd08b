#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// A file that a run of the program is making or keeps is held by a lock file beside it, its path
// with ".lock" added, for as long as the run lives. QLockFile writes the run's process into it, so
// that the lock of a run that has ended is known as such however long the run lasted, and taken
// over.

// The lock of the file at `path`, when no running program holds it: the program that did has
// ended, or there was none. Null while a running program holds it. Throws PlatformError naming the
// system's reason when the folder takes no lock file.
std::unique_ptr<QLockFile> lockUnlessHeld(const QString &path);
