#pragma once
// The sounds a song refers to but does not hold: for Sonic 1 the nine PSG
// volume envelopes, the three drum samples of the DAC and the SEGA voice; for
// Sonic 2 thirteen envelopes and seven samples. They are the game's, so the
// program ships none of them: it reads them from a disassembly's folder when
// the user names one, and otherwise plays flat envelopes and drums of its
// own, synthesised here at the driver's rates; the SEGA voice has no stand-in
// and plays silent.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
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

// Sonic 2's DAC: seven samples (DPCM bytes as the game's), and the drum notes
// 81-91, each a sample and a rate byte c: one DAC write every 134 + 13c Z80
// cycles.
inline constexpr int kSonic2EnvelopeCount = 13;
inline constexpr std::array<std::size_t, kSonic2EnvelopeCount> kSonic2EnvelopeSizes{23, 7,  17, 11, 42, 15, 28,
                                                                                    40, 17, 62, 28, 128, 16};
inline constexpr int kSonic2SampleCount = 7;
inline constexpr std::array<std::size_t, kSonic2SampleCount> kSonic2SampleSizes{660, 1827, 1398, 1868,
                                                                              2997, 1806, 1476};
struct Sonic2DacNote {
    std::uint8_t sample;
    std::uint8_t rate;
};
inline constexpr std::uint8_t kSonic2FirstDacNote = 0x81;
inline constexpr std::array<Sonic2DacNote, 17> kSonic2DacNotes{{{0, 0x17}, {1, 0x01}, {2, 0x06}, {3, 0x08},
                                                                {4, 0x1B}, {5, 0x0A}, {6, 0x1B}, {4, 0x12},
                                                                {4, 0x15}, {4, 0x1C}, {4, 0x1D}, {5, 0x02},
                                                                {5, 0x05}, {5, 0x08}, {6, 0x08}, {6, 0x0B},
                                                                {6, 0x12}}};
inline constexpr int sonic2DacCycles(int rate) { return 134 + 13 * (rate == 0 ? 256 : rate); }

struct DacSample {
    // The values the Z80 hands the DAC, one per nibble of the DPCM data
    // (8-bit unsigned, 80h the middle).
    Bytes pcm;
    bool fromFolder = false;
};

struct SoundData {
    SoundDriver driver = SoundDriver::Sonic1;
    // Envelope n (1..9, Sonic 2 1..0D) at index n - 1: one byte per frame added to the
    // volume, ending with kEnvelopeHold. Empty when built in: flat, the
    // track's own volume.
    PsgEnvelopeSet psgEnvelopes;
    // Sonic 1: kick, snare, timpani; Sonic 2: kick, snare, clap, scratch,
    // timpani, tom, bongo.
    std::vector<DacSample> drums;
    // Empty when not read from a folder.
    DacSample sega;
    // Sonic 2: the rate byte of each drum note 81-91 (the driver's, or those
    // the disassembly's sample rates give).
    std::array<std::uint8_t, kSonic2DacNotes.size()> sonic2Rates = [] {
        std::array<std::uint8_t, kSonic2DacNotes.size()> rates{};
        for (std::size_t k = 0; k < rates.size(); ++k) rates[k] = kSonic2DacNotes[k].rate;
        return rates;
    }();
    // Sonic 2: which layout of the disassembly the samples came from.
    std::string layout;
    // One line for each file of the folder that could not be used.
    std::vector<std::string> problems;
    std::filesystem::path folder;  // empty when nothing was read

    const DacSample& drum(DrumSample which) const { return drums[static_cast<std::size_t>(which)]; }
    // One line saying which data a render used.
    std::string summary() const;
};

// Flat envelopes and the synthesised drums.
SoundData builtInSoundData(SoundDriver driver = SoundDriver::Sonic1);

// Reads sound/psg/psg1.bin .. psg9.bin, sound/dac/{kick,snare,timpani}.dpcm
// and sound/dac/sega.pcm below `folder` (the disassembly's top folder, or its sound folder itself).
// Each file that is missing, of the wrong size or broken is named in
// `problems` and its sound is the built-in one (for the SEGA voice: silence).
SoundData loadSoundData(const std::filesystem::path& folder);
// The same for a Sonic 2 disassembly: the envelopes from the driver's
// source, the samples from sound/DAC in any of the three layouts the
// disassembly has had.
SoundData loadSonic2SoundData(const std::filesystem::path& folder);
// Which driver's disassembly `folder` (its top folder or its sound folder)
// is, as far as its sound data shows; nothing when neither.
std::optional<SoundDriver> disassemblyDriver(const std::filesystem::path& folder);

// The driver's sound data from `folder`, or the built-in one when empty.
SoundData soundDataFor(SoundDriver driver, const std::filesystem::path& folder);

// The values a DPCM encoder gives for `pcm` (8-bit unsigned): each the
// nearest the sixteen steps reach from the one before (the first on ties),
// an odd last value dropped.
Bytes dpcmRoundTrip(std::span<const std::uint8_t> pcm);

// Sonic 2's rate byte for a sample rate in Hz, as the disassembly's build
// derives it.
std::uint8_t sonic2RateByte(double hz);

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
