#include "storage/RegularFile.h"

#include "common/PlatformError.h"

#include <QFileInfo>

QString kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Missing:
        return QStringLiteral("nothing");
    case FileKind::Regular:
        return QStringLiteral("a regular file");
    case FileKind::Folder:
        return QStringLiteral("a folder");
    case FileKind::NamedPipe:
        return QStringLiteral("a named pipe (FIFO)");
    case FileKind::Socket:
        return QStringLiteral("a socket");
    case FileKind::Device:
        return QStringLiteral("a device");
    }
    return {};
}

void refuseIfNotRegular(const QString &path)
{
    refuseIfNotRegular(path, fileKind(path));
}

void refuseIfNotRegular(const QString &path, FileKind kind)
{
    if (kind != FileKind::Missing && kind != FileKind::Regular)
        throw PlatformError(QStringLiteral("%1 is not a regular file but %2.")
                                .arg(QFileInfo(path).fileName(), kindName(kind)));
}
