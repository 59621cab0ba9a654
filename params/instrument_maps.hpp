#pragma once
// The four instrument maps of the More parametres window: XM instrument (or
// note) to FM voice, PSG voice, DAC sample and hi-hat kind. Each map is a
// byte string: position k (1-based, index k-1) is the entry for key k, the
// byte's unsigned value is the entry's value. There is no "none" value.
#include <optional>
#include <string>
#include <vector>

#include "base/driver_profile.hpp"

namespace ferro {

enum class InstrumentMapKind { Fm, Psg, Dac, HiHat };

// Values of the hi-hat map.
enum class HiHatKind : unsigned char { Open = 1, Closed = 2 };

inline constexpr int kInstrumentKeyCount = 256;  // keys 1..256: XM instruments
inline constexpr int kNoteKeyCount = 96;         // keys 1..96: XM notes
inline constexpr int kFirstDacSample = 0x81;     // DAC values $81..$DF
inline constexpr int kLastDacSample = 0xDF;
inline constexpr int kPsgVoiceCount = 128;       // PSG values 0..$7F

std::string initialInstrumentVoices();  // 256 entries, entry k = k - 1

struct InstrumentMaps {
    std::string instrumentVoices = initialInstrumentVoices();                                                // FM voice 0..255
    std::string instrumentPsgEnvelopes = std::string(kInstrumentKeyCount, '\0');                     // PSG voice 0..127
    std::string drumSamples = std::string(kInstrumentKeyCount, static_cast<char>(kFirstDacSample));  // $81..$DF
    std::string hihatKinds = std::string(kInstrumentKeyCount, static_cast<char>(HiHatKind::Closed));  // 1 or 2
    bool drumsByNote = false;   // drumSamples keyed by XM note (96 keys) instead of instrument
    bool hihatsByNote = false;  // hihatKinds keyed by XM note (96 keys) instead of instrument
};

const std::string& mapBytes(const InstrumentMaps& maps, InstrumentMapKind kind);
// Number of keys: 256, or 96 for the DAC / hi-hat map keyed by note.
int mapKeyCount(const InstrumentMaps& maps, InstrumentMapKind kind);
// The value for key 1..mapKeyCount, none outside.
std::optional<int> mapEntry(const InstrumentMaps& maps, InstrumentMapKind kind, int key);

// ---- The operations behind a map frame. Positions are 0-based positions in
// the right-hand list (for the hi-hat frame: 0 "Closed HH", 1 "Open HH").

// selectMapKey: the right-hand position that shows key's value; -1 for a key
// outside the map.
int mapValuePosition(const InstrumentMaps& maps, InstrumentMapKind kind, int key);
// setMapValue: stores the value at `position` for `key`. Returns false, and
// changes nothing, for a key or position outside the frame's lists.
bool setMapValue(InstrumentMaps& maps, InstrumentMapKind kind, int key, int position);
// The keying option pairs. Both always reset the map, to 256 (by instrument)
// or 96 (by note) entries of its initial value; every earlier entry is lost.
// The window then refills the key list and selects key 1.
void setDrumKeying(InstrumentMaps& maps, bool byNote);
void setHiHatKeying(InstrumentMaps& maps, bool byNote);

// ---- Texts of the frames.
struct MapFrameTexts {
    std::string frameCaption;       // "FM voice assignments", ...
    std::string keyHeading;         // "XM instrument number" or "XM note number"
    std::string connectingCaption;  // "will use" or "is"
    std::string valueHeading;       // "FM voice number", "PSG voice number", "DAC sample"; empty for hi-hats
};
MapFrameTexts mapFrameTexts(const InstrumentMaps& maps, InstrumentMapKind kind);
// Key items "1".."256" or "1".."96"; keyed by instrument, each number is
// followed by the module's name for it ("3 Slap bass") where it has one.
std::vector<std::string> mapKeyItems(const InstrumentMaps& maps, InstrumentMapKind kind,
                                     const std::vector<std::string>& instrumentNames = {});
// Right-hand items: FM "0".."FF", each followed by the song's name for that
// voice ("A lead") where the song has it, PSG "0".."7F", DAC "81".."DF",
// hi-hats the option captions "Closed HH", "Open HH".
std::vector<std::string> mapValueItems(InstrumentMapKind kind, const std::vector<std::string>& voiceNames = {});
// The same in the chosen driver's words: each drum note it has followed by its
// name ("81 Kick", Sonic 2's "83 Clap"), each PSG envelope past its own marked
// "(not in Sonic 1)".
std::vector<std::string> mapValueItems(InstrumentMapKind kind, const std::vector<std::string>& voiceNames,
                                       const DriverProfile& driver);

// Upper-case hexadecimal without leading zeros ("0", "9", "10", "1F").
std::string hexText(int value);

inline constexpr const char* kEachDrumOption = "Each drum has a different instrument";
inline constexpr const char* kDrumsByNoteOption = "All the drums are in the same instrument";
inline constexpr const char* kEachHiHatOption = "Each hi-hat has a different instrument";
inline constexpr const char* kHiHatsByNoteOption = "All the hi-hats are in the same instrument";
inline constexpr const char* kClosedHiHatCaption = "Closed HH";
inline constexpr const char* kOpenHiHatCaption = "Open HH";
inline constexpr const char* kMoreParametresCaption = "More parametres";
// Shown (OK button, program title, no icon) when the window's picture is clicked.
inline constexpr const char* kMeowMessage = "Meow.";

}  // namespace ferro
