#pragma once
// Plays a Sonic 1 SMPS song (bytes as Ferrocanto writes them, or a song of
// the game or of a hack as a binary: big-endian pointers counted from the
// song's first byte) frame by frame as the Sonic 1 sound driver does, and
// gives each frame's chip writes in the driver's order.
//
// The song bytes are untrusted: every read is bounded. Where the driver's
// behaviour depends on memory outside the song (undefined flags, notes off
// the pitch tables, returns without a call, ...) playback stops with a
// message naming the track and the song offset; a few such notes play silent
// instead, with a warning.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/chip_events.hpp"

namespace ferro {

class SongPlayer {
public:
    // Reads the header. A header it cannot use leaves error() set, and step()
    // then returns false.
    explicit SongPlayer(std::span<const std::uint8_t> song, PlayerOptions options = {});
    ~SongPlayer();
    SongPlayer(const SongPlayer&);
    SongPlayer& operator=(const SongPlayer&);
    SongPlayer(SongPlayer&&) noexcept;
    SongPlayer& operator=(SongPlayer&&) noexcept;

    // Plays the next frame into `frame` (its writes are replaced). Returns
    // false when there is no frame to play: the song ended (ended()) or was
    // refused (error()). A refused frame returns false and keeps in `frame`
    // the writes made before the fault.
    bool step(Frame& frame);

    // The index the next step() gives its frame.
    std::uint32_t nextFrame() const;
    // Every track has stopped and the last frame that wrote anything has been
    // played: later driver calls would write nothing.
    bool ended() const;
    const std::optional<std::string>& error() const;
    // Known once every track still playing has jumped back at least once.
    std::optional<SongLoop> loop() const;
    // Notes played silent because their pitch is undefined, one line each.
    const std::vector<std::string>& warnings() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Plays up to `maxFrames` frames and tells how the song runs: where it loops
// or that it ends, or why it was refused.
SongScan scanSong(std::span<const std::uint8_t> song, const PlayerOptions& options,
                  std::uint32_t maxFrames);

}  // namespace ferro
