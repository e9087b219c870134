// The text a host reads from a result, and reading it back as a number.

#include "script/TextNumbers.h"
#include "script/Value.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using script::Value;

TEST(ValueText, RealsTakeTheScriptingForm)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.25, "0.25"},
        {100.0, "100.0"},
        {1e-5, "1.0E-5"},
        {1.5e20, "1.5E+20"},
        {-2.5, "-2.5"},
        {0.0, "0.0"},
        {9999.0, "9999.0"},
        {10000.0, "1.0E+4"},          // exponent form from ten thousand up
        {12345.678, "1.2345678E+4"},
        {0.001, "0.001"},
        {0.0001, "1.0E-4"},           // and from one ten-thousandth down
        {0.00012, "0.00012"},
        {0.000099, "9.9E-5"},
        {1.0 / 3.0, "0.333333333333"}, // twelve significant digits
        {3.14159265358979, "3.14159265359"},
        {9999.99999999999, "1.0E+4"},  // rounding can carry into the next form
        {123456789012345.0, "1.23456789012E+14"},
        {-1e-7, "-1.0E-7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Value::real(c.value).stringValue(), c.text) << c.value;
}

TEST(ValueText, EachKindHasItsTextAndTypeCode)
{
    EXPECT_EQ(Value::integer(-42).stringValue(), "-42");
    EXPECT_EQ(Value::text("").stringValue(), "");
    EXPECT_EQ(Value::boolean(false).stringValue(), "false");
    EXPECT_EQ(Value::constant("paused").stringValue(), "paused");
    EXPECT_EQ(Value().stringValue(), std::nullopt);
    EXPECT_EQ(Value::object({"iTunes", {}}).stringValue(), std::nullopt);

    // Only missing value means "no result" to the host.
    EXPECT_EQ(Value().typeCode(), 0u);
    for (const Value& v : {Value::integer(0), Value::real(0), Value::text(""), Value::boolean(false),
                           Value::constant("off"), Value::object({"iTunes", {}})})
        EXPECT_NE(v.typeCode(), 0u);
}

TEST(TextNumbers, IntValueReadsLeadingDigitsOnly)
{
    using script::intValue;
    EXPECT_EQ(intValue(std::optional<std::string>()), 0);
    EXPECT_EQ(intValue(std::optional<std::string>("80")), 80);
    EXPECT_EQ(intValue(" \t\n 42abc"), 42);
    EXPECT_EQ(intValue("-7"), -7);
    EXPECT_EQ(intValue("+3"), 3);
    EXPECT_EQ(intValue("0.25"), 0);
    EXPECT_EQ(intValue("1.0E+4"), 1);
    EXPECT_EQ(intValue("abc"), 0);
    EXPECT_EQ(intValue("- 5"), 0);
    EXPECT_EQ(intValue(""), 0);
    EXPECT_EQ(intValue("99999999999999999999"), INT_MAX);
    EXPECT_EQ(intValue("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(intValue("-2147483648"), INT_MIN);
}

TEST(TextNumbers, FloatValueReadsFractionAndExponent)
{
    using script::doubleValue;
    using script::floatValue;
    EXPECT_EQ(floatValue(std::optional<std::string>()), 0.0f);
    EXPECT_FLOAT_EQ(floatValue(std::optional<std::string>("0.25")), 0.25f);
    EXPECT_DOUBLE_EQ(doubleValue("1.0E-5"), 1e-5);
    EXPECT_DOUBLE_EQ(doubleValue("  -1.5E+20x"), -1.5e20);
    EXPECT_DOUBLE_EQ(doubleValue(".5"), 0.5);
    EXPECT_DOUBLE_EQ(doubleValue("7."), 7.0);
    EXPECT_DOUBLE_EQ(doubleValue("3e"), 3.0);   // an exponent needs digits
    EXPECT_DOUBLE_EQ(doubleValue("2e+x"), 2.0);
    EXPECT_EQ(doubleValue("."), 0.0);
    EXPECT_EQ(doubleValue("e5"), 0.0);
    EXPECT_EQ(doubleValue("1,5"), 1.0);         // the separator is always '.'
    EXPECT_EQ(doubleValue("1e999"), HUGE_VAL);
    EXPECT_EQ(doubleValue("-1e999"), -HUGE_VAL);
    EXPECT_EQ(doubleValue("1e-999"), 0.0);
    EXPECT_EQ(doubleValue("0.000e999"), 0.0);
    EXPECT_EQ(floatValue("1e300"), HUGE_VALF);  // beyond a float, not undefined
}
