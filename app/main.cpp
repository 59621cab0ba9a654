// Start-up: the main window, the screen check, the explorer, then the
// module named on the command line, if any.
#include <QApplication>
#include <QScreen>
#include <QTimer>

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
    // Once the window stands at its size, so that the song windows are
    // placed in the room it gives them.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        QTimer::singleShot(0, &window, [&window, file = arguments.at(1)] { window.openModuleFile(file); });
    return app.exec();
}
