#pragma once
// The rules of the General parametres light: whether the channel assignment can be
// converted, as a readiness light and the one-line status text.
#include <string>

#include "base/shared_types.hpp"
#include "params/song_settings.hpp"

namespace ferro {

inline constexpr const char* kUnassignedFmText = "Can't convert. Unassigned FM channels exist.";
inline constexpr const char* kUnassignedPsgText = "Can't convert. Unassigned PSG channels exist.";
inline constexpr const char* kUnassignedDacText = "Can't convert. Unassigned DAC channel exists.";
// These three are followed by one space and the shared XM channel number.
inline constexpr const char* kFmPsgConflictText = "Can't convert. FM and PSG both on channel";
inline constexpr const char* kFmDacConflictText = "Can't convert. FM and DAC both on channel";
inline constexpr const char* kPsgDacConflictText = "Can't convert. PSG and DAC both on channel";
inline constexpr const char* kAllAssignedText = "All channels assigned!";

struct GeneralValidation {
    ReadinessLight light = ReadinessLight::Red;
    std::string statusText;
    bool operator==(const GeneralValidation&) const = default;
};

// Red: the conversion cannot run; Yellow: it can, but an XM channel feeds two
// FM or two PSG channels, or there is nothing to convert; Green otherwise.
// Only the entries in use are looked at: fm 1..fmChannelCount, psg
// 1..psgChannelCount and the DAC while the song has drums. A choice outside
// 1..channelCount counts as unassigned.
GeneralValidation validateGeneralSettings(const SongSettings& settings, const ChannelAssignment& assignment);

}  // namespace ferro
