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
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QRadioButton;
class QPushButton;
class QSlider;
class QCheckBox;
class QSpinBox;
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The builders, one per frame or group of frames.
    QHBoxLayout* buildOptionFrames();
    QGroupBox* buildFmCountFrame();
    QGroupBox* buildPsgCountFrame();
    QGroupBox* buildTempoFrame();
    QGroupBox* buildAssignmentFrame();
    QGroupBox* buildStatusFrame();
    void buildDriverChoice(QGridLayout* grid, int column);
    void buildModuleTempo(QVBoxLayout* column);
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
    void pickDriver(int index);
    void matchModuleTempo();
    void fillAssignmentFromNames();

    SongModel& model_;
    Dialogs& dialogs_;
    int subscription_ = 0;
    bool showing_ = false;  // true while the window writes its own controls
    bool tearingDown_ = false;

    QRadioButton* loopYes_ = nullptr;
    QRadioButton* loopNo_ = nullptr;
    QRadioButton* dacYes_ = nullptr;
    QRadioButton* dacNo_ = nullptr;
    QGroupBox* e4Frame_ = nullptr;
    QToolButton* e4Box_ = nullptr;      // a picture toggle
    QCheckBox* moduleEffectsBox_ = nullptr;
    QSlider* fmSlider_ = nullptr;
    QLabel* fmCount_ = nullptr;
    QSlider* psgSlider_ = nullptr;
    QLabel* psgCount_ = nullptr;
    QGroupBox* noiseFrame_ = nullptr;
    QRadioButton* noiseYes_ = nullptr;
    QRadioButton* noiseNo_ = nullptr;
    QListWidget* timingList_ = nullptr;
    QListWidget* tempoList_ = nullptr;
    QSpinBox* tempoByte_ = nullptr;     // the tempo of a driver with a tempo byte
    QComboBox* driverList_ = nullptr;
    QLabel* moduleTempo_ = nullptr;
    QPushButton* matchTempoButton_ = nullptr;
    std::array<QLabel*, kAssignmentRowCount> rowCaptions_{};
    std::array<QComboBox*, kAssignmentRowCount> rowLists_{};
    QPushButton* autoFillButton_ = nullptr;
    QLabel* lightPicture_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QLabel* statusPanel_ = nullptr;
};

}  // namespace ferro
