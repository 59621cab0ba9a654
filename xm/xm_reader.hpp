#pragma once
// Reads a module file and hands its bytes to the parser (xm_parser.hpp). The
// windows write the scratch files of a module read here with ScratchFolder
// (scratch_files.hpp).
#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "base/byte_reader.hpp"
#include "xm/xm_parser.hpp"

namespace ferro {

// The functions below that can fail fill `problem` (when given) with the line
// the user reads under the failure's message: the file's name and what is
// wrong where, "song.xm: pattern 3's data runs to offset 1400, but the file
// ends at offset 1200".

// A module's bytes: InvalidXm when `file` is not a regular file, ReadError
// when it cannot be read (or is past any size a module can sensibly have).
std::variant<Bytes, XmError> readXmFile(const std::filesystem::path& file, std::string* problem = nullptr);

std::variant<XmHeader, XmError> readXmHeader(const std::filesystem::path& file, std::string* problem = nullptr);

// Reads and parses directory/fileName (a UTF-8 file name), writing nothing.
// The module remembers where it came from.
std::variant<XmModule, XmError> readXmModule(const std::filesystem::path& directory, const std::string& fileName,
                                             std::string* problem = nullptr);

// The failure as the user reads it: the message, then the problem's line
// when there is one.
std::string xmFailureText(XmError error, const std::string& problem);

// The song's title, as the VGM's tag gives it wherever the song is played:
// the module's own name without the padding a tracker adds (Latin-1 text,
// returned as UTF-8), else the file's name without its extension.
std::string songTitle(const XmModule& module);

// The loaded module's warning with the file's name in front, "song.xm:
// instruments 11 to 19 are missing: ..."; empty when it has none.
std::string xmWarningText(const XmModule& module);

}  // namespace ferro
