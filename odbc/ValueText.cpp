#include "odbc/ValueText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kSignificant = 25;
constexpr int kExact = 17;

void DropTrailingZeros(std::string& out, std::size_t pointPos)
{
    std::size_t end = out.size();
    while (end > pointPos + 1 && out[end - 1] == '0')
        --end;
    out.resize(end);
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
    if (std::signbit(value))
        out += '-';
    value = std::fabs(value);

    // "d.dddddddddddddddde+XXX": the 17 digits of the rounded value and its exponent, taken after
    // rounding so that 9.99...95e5 counts as e = 6.
    char sci[40];
    std::snprintf(sci, sizeof sci, "%.*e", kExact - 1, value);
    char digits[kExact];
    digits[0] = sci[0];
    for (int i = 1; i < kExact; ++i)
        digits[i] = sci[i + 1];
    int e = value == 0.0 ? 0 : std::atoi(sci + kExact + 2);

    auto digitAt = [&](int i) { return i < kExact ? digits[i] : '0'; };

    if (e >= -1 && e <= kSignificant - 1) {
        if (e == -1) {
            out += "0.";
            std::size_t point = out.size() - 1;
            for (int i = 0; i < kSignificant; ++i)
                out += digitAt(i);
            DropTrailingZeros(out, point);
            return;
        }
        for (int i = 0; i <= e; ++i)
            out += digitAt(i);
        if (e == kSignificant - 1)
            return;
        out += '.';
        std::size_t point = out.size() - 1;
        for (int i = e + 1; i < kSignificant; ++i)
            out += digitAt(i);
        DropTrailingZeros(out, point);
        return;
    }

    out += digits[0];
    out += '.';
    std::size_t point = out.size() - 1;
    for (int i = 1; i < kSignificant; ++i)
        out += digitAt(i);
    DropTrailingZeros(out, point);
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "e%c%03d", e < 0 ? '-' : '+', std::abs(e));
    out += exponent;
}

std::string FormatDouble(double value)
{
    std::string text;
    AppendDouble(text, value);
    return text;
}
