#include "script/TextNumbers.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cfloat>

namespace script {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view skipBlanks(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

// Splits off an optional sign; returns true for '-'.
bool takeSign(std::string_view& s)
{
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        bool negative = s[0] == '-';
        s.remove_prefix(1);
        return negative;
    }
    return false;
}

// Which way a literal that from_chars finds out of range went: its decimal
// magnitude is the place of the first significant digit plus the exponent.
bool overflows(std::string_view literal)
{
    std::size_t e = literal.find_first_of("eE");
    std::string_view mantissa = literal.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view x = literal.substr(e + 1);
        bool negative = takeSign(x);
        for (char c : x) {
            if (!isDigit(c))
                break;
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (c - '0');
        }
        if (negative)
            exponent = -exponent;
    }
    long long place = 0; // decimal place of the first significant digit
    std::size_t dot = mantissa.find('.');
    std::size_t intEnd = dot == std::string_view::npos ? mantissa.size() : dot;
    std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos)
        return false; // zero never overflows
    if (first < intEnd)
        place = static_cast<long long>(intEnd - first) - 1;
    else
        place = -static_cast<long long>(first - intEnd);
    return place + exponent > 0;
}

// Longest prefix of s that reads as an unsigned decimal number; empty if
// none does.
std::string_view numberPrefix(std::string_view s)
{
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fraction = 0;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return {};
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return s.substr(0, i);
}

} // namespace

double decimalToDouble(std::string_view literal)
{
    double value = 0.0;
    auto [end, ec] = std::from_chars(literal.data(), literal.data() + literal.size(), value, std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range)
        return overflows(literal) ? HUGE_VAL : 0.0;
    if (ec != std::errc())
        return 0.0;
    return value;
}

int intValue(std::string_view text)
{
    std::string_view s = skipBlanks(text);
    bool negative = takeSign(s);
    long long value = 0;
    for (char c : s) {
        if (!isDigit(c))
            break;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return negative ? INT_MIN : INT_MAX;
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int intValue(const std::optional<std::string>& text)
{
    return text ? intValue(std::string_view(*text)) : 0;
}

double doubleValue(std::string_view text)
{
    std::string_view s = skipBlanks(text);
    bool negative = takeSign(s);
    std::string_view literal = numberPrefix(s);
    if (literal.empty())
        return 0.0;
    double value = decimalToDouble(literal);
    return negative ? -value : value;
}

double doubleValue(const std::optional<std::string>& text)
{
    return text ? doubleValue(std::string_view(*text)) : 0.0;
}

float floatValue(std::string_view text)
{
    double d = doubleValue(text);
    // Out-of-range conversions to float are undefined; clamp as overflow.
    if (d > FLT_MAX)
        return HUGE_VALF;
    if (d < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(d);
}

float floatValue(const std::optional<std::string>& text)
{
    return text ? floatValue(std::string_view(*text)) : 0.0f;
}

} // namespace script
