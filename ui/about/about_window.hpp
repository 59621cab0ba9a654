#pragma once
// The About window: the program's caption, the credit lines and a little
// picture that travels up and down. The main window is disabled while it is
// shown.
#include <QString>

#include "ui/common/dialog_window.hpp"

class QCloseEvent;
class QLabel;
class QPushButton;
class QTimer;

namespace ferro {

class AboutWindow : public DialogWindow {
    Q_OBJECT
public:
    // The picture's course in twips, and its step at every tick.
    static constexpr int kImageTopStart = 540;
    static constexpr int kImageTopEnd = 2040;
    static constexpr int kImageStep = 30;
    static constexpr int kTickMs = 50;

    // Opens a new About window captioned with `over`'s title, gives it the
    // focus and disables `over` (the main window) until it closes; the focus
    // goes back to `returnTo` then.
    static AboutWindow* show(QWidget& over, QWidget* returnTo);

    // The credit lines as shown, joined by CR LF.
    static QString creditText();

    // The moving picture's top in twips and its direction ("1" down, "2" up).
    int imageTop() const { return imageTop_; }
    QString imageTag() const { return tag_; }

public slots:
    // One tick of the timer: moves the picture a step.
    void moveImage();
    // "O&k": closes; the main window takes input again and the
    // window shown before gets the focus back.
    void closeWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AboutWindow(QWidget& over, QWidget* returnTo);
    void placeImage();

    QLabel* title_ = nullptr;
    QLabel* credits_ = nullptr;
    QLabel* moving_ = nullptr;
    QLabel* still_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QTimer* timer_ = nullptr;
    int imageTop_ = kImageTopStart;
    QString tag_ = "1";
};

}  // namespace ferro
