#pragma once
// The song setup file of the command line: one JSON object whose keys are the
// choices a user makes in the windows (general and more parametres, the
// song's voices, the output formats). Every key is optional; a missing key
// keeps the value the windows show right after a module's first load, so a
// setup file holds only what differs from that.
//
// Keys, their JSON types and ranges (defaults in brackets):
//   fmChannelCount   integer 0..6, at most 5 while hasDrums          [5]
//   psgChannelCount  integer 0..3                                     [3]
//   useNoise, hasDrums, loopSong                    booleans          [true]
//   endDacWithE4, optimiseOutput, removeRests       booleans          [false]
//   dividingTiming, tempo   integers 1..9                             [3, 2]
//   fm    6 entries, psg 3 entries: XM channel 1..channelCount or null [null]
//   dac   XM channel 1..channelCount or null                          [null]
//   pitch  9 integers -128..127                      [0 x6, -36 x3]
//   volume 10 integers 0..63                         [16 x6, 0 x4]
//   pan    7 integers 0..4 (Default, Centre, Left, Right, Random)     [0]
//   drumsByNote, hihatsByNote   booleans                              [false]
//   corri   256 integers 0..255                      [entry k = k - 1]
//   psgorri 256 integers 0..127                      [0]
//   dorri   256 integers (96 when drumsByNote) 129..223               [129]
//   norri   256 integers (96 when hihatsByNote) 1..2 (1 open, 2 closed) [2]
//   voices  array of voice entries, in song order                     [[]]
//   writeBin, writeAsm  booleans, at least one true                   [true, false]
//   asmStyle  "plain" (dc.b lines) or "smps2asm" (an SMPS2ASM song)   ["plain"]
// A voice entry is {"name": text, "hex": "25 hex bytes like 3A 01 ..."} or
// {"kind": KIND, "file": path, "index": n}: KIND as the command line's voices
// verb names it (raw25, ymx, s1song, ...), the path relative to the setup
// file's folder, and "index" the 0-based position of one voice in that file;
// without "index" every voice of the file is added in order.
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/request_builder.hpp"

namespace ferro {

// Exit code of the command line for a setup file it refuses.
inline constexpr int kSetupErrorExitCode = 2;

struct SongSetupError {
    int exitCode = kSetupErrorExitCode;
    // Names the key ("dorri: ...", "voices[2].index: ...") or, for a voice
    // that cannot be imported, the entry and the import's message.
    std::string message;
};

// The choices of a freshly loaded module with `channelCount` XM channels:
// what the windows show right after the first load, before any click.
SongChoices initialSongChoices(int channelCount);

// Reads a setup file's text. `setupFolder` is the folder that relative voice
// file paths start from; `channelCount` is the loaded module's channel count
// (the range of the channel choices). Never throws. Warnings that the voice
// manager would show (a TFI using SSG-EG, a kind that may not work with every
// song) are appended to `warnings` when it is given.
std::variant<SongChoices, SongSetupError> parseSongSetup(std::string_view json,
                                                         const std::filesystem::path& setupFolder,
                                                         int channelCount,
                                                         std::vector<std::string>* warnings = nullptr);

}  // namespace ferro
