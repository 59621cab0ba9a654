// The song player on hostile songs. The first byte chooses whether PSG
// envelopes are at hand; the rest is the song. Whatever the bytes, playback
// either goes on, ends, or stops with a message, never reading outside the
// song; a copy of the player plays on exactly as the original.
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.hpp"
#include "player/song_player.hpp"

using namespace ferro;

namespace {

constexpr std::uint32_t kFrames = 400;
constexpr std::uint32_t kCopyAt = 150;

PlayerOptions optionsFor(std::uint8_t choice) {
    PlayerOptions options;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::span<const std::uint8_t> song(data + 1, size - 1);
    SongPlayer player(song, optionsFor(data[0]));
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
            FERRO_FUZZ_CHECK(w.port == ChipPort::Z80 ? (w.address == kZ80SampleRequest || w.address == kZ80TimpaniPitch)
                                                     : w.address <= 0xFF);
        }
        if (const auto loop = player.loop()) {
            FERRO_FUZZ_CHECK(loop->lengthFrames > 0);
            FERRO_FUZZ_CHECK(loop->startFrame + loop->lengthFrames <= frame.index);
        }
    }
    return 0;
}
