#include "odbc/ValueText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

// The rule the slow way: printf's 17 significant digits, placed by their decimal exponent.
static std::string RuleText(double value)
{
    char sci[32];
    std::snprintf(sci, sizeof sci, "%.16e", std::fabs(value)); // d.dddddddddddddddde+XX
    std::string digits = sci[0] + std::string(sci + 2, 16);
    const int e = std::atoi(sci + 19);
    digits.erase(digits.find_last_not_of('0') + 1);
    const std::string sign = std::signbit(value) ? "-" : "";
    if (e < -1 || e > 24) {
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "e%c%03d", e < 0 ? '-' : '+', std::abs(e));
        return sign + digits[0] + '.' + digits.substr(1) + exponent;
    }
    if (e == -1)
        return sign + "0." + digits;
    digits.resize(std::max<std::size_t>(digits.size(), e + 1), '0');
    return sign + digits.substr(0, e + 1) + (e == 24 ? "" : "." + digits.substr(e + 1));
}

TEST(ValueText, NumbersFollowTheRule)
{
    // A value as strtod reads it, then its text: e = -1 and e = 24 (no point) are the last fixed
    // exponents; 1e24 lies just below its power of ten.
    std::istringstream cases(
        "3 3.  0.5 0.5  0.0078125 7.8125e-003  0 0.  -0 -0.  inf inf  -inf -inf  nan nan  "
        "0.99999999999999999 1.  -0.0009765625 -9.765625e-004  1e24 999999999999999980000000.  "
        "2e24 2000000000000000000000000  1e25 1.0000000000000001e+025  "
        "1.7976931348623157e308 1.7976931348623157e+308  "
        "4.9406564584124654e-324 4.9406564584124654e-324");
    for (std::string value, text; cases >> value >> text;)
        EXPECT_EQ(FormatDouble(std::strtod(value.c_str(), nullptr)), text);
    std::string out = "x,";
    AppendInteger(out, -10);
    EXPECT_EQ(out + FormatInteger(INT32_MIN) + FormatInteger(INT32_MAX) + "," + FormatInteger(0),
              "x,-10-21474836482147483647,0");
    std::vector<double> values;
    for (int e = -5; e <= 28; ++e) {
        const double p = std::pow(10.0, e);
        values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, INFINITY), -p,
                                     9.5 * p, 9.999999999999999 * p});
    }
    // Values exactly halfway between two 17-digit decimals, which round to the even one.
    for (int n = 1; n <= 80; ++n)
        for (int k = 1; k < 2048; k += 2)
            values.push_back(std::ldexp(k, -n));
    for (auto [first, divisor] : {std::pair{4000000000000001, 4.0}, {800000000000001, 8.0}})
        for (std::int64_t a = first; a < first + 2000; a += 2)
            values.push_back(static_cast<double>(a) / divisor);
    for (int i = 0; i < 1000000; i += 13)
        values.insert(values.end(), {i / 100.0, i / 1000.0, i * 1e9});
    std::mt19937_64 random(20261206);
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any))
            values.push_back(any);
        values.push_back((std::ldexp(static_cast<double>(bits >> 11), -53) + 1.0) *
                         std::pow(10.0, static_cast<int>(bits % 26) - 7));
        values.push_back(static_cast<double>(static_cast<std::int64_t>(bits >> 14)));
    }
    for (double value : values) {
        std::string out = "x";
        AppendDouble(out, value);
        ASSERT_EQ(out, "x" + RuleText(value)) << std::hexfloat << value;
    }
}
