// The text form of a placement, kept apart from the widget code so that it builds without Qt.

#include "main/WindowPlacement.h"

#include <cstdio>
#include <cstdlib>

std::string WindowPlacement::Format() const
{
    char text[256];
    std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,", flags, showCmd,
                  minX, minY, maxX, maxY, left, top, right, bottom);
    return text;
}

bool WindowPlacement::Parse(const std::string& text, WindowPlacement& placement)
{
    long numbers[10];
    int count = 0;
    std::size_t start = 0;
    for (std::size_t comma = text.find(','); comma != std::string::npos && count < 10;
         comma = text.find(',', start)) {
        // atoi semantics, but without its undefined behaviour on overflow.
        std::string token = text.substr(start, comma - start);
        long long value = std::strtoll(token.c_str(), nullptr, 10);
        numbers[count++] = static_cast<long>(value < -2147483648LL  ? -2147483648LL
                                             : value > 2147483647LL ? 2147483647LL
                                                                    : value);
        start = comma + 1;
    }
    if (count < 10)
        return false;
    placement.flags = numbers[0];
    placement.showCmd = numbers[1];
    placement.minX = numbers[2];
    placement.minY = numbers[3];
    placement.maxX = numbers[4];
    placement.maxY = numbers[5];
    placement.left = numbers[6];
    placement.top = numbers[7];
    placement.right = numbers[8];
    placement.bottom = numbers[9];
    return true;
}
