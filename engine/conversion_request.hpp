#pragma once
// Every input of one conversion, gathered once when the conversion starts and
// read-only afterwards. The engine reads nothing else but this record and the
// module's row streams, so it runs the same from the windows, from the
// command line and from the tests.
//
// Who fills it: the song model (song/), from the loaded module's facts and
// the song's choices, for the windows and the command line alike. The
// choices come in as the song keeps them (the records it derives from); the
// defaults are the values a freshly loaded module starts with.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/shared_types.hpp"
#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"
#include "voices/fm_voice.hpp"
#include "xm/xm_parser.hpp"

namespace ferro {

// How <base>.asm is written: raw dc.b lines for the Sonic 1 driver's layout,
// or an SMPS2ASM song (header, command and voice macros) that a disassembly
// includes after its macro file.
enum class AsmStyle : std::uint8_t { Plain, Smps2asm };

struct ConversionRequest : SongSettings, ChannelOutputSettings, InstrumentMaps {
    // ---- Where everything lies.
    // Folder of the loaded module: the outputs (<base>.bin, <base>.asm) are
    // written here.
    std::filesystem::path workingDirectory;

    // ---- Facts of the loaded module.
    int channelCount = 0;   // XM channels, numbered 1..channelCount; at least 1
    int totalRows = 0;      // rows of the whole song (of every channel's row stream); >= 0
    int restartRow = 0;     // song row of the module's restart position (XmModule::restartRow)
    // The module's file name without folder, UTF-8 (e.g. "my song.xm"). The
    // output base name is this less its last three characters.
    std::string fileName;
    // Optional, only used to say where a refused note stands ("order position
    // 2 (pattern 5), row 15"): the module's order table and the effective row
    // count of each pattern (XmModule::orderTable / patternRows). When empty
    // or inconsistent the message names the song row instead.
    std::vector<std::uint8_t> orderTable;
    std::vector<std::int16_t> patternRows;
    // Read only with moduleEffects: the header's speed and BPM and the
    // instruments' default volumes (XmModule::instruments).
    int moduleSpeed = 6;
    int moduleBpm = 125;
    std::vector<XmInstrumentFacts> instruments;

    // ---- General parametres (SongSettings, less "Remove rests", which acts
    // on the row streams before the conversion, so the engine never reads it).
    // XM channel (1..channelCount) feeding each output channel, or none.
    // Indexed like ChannelAssignment: fm[k-1] feeds FM k, psg[k-1] feeds PSG
    // row k. Only fm[0..fmChannelCount-1], psg[0..psgChannelCount-1] and, with
    // drums, dac are used; the others may hold anything (the pan lookup still
    // compares all six FM entries, hidden ones included).
    std::array<std::optional<int>, 6> fm{};
    std::array<std::optional<int>, 3> psg{};  // psg[psgChannelCount-1] is the noise channel when useNoise
    std::optional<int> dac;
    // "Loop song" as it was when the module was last loaded. Only a song
    // loaded to loop has an intro (the rows before the restart row): a change
    // of the choice reaches the intro at the next load. See loopPlan.
    bool loopSongAtLoad = true;

    // ---- More parametres: the pitch, volume and pan slots of
    // ChannelOutputSettings (pitch -256..255 and volume 0..255 can be written,
    // the window offers -128..127 and 0..63) and the instrument maps of
    // InstrumentMaps, byte strings indexed from 1: the value for key k is the
    // unsigned byte at string index k-1 (see mapValue below). A key past the
    // end of a map ends the conversion with the general error.

    // ---- Voice manager: the song's voices in list order (at most $100).
    std::vector<FmVoice> voices;
    // Their names (8-bit text), for the comments of an SMPS2ASM listing; a
    // voice without an entry here is introduced by its number alone.
    std::vector<std::string> voiceNames;

    // ---- Main window and options.
    bool writeBin = true;  // ".bin" checked: write <base>.bin
    bool writeAsm = true;  // ".asm" checked: write <base>.asm (at least one of the two is set)
    AsmStyle asmStyle = AsmStyle::Plain;  // "SMPS2ASM" checked: the .asm is an SMPS2ASM song
};

// The one range of both tempo values, wherever they are checked (the tempo
// byte's range is the driver's, Sonic 1's this one).
inline constexpr int kMinTempo = 1;
inline constexpr int kMaxTempo = 9;

// Whether the engine can work from the request: at least one XM channel,
// 0 <= restartRow <= totalRows, channel counts 0..6 and 0..3, both tempo
// values in range (the tempo in the driver's), an address the driver's songs
// can play from, at least one output. The engine checks this once, when a
// conversion starts; every other layer leaves the ranges to it.
bool requestIsUsable(const ConversionRequest& request);

// How the song loops. `introRows` rows are played once before the main
// section (an intro only exists for a song loaded to loop whose restart
// position is past the first row); `looping` says whether the main sections
// end in a jump back to the loop's start or in a stop.
struct LoopPlan {
    int introRows = 0;
    bool looping = true;
    bool hasIntro() const { return introRows >= 1; }
};
LoopPlan loopPlan(const ConversionRequest& request);

// The value of map key k (1-based), or none when the map has no such key.
inline std::optional<int> mapValue(const std::string& map, int key) {
    if (key < 1 || static_cast<std::size_t>(key) > map.size()) return std::nullopt;
    return static_cast<unsigned char>(map[static_cast<std::size_t>(key) - 1]);
}

}  // namespace ferro
