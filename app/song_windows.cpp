// The one place that knows every window's type: creating, reloading and
// discarding the windows that live while a module is loaded, the explorer and
// Options at start-up, and the routines of the main window that reach them.
#include <QDir>
#include <QMdiSubWindow>

#include "ui/about/about_window.hpp"
#include "app/main_window.hpp"
#include "ui/options/options_window.hpp"
#include "base/paths.hpp"
#include "ui/params/general_window.hpp"
#include "ui/params/more_window.hpp"
#include "ui/voices/bank_window.hpp"
#include "ui/voices/paste_window.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "ui/module/explorer_window.hpp"
#include "ui/module/info_window.hpp"

namespace ferro {

namespace {

// Voice files and banks live in the folder the explorer shows (the module's),
// or in the working directory without it.
std::filesystem::path voiceFolder(const MainWindow& main) {
    const QString folder = main.explorer() ? main.explorer()->shownFolder() : QDir::currentPath();
    return pathFromUtf8(folder.toStdString());
}

}  // namespace

ExplorerWindow* MainWindow::explorer() const { return static_cast<ExplorerWindow*>(explorer_.data()); }
GeneralWindow* MainWindow::generalWindow() const { return static_cast<GeneralWindow*>(general_.data()); }
MoreWindow* MainWindow::moreWindow() const { return static_cast<MoreWindow*>(more_.data()); }
VoiceManagerWindow* MainWindow::voiceManager() const { return static_cast<VoiceManagerWindow*>(voiceManager_.data()); }
OptionsWindow* MainWindow::optionsWindow() const { return static_cast<OptionsWindow*>(options_.data()); }
PasteWindow* MainWindow::pasteWindow() const { return static_cast<PasteWindow*>(pasteWindow_.data()); }
BankWindow* MainWindow::bankWindow() const { return static_cast<BankWindow*>(bankWindow_.data()); }

void MainWindow::createExplorer() {
    // The settings file stays in the start-up folder, whatever folder the
    // explorer shows later.
    const std::filesystem::path settingsFile =
        std::filesystem::path(QDir::currentPath().toStdU16String()) / "ferrosettings.ini";
    auto* explorer = new ExplorerWindow(model_, dialogs_);
    explorer_ = explorer;
    connect(explorer, &ExplorerWindow::moduleLoaded, this,
            [this](const QString& folder, const QString& fileName, bool reload) {
                if (!reload) createSongWindows(*model_.module());
                onModuleLoaded(folder, fileName);
                // Minimised first, so that the song windows are placed
                // clear of its icon.
                minimiseOptionsWindow();
                if (!reload) showSongWindows();
            });
    connect(explorer, &ExplorerWindow::channelCountChanged, this, &MainWindow::songChannelCountChanged);
    connect(explorer, &ExplorerWindow::moduleUnloaded, this, [this] {
        discardSongWindows();
        onModuleUnloaded();
    });
    connect(explorer, &ExplorerWindow::loadFailed, this, &MainWindow::minimiseOptionsWindow);
    followModuleFiles(explorer);
    connect(explorer, &ExplorerWindow::infoRequested, this,
            [this, explorer](const QString& folder, const QString& fileName) {
                InfoWindow::show(*this, explorer, dialogs_, folder, fileName);
            });
    // The explorer stays for the whole run: its close control hides it.
    addChildWindow(explorer)->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                             Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // The explorer's creation brings the Options window.
    auto* options = new OptionsWindow(dialogs_, settingsFile);
    options_ = options;
    connect(options, &OptionsWindow::minimiseRequested, this, &MainWindow::minimiseOptionsWindow);
    addChildWindow(options);
    bringToFront(explorer);
}

void MainWindow::minimiseOptionsWindow() { minimiseChild(options_); }

AppOptions MainWindow::appOptions() const {
    if (const OptionsWindow* options = optionsWindow()) return options->options();
    return AppOptions{};
}

void MainWindow::createSongWindows(const XmModule&) {
    auto* more = new MoreWindow(model_, dialogs_);
    more_ = more;
    auto* general = new GeneralWindow(model_, dialogs_);
    general_ = general;
    auto* voices = new VoiceManagerWindow(model_, dialogs_, [this] { return voiceFolder(*this); });
    voiceManager_ = voices;
    connectVoiceManager(voices);
}

void MainWindow::connectVoiceManager(VoiceManagerWindow* voices) {
    connect(voices, &VoiceManagerWindow::pasteRequested, this, [this, voices] {
        if (pasteWindow_) return;
        PasteWindow* paste = PasteWindow::open(*this, voices, dialogs_.clipboardText());
        pasteWindow_ = paste;
        connect(paste, &PasteWindow::voiceEntered, voices, &VoiceManagerWindow::addPastedVoice);
    });
    connect(voices, &VoiceManagerWindow::bankRequested, this, [this, voices] {
        if (bankWindow_) return;
        BankWindow* bank = BankWindow::open(*this, voices, dialogs_, model_.voices(), voiceFolder(*this));
        bankWindow_ = bank;
        // The new bank is one of the voice files now.
        connect(bank, &BankWindow::bankSaved, voices, &VoiceManagerWindow::refreshVoiceFiles);
    });
}

void MainWindow::showSongWindows() {
    for (QWidget* w : {static_cast<QWidget*>(more_), static_cast<QWidget*>(voiceManager_), static_cast<QWidget*>(general_)}) {
        if (!w) continue;
        if (!w->parentWidget()) addChildWindow(w);
        bringToFront(w);
    }
    if (MoreWindow* more = moreWindow()) placeSongWindows(more->wholeSizeHint());
    model_.checkAssignment();
    bringToFront(general_);
}

void MainWindow::songChannelCountChanged() {
    // The model has cleared every channel choice, and General parametres
    // refilled its lists for the new count.
    dialogs_.showMessage("The XM file now has a different number of channels!\r\nAll the channel assignments were reseted!",
                         MessageIcon::Exclamation);
}

void MainWindow::discardSongWindows() {
    // The paste and bank windows work on the song's voices for the Voice
    // manager and cannot outlive it.
    delete pasteWindow_.data();
    delete bankWindow_.data();
    for (QPointer<QWidget>* slot : {&general_, &voiceManager_, &more_}) {
        QWidget* w = *slot;
        if (!w) continue;
        // The sub-window frame goes with the window it holds.
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) {
            sub->setWidget(nullptr);
            delete sub;
        }
        delete w;
        *slot = nullptr;
    }
}

bool MainWindow::exitAllowed() {
    if (ExplorerWindow* e = explorer()) return e->closingStep(appOptions().exitPolicy);
    return true;
}


void MainWindow::showAbout() { AboutWindow::show(*this, explorer()); }

}  // namespace ferro
