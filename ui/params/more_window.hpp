#pragma once
// The More parametres window: the four instrument maps (FM voice, PSG voice,
// DAC sample and hi-hat kind by XM instrument or note), the pitch, volume and
// pan of each output channel, and the two output options. It shows the song
// model, its frames following the General choices, and calls the model's
// operations on input; it keeps no choice of its own.
#include <QWidget>
#include <array>

#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "song/song_model.hpp"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class QVBoxLayout;

namespace ferro {

class Dialogs;

class MoreWindow : public QWidget {
    Q_OBJECT
public:
    MoreWindow(SongModel& model, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MoreWindow() override;

    // The whole content, up to what the main window's smallest client area
    // holds; the rest scrolls.
    QSize sizeHint() const override;
    // The size that shows the whole content without scrolling.
    QSize wholeSizeHint() const;

private:
    struct MapFrame {
        QGroupBox* box = nullptr;
        QLabel* keyHeading = nullptr;
        QListWidget* keys = nullptr;
        QListWidget* values = nullptr;  // null for the hi-hat frame
        QRadioButton* each = nullptr;    // the keying pair: DAC and hi-hat frames only
        QRadioButton* byNote = nullptr;
    };

    // The builders.
    QGridLayout* buildMapFrames();
    QGroupBox* buildMapFrame(InstrumentMapKind kind, const char* frameName, const char* keysName,
                             const char* valuesName);
    void buildHiHatKinds(QGridLayout* grid);
    void buildKeyingOptions(InstrumentMapKind kind, QGridLayout* grid);
    QVBoxLayout* buildFmColumn();
    QVBoxLayout* buildPsgColumn();
    QGroupBox* buildChannelFrame(const QString& caption, int pitchSlot, int volumeSlot, int panSlot);
    MapFrame& frame(InstrumentMapKind kind) { return frames_[static_cast<int>(kind)]; }

    // Showing the model, without running the handlers.
    void showChanges(SongChanges changes);
    void showFrames();
    void showMaps();
    void showChannels();
    void showRemoveRests();
    // The module's instrument names and the song's voice names in the lists.
    void showKeyNames();
    void showVoiceNames();
    // Bold the keys the assigned channels play; with the box checked, hide
    // the others.
    void showPlayed();
    // Refills a frame's key list for the map's keying, selects key 1 and
    // shows its value.
    void refillKeys(InstrumentMapKind kind);
    // Shows the value of the selected key on the right, scrolled to the
    // middle of its list when `bringIntoView`.
    void showMapValue(InstrumentMapKind kind, bool bringIntoView);

    // Handlers of the user's input.
    void selectMapKey(InstrumentMapKind kind, int key);
    void pickMapValue(InstrumentMapKind kind, int position);
    void chooseKeying(InstrumentMapKind kind, bool byNote);
    void showCatMessage();

    SongModel& model_;
    Dialogs& dialogs_;
    int subscription_ = 0;

    std::array<MapFrame, 4> frames_{};
    QRadioButton* closedHiHat_ = nullptr;
    QRadioButton* openHiHat_ = nullptr;
    std::array<QGroupBox*, kMaxFmChannels> fmFrames_{};
    std::array<QGroupBox*, kMaxPsgChannels> psgFrames_{};
    QGroupBox* noiseFrame_ = nullptr;
    QGroupBox* dacFrame_ = nullptr;
    std::array<QSpinBox*, kPitchSlots> pitch_{};
    std::array<QSpinBox*, kVolumeSlots> volume_{};
    std::array<QComboBox*, kPanSlots> pan_{};
    QCheckBox* optimiseBox_ = nullptr;
    QCheckBox* removeRestsBox_ = nullptr;
    QCheckBox* playedOnlyBox_ = nullptr;
    QToolButton* catButton_ = nullptr;
    QWidget* content_ = nullptr;           // inside the scroll area
    QScrollArea* scroll_ = nullptr;
    // Set while the window itself moves a selection or a value, so that
    // showing one is not taken for the user picking it.
    bool showing_ = false;
};

}  // namespace ferro
