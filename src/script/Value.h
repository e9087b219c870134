#pragma once

#include "script/ObjectSpecifier.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace script {

// An enumerated constant from a dictionary: `playing`, `off`, `all`.
struct Constant {
    std::string name;
    friend bool operator==(const Constant&, const Constant&) = default;
};

// A script value: missing value, boolean, integer, real, text, enumerated
// constant or object specifier.
class Value {
public:
    enum class Type { Missing, Boolean, Integer, Real, Text, Constant, Object };

    Value() = default; // missing value
    static Value boolean(bool b);
    static Value integer(std::int64_t i);
    static Value real(double d);
    static Value text(std::string s);
    static Value constant(std::string name);
    static Value object(ObjectSpecifier specifier);

    Type type() const { return static_cast<Type>(m_v.index()); }
    bool isMissing() const { return type() == Type::Missing; }

    bool asBoolean() const { return std::get<1>(m_v); }
    std::int64_t asInteger() const { return std::get<2>(m_v); }
    double asReal() const { return std::get<3>(m_v); }
    const std::string& asText() const { return std::get<4>(m_v); }
    const Constant& asConstant() const { return std::get<5>(m_v); }
    const ObjectSpecifier& asObject() const { return std::get<6>(m_v); }

    // The result descriptor's four-character type code ('utxt', 'long',
    // 'doub', 'bool', 'enum', 'obj '); 0 for missing value.
    std::uint32_t typeCode() const;

    // The text form a host reads: text as is, integers in decimal, reals in
    // the scripting platform's form (0.25, 100.0, 1.0E-5), booleans as
    // "true"/"false", constants by name; nullopt for missing value and
    // objects.
    std::optional<std::string> stringValue() const;

    friend bool operator==(const Value&, const Value&) = default;

    // The text form of a real: twelve significant digits at most, always a
    // fraction ("100.0"), exponent form from 1.0E+4 up and from 1.0E-4 down
    // ("1.0E-5", "1.5E+20").
    static std::string formatReal(double d);

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Constant, ObjectSpecifier> m_v;
};

} // namespace script
