#include "odbc/ValueText.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <regex>

namespace {

struct DoubleCase
{
    double value;
    const char* text;
};

class DoubleTextTest : public ::testing::TestWithParam<DoubleCase>
{
};

TEST_P(DoubleTextTest, WritesTheRuleText)
{
    EXPECT_EQ(FormatDouble(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DoubleTextTest,
    ::testing::Values(
        DoubleCase{3.0, "3."}, DoubleCase{1024.0, "1024."}, DoubleCase{0.5, "0.5"},
        DoubleCase{-2.25, "-2.25"}, DoubleCase{0.0078125, "7.8125e-003"}, DoubleCase{2.5, "2.5"},
        DoubleCase{0.1, "0.10000000000000001"}, DoubleCase{0.0, "0."}, DoubleCase{-0.0, "-0."},
        DoubleCase{1.0, "1."},
        // e = -1 is the last fixed exponent downwards, e = -2 the first exponential one.
        DoubleCase{0.25, "0.25"}, DoubleCase{0.09375, "9.375e-002"}, DoubleCase{0.01, "1.e-002"},
        // 1e24 lies just below its power of ten; 2e24 has e = 24 and so no point; e = 25 goes
        // exponential.
        DoubleCase{1e24, "999999999999999980000000."},
        DoubleCase{2e24, "2000000000000000000000000"}, DoubleCase{1e25, "1.0000000000000001e+025"},
        DoubleCase{3e25, "3.0000000000000001e+025"}, DoubleCase{-0.0009765625, "-9.765625e-004"},
        DoubleCase{1e23, "99999999999999992000000."}, DoubleCase{4e23, "399999999999999970000000."},
        DoubleCase{123456.789, "123456.789"}, DoubleCase{-1e-5, "-1.0000000000000001e-005"},
        DoubleCase{DBL_MAX, "1.7976931348623157e+308"},
        DoubleCase{DBL_MIN, "2.2250738585072014e-308"},
        DoubleCase{4.9406564584124654e-324, "4.9406564584124654e-324"},
        DoubleCase{9007199254740993.0, "9007199254740992."},
        DoubleCase{0.99999999999999999, "1."}));

TEST(IntegerText, WritesPlainDecimal)
{
    EXPECT_EQ(FormatInteger(42), "42");
    EXPECT_EQ(FormatInteger(-7), "-7");
    EXPECT_EQ(FormatInteger(0), "0");
    EXPECT_EQ(FormatInteger(INT_MIN), "-2147483648");
    EXPECT_EQ(FormatInteger(INT_MAX), "2147483647");
    std::string out = "x,";
    AppendInteger(out, -10);
    EXPECT_EQ(out, "x,-10");
}

TEST(DoubleText, NonFiniteValuesHaveAWord)
{
    EXPECT_EQ(FormatDouble(INFINITY), "inf");
    EXPECT_EQ(FormatDouble(-INFINITY), "-inf");
    EXPECT_EQ(FormatDouble(NAN), "nan");
}

// The decimal exponent of the first significant digit once the value is rounded to 17 digits.
int ExponentOf(double value)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.16e", std::fabs(value));
    return std::atoi(std::strchr(buf, 'e') + 1);
}

void CheckProperties(double value)
{
    SCOPED_TRACE(::testing::Message() << "value " << std::hexfloat << value);
    std::string text = FormatDouble(value);
    // Reads back exactly: 17 significant digits identify every double.
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    EXPECT_EQ(text[0] == '-', std::signbit(value)) << text;

    int e = value == 0 ? 0 : ExponentOf(value);
    static const std::regex fixed(R"(-?\d+(\.\d*)?)");
    static const std::regex exponential(R"(-?\d\.(\d*[1-9])?e[+-]\d{3})");
    if (e >= -1 && e <= 24) {
        EXPECT_TRUE(std::regex_match(text, fixed)) << text;
        std::string unsignedText = text[0] == '-' ? text.substr(1) : text;
        std::size_t point = unsignedText.find('.');
        if (e == 24) {
            EXPECT_EQ(point, std::string::npos) << text;
            EXPECT_EQ(unsignedText.size(), 25u) << text;
        } else {
            ASSERT_NE(point, std::string::npos) << text;
            EXPECT_EQ(point, e < 0 ? 1u : static_cast<std::size_t>(e) + 1) << text;
            // Never more than 25 significant digits, never a trailing zero after the point.
            EXPECT_LE(unsignedText.size() - 1, 25u + (e < 0 ? 1 : 0)) << text;
            EXPECT_NE(unsignedText.back(), '0') << text;
        }
    } else {
        EXPECT_TRUE(std::regex_match(text, exponential)) << text;
        int written = std::atoi(text.c_str() + text.find('e') + 1);
        EXPECT_EQ(written, e) << text;
    }
}

TEST(DoubleTextProperty, RandomValuesReadBackInTheirNotation)
{
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-330, 310);
    for (int i = 0; i < 20000; ++i) {
        // Any bit pattern: covers subnormals and the extremes.
        std::uint64_t pattern = bits(random);
        double any;
        std::memcpy(&any, &pattern, sizeof any);
        if (std::isfinite(any))
            CheckProperties(any);
        double scaled = unit(random) * std::pow(10.0, exponent(random));
        if (std::isfinite(scaled))
            CheckProperties(scaled);
        CheckProperties(std::trunc(unit(random) * 1e15));
    }
}

TEST(DoubleTextProperty, PowersOfTenAroundTheNotationBoundaries)
{
    for (int e = -5; e <= 28; ++e) {
        double power = std::pow(10.0, e);
        for (double v : {power, std::nextafter(power, 0.0), std::nextafter(power, INFINITY), -power,
                         9.5 * power, 9.999999999999999 * power})
            CheckProperties(v);
    }
}

// The significant digits of a text without its point, sign, exponent and outer zeros.
std::string SignificantDigits(const std::string& text)
{
    std::string digits;
    for (char c : text) {
        if (c == 'e')
            break;
        if (c >= '0' && c <= '9')
            digits += c;
    }
    digits.erase(0, digits.find_first_not_of('0'));
    digits.erase(digits.find_last_not_of('0') + 1);
    return digits;
}

// The digits are those printf rounds to at 17 significant digits, also where the value lies
// exactly halfway between two 17-digit decimals (2^-25 = 2.98023223876953125e-8 is one).
TEST(DoubleTextProperty, DigitsAreThoseOfPrintf)
{
    auto check = [](double value) {
        char expected[40];
        std::snprintf(expected, sizeof expected, "%.16e", value);
        ASSERT_EQ(SignificantDigits(FormatDouble(value)), SignificantDigits(expected))
            << std::hexfloat << value << " " << expected;
    };
    check(std::ldexp(1.0, -25));
    for (int n = 1; n <= 80; ++n)
        for (int k = 1; k < 4096; k += 2)
            check(std::ldexp(k, -n));
    // Ties among the values that column data usually holds: 18 significant digits ending in 5.
    for (std::int64_t a = 4000000000000001; a < 4000000000002000; a += 2)
        check(static_cast<double>(a) / 4);
    for (std::int64_t a = 800000000000001; a < 800000000002000; a += 2)
        check(static_cast<double>(a) / 8);
    // Prices and measures: whole numbers over a power of ten.
    for (int i = 0; i < 1000000; i += 7) {
        check(i / 100.0);
        check(i / 1000.0);
        check(i * 1e9);
    }
    std::mt19937_64 random(20010128);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::uniform_int_distribution<int> exponent(-7, 18);
    for (int i = 0; i < 100000; ++i) {
        std::uint64_t pattern = bits(random);
        double any;
        std::memcpy(&any, &pattern, sizeof any);
        if (std::isfinite(any))
            check(any);
        // Every bit of the mantissa, at the magnitudes of everyday numbers.
        const double mantissa = std::ldexp(static_cast<double>(pattern >> 11), -53) + 1.0;
        check(mantissa * std::pow(10.0, exponent(random)));
    }
    for (double edge : {1e-5, 1e17, 1e16, 1e15, 1.0, 0.1, 10.0}) {
        check(edge);
        check(std::nextafter(edge, 0.0));
        check(std::nextafter(edge, INFINITY));
    }
}

} // namespace
