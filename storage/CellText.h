#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <string>

// Windows-1252 text in UTF-8, each byte read as a text cell reads it: "caf\xE9" => "café".
QByteArray utf8OfWindows1252(QByteArrayView text);

// The text of a text cell, in the UTF-8 that libxlsxwriter takes. An upload that is valid UTF-8
// throughout is read as UTF-8; any other is read byte by byte as Windows-1252, the code page of
// the PCs the instruments come from, so no byte is lost: 0x80 => "€", 0xE9 => "é". The five bytes
// that the code page leaves undefined read as the Latin-1 control characters: 0x81 => U+0081.
// What the cell's XML cannot carry goes in the spreadsheet's escape _xHHHH_: NUL and the
// noncharacters U+FFFE and U+FFFF (libxlsxwriter escapes the other control characters itself),
// and the underscore of text that reads as such an escape, so that it stays as it was:
//   "_x0041_" => "_x005F_x0041_", read back as "_x0041_" rather than "A"
class CellText
{
public:
    enum class Encoding
    {
        Utf8,
        Windows1252
    };
    static Encoding encodingOf(QByteArrayView upload);

    explicit CellText(Encoding encoding) : m_encoding(encoding) {}

    // NUL-terminated, valid until the next call.
    const char *of(QByteArrayView field);

private:
    Encoding m_encoding;
    std::string m_text;
};
