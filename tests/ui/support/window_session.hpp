#pragma once
// What every window test stands on: a fresh folder made the current one (the
// explorer lists it, voice files and settings go there), fake
// dialogs, and the main window over them once a test starts it. The folder
// that was current comes back when the session goes, after the window. The
// user's settings (the recent modules, the sound folder) go to a folder of the
// session's own, never to the real ones.
#include <QDir>
#include <QListWidget>
#include <QSettings>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "ui/support/fake_dialogs.hpp"
#include "support/temp_dir.hpp"
#include "support/xm_writer.hpp"
#include "ui/common/scratch_area.hpp"
#include "ui/module/explorer_window.hpp"

namespace ferro::test {

class WindowSession {
public:
    WindowSession() {
        QDir::setCurrent(folder());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdU16String(settingsDir.path().u16string()));
        // Scratch files in a folder of the session's own: tests run side by
        // side never share the user's cache folder.
        ScratchArea::setRoot(QString::fromStdU16String((settingsDir.path() / "scratch").u16string()));
    }
    ~WindowSession() {
        main.reset();
        QDir::setCurrent(before_);
    }
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    QString folder() const { return QString::fromStdString(dir.path().string()); }
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        writeFileBytes(dir / name, bytes);
    }

    // The main window through its start-up; false when it chose not to run.
    bool start() {
        main = std::make_unique<MainWindow>(dialogs);
        return main->startUp();
    }
    // Picks `name` in the explorer's file list, as a click would, and loads
    // it; false when the explorer does not list it or it did not load.
    bool load(const QString& name) {
        ExplorerWindow& explorer = *main->explorer();
        explorer.refreshFileList();
        auto* files = explorer.findChild<QListWidget*>("fileList");
        const auto items = files->findItems(name, Qt::MatchExactly);
        if (items.isEmpty()) return false;
        files->setCurrentItem(items.first());
        explorer.selectFile();
        explorer.loadSelectedFile();
        return explorer.isLoaded();
    }

    TempDir dir;
    TempDir settingsDir;
    FakeDialogs dialogs;
    std::unique_ptr<MainWindow> main;

private:
    QString before_ = QDir::currentPath();
};

}  // namespace ferro::test
