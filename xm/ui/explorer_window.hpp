#pragma once
// The XM explorer: browse drives and folders, load, reload and unload a
// module into the song model. It owns the module's scratch files and keeps
// the process's working directory equal to the folder it shows.
#include <QWidget>
#include <optional>

#include "xm/scratch_files.hpp"

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace ferro {

class MainWindow;

class ExplorerWindow : public QWidget {
    Q_OBJECT
public:
    explicit ExplorerWindow(MainWindow& main, QWidget* parent = nullptr);

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

    // Part of the main window's exit sequence: applies the exit policy;
    // false cancels the closing.
    bool closingStep();

    static std::int32_t LDWORD(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4) {
        return ferro::LDWORD(b1, b2, b3, b4);
    }
    static std::int16_t RWORD(std::uint8_t b1, std::uint8_t b2) { return ferro::RWORD(b1, b2); }

protected:
    // Only the program's end closes the explorer.
    void closeEvent(QCloseEvent* event) override;

private:
    void fillDrives();
    void fillFolders();
    void setBusy(bool busy);
    void showLoadedState(bool loaded);

    MainWindow& main_;
    QComboBox* drives_ = nullptr;     // Drive1
    QListWidget* folders_ = nullptr;  // Dir1
    QListWidget* files_ = nullptr;    // File1
    QPushButton* refreshButton_ = nullptr;  // Command3
    QPushButton* infoButton_ = nullptr;     // Command4
    QPushButton* loadButton_ = nullptr;     // Command1
    QPushButton* reloadButton_ = nullptr;   // Command5
    QPushButton* unloadButton_ = nullptr;   // Command2
    QString folder_;
    // The loaded module's scratch files; there while a module is loaded.
    std::optional<ScratchFolder> scratch_;
};

}  // namespace ferro
