// Window placements come from a settings file that anyone may have edited.

#include "fuzz/Check.h"
#include "main/WindowPlacement.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

long Field(const WindowPlacement& p, int i)
{
    const long fields[] = {p.flags, p.showCmd, p.minX, p.minY,  p.maxX,
                           p.maxY,  p.left,    p.top,  p.right, p.bottom};
    return fields[i];
}

bool SameNumbers(const WindowPlacement& a, const WindowPlacement& b)
{
    for (int i = 0; i < 10; ++i)
        if (Field(a, i) != Field(b, i))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    WindowPlacement sentinel;
    sentinel.flags = 12345;
    sentinel.left = -777;
    WindowPlacement placement = sentinel;
    const bool accepted = WindowPlacement::Parse(text, placement);

    // Ten comma-terminated fields are what makes a placement; anything less leaves it untouched.
    FUZZ_CHECK(accepted == (std::count(text.begin(), text.end(), ',') >= 10));
    if (!accepted) {
        FUZZ_CHECK(SameNumbers(placement, sentinel));
        return 0;
    }

    // Every number fits the 32-bit range the settings were written with.
    for (int i = 0; i < 10; ++i)
        FUZZ_CHECK(Field(placement, i) >= -2147483648L && Field(placement, i) <= 2147483647L);

    // What a restart reads back is what was saved.
    WindowPlacement again;
    FUZZ_CHECK(WindowPlacement::Parse(placement.Format(), again));
    FUZZ_CHECK(SameNumbers(again, placement));
    FUZZ_CHECK(again.Format() == placement.Format());
    return 0;
}
