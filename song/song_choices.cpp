#include "song/song_choices.hpp"

namespace ferro {

SongChoices initialSongChoices(int channelCount) {
    SongChoices c;
    resetChannelAssignment(c.assignment, channelCount);
    return c;
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
    return r;
}

ConversionRequest songRequest(const XmModule& module, const SongChoices& choices) {
    const SongSettings& s = choices.settings;
    ConversionRequest r = moduleRequest(module);

    r.fmChannelCount = s.fmChannelCount;
    r.psgChannelCount = s.psgChannelCount;
    r.fm = choices.assignment.fm;
    r.psg = choices.assignment.psg;
    r.dac = choices.assignment.dac;
    r.hasDrums = s.hasDrums;
    r.useNoise = s.useNoise;
    r.loopSong = s.loopSong;
    r.loopSongAtLoad = choices.loopSongAtLoad;
    r.endDacWithE4 = s.endDacWithE4;
    r.dividingTiming = s.dividingTiming;
    r.tempo = s.tempo;

    r.optimiseOutput = s.optimiseOutput;
    r.pan = choices.channels.pan;
    r.pitch = choices.channels.pitch;
    r.volume = choices.channels.volume;
    r.drumsByNote = choices.maps.drumsByNote;
    r.hihatsByNote = choices.maps.hihatsByNote;
    r.instrumentVoices = choices.maps.instrumentVoices;
    r.instrumentPsgEnvelopes = choices.maps.instrumentPsgEnvelopes;
    r.hihatKinds = choices.maps.hihatKinds;
    r.drumSamples = choices.maps.drumSamples;
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
