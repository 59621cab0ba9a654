#pragma once
// The General parametres window: channel counts, noise, drums, loop, tempo and
// the assignment of XM channels to output channels, with its readiness light.
// It shows the song model and calls the model's operations on input; it keeps
// no choice of its own.
#include <QWidget>
#include <array>

#include "base/shared_types.hpp"
#include "song/song_model.hpp"

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QRadioButton;
class QPushButton;
class QSlider;
class QStatusBar;
class QToolButton;
class QVBoxLayout;

namespace ferro {

class Dialogs;

class GeneralWindow : public QWidget {
    Q_OBJECT
public:
    GeneralWindow(SongModel& model, Dialogs& dialogs, QWidget* parent = nullptr);
    ~GeneralWindow() override;

signals:
    // The close control was used: the window lives as long as the module is
    // loaded, so it is only minimised and no choice is lost.
    void minimiseRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The builders, one per frame or group of frames.
    QHBoxLayout* buildOptionFrames();
    QGroupBox* buildFmCountFrame();
    QGroupBox* buildPsgCountFrame();
    QGroupBox* buildTempoFrame();
    QGroupBox* buildAssignmentFrame();
    QGroupBox* buildStatusFrame();
    void buildStatusBar();
    void connectOptions();

    // Showing the model, without running the handlers.
    void showChanges(SongChanges changes);
    void showSettings();
    void showAssignment();
    void showLight();

    // Handlers of the user's input.
    void pickChannel(int row, int listIndex);
    void pickDividingTiming();
    void pickTempo();
    void fillAssignmentFromNames();

    SongModel& model_;
    Dialogs& dialogs_;
    int subscription_ = 0;
    bool showing_ = false;  // true while the window writes its own controls
    bool tearingDown_ = false;

    QRadioButton* loopYes_ = nullptr;   // Option1_0
    QRadioButton* loopNo_ = nullptr;    // Option1_1
    QRadioButton* dacYes_ = nullptr;    // Option2_0
    QRadioButton* dacNo_ = nullptr;     // Option2_1
    QGroupBox* e4Frame_ = nullptr;      // Frame3
    QToolButton* e4Box_ = nullptr;      // Check1, a picture toggle
    QSlider* fmSlider_ = nullptr;       // Slider1
    QLabel* fmCount_ = nullptr;         // Label1
    QSlider* psgSlider_ = nullptr;      // Slider2
    QLabel* psgCount_ = nullptr;        // Label2
    QGroupBox* noiseFrame_ = nullptr;   // Frame6
    QRadioButton* noiseYes_ = nullptr;  // Option3_0
    QRadioButton* noiseNo_ = nullptr;   // Option3_1
    QListWidget* timingList_ = nullptr; // List1
    QListWidget* tempoList_ = nullptr;  // List2
    std::array<QLabel*, kAssignmentRowCount> rowCaptions_{};  // Label3_0..9
    std::array<QComboBox*, kAssignmentRowCount> rowLists_{};  // Combo1_0..9
    QPushButton* autoFillButton_ = nullptr;  // Command1
    QLabel* lightPicture_ = nullptr;    // Picture1
    QStatusBar* statusBar_ = nullptr;   // StatusBar1
    QLabel* statusPanel_ = nullptr;     // StatusBar1_Panel1
};

}  // namespace ferro
