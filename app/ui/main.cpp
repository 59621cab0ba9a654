// Start-up: the main window, the screen check, then the explorer.
#include <QApplication>

#include "app/ui/dialogs.hpp"
#include "app/ui/main_window.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ferro::QtDialogs dialogs;
    ferro::MainWindow window(dialogs);
    if (!window.startUp()) return 0;
    window.show();
    return app.exec();
}
