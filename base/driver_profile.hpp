#pragma once
// The sound drivers a song can be written for, each as one record of facts:
// how its songs hold pointers, voices and the tempo, which drums and PSG
// envelopes it has, and where its songs play from. The encoder, the writers,
// the gate and the windows read the record of the chosen driver; nothing
// else in the program asks which driver it is.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_types.hpp"

namespace ferro {

// How a song's pointers (header, jumps) are stored.
enum class PointerForm : std::uint8_t {
    RelativeBigEndian,     // offset from the song start (header) or the operand (jumps)
    AbsoluteLittleEndian,  // the Z80 address the target plays from
};

// How the main tempo byte moves the tracks.
enum class TempoRule : std::uint8_t {
    StallEveryNth,  // tempo t: every t-th frame is a stall (t = 1 never plays)
    Accumulator,    // tempo T: T/256 of the driver's updates tick
};

struct DrumNote {
    int note;          // the DAC note byte
    const char* name;  // "Kick"
};

struct DriverProfile {
    SoundDriver id;
    const char* key;   // the setup file's value: "sonic1"
    const char* name;  // "Sonic 1": "the Sonic 1 driver"
    PointerForm pointers;
    // Voice bytes 1-24 in groups of four: Sonic 1 stores each group in the
    // register order +0, +8, +4, +C, Sonic 2 in +0, +4, +8, +C.
    bool voiceMiddleOperatorsSwapped;
    TempoRule tempoRule;
    int minTempo;
    int maxTempo;
    // The noise track's hi-hat: its note byte and the header transposition
    // that makes it read the fastest noise period.
    int hihatNote;
    int hihatTransposition;
    int psgEnvelopes;  // 1..psgEnvelopes exist, 0 is none
    int fmFrequencyEntries;
    int psgFrequencyEntries;
    std::vector<DrumNote> drums;  // the notes with a sound, in order
    // E4 ends a song handing back to the music before (Sonic 1's extra-life
    // jingle); the other driver restores whatever its save area holds.
    bool endsWithE4;
    // How much earlier than Sonic 1 the driver takes a note's first
    // modulation step (Sonic 2 steps in the attack's own update too): a wait
    // is written this much larger for the same first step (at most FE).
    int modulationStepsEarlier;
    // The loop counters and the call stack share one record per track:
    // `loopCounters` counters, less the return address's bytes for each
    // open call.
    int loopCounters;
    int callStackBytesPerCall;
    // A compressed song is unpacked to one buffer; others play from the
    // sound bank's window.
    std::optional<int> bufferAddress;
    int bufferSize;
    int windowStart;
    int windowEnd;  // inclusive
};

const DriverProfile& driverProfile(SoundDriver id);
const std::vector<SoundDriver>& allDrivers();
std::optional<SoundDriver> driverFromKey(std::string_view key);

// "the Sonic 2 driver"
std::string driverPhrase(const DriverProfile& driver);

// Whether a song can play from `address` under `driver`: Sonic 1 songs are
// position-free (any address), Sonic 2 songs the buffer or the window.
bool songAddressUsable(const DriverProfile& driver, int address);
// The address a song keeps whichever driver is chosen now: one the Z80
// driver's songs can play from.
bool z80AddressUsable(int address);
inline constexpr int kDefaultZ80Address = 0x1380;

// The tempo of one driver that moves the tracks nearest to `tempo` of the
// other: Sonic 1's t ticks (t - 1)/t of the frames, Sonic 2's T T/256 of them.
int convertTempo(int tempo, SoundDriver from, SoundDriver to);

// The share of frames that move the tracks for `tempo` (0 = none).
double tempoTickShare(const DriverProfile& driver, int tempo);

// The highest loop counter a loop can use at call depth `depth`.
int highestLoopCounter(const DriverProfile& driver, int depth);

// A Sonic 1 voice's 25 bytes in the driver's operator order.
void voiceInDriverOrder(const DriverProfile& driver, std::uint8_t* voice);

// The drum's name ("Kick"), or empty for a note the driver has no sound for.
std::string drumName(const DriverProfile& driver, int note);

}  // namespace ferro
