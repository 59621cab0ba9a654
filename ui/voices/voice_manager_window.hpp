#pragma once
// The Voice manager: picks voices out of voice files or pasted text and
// builds the song's voice list. The song's voices and the voice light are the
// song model's; the window keeps only what the user is browsing (the kind of
// file, the voice files and the voices of the chosen file). The paste and
// "Save voice bank" windows are asked for with a signal. Voice files from
// other folders come through "Add voice file..." or a drop, and are listed
// with the folder's own for as long as the window lives.
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
    void applyChosenKind();                      // the kind selector
    void selectKind(int index);                  // sets the selector, then applyChosenKind
    void refreshVoiceFiles();                    // re-reads the list of voice files
    void openChosenVoiceFile();                  // a voice file chosen
    bool chooseVoiceFile(const QString& name);   // selects it by name, then openChosenVoiceFile
    void pickVoiceFile();                        // "Add voice file..."
    void addVoiceFile(const std::filesystem::path& file);  // picked or dropped: listed and opened
    void showFileVoice();                        // a file's voice selected
    void addDoubleClickedVoice();                // a file's voice double-clicked
    void updateAddButton();                      // the file's "All"
    void addSelectedVoices();                    // "A&dd voice to the song"
    void showSongVoice();                        // a song's voice selected
    void renameSongVoice();                      // a song's voice double-clicked
    void updateRemoveButton();                   // the song's "All"
    void removeSelectedVoices();                 // "&Remove voice"
    void removeSongVoice(int row);
    void saveBank();                             // "Save ban&k"
    void copyFileVoiceHex();                     // a right click on the file voice's hex
    void copySongVoiceHex();                     // a right click on the song voice's hex

signals:
    // "Paste hex voice..." was chosen: the paste window is wanted, its text
    // for addPastedVoice.
    void pasteRequested();
    // "Save ban&k" with voices in the song.
    void bankRequested();

protected:
    // Voice files dropped from a file manager are added as if picked.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The constructor's parts, in the order it calls them.
    void createFileSide(QGridLayout* grid);
    void createSongSide(QGridLayout* grid);
    void setUpHexViews();
    void wireControls();
    void songChanged(SongChanges changes);
    void showSongVoices();
    void showLight();
    void updateWarning();
    void clearFileVoices();
    void showFileVoices(const ImportResult& result);
    void copyHex(const QString& text);

    SongModel& model_;
    Dialogs& dialogs_;
    FolderSource voiceFolder_;
    int subscription_ = 0;

    FileVoiceList fileVoices_;
    std::vector<std::filesystem::path> voiceFiles_;  // the files in the list of voice files, with their folder
    std::vector<std::filesystem::path> addedFiles_;  // picked or dropped, from any folder
    VoiceFileKind kind_ = VoiceFileKind::Raw25;  // the kind last applied (never Paste)
    bool fileSsgEg_ = false;  // the shown TFI voice uses SSG-EG
    QString fileNotice_;      // the shown file holds fewer voices than it announces

    QComboBox* kindBox_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QPushButton* addFileButton_ = nullptr;
    QGroupBox* fileHexFrame_ = nullptr;
    QListWidget* fileVoiceList_ = nullptr;
    QCheckBox* fileAll_ = nullptr;
    QPushButton* addButton_ = nullptr;
    VoiceHexView* fileHex_ = nullptr;
    QListWidget* songList_ = nullptr;
    QCheckBox* songAll_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* bankButton_ = nullptr;
    VoiceHexView* songHex_ = nullptr;
    QGroupBox* warningFrame_ = nullptr;
    QLabel* warningText_ = nullptr;
    QLabel* lightPicture_ = nullptr;
};

}  // namespace ferro
