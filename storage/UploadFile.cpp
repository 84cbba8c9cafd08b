#include "storage/UploadFile.h"

#include "common/PlatformError.h"
#include "storage/CsvFile.h"
#include "storage/FileOutput.h"
#include "storage/ReplaceFile.h"
#include "storage/WorkbookFile.h"

#include <QFileInfo>

namespace {

void writeTextFile(const QString &path, const QByteArray &upload)
{
    FileOutput file(path);
    file.write(upload);
    file.write("\r\n");
    file.close();
}

} // namespace

void writeUploadFile(const QString &fileName, const QByteArray &upload)
{
    const QFileInfo target(fileName);
    // Root passes every write check, so the file's own write bit marks it read-only as well.
    if (target.exists() &&
        (!target.isWritable() || !target.permissions().testFlag(QFileDevice::WriteOwner)))
        throw PlatformError(QStringLiteral("The file is read-only."));
    replaceFile(fileName, [&](const QString &path) {
        if (fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
            writeWorkbookFile(path, upload);
        else if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            writeCsvFile(path, upload);
        else
            writeTextFile(path, upload);
    });
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
