#pragma once

#include <string>

class QRect;
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
    // Applies the placement fitted to the screen, whatever numbers it holds.
    void ApplyTo(QWidget* window) const;

    // What a window manager draws around a client rectangle, generously: the title bar above,
    // a border at the other sides. The real frame is unknown before a window is shown.
    static constexpr int kTitleBar = 32;
    static constexpr int kBorder = 6;

    // A window's client rectangle moved, and shrunk where it must, so that the whole window with
    // its frame lies on the screen that holds its centre (or on the primary screen) and its title
    // bar can be reached. Numbers of any size are safe.
    static QRect FitToScreen(long left, long top, long width, long height);
    // The rectangle that FitToScreen keeps a client rectangle in.
    static QRect ClientArea(long x, long y);
};
