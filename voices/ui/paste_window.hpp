#pragma once
// "Paste or type a voice...": a separate window with one text box whose text
// goes to the voice manager. The main window is disabled while it is open.
#include <QPointer>

#include "app/ui/dialog_window.hpp"

class QPlainTextEdit;
class QPushButton;

namespace ferro {

class MainWindow;
class VoiceManagerWindow;

class PasteWindow : public DialogWindow {
    Q_OBJECT
public:
    // Shows the window holding `text` for `manager`, disables the main
    // window; the window deletes itself when closed.
    static PasteWindow* open(MainWindow& main, VoiceManagerWindow& manager, const QString& text);

    QString text() const;
    void setText(const QString& text);

    void Command1_Click();  // "&Ok"
    void Command2_Click();  // "Canc&el"

private:
    PasteWindow(MainWindow& main, VoiceManagerWindow& manager, const QString& text);
    QPointer<VoiceManagerWindow> manager_;
    QPlainTextEdit* textBox_ = nullptr;  // Text1
};

}  // namespace ferro
