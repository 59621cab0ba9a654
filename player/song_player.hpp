#pragma once
// Plays an SMPS song frame by frame as the chosen driver does, and gives each
// frame's chip writes in the driver's order: a Sonic 1 song (bytes as
// Ferrocanto writes them, or a song of the game or of a hack as a binary:
// big-endian pointers counted from the song's first byte), or a Sonic 2 song
// (little-endian pointers, absolute for the Z80 address its bytes lie at: the
// music buffer a compressed song unpacks to, or the bank window). One player
// serves both: where the drivers differ, a record of facts and a few named
// quirks decide. For Sonic 2 it follows the Z80 driver's time too: the
// load's unpacking delays the first update by frames, and an update of many
// writes loses the next interrupt.
//
// The song bytes are untrusted: every read is bounded. Where the driver's
// behaviour depends on memory outside the song, what a song Ferrocanto
// writes can hold plays silent, with one warning naming the track and the
// song offset: an FM voice past the song's table (the channel is silent until
// its next voice), a PSG envelope past the driver's, a DAC note whose pitch
// or drum lies outside the driver's table, a Sonic 1 FM or PSG note whose
// pitch does (Sonic 2 plays the driver's own bytes there, with a warning). What only
// a foreign or damaged song holds (undefined flags, E4 off the DAC track,
// returns without a call, an envelope read past its end, ...) stops playback
// with a message naming the track and the song offset.
//
// While it plays, the player keeps the state the driver keeps between frames
// (every track's position, call stack, loop counters, timers, note, pitch,
// note fill, modulation, detune, transposition, volume, voice, pan and
// flags; the tempo, the DAC and noise state, every PSG envelope position,
// and the drum sample the Z80 is playing) and finds the first frame whose
// whole state comes back: from there the song repeats for ever, write for
// write.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/stop_flag.hpp"
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
    // Known once the driver's whole state after a frame is the state after
    // an earlier one (looked for over options.loopSearchFrames): the loop
    // starts at the frame after the earlier one, and startFrame +
    // lengthFrames is the next frame to play.
    std::optional<SongLoop> loop() const;
    // The longest looping track's jump back, known once every track still
    // playing has jumped back at least once.
    std::optional<SongLoop> trackLoop() const;
    // The reads played silent because what they ask for is undefined, one
    // line each.
    const std::vector<std::string>& warnings() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Plays up to `maxFrames` frames (looking for the loop over as many) and
// tells how the song runs: where it loops or that it ends, or why it was
// refused (kStopped when `stop` was set before the end).
SongScan scanSong(std::span<const std::uint8_t> song, const PlayerOptions& options,
                  std::uint32_t maxFrames, const StopFlag* stop = nullptr);

}  // namespace ferro
