#pragma once
// From a song's bytes to a VGM file: the player run once to learn where the
// song loops or ends, then again into the VGM writer, the intro and one pass
// of the loop (a song that ends: to its end and a second of its release).
//
// The loop is where the driver's whole state comes back (SongPlayer::loop):
// played again, it is what the driver plays next, write for write. Where the
// state does not come back within the look-ahead, the VGM holds the intro and
// two passes of the longest track's loop and loops the second, which the game
// would not repeat as it is; the render says so.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/stop_flag.hpp"
#include "player/chip_events.hpp"
#include "player/sound_data.hpp"
#include "player/wav_render.hpp"

namespace ferro {

// A song that neither loops nor ends is played this long (10 minutes), and
// its repeat is looked for this far.
inline constexpr std::uint32_t kMaxRenderFrames = kLoopSearchFrames;
inline constexpr std::uint32_t kEndTailSamples = 44100;

// How the note on a VGM loop that is not the game's starts: "the song's
// state does not repeat within 10 minutes; from 1:52 the VGM repeats a pass
// where the game would go on".
inline constexpr const char* kNoRepeatNoteStart = "the song's state does not repeat within ";

struct SongRender {
    Bytes vgm;                          // empty when refused
    std::optional<std::string> error;   // why the player refused the song
    // What the render used and what it could not play, one line each; the
    // first says which sound data played.
    std::vector<std::string> notes;
    std::uint32_t frames = 0;
    // The loop: the VGM's, or, in what renderSongToHear gives, the stretch
    // played `loops` times.
    std::optional<SongLoop> loop;
    // The loop is where the driver's whole state comes back: played again,
    // it is the driver going on.
    bool stateRepeats = false;
    bool ended = false;
};

// A song that neither loops nor ends within `maxFrames` plays that long; the
// loop is looked for over as many frames. Once `stop` is set the render
// gives up with the error kStopped. `placement` says which driver plays the
// song (the sound data should be that driver's) and, for Sonic 2, from
// which Z80 address.
SongRender renderSongToVgm(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
                           std::uint32_t maxFrames = kMaxRenderFrames, const StopFlag* stop = nullptr,
                           const SongPlacement& placement = {});

// What a WAV render and the program's Play hear: the driver straight on for
// the intro, the loop `loops` times and the 5-second fade, never a pass
// played again where the game would go on. Where the state repeats (or the
// song ends, or neither loops nor ends) the VGM is renderSongToVgm's; where
// it does not, the VGM holds the song straight on, the loop then being the
// longest track's.
struct SongHearing {
    SongRender render;
    RenderSpan span;  // what to play of render.vgm
};
SongHearing renderSongToHear(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
                             int loops, std::uint32_t maxFrames = kMaxRenderFrames, const StopFlag* stop = nullptr,
                             const SongPlacement& placement = {});

// "1:40" for a count of 44.1 kHz samples (whole seconds, rounded down).
std::string minutesAndSeconds(std::uint64_t samples);

}  // namespace ferro
