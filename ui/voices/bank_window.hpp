#pragma once
// "Save voice bank": writes the song's voices as a raw, fcv or ymx bank in the
// voice folder. The main window is disabled while it is open.
#include <array>
#include <filesystem>

#include "ui/common/dialog_window.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_bank.hpp"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace ferro {

class Dialogs;

class BankWindow : public DialogWindow {
    Q_OBJECT
public:
    // Shows the window for `voices` (the song's, read when saving), to be
    // saved in `folder`; disables `over` (the main window) and gives the focus back
    // to `returnTo` afterwards. The window deletes itself when closed.
    static BankWindow* open(QWidget& over, QWidget* returnTo, Dialogs& dialogs, const SongVoiceList& voices,
                            std::filesystem::path folder);

    BankFormat selectedFormat() const;
    bool formatOffered(BankFormat format) const;
    QString extension() const;
    QString bankName() const;
    void setBankName(const QString& name);

    void chooseFormat(int index);  // one per bank format
    void saveBank();               // "Ok"
    void cancel();                 // "Cancel"

signals:
    // The bank file was written: it is one of the voice files now.
    void bankSaved();

private:
    BankWindow(QWidget& over, QWidget* returnTo, Dialogs& dialogs, const SongVoiceList& voices,
               std::filesystem::path folder);
    Dialogs& dialogs_;
    const SongVoiceList& voices_;
    std::filesystem::path folder_;
    std::array<QRadioButton*, 3> options_{};  // one per bank format
    QLineEdit* nameBox_ = nullptr;
    QLabel* extensionLabel_ = nullptr;
};

}  // namespace ferro
