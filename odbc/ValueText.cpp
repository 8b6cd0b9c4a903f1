#include "odbc/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kSignificant = 25;
constexpr int kExact = 17;

// The end of the text once the zeros after the point are dropped; the point itself stays.
char* DropTrailingZeros(const char* point, char* end)
{
    while (end > point + 1 && end[-1] == '0')
        --end;
    return end;
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
    out.append(p, buf + sizeof buf);
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

    // "d.dddddddddddddddde+XX[X]": the 17 digits of the rounded value and its exponent, taken
    // after rounding so that 9.99...95e5 counts as e = 6. std::to_chars rounds exactly like
    // printf's "%.16e" (to nearest, ties to even) at a fraction of its cost, and this runs for
    // every floating-point value of every row a command reads.
    char sci[40];
    const char* const sciEnd = std::to_chars(sci, sci + sizeof sci, std::fabs(value),
                                             std::chars_format::scientific, kExact - 1)
                                   .ptr;
    char digits[kExact];
    digits[0] = sci[0];
    for (int i = 1; i < kExact; ++i)
        digits[i] = sci[i + 1];
    const char* p = sci + kExact + 2; // the exponent's sign
    const bool negativeExponent = *p == '-';
    int e = 0;
    while (++p < sciEnd)
        e = 10 * e + (*p - '0');
    if (negativeExponent)
        e = -e;

    auto digitAt = [&](int i) { return i < kExact ? digits[i] : '0'; };

    // The text is built here and appended once: out grows by one call instead of one per digit.
    char text[48];
    char* t = text;
    if (std::signbit(value))
        *t++ = '-';
    char* point;
    if (e >= -1 && e <= kSignificant - 1) {
        if (e == -1) {
            *t++ = '0';
            point = t;
            *t++ = '.';
            for (int i = 0; i < kSignificant; ++i)
                *t++ = digitAt(i);
        } else {
            for (int i = 0; i <= e; ++i)
                *t++ = digitAt(i);
            if (e == kSignificant - 1) {
                out.append(text, t);
                return;
            }
            point = t;
            *t++ = '.';
            for (int i = e + 1; i < kSignificant; ++i)
                *t++ = digitAt(i);
        }
        t = DropTrailingZeros(point, t);
        out.append(text, t);
        return;
    }

    *t++ = digits[0];
    point = t;
    *t++ = '.';
    for (int i = 1; i < kSignificant; ++i)
        *t++ = digitAt(i);
    t = DropTrailingZeros(point, t);
    const int magnitude = std::abs(e);
    *t++ = 'e';
    *t++ = e < 0 ? '-' : '+';
    *t++ = static_cast<char>('0' + magnitude / 100);
    *t++ = static_cast<char>('0' + magnitude / 10 % 10);
    *t++ = static_cast<char>('0' + magnitude % 10);
    out.append(text, t);
}

std::string FormatDouble(double value)
{
    std::string text;
    AppendDouble(text, value);
    return text;
}
