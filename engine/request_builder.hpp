#pragma once
// Gathers one ConversionRequest from the records the windows own (or that the
// command line fills from a setup file), so that both ways in convert the
// same choices into the same bytes.
#include <vector>

#include "app/options.hpp"
#include "engine/conversion_request.hpp"
#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

struct SongChoices {
    SongSettings settings;  // general part and the two output options
    ChannelAssignment assignment;
    InstrumentMaps maps;
    ChannelOutputSettings channels;
    std::vector<FmVoice> voices;
    bool writeBin = true;
    bool writeAsm = false;
    AsmStyle asmStyle = AsmStyle::Plain;  // setup key asmStyle, the "SMPS2ASM" box
    std::vector<std::string> voiceNames;  // beside `voices`, for the SMPS2ASM listing's comments
};

// A request holding the loaded module's facts, every other field at its default.
ConversionRequest moduleRequest(const XmModule& module);

ConversionRequest buildConversionRequest(const XmModule& module, const SongChoices& choices,
                                         ReadinessLight generalLight, ReadinessLight voiceLight,
                                         const AppOptions& options);

}  // namespace ferro
