#include "player/song_render.hpp"

#include <algorithm>

#include "player/song_player.hpp"
#include "player/vgm_writer.hpp"

namespace ferro {

namespace {

// 5 seconds: 300 frames of 735 samples.
constexpr std::uint32_t kFadeFrames =
    static_cast<std::uint32_t>(static_cast<std::uint64_t>(kFadeSeconds) * kRenderRate / kSamplesPerFrame);

// "10 minutes", or "0:02" for a span of frames that is no whole minute.
std::string spanText(std::uint32_t frames) {
    const std::uint64_t samples = std::uint64_t{frames} * kSamplesPerFrame;
    return samples % (60 * kVgmSampleRate) == 0 ? std::to_string(samples / (60 * kVgmSampleRate)) + " minutes"
                                                : minutesAndSeconds(samples);
}

// How the song runs, from one scan: the frames to write and where the VGM
// loops.
struct RenderPlan {
    SongScan scan;
    std::uint32_t frames = 0;
    std::optional<SongLoop> vgmLoop;
};

RenderPlan planRender(std::span<const std::uint8_t> song, const PlayerOptions& options, std::uint32_t maxFrames,
                      const StopFlag* stop, SongRender& out) {
    RenderPlan plan;
    plan.scan = scanSong(song, options, maxFrames, stop);
    const SongScan& scan = plan.scan;
    if (scan.error) {
        out.error = scan.error;
        return plan;
    }
    plan.frames = maxFrames;
    if (scan.loop) {
        plan.vgmLoop = scan.loop;
        out.stateRepeats = true;
    } else if (scan.ended) {
        plan.frames = scan.frames;
        out.ended = true;
    } else if (scan.trackLoop) {
        // The intro and two passes, the second looped: the VGM jumps back
        // where the second ends.
        const SongLoop& t = *scan.trackLoop;
        plan.vgmLoop = SongLoop{t.startFrame + t.lengthFrames, t.lengthFrames};
    } else {
        const std::string span = spanText(maxFrames);
        out.notes.push_back("The song neither ends nor loops within " + span + ": its first " + span + " play");
    }
    if (plan.vgmLoop) plan.frames = plan.vgmLoop->startFrame + plan.vgmLoop->lengthFrames;
    return plan;
}

// Plays the song's first `frames` frames into the VGM writer, the loop's
// first frame marked, and gives what the render says about them.
void writeVgm(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
              const PlayerOptions& options, std::uint32_t frames, std::optional<std::uint32_t> loopStart,
              const StopFlag* stop, SongRender& out) {
    PlayerOptions playing = options;
    playing.loopSearchFrames = 0;
    SongPlayer player(song, playing);
    VgmWriter writer(sound);
    Frame frame;
    while (player.nextFrame() < frames && !stopRequested(stop) && player.step(frame))
        writer.addFrame(frame, frame.index == loopStart);
    if (stopRequested(stop)) out.error = kStopped;
    if (player.error()) out.error = player.error();
    if (out.error) return;
    out.frames = static_cast<std::uint32_t>(writer.frameCount());
    for (const auto& warning : player.warnings()) out.notes.push_back(warning);
    out.vgm = writer.finish(name, out.ended ? kEndTailSamples : 0);
    if (writer.unplayedRequests() > 0)
        out.notes.push_back(std::to_string(writer.unplayedRequests()) +
                            " DAC requests for samples other than the kick, snare, timpani and SEGA voice play silent");
    if (writer.silentSegaRequests() > 0)
        out.notes.push_back(std::to_string(writer.silentSegaRequests()) +
                            " DAC requests for the SEGA voice play silent: the sound data has no sega.pcm");
}

SongRender startRender(const SoundData& sound) {
    SongRender out;
    out.notes.push_back(sound.summary());
    out.notes.insert(out.notes.end(), sound.problems.begin(), sound.problems.end());
    return out;
}

PlayerOptions optionsFor(const SoundData& sound, const SongPlacement& placement) {
    PlayerOptions options;
    options.placement = placement;
    if (sound.driver != placement.driver) return options;
    options.psgEnvelopes = sound.psgEnvelopes;
    if (sound.driver == SoundDriver::Sonic2) {
        for (const DacSample& drum : sound.drums) options.dacSampleWrites.push_back(static_cast<std::uint32_t>(drum.pcm.size()));
        options.dacRates.assign(sound.sonic2Rates.begin(), sound.sonic2Rates.end());
    }
    return options;
}

}  // namespace

SongRender renderSongToVgm(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
                           std::uint32_t maxFrames, const StopFlag* stop, const SongPlacement& placement) {
    SongRender out = startRender(sound);
    const PlayerOptions options = optionsFor(sound, placement);
    const RenderPlan plan = planRender(song, options, maxFrames, stop, out);
    if (out.error) return out;
    if (plan.vgmLoop && !out.stateRepeats) {
        out.notes.push_back(kNoRepeatNoteStart + spanText(maxFrames) + "; from " +
                            minutesAndSeconds(std::uint64_t{plan.frames} * kSamplesPerFrame) +
                            " the VGM repeats a pass where the game would go on");
    }
    out.loop = plan.vgmLoop;
    writeVgm(song, sound, name, options, plan.frames,
             plan.vgmLoop ? std::optional(plan.vgmLoop->startFrame) : std::nullopt, stop, out);
    return out;
}

SongHearing renderSongToHear(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
                             int loops, std::uint32_t maxFrames, const StopFlag* stop,
                             const SongPlacement& placement) {
    SongHearing hearing;
    SongRender& out = hearing.render;
    out = startRender(sound);
    const PlayerOptions options = optionsFor(sound, placement);
    const RenderPlan plan = planRender(song, options, maxFrames, stop, out);
    if (out.error) return hearing;
    if (!plan.vgmLoop || out.stateRepeats) {
        // Played again, the VGM's loop is what the driver plays next.
        out.loop = plan.vgmLoop;
        writeVgm(song, sound, name, options, plan.frames,
                 plan.vgmLoop ? std::optional(plan.vgmLoop->startFrame) : std::nullopt, stop, out);
        if (!out.error) hearing.span = renderSpan(out.vgm, loops);
        return hearing;
    }
    // The song straight on: the intro, the longest track's loop `loops`
    // times, and the fade over what follows.
    const SongLoop& t = *plan.scan.trackLoop;
    out.loop = t;
    const std::uint32_t fadeFrame = t.startFrame + static_cast<std::uint32_t>(std::max(loops, 1)) * t.lengthFrames;
    writeVgm(song, sound, name, options, fadeFrame + kFadeFrames, std::nullopt, stop, out);
    if (!out.error) {
        hearing.span.fadeStart = std::uint64_t{fadeFrame} * kSamplesPerFrame;
        hearing.span.length = std::uint64_t{out.frames} * kSamplesPerFrame;
    }
    return hearing;
}

std::string minutesAndSeconds(std::uint64_t samples) {
    const std::uint64_t seconds = samples / 44100;
    const std::uint64_t s = seconds % 60;
    return std::to_string(seconds / 60) + ":" + (s < 10 ? "0" : "") + std::to_string(s);
}

}  // namespace ferro
