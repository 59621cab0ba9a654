#include "params/channel_output.hpp"

#include <algorithm>

namespace ferro {

void setPitch(ChannelOutputSettings& settings, int slot, int value) {
    if (slot < 0 || slot >= kPitchSlots) return;
    settings.pitch[slot] = std::clamp(value, kPitchMin, kPitchMax);
}

void setVolume(ChannelOutputSettings& settings, int slot, int value) {
    if (slot < 0 || slot >= kVolumeSlots) return;
    settings.volume[slot] = std::clamp(value, kVolumeMin, kVolumeMax);
}

void setPan(ChannelOutputSettings& settings, int slot, int position) {
    if (slot < 0 || slot >= kPanSlots) return;
    if (position < 0 || position > static_cast<int>(PanChoice::Random)) return;
    settings.pan[slot] = static_cast<PanChoice>(position);
}

std::vector<std::string> panListItems() { return {"Default", "Centre", "Left", "Right", "Random!"}; }

std::string fmFrameCaption(int k) { return "FM " + std::to_string(k); }

std::string psgFrameCaption(int k) { return "PSG " + std::to_string(k); }

}  // namespace ferro
