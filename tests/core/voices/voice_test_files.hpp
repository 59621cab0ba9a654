#pragma once
// Small helpers for the voice tests: a temporary folder and byte building.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ferro::test {

class VoiceTempDir {
public:
    VoiceTempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("ferro-voices-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~VoiceTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    VoiceTempDir(const VoiceTempDir&) = delete;
    VoiceTempDir& operator=(const VoiceTempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const auto file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    std::vector<std::uint8_t> read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path path_;
};

inline void append(std::vector<std::uint8_t>& out, std::initializer_list<int> values) {
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
}
inline void append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
inline void appendFill(std::vector<std::uint8_t>& out, std::size_t count, int value) {
    out.insert(out.end(), count, static_cast<std::uint8_t>(value));
}

}  // namespace ferro::test
