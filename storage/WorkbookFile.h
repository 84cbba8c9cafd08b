#pragma once

#include <QByteArrayView>
#include <QString>

// Writes the decoded upload to the file as an Excel workbook of one sheet: a row for each line,
// a cell for each field. A plain decimal number becomes a number cell, any other field a text
// cell, an empty field no cell. The rows go to disk as they are made, so a large upload is not
// held twice. Throws PlatformError naming the reason when writing fails, or when the upload does
// not fit a sheet.
void writeWorkbookFile(const QString &path, QByteArrayView upload);
