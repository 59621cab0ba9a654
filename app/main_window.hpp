#pragma once
// The frame of the program: a multiple-document window with the button bar on
// the left, the status bar below, the two readiness lights and the output
// format boxes. Other windows meet through the public routines here.
#include <QMainWindow>
#include <QMdiArea>
#include <QPixmap>
#include <QPointer>
#include <memory>
#include <optional>

#include "settings/options.hpp"
#include "base/byte_reader.hpp"
#include "base/shared_types.hpp"
#include "ui/common/dialogs.hpp"
#include "engine/conversion_request.hpp"
#include "engine/track_encoder.hpp"
#include "song/song_model.hpp"

class QAction;
class QCheckBox;
class QFileSystemWatcher;
class QTimer;
class QGroupBox;
class QLabel;
class QMdiSubWindow;
class QProgressBar;
class QMenu;
class QToolButton;

namespace ferro {

struct XmModule;
class ExplorerWindow;
class GeneralWindow;
class MoreWindow;
class VoiceManagerWindow;
class PasteWindow;
class BankWindow;
class OptionsWindow;
class SongPreview;
class AudioOut;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinWidthTwips = 12435;
    static constexpr int kMinHeightTwips = 9915;

    explicit MainWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up after the window exists: the screen check (false when the user
    // chose not to run), then the explorer, which brings the Options window.
    bool startUp();

    Dialogs& dialogs() { return dialogs_; }

    // The song being converted: the loaded module's facts and every choice.
    // The windows read it to show themselves and change it through its
    // operations; it outlives them all.
    SongModel& songModel() { return model_; }
    const SongModel& songModel() const { return model_; }

    // Called by the explorer.
    void onModuleLoaded(const QString& folder, const QString& fileName);
    void onModuleUnloaded();

    // The output formats the conversion writes.
    bool writeBin() const;
    bool writeAsm() const;
    // "SMPS2ASM" (enabled while ".asm" is ticked): how the .asm is written.
    AsmStyle asmStyle() const;

    // The model's readiness lights, shown as the colours of two buttons. No
    // value: the button face (no module loaded).
    std::optional<ReadinessLight> generalLight() const;
    std::optional<ReadinessLight> voiceLight() const;

    // The options in force (their defaults until the Options window exists).
    AppOptions appOptions() const;

    // The windows that exist while a module is loaded, created by the
    // explorer's first load in this order and discarded by its unload.
    void createSongWindows(const XmModule& module);
    void discardSongWindows();
    void showSongWindows();
    // A reload found another channel count: the model has cleared every
    // channel choice; say so.
    void songChannelCountChanged();

    // Child windows, or null while they do not exist.
    ExplorerWindow* explorer() const;
    GeneralWindow* generalWindow() const;
    MoreWindow* moreWindow() const;
    VoiceManagerWindow* voiceManager() const;
    OptionsWindow* optionsWindow() const;
    // The Voice manager's paste and "Save voice bank" windows while open.
    PasteWindow* pasteWindow() const;
    BankWindow* bankWindow() const;

    // Places the explorer and the song windows in the client area at the
    // first load, using the room it has: General parametres top right, the
    // Voice manager below it, More parametres top left at `moreSize` where
    // the room allows, and the explorer bottom left, its buttons below More
    // parametres. Where the room is too small they overlap, never beyond the
    // area; the explorer stands above the minimised windows' icons.
    void placeSongWindows(QSize moreSize);

    // Adds a child window to the client area and shows it.
    QMdiSubWindow* addChildWindow(QWidget* window);
    // Brings a child window to the front and gives it the focus.
    void bringToFront(QWidget* window);
    void minimiseChild(QWidget* window);
    void minimiseOptionsWindow();

    // The conversion, started by "Convert &song".
    void convertSong();

    // Whether the exit sequence may go on (runs the explorer's closing step).
    bool exitAllowed();

    QString statusText() const;

    // Hearing the song: "Play" converts the current choices in memory and
    // plays them, "Stop" ends it; the File menu's exports write the same
    // render as a VGM or WAV file. The audio output can be replaced (tests).
    void playSong();
    void stopSong();
    // The File menu's "Save setup..." and "Open setup...": every choice of
    // the song as the command line's setup file, and such a file read back
    // into the song (a file that can't be used changes nothing and says
    // which key is wrong). Enabled while a module is loaded.
    void saveSetup();
    void openSetup();

    // The generator behind the "Random" pan choice: the clock's, or one
    // seeded as the command line's --seed seeds it, for songs that must come
    // out the same every time.
    void setPanSeed(std::optional<std::uint64_t> seed) { panSeed_ = seed; }
    RandomSource panRandom() const;
    void exportSong(bool wav);
    void setAudioOut(std::unique_ptr<AudioOut> out);
    SongPreview& songPreview() { return *preview_; }

    // Modules on disk (module_files.cpp): File > "Open module...", "Recent
    // modules" and an .xm file dropped on the window load through the
    // explorer's own load; the loaded module is followed on disk and
    // reloaded, keeping every choice, when it changes. The module named on
    // the command line ("ferrocanto SONG.xm", and what Windows' "Open with"
    // passes) opens the same way.
    void openModule();
    bool openModuleFile(const QString& path);
    // The last modules loaded, most recent first, as kept in the user's
    // settings.
    static QStringList recentModules();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The constructor's parts, in the order it calls them.
    QWidget* createButtons(QWidget* parent);
    QGroupBox* createFormatBoxes(QWidget* parent);
    void createActions();
    void createStatusBar();
    void wireButtons();
    void wirePreview(std::unique_ptr<AudioOut> out);
    QToolButton* makeButton(const char* name, const QString& caption, const QString& tip, int iconKind);
    // Shows what changed in the song model.
    void songChanged(SongChanges changes);
    void connectVoiceManager(VoiceManagerWindow* voices);
    void updateConvertButton();
    void showLights();
    void updatePlayButtons();
    void setButtonLight(QToolButton* button, std::optional<ReadinessLight> light);
    void showAbout();
    void createExplorer();
    void fillWindowMenu();
    QMdiSubWindow* subWindowOf(QWidget* window) const;
    // The Window menu's arrangements, within the client area (client_area.cpp).
    void tileWindows();
    void cascadeWindows();
    QList<QMdiSubWindow*> arrangedWindows(QMdiArea::WindowOrder order) const;
    // The client area less the row of minimised windows along its bottom.
    QRect windowRoom() const;

    // Modules on disk (module_files.cpp).
    void createModuleFileActions();
    void createShortcuts();
    void createModuleWatcher();
    void followModuleFiles(ExplorerWindow* explorer);
    void moduleFileLoaded(bool reload);
    void watchModule(const QString& path);
    void moduleChangedOnDisk();
    void reloadChangedModule();
    void fillRecentMenu();
    void openRecentModule(const QString& path);
    void offerSetupBeside(const QString& modulePath);
    // "Open setup..." once the file is chosen.
    void applySetupFile(const QString& file);
    QAction* openModuleAction_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QFileSystemWatcher* moduleWatcher_ = nullptr;
    QTimer* reloadTimer_ = nullptr;
    QString watchedModule_;

    Dialogs& dialogs_;
    SongModel model_;
    std::optional<std::uint64_t> panSeed_;
    int modelSubscription_ = 0;
    QMdiArea* mdi_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QToolButton* explorerButton_ = nullptr;
    QToolButton* generalButton_ = nullptr;
    QToolButton* voiceButton_ = nullptr;
    QToolButton* moreButton_ = nullptr;
    QToolButton* convertButton_ = nullptr;
    QToolButton* exitButton_ = nullptr;
    QToolButton* aboutButton_ = nullptr;
    QGroupBox* createFrame_ = nullptr;
    QCheckBox* binBox_ = nullptr;
    QCheckBox* asmBox_ = nullptr;
    QCheckBox* smps2asmBox_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    QProgressBar* playProgress_ = nullptr;
    QLabel* positionPanel_ = nullptr;
    QAction* openSetupAction_ = nullptr;
    QAction* saveSetupAction_ = nullptr;
    QAction* exportVgmAction_ = nullptr;
    QAction* exportWavAction_ = nullptr;
    std::optional<Bytes> songForPreview();
    // The loaded module's name without its extension, for file names and tags.
    QString songBaseName() const;
    // The song's title for the VGM's tag, as the command line gives it.
    QString songTitleText() const;
    SongPreview* preview_ = nullptr;
    // What the preview is doing, for the status bar: a choice changed while
    // the song plays is heard from the next Play, an export stopped says so.
    enum class PreviewJob { None, Playing, Exporting };
    PreviewJob previewJob_ = PreviewJob::None;
    QString playConvertedAt_;  // "12:03": when the song playing was converted
    QString exportNote_;  // the export's line about its loop, shown with "written"
    QLabel* messagePanel_ = nullptr;
    QLabel* timePanel_ = nullptr;
    QLabel* datePanel_ = nullptr;

    // Held as QObject pointers so that this header needs none of the
    // windows' own headers; song_windows.cpp knows their types.
    QPointer<QWidget> explorer_;
    QPointer<QWidget> general_;
    QPointer<QWidget> more_;
    QPointer<QWidget> voiceManager_;
    QPointer<QWidget> pasteWindow_;
    QPointer<QWidget> bankWindow_;
    QPointer<QWidget> options_;
};

}  // namespace ferro
