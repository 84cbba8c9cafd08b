#pragma once

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>

#include <optional>

// The types that a whole upload is written in, as the file dialog names them, .xls first.
struct UploadFileType
{
    QString description; // "XLS Files (*.xls)"
    QString suffix;      // ".xls"
};
inline const QList<UploadFileType> kUploadFileTypes = {
    {QStringLiteral("XLS Files (*.xls)"), QStringLiteral(".xls")},
    {QStringLiteral("Excel Workbook (*.xlsx)"), QStringLiteral(".xlsx")},
    {QStringLiteral("CSV (*.csv)"), QStringLiteral(".csv")},
};

// Writes the decoded upload to the file in the format its name asks for, in any case: .xlsx an
// Excel workbook, .csv comma-separated values, any other name the upload as it stands with one
// CR LF after it. The file is replaced only by a whole new one, so a failed save leaves an
// earlier file as it was. A read-only file is refused. Throws PlatformError naming the reason.
void writeUploadFile(const QString &fileName, const QByteArray &upload);

// Removes the workbooks that runs which have ended left in the temporary folder, on their way to
// the file that they were saved to.
void removeLeftBehindWorkbooks();

// The folder that the file dialog moves to after a save: everything before the last separator,
// or up to and including the last colon where paths have drive letters, whichever is later.
// A separator in first place, or none at all, leaves the folder as it was: no value.
//   C:\Data\run1.xls => C:\Data, C:\run1.xls => C:, C:run1.xls => C:, \run1.xls => none
std::optional<QString> savedFileFolder(const QString &fileName, QChar separator, bool drives);
