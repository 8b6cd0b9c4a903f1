// A statement of any bytes may be typed or pasted; its history entry must stay within the limit
// and never end in half a character.

#include "fuzz/Check.h"
#include "main/HistoryCut.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr std::size_t kHistoryLimit = 1024;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length;
        std::uint32_t code;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

void CheckCut(const std::string& text, std::size_t limit)
{
    const std::size_t cut = CutAtCharacter(text, limit);
    FUZZ_CHECK(cut <= limit);
    FUZZ_CHECK(cut <= text.size());
    if (text.size() <= limit) {
        FUZZ_CHECK(cut == text.size());
        return;
    }
    if (IsValidUtf8(text)) {
        FUZZ_CHECK(IsValidUtf8(text.substr(0, cut)));
        // Only the one character that crosses the limit is dropped, never more.
        FUZZ_CHECK(cut + 3 >= limit);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckCut(text, kHistoryLimit);
    // Small limits let short inputs reach the cut as well.
    if (size > 0)
        CheckCut(text.substr(1), data[0] % 64);
    return 0;
}
