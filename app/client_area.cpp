// The client area's own arrangements: Tile and Cascade lay the windows out
// inside the room the area has, never growing it (and with it the main
// window past the screen), and leave the minimised windows' row free.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "app/main_window.hpp"

namespace ferro {

namespace {

// `sub` at `r`, no smaller than it can be, moved back into `room` where its
// size would make it stick out: windows too large for their place overlap.
void placeWithin(QMdiSubWindow* sub, QRect r, const QRect& room) {
    if (sub->isMaximized()) sub->showNormal();
    r.setSize(r.size().expandedTo(sub->minimumSizeHint().expandedTo(sub->minimumSize())));
    r.moveRight(std::min(r.right(), room.right()));
    r.moveBottom(std::min(r.bottom(), room.bottom()));
    r.moveTopLeft(QPoint(std::max(r.left(), room.left()), std::max(r.top(), room.top())));
    sub->setGeometry(r);
}

}  // namespace

QList<QMdiSubWindow*> MainWindow::arrangedWindows(QMdiArea::WindowOrder order) const {
    QList<QMdiSubWindow*> subs;
    for (QMdiSubWindow* sub : mdi_->subWindowList(order))
        if (sub->isVisible() && !sub->isMinimized()) subs << sub;
    return subs;
}

QRect MainWindow::windowRoom() const {
    QRect room = mdi_->viewport()->rect();
    const int middle = room.center().y();
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (sub->isVisible() && sub->isMinimized() && sub->y() > middle)
            room.setBottom(std::min(room.bottom(), sub->y() - 1));
    return room;
}

// Side by side in a grid, each window in its cell where it fits there.
void MainWindow::tileWindows() {
    const QList<QMdiSubWindow*> subs = arrangedWindows(QMdiArea::CreationOrder);
    if (subs.isEmpty()) return;
    const QRect room = windowRoom();
    const auto n = static_cast<int>(subs.size());
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = (n + columns - 1) / columns;
    const int height = room.height() / rows;
    for (int i = 0; i < n; ++i) {
        const int row = i / columns;
        // The last row's windows share its whole width.
        const int width = room.width() / std::min(columns, n - row * columns);
        placeWithin(subs[i], QRect(room.left() + (i % columns) * width, room.top() + row * height, width, height),
                    room);
    }
}

// Each window a title bar lower and to the right of the one before, the
// active one in front, each at the size it asks for where the room allows.
void MainWindow::cascadeWindows() {
    const QList<QMdiSubWindow*> subs = arrangedWindows(QMdiArea::ActivationHistoryOrder);
    const QRect room = windowRoom();
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    for (int i = 0; i < subs.size(); ++i) {
        const QPoint at = room.topLeft() + QPoint(i * step, i * step);
        placeWithin(subs[i], QRect(at, subs[i]->sizeHint().boundedTo(QSize(room.right() + 1 - at.x(), room.bottom() + 1 - at.y()))),
                    room);
        subs[i]->raise();
    }
}

}  // namespace ferro
