#pragma once

#include <QString>

// Whether the workbook at the path was written whole. libxlsxwriter writes each part of it to a
// temporary file first and does not check those writes, so a full temporary folder gives a
// cut-off workbook that it reports as written. Read back, a whole one is a zip whose XML parts
// each end with the end tag of the element they open with, and whose sheet holds `cells` cells.
bool workbookIsWhole(const QString &path, qsizetype cells);
