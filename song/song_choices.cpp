#include "song/song_choices.hpp"

#include <algorithm>

namespace ferro {

SongChoices initialSongChoices(int channelCount) {
    SongChoices c;
    resetChannelAssignment(c.assignment, channelCount);
    return c;
}

namespace {

// The XM channels whose output reads the map, as the conversion gives them
// their roles: the last PSG row is the noise channel when noise is on.
std::vector<XmChannelChoice> channelsReading(const SongChoices& choices, InstrumentMapKind kind) {
    const SongSettings& s = choices.settings;
    const ChannelAssignment& a = choices.assignment;
    const int psgTones = s.useNoise ? s.psgChannelCount - 1 : s.psgChannelCount;
    switch (kind) {
    case InstrumentMapKind::Fm: return {a.fm.begin(), a.fm.begin() + std::clamp(s.fmChannelCount, 0, kMaxFmChannels)};
    case InstrumentMapKind::Psg: return {a.psg.begin(), a.psg.begin() + std::clamp(psgTones, 0, kMaxPsgChannels)};
    case InstrumentMapKind::HiHat:
        if (s.useNoise && s.psgChannelCount > 0) return {a.psg[static_cast<std::size_t>(s.psgChannelCount - 1)]};
        return {};
    case InstrumentMapKind::Dac: break;
    }
    return s.hasDrums ? std::vector<XmChannelChoice>{a.dac} : std::vector<XmChannelChoice>{};
}

}  // namespace

std::vector<bool> playedMapKeys(const XmModule& module, const SongChoices& choices, InstrumentMapKind kind) {
    const int keyCount = mapKeyCount(choices.maps, kind);
    const bool byNote = (kind == InstrumentMapKind::Dac && choices.maps.drumsByNote) ||
                        (kind == InstrumentMapKind::HiHat && choices.maps.hihatsByNote);
    std::vector<bool> played(static_cast<std::size_t>(keyCount), false);
    for (const XmChannelChoice& channel : channelsReading(choices, kind)) {
        if (!channel) continue;
        const auto rows = module.rowStream(*channel);
        for (std::size_t at = 0; at + kXmCellSize <= rows.size(); at += kXmCellSize) {
            const int note = rows[at];
            const int instrument = rows[at + 1];
            // A hi-hat keyed by note is picked where a row names an instrument.
            if (byNote && kind == InstrumentMapKind::HiHat && instrument == 0) continue;
            const int key = byNote ? note : instrument;
            if (key >= 1 && key <= keyCount) played[static_cast<std::size_t>(key - 1)] = true;
        }
    }
    return played;
}

ConversionRequest moduleRequest(const XmModule& module) {
    ConversionRequest r;
    r.workingDirectory = module.directory;
    r.channelCount = module.channelCount;
    r.totalRows = module.totalRows;
    r.restartRow = module.restartRow;
    r.fileName = module.fileName;
    r.orderTable = module.orderTable;
    r.patternRows = module.patternRows;
    r.moduleSpeed = module.header.defaultTempo;
    r.moduleBpm = module.header.defaultBpm;
    r.instruments = module.instruments;
    return r;
}

ConversionRequest songRequest(const XmModule& module, const SongChoices& choices) {
    ConversionRequest r = moduleRequest(module);
    static_cast<SongSettings&>(r) = choices.settings;
    static_cast<ChannelOutputSettings&>(r) = choices.channels;
    static_cast<InstrumentMaps&>(r) = choices.maps;
    r.fm = choices.assignment.fm;
    r.psg = choices.assignment.psg;
    r.dac = choices.assignment.dac;
    r.loopSongAtLoad = choices.loopSongAtLoad;
    for (int i = 0; i < choices.voices.count(); ++i) {
        r.voices.push_back(choices.voices.voice(i));
        r.voiceNames.push_back(choices.voices.name(i));
    }
    r.asmStyle = choices.asmStyle;
    r.writeBin = choices.writeBin;
    r.writeAsm = choices.writeAsm;
    return r;
}

}  // namespace ferro
