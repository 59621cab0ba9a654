#pragma once
// The General parametres window: channel counts, noise, drums, loop, tempo and
// the assignment of XM channels to output channels, with its readiness light.
// It owns SongSettings and ChannelAssignment; every user action changes them
// through the window-free operations and then re-displays both records.
#include <QString>
#include <QWidget>
#include <array>

#include "base/shared_types.hpp"
#include "params/song_settings.hpp"

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QStatusBar;
class QToolButton;

namespace ferro {

class MainWindow;

class GeneralWindow : public QWidget {
    Q_OBJECT
public:
    // Assignment rows, top to bottom: FM1..FM6, the three PSG rows, DAC.
    static constexpr int kFirstPsgRow = kMaxFmChannels;
    static constexpr int kDacRow = kMaxFmChannels + kMaxPsgChannels;
    static constexpr int kRowCount = kDacRow + 1;

    // Creating the window runs controllino (red while the lists are empty).
    explicit GeneralWindow(MainWindow& main, QWidget* parent = nullptr);
    ~GeneralWindow() override;

    // ---- Routines the other windows call.
    // The XM load: clears every choice and refills the ten lists with
    // "1".."channelCount", then runs controllino.
    void resetChannelAssignment(int channelCount);
    // The number of items in each channel list.
    int channelListCount() const { return assignment_.channelCount; }
    // The first load selects "03" and "02" in the two tempo lists.
    void selectDefaultTempos();
    // Validates the assignment: sets the light picture, the status text and
    // the main window's button colour, then asks the voice side to re-evaluate.
    void controllino();
    const SongSettings& settings() const { return settings_; }
    const ChannelAssignment& assignment() const { return assignment_; }
    ReadinessLight light() const { return light_; }
    QString statusText() const;

    // ---- User actions (one handler each).
    void setFmChannelCount(int count);
    void setPsgChannelCount(int count);
    void setUseNoise(bool useNoise);
    void setHasDrums(bool hasDrums);
    // Also writes loopOption into the loaded module's facts. No validation.
    void setLoopSong(bool loopSong);
    void setEndDacWithE4(bool on);
    // The tempo lists: the value is the selected position + 1.
    void selectDividingTiming(int listIndex);
    void selectTempo(int listIndex);
    // A choice in assignment row 0..9 (list position, -1 for none).
    void chooseChannel(int row, int listIndex);
    // "Auto fill": the assignment from the channel names of the loaded file.
    void autoFill();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window lives as long as the module is loaded: its close control
    // only minimises it, so the settings are never lost.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Shows both records in the controls without triggering their handlers.
    void showRecords();
    // The counts, noise, drums or loop changed: the More window follows.
    void updateMoreWindow();
    XmChannelChoice& rowChoice(int row);

    MainWindow& main_;
    SongSettings settings_;
    ChannelAssignment assignment_;
    ReadinessLight light_ = ReadinessLight::Red;
    bool showing_ = false;  // true while showRecords writes the controls
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
    std::array<QLabel*, kRowCount> rowCaptions_{};   // Label3_0..9
    std::array<QComboBox*, kRowCount> rowLists_{};   // Combo1_0..9
    QPushButton* autoFillButton_ = nullptr;  // Command1
    QLabel* lightPicture_ = nullptr;    // Picture1
    QStatusBar* statusBar_ = nullptr;   // StatusBar1
    QLabel* statusPanel_ = nullptr;
};

}  // namespace ferro
