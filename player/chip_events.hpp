#pragma once
// What the Sonic 1 sound driver sends to the chips, frame by frame: the
// player's output, and what the VGM writer and the WAV render consume.
//
// One frame is one driver call (one V-blank). Its writes are in the order the
// driver makes them: YM2612 register writes on either port, single bytes to
// the PSG, and the two Z80 RAM writes through which the 68000 asks the Z80 to
// play a drum sample. The Z80's own DAC writes (the sample data) are not
// here: they follow from the requests (the render plays the samples).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"

namespace ferro {

enum class ChipPort : std::uint8_t {
    Ym0,  // YM2612 port 0: the global registers 22-2B and channels 1-3
    Ym1,  // YM2612 port 1: channels 4-6
    Psg,  // SN76489: one byte, `address` unused (0)
    Z80,  // Z80 RAM byte written by the 68000: a DAC request
};

// Z80 RAM addresses the driver writes.
inline constexpr std::uint16_t kZ80SampleRequest = 0x1FFF;  // sample id 81.. (bit 7 set = a request)
inline constexpr std::uint16_t kZ80TimpaniPitch = 0x00EA;   // the timpani's pitch, kept until changed
inline constexpr std::uint8_t kInitialTimpaniPitch = 0x1B;

struct ChipWrite {
    ChipPort port = ChipPort::Ym0;
    std::uint16_t address = 0;  // YM register (00-FF) or Z80 RAM address; 0 for the PSG
    std::uint8_t value = 0;
    bool operator==(const ChipWrite&) const = default;
};

struct Frame {
    std::uint32_t index = 0;        // 0 = the call that loads the song
    std::vector<ChipWrite> writes;  // in the driver's order
    // The 68000 keeps the Z80's bus from the end of this call until the next
    // one (the load call, and a call ended by the DAC track's stop): a drum
    // sample playing pauses until then.
    bool z80HeldUntilNextFrame = false;
};

// PSG volume envelopes 1..9 (element 0 is envelope 1): the bytes of
// psg<n>.bin, one step per byte, 80 = hold. An envelope left empty plays flat:
// every step writes the track's volume.
using PsgEnvelopeSet = std::array<std::optional<Bytes>, 9>;

// How far the player looks for the song's repeat: 10 minutes of frames.
inline constexpr std::uint32_t kLoopSearchFrames = 36000;

struct PlayerOptions {
    PsgEnvelopeSet psgEnvelopes;
    // Frame 0 starts with the driver's stop-all (as at power-on) before the
    // load's own writes.
    bool emitReset = true;
    // The player looks for the frame where the driver's whole state comes
    // back over the first this many frames (0: not at all).
    std::uint32_t loopSearchFrames = kLoopSearchFrames;
};

// A stretch of frames that repeats: its first pass starts at `startFrame`,
// and frame startFrame + lengthFrames plays as startFrame again.
struct SongLoop {
    std::uint32_t startFrame = 0;
    std::uint32_t lengthFrames = 0;
    bool operator==(const SongLoop&) const = default;
};

// The first frames of a song in a few numbers, for a writer that has to know
// the loop before it writes (a player is cheap to run twice).
struct SongScan {
    std::uint32_t frames = 0;        // frames produced (0 .. frames-1)
    bool ended = false;              // every track stopped: no loop
    // Where the driver's whole state comes back: from there the song repeats
    // for ever, write for write.
    std::optional<SongLoop> loop;
    // The longest looping track's jump back (a track loops when a jump goes
    // back to bytes it has already played), known once every track still
    // playing has looped: where the song's state does not come back, the
    // nearest thing to a loop it has.
    std::optional<SongLoop> trackLoop;
    std::optional<std::string> error;
};

}  // namespace ferro
