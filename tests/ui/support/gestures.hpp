#pragma once
// What window tests do as a user would: click a list row on its own
// rectangle, click a button where its face is; and find a control by its
// object name, a missing one failing the test program at once.
#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QtTest>

#include "support/xm_writer.hpp"

namespace ferro::test {

template <class T>
T* control(const QObject* parent, const QString& name) {
    T* c = parent->findChild<T*>(name);
    if (!c) qFatal("no control %s", qPrintable(name));
    return c;
}

// A click on row `row` (scrolled into view first). With `twice` a double
// click as the window system delivers it: a click, then a second press
// that comes with the double-click event.
inline void clickRow(QListWidget* list, int row, bool twice = false) {
    list->scrollToItem(list->item(row));
    QWidget* viewport = list->viewport();
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    if (!twice) return;
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at), Qt::LeftButton,
                            Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &doubleClick);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

// A click near the left end of a button or box, where its face is whatever
// its caption's length.
inline void clickFace(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2)); }

// A module of `channels` channels and one pattern of `rows` rows, a note
// of instrument 1 in every cell.
inline std::vector<std::uint8_t> notesModule(int channels, int rows = 8) {
    XmLayout layout;
    layout.channelCount = channels;
    XmPatternLayout p;
    p.rows = rows;
    p.cells.assign(static_cast<std::size_t>(rows * channels), noteCell(49, 1));
    layout.patterns = {p};
    return buildXm(layout);
}

}  // namespace ferro::test
