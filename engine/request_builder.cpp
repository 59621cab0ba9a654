#include "engine/request_builder.hpp"

namespace ferro {

ConversionRequest moduleRequest(const XmModule& module) {
    ConversionRequest r;
    r.workingDirectory = module.directory;
    r.channelCount = module.channelCount;
    r.loopStartRow = module.loopStartRow;
    r.totalRows = module.totalRows;
    r.loopOption = module.loopOption;
    r.fileName = module.fileName;
    r.orderTable = module.orderTable;
    r.patternRows = module.patternRows;
    return r;
}

ConversionRequest buildConversionRequest(const XmModule& module, const SongChoices& choices,
                                         ReadinessLight generalLight, ReadinessLight voiceLight,
                                         const AppOptions& options) {
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
    r.endDacWithE4 = s.endDacWithE4;
    r.dividingTiming = s.dividingTiming;
    r.tempo = s.tempo;

    // Only check state exactly 1 counts; a greyed box was applied already.
    r.removeRests = s.removeRests == RemoveRestsState::Checked;
    r.optimiseOutput = s.optimiseOutput;
    r.pan = choices.channels.pan;
    r.pitch = choices.channels.pitch;
    r.volume = choices.channels.volume;
    r.drumsByNote = choices.maps.drumsByNote;
    r.hihatsByNote = choices.maps.hihatsByNote;
    r.corri = choices.maps.corri;
    r.psgorri = choices.maps.psgorri;
    r.norri = choices.maps.norri;
    r.dorri = choices.maps.dorri;
    r.voices = choices.voices;

    r.voiceNames = choices.voiceNames;
    r.asmStyle = choices.asmStyle;
    r.writeBin = choices.writeBin;
    r.writeAsm = choices.writeAsm;
    r.generalLight = generalLight;
    r.voiceLight = voiceLight;
    r.generalPolicy = options.generalPolicy;
    r.voicePolicy = options.voicePolicy;
    r.showSizeDecimal = options.showSizeDecimal;
    r.showSizeHex = options.showSizeHex;
    return r;
}

}  // namespace ferro
