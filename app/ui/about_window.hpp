#pragma once
// Placeholder until the About window lands.
#include <QWidget>

namespace ferro {

class MainWindow;

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    static AboutWindow* show(MainWindow&) { return nullptr; }
};

}  // namespace ferro
