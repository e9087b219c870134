#pragma once

#include "script/Error.h"
#include "script/Value.h"

#include <string>

namespace script {

enum class BinaryOp {
    Add, Subtract, Multiply, Divide, IntegerDivide, Modulo, Power,
    Concatenate,
    Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual,
    And, Or,
};

// The classes `as` can make a value into.
enum class ValueClass { Text, Integer, Real, Number, Boolean };

// What the operators do to values: the arithmetic, `&`, the comparisons and
// the coercions. No application is involved here; references have been got
// before a value reaches these.
namespace operators {

// The longest text a script may build; longer would only exhaust memory.
inline constexpr std::size_t MaxTextLength = 1u << 20;

// All binary operators but `and` and `or`, which short-circuit.
Result<Value> apply(BinaryOp op, const Value& left, const Value& right);
Result<Value> negate(const Value& v);
Result<Value> coerce(const Value& v, ValueClass to);

// The form a value takes inside a message: text in quotes, numbers as
// written, objects as a reference ("name of current track of application
// "iTunes"").
std::string describe(const Value& v);
std::string describe(const ObjectSpecifier& object);

Error cantMake(const Value& v, const char* type);

} // namespace operators

} // namespace script
