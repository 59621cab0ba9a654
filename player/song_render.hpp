#pragma once
// From a song's bytes to a VGM file: the player run once to learn where the
// song loops or ends, then again into the VGM writer, the intro and one pass
// of the loop (a song that ends: to its end and a second of its release).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "player/chip_events.hpp"
#include "player/sound_data.hpp"

namespace ferro {

// A song that neither loops nor ends is played this long (10 minutes).
inline constexpr std::uint32_t kMaxRenderFrames = 36000;
inline constexpr std::uint32_t kEndTailSamples = 44100;

struct SongRender {
    Bytes vgm;                          // empty when refused
    std::optional<std::string> error;   // why the player refused the song
    // What the render used and what it could not play, one line each; the
    // first says which sound data played.
    std::vector<std::string> notes;
    std::uint32_t frames = 0;
    std::optional<SongLoop> loop;
    bool ended = false;
};

// A song that neither loops nor ends within `maxFrames` plays that long.
SongRender renderSongToVgm(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
                           std::uint32_t maxFrames = kMaxRenderFrames);

// "1:40" for a count of 44.1 kHz samples (whole seconds, rounded down).
std::string minutesAndSeconds(std::uint64_t samples);

}  // namespace ferro
