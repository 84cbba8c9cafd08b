#include "common/PlatformError.h"
#include "storage/Folder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void makeOneFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return;
    const int error = errno;
    // Another program may have made it a moment ago; a file of that name is no folder.
    if (error == EEXIST && QFileInfo(path).isDir())
        return;
    throw PlatformError::ofSystemError(error == EEXIST ? ENOTDIR : error);
}

void syncName(const QString &path)
{
    // A name lives in the folder that holds it: only a sync of that folder puts it on the disk, as
    // databases do after a rename. The folder is read, never written, so opening it cannot block.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        throw PlatformError::ofSystemError(errno);
    const int synced = ::fsync(descriptor);
    const int error = errno;
    ::close(descriptor);
    // Some file systems keep no folder on a disk of their own and refuse the sync: nothing to do.
    if (synced != 0 && error != EINVAL && error != EROFS)
        throw PlatformError::ofSystemError(error);
}
