#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace script {

// Reading a script's text result as a number, the way the host platform's
// string conversions do: leading blanks are skipped, then an optional sign
// and digits are read up to the first character that does not fit. Null or
// text that does not start with a number gives 0. Independent of the
// process locale: the decimal separator is always '.'.

// Saturates at INT_MAX / INT_MIN.
int intValue(std::string_view text);
int intValue(const std::optional<std::string>& text);
inline int intValue(const char* text) { return intValue(std::string_view(text)); }

// Also reads a fraction and an exponent ("1.0E-5"); ±HUGE_VAL on overflow,
// 0 on underflow.
double doubleValue(std::string_view text);
double doubleValue(const std::optional<std::string>& text);
inline double doubleValue(const char* text) { return doubleValue(std::string_view(text)); }
float floatValue(std::string_view text);
float floatValue(const std::optional<std::string>& text);
inline float floatValue(const char* text) { return floatValue(std::string_view(text)); }

// The value of an unsigned decimal literal: digits, an optional fraction and
// an optional exponent ("12", "0.25", "1.5E+20", ".5"). ±HUGE_VAL on
// overflow, 0 on underflow. The caller has checked the form.
double decimalToDouble(std::string_view literal);

} // namespace script
