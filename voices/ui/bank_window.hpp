#pragma once
// "Save voice bank": writes the song's voices as a raw, fcv or ymx bank in the
// working folder. The main window is disabled while it is open.
#include <QPointer>

#include "app/ui/dialog_window.hpp"
#include <array>

#include "voices/voice_bank.hpp"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace ferro {

class MainWindow;
class VoiceManagerWindow;

class BankWindow : public DialogWindow {
    Q_OBJECT
public:
    // Shows the window for the song voices of `manager`, disables the main
    // window; the window deletes itself when closed.
    static BankWindow* open(MainWindow& main, VoiceManagerWindow& manager);

    BankFormat selectedFormat() const;
    bool formatOffered(BankFormat format) const;
    QString extension() const;
    QString bankName() const;
    void setBankName(const QString& name);

    void Option1_Click(int index);  // a format chosen
    void Command1_Click();          // "Ok"
    void Command2_Click();          // "Cancel"

private:
    BankWindow(MainWindow& main, VoiceManagerWindow& manager);
    QPointer<VoiceManagerWindow> manager_;
    std::array<QRadioButton*, 3> options_{};  // Option1_0..2
    QLineEdit* nameBox_ = nullptr;            // Text1
    QLabel* extensionLabel_ = nullptr;        // Label3
};

}  // namespace ferro
