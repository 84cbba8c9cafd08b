#include "common/PlatformError.h"
#include "storage/FreeName.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

bool takeFreeName(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno == EEXIST)
        return false;
    // A file system that cannot rename without replacing can still make a second name, which
    // refuses a name that is taken just the same.
    if (errno != EINVAL && errno != ENOSYS)
        throw PlatformError::ofSystemError(errno);
    if (::link(source.constData(), target.constData()) != 0) {
        if (errno == EEXIST)
            return false;
        throw PlatformError::ofSystemError(errno);
    }
    ::unlink(source.constData());
    return true;
}
