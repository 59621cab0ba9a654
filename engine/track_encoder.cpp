#include "engine/track_encoder.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>

#include "engine/conversion_error.hpp"
#include "engine/module_effects.hpp"

namespace ferro {

// ---- Row streams.

RowStream RowStream::fromCells(int channel, const std::vector<XmCell>& cells) {
    Bytes data;
    data.reserve(cells.size() * kXmCellSize);
    for (const XmCell& c : cells) {
        data.insert(data.end(), {c.note, c.instrument, c.volume, c.effectType, c.effectParameter});
    }
    return RowStream(channel, std::move(data));
}

// Read in place: the conversion reads every row several times.
XmCell RowStream::cell(int row) const {
    if (row < 0 || row >= rowCount()) failConversion();
    const std::uint8_t* b = data_.data() + static_cast<std::size_t>(row) * kXmCellSize;
    return XmCell{b[0], b[1], b[2], b[3], b[4]};
}

bool RowStream::sameRow(int a, int b) const {
    if (a < 0 || a >= rowCount() || b < 0 || b >= rowCount()) failConversion();
    return std::memcmp(data_.data() + static_cast<std::size_t>(a) * kXmCellSize,
                       data_.data() + static_cast<std::size_t>(b) * kXmCellSize, kXmCellSize) == 0;
}

// ---- Random numbers.

RandomSource seededRandom(std::uint64_t seed) {
    auto engine = std::make_shared<std::mt19937_64>(seed);
    return [engine](int n) {
        if (n <= 0) return 0;
        // The integer part of a uniform number in [0, 1) times n, made from
        // 53 random bits so the draws are the same with every library.
        const double u = static_cast<double>((*engine)() >> 11) * 0x1.0p-53;
        return std::min(static_cast<int>(u * n), n - 1);
    };
}

RandomSource clockSeededRandom() {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    return seededRandom(static_cast<std::uint64_t>(now));
}

// ---- Roles and pan.

std::vector<ChannelRole> buildChannelRoles(const ConversionRequest& request) {
    if (request.channelCount < 1) failConversion();
    if (request.fmChannelCount < 0 || request.fmChannelCount > 6) failConversion();
    if (request.psgChannelCount < 0 || request.psgChannelCount > 3) failConversion();
    std::vector<ChannelRole> roles(static_cast<std::size_t>(request.channelCount) + 1, ChannelRole::None);
    auto slot = [&](const std::optional<int>& channel) -> ChannelRole& {
        if (!channel || *channel < 1 || *channel > request.channelCount) failConversion();
        return roles[static_cast<std::size_t>(*channel)];
    };
    // Later steps overwrite earlier ones.
    if (request.hasDrums) slot(request.dac) = ChannelRole::Dac;
    for (int k = 1; k <= request.fmChannelCount; ++k) slot(request.fm[k - 1]) = ChannelRole::Fm;
    const int psgCount = request.psgChannelCount;
    if (psgCount > 0) {
        for (int k = 1; k <= psgCount - 1; ++k) slot(request.psg[k - 1]) = ChannelRole::PsgTone;
        slot(request.psg[psgCount - 1]) = request.useNoise ? ChannelRole::PsgNoise : ChannelRole::PsgTone;
    }
    return roles;
}

PanChoice panChoiceFor(const ConversionRequest& request, int channel) {
    PanChoice choice = PanChoice::Default;
    for (std::size_t k = 0; k < request.fm.size(); ++k) {
        if (request.fm[k] == channel) choice = request.pan[k];
    }
    if (request.dac == channel) choice = request.pan[6];
    return choice;
}

// ---- Durations.

int maxDurationByte(int dividingTiming) {
    if (dividingTiming < 1) failConversion();
    return std::min(127, 255 / dividingTiming);
}

void appendRest(Bytes& out, int rows, int maxDuration) {
    out.push_back(kRest);
    if (rows <= maxDuration) {
        out.push_back(static_cast<std::uint8_t>(rows));
        return;
    }
    for (int k = 0; k < rows / maxDuration; ++k) out.push_back(static_cast<std::uint8_t>(maxDuration));
    if (rows % maxDuration != 0) out.push_back(static_cast<std::uint8_t>(rows % maxDuration));
}

// ---- Section encoding.

namespace {

int lookup(const std::string& map, int key) {
    const std::optional<int> value = mapValue(map, key);
    if (!value) failConversion();
    return *value;
}

void put(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

// Step A: the pan flags of one row.
void encodePan(const XmCell& cell, TrackEncoderState& state, const RandomSource& random, Bytes& out) {
    const bool realNote = cell.note >= 1 && cell.note <= 96;
    auto setPan = [&](int newState, int panByte) {
        if (state.panState != newState) put(out, {kFlagPan, panByte});
        state.panState = newState;
    };
    if (state.panChoice == PanChoice::Random) {
        if (!realNote) return;
        const int x = random(3);
        if (x == 1 && state.panState != 1) setPan(1, kPanRight);
        if (x == 2 && state.panState != 2) setPan(2, kPanLeft);
        if (x == 0 && state.panState != 0) setPan(0, kPanCentre);
    } else if (state.panChoice == PanChoice::Default) {
        if (cell.effectType == 8 && cell.note != 0) {  // a key-off counts here
            const int p = cell.effectParameter;
            if (p < 127) {
                setPan(-1, kPanLeft);
            } else if (p <= 128) {
                setPan(0, kPanCentre);
            } else {
                setPan(1, kPanRight);
            }
        } else if (realNote && state.panState != 0) {
            // A note without effect 8 brings the channel back to the centre.
            setPan(0, kPanCentre);
        }
    }
}

// Step B: the voice or envelope flag of one row.
void encodeInstrument(const ConversionRequest& request, const XmCell& cell, ChannelRole role,
                      TrackEncoderState& state, Bytes& out) {
    int key = cell.instrument;
    if (key == 0) return;
    // Hi-hats keyed by note: the note picks the kind, and the last note is
    // what is in force. Comparing the instrument byte with that note instead
    // would skip a change of kind whenever the two numbers happen to match.
    // A row with an instrument and no note names no hi-hat: it looks up key
    // 0, which ends the conversion.
    if (role == ChannelRole::PsgNoise && request.hihatsByNote) key = cell.note;
    if (key != 0 && key == state.currentInstrument) return;
    auto flagged = [&](const std::string& map, std::uint8_t flag) {
        const int value = lookup(map, key);
        if (state.currentInstrument != 0 && value == lookup(map, state.currentInstrument)) return;
        put(out, {flag, value});
    };
    switch (role) {
        case ChannelRole::Fm:
            flagged(request.instrumentVoices, kFlagVoice);
            break;
        case ChannelRole::PsgTone:
            flagged(request.instrumentPsgEnvelopes, kFlagPsgEnvelope);
            break;
        case ChannelRole::PsgNoise:
            flagged(request.hihatKinds, kFlagPsgEnvelope);
            break;
        case ChannelRole::Dac:
        case ChannelRole::None:
            break;
    }
    state.currentInstrument = key;
}

}  // namespace

namespace {

// The byte that plays XM note v (a key-off: a rest) on the track.
int noteByte(const ConversionRequest& request, const RowStream& rows, ChannelRole role,
             const TrackEncoderState& state, int row, int v) {
    if (v == kXmKeyOff) return kRest;
    switch (role) {
        case ChannelRole::Fm:
        case ChannelRole::PsgTone:
            if (v > kHighestToneNote) {
                throw ConversionError(FailureKind::Refused, unplayableNoteMessage(request, rows.channel(), row, v));
            }
            return v + 0x80;
        case ChannelRole::PsgNoise:
            return driverProfile(request.driver).hihatNote;
        case ChannelRole::Dac: {
            const int b = lookup(request.drumSamples, request.drumsByNote ? v : state.currentInstrument);
            // Anything else would be read as a rest, a flag or a duration.
            if (b < 0x81 || b > 0xDF) failConversion();
            return b;
        }
        case ChannelRole::None:
            break;
    }
    return kRest;
}

// Step C: note (or rest) b lasting d rows.
void writeNote(Bytes& out, ChannelRole role, TrackEncoderState& state, int b, int d, int maxDuration) {
    if (d <= maxDuration) {
        if (b == state.lastNote) {
            put(out, {d});
            state.lastDuration = 0;
        } else if (d == state.lastDuration) {
            put(out, {b});
            state.lastNote = 0;
        } else {
            put(out, {b, d});
            state.lastNote = b;
            state.lastDuration = d;
        }
        return;
    }
    const int q = d / maxDuration;
    const int m = d % maxDuration;
    put(out, {b, maxDuration});
    // A drum is struck once; the rest of its length is silence.
    if (role == ChannelRole::Dac && b != kRest) put(out, {kRest});
    const bool sustain = role != ChannelRole::Dac && b != kRest;
    for (int k = 1; k < q; ++k) {
        if (sustain) put(out, {kFlagNoAttack});
        put(out, {maxDuration});
    }
    if (m >= 1) {
        if (sustain) put(out, {kFlagNoAttack});
        put(out, {m});
    }
    state.lastDuration = 0;
    state.lastNote = role == ChannelRole::Dac ? kRest : b;
}

constexpr int kHeldNote = -1;

// The sounding note goes on for d more rows without a new attack.
void writeHeld(Bytes& out, TrackEncoderState& state, int d, int maxDuration) {
    for (int left = d; left > 0; left -= maxDuration) put(out, {kFlagNoAttack, std::min(left, maxDuration)});
    state.lastDuration = 0;
}

// The attenuation a following track plays row r at; -1 for silence.
int followedAttenuation(const ChannelFollow& follow, ChannelRole role, int row) {
    const int volume = follow.volume[static_cast<std::size_t>(row)];
    if (volume == 0) return -1;
    const int steps = role == ChannelRole::Fm ? fmAttenuation(volume) : psgAttenuation(volume);
    return std::min(steps, follow.maxAttenuation);
}

bool followsVolume(ChannelRole role, const TrackEncoderState& state) {
    return state.follow != nullptr && role != ChannelRole::Dac;
}

// Whether a following track's sounding note changes its volume or its
// modulation at row r.
bool volumeEvent(ChannelRole role, const TrackEncoderState& state, int row) {
    if (!followsVolume(role, state) || !state.sounding || row < 1) return false;
    if (static_cast<std::size_t>(row) >= state.follow->volume.size()) failConversion();
    return followedAttenuation(*state.follow, role, row) != followedAttenuation(*state.follow, role, row - 1) ||
           state.follow->modulationAt(row) != state.follow->modulationAt(row - 1);
}

}  // namespace

void endFollowedSection(ChannelRole role, TrackEncoderState& state, Bytes& out) {
    if (!followsVolume(role, state)) return;
    appendVolumeChange(out, role, state.attenuation, 0);
    state.attenuation = 0;
    if (state.modulation != 0) appendModulation(out, 0);
    state.modulation = 0;
    if (state.detune != 0) put(out, {kFlagDetune, 0});
    state.detune = 0;
}

void encodeSection(const ConversionRequest& request, const RowStream& rows, ChannelRole role,
                   TrackEncoderState& state, const SectionRows& range, const RandomSource& random,
                   Bytes& out) {
    if (role == ChannelRole::None) return;
    const int maxDuration = maxDurationByte(request.dividingTiming);
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        const XmCell cell = rows.cell(r);
        if (role == ChannelRole::Fm || role == ChannelRole::Dac) encodePan(cell, state, random, out);
        encodeInstrument(request, cell, role, state, out);

        const int v = cell.note;
        const bool held = v == 0 && volumeEvent(role, state, r);
        if (v == 0 && !held) continue;
        // A held note writes no note byte, only its volume and length.
        int b = held ? kHeldNote : noteByte(request, rows, role, state, r, v);
        // A tone portamento onto a sounding note goes on without an attack.
        const bool slide = !held && followsVolume(role, state) && state.sounding && state.follow->slides(r);
        if (followsVolume(role, state)) {
            const int target = followedAttenuation(*state.follow, role, r);
            if (target < 0) b = kRest;  // volume 0 is silence
            if (b != kRest) {
                appendVolumeChange(out, role, state.attenuation, target);
                state.attenuation = target;
                const std::uint32_t modulation = state.follow->modulationAt(r);
                // A driver that steps earlier waits longer for the same first step.
                if (modulation != state.modulation)
                    appendModulation(out, modulation, driverProfile(request.driver).modulationStepsEarlier);
                state.modulation = modulation;
                const int detune = held ? state.detune : state.follow->detuneAt(r);
                if (detune != state.detune) put(out, {kFlagDetune, detune & 0xFF});
                state.detune = detune;
            }
            state.sounding = b != kRest;
        }
        // The note lasts up to the next event.
        int next = -1;
        for (int s = r + 1; s <= range.lastRow && next < 0; ++s) {
            if (rows.cell(s).note != 0 || volumeEvent(role, state, s)) next = s;
        }
        if (next < 0) next = range.endRow + range.tailExtension;
        const int d = unitOfRow(state.follow, next) - unitOfRow(state.follow, r);
        // Rows that a speed change packs into one unit: the last one sounds.
        if (d == 0 && state.follow != nullptr && state.follow->timeline != nullptr) continue;
        if (d < 1) failConversion();
        if (held && b != kRest) {
            writeHeld(out, state, d, maxDuration);
        } else {
            if (slide && b != kRest) put(out, {kFlagNoAttack});
            writeNote(out, role, state, b, d, maxDuration);
        }
    }
}

// ---- Notes the driver cannot play.

std::string xmNoteName(int note) {
    static const char* const names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    if (note < 1 || note > 96) return std::to_string(note);
    return names[(note - 1) % 12] + std::to_string((note - 1) / 12);
}

namespace {

struct SongPlace {
    int orderPosition;
    int pattern;
    int row;
};

std::optional<SongPlace> locateRow(const ConversionRequest& request, int songRow) {
    int start = 0;
    for (std::size_t i = 0; i < request.orderTable.size(); ++i) {
        const int pattern = request.orderTable[i];
        if (static_cast<std::size_t>(pattern) >= request.patternRows.size()) return std::nullopt;
        const int rows = request.patternRows[static_cast<std::size_t>(pattern)];
        if (rows < 1) return std::nullopt;
        if (songRow < start + rows) return SongPlace{static_cast<int>(i), pattern, songRow - start};
        start += rows;
    }
    return std::nullopt;
}

}  // namespace

std::string songPlaceText(const ConversionRequest& request, int songRow) {
    if (const std::optional<SongPlace> place = locateRow(request, songRow)) {
        return "order position " + std::to_string(place->orderPosition) + " (pattern " +
               std::to_string(place->pattern) + "), row " + std::to_string(place->row);
    }
    return "song row " + std::to_string(songRow);
}

std::string unplayableNoteMessage(const ConversionRequest& request, int channel, int songRow, int note) {
    const std::string where = songPlaceText(request, songRow);
    const std::string head = "Can't convert! XM channel " + std::to_string(channel);
    if (note == kXmB7) {
        return head + " has the note B-7 at " + where + ". FM and PSG channels can play notes up to A#7 only.";
    }
    return head + " has an invalid note (value " + std::to_string(note) + ") at " + where + ".";
}

std::optional<int> firstUnplayableNoteRow(const RowStream& rows, int rowCount) {
    for (int r = 0; r < rowCount; ++r) {
        const int v = rows.cell(r).note;
        if (v > kHighestToneNote && v != kXmKeyOff) return r;
    }
    return std::nullopt;
}

}  // namespace ferro
