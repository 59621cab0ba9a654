// The song player on hostile songs. The first byte chooses whether PSG
// envelopes are at hand, whether the sound data holds a SEGA voice, and
// whether the song is Sonic 2's (in the music buffer or the bank window);
// the rest is the song. Whatever the bytes, playback either goes on, ends, or
// stops with a message, never reading outside the song; a copy of the player
// plays on exactly as the original. The song's render into a VGM, bounded in
// frames, reads back as the player's writes, with its length and loop where
// the player says; where the loop is the driver's state coming back, the VGM
// played on through its loop is, write for write (the DAC's included), the
// song stepped straight on.
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.hpp"
#include "player/song_player.hpp"
#include "player/song_render.hpp"
#include "player/vgm_writer.hpp"
#include "tests/core/player/vgm_read.hpp"

using namespace ferro;

namespace {

constexpr std::uint32_t kFrames = 400;
constexpr std::uint32_t kCopyAt = 150;
constexpr std::uint32_t kRenderFrames = 300;
constexpr int kLoopPasses = 2;

PlayerOptions optionsFor(std::uint8_t choice) {
    PlayerOptions options;
    if (choice & 0x10) options.placement = {SoundDriver::Sonic2, choice & 0x20 ? std::uint16_t{0x8000} : kSonic2MusicBuffer, {}};
    if (choice & 1) {
        for (std::size_t n = 0; n < options.psgEnvelopes.size(); ++n) {
            Bytes envelope;
            for (std::size_t k = 0; k < 3 + n * 2; ++k) envelope.push_back(static_cast<std::uint8_t>((k + n) % 16));
            if (!(choice & 2)) envelope.push_back(0x80);  // without the hold an envelope runs out
            options.psgEnvelopes[n] = envelope;
        }
    }
    options.emitReset = choice & 4;
    return options;
}

// Built-in drums, the chosen envelopes and, when asked, a made-up SEGA
// voice of the right size standing in for the folder's.
SoundData soundFor(std::uint8_t choice, const PlayerOptions& options) {
    static const SoundData builtIn = builtInSoundData();
    static const SoundData sonic2 = builtInSoundData(SoundDriver::Sonic2);
    static const SoundData withSega = [] {
        SoundData sound = builtInSoundData();
        sound.sega.pcm.resize(kSegaPcmSize);
        for (std::size_t i = 0; i < kSegaPcmSize; ++i) sound.sega.pcm[i] = static_cast<std::uint8_t>(i * 5);
        sound.sega.fromFolder = true;
        return sound;
    }();
    SoundData sound = choice & 0x10 ? sonic2 : choice & 8 ? withSega : builtIn;
    sound.psgEnvelopes = options.psgEnvelopes;
    return sound;
}

using test::VgmWrite;

// The YM2612 and PSG writes a VGM player sends, without the DAC's own (its
// data and enables, which follow from the requests).
std::vector<VgmWrite> chipWrites(const std::vector<VgmWrite>& writes) {
    std::vector<VgmWrite> out;
    for (const VgmWrite& w : writes) {
        const bool dac = w.chip == VgmWrite::Chip::Ym0 && (w.reg == 0x2A || (w.reg == 0x2B && w.value == 0x80));
        if (!dac) out.push_back(w);
    }
    return out;
}

std::vector<VgmWrite> playerWrites(std::span<const std::uint8_t> song, const PlayerOptions& options,
                                   std::uint32_t frames) {
    return chipWrites(test::playerVgmWrites(song, options, frames));
}

// The song stepped straight on for `frames` frames into a VGM without a loop.
Bytes straightVgm(std::span<const std::uint8_t> song, const SoundData& sound, PlayerOptions options,
                  std::uint32_t frames) {
    options.emitReset = true;
    options.loopSearchFrames = 0;
    SongPlayer player(song, options);
    VgmWriter writer(sound);
    Frame frame;
    while (player.nextFrame() < frames && player.step(frame)) writer.addFrame(frame);
    FERRO_FUZZ_CHECK(!player.error());
    return writer.finish("fuzz");
}

void checkRender(std::span<const std::uint8_t> song, std::uint8_t choice, PlayerOptions options) {
    const SoundData sound = soundFor(choice, options);
    const SongRender render = renderSongToVgm(song, sound, "fuzz", kRenderFrames, nullptr, options.placement);
    FERRO_FUZZ_CHECK(!render.notes.empty() && render.notes.front() == sound.summary());
    if (render.error) {
        FERRO_FUZZ_CHECK(render.vgm.empty());
        return;
    }
    // Without a repeat, the intro and two passes of a loop found within the
    // frames looked at.
    FERRO_FUZZ_CHECK(render.frames > 0 && render.frames <= (render.loop && !render.stateRepeats ? 2 : 1) * kRenderFrames);
    FERRO_FUZZ_CHECK(!(render.ended && render.loop));
    FERRO_FUZZ_CHECK(!render.stateRepeats || render.loop);
    const test::VgmRead r = test::readVgm(render.vgm);
    FERRO_FUZZ_CHECK(r.error.empty());
    FERRO_FUZZ_CHECK(r.dacReadsPastBlock == 0);
    FERRO_FUZZ_CHECK(r.eofOffset + 4u == render.vgm.size());
    for (const std::uint8_t c : r.commands) {
        FERRO_FUZZ_CHECK(c == 0x50 || c == 0x52 || c == 0x53 || c == 0x61 || c == 0x62 || c == 0x63 || c == 0x66 ||
                         c == 0x67 || (c & 0xF0) == 0x70 || (c & 0xF0) == 0x80 || c == 0xE0);
    }
    const std::uint64_t songSamples = std::uint64_t{render.frames} * kSamplesPerFrame;
    FERRO_FUZZ_CHECK(r.totalSamples == songSamples + (render.ended ? kEndTailSamples : 0));
    if (render.loop) {
        FERRO_FUZZ_CHECK(render.loop->startFrame + render.loop->lengthFrames == render.frames);
        FERRO_FUZZ_CHECK(r.loopOffsetOnCommand);
        FERRO_FUZZ_CHECK(r.loopSample == std::uint64_t{render.loop->startFrame} * kSamplesPerFrame);
        FERRO_FUZZ_CHECK(r.loopSamples == std::uint64_t{render.loop->lengthFrames} * kSamplesPerFrame);
    } else {
        FERRO_FUZZ_CHECK(r.loopOffset == 0 && r.loopSamples == 0);
    }
    for (const VgmWrite& w : r.writes) FERRO_FUZZ_CHECK(w.sample < r.totalSamples);
    options.emitReset = true;
    FERRO_FUZZ_CHECK(chipWrites(r.writes) == playerWrites(song, options, render.frames));
    if (render.stateRepeats) {
        const test::VgmRead looped = test::readVgm(render.vgm, kLoopPasses);
        const test::VgmRead straight = test::readVgm(straightVgm(
            song, sound, options, render.loop->startFrame + (kLoopPasses + 1) * render.loop->lengthFrames));
        FERRO_FUZZ_CHECK(looped.writes == straight.writes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::span<const std::uint8_t> song(data + 1, size - 1);
    const PlayerOptions options = optionsFor(data[0]);
    SongPlayer player(song, options);
    std::optional<SongPlayer> copy;
    Frame frame, copied;
    while (player.nextFrame() < kFrames) {
        if (player.nextFrame() == kCopyAt) copy.emplace(player);
        const std::uint32_t index = player.nextFrame();
        const bool stepped = player.step(frame);
        if (copy) {
            FERRO_FUZZ_CHECK(copy->step(copied) == stepped);
            FERRO_FUZZ_CHECK(copied.writes == frame.writes);
        }
        if (!stepped) {
            // No frame: the song ended or was refused, never both.
            FERRO_FUZZ_CHECK(player.ended() != player.error().has_value());
            FERRO_FUZZ_CHECK(!player.step(frame));
            break;
        }
        FERRO_FUZZ_CHECK(frame.index == index);
        for (const ChipWrite& w : frame.writes) {
            if (w.port == ChipPort::Dac)
                FERRO_FUZZ_CHECK(w.value >= kSonic2FirstDacNote && w.value < kSonic2FirstDacNote + kSonic2DacNotes.size());
            else
                FERRO_FUZZ_CHECK(w.port == ChipPort::Z80
                                     ? (w.address == kZ80SampleRequest || w.address == kZ80TimpaniPitch)
                                     : w.address <= 0xFF);
        }
        if (const auto loop = player.trackLoop()) {
            FERRO_FUZZ_CHECK(loop->lengthFrames > 0);
            FERRO_FUZZ_CHECK(loop->startFrame + loop->lengthFrames <= frame.index);
        }
        if (const auto loop = player.loop()) {
            FERRO_FUZZ_CHECK(loop->lengthFrames > 0 && loop->startFrame >= 1);
            FERRO_FUZZ_CHECK(loop->startFrame + loop->lengthFrames <= player.nextFrame());
        }
    }
    checkRender(song, data[0], options);
    return 0;
}
