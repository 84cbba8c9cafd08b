#include "storage/UploadFile.h"

#include "common/PlatformError.h"
#include "storage/ReplaceFile.h"

#include <QFileInfo>

void writeUploadFile(const QString &fileName, const QByteArray &upload)
{
    const QFileInfo target(fileName);
    // Root passes every write check, so the file's own write bit marks it read-only as well.
    if (target.exists() &&
        (!target.isWritable() || !target.permissions().testFlag(QFileDevice::WriteOwner)))
        throw PlatformError(QStringLiteral("The file is read-only."));
    replaceFile(fileName, upload + "\r\n");
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
