#pragma once
// Placeholder until the More parametres window lands; the public routines
// below are the ones the other windows call and must stay.
#include <QWidget>
#include <string>

#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"

namespace ferro {

class MainWindow;

class MoreWindow : public QWidget {
    Q_OBJECT
public:
    explicit MoreWindow(MainWindow& main, QWidget* parent = nullptr) : QWidget(parent), main_(main) {
        setWindowTitle("More parametres");
    }
    void fillForFirstLoad() {}
    void reenableRemoveRests() {}
    void applyGeneralSettings(const SongSettings&) {}
    std::string corri() const { return maps_.corri; }
    std::string psgorri() const { return maps_.psgorri; }
    std::string norri() const { return maps_.norri; }
    std::string dorri() const { return maps_.dorri; }
    const InstrumentMaps& maps() const { return maps_; }
    const ChannelOutputSettings& channelSettings() const { return channels_; }
    bool optimiseOutput() const { return false; }
    RemoveRestsState removeRests() const { return RemoveRestsState::Off; }
    void markRemoveRestsApplied() {}

private:
    MainWindow& main_;
    InstrumentMaps maps_;
    ChannelOutputSettings channels_;
};

}  // namespace ferro
