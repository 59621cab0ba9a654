#pragma once
// Turns the rows of one XM channel into SMPS track bytes (Sonic 1 driver):
// notes, durations, rests and the pan, voice and envelope flags. Also decides
// which role every XM channel plays and which pan choice it uses.
//
// Time is counted in XM rows: one row is one duration unit of the driver.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/shared_types.hpp"
#include "engine/conversion_request.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

// ---- Track bytes the encoder writes.
inline constexpr std::uint8_t kRest = 0x80;
inline constexpr std::uint8_t kFlagPan = 0xE0;
inline constexpr std::uint8_t kPanLeft = 0x80;
inline constexpr std::uint8_t kPanRight = 0x40;
inline constexpr std::uint8_t kPanCentre = 0xC0;
inline constexpr std::uint8_t kFlagE4 = 0xE4;
inline constexpr std::uint8_t kFlagNoAttack = 0xE7;
inline constexpr std::uint8_t kFlagVoice = 0xEF;
inline constexpr std::uint8_t kFlagStop = 0xF2;
inline constexpr std::uint8_t kFlagNoiseMode = 0xF3;
inline constexpr std::uint8_t kNoiseModeE7 = 0xE7;
inline constexpr std::uint8_t kFlagPsgEnvelope = 0xF5;
inline constexpr std::uint8_t kFlagJump = 0xF6;

// XM notes 1..95 (C-0..A#7) become note bytes $81..$DF on FM and PSG tone
// channels. B-7 (96) would give $E0, the pan flag, and values above the
// key-off would give other flags, so those are refused.
inline constexpr int kHighestToneNote = 95;
inline constexpr int kXmB7 = 96;

// ---- One channel's row stream: 5-byte cells, song row r at byte 5r.
class RowStream {
public:
    RowStream() = default;
    // `data` is the channel's cells; only whole 5-byte records count as rows.
    RowStream(int channel, Bytes data) : channel_(channel), data_(std::move(data)) {}
    static RowStream fromCells(int channel, const std::vector<XmCell>& cells);

    int channel() const { return channel_; }  // the XM channel, 1-based
    int rowCount() const { return static_cast<int>(data_.size() / kXmCellSize); }
    // The cell of song row r; a row outside the stream ends the conversion
    // with the general error.
    XmCell cell(int row) const;
    // Whether two rows hold the same 5 bytes.
    bool sameRow(int a, int b) const;

private:
    int channel_ = 0;
    Bytes data_;
};

// ---- Random numbers for the "Random" pan choice. Called with n, returns an
// integer drawn uniformly from 0..n-1.
using RandomSource = std::function<int(int)>;
// A generator with its own state; the same seed gives the same draws on every
// platform. The program seeds it from the clock, the command line from --seed.
RandomSource seededRandom(std::uint64_t seed);
RandomSource clockSeededRandom();

// ---- Channel roles.
// The role of every XM channel: the result has channelCount + 1 entries and
// entry n is the role of XM channel n (entry 0 is None and unused). A used
// assignment entry (FM 1..fmChannelCount, PSG 1..psgChannelCount, the DAC with
// drums) that names no channel or a channel outside 1..channelCount ends the
// conversion with the general error.
std::vector<ChannelRole> buildChannelRoles(const ConversionRequest& request);

// The pan choice of XM channel n: the pan of the last FM entry (all six) that
// names n, then the DAC's pan when the DAC entry names n; Default otherwise.
PanChoice panChoiceFor(const ConversionRequest& request, int channel);

// ---- Durations.
// The largest duration byte the encoder writes. The driver multiplies each
// duration byte by the dividing timing in 8 bits, so a byte above 255 div
// dividingTiming would wrap round and play the wrong length: M = the smaller
// of 127 and 255 div dividingTiming (127 for dividing timing 1 and 2, 85 for
// 3, 28 for 9). Longer lengths are split into pieces of at most M rows.
int maxDurationByte(int dividingTiming);

// Appends a rest of `rows` rows (at least 1): 80 L when L <= M, otherwise 80
// followed by M written L div M times and L mod M when not 0.
void appendRest(Bytes& out, int rows, int maxDuration);

// ---- Section encoding.
struct ChannelFollow;  // engine/module_effects.hpp

struct TrackEncoderState {
    int currentInstrument = 0;  // instrument in force (hi-hats by note: the last note)
    int lastNote = 0;           // note byte that a bare duration repeats
    int lastDuration = 0;       // duration in force in the driver
    int panState = 5;           // pan last written; 5 = not yet set
    PanChoice panChoice = PanChoice::Default;
    // With "Play the module's volumes and effects": what the track follows
    // (none: the notes alone), the attenuation the track's volume flags have
    // added so far, and whether a note is sounding, which a later volume
    // change goes on without a new attack.
    const ChannelFollow* follow = nullptr;
    int attenuation = 0;
    std::uint32_t modulation = 0;  // the modulation in force (F0's bytes), 0 off
    int detune = 0;                // the detune in force (E1)
    bool sounding = false;
};

// Brings a following track back to its own volume, so that the section after
// (or the loop's next pass) starts from it; nothing for a track that follows
// nothing.
void endFollowedSection(ChannelRole role, TrackEncoderState& state, Bytes& out);

struct SectionRows {
    int firstRow = 0;       // first row to encode
    int lastRow = -1;       // last row to encode (inclusive)
    int endRow = 0;         // where a note with no later event in the section ends
    int tailExtension = 0;  // added to endRow
};

// Appends the bytes of rows firstRow..lastRow to `out`, using and updating
// `state`. Ends the conversion (ConversionError) on a map lookup outside its
// map (general error), a DAC note byte outside $81..$DF (general error), or a
// note on an FM or PSG tone channel that the driver cannot play (refused with
// unplayableNoteMessage).
void encodeSection(const ConversionRequest& request, const RowStream& rows, ChannelRole role,
                   TrackEncoderState& state, const SectionRows& range, const RandomSource& random,
                   Bytes& out);

// XM note name: "C-4", "A#7".
std::string xmNoteName(int note);
// Where a song row stands: with the request's order table "order position 2
// (pattern 5), row 15", else "song row 143".
std::string songPlaceText(const ConversionRequest& request, int songRow);
// The refusal for a note value 96 or above 97 on an FM or PSG tone channel,
// naming the XM channel and where the note stands: with the request's order
// table "... at order position 2 (pattern 5), row 15 ...", else "... at song
// row 143 ...".
std::string unplayableNoteMessage(const ConversionRequest& request, int channel, int songRow, int note);
// The first song row below `rowCount` whose note an FM or PSG tone channel
// cannot play (96, or 98 and above), if any.
std::optional<int> firstUnplayableNoteRow(const RowStream& rows, int rowCount);

}  // namespace ferro
