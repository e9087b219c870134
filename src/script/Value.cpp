#include "script/Value.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace script {

Value Value::boolean(bool b)
{
    Value v;
    v.m_v = b;
    return v;
}

Value Value::integer(std::int64_t i)
{
    Value v;
    v.m_v = i;
    return v;
}

Value Value::real(double d)
{
    Value v;
    v.m_v = d;
    return v;
}

Value Value::text(std::string s)
{
    Value v;
    v.m_v = std::move(s);
    return v;
}

Value Value::constant(std::string name)
{
    Value v;
    v.m_v = Constant{std::move(name)};
    return v;
}

Value Value::object(ObjectSpecifier specifier)
{
    Value v;
    v.m_v = std::move(specifier);
    return v;
}

namespace {
constexpr std::uint32_t fourCC(const char (&s)[5])
{
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16)
        | (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}
} // namespace

std::string Value::formatReal(double d)
{
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d < 0 ? "-Infinity" : "Infinity";
    if (d == 0.0)
        return "0.0";

    // Round to twelve significant digits first, so the choice of form sees
    // the number as it will be written (9999.9999999999 is 1.0E+4).
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific, 11);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf)); // d.dddddddddddde±xx
    std::size_t e = sci.find('e');
    std::string digits;
    digits += sci[0];
    digits.append(sci.substr(2, e - 2));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());

    std::string out = d < 0 ? "-" : "";
    bool small = exponent < -4 || (exponent == -4 && digits == "1");
    if (exponent >= 4 || small) {
        out += digits[0];
        out += '.';
        out += digits.size() > 1 ? digits.substr(1) : "0";
        out += exponent < 0 ? "E-" : "E+";
        out += std::to_string(std::abs(exponent));
    } else if (exponent >= 0) {
        std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
            out += ".0";
        } else {
            out += digits.substr(0, intDigits);
            out += '.';
            out += digits.substr(intDigits);
        }
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::uint32_t Value::typeCode() const
{
    switch (type()) {
    case Type::Missing: return 0;
    case Type::Boolean: return fourCC("bool");
    case Type::Integer: return fourCC("long");
    case Type::Real: return fourCC("doub");
    case Type::Text: return fourCC("utxt");
    case Type::Constant: return fourCC("enum");
    case Type::Object: return fourCC("obj ");
    }
    return 0;
}

std::optional<std::string> Value::stringValue() const
{
    switch (type()) {
    case Type::Boolean: return asBoolean() ? "true" : "false";
    case Type::Integer: return std::to_string(asInteger());
    case Type::Real: return formatReal(asReal());
    case Type::Text: return asText();
    case Type::Constant: return asConstant().name;
    case Type::Missing:
    case Type::Object: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace script
