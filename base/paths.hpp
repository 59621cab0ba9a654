#pragma once
// File names travel through the program as UTF-8 std::string; these turn
// them into paths and back the same way on every platform.
#include <filesystem>
#include <string>

namespace ferro {

inline std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

}  // namespace ferro
