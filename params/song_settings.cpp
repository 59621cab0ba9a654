#include "params/song_settings.hpp"

#include <algorithm>

namespace ferro {

void resetChannelAssignment(ChannelAssignment& assignment, int count) {
    assignment = ChannelAssignment{};
    assignment.channelCount = std::max(count, 0);
}

int fmChannelCountMax(const SongSettings& settings) {
    return settings.hasDrums ? kMaxFmChannelsWithDrums : kMaxFmChannels;
}

void setFmChannelCount(SongSettings& settings, int count) {
    settings.fmChannelCount = std::clamp(count, 0, fmChannelCountMax(settings));
}

void setPsgChannelCount(SongSettings& settings, int count) {
    settings.psgChannelCount = std::clamp(count, 0, kMaxPsgChannels);
}

void setUseNoise(SongSettings& settings, bool useNoise) {
    settings.useNoise = useNoise;
    setPsgChannelCount(settings, settings.psgChannelCount);
}

void setHasDrums(SongSettings& settings, bool hasDrums) {
    settings.hasDrums = hasDrums;
    // With drums the DAC takes the sixth FM channel's place.
    if (hasDrums) setFmChannelCount(settings, settings.fmChannelCount);
}

std::vector<std::string> tempoListItems() {
    std::vector<std::string> items;
    for (int i = 1; i <= 9; ++i) items.push_back("0" + std::to_string(i));
    return items;
}

int tempoFromListIndex(int index) { return std::clamp(index, 0, 8) + 1; }

int tempoToListIndex(int value) { return std::clamp(value, 1, 9) - 1; }

std::vector<std::string> channelListItems(int count) {
    std::vector<std::string> items;
    for (int i = 1; i <= count; ++i) items.push_back(std::to_string(i));
    return items;
}

int channelToListIndex(const XmChannelChoice& channel, int count) {
    if (!channel || *channel < 1 || *channel > count) return -1;
    return *channel - 1;
}

XmChannelChoice channelFromListIndex(int index, int count) {
    if (index < 0 || index >= count) return std::nullopt;
    return index + 1;
}

void setRemoveRests(SongSettings& settings, bool checked) {
    if (settings.removeRests == RemoveRestsState::Greyed) return;
    settings.removeRests = checked ? RemoveRestsState::Checked : RemoveRestsState::Off;
}

bool removeRestsWanted(const SongSettings& settings) {
    return settings.hasDrums && settings.removeRests == RemoveRestsState::Checked;
}

void markRemoveRestsApplied(SongSettings& settings) {
    if (settings.removeRests == RemoveRestsState::Checked) settings.removeRests = RemoveRestsState::Greyed;
}

int psgToneChannelCount(const SongSettings& settings) {
    return noiseChannelUsed(settings) ? settings.psgChannelCount - 1 : settings.psgChannelCount;
}

bool noiseChannelUsed(const SongSettings& settings) {
    return settings.useNoise && settings.psgChannelCount >= 1;
}

std::string fmRowCaption(int k) { return "FM" + std::to_string(k); }

GeneralWindowView generalWindowView(const SongSettings& settings) {
    GeneralWindowView view;
    view.fmSliderMax = fmChannelCountMax(settings);
    view.fmCountText = std::to_string(settings.fmChannelCount);
    view.psgCountText = std::to_string(settings.psgChannelCount);
    view.noiseFrameEnabled = settings.psgChannelCount >= 1;
    for (int k = 1; k <= kMaxFmChannels; ++k) view.fmRowVisible[k - 1] = k <= settings.fmChannelCount;
    for (int k = 1; k <= kMaxPsgChannels; ++k) {
        view.psgRowVisible[k - 1] = k <= settings.psgChannelCount;
        // Only the last row in use can be the noise channel; hidden rows are
        // never seen, so their caption does not matter.
        const bool noiseRow = k == settings.psgChannelCount && settings.useNoise;
        view.psgRowCaption[k - 1] = noiseRow ? "Noise" : "PSG" + std::to_string(k);
    }
    view.dacRowVisible = settings.hasDrums;
    view.e4FrameVisible = !settings.loopSong;
    return view;
}

MoreWindowView moreWindowView(const SongSettings& settings) {
    MoreWindowView view;
    const int tones = psgToneChannelCount(settings);
    view.fmVoiceFrameVisible = settings.fmChannelCount >= 1;
    view.psgVoiceFrameVisible = tones >= 1;
    view.dacMapFrameVisible = settings.hasDrums;
    view.hiHatFrameVisible = noiseChannelUsed(settings);
    for (int k = 1; k <= kMaxFmChannels; ++k) view.fmFrameVisible[k - 1] = k <= settings.fmChannelCount;
    for (int k = 1; k <= kMaxPsgChannels; ++k) view.psgFrameVisible[k - 1] = k <= tones;
    view.noiseFrameVisible = noiseChannelUsed(settings);
    view.dacFrameVisible = settings.hasDrums;
    view.optimiseOutputVisible = settings.loopSong;
    view.removeRestsEnabled = settings.removeRests != RemoveRestsState::Greyed;
    return view;
}

}  // namespace ferro
