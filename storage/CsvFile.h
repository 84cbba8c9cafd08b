#pragma once

#include <QByteArrayView>

class FileOutput;

// Writes the decoded upload to the file as comma-separated values (RFC 4180): a comma between
// fields, CR LF after every line. A field holding a double quote, comma, CR or LF is put in
// quotes, its quotes doubled; every other byte is written as received.
//   "12.5\tsay \"hi\"\r\n" => "12.5,\"say \"\"hi\"\"\"\r\n"
// Throws PlatformError naming the reason when writing fails.
void writeCsvFile(FileOutput &file, QByteArrayView upload);
