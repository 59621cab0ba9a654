#include "player/wav_render.hpp"

#include <algorithm>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"

#ifdef FERRO_WAV_RENDER
#include <gme/gme.h>
#ifdef _WIN32
// sf_wchar_open, so that file names outside the ANSI code page can be written.
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>
#endif

namespace ferro {

namespace {

struct VgmLengths {
    std::uint64_t total = 0;  // samples of the whole file
    std::uint64_t loop = 0;   // samples of the loop, 0 without one
};

VgmLengths vgmLengths(std::span<const std::uint8_t> vgm) {
    ByteReader r(vgm);
    VgmLengths out;
    if (!r.seek(0x18)) return out;
    const auto total = r.u32le();
    const auto loopOffset = r.u32le();
    const auto loopSamples = r.u32le();
    if (!total || !loopOffset || !loopSamples) return out;
    out.total = *total;
    if (*loopOffset != 0 && *loopSamples != 0 && *loopSamples <= *total) out.loop = *loopSamples;
    return out;
}

}  // namespace

RenderSpan renderSpan(std::span<const std::uint8_t> vgm, int loops) {
    const VgmLengths l = vgmLengths(vgm);
    if (l.loop == 0) return {l.total, l.total};
    const std::uint64_t intro = l.total - l.loop;
    const std::uint64_t fadeStart = intro + static_cast<std::uint64_t>(std::max(loops, 1)) * l.loop;
    return {fadeStart + static_cast<std::uint64_t>(kFadeSeconds) * kRenderRate, fadeStart};
}

std::uint64_t renderedLength(std::span<const std::uint8_t> vgm, int loops) { return renderSpan(vgm, loops).length; }

std::optional<std::string> renderVgm(std::span<const std::uint8_t> vgm, int loops, const PcmSink& sink,
                                     const RenderProgress& progress) {
    return renderVgm(vgm, renderSpan(vgm, loops), sink, progress);
}

std::optional<std::string> renderVgmToWav(std::span<const std::uint8_t> vgm, int loops,
                                          const std::filesystem::path& out, const RenderProgress& progress) {
    return renderVgmToWav(vgm, renderSpan(vgm, loops), out, progress);
}

#ifdef FERRO_WAV_RENDER

bool wavRenderAvailable() { return true; }

std::optional<std::string> renderVgm(std::span<const std::uint8_t> vgm, const RenderSpan& span, const PcmSink& sink,
                                     const RenderProgress& progress, const StopFlag* stop) {
    const VgmLengths l = vgmLengths(vgm);
    if (l.total == 0 || span.length == 0) return "The VGM has no length";
    const std::uint64_t length = span.length;
    const std::uint64_t fadeStart = std::min(span.fadeStart, length);

    Music_Emu* emu = nullptr;
    if (gme_err_t err = gme_open_data(vgm.data(), static_cast<long>(vgm.size()), &emu, kRenderRate))
        return std::string("libgme cannot play the VGM: ") + err;
    struct Closer {
        Music_Emu* emu;
        ~Closer() { gme_delete(emu); }
    } closer{emu};
    // The length is ours to decide: no stop at the file's own length, none at
    // a quiet passage.
    gme_set_autoload_playback_limit(emu, 0);
    gme_ignore_silence(emu, 1);
    if (gme_err_t err = gme_start_track(emu, 0)) return std::string("libgme cannot play the VGM: ") + err;

    constexpr std::uint64_t kBlock = 4096;
    std::vector<std::int16_t> buffer(kBlock * 2);
    for (std::uint64_t done = 0; done < length;) {
        if (stopRequested(stop)) return kStopped;
        const std::uint64_t n = std::min(kBlock, length - done);
        const auto values = static_cast<std::size_t>(n * 2);
        if (gme_track_ended(emu)) {
            std::fill_n(buffer.begin(), values, std::int16_t{0});
        } else if (gme_err_t err = gme_play(emu, static_cast<int>(values), buffer.data())) {
            return std::string("libgme failed: ") + err;
        }
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint64_t at = done + i;
            if (at < fadeStart) continue;
            const double gain = static_cast<double>(length - at) / static_cast<double>(length - fadeStart);
            for (int c = 0; c < 2; ++c) {
                auto& v = buffer[static_cast<std::size_t>(i * 2 + static_cast<std::uint64_t>(c))];
                v = static_cast<std::int16_t>(static_cast<double>(v) * gain * gain);
            }
        }
        if (!sink(std::span<const std::int16_t>(buffer.data(), values))) return std::nullopt;
        done += n;
        if (progress) progress(static_cast<double>(done) / static_cast<double>(length));
    }
    return std::nullopt;
}

std::optional<std::string> renderVgmToWav(std::span<const std::uint8_t> vgm, const RenderSpan& span,
                                          const std::filesystem::path& out, const RenderProgress& progress,
                                          const StopFlag* stop) {
    const std::filesystem::path partial = newFileBeside(out);
    if (partial.empty()) return "Cannot write " + utf8FromPath(out);
    SF_INFO info{};
    info.samplerate = kRenderRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
#ifdef _WIN32
    SNDFILE* file = sf_wchar_open(partial.c_str(), SFM_WRITE, &info);
#else
    SNDFILE* file = sf_open(partial.c_str(), SFM_WRITE, &info);
#endif
    if (!file) return "Cannot write " + utf8FromPath(out) + ": " + sf_strerror(nullptr);
    bool writeFailed = false;
    auto error = renderVgm(
        vgm, span,
        [&](std::span<const std::int16_t> pcm) {
            const auto frames = static_cast<sf_count_t>(pcm.size() / 2);
            if (sf_writef_short(file, pcm.data(), frames) != frames) writeFailed = true;
            return !writeFailed;
        },
        progress, stop);
    if (sf_close(file) != 0) writeFailed = true;
    if (!error && writeFailed) error = "Cannot write " + utf8FromPath(out);
    std::error_code ec;
    if (!error) std::filesystem::rename(partial, out, ec);
    if (!error && ec) error = "Cannot write " + utf8FromPath(out);
    if (error) std::filesystem::remove(partial, ec);
    return error;
}

#else

bool wavRenderAvailable() { return false; }

std::optional<std::string> renderVgm(std::span<const std::uint8_t>, const RenderSpan&, const PcmSink&,
                                     const RenderProgress&, const StopFlag*) {
    return kNoWavRender;
}

std::optional<std::string> renderVgmToWav(std::span<const std::uint8_t>, const RenderSpan&,
                                          const std::filesystem::path&, const RenderProgress&, const StopFlag*) {
    return kNoWavRender;
}

#endif

}  // namespace ferro
