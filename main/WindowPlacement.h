#pragma once

#include <string>

class QWidget;

// The ten numbers by which a window's place is stored: flags, show state (1 normal,
// 2 minimised, 3 maximised), the minimised and maximised positions, and the normal rectangle as
// left, top, right, bottom.
struct WindowPlacement
{
    long flags = 0;
    long showCmd = 1;
    long minX = -1;
    long minY = -1;
    long maxX = -1;
    long maxY = -1;
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;

    // "%ld,%ld,...,%ld," with ten numbers, each followed by a comma.
    std::string Format() const;
    // Reads the first ten comma-terminated numbers (atoi rules); false with fewer than ten.
    static bool Parse(const std::string& text, WindowPlacement& placement);

    static WindowPlacement Of(const QWidget* window);
    void ApplyTo(QWidget* window) const;
};
