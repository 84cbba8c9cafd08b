#include "common/PlatformError.h"
#include "storage/RegularFile.h"

#include <QFileInfo>

FileKind fileKind(const QString &path)
{
    // Windows keeps no named pipes or sockets among files; what is there and neither a file nor a
    // folder is a device, such as NUL or COM1.
    const QFileInfo info(path);
    if (!info.exists())
        return FileKind::Missing;
    if (info.isDir())
        return FileKind::Folder;
    return info.isFile() ? FileKind::Regular : FileKind::Device;
}

void openRegularFile(QFile &file)
{
    refuseIfNotRegular(file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        throw PlatformError(file.errorString());
}
