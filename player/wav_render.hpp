#pragma once
// Plays a VGM file written by the VGM writer through libgme into 44.1 kHz
// 16-bit stereo: the intro, the loop `loops` times, then a 5-second fade; a
// song without a loop plays to the end of its file. Streams in blocks, so the
// memory used does not grow with the length played.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "base/stop_flag.hpp"

namespace ferro {

inline constexpr int kRenderRate = 44100;
inline constexpr int kFadeSeconds = 5;
inline constexpr int kDefaultLoops = 2;

// False when this build leaves the WAV render out (no libgme or libsndfile).
bool wavRenderAvailable();
// The one line said when it is.
inline constexpr const char* kNoWavRender = "This build of Ferrocanto cannot render WAV files (no libgme)";

// What a render plays of a VGM, in stereo frames (samples per channel):
// `length` in all, fading out from `fadeStart` to the end (no fade when it is
// `length`).
struct RenderSpan {
    std::uint64_t length = 0;
    std::uint64_t fadeStart = 0;
    bool operator==(const RenderSpan&) const = default;
};
// The span of a VGM as the VGM writer writes it: the intro, the loop `loops`
// times and a 5-second fade; a VGM without a loop to its end.
RenderSpan renderSpan(std::span<const std::uint8_t> vgm, int loops);

// Stereo frames (samples per channel) the render of a VGM gives.
std::uint64_t renderedLength(std::span<const std::uint8_t> vgm, int loops);

// Interleaved left/right samples, handed over in blocks. Return false to stop.
using PcmSink = std::function<bool(std::span<const std::int16_t> interleaved)>;
// Fraction done, 0..1.
using RenderProgress = std::function<void(double)>;

// Renders the VGM, block by block, into `sink`. Returns an error message, or
// nothing when done (or stopped by the sink); kStopped once `stop` is set.
std::optional<std::string> renderVgm(std::span<const std::uint8_t> vgm, int loops, const PcmSink& sink,
                                     const RenderProgress& progress = {});
// The same for a given span of the VGM.
std::optional<std::string> renderVgm(std::span<const std::uint8_t> vgm, const RenderSpan& span, const PcmSink& sink,
                                     const RenderProgress& progress = {}, const StopFlag* stop = nullptr);

// Renders into a WAV file. The sound goes to a new file beside `out`, which
// takes its name only once whole: a render that fails or is stopped leaves
// no file behind and a file that was there as it was.
std::optional<std::string> renderVgmToWav(std::span<const std::uint8_t> vgm, int loops,
                                          const std::filesystem::path& out, const RenderProgress& progress = {});
std::optional<std::string> renderVgmToWav(std::span<const std::uint8_t> vgm, const RenderSpan& span,
                                          const std::filesystem::path& out, const RenderProgress& progress = {},
                                          const StopFlag* stop = nullptr);

}  // namespace ferro
