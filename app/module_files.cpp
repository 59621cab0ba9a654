// The main window and the module files on disk: opening a module from the
// File menu, the recent modules, a module dropped on the window, the setup
// file saved beside a module, following the loaded module on disk, and the
// keyboard shortcuts of the File menu and the bar.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "app/main_window.hpp"
#include "ui/common/dropped_files.hpp"
#include "ui/common/sound_folder.hpp"
#include "ui/module/explorer_window.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

namespace {

constexpr int kRecentModuleCount = 8;
constexpr const char* kRecentModulesKey = "recent/modules";
// Trackers and editors often save in several steps (a new file, then a
// rename): the reload waits until the writes have been quiet this long.
constexpr int kReloadDelayMs = 300;
// A module deleted is looked for this often, until it comes back.
constexpr int kMissingModulePollMs = 1000;

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

bool isModuleFile(const QString& path) { return QFileInfo(path).suffix().compare("xm", Qt::CaseInsensitive) == 0; }

// The one local .xm file dragged, or empty: anything else is not for us.
QString draggedModule(const QMimeData* data) {
    const QStringList files = droppedLocalFiles(data);
    return files.size() == 1 && isModuleFile(files.first()) ? files.first() : QString();
}

void storeRecentModules(const QStringList& modules) { userSettings().setValue(kRecentModulesKey, modules); }

void rememberModule(const QString& path) {
    QStringList modules = MainWindow::recentModules();
    modules.removeIf([&](const QString& m) { return m.compare(path, kPathCase) == 0; });
    modules.prepend(path);
    storeRecentModules(modules.mid(0, kRecentModuleCount));
}

}  // namespace

QStringList MainWindow::recentModules() { return userSettings().value(kRecentModulesKey).toStringList(); }

// "Open module..." and "Recent modules" at the top of the File menu, "Exit"
// at its foot.
void MainWindow::createModuleFileActions() {
    QMenu* fileMenu = menuBar()->findChild<QMenu*>("FileMenu");
    QAction* first = fileMenu->actions().value(0);
    openModuleAction_ = new QAction("Open module...", this);
    openModuleAction_->setObjectName("OpenModuleAction");
    connect(openModuleAction_, &QAction::triggered, this, &MainWindow::openModule);
    fileMenu->insertAction(first, openModuleAction_);
    recentMenu_ = new QMenu("Recent modules", fileMenu);
    recentMenu_->setObjectName("RecentModulesMenu");
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    fileMenu->insertMenu(first, recentMenu_);
    fileMenu->insertSeparator(first);
    fileMenu->addSeparator();
    QAction* exit = fileMenu->addAction("E&xit", this, [this] { exitButton_->click(); });
    exit->setObjectName("ExitAction");
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    fillRecentMenu();
    createShortcuts();
    setAcceptDrops(true);
    createModuleWatcher();
}

void MainWindow::createModuleWatcher() {
    moduleWatcher_ = new QFileSystemWatcher(this);
    connect(moduleWatcher_, &QFileSystemWatcher::fileChanged, this, &MainWindow::moduleChangedOnDisk);
    reloadTimer_ = new QTimer(this);
    reloadTimer_->setSingleShot(true);
    connect(reloadTimer_, &QTimer::timeout, this, &MainWindow::reloadChangedModule);
}

// Play and Stop press their buttons, so that a disabled button does nothing.
void MainWindow::createShortcuts() {
    openModuleAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    openSetupAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    saveSetupAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* play = new QAction("Play", this);
    play->setObjectName("PlayAction");
    play->setShortcut(Qt::Key_F5);
    connect(play, &QAction::triggered, playButton_, &QToolButton::click);
    QAction* stop = new QAction("Stop", this);
    stop->setObjectName("StopAction");
    stop->setShortcut(Qt::Key_Escape);
    connect(stop, &QAction::triggered, stopButton_, &QToolButton::click);
    addActions({play, stop});
}

void MainWindow::followModuleFiles(ExplorerWindow* explorer) {
    connect(explorer, &ExplorerWindow::moduleLoaded, this,
            [this](const QString&, const QString&, bool reload) { moduleFileLoaded(reload); });
    connect(explorer, &ExplorerWindow::moduleUnloaded, this, [this] { watchModule(QString()); });
}

void MainWindow::openModule() {
    const QString start = explorer() ? explorer()->shownFolder() : QDir::currentPath();
    const auto chosen = dialogs_.openFileName("Open module", start, "XM modules (*.xm)");
    if (chosen) openModuleFile(*chosen);
}

bool MainWindow::openModuleFile(const QString& path) {
    ExplorerWindow* e = explorer();
    if (!e) return false;
    const QFileInfo file(path);
    const bool same = e->isLoaded() && file == QFileInfo(e->loadedModulePath());
    if (!same && !e->replacingStep(appOptions().exitPolicy, file.fileName())) return false;
    return e->openModule(file.absoluteFilePath());
}

void MainWindow::moduleFileLoaded(bool reload) {
    const QString path = explorer()->loadedModulePath();
    watchModule(path);
    if (reload) return;
    rememberModule(QDir::cleanPath(path));
    fillRecentMenu();
    offerSetupBeside(path);
}

// ---- Recent modules.

// Modules no longer on disk leave the list as it is shown.
void MainWindow::fillRecentMenu() {
    QStringList modules = recentModules();
    if (modules.removeIf([](const QString& m) { return !QFileInfo::exists(m); }) > 0) storeRecentModules(modules);
    recentMenu_->clear();
    for (int i = 0; i < modules.size(); ++i) {
        const QString path = modules[i];
        const QString shown = QDir::toNativeSeparators(path).replace('&', "&&");
        recentMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(shown), this, [this, path] { openRecentModule(path); });
    }
    recentMenu_->menuAction()->setEnabled(!modules.isEmpty());
}

void MainWindow::openRecentModule(const QString& path) {
    if (!QFileInfo::exists(path)) {
        dialogs_.showMessage(QDir::toNativeSeparators(path) + " no longer exists.", MessageIcon::Exclamation);
        fillRecentMenu();
        return;
    }
    openModuleFile(path);
}

// ---- Dropping a module on the window.

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!draggedModule(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = draggedModule(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // Loaded once the drop is over: the load may ask questions, and the
    // program the file came from waits for the drop to end.
    QTimer::singleShot(0, this, [this, path] { openModuleFile(path); });
}

// ---- The setup saved beside the module.

void MainWindow::offerSetupBeside(const QString& modulePath) {
    const QFileInfo module(modulePath);
    const QFileInfo setup(module.dir().filePath(module.completeBaseName() + ".json"));
    if (!setup.isFile()) return;
    if (dialogs_.askYesNo("Open the setup saved beside this module, " + setup.fileName() + "?", MessageIcon::Question))
        applySetupFile(setup.filePath());
}

// ---- Following the loaded module on disk.

// Only the module file: the scratch files beside it change with every load
// and conversion.
void MainWindow::watchModule(const QString& path) {
    reloadTimer_->stop();
    if (!moduleWatcher_->files().isEmpty()) moduleWatcher_->removePaths(moduleWatcher_->files());
    watchedModule_ = path;
    if (!path.isEmpty()) moduleWatcher_->addPath(path);
}

void MainWindow::moduleChangedOnDisk() {
    // Saved as a new file renamed over the old one, the module is a file the
    // watcher has dropped: follow the new one.
    if (moduleWatcher_->files().isEmpty() && QFileInfo::exists(watchedModule_)) moduleWatcher_->addPath(watchedModule_);
    reloadTimer_->start(kReloadDelayMs);
}

// The explorer's "Reload this XM file", when the module still reads; one that
// doesn't leaves the last good one loaded, as the status bar says.
void MainWindow::reloadChangedModule() {
    ExplorerWindow* e = explorer();
    if (!e || !e->isLoaded() || watchedModule_.isEmpty()) return;
    // Not under a question: a conversion asking one holds the loaded module.
    if (QApplication::activeModalWidget()) {
        reloadTimer_->start(kReloadDelayMs);
        return;
    }
    const QFileInfo file(watchedModule_);
    if (!file.exists()) {
        messagePanel_->setText(file.fileName() + " is no longer on disk; the last good one stays loaded");
        reloadTimer_->start(kMissingModulePollMs);
        return;
    }
    if (moduleWatcher_->files().isEmpty()) moduleWatcher_->addPath(watchedModule_);
    std::string problem;
    const auto read = readXmModule(std::filesystem::path(file.absolutePath().toStdU16String()),
                                   file.fileName().toStdString(), &problem);
    if (const auto* error = std::get_if<XmError>(&read)) {
        // The status bar holds one line: the reader's two as "first: second".
        const QString why = QString::fromStdString(xmFailureText(*error, problem)).replace('\n', ": ");
        messagePanel_->setText(file.fileName() + " changed on disk and no longer reads (" + why +
                               "); the last good one stays loaded");
        return;
    }
    e->reloadXmModule();
    if (e->isLoaded()) messagePanel_->setText("Reloaded " + file.fileName() + ": it changed on disk");
}

}  // namespace ferro
