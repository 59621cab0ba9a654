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

#include "support/temp_dir.hpp"

namespace ferro::test {

using VoiceTempDir = TempDir;

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
