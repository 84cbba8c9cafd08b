#include "storage/CsvFile.h"

#include "storage/CellText.h"
#include "storage/FileOutput.h"
#include "storage/UploadTable.h"

#include <QByteArray>

#include <algorithm>

namespace {

// The text goes to the file in pieces of about this size, so that it is never held twice.
constexpr qsizetype kPieceBytes = 1 << 20;

// The byte-order mark by which spreadsheets know UTF-8.
constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF");

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

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
    const bool ascii = isAscii(upload);
    const bool windows1252 =
        !ascii && CellText::encodingOf(upload) == CellText::Encoding::Windows1252;
    QByteArray piece;
    piece.reserve(kPieceBytes + kPieceBytes / 4);
    if (!ascii)
        piece += kUtf8Mark;
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
            if (windows1252)
                appendField(piece, utf8OfWindows1252(field));
            else
                appendField(piece, field);
            writeIfFull();
        },
        [&](qsizetype) {
            piece += "\r\n";
            writeIfFull();
        });
    file.write(piece);
}
