#pragma once
// "Auto fill": fills the whole channel assignment from the channel names that
// the composer typed into the module (the "CNAM" block near the end of the
// XM file, which the XM parser reads), or, where they give none, from what
// the channels play (content_fill.hpp).
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "params/song_settings.hpp"

namespace ferro {

// The one message for every failure (information icon, OK, program title):
// neither the names nor the notes give an assignment.
inline constexpr const char* kAutoFillFailedMessage =
    "It wasn't possible to auto fill the channel assignment!\n"
    "Auto fill reads the module's channel names (each of \"FM1\" to \"FM6\", \"PSG1\" to \"PSG3\", "
    "\"DAC\" and \"NOISE\" or \"HATS\" on one channel only), then what its channels play; this module's names "
    "do not say so and its channels play no notes.";
// What a fill from the names says.
inline constexpr const char* kFilledFromNamesText = "Filled from the channel names.";

// What the names say. Channel numbers are 1-based.
struct ChannelNameMatch {
    XmChannelChoice dac;
    XmChannelChoice noise;
    std::array<XmChannelChoice, kMaxFmChannels> fm{};    // fm[i-1]: the channel named FMi
    std::array<XmChannelChoice, kMaxPsgChannels> psg{};  // psg[i-1]: the channel named PSGi
    int fmTop = 0;   // highest i with fm found, 0 if none
    int psgTop = 0;  // highest i with psg found, 0 if none
    bool operator==(const ChannelNameMatch&) const = default;
};

// Classifies names[j-1] of channel j. Keys are the names with leading and
// trailing spaces removed and letters in upper case: "DAC"; "HATS" or "NOISE"
// (one shared count); names beginning with "FM<i>" or "FM <i>" (i 1..6) and
// "PSG<i>" or "PSG <i>" (i 1..3). None when a keyword is found on two
// channels, or FM6 comes with a DAC name, or PSG3 with a noise name.
std::optional<ChannelNameMatch> classifyChannelNames(const std::vector<std::string>& names);

// Applies a match through the settings operations: drums and noise options
// from what was found, FM count fmTop, the noise channel on the row after the
// highest PSG tone channel, and every choice (hidden ones too) from the match.
// The window then re-runs the validation and re-displays both records.
void applyChannelNameMatch(const ChannelNameMatch& match, SongSettings& settings, ChannelAssignment& assignment);

// The button's whole action on the loaded module's channel names
// (XmModule::channelNames, none when the file has no CNAM block). Returns
// false, having changed nothing, on any failure; the window then shows
// kAutoFillFailedMessage.
bool autoFillChannels(const std::optional<std::vector<std::string>>& channelNames, SongSettings& settings,
                      ChannelAssignment& assignment);

// The button's whole action on a loaded module: the names as above when they
// assign at least one channel, else what the channels play. Returns the one
// line that says what it did; none, having changed nothing, when neither
// gives an assignment (the window then shows kAutoFillFailedMessage).
std::optional<std::string> autoFillModule(const XmModule& module, SongSettings& settings,
                                          ChannelAssignment& assignment);

}  // namespace ferro
