#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

// A file that a run of the program is making or keeps is held by a lock file beside it, its path
// with ".lock" added, for as long as the run lives. QLockFile writes the run's process into it, so
// that the lock of a run that has ended is known as such however long the run lasted, and taken
// over. A run killed while it made the file leaves the lock behind, and may leave the file, and
// QSaveFile's temporary files on their way to its name (its path with ".XXXXXX" added).

// The lock of the file at `path`, when no running program holds it: the program that did has
// ended, or there was none. A lock that names no program (never written whole, or no regular file)
// counts as ended too. Null while a running program holds it. Throws PlatformError naming the
// system's reason when the folder takes no lock file.
std::unique_ptr<QLockFile> lockUnlessHeld(const QString &path);

// What a file of a run that has ended, with nothing beside it, is.
enum class AloneFile
{
    // It was left behind as well: an upload kept until saved, a temporary file.
    LeftBehind,
    // It is in use: the settings file, which every run writes under its lock. Names beside it go
    // only when a write of it was cut off, leaving its lock, and only those no older than that
    // lock: a user's own copy, "uploader.cfg.backup", has such a name too.
    InUse
};

// Goes through the files named by `pattern` in the folder, and those beside where one was made,
// and takes over those of runs that have ended: their temporary files and locks are removed, and
// `ended` gets each file's path and its lock, held by this run now (what it does not keep goes);
// the file may be gone. Those of runs still running are left alone, as are any that cannot be
// locked. Files are taken in the order of their names.
void takeLeftBehind(
    const QString &folder, const QString &pattern, AloneFile alone,
    const std::function<void(const QString &path, std::unique_ptr<QLockFile> lock)> &ended);

// A temporary file of this run in the folder, "brackenfeld-XXXXXX" and the suffix, held by its
// lock from before it is made until it goes with the object, so that a later start tells it from
// another running copy's and removes it once this run has ended.
class TemporaryFile
{
public:
    // Throws PlatformError naming the system's reason.
    TemporaryFile(const QString &folder, const QString &suffix);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    QString fileName() const { return m_path; }

    // Removes what runs that have ended left of these, of the suffix, in the folder.
    static void removeLeftBehind(const QString &folder, const QString &suffix);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
