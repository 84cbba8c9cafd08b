#include "common/PlatformError.h"
#include "storage/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISFIFO(mode))
        return FileKind::NamedPipe;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Device;
}

} // namespace

FileKind fileKind(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return FileKind::Missing;
    return kindOf(status.st_mode);
}

void openRegularFile(QFile &file)
{
    // Without waiting: opening a named pipe for reading would wait for a writer, and a terminal
    // device would become the controlling one.
    const int descriptor = ::open(QFile::encodeName(file.fileName()).constData(),
                                  O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        throw PlatformError::ofSystemError(errno);
    struct stat status = {};
    const bool known = ::fstat(descriptor, &status) == 0;
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (!known || !S_ISREG(status.st_mode) || flags < 0 ||
        ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const int error = errno;
        ::close(descriptor);
        if (known)
            refuseIfNotRegular(file.fileName(), kindOf(status.st_mode));
        throw PlatformError::ofSystemError(error);
    }
}
