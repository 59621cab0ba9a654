#include "app/ui/dialog_window.hpp"

#include <QCloseEvent>

#include "app/ui/main_window.hpp"

namespace ferro {

// No parent: a child of the main window would be disabled along with it.
DialogWindow::DialogWindow(MainWindow& main, QWidget* returnTo) : QWidget(nullptr), main_(&main), returnTo_(returnTo) {
    setAttribute(Qt::WA_DeleteOnClose);
}

void DialogWindow::showOverMain(QWidget* focus) {
    show();
    activateWindow();
    (focus ? focus : this)->setFocus();
    if (main_) main_->setEnabled(false);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    if (main_) {
        main_->setEnabled(true);
        if (returnTo_) {
            main_->bringToFront(returnTo_);
            returnTo_->setFocus();
        }
    }
    event->accept();
}

}  // namespace ferro
