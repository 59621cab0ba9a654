#pragma once
// The About window: the program's caption, the credit lines and a little
// picture that travels up and down. The main window is disabled while it is
// shown.
#include <QString>

#include "app/ui/dialog_window.hpp"

class QCloseEvent;
class QLabel;
class QPushButton;
class QTimer;

namespace ferro {

class MainWindow;

class AboutWindow : public DialogWindow {
    Q_OBJECT
public:
    // The picture's course in twips, and its step at every tick.
    static constexpr int kImageTopStart = 540;
    static constexpr int kImageTopEnd = 2040;
    static constexpr int kImageStep = 30;
    static constexpr int kTickMs = 50;

    // Opens a new About window, gives it the focus and disables the main
    // window until it closes.
    static AboutWindow* show(MainWindow& main);

    // The credit lines as shown, joined by CR LF.
    static QString creditText();

    // The moving picture's top in twips and its direction ("1" down, "2" up).
    int imageTop() const { return imageTop_; }
    QString imageTag() const { return tag_; }

public slots:
    // One tick of the timer: moves the picture a step.
    void Timer1_Timer();
    // "O&k": enables the main window, gives the explorer the focus and closes.
    void Command1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit AboutWindow(MainWindow& main);
    void placeImage();

    QLabel* title_ = nullptr;     // Label1
    QLabel* credits_ = nullptr;   // Label2
    QLabel* moving_ = nullptr;    // Image1(0)
    QLabel* still_ = nullptr;     // Image1(1)
    QPushButton* okButton_ = nullptr;  // Command1
    QTimer* timer_ = nullptr;     // Timer1
    int imageTop_ = kImageTopStart;
    QString tag_ = "1";
};

}  // namespace ferro
