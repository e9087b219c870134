#include "script/Operators.h"

#include "script/TextNumbers.h"

#include <cmath>
#include <algorithm>

namespace script::operators {

namespace {

// Integers a script holds; results outside become reals.
constexpr std::int64_t MaxInteger = 536870911;

bool inIntegerRange(std::int64_t i) { return i >= -MaxInteger && i <= MaxInteger; }
bool inIntegerRange(double d) { return d >= -double(MaxInteger) && d <= double(MaxInteger); }

char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Text comparisons ignore case, as scripts expect by default.
int compareText(const std::string& a, const std::string& b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(fold(a[i]));
        unsigned char y = static_cast<unsigned char>(fold(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool isNumber(const Value& v) { return v.type() == Value::Type::Integer || v.type() == Value::Type::Real; }
double toDouble(const Value& v) { return v.type() == Value::Type::Integer ? double(v.asInteger()) : v.asReal(); }

Error tooLarge() { return Error{errc::NumericOverflow, "The result of a numeric operation was too large."}; }

Result<Value> finiteReal(double d)
{
    if (!std::isfinite(d))
        return tooLarge();
    return Value::real(d);
}

// Text that is wholly a number (blanks around it allowed) becomes one.
std::optional<Value> parseNumber(const std::string& text)
{
    std::size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::nullopt;
    std::size_t e = text.find_last_not_of(" \t\r\n");
    std::string_view s(text.data() + b, e - b + 1);
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    bool seenDigit = false, seenDot = false, seenExp = false, real = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            seenDigit = true;
        } else if (c == '.' && !seenDot && !seenExp) {
            seenDot = real = true;
        } else if ((c == 'e' || c == 'E') && seenDigit && !seenExp) {
            seenExp = real = true;
            if (i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-'))
                ++i;
            if (i + 1 >= s.size())
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit)
        return std::nullopt;
    double d = decimalToDouble(s);
    if (!std::isfinite(d))
        return std::nullopt;
    if (!real && inIntegerRange(d))
        return Value::integer(negative ? -std::int64_t(d) : std::int64_t(d));
    return Value::real(negative ? -d : d);
}

Result<Value> toNumber(const Value& v)
{
    if (isNumber(v))
        return v;
    if (v.type() == Value::Type::Text) {
        if (auto n = parseNumber(v.asText()))
            return *n;
    }
    return cantMake(v, "number");
}

std::optional<std::string> textForm(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Missing: return "missing value";
    case Value::Type::Object: return std::nullopt;
    default: return v.stringValue();
    }
}

Result<Value> integerResult(std::int64_t i)
{
    if (inIntegerRange(i))
        return Value::integer(i);
    return Value::real(double(i));
}

Result<Value> arithmetic(BinaryOp op, const Value& a, const Value& b)
{
    if (op == BinaryOp::Power)
        return finiteReal(std::pow(toDouble(a), toDouble(b)));

    bool integers = a.type() == Value::Type::Integer && b.type() == Value::Type::Integer;
    if ((op == BinaryOp::Divide || op == BinaryOp::IntegerDivide || op == BinaryOp::Modulo) && toDouble(b) == 0.0)
        return Error{errc::DivisionByZero, "Can't divide " + describe(a) + " by zero."};

    if (integers) {
        std::int64_t x = a.asInteger(), y = b.asInteger(), r = 0;
        switch (op) {
        case BinaryOp::Add:
            if (!__builtin_add_overflow(x, y, &r))
                return integerResult(r);
            break;
        case BinaryOp::Subtract:
            if (!__builtin_sub_overflow(x, y, &r))
                return integerResult(r);
            break;
        case BinaryOp::Multiply:
            if (!__builtin_mul_overflow(x, y, &r))
                return integerResult(r);
            break;
        case BinaryOp::IntegerDivide:
            if (y == -1)
                return negate(a);
            return integerResult(x / y);
        case BinaryOp::Modulo:
            return Value::integer(y == -1 ? 0 : x % y);
        default:
            break; // Divide: always a real
        }
    }

    double x = toDouble(a), y = toDouble(b);
    switch (op) {
    case BinaryOp::Add: return finiteReal(x + y);
    case BinaryOp::Subtract: return finiteReal(x - y);
    case BinaryOp::Multiply: return finiteReal(x * y);
    case BinaryOp::Divide: return finiteReal(x / y);
    case BinaryOp::IntegerDivide: {
        double q = std::trunc(x / y);
        if (!std::isfinite(q))
            return tooLarge();
        if (inIntegerRange(q))
            return Value::integer(static_cast<std::int64_t>(q));
        return Value::real(q);
    }
    case BinaryOp::Modulo: return finiteReal(std::fmod(x, y));
    default: break;
    }
    return tooLarge(); // not reached: every arithmetic operator is handled above
}

Result<Value> compare(BinaryOp op, const Value& a, const Value& b)
{
    int order = 0;
    if (isNumber(a) && isNumber(b)) {
        double x = toDouble(a), y = toDouble(b);
        if (a.type() == Value::Type::Integer && b.type() == Value::Type::Integer)
            order = a.asInteger() < b.asInteger() ? -1 : (a.asInteger() > b.asInteger() ? 1 : 0);
        else
            order = x < y ? -1 : (x > y ? 1 : 0);
    } else if (a.type() == Value::Type::Text) {
        auto t = textForm(b);
        if (!t)
            return cantMake(b, "text");
        order = compareText(a.asText(), *t);
    } else if (isNumber(a)) {
        auto n = toNumber(b);
        if (!n)
            return n.error();
        return compare(op, a, n.value());
    } else {
        return cantMake(a, "number");
    }
    switch (op) {
    case BinaryOp::Less: return Value::boolean(order < 0);
    case BinaryOp::Greater: return Value::boolean(order > 0);
    case BinaryOp::LessEqual: return Value::boolean(order <= 0);
    default: return Value::boolean(order >= 0);
    }
}

bool equal(const Value& a, const Value& b)
{
    if (isNumber(a) && isNumber(b)) {
        if (a.type() == Value::Type::Integer && b.type() == Value::Type::Integer)
            return a.asInteger() == b.asInteger();
        return toDouble(a) == toDouble(b);
    }
    if (a.type() == Value::Type::Text && b.type() == Value::Type::Text)
        return compareText(a.asText(), b.asText()) == 0;
    return a == b;
}

} // namespace

Error cantMake(const Value& v, const char* type)
{
    return Error{errc::CantMakeType, "Can't make " + describe(v) + " into type " + type + "."};
}

std::string describe(const ObjectSpecifier& object)
{
    std::string out;
    for (auto it = object.path.rbegin(); it != object.path.rend(); ++it) {
        out += it->term;
        if (it->kind == Reference::Kind::ElementByIndex)
            out += " " + std::to_string(it->index);
        else if (it->kind == Reference::Kind::ElementByName)
            out += " \"" + it->name + "\"";
        out += " of ";
    }
    return out + "application \"" + object.application + "\"";
}

std::string describe(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Text: return "\"" + v.asText() + "\"";
    case Value::Type::Object: return describe(v.asObject());
    default: return *textForm(v);
    }
}

Result<Value> negate(const Value& v)
{
    auto n = toNumber(v);
    if (!n)
        return n.error();
    const Value& x = n.value();
    if (x.type() == Value::Type::Integer) {
        std::int64_t r = 0;
        if (!__builtin_sub_overflow(std::int64_t(0), x.asInteger(), &r))
            return integerResult(r);
        return Value::real(-double(x.asInteger()));
    }
    return Value::real(-x.asReal());
}

Result<Value> apply(BinaryOp op, const Value& left, const Value& right)
{
    switch (op) {
    case BinaryOp::Concatenate: {
        // Text on the left makes text of the right; anything else would be
        // a list, which scripts here have no use for.
        if (left.type() != Value::Type::Text)
            return cantMake(left, "text");
        auto t = textForm(right);
        if (!t)
            return cantMake(right, "text");
        if (left.asText().size() + t->size() > MaxTextLength)
            return Error{errc::OutOfMemory, "Out of memory."};
        return Value::text(left.asText() + *t);
    }
    case BinaryOp::Equal: return Value::boolean(equal(left, right));
    case BinaryOp::NotEqual: return Value::boolean(!equal(left, right));
    case BinaryOp::Less:
    case BinaryOp::Greater:
    case BinaryOp::LessEqual:
    case BinaryOp::GreaterEqual: return compare(op, left, right);
    case BinaryOp::And:
    case BinaryOp::Or: {
        if (left.type() != Value::Type::Boolean)
            return cantMake(left, "boolean");
        if (right.type() != Value::Type::Boolean)
            return cantMake(right, "boolean");
        return Value::boolean(op == BinaryOp::And ? left.asBoolean() && right.asBoolean()
                                                  : left.asBoolean() || right.asBoolean());
    }
    default: {
        auto a = toNumber(left);
        if (!a)
            return a.error();
        auto b = toNumber(right);
        if (!b)
            return b.error();
        return arithmetic(op, a.value(), b.value());
    }
    }
}

Result<Value> coerce(const Value& v, ValueClass to)
{
    switch (to) {
    case ValueClass::Text: {
        auto t = textForm(v);
        if (!t)
            return cantMake(v, "text");
        return Value::text(*t);
    }
    case ValueClass::Boolean:
        if (v.type() == Value::Type::Boolean)
            return v;
        if (v.type() == Value::Type::Text && compareText(v.asText(), "true") == 0)
            return Value::boolean(true);
        if (v.type() == Value::Type::Text && compareText(v.asText(), "false") == 0)
            return Value::boolean(false);
        if (v.type() == Value::Type::Integer && (v.asInteger() == 0 || v.asInteger() == 1))
            return Value::boolean(v.asInteger() == 1);
        return cantMake(v, "boolean");
    case ValueClass::Integer: {
        if (v.type() == Value::Type::Boolean)
            return Value::integer(v.asBoolean() ? 1 : 0);
        auto n = toNumber(v);
        if (!n)
            return cantMake(v, "integer");
        if (n.value().type() == Value::Type::Integer)
            return n;
        // Nearest integer, halves to even.
        double r = std::nearbyint(n.value().asReal());
        if (!inIntegerRange(r))
            return cantMake(v, "integer");
        return Value::integer(static_cast<std::int64_t>(r));
    }
    case ValueClass::Real: {
        auto n = toNumber(v);
        if (!n)
            return cantMake(v, "real");
        return Value::real(toDouble(n.value()));
    }
    case ValueClass::Number:
        return toNumber(v);
    }
    return cantMake(v, "text");
}

} // namespace script::operators
