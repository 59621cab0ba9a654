#include "ui/common/dialog_window.hpp"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace ferro {

// No parent: a child of the window it is shown over would be disabled along
// with it.
DialogWindow::DialogWindow(QWidget& over, QWidget* returnTo) : QWidget(nullptr), over_(&over), returnTo_(returnTo) {
    setAttribute(Qt::WA_DeleteOnClose);
}

void DialogWindow::showOverMain(QWidget* focus) {
    show();
    activateWindow();
    (focus ? focus : this)->setFocus();
    if (over_) over_->setEnabled(false);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    if (over_) {
        over_->setEnabled(true);
        if (returnTo_) {
            // The child window comes back the way its own button brings it:
            // restored, shown and made the active one of its client area.
            if (auto* sub = qobject_cast<QMdiSubWindow*>(returnTo_->parentWidget())) {
                if (sub->isMinimized()) sub->showNormal();
                sub->show();
                if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
                sub->raise();
            }
            returnTo_->setFocus();
        }
    }
    event->accept();
}

}  // namespace ferro
