#pragma once
// A separate top-level window over the main window (XM info, About, the paste
// and bank windows): the main window, and with it every child window, takes
// no input from the moment it is shown until it closes, however it closes.
#include <QPointer>
#include <QWidget>

namespace ferro {

class MainWindow;

class DialogWindow : public QWidget {
    Q_OBJECT
protected:
    // `returnTo` is the child window that gets the focus back afterwards.
    DialogWindow(MainWindow& main, QWidget* returnTo);
    // Shows the window, gives `focus` (or the window) the focus and disables
    // the main window.
    void showOverMain(QWidget* focus = nullptr);
    void closeEvent(QCloseEvent* event) override;

    QPointer<MainWindow> main_;

private:
    QPointer<QWidget> returnTo_;
};

}  // namespace ferro
