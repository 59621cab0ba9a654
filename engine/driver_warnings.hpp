#pragma once
// Things the chosen driver would play wrongly although the song converts:
// found before anything is written, they follow the General parametres'
// yellow policy (convert anyway, ask, or halt) and the command line prints
// them as warnings.
#include <string>
#include <vector>

#include "engine/conversion_request.hpp"
#include "engine/row_source.hpp"

namespace ferro {

// The Sonic 1 driver holds every track in every frame at main tempo 1.
inline constexpr const char* kTempoOneWarning = "Warning: tempo 1 never plays in the Sonic 1 driver.";

// The driver takes a note byte less $80 (FM) or $81 (PSG), adds the track's
// transposition, keeps the low 7 bits and reads that entry of its frequency
// table: 96 FM entries, 70 PSG entries. Past them it reads whatever follows.
inline constexpr int kFmFrequencyEntries = 96;
inline constexpr int kPsgFrequencyEntries = 70;

// The PSG envelopes the driver has: 1 to 9 (0 is none). Past them it reads a
// pointer from the program bytes after its table.
inline constexpr int kDriverPsgEnvelopes = 9;

// Whether the driver has a sound for DAC note byte $81..$DF: the kick, snare
// and timpani (81-83), the SEGA voice (87) and the timpani at four pitches
// (88-8B). 84-86 read garbage as a sample; 8C-DF take their pitch from
// outside the driver's table.
bool dacSampleHasSound(int sample);
// The same for the chosen driver: Sonic 2 has its 17 drum notes 81-91.
bool dacSampleHasSound(const DriverProfile& driver, int sample);

// The warnings for this request, in order:
// - tempo 1;
// - the notes of the FM and PSG tone tracks (not the noise track, whose
//   notes read past the table on purpose, as Sonic 1's own hi-hats do) that
//   fall outside the tables: "Warning: N notes fall outside the Sonic 1
//   driver's range and will play at a wrong pitch. First: XM channel C, order
//   position O (pattern P), row R, note X on PSG 1.";
// - when the song has at least one voice, the notes of the FM tracks whose
//   instrument plays a voice past the song's: "Warning: N notes play an FM
//   voice the song does not have (it has V voices, 0 to V-1). First: ...,
//   instrument I plays voice X.";
// - the notes of the PSG tone tracks whose instrument uses an envelope past
//   the nine: "Warning: N notes use a PSG envelope the Sonic 1 driver does
//   not have (1 to 9, 0 for none). First: ..., instrument I uses envelope X.";
// - the drums that ask for a sample without a sound (dacSampleHasSound):
//   "Warning: N drums ask for a DAC sample the Sonic 1 driver has no sound for
//   (it has 81-83, 87 and 88-8B). First: ..., sample X." (X in hex).
// - with "Play the module's volumes and effects", what each XM channel uses
//   that the song cannot follow (moduleEffectWarnings).
// Counted over every row of the song; the instrument of a note is the last
// one its channel named. A note on two tracks counts on each; the first is
// the earliest row, then the first track in song order. Tracks whose channel
// is not in 1..channelCount, map keys outside their map and row streams that
// cannot be read are left to the conversion to refuse.
std::vector<std::string> driverWarnings(const ConversionRequest& request, const RowSource& rows);

}  // namespace ferro
