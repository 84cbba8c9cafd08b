#include "upload/LenientNumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// Walks the text while skipping the characters that never interrupt a number.
class NumberCursor
{
public:
    explicit NumberCursor(QByteArrayView text) : m_text(text) { skipBlanks(); }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    void advance()
    {
        ++m_pos;
        skipBlanks();
    }
    // Takes the character c, or its capital when c is a lower-case letter.
    bool accept(char c)
    {
        const char next = peek();
        const bool letter = c >= 'a' && c <= 'z';
        if (next != c && !(letter && next == c - 'a' + 'A'))
            return false;
        advance();
        return true;
    }

private:
    void skipBlanks()
    {
        while (!atEnd() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n'))
            ++m_pos;
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
};

bool isDigit(char c, int radix)
{
    if (radix == 16)
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
    return c >= '0' && c < '0' + radix;
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

double readRadixNumber(NumberCursor &cursor, int radix)
{
    double value = 0;
    while (isDigit(cursor.peek(), radix)) {
        value = value * radix + digitValue(cursor.peek());
        cursor.advance();
    }
    return value;
}

void copyDigits(NumberCursor &cursor, std::string &out)
{
    while (isDigit(cursor.peek(), 10)) {
        out += cursor.peek();
        cursor.advance();
    }
}

} // namespace

double lenientNumber(QByteArrayView text)
{
    NumberCursor cursor(text);
    if (cursor.accept('&')) {
        if (cursor.accept('h'))
            return readRadixNumber(cursor, 16);
        if (cursor.accept('o'))
            return readRadixNumber(cursor, 8);
        return 0;
    }

    // Gather the number without the skipped blanks, then let from_chars (which ignores the
    // locale) do the exact conversion.
    std::string number;
    if (cursor.peek() == '-' || cursor.peek() == '+') {
        if (cursor.peek() == '-')
            number += '-';
        cursor.advance();
    }
    copyDigits(cursor, number);
    if (cursor.peek() == '.') {
        number += '.';
        cursor.advance();
        copyDigits(cursor, number);
    }
    if (number.find_first_of("0123456789") == std::string::npos)
        return 0;
    if (cursor.peek() == 'e' || cursor.peek() == 'E') {
        std::string exponent = "e";
        cursor.advance();
        if (cursor.peek() == '-' || cursor.peek() == '+') {
            exponent += cursor.peek();
            cursor.advance();
        }
        const auto digitsFrom = exponent.size();
        copyDigits(cursor, exponent);
        if (exponent.size() > digitsFrom)
            number += exponent;
    }

    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large for a double: an exponent like e999. Very small values underflow to 0.
        const bool huge = number.find("e-") == std::string::npos;
        const double magnitude = huge ? HUGE_VAL : 0.0;
        return number.front() == '-' ? -magnitude : magnitude;
    }
    return value;
}

std::optional<std::int64_t> lenientWholeNumber(QByteArrayView text, std::int64_t minimum,
                                               std::int64_t maximum)
{
    // nearbyint rounds in the default mode, to nearest with halves to even: 2.5 => 2, 3.5 => 4.
    const double rounded = std::nearbyint(lenientNumber(text));
    if (!(rounded >= static_cast<double>(minimum) && rounded <= static_cast<double>(maximum)))
        return std::nullopt;
    return static_cast<std::int64_t>(rounded);
}
