// Numeric values reach export scripts as text; the text must give back the very same number.

#include "fuzz/Check.h"
#include "odbc/ValueText.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool SameDouble(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    // Compared bit for bit so that -0 and 0 count as different values.
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckDouble(double value)
{
    const std::string text = FormatDouble(value);
    FUZZ_CHECK(!text.empty());
    FUZZ_CHECK(std::strlen(text.c_str()) == text.size());

    char* end = nullptr;
    const double back = std::strtod(text.c_str(), &end);
    FUZZ_CHECK(end == text.c_str() + text.size());
    FUZZ_CHECK(SameDouble(back, value));

    // The appending form is what the export loop uses; it must not disturb what came before.
    std::string buffer = "x\t";
    AppendDouble(buffer, value);
    FUZZ_CHECK(buffer == "x\t" + text);
}

void CheckInteger(std::int32_t value)
{
    const std::string text = FormatInteger(value);
    char* end = nullptr;
    errno = 0;
    const long long back = std::strtoll(text.c_str(), &end, 10);
    FUZZ_CHECK(errno == 0 && end == text.c_str() + text.size());
    FUZZ_CHECK(back == value);
    // No padding: a leading zero only in "0" itself.
    const std::size_t first = text[0] == '-' ? 1 : 0;
    FUZZ_CHECK(text[first] != '0' || text == "0");

    std::string buffer = "y";
    AppendInteger(buffer, value);
    FUZZ_CHECK(buffer == "y" + text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The raw bytes as a bit pattern reach every double, subnormals and NaN payloads included.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        CheckDouble(value);
    }
    if (size >= sizeof(std::int32_t)) {
        std::int32_t value;
        std::memcpy(&value, data, sizeof value);
        CheckInteger(value);
    }
    // The bytes as decimal text reach the values near rounding and exponent boundaries.
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckDouble(std::strtod(text.c_str(), nullptr));
    return 0;
}
