#pragma once
// Reads a module file and hands its bytes to the parser (xm_parser.hpp). The
// windows' load, which also writes the scratch files, is ScratchFolder::load
// (scratch_files.hpp).
#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "base/byte_reader.hpp"
#include "xm/xm_parser.hpp"

namespace ferro {

// A module's bytes: InvalidXm when `file` is not a regular file, ReadError
// when it cannot be read (or is past any size a module can sensibly have).
std::variant<Bytes, XmError> readXmFile(const std::filesystem::path& file);

std::variant<XmHeader, XmError> readXmHeader(const std::filesystem::path& file);

// Reads and parses directory/fileName (a UTF-8 file name), writing nothing.
// The module remembers where it came from. For a module cut short, `problem`
// (when given) receives the file's name and what is wrong where.
std::variant<XmModule, XmError> readXmModule(const std::filesystem::path& directory, const std::string& fileName,
                                             std::string* problem = nullptr);

}  // namespace ferro
