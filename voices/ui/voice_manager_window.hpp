#pragma once
// The Voice manager: picks voices out of voice files or pasted text and
// builds the song's voice list. The song's voices and the voice light are the
// song model's; the window keeps only what the user is browsing (the kind of
// file, the voice files and the voices of the chosen file). The paste and
// "Save voice bank" windows are asked for with a signal.
#include <QWidget>
#include <filesystem>
#include <functional>
#include <vector>

#include "base/shared_types.hpp"
#include "song/song_model.hpp"
#include "voices/voice_import.hpp"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace ferro {

class Dialogs;
class VoiceHexView;

class VoiceManagerWindow : public QWidget {
    Q_OBJECT
public:
    // The folder voice files and banks live in, asked for whenever the
    // window reads it (the explorer's folder).
    using FolderSource = std::function<std::filesystem::path()>;

    VoiceManagerWindow(SongModel& model, Dialogs& dialogs, FolderSource voiceFolder, QWidget* parent = nullptr);
    ~VoiceManagerWindow() override;

    // The paste window's text: adds it to the song as "Pasted voice", or
    // says why not.
    void addPastedVoice(const QString& text);

    // The voices of the chosen voice file.
    const FileVoiceList& fileVoices() const { return fileVoices_; }

    // User actions, one per control event.
    void applyChosenKind();                      // Combo1: the kind selector
    void selectKind(int index);                  // sets the selector, then applyChosenKind
    void refreshVoiceFiles();                    // re-reads the voice-file list (File1)
    void openChosenVoiceFile();                  // File1: a voice file chosen
    bool chooseVoiceFile(const QString& name);   // selects it by name, then openChosenVoiceFile
    void showFileVoice();                        // List1: file voice selection
    void addDoubleClickedVoice();                // List1 double click
    void updateAddButton();                      // Check1: the file's "All"
    void addSelectedVoices();                    // Command1 "A&dd voice to the song"
    void showSongVoice();                        // List2: song voice selection
    void renameSongVoice();                      // List2 double click
    void updateRemoveButton();                   // Check2: the song's "All"
    void removeSelectedVoices();                 // Command2 "&Remove voice"
    void saveBank();                             // Command3 "Save ban&k"
    void copyFileVoiceHex();                     // Label1 right click
    void copySongVoiceHex();                     // Label2 right click

signals:
    // "Paste hex voice..." was chosen: the paste window is wanted, its text
    // for addPastedVoice.
    void pasteRequested();
    // "Save ban&k" with voices in the song.
    void bankRequested();
    // The window's close control: it minimises instead.
    void minimiseRequested();

protected:
    // The window goes only with the module's unload: closing it would throw
    // the song's voices away, so its close control minimises it instead.
    void closeEvent(QCloseEvent* event) override;

private:
    void createFileSide(QGridLayout* grid);
    void createSongSide(QGridLayout* grid);
    void setUpHexViews();
    void wireControls();
    void songChanged(SongChanges changes);
    void showSongVoices();
    void showLight();
    void updateWarning();
    void clearFileVoices();
    void copyHex(const QString& text);

    SongModel& model_;
    Dialogs& dialogs_;
    FolderSource voiceFolder_;
    int subscription_ = 0;

    FileVoiceList fileVoices_;
    std::vector<std::filesystem::path> voiceFiles_;  // the names in File1
    VoiceFileKind kind_ = VoiceFileKind::Raw25;  // the kind last applied (never Paste)
    bool fileSsgEg_ = false;  // the shown TFI voice uses SSG-EG

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
};

}  // namespace ferro
