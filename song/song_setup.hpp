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
//   moduleEffects    boolean: play the module's volumes and effects; written
//                    only when true                                   [false]
//   driver   "sonic1" or "sonic2": the driver the song is for      ["sonic1"]
//   z80Address  hexadecimal text, "1380" or "8000".."FFFF" (a number
//               is read too): where a Sonic 2 song plays from       ["1380"]
//   dividingTiming  integer 1..9                                      [3]
//   tempo    integer 1..9 for Sonic 1, the driver's tempo byte 1..255 for
//            Sonic 2                            [2, for Sonic 2 its $80]
//   fm    6 entries, psg 3 entries: XM channel 1..channelCount or null [null]
//   dac   XM channel 1..channelCount or null                          [null]
//   pitch  9 integers -128..127                      [0 x6, -36 x3]
//   volume 10 integers 0..63                         [16 x6, 0 x4]
//   pan    7 integers 0..4 (Default, Centre, Left, Right, Random)     [0]
//   loopSongAtLoad   boolean: "Loop song" when the module was loaded; only a
//                    song loaded to loop has an intro before its restart row
//                                                                     [loopSong]
//   drumsByNote, hihatsByNote   booleans                              [false]
//   The four instrument maps, each as an object keyed by instrument number
//   (1..256; note number 1..96 for the drum and hi-hat maps keyed by note)
//   holding only the entries that differ from the default, e.g.
//   "instrumentVoices": {"1": 4, "17": 3}:
//   instrumentVoices        FM voice 0..255              [instrument k: k - 1]
//   instrumentPsgEnvelopes  PSG envelope 0..127                       [0]
//   drumSamples             DAC sample 129..223                       [129]
//   hihatKinds              1 open, 2 closed                          [2]
//   or, as older files write them, as whole arrays: corri (256 entries),
//   psgorri (256), dorri (256, or 96 when drumsByNote), norri (256, or 96
//   when hihatsByNote); a map given both ways is refused.
//   voices  array of voice entries, in song order                     [[]]
//   writeBin, writeAsm  booleans, at least one true                   [true, false]
//   asmStyle  "plain" (dc.b lines) or "smps2asm" (an SMPS2ASM song)   ["plain"]
// A voice entry is {"name": text, "hex": "25 hex bytes like 3A 01 ..."} or
// {"kind": KIND, "file": path, "index": n}: KIND as the command line's voices
// verb names it (raw25, ymx, s1song, ...), the path relative to the setup
// file's folder, and "index" the 0-based position of one voice in that file;
// without "index" every voice of the file is added in order.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "song/song_choices.hpp"
#include "song/song_model.hpp"

namespace ferro {

// Exit code of the command line for a setup file it refuses.
inline constexpr int kSetupErrorExitCode = 2;

struct SongSetupError {
    int exitCode = kSetupErrorExitCode;
    // Names the key ("dorri: ...", "voices[2].index: ...") or, for a voice
    // that cannot be imported, the entry and the import's message.
    std::string message;
};

// Reads a setup file's text. `setupFolder` is the folder that relative voice
// file paths start from; `channelCount` is the loaded module's channel count
// (the range of the channel choices). Never throws. Warnings that the voice
// manager would show (a TFI using SSG-EG, a kind that may not work with every
// song) are appended to `warnings` when it is given.
std::variant<SongChoices, SongSetupError> parseSongSetup(std::string_view json,
                                                         const std::filesystem::path& setupFolder,
                                                         int channelCount,
                                                         std::vector<std::string>* warnings = nullptr);

// Every choice as a setup file that parseSongSetup reads back to the same
// choices: the maps in their readable form, the voices as name and hex, so
// the file stands alone. One key a line, one voice a line.
std::string writeSongSetup(const SongChoices& choices);

// Reads the setup file `file` for a module of `channelCount` channels; a file
// that cannot be read gives the message kSetupFileUnreadable.
inline constexpr const char* kSetupFileUnreadable = "cannot be read";
std::variant<SongChoices, SongSetupError> readSongSetupFile(const std::filesystem::path& file, int channelCount,
                                                            std::vector<std::string>* warnings = nullptr);

// What `convert` and `render` do first: the module's bytes, read from
// `modulePath`, loaded into `model` in memory (nothing is written beside it),
// with the choices of the setup file `setupName` (as the user named it; none
// when empty). A module that cannot be loaded fails with exit code 1 and the
// load's message; a setup file that cannot be used with kSetupErrorExitCode
// and a message that starts with its name. The module's header is judged
// before the setup file, the rest of the module after it.
std::optional<SongSetupError> loadSongWithSetup(SongModel& model, const Bytes& module,
                                                const std::filesystem::path& modulePath, const std::string& setupName,
                                                std::vector<std::string>* warnings);

// Reads the setup file `file` for the loaded module of `model` and, when it
// can be used, applies it to the model. When it can't, the error's message
// names the key (as the command line prints it after the file's name) and
// the model is left as it was.
std::optional<SongSetupError> openSongSetup(SongModel& model, const std::filesystem::path& file,
                                            std::vector<std::string>* warnings = nullptr);

// Writes the song's choices to `file`; an earlier file there stays whole
// when the write fails. False when it can't be written.
bool saveSongSetup(const SongModel& model, const std::filesystem::path& file);

}  // namespace ferro
