#include "main/WindowPlacement.h"

#include <QWidget>

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
