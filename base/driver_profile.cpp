#include "base/driver_profile.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ferro {

namespace {

DriverProfile sonic1() {
    return DriverProfile{
        .id = SoundDriver::Sonic1,
        .key = "sonic1",
        .name = "Sonic 1",
        .pointers = PointerForm::RelativeBigEndian,
        .voiceMiddleOperatorsSwapped = false,
        .tempoRule = TempoRule::StallEveryNth,
        .minTempo = 1,
        .maxTempo = 9,
        // D1 + 23: index 73, past the PSG table; Sonic 1 happens to read
        // period 0 there, as its own songs rely on.
        .hihatNote = 0xD1,
        .hihatTransposition = 0x23,
        .psgEnvelopes = 9,
        .fmFrequencyEntries = 96,
        .psgFrequencyEntries = 70,
        .drums = {{0x81, "Kick"},
                  {0x82, "Snare"},
                  {0x83, "Timpani"},
                  {0x88, "High timpani"},
                  {0x89, "Mid timpani"},
                  {0x8A, "Low timpani"},
                  {0x8B, "Very low timpani"}},
        .endsWithE4 = true,
        .modulationStepsEarlier = 0,
        .loopCounters = 12,
        .callStackBytesPerCall = 4,
        .bufferAddress = std::nullopt,
        .bufferSize = 0,
        .windowStart = 0,
        .windowEnd = 0,
    };
}

DriverProfile sonic2() {
    return DriverProfile{
        .id = SoundDriver::Sonic2,
        .key = "sonic2",
        .name = "Sonic 2",
        .pointers = PointerForm::AbsoluteLittleEndian,
        .voiceMiddleOperatorsSwapped = true,
        .tempoRule = TempoRule::Accumulator,
        .minTempo = 1,
        .maxTempo = 255,
        // The game's own hi-hats: C6 is the table's last entry, period 0.
        .hihatNote = 0xC6,
        .hihatTransposition = 0,
        .psgEnvelopes = 13,
        .fmFrequencyEntries = 96,
        .psgFrequencyEntries = 70,
        .drums = {{0x81, "Kick"},
                  {0x82, "Snare"},
                  {0x83, "Clap"},
                  {0x84, "Scratch"},
                  {0x85, "Timpani"},
                  {0x86, "High tom"},
                  {0x87, "Very low clap"},
                  {0x88, "High timpani"},
                  {0x89, "Mid timpani"},
                  {0x8A, "Low timpani"},
                  {0x8B, "Very low timpani"},
                  {0x8C, "Mid tom"},
                  {0x8D, "Low tom"},
                  {0x8E, "Floor tom"},
                  {0x8F, "High clap"},
                  {0x90, "Mid clap"},
                  {0x91, "Low clap"}},
        .endsWithE4 = false,
        .modulationStepsEarlier = 1,
        .loopCounters = 10,
        .callStackBytesPerCall = 2,
        .bufferAddress = 0x1380,
        .bufferSize = 0x7C0,
        .windowStart = 0x8000,
        .windowEnd = 0xFFFF,
    };
}

}  // namespace

const DriverProfile& driverProfile(SoundDriver id) {
    static const DriverProfile s1 = sonic1();
    static const DriverProfile s2 = sonic2();
    return id == SoundDriver::Sonic2 ? s2 : s1;
}

const std::vector<SoundDriver>& allDrivers() {
    static const std::vector<SoundDriver> ids = {SoundDriver::Sonic1, SoundDriver::Sonic2};
    return ids;
}

std::optional<SoundDriver> driverFromKey(std::string_view key) {
    for (SoundDriver id : allDrivers()) {
        if (key == driverProfile(id).key) return id;
    }
    return std::nullopt;
}

std::string driverPhrase(const DriverProfile& driver) { return std::string("the ") + driver.name + " driver"; }

bool songAddressUsable(const DriverProfile& driver, int address) {
    if (driver.pointers == PointerForm::RelativeBigEndian) return address >= 0 && address <= 0xFFFF;
    return (driver.bufferAddress && address == *driver.bufferAddress) ||
           (address >= driver.windowStart && address <= driver.windowEnd);
}

bool z80AddressUsable(int address) { return songAddressUsable(driverProfile(SoundDriver::Sonic2), address); }

double tempoTickShare(const DriverProfile& driver, int tempo) {
    if (driver.tempoRule == TempoRule::Accumulator) return tempo / 256.0;
    const int t = tempo == 0 ? 256 : tempo;
    return static_cast<double>(t - 1) / t;
}

int convertTempo(int tempo, SoundDriver from, SoundDriver to) {
    if (from == to) return tempo;
    const double share = tempoTickShare(driverProfile(from), tempo);
    const DriverProfile& target = driverProfile(to);
    int best = target.minTempo;
    for (int t = target.minTempo; t <= target.maxTempo; ++t) {
        if (std::abs(tempoTickShare(target, t) - share) < std::abs(tempoTickShare(target, best) - share)) best = t;
    }
    return best;
}

int highestLoopCounter(const DriverProfile& driver, int depth) {
    // Each open call takes its return address from the top of the counters.
    return std::max(-1, driver.loopCounters - 1 - depth * driver.callStackBytesPerCall);
}

void voiceInDriverOrder(const DriverProfile& driver, std::uint8_t* voice) {
    if (!driver.voiceMiddleOperatorsSwapped) return;
    for (int group = 1; group < 25; group += 4) std::swap(voice[group + 1], voice[group + 2]);
}

std::string drumName(const DriverProfile& driver, int note) {
    for (const DrumNote& d : driver.drums) {
        if (d.note == note) return d.name;
    }
    return {};
}

}  // namespace ferro
