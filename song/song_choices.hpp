#pragma once
// Every choice a user makes about one song: the General and More parametres,
// the song's voices and the output formats. The song model holds one of
// these; a song setup file is one of these written out.
#include "engine/conversion_request.hpp"
#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"
#include "voices/song_voice_list.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

struct SongChoices {
    SongSettings settings;  // general part and the two output options
    ChannelAssignment assignment;
    InstrumentMaps maps;
    ChannelOutputSettings channels;
    SongVoiceList voices;
    bool writeBin = true;
    bool writeAsm = false;
    AsmStyle asmStyle = AsmStyle::Plain;  // the "SMPS2ASM" box beside ".asm"
    // "Loop song"" when the module was last loaded: whether the song has an
    // intro (see loopPlan). A change of "Loop song" reaches it at the next load.
    bool loopSongAtLoad = true;
};

// The choices of a freshly loaded module with `channelCount` XM channels:
// what the windows show right after the first load, before any click.
SongChoices initialSongChoices(int channelCount);

// Which keys of a map the song plays: entry k-1 is true when an XM channel
// that the choices give to an output reading the map has instrument k (note
// k for a map keyed by note) in its rows. The FM channels read the FM voices,
// the PSG tone channels the PSG voices, the noise channel the hi-hat kinds
// and the DAC channel the drum samples.
std::vector<bool> playedMapKeys(const XmModule& module, const SongChoices& choices, InstrumentMapKind kind);

// A request holding the loaded module's facts, every other field at its default.
ConversionRequest moduleRequest(const XmModule& module);

// The request the engine converts: the module's facts and the choices.
ConversionRequest songRequest(const XmModule& module, const SongChoices& choices);

}  // namespace ferro
