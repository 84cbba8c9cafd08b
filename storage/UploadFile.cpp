#include "storage/UploadFile.h"

#include "common/PlatformError.h"
#include "storage/CsvFile.h"
#include "storage/FileOutput.h"
#include "storage/LeftBehind.h"
#include "storage/WorkbookFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 kCopyPiece = 1 << 20;
const QString kWorkbookSuffix = QStringLiteral(".xlsx");

// A failure of the temporary folder, which is not the one that the user chose.
PlatformError inTemporaryFolder(const QString &reason)
{
    return PlatformError(
        QStringLiteral("The workbook could not be made in the temporary folder %1:\n%2")
            .arg(QDir::toNativeSeparators(QDir::tempPath()), reason));
}

// libxlsxwriter writes a workbook only to a path of its own: it is made in a temporary file and
// then copied into the output. Compressed, it is a fraction of the upload's size.
void writeWorkbook(FileOutput &file, QByteArrayView upload)
{
    std::optional<TemporaryFile> made;
    QFile workbook;
    try {
        made.emplace(QDir::tempPath(), kWorkbookSuffix);
        writeWorkbookFile(made->fileName(), upload);
        workbook.setFileName(made->fileName());
        if (!workbook.open(QIODevice::ReadOnly))
            throw PlatformError(workbook.errorString());
    } catch (const DoesNotFitASheet &) {
        throw;
    } catch (const PlatformError &error) {
        throw inTemporaryFolder(error.message());
    }
    while (!workbook.atEnd()) {
        const QByteArray piece = workbook.read(kCopyPiece);
        if (piece.isEmpty())
            throw inTemporaryFolder(workbook.errorString());
        file.write(piece);
    }
}

} // namespace

void writeUploadFile(const QString &fileName, const QByteArray &upload)
{
    const QFileInfo target(fileName);
    // Root passes every write check, so the file's own write bit marks it read-only as well.
    if (target.isFile() &&
        (!target.isWritable() || !target.permissions().testFlag(QFileDevice::WriteOwner)))
        throw PlatformError(QStringLiteral("The file is read-only."));
    FileOutput file(fileName);
    if (fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        writeWorkbook(file, upload);
    } else if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        writeCsvFile(file, upload);
    } else {
        file.write(upload);
        file.write("\r\n");
    }
    file.commit();
}

void removeLeftBehindWorkbooks()
{
    TemporaryFile::removeLeftBehind(QDir::tempPath(), kWorkbookSuffix);
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
