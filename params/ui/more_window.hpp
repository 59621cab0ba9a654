#pragma once
// The More parametres window: the four instrument maps (FM voice, PSG voice,
// DAC sample and hi-hat kind by XM instrument or note), the pitch, volume and
// pan of each output channel, and the two output options. The maps, channel
// values and options live in plain records here; the controls only show them.
#include <QWidget>
#include <array>
#include <string>

#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace ferro {

class MainWindow;

class MoreWindow : public QWidget {
    Q_OBJECT
public:
    explicit MoreWindow(MainWindow& main, QWidget* parent = nullptr);

    // The first load: fills every list, selects the first key of each map
    // (with its value shown) and sets every pan list to "Default".
    void fillForFirstLoad();
    // A reload rebuilt the row streams with their key-offs: "Remove rests"
    // is enabled again, and a greyed box becomes checked.
    void reenableRemoveRests();
    // Shows and hides the frames for the general settings; hidden frames
    // keep their values. The output options of `general` are not read: this
    // window owns them.
    void applyGeneralSettings(const SongSettings& general);

    // The four maps as byte strings, read by the other windows and the
    // conversion.
    std::string corri() const { return maps_.corri; }
    std::string psgorri() const { return maps_.psgorri; }
    std::string norri() const { return maps_.norri; }
    std::string dorri() const { return maps_.dorri; }
    const InstrumentMaps& maps() const { return maps_; }
    const ChannelOutputSettings& channelSettings() const { return channels_; }
    bool optimiseOutput() const { return settings_.optimiseOutput; }
    RemoveRestsState removeRests() const { return settings_.removeRests; }
    // Called by the conversion after it cleared the DAC channel's key-offs:
    // a checked box becomes greyed and disabled.
    void markRemoveRestsApplied();

    // The handlers behind the map frames, public so that tests can drive
    // them as a user would.
    void selectMapKey(InstrumentMapKind kind, int key);      // List*_Click
    void pickMapValue(InstrumentMapKind kind, int position);  // right side
    void chooseDrumKeying(bool byNote);                       // Option2_*_Click
    void chooseHiHatKeying(bool byNote);                      // Option3_*_Click
    void pictureClicked();                                    // Picture1_Click

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
    };

    QGroupBox* buildMapFrame(InstrumentMapKind kind, const char* frameName, const char* keysName,
                             const char* valuesName);
    QGroupBox* buildChannelFrame(const QString& caption, int pitchSlot, int volumeSlot, int panSlot);
    MapFrame& frame(InstrumentMapKind kind) { return frames_[static_cast<int>(kind)]; }
    // Refills a frame's key list for the map's keying, selects key 1 and
    // shows its value.
    void refillKeys(InstrumentMapKind kind);
    // Shows the value of the selected key on the right, scrolled to the
    // middle of its list when `bringIntoView`.
    void showMapValue(InstrumentMapKind kind, bool bringIntoView = true);
    void showRemoveRests();

    MainWindow& main_;
    InstrumentMaps maps_;
    ChannelOutputSettings channels_;
    // The general choices as last applied, with this window's two output
    // options.
    SongSettings settings_;

    std::array<MapFrame, 4> frames_{};
    QRadioButton* closedHiHat_ = nullptr;  // Option1_0
    QRadioButton* openHiHat_ = nullptr;    // Option1_1
    QRadioButton* eachDrum_ = nullptr;     // Option2_0
    QRadioButton* drumsByNote_ = nullptr;  // Option2_1
    QRadioButton* eachHiHat_ = nullptr;    // Option3_0
    QRadioButton* hiHatsByNote_ = nullptr; // Option3_1
    std::array<QGroupBox*, kMaxFmChannels> fmFrames_{};
    std::array<QGroupBox*, kMaxPsgChannels> psgFrames_{};
    QGroupBox* noiseFrame_ = nullptr;
    QGroupBox* dacFrame_ = nullptr;
    std::array<QSpinBox*, kPitchSlots> pitch_{};
    std::array<QSpinBox*, kVolumeSlots> volume_{};
    std::array<QComboBox*, kPanSlots> pan_{};
    QCheckBox* optimiseBox_ = nullptr;     // Check1
    QCheckBox* removeRestsBox_ = nullptr;  // Check2
    QToolButton* picture_ = nullptr;       // Picture1
    QWidget* content_ = nullptr;           // inside the scroll area
    QScrollArea* scroll_ = nullptr;
    // Set while the window itself moves a selection, so that showing a value
    // is not taken for the user picking it.
    bool showing_ = false;
};

}  // namespace ferro
