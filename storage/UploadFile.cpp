#include "storage/UploadFile.h"

#include "app/PlatformError.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

[[noreturn]] void refuse(const QString &reason)
{
    throw PlatformError(reason);
}

void writeInPlace(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        refuse(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        refuse(file.errorString());
}

} // namespace

void writeUploadFile(const QString &fileName, const QByteArray &upload)
{
    const QByteArray bytes = upload + "\r\n";
    const QFileInfo target(fileName);
    // Root passes every write check, so the file's own write bit marks it read-only as well.
    if (target.exists() &&
        (!target.isWritable() || !target.permissions().testFlag(QFileDevice::WriteOwner)))
        refuse(QStringLiteral("The file is read-only."));
    if (target.exists() && !target.isFile()) {
        // A device or pipe cannot be replaced by a renamed file; it is written as it is.
        writeInPlace(fileName, bytes);
        return;
    }
    QSaveFile file(fileName);
    // commit() ignores a failure of the final write of buffered text and would put a cut-off
    // file in place of the old one, so that write is made and checked first.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit())
        refuse(file.errorString());
}

std::optional<QString> savedFileFolder(const QString &fileName, QChar separator, bool drives)
{
    qsizetype at = fileName.lastIndexOf(separator);
    const qsizetype colon = drives ? fileName.lastIndexOf(QLatin1Char(':')) : -1;
    const bool atColon = colon > at;
    if (atColon)
        at = colon;
    if (at <= 0)
        return std::nullopt;
    return fileName.left(atColon ? at + 1 : at);
}
