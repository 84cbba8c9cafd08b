#include "storage/PlainNumber.h"

#include <charconv>

namespace {

constexpr int kMostSignificantDigits = 15;

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

} // namespace

std::optional<double> plainNumber(QByteArrayView field)
{
    const char *const begin = field.data();
    const char *const end = begin + field.size();
    const char *at = begin;
    const auto skipDigits = [&] {
        const char *const first = at;
        while (at != end && isDigit(*at))
            ++at;
        return at - first;
    };

    if (at != end && *at == '-')
        ++at;
    const char *const integer = at;
    const auto integerDigits = skipDigits();
    if (integerDigits == 0 || (integerDigits > 1 && *integer == '0'))
        return std::nullopt;
    if (at != end && *at == '.') {
        ++at;
        if (skipDigits() == 0)
            return std::nullopt;
    }
    const char *const mantissaEnd = at;
    if (at != end && (*at == 'e' || *at == 'E')) {
        ++at;
        if (at != end && (*at == '+' || *at == '-'))
            ++at;
        if (skipDigits() == 0)
            return std::nullopt;
    }
    if (at != end)
        return std::nullopt;

    // Leading zeros are not significant: 0.000125 has three significant digits.
    int significant = 0;
    bool leading = true;
    for (const char *digit = integer; digit != mantissaEnd; ++digit) {
        if (!isDigit(*digit) || (leading && *digit == '0'))
            continue;
        leading = false;
        ++significant;
    }
    if (significant > kMostSignificantDigits)
        return std::nullopt;

    // from_chars reads the C locale's format whatever the user's locale: 12.345 is never 12345.
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}
