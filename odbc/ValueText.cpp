#include "odbc/ValueText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr int kSignificant = 25;
constexpr int kExact = 17;

// The 17 significant digits of value >= 0, rounded to nearest with ties to even as printf's
// "%.16e" rounds, and the decimal exponent e of the first one, taken after rounding so that
// 9.99...95e5 counts as e = 6. std::to_chars does it for every value at about a third of
// printf's cost.
void RoundedDigits(double value, char (&digits)[kExact], int& e)
{
    char sci[40];
    const char* const end =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, kExact - 1).ptr;
    // "d.dddddddddddddddde+XX[X]"
    digits[0] = sci[0];
    for (int i = 1; i < kExact; ++i)
        digits[i] = sci[i + 1];
    const char* p = sci + kExact + 2; // the exponent's sign
    const bool negative = *p == '-';
    e = 0;
    while (++p < end)
        e = 10 * e + (*p - '0');
    if (negative)
        e = -e;
}

using Wide = unsigned __int128;

// The count decimal digits of value, with leading zeros.
void WriteDigits(std::uint32_t value, char* out, int count)
{
    static const char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                                 "31323334353637383940414243444546474849505152535455565758596061"
                                 "6263646566676869707172737475767778798081828384858687888990919293"
                                 "949596979899";
    char* p = out + count;
    while (count >= 2) {
        const std::uint32_t pair = value % 100 * 2;
        value /= 100;
        *--p = kPairs[pair + 1];
        *--p = kPairs[pair];
        count -= 2;
    }
    if (count == 1)
        *--p = static_cast<char>('0' + value % 10);
}

Wide PowerOfTen(int n)
{
    Wide power = 1;
    for (int i = 0; i < n; ++i)
        power *= 10;
    return power;
}

// The same digits as RoundedDigits, for the values that fill database columns (zero and
// 1e-5 <= value < 1e17), in exact integer arithmetic at a fraction of the cost of std::to_chars:
// value = m * 2^k, so value * 10^q = m * 10^q * 2^k, and for q = 16 - e that is the wanted
// 17-digit number before rounding. m * 10^q stays below 2^127 within that range. False for
// values outside it.
bool ExactDigits(double value, char (&digits)[kExact], int& e)
{
    if (value == 0.0) {
        std::fill(std::begin(digits), std::end(digits), '0');
        e = 0;
        return true;
    }
    if (!(value >= 1e-5 && value < 1e17))
        return false;
    static const Wide kPowers[23] = {PowerOfTen(0),  PowerOfTen(1),  PowerOfTen(2),  PowerOfTen(3),
                                     PowerOfTen(4),  PowerOfTen(5),  PowerOfTen(6),  PowerOfTen(7),
                                     PowerOfTen(8),  PowerOfTen(9),  PowerOfTen(10), PowerOfTen(11),
                                     PowerOfTen(12), PowerOfTen(13), PowerOfTen(14), PowerOfTen(15),
                                     PowerOfTen(16), PowerOfTen(17), PowerOfTen(18), PowerOfTen(19),
                                     PowerOfTen(20), PowerOfTen(21), PowerOfTen(22)};
    constexpr std::uint64_t kLow = 10000000000000000;   // 10^16
    constexpr std::uint64_t kHigh = 100000000000000000; // 10^17

    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    // Values in the range are normal: the hidden bit is set.
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int k = static_cast<int>((bits >> 52) & 0x7FF) - 1075;
    // value lies in [2^(k+52), 2^(k+53)): a first guess at e, corrected below when it is off.
    int guess = static_cast<int>(std::floor((k + 52) * 0.30102999566398120));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int q = 16 - guess;
        if (q < 0 || q > 22)
            return false;
        const Wide scaled = static_cast<Wide>(m) * kPowers[q];
        Wide whole;
        int rest = -1; // how the dropped fraction compares with one half
        if (k >= 0) {
            whole = scaled << k;
        } else {
            const int shift = -k;
            whole = scaled >> shift;
            const Wide fraction = scaled - (whole << shift);
            const Wide half = static_cast<Wide>(1) << (shift - 1);
            rest = fraction < half ? -1 : fraction == half ? 0 : 1;
        }
        if (whole < kLow) {
            --guess;
            continue;
        }
        if (whole >= kHigh) {
            ++guess;
            continue;
        }
        auto n = static_cast<std::uint64_t>(whole);
        if (rest > 0 || (rest == 0 && (n & 1) != 0))
            ++n;
        e = guess;
        if (n == kHigh) {
            n = kLow;
            ++e;
        }
        // Two halves in 32-bit arithmetic, two digits per step.
        WriteDigits(static_cast<std::uint32_t>(n / 100000000), digits, 9);
        WriteDigits(static_cast<std::uint32_t>(n % 100000000), digits + 9, 8);
        return true;
    }
    return false;
}

} // namespace

void AppendInteger(std::string& out, std::int32_t value)
{
    char buf[16];
    char* p = buf + sizeof buf;
    // Work in the unsigned domain so that the smallest int32 needs no special case.
    std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    // Pointer and length: the iterator-pair overload goes the long way through replace().
    out.append(p, static_cast<std::size_t>(buf + sizeof buf - p));
}

std::string FormatInteger(std::int32_t value)
{
    std::string text;
    AppendInteger(text, value);
    return text;
}

void AppendDouble(std::string& out, double value)
{
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }

    char digits[kExact];
    int e = 0;
    if (!ExactDigits(std::fabs(value), digits, e))
        RoundedDigits(std::fabs(value), digits, e);

    // Only the digits up to the last non-zero one are ever written after the point: the rule
    // drops trailing zeros there, and the 25 places beyond the 17 digits hold zeros only.
    int significant = kExact;
    while (significant > 0 && digits[significant - 1] == '0')
        --significant;
    auto copy = [&digits](char* t, int from, int to) {
        for (int i = from; i < to; ++i)
            *t++ = i < kExact ? digits[i] : '0';
        return t;
    };

    // The text is built here and appended once: out grows by one call instead of one per digit.
    char text[48];
    char* t = text;
    if (std::signbit(value))
        *t++ = '-';
    if (e >= -1 && e <= kSignificant - 1) {
        if (e == -1) {
            *t++ = '0';
            *t++ = '.';
            t = copy(t, 0, significant);
        } else {
            t = copy(t, 0, e + 1);
            if (e != kSignificant - 1) {
                *t++ = '.';
                t = copy(t, e + 1, significant);
            }
        }
        out.append(text, static_cast<std::size_t>(t - text));
        return;
    }

    *t++ = digits[0];
    *t++ = '.';
    t = copy(t, 1, significant);
    const int magnitude = std::abs(e);
    *t++ = 'e';
    *t++ = e < 0 ? '-' : '+';
    *t++ = static_cast<char>('0' + magnitude / 100);
    *t++ = static_cast<char>('0' + magnitude / 10 % 10);
    *t++ = static_cast<char>('0' + magnitude % 10);
    out.append(text, static_cast<std::size_t>(t - text));
}

std::string FormatDouble(double value)
{
    std::string text;
    AppendDouble(text, value);
    return text;
}
