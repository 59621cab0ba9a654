#pragma once
// The Sonic 1 sounds a song refers to but does not hold: the nine PSG volume
// envelopes, the three drum samples of the DAC and the SEGA voice. They are
// the game's, so the program ships none of them: it reads them from a Sonic 1
// disassembly's folder when the user names one, and otherwise plays flat
// envelopes and drums of its own, synthesised here at the driver's rates; the
// SEGA voice has no stand-in and plays silent.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "player/chip_events.hpp"

namespace ferro {

inline constexpr int kPsgEnvelopeCount = 9;
// The sizes of psg1.bin .. psg9.bin in the disassembly: a file of any other
// size is not the game's envelope.
inline constexpr std::array<std::size_t, kPsgEnvelopeCount> kPsgEnvelopeSizes{23, 7, 17, 11, 42, 15, 28, 40, 17};
inline constexpr std::uint8_t kEnvelopeHold = 0x80;

enum class DrumSample { Kick = 0, Snare = 1, Timpani = 2 };
inline constexpr int kDrumSampleCount = 3;
inline constexpr std::array<std::size_t, kDrumSampleCount> kDpcmSizes{850, 1904, 4118};
// The Z80's pitch (delay) byte each sample starts with; the timpani's is
// changed by the notes 88-8D and kept until changed again.
inline constexpr std::array<int, kDrumSampleCount> kDrumPitches{0x17, 0x01, 0x1B};

// The SEGA voice: 8-bit unsigned PCM the Z80 copies to the DAC as it is, one
// byte every 220 of its cycles (about 16.3 kHz).
inline constexpr std::size_t kSegaPcmSize = 27000;
inline constexpr int kSegaCyclesPerByte = 220;

struct DacSample {
    // The values the Z80 hands the DAC, one per nibble of the DPCM data
    // (8-bit unsigned, 80h the middle).
    Bytes pcm;
    bool fromFolder = false;
};

struct SoundData {
    // Envelope n (1..9) at index n - 1: one byte per frame added to the
    // volume, ending with kEnvelopeHold. Empty when built in: flat, the
    // track's own volume.
    PsgEnvelopeSet psgEnvelopes;
    std::array<DacSample, kDrumSampleCount> drums;
    // Empty when not read from a folder.
    DacSample sega;
    // One line for each file of the folder that could not be used.
    std::vector<std::string> problems;
    std::filesystem::path folder;  // empty when nothing was read

    const DacSample& drum(DrumSample which) const { return drums[static_cast<std::size_t>(which)]; }
    // One line saying which data a render used.
    std::string summary() const;
};

// Flat envelopes and the synthesised drums.
SoundData builtInSoundData();

// Reads sound/psg/psg1.bin .. psg9.bin, sound/dac/{kick,snare,timpani}.dpcm
// and sound/dac/sega.pcm below `folder` (the disassembly's top folder, or its sound folder itself).
// Each file that is missing, of the wrong size or broken is named in
// `problems` and its sound is the built-in one (for the SEGA voice: silence).
SoundData loadSoundData(const std::filesystem::path& folder);

// DPCM as the driver's Z80 code plays it: an accumulator starting at 80h,
// each byte's high nibble then low nibble adding a step from a table of
// sixteen.
Bytes decodeDpcm(std::span<const std::uint8_t> dpcm);

// DAC output rate of a sample played at `pitch` (0 counts as 256), in Hz:
// the Z80's two delays between nibbles averaged.
double dacRate(int pitch);
// Z80 cycles from one nibble's write to the next: after a high nibble, then
// after a low nibble.
int dacCyclesAfterHigh(int pitch);
int dacCyclesAfterLow(int pitch);
inline constexpr double kZ80Clock = 3579545.0;

}  // namespace ferro
