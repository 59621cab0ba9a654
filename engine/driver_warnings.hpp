#pragma once
// Things the Sonic 1 driver would play wrongly although the song converts:
// found before anything is written, they follow the General parametres'
// yellow policy (convert anyway, ask, or halt) and the command line prints
// them as warnings.
#include <string>
#include <vector>

#include "engine/conversion_request.hpp"
#include "engine/row_source.hpp"

namespace ferro {

// The driver holds every track in every frame at main tempo 1.
inline constexpr const char* kTempoOneWarning = "Warning: tempo 1 never plays in the Sonic 1 driver.";

// The driver takes a note byte less $80 (FM) or $81 (PSG), adds the track's
// transposition, keeps the low 7 bits and reads that entry of its frequency
// table: 96 FM entries, 70 PSG entries. Past them it reads whatever follows.
inline constexpr int kFmFrequencyEntries = 96;
inline constexpr int kPsgFrequencyEntries = 70;

// The warnings for this request, in order: tempo 1, then the notes of the FM
// and PSG tone tracks (not the noise track, whose notes read past the table
// on purpose, as Sonic 1's own hi-hats do) that fall outside the tables:
// "Warning: N notes fall outside the Sonic 1 driver's range and will play at
// a wrong pitch. First: XM channel C, order position O (pattern P), row R,
// note X on PSG 1." A note on two tracks counts on each. Tracks whose channel
// is not in 1..channelCount, and row streams that cannot be read, are left
// to the conversion to refuse.
std::vector<std::string> driverWarnings(const ConversionRequest& request, const RowSource& rows);

}  // namespace ferro
