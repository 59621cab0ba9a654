#pragma once
// The song-level choices of a conversion and the assignment of XM channels to
// output channels, with the operations the General parametres window calls.
// The window only shows these records and forwards the user's actions here;
// the conversion reads the same records.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/driver_profile.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

inline constexpr int kMaxFmChannels = 6;
inline constexpr int kMaxFmChannelsWithDrums = 5;
inline constexpr int kMaxPsgChannels = 3;

// The three states of the "Remove rests" check box. Greyed means a conversion
// has already removed the DAC channel's key-offs from the row stream file: the
// box is disabled until a reload brings the key-offs back.
enum class RemoveRestsState { Off, Checked, Greyed };

struct SongSettings {
    int fmChannelCount = 5;   // 0..6, at most 5 while hasDrums
    int psgChannelCount = 3;  // 0..3, the noise channel included when useNoise
    bool useNoise = true;
    bool hasDrums = true;
    bool loopSong = true;
    bool endDacWithE4 = false;
    int dividingTiming = 3;  // 1..9
    int tempo = 2;           // the driver's tempo byte, within its range (Sonic 1: 1..9)
    // The driver the song is written for, and the Z80 address a Sonic 2 song
    // plays from (its unpacking buffer, or the sound bank's window).
    SoundDriver driver = SoundDriver::Sonic1;
    int z80Address = kDefaultZ80Address;
    // Output options of the More parametres window.
    bool optimiseOutput = false;
    // "Play the module's volumes and effects": the conversion follows the
    // module's volumes, speed changes and effects instead of its notes alone.
    bool moduleEffects = false;
    RemoveRestsState removeRests = RemoveRestsState::Off;
};

// An XM channel number 1..channelCount, or none (empty list selection).
using XmChannelChoice = std::optional<int>;

struct ChannelAssignment {
    int channelCount = 0;                         // items "1".."channelCount" in every list
    std::array<XmChannelChoice, kMaxFmChannels> fm{};    // fm[k-1] feeds FM k
    std::array<XmChannelChoice, kMaxPsgChannels> psg{};  // psg[k-1] feeds PSG row k
    XmChannelChoice dac;
};

// ---- Operations. Every one of them except setLoopSong, the tempo setters and
// setEndDacWithE4 is followed by the validation (checkAssignment) in the model.

// Clears every choice (hidden ones included) and sets the number of list items.
void resetChannelAssignment(ChannelAssignment& assignment, int count);

// The highest FM count the slider offers: 5 while the song has drums, else 6.
int fmChannelCountMax(const SongSettings& settings);
// Sets the FM count, kept within 0..fmChannelCountMax.
void setFmChannelCount(SongSettings& settings, int count);
// Sets the PSG count, kept within 0..3. Also called with the current count
// after the noise option changed (see setUseNoise).
void setPsgChannelCount(SongSettings& settings, int count);
// The "Noise PSG" option: stores it and re-applies the current PSG count.
void setUseNoise(SongSettings& settings, bool useNoise);
// The "DAC" option. Turning drums on lowers an FM count of 6 to 5.
void setHasDrums(SongSettings& settings, bool hasDrums);

// A tempo list shows "01".."09"; the value is the selected position + 1.
std::vector<std::string> tempoListItems();
int tempoFromListIndex(int index);   // 0..8 -> 1..9 (kept in range)
int tempoToListIndex(int value);     // 1..9 -> 0..8 (kept in range)

// Channel choice lists: items "1".."count"; a choice is the position + 1.
std::vector<std::string> channelListItems(int count);
// List position to select for a choice: -1 (no selection) for none or a
// channel outside 1..count.
int channelToListIndex(const XmChannelChoice& channel, int count);
// The choice for a selected list position; none for -1 or out of range.
XmChannelChoice channelFromListIndex(int index, int count);

// ---- "Remove rests" check box.
// The user toggles the box; ignored while it is greyed (the box is disabled).
void setRemoveRests(SongSettings& settings, bool checked);
// True when the conversion should clear the DAC channel's key-offs: the box is
// checked (not greyed) and the song has drums.
bool removeRestsWanted(const SongSettings& settings);
// After a conversion that cleared the key-offs: a checked box becomes greyed.
void markRemoveRestsApplied(SongSettings& settings);

// ---- Loading.
// The message shown when a reload finds another channel count (two lines).
inline constexpr const char* kChannelCountChangedMessage =
    "The XM file now has a different number of channels!\nAll the channel assignments were reseted!";

// ---- What the General parametres window shows for the current settings.
struct GeneralWindowView {
    int fmSliderMax = 5;               // slider range 0..fmSliderMax
    std::string fmCountText;           // the number beside the FM slider
    std::string psgCountText;          // the number beside the PSG slider
    bool noiseFrameEnabled = true;     // frame "Noise PSG"
    std::array<bool, kMaxFmChannels> fmRowVisible{};          // rows "FM1".."FM6"
    std::array<bool, kMaxPsgChannels> psgRowVisible{};        // the three PSG rows
    std::array<std::string, kMaxPsgChannels> psgRowCaption;   // "PSG1", "PSG2", "PSG3" or "Noise"
    bool dacRowVisible = true;         // row "DAC"
    bool e4FrameVisible = false;       // frame "E4"
};
GeneralWindowView generalWindowView(const SongSettings& settings);

// Fixed captions of the assignment rows FM1..FM6 and DAC.
std::string fmRowCaption(int k);  // "FM1".."FM6"
inline constexpr const char* kDacRowCaption = "DAC";

// ---- What the More parametres window shows for the current settings. Hidden
// frames keep their values.
struct MoreWindowView {
    // Instrument map frames.
    bool fmVoiceFrameVisible = true;   // "FM voice assignments"
    bool psgVoiceFrameVisible = true;  // "PSG voice assignments"
    bool dacMapFrameVisible = true;    // "DAC assignments"
    bool hiHatFrameVisible = true;     // "Hi-hats assignments"
    // Channel frames.
    std::array<bool, kMaxFmChannels> fmFrameVisible{};    // "FM 1".."FM 6"
    std::array<bool, kMaxPsgChannels> psgFrameVisible{};  // "PSG 1".."PSG 3"
    bool noiseFrameVisible = true;     // "Noise"
    bool dacFrameVisible = true;       // "DAC", holding the pan list and "Remove rests"
    // Output options.
    bool optimiseOutputVisible = true;  // "Optimise the output"
    bool removeRestsEnabled = true;     // false while greyed
};
MoreWindowView moreWindowView(const SongSettings& settings);

// Number of PSG tone channels: the PSG count less the noise channel.
int psgToneChannelCount(const SongSettings& settings);
// Whether the noise channel is in use (noise chosen and at least one PSG row).
bool noiseChannelUsed(const SongSettings& settings);

}  // namespace ferro
