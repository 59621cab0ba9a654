#include "ui/common/dialogs.hpp"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>

#include "base/shared_types.hpp"

namespace ferro {

namespace {
QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Plain: return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}
QString titleOr(const QString& title) { return title.isEmpty() ? QString(kProgramTitle) : title; }
}  // namespace

void QtDialogs::showMessage(const QString& text, MessageIcon icon, const QString& title) {
    QMessageBox box(toQt(icon), titleOr(title), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtDialogs::askYesNo(const QString& text, MessageIcon icon, bool defaultNo, const QString& title) {
    QMessageBox box(toQt(icon), titleOr(title), text, QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::inputText(const QString& prompt, const QString& title, const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), titleOr(title), prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString QtDialogs::clipboardText() { return QGuiApplication::clipboard()->text(); }

void QtDialogs::setClipboardText(const QString& text) {
    QGuiApplication::clipboard()->clear();
    QGuiApplication::clipboard()->setText(text);
}

QSize QtDialogs::screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(0, 0);
}

std::optional<QString> QtDialogs::saveFileName(const QString& caption, const QString& suggestedPath,
                                               const QString& filter) {
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, suggestedPath, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtDialogs::openFileName(const QString& caption, const QString& startFolder,
                                               const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, startFolder, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtDialogs::existingFolder(const QString& caption, const QString& startFolder) {
    const QString path = QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption, startFolder);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace ferro
