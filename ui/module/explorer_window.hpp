#pragma once
// The XM explorer: browse drives and folders, load, reload and unload a
// module into the song model. It owns the module's scratch files and keeps
// the process's working directory equal to the folder it shows.
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "settings/options.hpp"
#include "xm/scratch_files.hpp"

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace ferro {

class Dialogs;
class ScratchArea;
class SongModel;

class ExplorerWindow : public QWidget {
    Q_OBJECT
public:
    ExplorerWindow(SongModel& model, Dialogs& dialogs, QWidget* parent = nullptr);
    ~ExplorerWindow() override;

    // The loaded module (the song model's), or null while none is loaded.
    const XmModule* module() const;
    bool isLoaded() const { return module() != nullptr; }

    QString shownFolder() const { return folder_; }
    QString selectedFileName() const;

    // User actions.
    void changeDrive(int index);
    void changeDirectory(const QString& folder);
    void selectFile();
    void refreshFileList();
    void loadSelectedFile();
    void reloadXmModule();
    void unloadXmModule();
    void showXmInfo();
    // Another module picked outside the explorer (File > "Open module...", a
    // recent module, a dropped file): the explorer moves to its folder, selects
    // it and loads it as "Load this XM file" does, after unloading the one
    // loaded. The loaded module itself is reloaded, keeping its choices. A
    // file the list would not show (gone, hidden, not an .xm file) is refused
    // with a message and the loaded module stays. False when it did not load.
    bool openModule(const QString& path);
    // The full path of the loaded module, or empty.
    QString loadedModulePath() const;
    // Where the loaded module's scratch files are (a folder of this run's
    // own in the user's cache folder); empty while none is loaded.
    std::filesystem::path scratchDirectory() const;

    // Part of the main window's exit sequence: applies the exit policy;
    // false cancels the closing.
    bool closingStep(ExitPolicy policy);
    // Before another module replaces the loaded one and its choices: the exit
    // policy asks here too, unless it is "Exit anyway"; false keeps the
    // loaded module.
    bool replacingStep(ExitPolicy policy, const QString& nextFileName);

signals:
    // The module is in the song model: a first load, or a reload of the same
    // file (whose choices stayed).
    void moduleLoaded(const QString& folder, const QString& fileName, bool reload);
    // A reload found another channel count: every channel choice is cleared.
    void channelCountChanged();
    // The module left the song model (after an unload or a failed load).
    void moduleUnloaded();
    // A load failed and was reported.
    void loadFailed();
    // "Show XM info...": the header facts of a file that is not loaded.
    void infoRequested(const QString& folder, const QString& fileName);

private:
    void fillDrives();
    void fillFolders();
    void setBusy(bool busy);
    void showLoadedState(bool loaded);
    // A load's end, whether the module was read from the selected file or
    // before: its scratch files written and the module in the song model, or
    // the failure reported.
    void finishLoad(std::variant<XmModule, XmError> read, std::string problem, const QString& fileName, bool reload);
    bool writeScratchFiles(const XmModule& module);

    SongModel& model_;
    Dialogs& dialogs_;
    QComboBox* drives_ = nullptr;
    QListWidget* folders_ = nullptr;
    QListWidget* files_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* infoButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QPushButton* reloadButton_ = nullptr;
    QPushButton* unloadButton_ = nullptr;
    QString folder_;
    // The loaded module's scratch files and the folder they are in; there
    // while a module is loaded.
    std::unique_ptr<ScratchArea> scratchArea_;
    std::optional<ScratchFolder> scratch_;
};

}  // namespace ferro
