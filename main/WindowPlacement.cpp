#include "main/WindowPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>

namespace {

long ToInt32(long value)
{
    return std::clamp<long>(value, INT_MIN, INT_MAX);
}

int ToInt(long value)
{
    return static_cast<int>(std::clamp<long>(value, INT_MIN / 2, INT_MAX / 2));
}

} // namespace

QRect WindowPlacement::ClientArea(long x, long y)
{
    QScreen* screen = QGuiApplication::screenAt(QPoint(ToInt(x), ToInt(y)));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return area.adjusted(kBorder, kTitleBar, -kBorder, -kBorder);
}

QRect WindowPlacement::FitToScreen(long left, long top, long width, long height)
{
    left = ToInt32(left);
    top = ToInt32(top);
    width = ToInt32(width);
    height = ToInt32(height);
    const QRect area = ClientArea(left + width / 2, top + height / 2);
    const long w = std::clamp<long>(width, 1, area.width());
    const long h = std::clamp<long>(height, 1, area.height());
    const long x = std::clamp<long>(left, area.left(), area.left() + area.width() - w);
    const long y = std::clamp<long>(top, area.top(), area.top() + area.height() - h);
    return QRect(ToInt(x), ToInt(y), ToInt(w), ToInt(h));
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
    // In 32-bit range the differences cannot overflow. A rectangle without area keeps the size
    // the window has.
    const long l = ToInt32(left), t = ToInt32(top), r = ToInt32(right), b = ToInt32(bottom);
    const bool sized = r > l && b > t;
    window->setGeometry(
        FitToScreen(l, t, sized ? r - l : window->width(), sized ? b - t : window->height()));
    Qt::WindowStates state = Qt::WindowNoState;
    if (showCmd == 2 || showCmd == 6 || showCmd == 7)
        state = (flags & 2) ? (Qt::WindowMinimized | Qt::WindowMaximized) : Qt::WindowMinimized;
    else if (showCmd == 3)
        state = Qt::WindowMaximized;
    window->setWindowState(state);
}
