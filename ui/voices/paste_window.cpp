#include "ui/voices/paste_window.hpp"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/twips.hpp"

namespace ferro {

PasteWindow::PasteWindow(QWidget& over, QWidget* returnTo, const QString& text) : DialogWindow(over, returnTo) {
    setObjectName("PasteWindow");
    setWindowTitle("Paste or type a voice...");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    textBox_ = new QPlainTextEdit(this);
    textBox_->setObjectName("hexTextBox");
    textBox_->setAccessibleName("Voice as hexadecimal text");
    textBox_->setTabChangesFocus(true);
    textBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textBox_->setPlainText(text);
    auto* ok = new QPushButton("&Ok", this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Canc&el", this);
    cancel->setObjectName("cancelButton");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(textBox_, 1);
    column->addLayout(buttons);
    resize(px(6600), px(2400));

    connect(ok, &QPushButton::clicked, this, &PasteWindow::submitVoice);
    connect(cancel, &QPushButton::clicked, this, &PasteWindow::cancel);
}

PasteWindow* PasteWindow::open(QWidget& over, QWidget* returnTo, const QString& text) {
    auto* window = new PasteWindow(over, returnTo, text);
    window->showOverMain(window->textBox_);
    window->textBox_->selectAll();
    return window;
}

QString PasteWindow::text() const { return textBox_->toPlainText(); }
void PasteWindow::setText(const QString& text) { textBox_->setPlainText(text); }

void PasteWindow::submitVoice() {
    emit voiceEntered(text());
    close();
}

void PasteWindow::cancel() { close(); }

}  // namespace ferro
