#include "storage/CsvFile.h"

#include "storage/FileOutput.h"
#include "storage/UploadTable.h"

#include <QByteArray>

#include <algorithm>

namespace {

// The text goes to the file in pieces of about this size, so that it is never held twice.
constexpr qsizetype kPieceBytes = 1 << 20;

void appendField(QByteArray &out, QByteArrayView field)
{
    const bool quoted = std::any_of(field.begin(), field.end(), [](char byte) {
        return byte == '"' || byte == ',' || byte == '\r' || byte == '\n';
    });
    if (!quoted) {
        out.append(field);
        return;
    }
    out += '"';
    for (const char byte : field) {
        if (byte == '"')
            out += '"';
        out += byte;
    }
    out += '"';
}

} // namespace

void writeCsvFile(FileOutput &file, QByteArrayView upload)
{
    QByteArray piece;
    piece.reserve(kPieceBytes + kPieceBytes / 4);
    const auto writeIfFull = [&] {
        if (piece.size() >= kPieceBytes) {
            file.write(piece);
            piece.resize(0);
        }
    };
    forEachField(
        upload,
        [&](qsizetype, qsizetype column, QByteArrayView field) {
            if (column > 0)
                piece += ',';
            appendField(piece, field);
            writeIfFull();
        },
        [&](qsizetype) {
            piece += "\r\n";
            writeIfFull();
        });
    file.write(piece);
}
