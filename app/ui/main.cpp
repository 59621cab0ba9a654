// Start-up: the main window, the screen check, then the explorer.
#include <QApplication>
#include <QScreen>

#include "app/ui/dialogs.hpp"
#include "app/ui/main_window.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ferro::QtDialogs dialogs;
    ferro::MainWindow window(dialogs);
    if (!window.startUp()) return 0;
    // Room for the parameter windows side by side where the screen allows;
    // never below the minimum size.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 0.9;
        window.resize(room.boundedTo(QSize(1400, 1000)).expandedTo(window.minimumSize()));
    }
    window.show();
    return app.exec();
}
