#include "storage/LeftBehind.h"

#include "common/PlatformError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

const QString kLockSuffix = QStringLiteral(".lock");
const QString kTemporaryPrefix = QStringLiteral("brackenfeld-");
// As much as a lock file holds.
constexpr qint64 kProbeBytes = 256;

// QLockFile does not say why it made no lock; a file made and written the same way does.
[[noreturn]] void refuseLock(const QString &path)
{
    QTemporaryFile probe(QFileInfo(path).absolutePath() + QLatin1Char('/') + kTemporaryPrefix +
                         QStringLiteral("XXXXXX.probe"));
    if (probe.open() && probe.write(QByteArray(kProbeBytes, '\n')) == kProbeBytes && probe.flush())
        throw PlatformError(QStringLiteral("Its lock file %1 cannot be made.")
                                .arg(QDir::toNativeSeparators(path + kLockSuffix)));
    throw PlatformError(probe.errorString());
}

} // namespace

std::unique_ptr<QLockFile> lockUnlessHeld(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path + kLockSuffix);
    // Only a program that has ended gives up its lock, however long it has run.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    if (lock->error() != QLockFile::LockFailedError)
        refuseLock(path);
    return nullptr;
}
