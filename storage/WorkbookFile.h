#pragma once

#include "common/PlatformError.h"

#include <QByteArrayView>
#include <QString>

// The upload does not fit a sheet: more lines, fields or characters than one holds.
class DoesNotFitASheet : public PlatformError
{
public:
    using PlatformError::PlatformError;
};

// Writes the decoded upload to the file as an Excel workbook of one sheet: a row for each line,
// a cell for each field. A plain decimal number becomes a number cell, any other field a text
// cell, an empty field no cell. The rows go to disk as they are made, so a large upload is not
// held twice. Throws DoesNotFitASheet when the upload does not fit a sheet, and PlatformError
// naming the reason when writing fails, here or in the temporary folder that the rows go to first.
void writeWorkbookFile(const QString &path, QByteArrayView upload);
