#include "engine/driver_warnings.hpp"

#include <algorithm>
#include <map>
#include <optional>

#include "engine/conversion_error.hpp"

namespace ferro {

namespace {

// The table entry a note byte reads, as the driver computes it.
int tableEntry(int noteByte, int base, int transposition) {
    return ((noteByte - base + transposition) % 128 + 128) % 128;
}

struct ToneTrack {
    std::string name;  // "FM 1", "PSG 2"
    int channel = 0;
    int transposition = 0;
    bool psg = false;
};

// The notes of the FM and PSG tone tracks that read past their table.
std::optional<std::string> outOfRangeNotesWarning(const ConversionRequest& request, const RowSource& rows) {
    std::vector<ToneTrack> tracks;
    auto add = [&](std::string name, const std::optional<int>& channel, int transposition, bool psg) {
        if (channel && *channel >= 1 && *channel <= request.channelCount)
            tracks.push_back({std::move(name), *channel, transposition, psg});
    };
    for (int k = 1; k <= request.fmChannelCount && k <= 6; ++k)
        add("FM " + std::to_string(k), request.fm[k - 1], request.pitch[k - 1], false);
    const int toneCount = request.useNoise ? request.psgChannelCount - 1 : request.psgChannelCount;
    for (int k = 1; k <= toneCount && k <= 3; ++k)
        add("PSG " + std::to_string(k), request.psg[k - 1], request.pitch[5 + k], true);

    long count = 0;
    struct First {
        int row;
        const ToneTrack* track;
        int note;
    };
    std::optional<First> first;
    std::map<int, RowStream> streams;
    for (const ToneTrack& t : tracks) {
        auto it = streams.find(t.channel);
        if (it == streams.end()) it = streams.emplace(t.channel, rows.rowStream(t.channel, request.totalRows)).first;
        const RowStream& stream = it->second;
        const int rowCount = std::min(request.totalRows, stream.rowCount());
        for (int r = 0; r < rowCount; ++r) {
            const int note = stream.cell(r).note;
            // Other values are rests, or refused by the conversion.
            if (note < 1 || note > kHighestToneNote) continue;
            const int entry = t.psg ? tableEntry(note + 0x80, 0x81, t.transposition)
                                    : tableEntry(note + 0x80, 0x80, t.transposition);
            if (entry < (t.psg ? kPsgFrequencyEntries : kFmFrequencyEntries)) continue;
            ++count;
            // Tracks are visited in song order, so a tie keeps the first track.
            if (!first || r < first->row) first = First{r, &t, note};
        }
    }
    if (count == 0) return std::nullopt;
    return "Warning: " + std::to_string(count) +
           " notes fall outside the Sonic 1 driver's range and will play at a wrong pitch. First: XM channel " +
           std::to_string(first->track->channel) + ", " + songPlaceText(request, first->row) + ", note " +
           xmNoteName(first->note) + " on " + first->track->name + ".";
}

}  // namespace

std::vector<std::string> driverWarnings(const ConversionRequest& request, const RowSource& rows) {
    std::vector<std::string> warnings;
    if (request.tempo == 1) warnings.push_back(kTempoOneWarning);
    try {
        if (std::optional<std::string> notes = outOfRangeNotesWarning(request, rows)) warnings.push_back(*notes);
    } catch (const ConversionError&) {
        // The conversion reports a stream it cannot read.
    }
    return warnings;
}

}  // namespace ferro

