#include "player/song_render.hpp"

#include "player/song_player.hpp"
#include "player/vgm_writer.hpp"

namespace ferro {

SongRender renderSongToVgm(std::span<const std::uint8_t> song, const SoundData& sound, const std::string& name,
                           std::uint32_t maxFrames) {
    SongRender out;
    out.notes.push_back(sound.summary());
    out.notes.insert(out.notes.end(), sound.problems.begin(), sound.problems.end());

    PlayerOptions options;
    options.psgEnvelopes = sound.psgEnvelopes;
    const SongScan scan = scanSong(song, options, maxFrames);
    if (scan.error) {
        out.error = scan.error;
        return out;
    }
    std::uint32_t frames = maxFrames;
    if (scan.loop) {
        frames = scan.loop->startFrame + scan.loop->lengthFrames;
        out.loop = scan.loop;
    } else if (scan.ended) {
        frames = scan.frames;
        out.ended = true;
    } else {
        const std::uint64_t samples = std::uint64_t{maxFrames} * kSamplesPerFrame;
        const std::string span = samples % (60 * kVgmSampleRate) == 0
                                     ? std::to_string(samples / (60 * kVgmSampleRate)) + " minutes"
                                     : minutesAndSeconds(samples);
        out.notes.push_back("The song neither ends nor loops within " + span + ": its first " + span + " play");
    }

    SongPlayer player(song, options);
    VgmWriter writer(sound);
    Frame frame;
    while (player.nextFrame() < frames && player.step(frame))
        writer.addFrame(frame, out.loop && frame.index == out.loop->startFrame);
    if (player.error()) {
        out.error = player.error();
        return out;
    }
    out.frames = static_cast<std::uint32_t>(writer.frameCount());
    for (const auto& warning : player.warnings()) out.notes.push_back(warning);
    out.vgm = writer.finish(name, out.ended ? kEndTailSamples : 0);
    if (writer.unplayedRequests() > 0)
        out.notes.push_back(std::to_string(writer.unplayedRequests()) +
                            " DAC requests for samples other than the kick, snare, timpani and SEGA voice play silent");
    if (writer.silentSegaRequests() > 0)
        out.notes.push_back(std::to_string(writer.silentSegaRequests()) +
                            " DAC requests for the SEGA voice play silent: the sound data has no sega.pcm");
    return out;
}

std::string minutesAndSeconds(std::uint64_t samples) {
    const std::uint64_t seconds = samples / 44100;
    const std::uint64_t s = seconds % 60;
    return std::to_string(seconds / 60) + ":" + (s < 10 ? "0" : "") + std::to_string(s);
}

}  // namespace ferro
