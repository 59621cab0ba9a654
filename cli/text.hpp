#pragma once
// Text helpers for the command line's JSON output.
#include <filesystem>
#include <string>

#include "base/latin1.hpp"
#include "base/paths.hpp"

namespace ferro::cli {

// A fixed-width name field as a tracker shows it: up to its first NUL, without
// the spaces that pad it, so that scripts can compare names.
inline std::string trimmedName(const std::string& raw) {
    std::string name = raw.substr(0, raw.find('\0'));
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

// A module named on the command line: its absolute path, its folder (where
// the scratch files and outputs go) and its bare name.
struct ModulePath {
    std::filesystem::path path;
    std::filesystem::path directory;
    std::string fileName;
};
inline ModulePath modulePath(const std::string& argument) {
    const std::filesystem::path path = std::filesystem::absolute(pathFromUtf8(argument));
    return {path, path.parent_path(), utf8FromPath(path.filename())};
}

}  // namespace ferro::cli
