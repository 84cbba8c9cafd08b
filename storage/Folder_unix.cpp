#include "common/PlatformError.h"
#include "storage/Folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void failWith(int error)
{
    throw PlatformError(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

void makeFolder(const QString &path)
{
    const QFileInfo folder(QDir::cleanPath(QDir(path).absolutePath()));
    if (folder.isDir())
        return;
    // The root is always there, so this goes up at most as far as the path is deep.
    makeFolder(folder.path());
    if (::mkdir(QFile::encodeName(folder.filePath()).constData(), 0777) != 0 &&
        !(errno == EEXIST && folder.isDir()))
        failWith(errno == EEXIST ? ENOTDIR : errno);
}

void syncName(const QString &path)
{
    // A name lives in the folder that holds it: only a sync of that folder puts it on the disk, as
    // databases do after a rename. The folder is read, never written, so opening it cannot block.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        failWith(errno);
    const int synced = ::fsync(descriptor);
    const int error = errno;
    ::close(descriptor);
    // Some file systems keep no folder on a disk of their own and refuse the sync: nothing to do.
    if (synced != 0 && error != EINVAL && error != EROFS)
        failWith(error);
}
