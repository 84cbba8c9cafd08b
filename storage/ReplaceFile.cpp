#include "storage/ReplaceFile.h"

#include "common/PlatformError.h"
#include "storage/FileOutput.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions kNewFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
    QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;

[[noreturn]] void refuse(const QString &reason)
{
    throw PlatformError(reason);
}

// A new, empty file beside the target, named after it: run1.xlsx => run1.xlsx.5f3a09c2.
QString createSibling(const QString &target, QFileDevice::Permissions permissions)
{
    for (;;) {
        const QString path =
            target + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                               QLatin1Char('0'));
        QFile file(path);
        // Created with these permissions, less the user's umask.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions))
            return path;
        if (!QFile::exists(path))
            refuse(file.errorString());
    }
}

// Before the rename, so that a crash just after it cannot leave the name on an empty file.
void syncToDisk(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        refuse(file.errorString());
    if (::fsync(file.handle()) != 0)
        refuse(qt_error_string(errno));
}

// One step that replaces the target, if there is one, with the complete new file.
void renameOver(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(from).toStdString(),
                            QFile::encodeName(to).toStdString(), error);
    if (error)
        refuse(QString::fromStdString(error.message()));
}

} // namespace

void replaceFile(const QString &fileName, const std::function<void(const QString &path)> &write,
                 InPlace inPlace)
{
    const QFileInfo target(fileName);
    const bool exists = target.exists();
    if (exists && !target.isFile()) {
        write(fileName);
        return;
    }
    const QString finalName = exists ? target.canonicalFilePath() : fileName;
    if (inPlace == InPlace::WhenFolderRefuses &&
        !QFileInfo(QFileInfo(finalName).absolutePath()).isWritable()) {
        write(finalName);
        return;
    }
    const QFileDevice::Permissions permissions =
        exists ? target.permissions() : kNewFilePermissions;
    const QString temporary = createSibling(finalName, permissions);
    try {
        // The umask took its part at creation; an existing file's permissions are kept whole.
        if (exists)
            QFile::setPermissions(temporary, permissions);
        write(temporary);
        syncToDisk(temporary);
        renameOver(temporary, finalName);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
}

void replaceFile(const QString &fileName, QByteArrayView bytes, InPlace inPlace)
{
    replaceFile(
        fileName,
        [bytes](const QString &path) {
            FileOutput file(path);
            file.write(bytes);
            file.close();
        },
        inPlace);
}
