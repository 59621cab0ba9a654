#pragma once
// A separate top-level window over the main window (XM info, About, the paste
// and bank windows): the window it is shown over, and with it every child
// window, takes no input from the moment it is shown until it closes, however
// it closes.
#include <QPointer>
#include <QWidget>

namespace ferro {

class DialogWindow : public QWidget {
    Q_OBJECT
protected:
    // `over` is disabled while this window is shown; `returnTo`, a child
    // window in a QMdiArea, comes to the front with the focus afterwards.
    DialogWindow(QWidget& over, QWidget* returnTo);
    // Shows the window, gives `focus` (or the window) the focus and disables
    // the window it is shown over.
    void showOverMain(QWidget* focus = nullptr);
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<QWidget> over_;
    QPointer<QWidget> returnTo_;
};

}  // namespace ferro
