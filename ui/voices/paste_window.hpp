#pragma once
// "Paste or type a voice...": a separate window with one text box whose text,
// on "&Ok", goes to whoever listens to voiceEntered (the Voice manager). The
// main window is disabled while it is open.
#include "ui/common/dialog_window.hpp"

class QPlainTextEdit;
class QPushButton;

namespace ferro {


class PasteWindow : public DialogWindow {
    Q_OBJECT
public:
    // Shows the window holding `text`, disables `over` (the main window); the focus
    // goes back to `returnTo` afterwards. The window deletes itself when closed.
    static PasteWindow* open(QWidget& over, QWidget* returnTo, const QString& text);

    QString text() const;
    void setText(const QString& text);

    void submitVoice();  // "&Ok": hands the text on and closes
    void cancel();       // "Canc&el"

signals:
    void voiceEntered(const QString& text);

private:
    PasteWindow(QWidget& over, QWidget* returnTo, const QString& text);
    QPlainTextEdit* textBox_ = nullptr;
};

}  // namespace ferro
