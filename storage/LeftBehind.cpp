#include "storage/LeftBehind.h"

#include "common/PlatformError.h"
#include "storage/RegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <map>

namespace {

const QString kLockSuffix = QStringLiteral(".lock");
// QSaveFile's temporary file: the target's name, a point and six letters or digits.
constexpr qsizetype kSaveFileSuffix = 7;
const QString kTemporaryPrefix = QStringLiteral("brackenfeld-");
constexpr int kNameLetters = 6;
// Names of six letters or digits rarely meet; past this many the folder is taken as refusing.
constexpr int kTemporaryNameTries = 100;
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

QString randomLetters(int count)
{
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    QString name;
    for (int letter = 0; letter < count; ++letter)
        name += letters[QRandomGenerator::global()->bounded(int(letters.size()))];
    return name;
}

} // namespace

std::unique_ptr<QLockFile> lockUnlessHeld(const QString &path)
{
    // A named pipe, socket or device was made by no program as its lock, and QLockFile reads a
    // lock that it cannot take: reading a named pipe would wait for ever.
    const FileKind kind = fileKind(path + kLockSuffix);
    if (kind != FileKind::Missing && kind != FileKind::Regular && kind != FileKind::Folder)
        QFile::remove(path + kLockSuffix);
    auto lock = std::make_unique<QLockFile>(path + kLockSuffix);
    // Only a program that has ended gives up its lock, however long it has run.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    if (lock->error() != QLockFile::LockFailedError)
        refuseLock(path);
    qint64 process = 0;
    QString host;
    QString application;
    if (lock->getLockInfo(&process, &host, &application))
        return nullptr;
    // A running program's lock is empty only for the moment between its making and its writing,
    // and that program holds it by the system's own lock meanwhile, which removal respects.
    lock->removeStaleLockFile();
    return lock->tryLock(0) ? std::move(lock) : nullptr;
}

void takeLeftBehind(
    const QString &folder, const QString &pattern, AloneFile alone,
    const std::function<void(const QString &path, std::unique_ptr<QLockFile> lock)> &ended)
{
    const QRegularExpression named(QRegularExpression::wildcardToRegularExpression(pattern));
    const QDir dir(folder);
    // Each file, with the names beside it: its lock and its temporary files.
    std::map<QString, QStringList> files;
    const QStringList names = dir.entryList(
        {pattern, pattern + kLockSuffix, pattern + QStringLiteral(".??????")}, QDir::Files);
    for (const QString &name : names) {
        if (named.match(name).hasMatch())
            files[name];
        else if (name.endsWith(kLockSuffix) &&
                 named.match(name.chopped(kLockSuffix.size())).hasMatch())
            files[name.chopped(kLockSuffix.size())] << name;
        else
            files[name.chopped(kSaveFileSuffix)] << name;
    }
    for (const auto &[name, beside] : files) {
        const QString path = dir.filePath(name);
        QDateTime lockedAt;
        if (alone == AloneFile::InUse) {
            if (!beside.contains(name + kLockSuffix))
                continue;
            // Read before the lock is taken over, which makes it anew.
            lockedAt = QFileInfo(path + kLockSuffix).lastModified();
        }
        std::unique_ptr<QLockFile> lock;
        try {
            lock = lockUnlessHeld(path);
        } catch (const PlatformError &) {
            // A folder that takes no lock file now: what is there stays for a later start.
            continue;
        }
        if (!lock)
            continue;
        for (const QString &temporary : beside) {
            const QString temporaryPath = dir.filePath(temporary);
            if (temporary.endsWith(kLockSuffix) ||
                (alone == AloneFile::InUse && QFileInfo(temporaryPath).lastModified() < lockedAt))
                continue;
            QFile::remove(temporaryPath);
        }
        ended(path, std::move(lock));
    }
}

TemporaryFile::TemporaryFile(const QString &folder, const QString &suffix)
{
    for (int tried = 0; tried < kTemporaryNameTries; ++tried) {
        const QString path =
            QDir(folder).filePath(kTemporaryPrefix + randomLetters(kNameLetters) + suffix);
        std::unique_ptr<QLockFile> lock = lockUnlessHeld(path);
        if (!lock)
            continue;
        // A file under a lock that this run holds now was left by a run that has ended, or by
        // another user where the folder is shared: made anew, or another name.
        QFile::remove(path);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path))
                continue;
            throw PlatformError(file.errorString());
        }
        m_path = path;
        m_lock = std::move(lock);
        return;
    }
    throw PlatformError(QStringLiteral("No free name for a temporary file is left in %1.")
                            .arg(QDir::toNativeSeparators(folder)));
}

TemporaryFile::~TemporaryFile()
{
    QFile::remove(m_path);
}

void TemporaryFile::removeLeftBehind(const QString &folder, const QString &suffix)
{
    takeLeftBehind(folder, kTemporaryPrefix + QString(kNameLetters, u'?') + suffix,
                   AloneFile::LeftBehind,
                   [](const QString &path, std::unique_ptr<QLockFile>) { QFile::remove(path); });
}
