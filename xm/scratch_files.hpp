#pragma once
// The scratch files the windows keep for a loaded module in a folder of their
// own (never the module's: the music folder holds only what the composer
// asked for), written from the parsed module, and their removal; `info
// --keep-scratch` writes them beside the module. Only these names are ever
// deleted.
//   P<p>C<n>.tmp  channel n's rows of stored pattern p (p from 0, n from 1)
//   C<n>.tmp      channel n's row stream over the whole song
//   voices.tmp    the song's voice table, written by each conversion in the windows
// The first two hold 5-byte cells (note, instrument, volume, effect,
// parameter). The windows' "Remove rests" edits the drum channel's C<n>.tmp
// in place, once per load.
#include <filesystem>
#include <string>
#include <variant>

#include "xm/xm_reader.hpp"

namespace ferro {

std::string patternChannelFileName(int pattern, int channel);  // P<p>C<n>.tmp
std::string rowStreamFileName(int channel);                     // C<n>.tmp
inline constexpr const char* kVoicesFileName = "voices.tmp";

// True for exactly the names above and BATMAN<n>.tmp and LOL<n>.tmp, the
// working files earlier versions wrote while converting (numbers in plain
// decimal without leading zeros, any letter case).
bool isScratchFileName(const std::string& name);

// Deletes every scratch file in `directory` and nothing else. A file that
// cannot be deleted is skipped; returns false if any could not be.
bool deleteScratchFiles(const std::filesystem::path& directory);

// Writes the pattern channel files of every stored pattern, then the row
// streams, into `directory`. False when a file cannot be written.
bool writeScratchFiles(const std::filesystem::path& directory, const XmModule& module);

// "Remove rests" on the scratch files: every key-off (97) of C<channel>.tmp in
// `directory` becomes "no note" (0), in place; a trailing partial row is left
// alone. False when the file cannot be read or written.
bool removeRowStreamKeyOffs(const std::filesystem::path& directory, int channel);

// A load that keeps the scratch files beside the module: clears the folder's
// scratch files, reads and parses directory/fileName and writes its scratch
// files into the same folder. On a failure no
// scratch file is left, and `problem` (when given) says what went wrong where
// as readXmModule says it.
std::variant<XmModule, XmError> loadXmModule(const std::filesystem::path& directory, const std::string& fileName,
                                             std::string* problem = nullptr);

// The scratch files of one folder over a session of the windows: cleared
// before each load, deleted when a load fails, on unload and when the folder
// object goes (the program's exit). Never copied. The folder is the caller's
// to choose and make: the windows pass one in the user's cache folder.
class ScratchFolder {
public:
    explicit ScratchFolder(std::filesystem::path directory) : directory_(std::move(directory)) {}
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    // Reads directory/fileName, writing its scratch files beside it.
    std::variant<XmModule, XmError> load(const std::string& fileName, std::string* problem = nullptr);
    // The scratch files of a module read from anywhere: the folder's are
    // cleared, then the module's written; on a failure none is left.
    bool write(const XmModule& module);
    // Deletes the folder's scratch files (unload, reload, exit).
    void clear();

private:
    std::filesystem::path directory_;
};

}  // namespace ferro
