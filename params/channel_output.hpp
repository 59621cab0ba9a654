#pragma once
// Per-output-channel values of the More parametres window: pitch, volume and
// pan, by slot. Slots: pitch 0..5 FM 1..6, 6..8 PSG 1..3; volume 0..5 FM 1..6,
// 6..8 PSG 1..3, 9 noise; pan 0..5 FM 1..6, 6 DAC.
#include <array>
#include <string>
#include <vector>

#include "base/shared_types.hpp"

namespace ferro {

inline constexpr int kPitchSlots = 9;
inline constexpr int kVolumeSlots = 10;
inline constexpr int kPanSlots = 7;
inline constexpr int kFirstPsgSlot = 6;   // pitch and volume of PSG 1
inline constexpr int kNoiseVolumeSlot = 9;
inline constexpr int kDacPanSlot = 6;

inline constexpr int kPitchMin = -128, kPitchMax = 127;
inline constexpr int kVolumeMin = 0, kVolumeMax = 63;
inline constexpr int kInitialFmPitch = 0, kInitialPsgPitch = -36;
inline constexpr int kInitialFmVolume = 16, kInitialPsgVolume = 0;

struct ChannelOutputSettings {
    std::array<int, kPitchSlots> pitch{0, 0, 0, 0, 0, 0, -36, -36, -36};
    std::array<int, kVolumeSlots> volume{16, 16, 16, 16, 16, 16, 0, 0, 0, 0};
    std::array<PanChoice, kPanSlots> pan{};  // all Default
};

// A spinner step or a typed value, kept within the slot's range. A slot
// outside the array is ignored.
void setPitch(ChannelOutputSettings& settings, int slot, int value);
void setVolume(ChannelOutputSettings& settings, int slot, int value);
// A pan list position 0..4; other positions are ignored.
void setPan(ChannelOutputSettings& settings, int slot, int position);

// The pan list's items; the value is the item's position.
std::vector<std::string> panListItems();  // "Default", "Centre", "Left", "Right", "Random!"

// Captions of the channel frames (with a space, unlike the assignment rows).
std::string fmFrameCaption(int k);   // "FM 1".."FM 6"
std::string psgFrameCaption(int k);  // "PSG 1".."PSG 3"
inline constexpr const char* kNoiseFrameCaption = "Noise";
inline constexpr const char* kDacFrameCaption = "DAC";
inline constexpr const char* kPitchLabel = "Pitch:";
inline constexpr const char* kVolumeLabel = "Volume:";
inline constexpr const char* kPanLabel = "Pan:";
inline constexpr const char* kOptimiseOutputCaption = "Optimise the output";
inline constexpr const char* kRemoveRestsCaption = "Remove rests";

}  // namespace ferro
