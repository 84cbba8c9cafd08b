#include "storage/UploadFile.h"

#include "storage/CsvFile.h"
#include "storage/FileOutput.h"
#include "storage/WholeFile.h"
#include "storage/WorkbookFile.h"

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
    writeWholeFile(fileName, [&](const QString &path) {
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
