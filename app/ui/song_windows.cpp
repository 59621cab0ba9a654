// The one place that knows every window's type: creating, reloading and
// discarding the windows that live while a module is loaded, the explorer and
// Options at start-up, and the routines of the main window that reach them.
#include <QDir>
#include <QMdiSubWindow>

#include "app/ui/about_window.hpp"
#include "app/ui/main_window.hpp"
#include "app/ui/options_window.hpp"
#include "engine/ui/convert_action.hpp"
#include "params/ui/general_window.hpp"
#include "params/ui/more_window.hpp"
#include "voices/ui/voice_manager_window.hpp"
#include "xm/ui/explorer_window.hpp"

namespace ferro {

ExplorerWindow* MainWindow::explorer() const { return static_cast<ExplorerWindow*>(explorer_.data()); }
GeneralWindow* MainWindow::generalWindow() const { return static_cast<GeneralWindow*>(general_.data()); }
MoreWindow* MainWindow::moreWindow() const { return static_cast<MoreWindow*>(more_.data()); }
VoiceManagerWindow* MainWindow::voiceManager() const { return static_cast<VoiceManagerWindow*>(voiceManager_.data()); }
OptionsWindow* MainWindow::optionsWindow() const { return static_cast<OptionsWindow*>(options_.data()); }

void MainWindow::createExplorer() {
    // The settings file stays in the start-up folder, whatever folder the
    // explorer shows later.
    const std::filesystem::path settingsFile =
        std::filesystem::path(QDir::currentPath().toStdU16String()) / "ferrosettings.ini";
    auto* explorer = new ExplorerWindow(*this);
    explorer_ = explorer;
    // The explorer stays for the whole run: its frame has no close control.
    addChildWindow(explorer)->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                             Qt::WindowMinimizeButtonHint);
    // The explorer's creation brings the Options window.
    auto* options = new OptionsWindow(*this, settingsFile);
    options_ = options;
    addChildWindow(options);
    bringToFront(explorer);
}

void MainWindow::minimiseOptionsWindow() { minimiseChild(options_); }

AppOptions MainWindow::appOptions() const {
    if (const OptionsWindow* options = optionsWindow()) return options->options();
    return AppOptions{};
}

void MainWindow::createSongWindows(const XmModule& module) {
    auto* more = new MoreWindow(*this);
    more_ = more;
    more->fillForFirstLoad();
    auto* general = new GeneralWindow(*this);
    general_ = general;
    general->resetChannelAssignment(module.channelCount);
    general->selectDefaultTempos();
    auto* voices = new VoiceManagerWindow(*this);
    voiceManager_ = voices;
}

void MainWindow::showSongWindows() {
    for (QWidget* w : {static_cast<QWidget*>(more_), static_cast<QWidget*>(voiceManager_), static_cast<QWidget*>(general_)}) {
        if (!w) continue;
        if (!w->parentWidget()) addChildWindow(w);
        bringToFront(w);
    }
    if (MoreWindow* more = moreWindow()) placeSongWindows(more->wholeSizeHint());
    if (GeneralWindow* general = generalWindow()) {
        general->controllino();
        bringToFront(general);
    }
    if (VoiceManagerWindow* voices = voiceManager()) voices->pocketman();
}

void MainWindow::prepareSongWindowsForReload() {
    if (MoreWindow* more = moreWindow()) more->reenableRemoveRests();
}

void MainWindow::songChannelCountChanged() {
    dialogs_.showMessage("The XM file now has a different number of channels!\r\nAll the channel assignments were reseted!",
                         MessageIcon::Exclamation);
    if (GeneralWindow* general = generalWindow()) general->resetChannelAssignment(model_.module()->channelCount);
}

void MainWindow::discardSongWindows() {
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
    if (ExplorerWindow* e = explorer()) return e->closingStep();
    return true;
}

void MainWindow::convertSong() { convertSongAction(*this); }

void MainWindow::showAbout() { AboutWindow::show(*this); }

}  // namespace ferro
