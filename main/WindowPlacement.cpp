#include "main/WindowPlacement.h"

#include <QWidget>
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

WindowPlacement WindowPlacement::Of(const QWidget* window)
{
    WindowPlacement placement;
    Qt::WindowStates state = window->windowState();
    if (state & Qt::WindowMinimized) {
        placement.showCmd = 2;
        if (state & Qt::WindowMaximized)
            placement.flags = 2;
    } else if (state & Qt::WindowMaximized) {
        placement.showCmd = 3;
    }
    QRect normal = (state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
                       ? window->normalGeometry()
                       : window->geometry();
    if (!normal.isValid())
        normal = window->geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    return placement;
}

void WindowPlacement::ApplyTo(QWidget* window) const
{
    long width = right - left;
    long height = bottom - top;
    if (width > 0 && height > 0 && width < 100000 && height < 100000)
        window->setGeometry(left, top, width, height);
    else
        window->move(left, top);
    Qt::WindowStates state = Qt::WindowNoState;
    if (showCmd == 2 || showCmd == 6 || showCmd == 7)
        state = (flags & 2) ? (Qt::WindowMinimized | Qt::WindowMaximized) : Qt::WindowMinimized;
    else if (showCmd == 3)
        state = Qt::WindowMaximized;
    window->setWindowState(state);
}
