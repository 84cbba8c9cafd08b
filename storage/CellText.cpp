#include "storage/CellText.h"

namespace {

bool isHexDigit(char byte)
{
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'f') ||
           (byte >= 'A' && byte <= 'F');
}

// "_x0041_" and "_X0041_" at the start of the text.
bool startsWithEscape(QByteArrayView text)
{
    return text.size() >= 7 && text[0] == '_' && (text[1] == 'x' || text[1] == 'X') &&
           isHexDigit(text[2]) && isHexDigit(text[3]) && isHexDigit(text[4]) &&
           isHexDigit(text[5]) && text[6] == '_';
}

// U+FFFE and U+FFFF are EF BF BE and EF BF BF.
bool startsWithNoncharacter(QByteArrayView text)
{
    return text.size() >= 3 && text[0] == '\xEF' && text[1] == '\xBF' &&
           (text[2] == '\xBE' || text[2] == '\xBF');
}

} // namespace

CellText::Encoding CellText::encodingOf(QByteArrayView upload)
{
    return upload.isValidUtf8() ? Encoding::Utf8 : Encoding::Latin1;
}

const char *CellText::of(QByteArrayView field)
{
    m_text.clear();
    for (qsizetype at = 0; at < field.size(); ++at) {
        const auto byte = static_cast<unsigned char>(field[at]);
        const QByteArrayView rest = field.sliced(at);
        if (byte == 0) {
            m_text += "_x0000_";
        } else if (byte == '_' && startsWithEscape(rest)) {
            m_text += "_x005F_";
        } else if (m_encoding == Encoding::Latin1 && byte >= 0x80) {
            m_text += static_cast<char>(0xC0 | byte >> 6);
            m_text += static_cast<char>(0x80 | (byte & 0x3F));
        } else if (m_encoding == Encoding::Utf8 && startsWithNoncharacter(rest)) {
            m_text += rest[2] == '\xBE' ? "_xFFFE_" : "_xFFFF_";
            at += 2;
        } else {
            m_text += static_cast<char>(byte);
        }
    }
    return m_text.c_str();
}
