#pragma once

#include <QByteArrayView>

class FileOutput;

// Writes the decoded upload to the file as comma-separated values (RFC 4180): a comma between
// fields, CR LF after every line. A field holding a double quote, comma, CR or LF is put in
// quotes, its quotes doubled.
//   "12.5\tsay \"hi\"\r\n" => "12.5,\"say \"\"hi\"\"\"\r\n"
// An upload of ASCII alone is written byte for byte. Any other is written as UTF-8 after a
// byte-order mark, as Excel's "CSV UTF-8" is, so that spreadsheets read its accents right: its
// text is read as UTF-8 when it is valid UTF-8 and as Windows-1252 otherwise, as a workbook's is.
//   "caf\xE9" => "\xEF\xBB\xBFcaf\xC3\xA9\r\n"
// Throws PlatformError naming the reason when writing fails.
void writeCsvFile(FileOutput &file, QByteArrayView upload);
