#pragma once
// The song the render verb plays: an XM module converted in memory with a
// setup's choices, or a song binary as it is: for Sonic 2 the bytes for a Z80
// address, or a Saxman stream the driver unpacks to its music buffer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/shared_types.hpp"
#include "player/chip_events.hpp"

namespace ferro::cli {

struct RenderInput {
    std::optional<Bytes> song;  // empty when it cannot be had
    std::string name;           // for the VGM's tag
    SongPlacement placement;    // the driver, and where a Sonic 2 song lies
    std::string message;        // why not
    int exitCode = 1;
    std::vector<std::string> warnings;
};

RenderInput songForRender(const std::string& input, const std::string& setup, std::optional<std::uint64_t> seed,
                          std::optional<SoundDriver> driver = {}, std::optional<std::uint16_t> address = {});

}  // namespace ferro::cli
