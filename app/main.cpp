// Start-up: the main window, the screen check, then the explorer.
#include <QApplication>
#include <QScreen>

#include "ui/common/dialogs.hpp"
#include "app/main_window.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ferro::QtDialogs dialogs;
    ferro::MainWindow window(dialogs);
    if (!window.startUp()) return 0;
    // The whole room the screen gives, so that the song windows can be
    // placed side by side at the first load; never below the minimum size.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.resize(screen->availableGeometry().size().expandedTo(window.minimumSize()));
    window.showMaximized();
    return app.exec();
}
