#pragma once

#include <cstdint>
#include <string>

// Text forms in which numeric column values are handed around.

// Decimal form of an integer: a minus sign for negative values, no padding.
std::string FormatInteger(std::int32_t value);

// A double written with 25 significant digits: fixed notation while the decimal exponent e of the
// first significant digit lies in -1..24, else d.ddd...e+XXX; trailing zeros after the point are
// dropped but the point stays ("3.", "0.5", "7.8125e-003"), except at e = 24 where no digit
// follows the point. The value is taken at 17 significant digits, so the text reads back exactly.
std::string FormatDouble(double value);

// Appending forms for hot loops that build many values into one buffer.
void AppendInteger(std::string& out, std::int32_t value);
void AppendDouble(std::string& out, double value);
