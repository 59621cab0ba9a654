#include "engine/module_effects.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/conversion_error.hpp"

namespace ferro {

std::vector<XmTempo> songTempos(const ConversionRequest& request, const RowSource& source) {
    const int rowCount = request.totalRows;
    std::vector<XmTempo> tempos(static_cast<std::size_t>(rowCount));
    std::vector<RowStream> streams;
    for (int n = 1; n <= request.channelCount; ++n) streams.push_back(source.rowStream(n, rowCount));
    XmTempo tempo{request.moduleSpeed, request.moduleBpm};
    for (int r = 0; r < rowCount; ++r) {
        for (const RowStream& rows : streams) applySetSpeed(rows.cell(r), tempo);
        tempos[static_cast<std::size_t>(r)] = tempo;
    }
    return tempos;
}

namespace {

int nearestUnit(double time) { return static_cast<int>(std::floor(time + 0.5 + 1e-9)); }

}  // namespace

std::vector<int> songPatternDelays(const ConversionRequest& request, const RowSource& source) {
    std::vector<int> delays(static_cast<std::size_t>(request.totalRows), 0);
    for (int n = 1; n <= request.channelCount; ++n) {
        const RowStream rows = source.rowStream(n, request.totalRows);
        for (int r = 0; r < request.totalRows; ++r) {
            const XmCell cell = rows.cell(r);
            if (cell.effectType == kFxExtended && extendedKind(cell) == 0xE)
                delays[static_cast<std::size_t>(r)] = extendedValue(cell);
        }
    }
    return delays;
}

SongTimeline songTimeline(const ConversionRequest& request, const std::vector<XmTempo>& tempos,
                          const std::vector<int>& delays) {
    SongTimeline timeline;
    timeline.loopStart = loopPlan(request).introRows;
    timeline.time.push_back(0);
    if (tempos.empty()) {
        timeline.start.push_back(0);
        return timeline;
    }
    const auto rowLength = [](const XmTempo& t) {
        return t.speed > 0 && t.bpm > 0 ? static_cast<double>(t.speed) / t.bpm : 0.0;
    };
    // A module whose first row plays no time (speed or BPM 0) keeps a unit a row.
    const double first = rowLength(tempos.front());
    const double unit = first > 0 ? first : 1.0;
    double time = 0;
    timeline.start.reserve(tempos.size() + 1);
    timeline.start.push_back(0);
    for (std::size_t r = 0; r < tempos.size(); ++r) {
        const int passes = 1 + (r < delays.size() ? delays[r] : 0);
        time += passes * (first > 0 ? rowLength(tempos[r]) / unit : 1.0);
        if (time > 1e8) failConversion();
        timeline.time.push_back(time);
        timeline.start.push_back(nearestUnit(time));
    }
    return timeline;
}

int SongTimeline::unitAt(int row) const {
    const int total = static_cast<int>(start.size()) - 1;
    if (row < 0) failConversion();
    if (row <= total) return start[static_cast<std::size_t>(row)];
    const int again = loopStart + row - total;
    if (again > total || loopStart > total) failConversion();
    return start[static_cast<std::size_t>(total)] + start[static_cast<std::size_t>(again)] -
           start[static_cast<std::size_t>(loopStart)];
}

std::uint32_t ChannelFollow::modulationAt(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < modulation.size() ? modulation[static_cast<std::size_t>(row)] : 0;
}

std::uint32_t vibratoModulation(ChannelRole role, int note, int transposition, int speed, int depth,
                                const XmTempo& tempo) {
    if (note < 1 || note > 96 || speed < 1 || depth < 1 || tempo.bpm < 1) return 0;
    // One semitone in the units the driver adds: FM frequency numbers (644
    // at C, the same in every block), PSG periods (longer for lower notes).
    const int pitch = (note - 1) % 12;
    double semitone = 644.0 * std::pow(2.0, pitch / 12.0) * (std::pow(2.0, 1.0 / 12) - 1);
    if (role != ChannelRole::Fm) {
        const int index = std::clamp(note - 1 + transposition, 0, 0x44);
        semitone = 0x356 * std::pow(2.0, -index / 12.0) * (1 - std::pow(2.0, -1.0 / 12));
    }
    const double amplitude = depth / 16.0 * semitone;
    // A tracker's vibrato goes round in 64 / speed ticks of 2.5 / BPM s.
    const double cycleFrames = 64.0 / speed * 150.0 / tempo.bpm;
    // The driver's cycle: about 2 x steps x speed frames, ±steps x change / 2.
    // The slowest step that still moves the pitch.
    for (int frames = 1; frames <= 255; ++frames) {
        const int steps = std::clamp(static_cast<int>(std::lround(cycleFrames / (2.0 * frames))), 2, 254) & ~1;
        const int change = static_cast<int>(std::lround(2 * amplitude / steps));
        if (change < 1 && frames < 255) continue;
        const auto packed = static_cast<std::uint32_t>(std::clamp(change, 1, 127)) << 8 | static_cast<std::uint32_t>(steps);
        return static_cast<std::uint32_t>(frames) << 16 | packed;
    }
    return 0;
}

void appendModulation(Bytes& out, std::uint32_t modulation, int laterWait) {
    if (modulation == 0) {
        out.push_back(kFlagModulationOff);
        return;
    }
    const int wait = std::min(static_cast<int>(modulation >> 24) + laterWait, 0xFE);
    out.insert(out.end(), {kFlagModulation, static_cast<std::uint8_t>(wait),
                           static_cast<std::uint8_t>(modulation >> 16),
                           static_cast<std::uint8_t>(modulation >> 8), static_cast<std::uint8_t>(modulation)});
}

int ChannelFollow::detuneAt(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < detune.size() ? detune[static_cast<std::size_t>(row)] : 0;
}

bool ChannelFollow::slides(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < slide.size() && slide[static_cast<std::size_t>(row)];
}

int unitOfRow(const ChannelFollow* follow, int row) {
    if (follow == nullptr || follow->timeline == nullptr) return row;
    const SongTimeline& t = *follow->timeline;
    const int total = static_cast<int>(t.start.size()) - 1;
    const auto own = [&](int r) {
        return r < static_cast<int>(follow->noteStart.size()) ? follow->noteStart[static_cast<std::size_t>(r)]
                                                              : t.unitAt(r);
    };
    if (row <= total) return own(row);
    // The loop's next pass, as SongTimeline::unitAt counts it.
    return t.unitAt(row) - t.unitAt(t.loopStart + row - total) + own(t.loopStart + row - total);
}

namespace {

// Where a note delayed by EDx starts: x ticks into its row, on the nearest
// unit; a delay past the row's ticks waits for the row's end.
std::vector<int> noteStarts(const SongTimeline& timeline, const RowStream& rows, const std::vector<XmTempo>& tempos) {
    std::vector<int> starts(timeline.start.begin(), timeline.start.end() - 1);
    for (std::size_t r = 0; r < starts.size() && r < tempos.size(); ++r) {
        const XmCell cell = rows.cell(static_cast<int>(r));
        if (cell.note == 0 || cell.effectType != kFxExtended || extendedKind(cell) != 0xD) continue;
        const int ticks = std::max(tempos[r].speed, 1);
        const double tick = (timeline.time[r + 1] - timeline.time[r]) / ticks;
        const double at = std::min(timeline.time[r] + extendedValue(cell) * tick, timeline.time[r + 1]);
        starts[r] = std::min(nearestUnit(at), timeline.start[r + 1]);
    }
    return starts;
}

}  // namespace

bool ChannelFollow::volumeChanges(int row) const {
    if (row <= 0 || static_cast<std::size_t>(row) >= volume.size()) return false;
    return volume[static_cast<std::size_t>(row)] != volume[static_cast<std::size_t>(row) - 1];
}

namespace {

// The volume of one channel as the tracker moves it, with the slides'
// memories (a slide of 0 repeats the last one).
class VolumeTracker {
public:
    explicit VolumeTracker(const ConversionRequest& request) : request_(request) {}

    // The row's first tick; returns the volume in force after it.
    int firstTick(const XmCell& cell) {
        if (cell.note >= 1 && cell.note <= 96) note_ = cell.note;
        // An instrument brings its sample's default volume (a key-off does not).
        if (cell.instrument != 0 && cell.note != kXmKeyOff) volume_ = defaultVolume(cell.instrument);
        if (const std::optional<int> set = volumeSetOnRow(cell)) volume_ = *set;
        if (cell.volume >= 0x80 && cell.volume <= 0x8F) add(-(cell.volume & 0x0F));
        if (cell.volume >= 0x90 && cell.volume <= 0x9F) add(cell.volume & 0x0F);
        if (cell.effectType == kFxExtended && extendedKind(cell) == 0xA) add(remember(fineUp_, extendedValue(cell)));
        if (cell.effectType == kFxExtended && extendedKind(cell) == 0xB) add(-remember(fineDown_, extendedValue(cell)));
        if (noteCutTick(cell) == 0) volume_ = 0;
        return volume_;
    }

    // The row's later ticks.
    void laterTicks(const XmCell& cell, int ticks) {
        int step = 0;
        if (cell.volume >= 0x60 && cell.volume <= 0x6F) step -= cell.volume & 0x0F;
        if (cell.volume >= 0x70 && cell.volume <= 0x7F) step += cell.volume & 0x0F;
        const int fx = cell.effectType;
        if (fx == kFxVolumeSlide || fx == kFxTonePortaVolSlide || fx == kFxVibratoVolSlide) {
            const int p = remember(slide_, cell.effectParameter);
            // The upper nibble wins when both are given.
            step += (p >> 4) != 0 ? p >> 4 : -(p & 0x0F);
        }
        for (int t = 1; t < ticks && step != 0; ++t) add(step);
        // A cut inside the row silences the rows after it.
        const int cut = noteCutTick(cell);
        if (cut > 0 && cut < ticks) volume_ = 0;
    }

private:
    // The tick of an ECx (which sets the volume to 0 there), or -1.
    static int noteCutTick(const XmCell& cell) {
        return cell.effectType == kFxExtended && extendedKind(cell) == 0xC ? extendedValue(cell) : -1;
    }
    static int remember(int& memory, int value) {
        if (value != 0) memory = value;
        return memory;
    }
    void add(int delta) { volume_ = std::clamp(volume_ + delta, 0, kXmFullVolume); }
    int defaultVolume(int instrument) const {
        if (instrument < 1 || static_cast<std::size_t>(instrument) > request_.instruments.size()) return kXmFullVolume;
        return request_.instruments[static_cast<std::size_t>(instrument) - 1].noteVolume(note_);
    }

    const ConversionRequest& request_;
    int volume_ = kXmFullVolume;
    int note_ = 0;
    int slide_ = 0, fineUp_ = 0, fineDown_ = 0;
};

// The header volume of the first track `channel` feeds in `role`.
int trackVolume(const ConversionRequest& request, int channel, ChannelRole role) {
    if (role == ChannelRole::Fm) {
        for (int k = 0; k < request.fmChannelCount; ++k)
            if (request.fm[static_cast<std::size_t>(k)] == channel) return request.volume[static_cast<std::size_t>(k)];
    } else {
        const int count = request.psgChannelCount;
        for (int k = 1; k <= count; ++k) {
            if (request.psg[static_cast<std::size_t>(k - 1)] != channel) continue;
            const bool noise = request.useNoise && k == count;
            return request.volume[static_cast<std::size_t>(noise ? 9 : 5 + k)];
        }
    }
    return 0;
}

// The transposition of the first PSG track `channel` feeds.
int psgTransposition(const ConversionRequest& request, int channel) {
    for (int k = 1; k <= request.psgChannelCount; ++k)
        if (request.psg[static_cast<std::size_t>(k - 1)] == channel) return request.pitch[static_cast<std::size_t>(5 + k)];
    return 0;
}

// The rows' vibratos (4xy, and 6xy going on with the last one), a zero
// speed or depth keeping the last.
std::vector<std::uint32_t> vibratos(const ConversionRequest& request, const RowStream& rows, ChannelRole role,
                                    const std::vector<XmTempo>& tempos) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(request.totalRows), 0);
    if (role == ChannelRole::Dac || role == ChannelRole::PsgNoise) return out;
    const int transposition = psgTransposition(request, rows.channel());
    int note = 0, speed = 0, depth = 0;
    for (int r = 0; r < request.totalRows; ++r) {
        const XmCell cell = rows.cell(r);
        if (cell.note >= 1 && cell.note <= 96) note = cell.note;
        if (cell.effectType == kFxVibrato) {
            if (cell.effectParameter >> 4) speed = cell.effectParameter >> 4;
            if (cell.effectParameter & 0x0F) depth = cell.effectParameter & 0x0F;
        } else if (cell.effectType != kFxVibratoVolSlide) {
            continue;
        }
        out[static_cast<std::size_t>(r)] =
            vibratoModulation(role, note, transposition, speed, depth, tempos[static_cast<std::size_t>(r)]);
    }
    return out;
}

// One semitone in the units a detune adds to the note's frequency: FM
// frequency numbers, PSG periods (which fall as the pitch rises).
double semitoneUnits(ChannelRole role, int note, int transposition) {
    const int pitch = (note - 1) % 12;
    if (role == ChannelRole::Fm) return 644.0 * std::pow(2.0, pitch / 12.0) * (std::pow(2.0, 1.0 / 12) - 1);
    const int index = std::clamp(note - 1 + transposition, 0, 0x44);
    return -0x356 * std::pow(2.0, -index / 12.0) * (1 - std::pow(2.0, -1.0 / 12));
}

// Finetunes (E5x: x - 8 eighths of a semitone) and tone portamentos.
void notePitches(const ConversionRequest& request, const RowStream& rows, ChannelRole role, ChannelFollow& follow) {
    const auto count = static_cast<std::size_t>(request.totalRows);
    follow.detune.assign(count, 0);
    follow.slide.assign(count, false);
    if (role != ChannelRole::Fm && role != ChannelRole::PsgTone) return;
    const int transposition = psgTransposition(request, rows.channel());
    for (std::size_t r = 0; r < count; ++r) {
        const XmCell cell = rows.cell(static_cast<int>(r));
        if (cell.note < 1 || cell.note > 96) continue;
        follow.slide[r] = cell.effectType == kFxTonePorta || cell.effectType == kFxTonePortaVolSlide ||
                          cell.volume >= 0xF0;
        if (cell.effectType != kFxExtended || extendedKind(cell) != 0x5) continue;
        const double units = (extendedValue(cell) - 8) / 8.0 * semitoneUnits(role, cell.note, transposition);
        follow.detune[r] = static_cast<std::int8_t>(std::clamp<long>(std::lround(units), -128, 127));
    }
}

}  // namespace

ChannelFollow followChannel(const ConversionRequest& request, const RowStream& rows, ChannelRole role,
                            const std::vector<XmTempo>& tempos, const SongTimeline* timeline) {
    ChannelFollow follow;
    const int rowCount = request.totalRows;
    if (tempos.size() != static_cast<std::size_t>(rowCount)) failConversion();
    follow.timeline = timeline;
    if (timeline != nullptr && timeline->time.size() == static_cast<std::size_t>(rowCount) + 1)
        follow.noteStart = noteStarts(*timeline, rows, tempos);
    VolumeTracker tracker(request);
    follow.volume.reserve(static_cast<std::size_t>(rowCount));
    for (int r = 0; r < rowCount; ++r) {
        const XmCell cell = rows.cell(r);
        follow.volume.push_back(static_cast<std::uint8_t>(tracker.firstTick(cell)));
        tracker.laterTicks(cell, tempos[static_cast<std::size_t>(r)].speed);
    }
    follow.modulation = vibratos(request, rows, role, tempos);
    notePitches(request, rows, role, follow);
    const int base = trackVolume(request, rows.channel(), role);
    // FM: the flag writes nothing once the volume reaches 80h. PSG: 0Fh is
    // the quietest attenuation.
    const int ceiling = role == ChannelRole::Fm ? 0x7F : 0x0F;
    follow.maxAttenuation = std::max(0, ceiling - base);
    return follow;
}

int fmAttenuation(int volume) {
    if (volume < 1 || volume > kXmFullVolume) failConversion();
    return static_cast<int>(std::lround(26.67 * std::log10(64.0 / volume)));
}

int psgAttenuation(int volume) {
    if (volume < 1 || volume > kXmFullVolume) failConversion();
    return static_cast<int>(std::lround(10.0 * std::log10(64.0 / volume)));
}

namespace {

// The name of the first track XM channel n feeds: "FM3", "PSG1", "Noise", "DAC".
std::string trackName(const ConversionRequest& request, int channel) {
    for (int k = 1; k <= request.fmChannelCount; ++k)
        if (request.fm[static_cast<std::size_t>(k - 1)] == channel) return "FM" + std::to_string(k);
    for (int k = 1; k <= request.psgChannelCount; ++k) {
        if (request.psg[static_cast<std::size_t>(k - 1)] != channel) continue;
        return request.useNoise && k == request.psgChannelCount ? "Noise" : "PSG" + std::to_string(k);
    }
    return "DAC";
}

const char* followText(XmEffectKind kind, ChannelRole role) {
    if (kind == XmEffectKind::SetSpeed || kind == XmEffectKind::PatternDelay || kind == XmEffectKind::NoteDelay)
        return "followed";
    if (kind == XmEffectKind::TonePortamento || kind == XmEffectKind::Finetune ||
        kind == XmEffectKind::VolumeColumnTonePortamento)
        return role == ChannelRole::Fm || role == ChannelRole::PsgTone ? "followed" : "not followed";
    if (kind == XmEffectKind::Vibrato)
        return role == ChannelRole::Fm || role == ChannelRole::PsgTone ? "followed as modulation" : "not followed";
    if (kind == XmEffectKind::NoteCut) return role == ChannelRole::Dac ? "not followed" : "followed per row";
    if (!isVolumeKind(kind) || role == ChannelRole::Dac) return "not followed";
    const bool perRow = kind == XmEffectKind::VolumeSlide || kind == XmEffectKind::VolumeColumnSlide ||
                        kind == XmEffectKind::PortaVolumeSlide;
    return perRow ? "followed per row" : "followed";
}

// How often channel n uses each kind.
std::array<long long, kXmEffectKindCount> kindCounts(const ConversionRequest& request, const RowStream& rows) {
    std::array<long long, kXmEffectKindCount> counts{};
    int instrument = 0;
    for (int r = 0; r < request.totalRows; ++r) {
        const XmCell cell = rows.cell(r);
        if (cell.instrument != 0) instrument = cell.instrument;
        const bool known = instrument >= 1 && static_cast<std::size_t>(instrument) <= request.instruments.size();
        const CellKinds kinds =
            cellEffectKinds(cell, known ? &request.instruments[static_cast<std::size_t>(instrument) - 1] : nullptr);
        for (int k = 0; k < kinds.count; ++k) ++counts[static_cast<std::size_t>(kinds.kinds[k])];
    }
    return counts;
}

}  // namespace

std::vector<std::string> moduleEffectWarnings(const ConversionRequest& request, const RowSource& source) {
    std::vector<std::string> warnings;
    try {
        const std::vector<ChannelRole> roles = buildChannelRoles(request);
        for (int n = 1; n <= request.channelCount; ++n) {
            const ChannelRole role = roles[static_cast<std::size_t>(n)];
            if (role == ChannelRole::None) continue;
            const auto counts = kindCounts(request, source.rowStream(n, request.totalRows));
            std::string followed, left;
            for (int k = 0; k < kXmEffectKindCount; ++k) {
                if (counts[static_cast<std::size_t>(k)] == 0) continue;
                const auto kind = static_cast<XmEffectKind>(k);
                const char* how = followText(kind, role);
                std::string& list = how[0] == 'n' ? left : followed;
                const int count = counts[static_cast<std::size_t>(k)];
                list += (list.empty() ? "" : "; ") + countText(count) + " " + effectKindName(kind, count) + " " + how;
            }
            if (left.empty()) continue;
            warnings.push_back("Warning: XM channel " + std::to_string(n) + " (" + trackName(request, n) +
                               "): " + (followed.empty() ? left : followed + "; " + left));
        }
    } catch (const ConversionError&) {
        // The conversion refuses what cannot be read.
        return {};
    }
    return warnings;
}

std::string approximationComment(const ConversionRequest& request, const RowSource& source) {
    using K = XmEffectKind;
    struct Approximation {
        std::vector<K> kinds;
        const char* text;
        bool used = false;
    };
    Approximation list[] = {
        {{K::VolumeSlide, K::VolumeColumnSlide, K::PortaVolumeSlide}, "volume slides move the volume once a row"},
        {{K::NoteCut}, "note cuts (ECx) silence the note from the next row"},
        {{K::SetSpeed, K::PatternDelay, K::NoteDelay},
         "speed changes and delays (Fxx, EEx, EDx) fall on the nearest duration unit"},
        {{K::Vibrato}, "vibratos (4xy, 6xy) play as the driver's modulation"},
        {{K::TonePortamento, K::VolumeColumnTonePortamento},
         "tone portamentos (3xx, 5xy) reach their note at once, without a new attack"},
        {{K::Finetune}, "finetunes (E5x) play as the driver's detune"},
    };
    try {
        const std::vector<ChannelRole> roles = buildChannelRoles(request);
        for (int n = 1; n <= request.channelCount; ++n) {
            const ChannelRole role = roles[static_cast<std::size_t>(n)];
            if (role == ChannelRole::None) continue;
            const auto counts = kindCounts(request, source.rowStream(n, request.totalRows));
            for (Approximation& a : list)
                for (K kind : a.kinds)
                    if (counts[static_cast<std::size_t>(kind)] > 0 && followText(kind, role)[0] == 'f') a.used = true;
        }
    } catch (const ConversionError&) {
        return {};
    }
    std::string text;
    for (const Approximation& a : list)
        if (a.used) text += std::string(text.empty() ? "; The module's effects, approximated:" : "") + "\r\n; - " + a.text;
    return text;
}

void appendVolumeChange(Bytes& out, ChannelRole role, int from, int to) {
    if (from == to) return;
    const std::uint8_t flag = role == ChannelRole::Fm ? kFlagFmVolume : kFlagPsgVolume;
    out.insert(out.end(), {flag, static_cast<std::uint8_t>((to - from) & 0xFF)});
}

}  // namespace ferro
