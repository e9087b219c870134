#include "script/Value.h"

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

Value Value::object(ObjectSpecifier spec)
{
    Value v;
    v.m_v = std::move(spec);
    return v;
}

namespace {
constexpr std::uint32_t fourCC(const char (&s)[5])
{
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16)
        | (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}
} // namespace

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
    case Type::Real: return std::to_string(asReal()); // TODO(engine): the platform's real form
    case Type::Text: return asText();
    case Type::Constant: return asConstant().name;
    case Type::Missing:
    case Type::Object: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace script
