#pragma once
// The Voice manager: picks voices out of voice files or pasted text and
// builds the song's voice list, keeps the voice light, and opens the paste
// and "Save voice bank" windows.
#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <vector>

#include "base/shared_types.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_import.hpp"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace ferro {

class MainWindow;
class PasteWindow;
class BankWindow;
class VoiceHexView;

// The folder voice files and banks live in: the one the explorer shows (the
// loaded module's folder), or the process's working directory without it.
std::filesystem::path voiceWorkingFolder(const MainWindow& main);

class VoiceManagerWindow : public QWidget {
    Q_OBJECT
public:
    explicit VoiceManagerWindow(MainWindow& main, QWidget* parent = nullptr);
    ~VoiceManagerWindow() override;

    // Recomputes the voice light from the FM channel count and the number of
    // song voices; shows it here and on the main window's button.
    void pocketman();
    // Takes the paste window's text: adds it as "Pasted voice" or says why not.
    void I_AM_BATMAN(const QString& text);
    const SongVoiceList& songVoices() const { return voices_; }

    ReadinessLight light() const { return light_; }
    // The kind last applied (never Paste).
    VoiceFileKind kind() const { return kind_; }
    const FileVoiceList& fileVoices() const { return fileVoices_; }
    // The paste and bank windows while they are open, else null.
    PasteWindow* pasteWindow() const;
    BankWindow* bankWindow() const;

    // User actions, one per control event.
    void Combo1_Click();                       // kind selector
    void selectKind(int index);                // sets the selector, then Combo1_Click
    void refreshVoiceFiles();                  // re-reads the voice-file list
    void File1_Click();                        // a voice file chosen
    bool chooseVoiceFile(const QString& name); // selects it by name, then File1_Click
    void List1_Click();                        // file voice selection
    void List1_DblClick();
    void Check1_Click();                       // file All
    void Command1_Click();                     // "A&dd voice to the song"
    void List2_Click();                        // song voice selection
    void List2_DblClick();                     // rename
    void Check2_Click();                       // song All
    void Command2_Click();                     // "&Remove voice"
    void Command3_Click();                     // "Save ban&k"
    void Label1_RightClick();                  // copy the file voice's hex
    void Label2_RightClick();                  // copy the song voice's hex

protected:
    // The window goes only with the module's unload: closing it would throw
    // the song's voices away, so its close control minimises it instead.
    void closeEvent(QCloseEvent* event) override;

private:
    void updateWarning();
    void clearFileVoices();
    void rebuildSongList();
    void updateAddButton();
    void updateRemoveButton();
    void copyHex(const QString& text);

    MainWindow& main_;
    SongVoiceList voices_;
    FileVoiceList fileVoices_;
    std::vector<std::filesystem::path> voiceFiles_;  // the names in File1
    VoiceFileKind kind_ = VoiceFileKind::Raw25;
    bool fileSsgEg_ = false;  // the shown TFI voice uses SSG-EG
    ReadinessLight light_ = ReadinessLight::Green;
    bool lightShown_ = false;

    QComboBox* kindBox_ = nullptr;        // Combo1
    QListWidget* fileList_ = nullptr;     // File1
    QGroupBox* fileHexFrame_ = nullptr;   // Frame3
    QListWidget* fileVoiceList_ = nullptr;// List1
    QCheckBox* fileAll_ = nullptr;        // Check1
    QPushButton* addButton_ = nullptr;    // Command1
    VoiceHexView* fileHex_ = nullptr;     // Label1
    QListWidget* songList_ = nullptr;     // List2
    QCheckBox* songAll_ = nullptr;        // Check2
    QPushButton* removeButton_ = nullptr; // Command2
    QPushButton* bankButton_ = nullptr;   // Command3
    VoiceHexView* songHex_ = nullptr;     // Label2
    QGroupBox* warningFrame_ = nullptr;   // Frame6
    QLabel* warningText_ = nullptr;       // Label3
    QLabel* lightPicture_ = nullptr;      // Picture1

    QPointer<PasteWindow> pasteWindow_;
    QPointer<BankWindow> bankWindow_;
};

}  // namespace ferro
