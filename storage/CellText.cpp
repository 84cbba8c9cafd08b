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

// Bytes 0x80 to 0x9F in Windows-1252, from "€" to "Ÿ"; from 0xA0 on it agrees with Latin-1.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // € ‚ ƒ „ … † ‡
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // ˆ ‰ Š ‹ Œ Ž
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // ‘ ’ “ ” • – —
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // ˜ ™ š › œ ž Ÿ
};

// A character from U+0080 to U+FFFF: two or three bytes.
template <typename Text> void appendUtf8(Text &text, char16_t code)
{
    if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
    } else {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    }
    text += static_cast<char>(0x80 | (code & 0x3F));
}

char16_t windows1252Code(unsigned char byte)
{
    return byte < 0xA0 ? kWindows1252[byte - 0x80] : char16_t(byte);
}

} // namespace

QByteArray utf8OfWindows1252(QByteArrayView text)
{
    QByteArray utf8;
    utf8.reserve(text.size());
    for (const char byte : text) {
        if (static_cast<unsigned char>(byte) < 0x80)
            utf8 += byte;
        else
            appendUtf8(utf8, windows1252Code(static_cast<unsigned char>(byte)));
    }
    return utf8;
}

CellText::Encoding CellText::encodingOf(QByteArrayView upload)
{
    return upload.isValidUtf8() ? Encoding::Utf8 : Encoding::Windows1252;
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
        } else if (m_encoding == Encoding::Windows1252 && byte >= 0x80) {
            appendUtf8(m_text, windows1252Code(byte));
        } else if (m_encoding == Encoding::Utf8 && startsWithNoncharacter(rest)) {
            m_text += rest[2] == '\xBE' ? "_xFFFE_" : "_xFFFF_";
            at += 2;
        } else {
            m_text += static_cast<char>(byte);
        }
    }
    return m_text.c_str();
}
