#pragma once

#include <QByteArrayView>
#include <QSaveFile>
#include <QString>

#include <memory>

// A file written whole or not at all: what is written goes to a new file beside the target, which
// takes the target's place, synced to the disk with its name, only on commit(). Until then, and
// after any failure, the target keeps its earlier content; the new file keeps the target's
// permissions. Every write is checked: a failure throws PlatformError naming the system's reason. A
// target that is there and is not a regular file (a folder, a named pipe, a socket, a device) is
// refused, never opened.
class FileOutput
{
public:
    enum class InPlace
    {
        Never,
        // Where the folder takes no new file, the old one is rewritten in place instead: a
        // settings file in a folder closed to new files may itself still be open to writing.
        WhenFolderRefuses
    };

    explicit FileOutput(const QString &path, InPlace inPlace = InPlace::Never);
    ~FileOutput();
    FileOutput(const FileOutput &) = delete;
    FileOutput &operator=(const FileOutput &) = delete;

    void write(QByteArrayView bytes);
    void commit();

private:
    [[noreturn]] void fail() const;

    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
};
