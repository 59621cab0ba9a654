#pragma once
// What a Sonic sound driver sends to the chips, frame by frame: the player's
// output, and what the VGM writer and the WAV render consume.
//
// One frame is one V-blank. Its writes are in the order the driver makes
// them: YM2612 register writes on either port, single bytes to the PSG, and
// the drum requests: for Sonic 1 the two Z80 RAM writes through which the
// 68000 asks the Z80 to play a sample, for Sonic 2 the DAC note the Z80
// driver's own DAC track asked for. The DAC's sample data are not here: they
// follow from the requests (the render plays the samples).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/shared_types.hpp"

namespace ferro {

enum class ChipPort : std::uint8_t {
    Ym0,  // YM2612 port 0: the global registers 22-2B and channels 1-3
    Ym1,  // YM2612 port 1: channels 4-6
    Psg,  // SN76489: one byte, `address` unused (0)
    Z80,  // Z80 RAM byte written by the 68000: a DAC request
    Dac,  // Sonic 2: the drum note (81-91) the DAC track asked for, `address` unused (0)
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
    // Where in `writes` the frame's music update begins (after a load's
    // writes); unset in a frame without one.
    std::optional<std::size_t> updateAt;
};

// PSG volume envelopes 1..9 for Sonic 1, 1..0D for Sonic 2 (element 0 is
// envelope 1): one step per byte, 80 = hold. An envelope left empty plays
// flat: every step writes the track's volume.
using PsgEnvelopeSet = std::array<std::optional<Bytes>, 13>;

// Where the Sonic 2 driver unpacks a compressed song in its RAM, and how much
// room it has there; an uncompressed song plays through the bank window.
inline constexpr std::uint16_t kSonic2MusicBuffer = 0x1380;
inline constexpr std::uint16_t kSonic2MusicBufferSize = 0x7C0;
inline constexpr std::uint32_t kZ80BankWindow = 0x8000;

// How far the player looks for the song's repeat: 10 minutes of frames.
inline constexpr std::uint32_t kLoopSearchFrames = 36000;

// Which driver plays a song and, for Sonic 2, from where.
struct SongPlacement {
    SoundDriver driver = SoundDriver::Sonic1;
    // Sonic 2: the Z80 address of the song's first byte (its pointers are
    // absolute): the decompression buffer, or 8000-FFFF in the bank window.
    std::uint16_t address = kSonic2MusicBuffer;
    // Sonic 2: Z80 cycles the driver spent unpacking the song; unset, a song
    // in the buffer counts as stored literal-only, one in the window as none.
    std::optional<std::uint32_t> unpackCycles;
};

struct PlayerOptions {
    SongPlacement placement;
    // Sonic 2: each DAC sample's length in DAC writes and each drum note's
    // rate byte (the sound data's), for knowing when the drum playing ends;
    // unset ones the game's.
    std::vector<std::uint32_t> dacSampleWrites;
    std::vector<std::uint8_t> dacRates;
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
