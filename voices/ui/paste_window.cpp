#include "voices/ui/paste_window.hpp"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/main_window.hpp"
#include "voices/ui/voice_manager_window.hpp"

namespace ferro {

namespace {
int px(int twips) { return twips / MainWindow::kTwipsPerPixel; }
}  // namespace

PasteWindow::PasteWindow(MainWindow& main, VoiceManagerWindow& manager, const QString& text)
    : DialogWindow(main, &manager), manager_(&manager) {
    setObjectName("PasteWindow");
    setWindowTitle("Paste or type a voice...");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    textBox_ = new QPlainTextEdit(this);
    textBox_->setObjectName("Text1");
    textBox_->setAccessibleName("Voice as hexadecimal text");
    textBox_->setTabChangesFocus(true);
    textBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textBox_->setPlainText(text);
    auto* ok = new QPushButton("&Ok", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Canc&el", this);
    cancel->setObjectName("Command2");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(textBox_, 1);
    column->addLayout(buttons);
    resize(px(6600), px(2400));

    connect(ok, &QPushButton::clicked, this, &PasteWindow::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &PasteWindow::Command2_Click);
}

PasteWindow* PasteWindow::open(MainWindow& main, VoiceManagerWindow& manager, const QString& text) {
    auto* window = new PasteWindow(main, manager, text);
    window->showOverMain(window->textBox_);
    window->textBox_->selectAll();
    return window;
}

QString PasteWindow::text() const { return textBox_->toPlainText(); }
void PasteWindow::setText(const QString& text) { textBox_->setPlainText(text); }

void PasteWindow::Command1_Click() {
    if (manager_) manager_->I_AM_BATMAN(text());
    close();
}

void PasteWindow::Command2_Click() { close(); }

}  // namespace ferro
