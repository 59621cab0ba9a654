#pragma once
// "Match the module's tempo": the dividing timing and tempo whose row lasts
// nearest to a row of the module. The driver holds a row (one duration unit)
// for `dividingTiming` frames that advance. In Sonic 1 every `tempo`-th frame
// is a stall that does not advance, so a row lasts
//     dividingTiming x tempo / (tempo - 1) frames of 1/60 s;
// in Sonic 2 tempo/256 of the frames advance: dividingTiming x 256 / tempo.
// A tracker plays a row in speed x 2.5 / BPM seconds.
#include <optional>
#include <string>

#include "base/driver_profile.hpp"

namespace ferro {

struct TempoMatch {
    int dividingTiming = 0;  // 1..9
    int tempo = 0;           // Sonic 1: 2..9 (tempo 1 never advances the song); Sonic 2: 1..255
    double moduleRowMs = 0;
    double songRowMs = 0;
    // "a row every 156 ms in the module, 150 ms in the song: 4% faster"
    std::string text;
};

// None when the speed or the BPM is not positive (a module that plays no row).
// Of equally near choices the smaller dividing timing, then the smaller tempo:
// the smaller the dividing timing, the longer a note one duration byte holds.
std::optional<TempoMatch> matchModuleTempo(int speed, int bpm, SoundDriver driver = SoundDriver::Sonic1);
inline constexpr const char* kNoModuleTempoMessage = "The module's speed or BPM is 0; the tempo is left as it is.";

// The module's own tempo as the composer set it in the tracker: "speed 7,
// BPM 112: a row every 156 ms"; without the row for a speed or BPM of 0.
std::string moduleTempoText(int speed, int bpm);

}  // namespace ferro
