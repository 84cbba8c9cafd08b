#pragma once

#include <QFile>
#include <QString>

// What a path names, a link being taken for what it leads to.
enum class FileKind
{
    Missing,
    Regular,
    Folder,
    NamedPipe,
    Socket,
    Device
};
FileKind fileKind(const QString &path);
// "a regular file", "a folder", "a named pipe (FIFO)", "a socket", "a device".
QString kindName(FileKind kind);

// Only regular files are read or replaced: reading a named pipe waits for a writer that may never
// come, and a device or a socket is no file to keep readings in. Throws PlatformError saying what
// the file at `path` is when it is there and is not one:
//   "uploader.cfg is not a regular file but a named pipe (FIFO)."
void refuseIfNotRegular(const QString &path);
// The same for a file whose kind is known.
void refuseIfNotRegular(const QString &path, FileKind kind);

// Opens the file for reading when it is a regular file, in a way that cannot block whatever it
// is. Throws PlatformError naming the reason, as refuseIfNotRegular does for what is not one.
void openRegularFile(QFile &file);
