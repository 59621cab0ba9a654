#pragma once
// "Play the module's volumes and effects": what the conversion follows of the
// module besides its notes, worked out row by row as FastTracker 2 plays the
// rows, before the track encoder writes them as the driver's flags.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/conversion_request.hpp"
#include "engine/row_source.hpp"
#include "engine/track_encoder.hpp"
#include "xm/xm_effects.hpp"

namespace ferro {

// The flags that change a track's volume: the driver adds the byte to the
// track's volume (FM: the carriers' total level, PSG: the attenuation).
inline constexpr std::uint8_t kFlagFmVolume = 0xE6;
inline constexpr std::uint8_t kFlagPsgVolume = 0xEC;
// Pitch: a detune added to every later frequency, and the driver's
// modulation (wait, speed, change, steps), on and off.
inline constexpr std::uint8_t kFlagDetune = 0xE1;
inline constexpr std::uint8_t kFlagModulation = 0xF0;
inline constexpr std::uint8_t kFlagModulationOff = 0xF4;

// The speed and BPM in force at each song row: the header's, then every
// row's Fxx in channel order, acting from its own row.
std::vector<XmTempo> songTempos(const ConversionRequest& request, const RowSource& source);

// Where the song's rows fall in the driver's duration units. A row at the
// speed and BPM of the song's first row lasts one unit, which the dividing
// timing and tempo make as long as the user chose ("Match the module's
// tempo" brings it nearest the module's row); a row at another speed lasts
// in proportion. Every row starts on the unit nearest its time, so the
// rounding never adds up.
struct SongTimeline {
    std::vector<int> start;  // the unit where rows 0..totalRows start (totalRows + 1 entries)
    std::vector<double> time;  // the same before rounding
    int loopStart = 0;       // the row where the loop's next pass starts
    // Rows past the end run on into the loop's next pass.
    int unitAt(int row) const;
};
// How many times each song row repeats after its first pass (EEx, the
// last channel's in channel order); 0 for most rows.
std::vector<int> songPatternDelays(const ConversionRequest& request, const RowSource& source);
// `delays` (empty: none) lengthens the rows that repeat.
SongTimeline songTimeline(const ConversionRequest& request, const std::vector<XmTempo>& tempos,
                          const std::vector<int>& delays = {});

// What one XM channel's track follows.
struct ChannelFollow {
    // The song's timeline, or none: one unit a row.
    const SongTimeline* timeline = nullptr;
    // With a timeline, the unit where each row's note starts: the row's own,
    // or later for a note delayed by EDx.
    std::vector<int> noteStart;
    // The module's volume 0..64 in force at each song row, after the row's
    // first tick: set by the row, else the sample's default for a note with
    // an instrument, else the last volume moved by the earlier rows' slides.
    std::vector<std::uint8_t> volume;
    // The most the track may add to its volume: beyond it the FM volume flag
    // writes nothing and a PSG volume spills into the next channel's bits.
    int maxAttenuation = 0;
    // The modulation (4xy, 6xy) each row plays as the driver's F0 bytes
    // (wait, speed, change, steps) packed high byte first; 0 for none.
    std::vector<std::uint32_t> modulation;
    // The detune (E1) each row's note plays with: a finetune (E5x) on its
    // row, else none.
    std::vector<std::int8_t> detune;
    // Whether row r's note slides from the sounding one (3xx, 5xy, the
    // volume column's Fx): it goes on without a new attack.
    std::vector<bool> slide;
    // Whether row r holds another volume than row r - 1.
    bool volumeChanges(int row) const;
    std::uint32_t modulationAt(int row) const;
    int detuneAt(int row) const;
    bool slides(int row) const;
};

// The driver's modulation nearest a vibrato of `speed` and `depth` (4xy) on
// XM note `note`, played at `tempo`: as deep (depth / 16 of a semitone) and
// about as fast. `transposition` is the track's, for a PSG period.
std::uint32_t vibratoModulation(ChannelRole role, int note, int transposition, int speed, int depth,
                                const XmTempo& tempo);
// Writes F0 with the packed parameters, its wait `laterWait` longer (at most
// FE), or F4 for 0.
void appendModulation(Bytes& out, std::uint32_t modulation, int laterWait = 0);

// The unit where `row`'s event starts on a track following `follow` (none:
// the row).
int unitOfRow(const ChannelFollow* follow, int row);

ChannelFollow followChannel(const ConversionRequest& request, const RowStream& rows, ChannelRole role,
                            const std::vector<XmTempo>& tempos, const SongTimeline* timeline = nullptr);

// The attenuation that plays volume v (1..64) relative to the track's own
// volume: FM in 0.75 dB steps of total level, PSG in 2 dB steps.
int fmAttenuation(int volume);
int psgAttenuation(int volume);

// The volume flag that moves `role`'s track from attenuation `from` to `to`,
// or nothing when they are equal.
void appendVolumeChange(Bytes& out, ChannelRole role, int from, int to);

// What the song cannot follow: one line per XM channel that feeds a track
// and uses something the conversion leaves out, naming what it follows too:
// "Warning: XM channel 9 (FM3): 1,440 volume slides (Axy) followed per row;
// 12 tremolos (7xy) not followed". None when the request cannot be read.
std::vector<std::string> moduleEffectWarnings(const ConversionRequest& request, const RowSource& source);

// The comment lines that open the listing of a song following the module:
// which of its effects the song plays only approximately. Empty when none.
std::string approximationComment(const ConversionRequest& request, const RowSource& source);

}  // namespace ferro
