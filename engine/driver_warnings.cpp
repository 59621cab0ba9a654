#include "engine/driver_warnings.hpp"

#include <algorithm>
#include <map>
#include <optional>

#include "engine/conversion_error.hpp"
#include "engine/module_effects.hpp"

namespace ferro {

namespace {

// The table entry a note byte reads, as the driver computes it.
int tableEntry(int noteByte, int base, int transposition) {
    return ((noteByte - base + transposition) % 128 + 128) % 128;
}

enum class TrackKind { Fm, PsgTone, Dac };

struct SongTrack {
    std::string name;  // "FM 1", "PSG 2", "DAC"
    int channel = 0;
    int transposition = 0;
    TrackKind kind = TrackKind::Fm;
};

// The tracks made from XM channels, in song order (DAC, FM, PSG).
std::vector<SongTrack> songTracks(const ConversionRequest& request) {
    std::vector<SongTrack> tracks;
    auto add = [&](std::string name, const std::optional<int>& channel, int transposition, TrackKind kind) {
        if (channel && *channel >= 1 && *channel <= request.channelCount)
            tracks.push_back({std::move(name), *channel, transposition, kind});
    };
    if (request.hasDrums) add("DAC", request.dac, 0, TrackKind::Dac);
    for (int k = 1; k <= request.fmChannelCount && k <= 6; ++k)
        add("FM " + std::to_string(k), request.fm[k - 1], request.pitch[k - 1], TrackKind::Fm);
    const int toneCount = request.useNoise ? request.psgChannelCount - 1 : request.psgChannelCount;
    for (int k = 1; k <= toneCount && k <= 3; ++k)
        add("PSG " + std::to_string(k), request.psg[k - 1], request.pitch[5 + k], TrackKind::PsgTone);
    return tracks;
}

// The notes of one kind of doubt: how many, and the first (earliest row, then
// the first track in song order).
struct Doubt {
    long count = 0;
    int firstRow = 0;
    std::string first;  // "XM channel 3, order position 0 (pattern 0), row 2, ..."

    void add(const ConversionRequest& request, const SongTrack& track, int row, const std::string& what) {
        if (count++ == 0 || row < firstRow) {
            firstRow = row;
            first = "XM channel " + std::to_string(track.channel) + ", " + songPlaceText(request, row) + ", " + what;
        }
    }
};

struct Doubts {
    Doubt offTable, voice, envelope, sample;
};

std::string hexByte(int value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 15], digits[value & 15]};
}

void readTrack(const ConversionRequest& request, const SongTrack& t, const RowStream& stream, Doubts& doubts) {
    const DriverProfile& driver = driverProfile(request.driver);
    const int voiceCount = static_cast<int>(request.voices.size());
    const int rowCount = std::min(request.totalRows, stream.rowCount());
    int instrument = 0;  // the last one the channel named
    for (int r = 0; r < rowCount; ++r) {
        const XmCell cell = stream.cell(r);
        if (cell.instrument != 0) instrument = cell.instrument;
        const int note = cell.note;
        if (t.kind == TrackKind::Dac) {
            if (note == 0 || note == kXmKeyOff) continue;
            // Other keys are refused by the conversion.
            const std::optional<int> sample = mapValue(request.drumSamples, request.drumsByNote ? note : instrument);
            if (sample && *sample >= 0x81 && *sample <= 0xDF && !dacSampleHasSound(driver, *sample))
                doubts.sample.add(request, t, r, "sample " + hexByte(*sample));
            continue;
        }
        // Other values are rests, or refused by the conversion.
        if (note < 1 || note > kHighestToneNote) continue;
        const bool psg = t.kind == TrackKind::PsgTone;
        const int entry = psg ? tableEntry(note + 0x80, 0x81, t.transposition)
                              : tableEntry(note + 0x80, 0x80, t.transposition);
        if (entry >= (psg ? driver.psgFrequencyEntries : driver.fmFrequencyEntries))
            doubts.offTable.add(request, t, r, "note " + xmNoteName(note) + " on " + t.name);
        if (instrument == 0) continue;
        if (!psg && voiceCount >= 1) {
            const std::optional<int> voice = mapValue(request.instrumentVoices, instrument);
            if (voice && *voice >= voiceCount)
                doubts.voice.add(request, t, r,
                                 "instrument " + std::to_string(instrument) + " plays voice " + std::to_string(*voice));
        }
        if (psg) {
            const std::optional<int> envelope = mapValue(request.instrumentPsgEnvelopes, instrument);
            if (envelope && *envelope > driver.psgEnvelopes)
                doubts.envelope.add(request, t, r,
                                    "instrument " + std::to_string(instrument) + " uses envelope " +
                                        std::to_string(*envelope));
        }
    }
}

Doubts songDoubts(const ConversionRequest& request, const RowSource& rows) {
    Doubts doubts;
    std::map<int, RowStream> streams;
    for (const SongTrack& t : songTracks(request)) {
        auto it = streams.find(t.channel);
        if (it == streams.end()) it = streams.emplace(t.channel, rows.rowStream(t.channel, request.totalRows)).first;
        readTrack(request, t, it->second, doubts);
    }
    return doubts;
}

}  // namespace

bool dacSampleHasSound(int sample) {
    return (sample >= 0x81 && sample <= 0x83) || sample == 0x87 || (sample >= 0x88 && sample <= 0x8B);
}

bool dacSampleHasSound(const DriverProfile& driver, int sample) {
    if (driver.id == SoundDriver::Sonic1) return dacSampleHasSound(sample);
    return !drumName(driver, sample).empty();
}

std::vector<std::string> driverWarnings(const ConversionRequest& request, const RowSource& rows) {
    std::vector<std::string> warnings;
    const DriverProfile& driver = driverProfile(request.driver);
    if (request.tempo == 1 && driver.tempoRule == TempoRule::StallEveryNth) warnings.push_back(kTempoOneWarning);
    Doubts doubts;
    try {
        doubts = songDoubts(request, rows);
    } catch (const ConversionError&) {
        // The conversion reports a stream it cannot read.
        return warnings;
    }
    const auto say = [&](const Doubt& d, const std::string& what) {
        if (d.count > 0) warnings.push_back("Warning: " + std::to_string(d.count) + " " + what + " First: " + d.first + ".");
    };
    const std::string theDriver = driverPhrase(driver);
    say(doubts.offTable, "notes fall outside " + theDriver + "'s range and will play at a wrong pitch.");
    const auto voices = std::to_string(request.voices.size());
    say(doubts.voice, "notes play an FM voice the song does not have (it has " + voices + " voices, 0 to " +
                          std::to_string(static_cast<long>(request.voices.size()) - 1) + ").");
    say(doubts.envelope, "notes use a PSG envelope " + theDriver + " does not have (1 to " +
                             std::to_string(driver.psgEnvelopes) + ", 0 for none).");
    const std::string drums = driver.id == SoundDriver::Sonic1 ? "81-83, 87 and 88-8B" : "81-91";
    say(doubts.sample, "drums ask for a DAC sample " + theDriver + " has no sound for (it has " + drums + ").");
    if (request.moduleEffects) {
        for (std::string& line : moduleEffectWarnings(request, rows)) warnings.push_back(std::move(line));
    }
    return warnings;
}

}  // namespace ferro

