#pragma once
// The song the render verb plays: an XM module converted in memory with a
// setup's choices, or a Sonic 1 song binary as it is.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"

namespace ferro::cli {

struct RenderInput {
    std::optional<Bytes> song;  // empty when it cannot be had
    std::string name;           // for the VGM's tag
    std::string message;        // why not
    int exitCode = 1;
    std::vector<std::string> warnings;
};

RenderInput songForRender(const std::string& input, const std::string& setup, std::optional<std::uint64_t> seed);

}  // namespace ferro::cli
