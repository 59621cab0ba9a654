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
