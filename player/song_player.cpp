#include "player/song_player.hpp"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

#include "player/sound_data.hpp"

namespace ferro {
namespace {

// Track records in the driver's update order.
constexpr int kDac = 0;
constexpr int kFm4 = 4;
constexpr int kFirstPsg = 7;
constexpr int kRecords = 10;
constexpr const char* kRecordNames[kRecords] = {"DAC",  "FM1",  "FM2",  "FM3",  "FM4",
                                                "FM5",  "FM6",  "PSG1", "PSG2", "PSG3"};
// The channel bits of each record: the offset added to an FM register (bit 2
// selects port 1), or a PSG channel's latch bits.
constexpr std::uint8_t kChannelBits[kRecords] = {6, 0, 1, 2, 4, 5, 6, 0x80, 0xA0, 0xC0};
constexpr std::uint8_t kNoiseBits = 0xE0;

constexpr std::uint8_t kFmSilenceKeys[6] = {2, 6, 1, 5, 0, 4};

// Block 0's F-numbers; block b adds b × 800h. Index 01 is C.
constexpr std::uint16_t kFmNotes[12] = {0x25E, 0x284, 0x2AB, 0x2D3, 0x2FE, 0x32D,
                                        0x35C, 0x38F, 0x3C5, 0x3FF, 0x43C, 0x47C};
constexpr int kFmTableSize = 0x60;

constexpr std::uint16_t kPsgPeriods[0x46] = {
    0x356, 0x326, 0x2F9, 0x2CE, 0x2A5, 0x280, 0x25C, 0x23A, 0x21A, 0x1FB, 0x1DF, 0x1C4,
    0x1AB, 0x193, 0x17D, 0x167, 0x153, 0x140, 0x12E, 0x11D, 0x10D, 0x0FE, 0x0EF, 0x0E2,
    0x0D6, 0x0C9, 0x0BE, 0x0B4, 0x0A9, 0x0A0, 0x097, 0x08F, 0x087, 0x07F, 0x078, 0x071,
    0x06B, 0x065, 0x05F, 0x05A, 0x055, 0x050, 0x04B, 0x047, 0x043, 0x040, 0x03C, 0x039,
    0x036, 0x033, 0x030, 0x02D, 0x02B, 0x028, 0x026, 0x024, 0x022, 0x020, 0x01F, 0x01D,
    0x01B, 0x01A, 0x018, 0x017, 0x016, 0x015, 0x013, 0x012, 0x011, 0x000};
// Words past the table that songs reach: the driver reads the program bytes
// there. Bit 15 set means a rest that writes no silence byte.
struct PsgExtra {
    std::uint8_t index;
    std::uint16_t word;
};
constexpr PsgExtra kPsgExtras[] = {{0x46, 0x045}, {0x48, 0x8000}, {0x4B, 0x000}, {0x73, 0x6000},
                                   {0x7D, 0x000}, {0x7E, 0x39A},  {0x7F, 0x21C}};

// Timpani pitches of the DAC notes 88..8D.
constexpr std::uint8_t kTimpaniPitches[6] = {0x12, 0x15, 0x1C, 0x1D, 0xFF, 0xFF};

constexpr std::size_t kVoiceSize = 25;

// What differs between the two drivers as plain facts; the quirks beyond
// them are small functions of the player that ask sonic2().
struct DriverFacts {
    // A voice's bytes 1-20 go to these registers in turn, 21-24 to the TLs.
    std::array<std::uint8_t, 20> voiceRegisters;
    std::array<std::uint8_t, 4> tlRegisters;
    // Carrier operators per algorithm, one bit per TL register above.
    std::array<std::uint8_t, 8> carrierMask;
    // A track's record: loop counter i at loopCounters + i, return addresses
    // of returnBytes each pushed down from recordEnd.
    std::uint8_t loopCounters;
    std::uint8_t recordEnd;
    std::uint8_t returnBytes;
    int envelopes;
};
constexpr DriverFacts kSonic1Facts{
    {0x30, 0x38, 0x34, 0x3C, 0x50, 0x58, 0x54, 0x5C, 0x60, 0x68, 0x64, 0x6C, 0x70, 0x78, 0x74, 0x7C, 0x80, 0x88,
     0x84, 0x8C},
    {0x40, 0x48, 0x44, 0x4C},
    {0x08, 0x08, 0x08, 0x08, 0x0A, 0x0E, 0x0E, 0x0F},
    0x24,
    0x30,
    4,
    9};
constexpr DriverFacts kSonic2Facts{
    {0x30, 0x34, 0x38, 0x3C, 0x50, 0x54, 0x58, 0x5C, 0x60, 0x64, 0x68, 0x6C, 0x70, 0x74, 0x78, 0x7C, 0x80, 0x84,
     0x88, 0x8C},
    {0x40, 0x44, 0x48, 0x4C},
    {0x08, 0x08, 0x08, 0x08, 0x0C, 0x0E, 0x0E, 0x0F},
    0x20,
    0x2A,
    2,
    13};
constexpr std::size_t kRecordBytes = 12;  // the larger of the two drivers' counters and returns

// The Sonic 2 driver's first bytes (its code at Z80 address 0), which a track
// reads as TL bytes before its first voice and as modulation after an F1
// without an F0.
constexpr std::uint8_t kZ80Start[4] = {0xF3, 0x31, 0x80, 0x1B};
constexpr std::uint32_t kDriverBytes = 0xFFFFFFFF;  // modulation read from kZ80Start

// Sonic 2 pitch words past its tables: the driver's code bytes there. An FM
// index 60-7F reads these; a PSG index 46-7F the next, where bit 15 set
// plays as a rest that writes nothing.
constexpr std::uint16_t kSonic2FmPastTable[0x20] = {
    0x1121, 0x367F, 0x369F, 0x36BF, 0x36DF, 0xC9FF, 0x00CB, 0x2066, 0x7810, 0x10FE, 0x0238,
    0x0F3E, 0xB6DD, 0xF601, 0x3210, 0x7F11, 0xDDC9, 0x107E, 0x28B7, 0xDDEA, 0x0F7E, 0x20B7,
    0xC9E4, 0x35DD, 0xC909, 0xCBDD, 0x5600, 0xDDC0, 0x017E, 0x1FF6, 0x1132, 0xC97F};
constexpr std::uint16_t kSonic2PsgPastTable[0x3A] = {
    0xCBDD, 0x4E00, 0xDDC0, 0x0D5E, 0x56DD, 0x7A0E, 0xCAB3, 0x04C5, 0xCBDD, 0x5600, 0x26C0, 0xDD00,
    0x196E, 0x7DCB, 0xCBDD, 0x5E00, 0xDDC8, 0x137E, 0x28B7, 0xDD04, 0x1335, 0xDDC9, 0x1435, 0xDDC0,
    0x116E, 0x66DD, 0x2312, 0xDD7E, 0x1477, 0x7EDD, 0xB716, 0x0F20, 0x2323, 0xDD7E, 0x1677, 0x7EDD,
    0xED15, 0xDD44, 0x1577, 0xDDC9, 0x1635, 0x6EDD, 0xDD17, 0x1866, 0x0006, 0x4EDD, 0xCB15, 0xCA79,
    0x0349, 0xFF06, 0xDD09, 0x1775, 0x74DD, 0xDD18, 0x0D4E, 0x46DD, 0x090E, 0xE9EB};

// The Sonic 2 driver's time, in Z80 cycles: a frame, how long an interrupt
// line waits to be taken, and the cost of its work as fitted to the driver's
// own runs (the load's clearing, each unpacked literal byte, the header and
// each chip write of an update).
constexpr std::uint32_t kFrameCycles = 59659;
constexpr std::uint32_t kIntHoldCycles = 228;
constexpr std::uint32_t kLoadClearCycles = 49000;
constexpr std::uint32_t kLiteralCycles = 228;
constexpr std::uint32_t kHeaderCycles = 4300;
constexpr std::uint32_t kUpdateCycles = 1200;
constexpr std::uint32_t kWriteCycles = 380;

// A read that executes this many flags without reaching a note or a duration
// (a jump onto itself, loops of flags alone) keeps the driver busy for dozens
// of frames or for ever.
constexpr std::uint32_t kMaxFlagsPerRead = 1u << 16;

// Sonic 1 songs take a few kilobytes; the player keeps four bytes per song
// byte and track to find loops.
constexpr std::size_t kMaxSongSize = 1u << 20;

// The Z80's samples are timed as the VGM writer times them: in samples of
// 44.1 kHz, 735 to a frame.
constexpr std::uint64_t kSampleRate = 44100;
constexpr std::uint64_t kFrameSamples = 735;
constexpr int kNoSample = -1;
constexpr int kSegaSample = 6;  // the Z80's index for requests 87 and up

std::string hex(unsigned value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", width, value);
    return text;
}

struct Refusal {
    std::string message;
};

// The end of a track's update.
enum class Outcome { Continue, TrackStopped, CallEnded };

struct Track {
    bool defined = false;
    bool playing = false;
    std::uint8_t channel = 0;  // kChannelBits, or kNoiseBits after F3
    std::uint32_t pos = 0;
    std::uint8_t counter = 0;
    std::uint8_t savedDuration = 0;
    std::uint8_t divider = 0;
    std::uint8_t transpose = 0;
    std::uint8_t volume = 0;
    std::uint8_t pan = 0;
    std::uint8_t voice = 0;      // FM voice; on a PSG track, the envelope (one field in the driver)
    // Not the driver's: the last EF asked for a voice outside the song, so
    // the channel's notes play silent until the next voice.
    bool voiceLost = false;
    std::uint8_t algorithm = 0;  // feedback/algorithm byte of the voice; PSG: the noise byte
    std::uint8_t envelopePos = 0;
    std::uint8_t detune = 0;
    std::uint16_t freq = 0;
    std::uint8_t savedSample = 0;
    bool rest = false;
    bool noAttack = false;
    std::uint8_t noteFill = 0;
    std::uint8_t noteFillMaster = 0;
    bool modulating = false;
    std::optional<std::uint32_t> modParams;  // song offset of the last F0's four bytes
    std::uint8_t modWait = 0, modSpeed = 0, modDelta = 0, modSteps = 0;
    std::uint16_t modOffset = 0;
    // Sonic 2: the TL bytes E6 rewrites come from a voice once one is loaded.
    bool hasVoice = false;
    // The loop counters and return addresses, from the facts' loopCounters.
    std::uint8_t stackPointer = 0;
    std::array<std::uint8_t, kRecordBytes> record{};

    // Not the driver's: where the last note, rest or duration read lies (the
    // track's start before any), for the warnings.
    std::uint32_t lastEvent = 0;
    // Loop detection: the frame (+1) in which each song byte was first
    // consumed by this track, 0 = never.
    std::vector<std::uint32_t> firstRead;
    std::optional<SongLoop> loop;

    bool isPsg() const { return channel & 0x80; }
};

// What the Z80 is doing at the end of a frame, as far as the sound to come
// depends on it: the drum sample or SEGA voice playing and how far, a
// request it has not taken yet, the timpani's pitch.
struct Z80Sample {
    // Sonic 2: the Z80 driver plays its seven samples itself, each DAC note
    // a sample at a rate; these are the samples' lengths in DAC writes.
    bool sonic2 = false;
    std::array<std::uint32_t, kSonic2SampleCount> sonic2Writes{};
    std::array<std::uint8_t, kSonic2DacNotes.size()> sonic2Rates{};
    std::uint8_t timpaniPitch = kInitialTimpaniPitch;
    std::uint8_t pending = 0;  // a request waiting (bit 7 set), 0 for none
    int kind = kNoSample;      // 0..2 a drum, kSegaSample, or kNoSample
    int pitch = 0;
    std::uint64_t age = 0;  // samples played of it

    // Samples from the start of what plays to its end: a drum's last value,
    // the end of the SEGA voice's last byte.
    std::uint64_t length() const {
        std::uint64_t cycles = 0;
        if (sonic2) {
            cycles = std::uint64_t{sonic2Writes[static_cast<std::size_t>(kind)]} *
                     static_cast<std::uint64_t>(sonic2DacCycles(pitch));
        } else if (kind == kSegaSample) {
            cycles = std::uint64_t{kSegaPcmSize} * kSegaCyclesPerByte;
        } else {
            const std::uint64_t bytes = kDpcmSizes[static_cast<std::size_t>(kind)];
            cycles = bytes * static_cast<std::uint64_t>(dacCyclesAfterHigh(pitch)) +
                     (bytes - 1) * static_cast<std::uint64_t>(dacCyclesAfterLow(pitch));
        }
        return cycles * kSampleRate / static_cast<std::uint64_t>(kZ80Clock);
    }

    // The request waiting starts, unless the SEGA voice plays (deaf to
    // requests until its end).
    void startPending() {
        if (sonic2 && pending != 0) {
            const auto k = static_cast<std::size_t>(pending - kSonic2FirstDacNote);
            pending = 0;
            age = 0;
            kind = kSonic2DacNotes[k].sample;
            pitch = sonic2Rates[k];
            return;
        }
        if (pending == 0 || kind == kSegaSample) return;
        const int k = static_cast<std::uint8_t>(pending - 0x81);
        pending = 0;
        age = 0;
        if (k >= kSegaSample) {
            kind = kSegaSample;
            pitch = 0;
        } else if (k >= kDrumSampleCount) {
            kind = kNoSample;  // no sample there: silence
        } else {
            kind = k;
            pitch = k == 2 ? timpaniPitch : kDrumPitches[static_cast<std::size_t>(k)];
        }
    }

    // A frame's writes to the Z80, then the frame played.
    void play(const Frame& f) {
        for (const ChipWrite& w : f.writes) {
            if (w.port == ChipPort::Dac) pending = w.value;
            if (w.port != ChipPort::Z80) continue;
            if (w.address == kZ80TimpaniPitch) timpaniPitch = w.value;
            if (w.address == kZ80SampleRequest && (w.value & 0x80)) pending = w.value;
        }
        // The 68000 holds the Z80's bus: nothing moves until the next frame.
        if (f.z80HeldUntilNextFrame) return;
        startPending();
        std::uint64_t left = kFrameSamples;
        while (kind != kNoSample) {
            const std::uint64_t end = length();
            if (end >= age + left) {
                age += left;
                return;
            }
            const bool sega = !sonic2 && kind == kSegaSample;
            left = age + left - end;
            kind = kNoSample;
            // A request made while the SEGA voice played starts at its end.
            if (sega) startPending();
        }
    }
};

// The driver's state between frames as bytes (SongPlayer::State::saveState):
// eight for the tempo and the frame model, 51 for each track record, 13 for
// the Z80's sample.
constexpr std::size_t kTrackStateSize = 51;
constexpr std::size_t kStateSize = 8 + kRecords * kTrackStateSize + 13;
using StateBytes = std::array<std::uint8_t, kStateSize>;

std::uint64_t stateHash(const StateBytes& state) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < state.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, state.data() + i, std::min<std::size_t>(8, state.size() - i));
        h = (h ^ word) * 0x100000001B3ull;
        h ^= h >> 29;
    }
    return h;
}

}  // namespace

struct SongPlayer::State {
    Bytes song;
    PlayerOptions options;
    const DriverFacts* facts = &kSonic1Facts;
    // Sonic 2: the Z80 address of the song's first byte.
    std::uint32_t base = 0;
    std::uint32_t next = 0;
    bool ended = false;
    std::optional<std::string> error;
    std::vector<std::string> warnings;
    std::set<std::pair<int, std::string>> warned;  // track and what, said once

    std::int64_t voicePointer = 0;  // song offset of the voice table
    int fmCount = 0;
    std::uint8_t tempo = 0;
    std::uint8_t tempoCounter = 0;  // Sonic 2: the tempo accumulator
    // Sonic 2's frame model: the header and first update wait for the end of
    // the unpacking, and an interrupt running past a frame loses the next.
    bool loadPending = false;
    std::uint32_t loadStart = 0;   // cycles into its frame the unpacking ends
    std::uint32_t idleFrames = 0;  // coming frames without an update
    bool resetPending = false;
    std::array<Track, kRecords> tracks;
    std::optional<SongLoop> songLoop;  // the longest track's
    Z80Sample z80Sample;

    // The song's repeat: the state after each frame searched, by its hash.
    std::optional<SongLoop> stateLoop;
    std::unordered_map<std::uint64_t, std::uint32_t> statesSeen;

    // The frame being played.
    std::vector<ChipWrite>* out = nullptr;
    std::uint32_t frame = 0;
    int current = 0;  // record being updated
    std::uint32_t eventOffset = 0;

    bool sonic2() const { return options.placement.driver == SoundDriver::Sonic2; }
    void readHeader();
    void readSonic2Header();
    void startTrack(int record, std::int64_t offset, std::uint8_t div, std::uint8_t transpose, std::uint8_t volume);
    std::int64_t songOffset(std::uint32_t pointer) const { return std::int64_t{pointer} - base; }
    void playSonic2Frame(Frame& frame);
    void updateTracks(Frame& frame);
    void emitSonic2Silence();
    void emitHeaderWrites();
    std::uint32_t lostInterrupts(std::uint64_t cycles) const;
    // One frame: the driver's call, the Z80's sample, the search for the
    // repeat.
    void advance(Frame& frame);
    void playFrame(Frame& frame);
    StateBytes saveState() const;
    void searchRepeat();
    StateBytes stateAfter(std::uint32_t frame) const;
    void emitReset();
    void emitLoad();
    void fmSilence();
    void psgSilence();

    // Writes.
    void ym0(std::uint8_t reg, std::uint8_t value) { out->push_back({ChipPort::Ym0, reg, value}); }
    void ym1(std::uint8_t reg, std::uint8_t value) { out->push_back({ChipPort::Ym1, reg, value}); }
    void psg(std::uint8_t value) { out->push_back({ChipPort::Psg, 0, value}); }
    void z80(std::uint16_t address, std::uint8_t value) { out->push_back({ChipPort::Z80, address, value}); }
    void fmWrite(const Track& t, std::uint8_t reg, std::uint8_t value) {
        if (t.channel & 4)
            ym1(static_cast<std::uint8_t>(reg + (t.channel & 0xFB)), value);
        else
            ym0(static_cast<std::uint8_t>(reg + t.channel), value);
    }

    // "FM1 at offset 0012", and for Sonic 2 its Z80 address too.
    std::string place(std::uint32_t offset) const {
        std::string out = std::string(kRecordNames[current]) + " at offset " + hex(offset, 4);
        if (sonic2()) out += " (Z80 " + hex(base + offset, 4) + ")";
        return out;
    }
    [[noreturn]] void refuse(std::uint32_t offset, const std::string& what) const {
        throw Refusal{place(offset) + ": " + what};
    }
    // One warning for each track and thing played silent, at its first place.
    void warn(std::uint32_t offset, const std::string& what) {
        if (!warned.insert({current, what}).second) return;
        warnings.push_back(place(offset) + ": " + what);
    }

    // Song bytes.
    std::uint8_t fetch(Track& t);
    std::uint8_t peek(const Track& t) const;
    std::uint8_t songByte(std::uint32_t offset, std::uint32_t about) const;
    void jump(Track& t, bool isLoopJump);
    void jumpTo(Track& t, std::int64_t target, bool isLoopJump);
    std::uint8_t modByte(const Track& t, int k) const;
    std::uint8_t tlByte(const Track& t, int k) const;
    std::uint16_t psgPeriod(Track& t, int index);

    // Track updates.
    Outcome updateDac(Track& t);
    Outcome updateFm(Track& t);
    Outcome updatePsg(Track& t);
    Outcome readFlags(Track& t, std::uint8_t& event);
    Outcome readNote(Track& t);
    Outcome flag(Track& t, std::uint8_t code);
    void setPan(Track& t);
    void returnFromCall(Track& t);
    Outcome restoreSavedSong();
    void addVolumeAndSend(Track& t);
    void setEveryDivider(std::uint8_t divider);
    void setTempo(std::uint8_t value);
    Outcome stopAndReloadFm4Voice(Track& t);
    void startModulation(Track& t);
    void resumeModulation(Track& t);
    void setNoise(Track& t);
    void loopBack(Track& t);
    void callSubroutine(Track& t);
    void releaseFm1Operators2And4();
    Outcome stopTrack(Track& t);
    void setDuration(Track& t, std::uint8_t ticks);
    void finishRead(Track& t);
    bool noteFillStep(Track& t);
    std::optional<std::uint16_t> modulationStep(Track& t);
    void fmNoteOff(const Track& t);
    void fmSetFreq(Track& t, std::uint8_t note);
    void fmPrepareNote(Track& t);
    void fmNoteOn(const Track& t);
    void fmUpdateFreq(const Track& t, std::uint16_t word);
    void setVoice(Track& t);
    bool voiceMissing(const Track& t) const;
    void sendVoiceTl(Track& t);
    void psgNoteOff(const Track& t);
    void psgSetFreq(Track& t, std::uint8_t note);
    void psgUpdateFreq(const Track& t, std::uint16_t period);
    void psgVolumeStep(Track& t);
    void psgSetVolume(const Track& t, std::uint8_t v);
    void noteSongLoop();
};

void SongPlayer::State::startTrack(int record, std::int64_t offset, std::uint8_t div, std::uint8_t transpose,
                                   std::uint8_t volume) {
    if (offset < 0 || offset >= static_cast<std::int64_t>(song.size())) {
        const std::uint32_t pointer = static_cast<std::uint32_t>(offset + base) & 0xFFFF;
        throw Refusal{std::string("The song's header: the ") + kRecordNames[record] + " track's pointer " +
                      hex(pointer, 4) + " lies outside the song"};
    }
    Track& t = tracks[record];
    t.defined = true;
    t.playing = true;
    t.channel = kChannelBits[record];
    t.pos = static_cast<std::uint32_t>(offset);
    t.counter = 1;
    t.divider = div;
    t.transpose = transpose;
    t.volume = volume;
    t.pan = 0xC0;
    t.lastEvent = t.pos;
    t.stackPointer = facts->recordEnd;
}

void SongPlayer::State::readHeader() {
    facts = sonic2() ? &kSonic2Facts : &kSonic1Facts;
    if (sonic2()) {
        z80Sample.sonic2 = true;
        for (std::size_t k = 0; k < kSonic2SampleCount; ++k)
            z80Sample.sonic2Writes[k] = k < options.dacSampleWrites.size()
                                            ? options.dacSampleWrites[k]
                                            : static_cast<std::uint32_t>(2 * kSonic2SampleSizes[k]);
        for (std::size_t k = 0; k < kSonic2DacNotes.size(); ++k)
            z80Sample.sonic2Rates[k] = k < options.dacRates.size() ? options.dacRates[k] : kSonic2DacNotes[k].rate;
        readSonic2Header();
        return;
    }
    const auto refuseHeader = [](const std::string& what) { throw Refusal{"The song's header: " + what}; };
    if (song.size() > kMaxSongSize) throw Refusal{"The song is larger than 1 MiB: not a Sonic 1 song"};
    ByteReader reader(song);
    const auto voices = reader.u16be();
    const auto fm = reader.u8();
    const auto psgs = reader.u8();
    const auto div = reader.u8();
    const auto tempoByte = reader.u8();
    if (!tempoByte) refuseHeader("the song is shorter than its header");
    voicePointer = *voices;
    fmCount = *fm;
    if (fmCount < 1 || fmCount > 7)
        refuseHeader("the FM track count (DAC included) is " + std::to_string(fmCount) + ", not 1 to 7");
    if (*psgs > 3) refuseHeader("the PSG track count is " + std::to_string(*psgs) + ", not 0 to 3");
    tempo = *tempoByte;
    tempoCounter = tempo;
    for (int k = 0; k < fmCount; ++k) {
        const auto pointer = reader.u16be();
        const auto transpose = reader.u8();
        const auto volume = reader.u8();
        if (!volume) refuseHeader("the song is shorter than its header");
        startTrack(k, *pointer, *div, *transpose, *volume);
    }
    for (int k = 0; k < *psgs; ++k) {
        const auto pointer = reader.u16be();
        const auto transpose = reader.u8();
        const auto volume = reader.u8();
        const auto ignored = reader.u8();
        const auto envelope = reader.u8();
        if (!envelope || !ignored) refuseHeader("the song is shorter than its header");
        startTrack(kFirstPsg + k, *pointer, *div, *transpose, *volume);
        tracks[kFirstPsg + k].voice = *envelope;
    }
}

// Little-endian absolute pointers, for the song at its Z80 address: the
// decompression buffer (which it must fit) or the bank window.
void SongPlayer::State::readSonic2Header() {
    const auto refuseHeader = [](const std::string& what) { throw Refusal{"The song's header: " + what}; };
    base = options.placement.address;
    const std::uint64_t end = std::uint64_t{base} + song.size();
    const bool inBuffer = base == kSonic2MusicBuffer && song.size() <= kSonic2MusicBufferSize;
    const bool inWindow = base >= kZ80BankWindow && end <= 0x10000;
    if (!inBuffer && !inWindow)
        throw Refusal{"A Sonic 2 song of " + std::to_string(song.size()) + " bytes at Z80 address " + hex(base, 4) +
                      " lies outside both the driver's music buffer (1380, " +
                      std::to_string(kSonic2MusicBufferSize) + " bytes) and its bank window (8000-FFFF)"};
    ByteReader reader(song);
    const auto voices = reader.u16le();
    const auto fm = reader.u8();
    const auto psgs = reader.u8();
    const auto div = reader.u8();
    const auto tempoByte = reader.u8();
    if (!tempoByte) refuseHeader("the song is shorter than its header");
    voicePointer = songOffset(*voices);
    fmCount = *fm;
    if (fmCount > 7) refuseHeader("the FM track count (DAC included) is " + std::to_string(fmCount) + ", not 0 to 7");
    if (*psgs > 3) refuseHeader("the PSG track count is " + std::to_string(*psgs) + ", not 0 to 3");
    tempo = *tempoByte;
    tempoCounter = tempo;
    for (int k = 0; k < fmCount; ++k) {
        const auto pointer = reader.u16le();
        const auto transpose = reader.u8();
        const auto volume = reader.u8();
        if (!volume) refuseHeader("the song is shorter than its header");
        startTrack(k, songOffset(*pointer), *div, *transpose, *volume);
    }
    for (int k = 0; k < *psgs; ++k) {
        const auto pointer = reader.u16le();
        const auto transpose = reader.u8();
        const auto volume = reader.u8();
        const auto ignored = reader.u8();
        const auto envelope = reader.u8();
        if (!envelope || !ignored) refuseHeader("the song is shorter than its header");
        startTrack(kFirstPsg + k, songOffset(*pointer), *div, *transpose, *volume);
        tracks[kFirstPsg + k].voice = *envelope;
    }
}

void SongPlayer::State::fmSilence() {
    for (std::uint8_t key : kFmSilenceKeys) ym0(0x28, key);
    for (std::uint8_t o = 0; o < 3; ++o) {
        for (std::uint8_t reg : {0x40, 0x44, 0x48, 0x4C}) {
            ym0(static_cast<std::uint8_t>(reg + o), 0x7F);
            ym1(static_cast<std::uint8_t>(reg + o), 0x7F);
        }
    }
}

void SongPlayer::State::psgSilence() {
    for (std::uint8_t b : {0x9F, 0xBF, 0xDF, 0xFF}) psg(b);
}

// Sonic 2 silences by keying off and filling every operator register.
void SongPlayer::State::emitSonic2Silence() {
    for (std::uint8_t key : kFmSilenceKeys) ym0(0x28, key);
    for (int reg = 0x30; reg <= 0x8F; ++reg) {
        ym0(static_cast<std::uint8_t>(reg), 0xFF);
        ym1(static_cast<std::uint8_t>(reg), 0xFF);
    }
    psgSilence();
}

void SongPlayer::State::emitReset() {
    ym0(0x2B, 0x80);
    ym0(0x27, 0x00);
    if (sonic2()) {
        emitSonic2Silence();
        return;
    }
    fmSilence();
    psgSilence();
}

void SongPlayer::State::emitLoad() {
    fmSilence();
    psgSilence();
    emitHeaderWrites();
}

// The DAC's channel (or FM6's, for seven tracks) and every channel keyed off.
void SongPlayer::State::emitHeaderWrites() {
    const std::uint8_t off = sonic2() ? 0xFF : 0x7F;
    if (fmCount == 7) {
        ym0(0x2B, 0x00);
    } else if (fmCount > 0) {
        ym0(0x28, 0x06);
        for (std::uint8_t tl : facts->tlRegisters) ym1(static_cast<std::uint8_t>(tl + 2), off);
        ym1(0xB6, 0xC0);
        if (sonic2()) ym0(0x2B, 0x80);
    }
    for (int k = 1; k <= 6; ++k) ym0(0x28, tracks[k].channel);
    for (int k = kFirstPsg; k < kRecords; ++k) psg(static_cast<std::uint8_t>(tracks[k].channel | 0x1F));
}

// ---- song bytes ----

std::uint8_t SongPlayer::State::fetch(Track& t) {
    if (t.pos >= song.size()) refuse(t.pos, "the track runs past the end of the song");
    if (t.firstRead.empty()) t.firstRead.assign(song.size(), 0);
    if (t.firstRead[t.pos] == 0) t.firstRead[t.pos] = frame + 1;
    return song[t.pos++];
}

std::uint8_t SongPlayer::State::peek(const Track& t) const {
    if (t.pos >= song.size()) refuse(t.pos, "the track runs past the end of the song");
    return song[t.pos];
}

std::uint8_t SongPlayer::State::songByte(std::uint32_t offset, std::uint32_t about) const {
    if (offset >= song.size()) refuse(about, "reads outside the song (offset " + hex(offset, 4) + ")");
    return song[offset];
}

// F6-style jump: Sonic 1 reads hh ll at the cursor, target = address of hh +
// 1 + signed hhll; Sonic 2 reads ll hh, an absolute address.
void SongPlayer::State::jump(Track& t, bool isLoopJump) {
    const std::uint32_t at = t.pos;
    const std::uint8_t first = fetch(t);
    const std::uint8_t second = fetch(t);
    if (sonic2()) {
        jumpTo(t, songOffset(static_cast<std::uint32_t>(first | (second << 8))), isLoopJump);
        return;
    }
    const auto offset = static_cast<std::int16_t>(static_cast<std::uint16_t>((first << 8) | second));
    jumpTo(t, static_cast<std::int64_t>(at) + 1 + offset, isLoopJump);
}

void SongPlayer::State::jumpTo(Track& t, std::int64_t target, bool isLoopJump) {
    if (target < 0 || target >= static_cast<std::int64_t>(song.size()))
        refuse(eventOffset, "jumps outside the song");
    t.pos = static_cast<std::uint32_t>(target);
    // A jump back to bytes first read in this same frame repeats flags within
    // one driver call: no frame has passed, so it is not yet the song's loop.
    if (isLoopJump && !t.loop && t.firstRead[t.pos] != 0 && t.firstRead[t.pos] - 1 < frame) {
        const std::uint32_t start = t.firstRead[t.pos] - 1;
        t.loop = SongLoop{start, frame - start};
    }
}

// ---- frame ----

void SongPlayer::State::advance(Frame& f) {
    playFrame(f);
    z80Sample.play(f);
    if (!ended && !stateLoop && f.index < options.loopSearchFrames) searchRepeat();
}

// Everything the driver (and the Z80) carries from one frame to the next:
// equal bytes, equal frames from here on.
StateBytes SongPlayer::State::saveState() const {
    StateBytes out{};
    std::size_t at = 0;
    const auto put = [&out, &at](std::uint64_t value, int bytes) {
        for (int k = 0; k < bytes; ++k) out[at++] = static_cast<std::uint8_t>(value >> (8 * k));
    };
    put(tempo, 1);
    put(tempoCounter, 1);
    put(resetPending, 1);
    put(loadPending, 1);
    put(idleFrames, 4);
    for (const Track& t : tracks) {
        put(t.defined, 1);
        put(t.playing, 1);
        put(t.channel, 1);
        put(t.pos, 4);
        // Stalls count on in every record; a stopped track's counter is
        // never read again.
        put(t.playing ? t.counter : 0, 1);
        put(t.savedDuration, 1);
        put(t.divider, 1);
        put(t.transpose, 1);
        put(t.volume, 1);
        put(t.pan, 1);
        put(t.voice, 1);
        put(t.voiceLost, 1);
        put(t.algorithm, 1);
        put(t.envelopePos, 1);
        put(t.detune, 1);
        put(t.freq, 2);
        put(t.savedSample, 1);
        put(t.rest, 1);
        put(t.noAttack, 1);
        put(t.noteFill, 1);
        put(t.noteFillMaster, 1);
        put(t.modulating, 1);
        put(t.modParams.has_value(), 1);
        put(t.modParams.value_or(0), 4);
        put(t.modWait, 1);
        put(t.modSpeed, 1);
        put(t.modDelta, 1);
        put(t.modSteps, 1);
        put(t.modOffset, 2);
        put(t.hasVoice, 1);
        put(t.stackPointer, 1);
        for (std::uint8_t b : t.record) put(b, 1);
    }
    const Z80Sample& z = z80Sample;
    put(z.timpaniPitch, 1);
    put(z.pending, 1);
    put(static_cast<std::uint64_t>(z.kind + 1), 1);
    put(z.kind == kNoSample ? 0 : static_cast<std::uint64_t>(z.pitch), 2);
    put(z.kind == kNoSample ? 0 : z.age, 8);
    assert(at == kStateSize);
    return out;
}

void SongPlayer::State::searchRepeat() {
    const StateBytes state = saveState();
    const auto [seen, added] = statesSeen.try_emplace(stateHash(state), frame);
    if (added) return;
    const std::uint32_t earlier = seen->second;
    // Equal hashes: the states themselves are compared (played again).
    if (stateAfter(earlier) != state) return;
    stateLoop = SongLoop{earlier + 1, frame - earlier};
    statesSeen = {};
}

StateBytes SongPlayer::State::stateAfter(std::uint32_t last) const {
    State again;
    again.song = song;
    again.options = options;
    again.options.loopSearchFrames = 0;
    again.readHeader();
    Frame f;
    for (std::uint32_t k = 0; k <= last; ++k) {
        f.writes.clear();
        f.z80HeldUntilNextFrame = false;
        f.updateAt.reset();
        f.index = k;
        again.advance(f);
    }
    return again.saveState();
}

void SongPlayer::State::playFrame(Frame& f) {
    out = &f.writes;
    frame = f.index;
    if (sonic2()) {
        playSonic2Frame(f);
        return;
    }
    if (frame == 0) {
        if (options.emitReset) emitReset();
        emitLoad();
        f.z80HeldUntilNextFrame = true;
        return;
    }
    if (resetPending) {
        emitReset();
        resetPending = false;
        ended = true;
        return;
    }
    f.updateAt = f.writes.size();
    if (--tempoCounter == 0) {
        tempoCounter = tempo;
        for (Track& t : tracks) ++t.counter;
    }
    updateTracks(f);
}

// Every track in the driver's order, then whether the song is over.
void SongPlayer::State::updateTracks(Frame& f) {
    for (current = 0; current < kRecords; ++current) {
        Track& t = tracks[current];
        if (!t.playing) continue;
        Outcome outcome = Outcome::Continue;
        if (current == kDac)
            outcome = updateDac(t);
        else if (current < kFirstPsg)
            outcome = updateFm(t);
        else
            outcome = updatePsg(t);
        if (outcome == Outcome::CallEnded) {
            f.z80HeldUntilNextFrame = true;
            break;
        }
    }
    noteSongLoop();
    if (!resetPending && std::none_of(tracks.begin(), tracks.end(), [](const Track& t) { return t.playing; }))
        ended = true;
}

// The INTs lost after an interrupt that ran `cycles` from its frame's start:
// one is taken only while its line is held.
std::uint32_t SongPlayer::State::lostInterrupts(std::uint64_t cycles) const {
    if (cycles < kFrameCycles + kIntHoldCycles) return 0;
    return static_cast<std::uint32_t>((cycles - kIntHoldCycles) / kFrameCycles);
}

// Sonic 2: the load clears the chips in frame 0 and unpacks the song; the
// header and the first update follow in the frame the unpacking ends in. The
// tempo accumulator's carry makes a tick; without one every track's counter
// is held back. An update of many writes loses the next interrupt.
void SongPlayer::State::playSonic2Frame(Frame& f) {
    if (frame == 0) {
        if (options.emitReset) emitReset();
        emitSonic2Silence();
        const std::uint64_t unpack =
            options.placement.unpackCycles.value_or(base == kSonic2MusicBuffer ? kLiteralCycles * song.size() : 0);
        const std::uint64_t headerAt = kLoadClearCycles + unpack;
        loadPending = true;
        idleFrames = static_cast<std::uint32_t>(headerAt / kFrameCycles);
        loadStart = static_cast<std::uint32_t>(headerAt % kFrameCycles);
        if (idleFrames > 0) {
            --idleFrames;
            return;
        }
    } else if (idleFrames > 0) {
        --idleFrames;
        return;
    }
    std::uint64_t cycles = kUpdateCycles;
    if (loadPending) {
        loadPending = false;
        emitHeaderWrites();
        cycles = std::uint64_t{loadStart} + kHeaderCycles;
    }
    f.updateAt = f.writes.size();
    const unsigned sum = unsigned{tempoCounter} + tempo;
    tempoCounter = static_cast<std::uint8_t>(sum);
    if (sum < 0x100)
        for (Track& t : tracks) ++t.counter;
    updateTracks(f);
    const auto written = std::count_if(f.writes.begin() + static_cast<std::ptrdiff_t>(*f.updateAt), f.writes.end(),
                                       [](const ChipWrite& w) { return w.port != ChipPort::Dac; });
    idleFrames = lostInterrupts(cycles + kWriteCycles * static_cast<std::uint64_t>(written));
}

void SongPlayer::State::noteSongLoop() {
    if (songLoop) return;
    const Track* longest = nullptr;
    for (const Track& t : tracks) {
        if (!t.playing) continue;
        if (!t.loop) return;
        if (!longest || t.loop->lengthFrames > longest->loop->lengthFrames ||
            (t.loop->lengthFrames == longest->loop->lengthFrames && t.loop->startFrame > longest->loop->startFrame))
            longest = &t;
    }
    if (longest) songLoop = longest->loop;
}

// Flags up to the next note, rest or duration byte, which is left in `event`.
Outcome SongPlayer::State::readFlags(Track& t, std::uint8_t& event) {
    for (std::uint32_t flags = 0;; ++flags) {
        if (flags == kMaxFlagsPerRead)
            refuse(t.pos, "more than " + std::to_string(kMaxFlagsPerRead) +
                              " flags without a note or a duration: the driver would not finish its frame");
        eventOffset = t.pos;
        const std::uint8_t b = fetch(t);
        if (b < 0xE0) {
            event = b;
            t.lastEvent = eventOffset;
            return Outcome::Continue;
        }
        const Outcome outcome = flag(t, b);
        if (outcome != Outcome::Continue) return outcome;
    }
}

void SongPlayer::State::setDuration(Track& t, std::uint8_t ticks) {
    t.savedDuration = static_cast<std::uint8_t>(ticks * t.divider);
    t.counter = t.savedDuration;
}

void SongPlayer::State::finishRead(Track& t) {
    t.counter = t.savedDuration;
    if (t.noAttack) return;
    t.noteFill = t.noteFillMaster;
    t.envelopePos = 0;
    if (t.modulating) {
        t.modWait = modByte(t, 0);
        t.modSpeed = modByte(t, 1);
        t.modDelta = modByte(t, 2);
        t.modSteps = modByte(t, 3) >> 1;
        t.modOffset = 0;
    }
}

// The last F0's parameter k, or the driver's own bytes after an F1 without
// one.
std::uint8_t SongPlayer::State::modByte(const Track& t, int k) const {
    if (*t.modParams == kDriverBytes) return kZ80Start[k];
    return song[*t.modParams + static_cast<std::uint32_t>(k)];
}

// Note fill timer of a frame without a read; true when it cut the note,
// which ends the track's update for this frame.
bool SongPlayer::State::noteFillStep(Track& t) {
    if (t.noteFill == 0) return false;
    if (--t.noteFill != 0) return false;
    t.rest = true;
    if (t.isPsg())
        psgNoteOff(t);
    else
        fmNoteOff(t);
    return true;
}

// One modulation step; the word or period to write when the pitch moved.
// Sonic 1 steps on through rests (FM writing on); Sonic 2 not at all.
std::optional<std::uint16_t> SongPlayer::State::modulationStep(Track& t) {
    if (!t.modulating || (sonic2() && t.rest)) return std::nullopt;
    if (t.modWait != 0) {
        --t.modWait;
        return std::nullopt;
    }
    if (--t.modSpeed != 0) return std::nullopt;
    t.modSpeed = modByte(t, 1);
    if (t.modSteps == 0) {
        t.modSteps = modByte(t, 3);
        t.modDelta = static_cast<std::uint8_t>(-t.modDelta);
        return std::nullopt;
    }
    --t.modSteps;
    t.modOffset = static_cast<std::uint16_t>(t.modOffset + static_cast<std::int8_t>(t.modDelta));
    return static_cast<std::uint16_t>(t.modOffset + t.freq);
}

// F2. Sonic 1's DAC track ends the whole frame's update with it; Sonic 2's
// only itself, without a write.
Outcome SongPlayer::State::stopTrack(Track& t) {
    t.playing = false;
    t.noAttack = false;
    if (current == kDac) return sonic2() ? Outcome::TrackStopped : Outcome::CallEnded;
    if (t.isPsg())
        psgNoteOff(t);
    else
        fmNoteOff(t);
    return Outcome::TrackStopped;
}

// ---- flags ----

// One coordination flag, E0 to F9: the one-byte settings are done here,
// every flag with more to it has a step of its own below.
Outcome SongPlayer::State::flag(Track& t, std::uint8_t code) {
    if (sonic2()) {
        switch (code) {
        case 0xE4: refuse(eventOffset, "E4 restores a song the 1-up jingle saved: undefined in a song");
        case 0xED: fetch(t); return Outcome::Continue;  // does nothing, but eats a byte
        case 0xEE: return Outcome::Continue;
        case 0xFA: setPan(t); return Outcome::Continue;
        case 0xEF:
            if (t.isPsg()) refuse(eventOffset, "EF (voice) on a PSG track loads a voice onto FM1");
            break;
        default: break;
        }
    }
    switch (code) {
    case 0xE0: setPan(t); return Outcome::Continue;
    case 0xE1: t.detune = fetch(t); return Outcome::Continue;
    case 0xE2: fetch(t); return Outcome::Continue;  // a byte for the game
    case 0xE3: returnFromCall(t); return Outcome::Continue;
    case 0xE4: return restoreSavedSong();
    case 0xE5: t.divider = fetch(t); return Outcome::Continue;
    case 0xE6: addVolumeAndSend(t); return Outcome::Continue;
    case 0xE7: t.noAttack = true; return Outcome::Continue;
    case 0xE8: t.noteFill = t.noteFillMaster = fetch(t); return Outcome::Continue;
    case 0xE9: t.transpose = static_cast<std::uint8_t>(t.transpose + fetch(t)); return Outcome::Continue;
    case 0xEA: setTempo(fetch(t)); return Outcome::Continue;
    case 0xEB: setEveryDivider(fetch(t)); return Outcome::Continue;
    case 0xEC: t.volume = static_cast<std::uint8_t>(t.volume + fetch(t)); return Outcome::Continue;
    case 0xED: return Outcome::Continue;  // a game flag
    case 0xEE: return stopAndReloadFm4Voice(t);
    case 0xEF: t.voice = fetch(t); setVoice(t); return Outcome::Continue;
    case 0xF0: startModulation(t); return Outcome::Continue;
    case 0xF1: resumeModulation(t); return Outcome::Continue;
    case 0xF2: return stopTrack(t);
    case 0xF3: setNoise(t); return Outcome::Continue;
    case 0xF4: t.modulating = false; return Outcome::Continue;
    case 0xF5: t.voice = fetch(t); return Outcome::Continue;
    case 0xF6: jump(t, true); return Outcome::Continue;
    case 0xF7: loopBack(t); return Outcome::Continue;
    case 0xF8: callSubroutine(t); return Outcome::Continue;
    case 0xF9: releaseFm1Operators2And4(); return Outcome::Continue;
    default: refuse(eventOffset, "flag " + hex(code, 2) + " is undefined");
    }
}

// E0: pan, AMS and FMS; a PSG track reads the byte and does nothing.
void SongPlayer::State::setPan(Track& t) {
    const std::uint8_t pp = fetch(t);
    if (t.isPsg()) return;
    t.pan = static_cast<std::uint8_t>((t.pan & 0x37) | pp);
    fmWrite(t, 0xB4, t.pan);
}

// E3: back to the address the last call saved on the track's stack.
void SongPlayer::State::returnFromCall(Track& t) {
    const std::uint8_t sp = t.stackPointer;
    if (sp >= facts->recordEnd) refuse(eventOffset, "return (E3) without a call");
    const std::size_t at = sp - facts->loopCounters;
    t.stackPointer = static_cast<std::uint8_t>(sp + facts->returnBytes);
    if (sonic2()) {
        // The address after the call's pointer, little-endian.
        jumpTo(t, songOffset(static_cast<std::uint32_t>(t.record[at] | (t.record[at + 1] << 8))), false);
        return;
    }
    std::uint32_t saved = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        auto& b = t.record[at + k];
        saved = (saved << 8) | b;
        b = 0;
    }
    // The 68000 ignores an address's top byte, which loop counters 8
    // and up share with the first return entry.
    saved &= 0x00FFFFFF;
    if (saved > song.size()) refuse(eventOffset, "returns to an address outside the song");
    t.pos = saved + 2;
}

// E4: restore the saved song; none is saved, so every track goes.
Outcome SongPlayer::State::restoreSavedSong() {
    if (current != kDac) refuse(eventOffset, "E4 is undefined off the DAC track");
    for (Track& other : tracks) other.playing = false;
    resetPending = true;
    return Outcome::CallEnded;
}

// E6: the volume changes and the voice's total levels are sent again.
// Sonic 2 changes a PSG track's volume without a write.
void SongPlayer::State::addVolumeAndSend(Track& t) {
    t.volume = static_cast<std::uint8_t>(t.volume + fetch(t));
    if (sonic2() && t.isPsg()) return;
    sendVoiceTl(t);
}

// EA: Sonic 1 restarts its countdown; Sonic 2's accumulator goes on.
void SongPlayer::State::setTempo(std::uint8_t value) {
    tempo = value;
    if (!sonic2()) tempoCounter = value;
}

// EB: one tempo divider for every track.
void SongPlayer::State::setEveryDivider(std::uint8_t divider) {
    for (Track& other : tracks) other.divider = divider;
}

// EE: the track stops, and FM4's voice is loaded again.
Outcome SongPlayer::State::stopAndReloadFm4Voice(Track& t) {
    const Outcome outcome = stopTrack(t);
    Track& fm4 = tracks[kFm4];
    fm4.rest = true;
    setVoice(fm4);
    return outcome;
}

// F0: modulation from the four bytes that follow, which F1 and every
// note's attack read again.
// Sonic 2 keeps the running offset for a note tied on by E7.
void SongPlayer::State::startModulation(Track& t) {
    t.modulating = true;
    t.modParams = t.pos;
    t.modWait = fetch(t);
    t.modSpeed = fetch(t);
    t.modDelta = fetch(t);
    t.modSteps = fetch(t) >> 1;
    if (!(sonic2() && t.noAttack)) t.modOffset = 0;
}

// F1: modulation on again with the last F0's bytes; before any, Sonic 2
// reads its own first bytes as them.
void SongPlayer::State::resumeModulation(Track& t) {
    if (!t.modParams && sonic2()) t.modParams = kDriverBytes;
    if (!t.modParams) refuse(eventOffset, "F1 without an F0 before it reads modulation from outside the song");
    t.modulating = true;
}

// F3: the PSG track plays the noise channel in the mode that follows.
void SongPlayer::State::setNoise(Track& t) {
    if (!t.isPsg()) refuse(eventOffset, "F3 (noise) is undefined off a PSG track");
    t.channel = kNoiseBits;
    t.algorithm = fetch(t);
    psg(t.algorithm);
}

// F7: jump back until the loop counter runs out, then go past the pointer.
void SongPlayer::State::loopBack(Track& t) {
    const std::uint8_t index = fetch(t);
    const std::uint8_t passes = fetch(t);
    if (index >= facts->recordEnd - facts->loopCounters)
        refuse(eventOffset, "loop counter " + hex(index, 2) + " lies outside the track's record");
    auto& counter = t.record[index];
    if (counter == 0) counter = passes;
    if (--counter != 0) {
        jump(t, false);
    } else {
        t.pos += 2;
    }
}

// F8: the address after the pointer goes on the track's stack, then the jump.
void SongPlayer::State::callSubroutine(Track& t) {
    static constexpr const char* kDepths[] = {"zero", "one", "two", "three", "four", "five"};
    const int depth = (facts->recordEnd - facts->loopCounters) / facts->returnBytes;
    if (t.stackPointer < facts->loopCounters + facts->returnBytes)
        refuse(eventOffset, std::string("calls nested more than ") + kDepths[depth] + " deep");
    const std::uint8_t sp = static_cast<std::uint8_t>(t.stackPointer - facts->returnBytes);
    const std::size_t at = sp - facts->loopCounters;
    if (sonic2()) {
        const std::uint32_t back = base + t.pos + 2;
        t.record[at] = static_cast<std::uint8_t>(back);
        t.record[at + 1] = static_cast<std::uint8_t>(back >> 8);
    } else {
        for (std::size_t k = 0; k < 4; ++k) t.record[at + k] = static_cast<std::uint8_t>(t.pos >> (8 * (3 - k)));
    }
    t.stackPointer = sp;
    jump(t, false);
}

// F9: FM1 operators 2 and 4 get D1L 0 and RR F, whoever reads it.
void SongPlayer::State::releaseFm1Operators2And4() {
    ym0(0x88, 0x0F);
    ym0(0x8C, 0x0F);
}

bool SongPlayer::State::voiceMissing(const Track& t) const {
    return voicePointer < 0 ||
           static_cast<std::size_t>(voicePointer) + kVoiceSize * t.voice + kVoiceSize > song.size();
}

void SongPlayer::State::setVoice(Track& t) {
    const std::size_t start = static_cast<std::size_t>(voicePointer) + kVoiceSize * t.voice;
    t.voiceLost = voiceMissing(t);
    if (t.voiceLost) {
        // Whatever follows the song would load as a voice: none is heard.
        warn(eventOffset, "voice " + hex(t.voice, 2) +
                              " lies outside the song: the channel plays silent until its next voice");
        ym0(0x28, t.channel);
        return;
    }
    const std::uint8_t* v = song.data() + start;
    t.algorithm = v[0];
    t.hasVoice = true;
    fmWrite(t, 0xB0, v[0]);
    for (std::size_t k = 0; k < 20; ++k) fmWrite(t, facts->voiceRegisters[k], v[1 + k]);
    // Sonic 2 sets the pan before the levels.
    if (sonic2()) fmWrite(t, 0xB4, t.pan);
    const std::uint8_t carriers = facts->carrierMask[v[0] & 7];
    for (std::size_t k = 0; k < 4; ++k) {
        std::uint8_t tl = v[21 + k];
        if (carriers & (1 << k)) tl = static_cast<std::uint8_t>(tl + t.volume);
        fmWrite(t, facts->tlRegisters[k], tl);
    }
    if (!sonic2()) fmWrite(t, 0xB4, t.pan);
}

// The carriers' TL again after a volume change. On a PSG track the driver
// runs the same code with the envelope number as the voice and the noise
// byte as the algorithm, writing whatever registers that gives.
//
// Sonic 2 rewrites all four levels, the carriers' plus the volume in 8 bits.
void SongPlayer::State::sendVoiceTl(Track& t) {
    if (t.volume & 0x80) return;
    // A channel without its voice stays silent.
    if (!t.isPsg() && t.voiceLost) return;
    const std::uint8_t carriers = facts->carrierMask[t.algorithm & 7];
    for (int k = 0; k < 4; ++k) {
        const bool carrier = carriers & (1 << k);
        if (!carrier && !sonic2()) continue;
        const unsigned sum = tlByte(t, k) + (carrier ? t.volume : 0u);
        if (sum > 0xFF && !sonic2()) continue;
        fmWrite(t, facts->tlRegisters[static_cast<std::size_t>(k)], static_cast<std::uint8_t>(sum));
    }
}

// TL byte k of the track's voice; before Sonic 2 loads one, the driver's own
// first bytes.
std::uint8_t SongPlayer::State::tlByte(const Track& t, int k) const {
    if (sonic2() && !t.hasVoice) return kZ80Start[k];
    const std::int64_t at = voicePointer + static_cast<std::int64_t>(kVoiceSize * t.voice) + 21 + k;
    if (at < 0) refuse(eventOffset, "reads outside the song (voice table before the song)");
    return songByte(static_cast<std::uint32_t>(at), eventOffset);
}

// ---- DAC ----

Outcome SongPlayer::State::updateDac(Track& t) {
    if (--t.counter != 0) return Outcome::Continue;
    std::uint8_t event = 0;
    const Outcome outcome = readFlags(t, event);
    if (outcome != Outcome::Continue) return outcome;
    const std::uint32_t noteAt = eventOffset;
    if (event & 0x80) {
        t.savedSample = event;
        if (peek(t) & 0x80)
            t.counter = t.savedDuration;
        else
            setDuration(t, fetch(t));
    } else {
        setDuration(t, event);
    }
    const std::uint8_t sample = t.savedSample;
    if (sample == 0x80) return Outcome::Continue;
    if (sonic2()) {
        // A duration before any drum repeats none.
        if (sample < kSonic2FirstDacNote) return Outcome::Continue;
        if (sample >= kSonic2FirstDacNote + kSonic2DacNotes.size())
            warn(noteAt, "DAC note " + hex(sample, 2) + " lies past the driver's 17 drums: played silent");
        else
            out->push_back({ChipPort::Dac, 0, sample});
        return Outcome::Continue;
    }
    if (!(sample & 0x08)) {
        z80(kZ80SampleRequest, sample);
        return Outcome::Continue;
    }
    if (sample < 0x88 || sample > 0x8D) {
        warn(noteAt, "DAC note " + hex(sample, 2) + " takes its pitch from outside the driver's table: played silent");
        return Outcome::Continue;
    }
    z80(kZ80TimpaniPitch, kTimpaniPitches[sample - 0x88]);
    z80(kZ80SampleRequest, 0x83);
    return Outcome::Continue;
}

// ---- FM and PSG ----

// The FM and PSG routines read their next note alike: the flags, the FM
// key-off, then a note (and its duration, unless a note follows) or a
// duration alone.
Outcome SongPlayer::State::readNote(Track& t) {
    t.noAttack = false;
    t.rest = false;
    std::uint8_t event = 0;
    const Outcome outcome = readFlags(t, event);
    if (outcome != Outcome::Continue) return outcome;
    if (!t.isPsg()) fmNoteOff(t);
    if (event & 0x80) {
        if (t.isPsg())
            psgSetFreq(t, event);
        else
            fmSetFreq(t, event);
        if (!(peek(t) & 0x80)) setDuration(t, fetch(t));
    } else {
        setDuration(t, event);
    }
    finishRead(t);
    return Outcome::Continue;
}

// ---- FM ----

void SongPlayer::State::fmNoteOff(const Track& t) {
    if (t.noAttack) return;
    ym0(0x28, t.channel);
}

void SongPlayer::State::fmSetFreq(Track& t, std::uint8_t note) {
    if (note == 0x80) {
        t.rest = true;
        t.freq = 0;
        return;
    }
    const int index = (note - 0x80 + t.transpose) & 0x7F;
    if (index >= kFmTableSize && sonic2()) {
        // Past its table Sonic 2 reads its own code bytes as the word.
        t.freq = kSonic2FmPastTable[index - kFmTableSize];
        warn(eventOffset, "FM note " + hex(note, 2) + " gives pitch index " + hex(static_cast<unsigned>(index), 2) +
                              ", past the driver's table: it plays the driver's bytes there, word " +
                              hex(t.freq, 4));
        return;
    }
    if (index >= kFmTableSize) {
        // Past the table the driver reads its own program bytes: no note.
        warn(eventOffset, "FM note " + hex(note, 2) + " gives pitch index " + hex(index, 2) +
                              ", past the driver's table: played silent");
        t.freq = 0;
        // After E7 the driver writes no key-off; the note before must not
        // ring on in its place.
        if (t.noAttack) ym0(0x28, t.channel);
        return;
    }
    t.freq = static_cast<std::uint16_t>((index / 12) * 0x800 + kFmNotes[index % 12]);
}

void SongPlayer::State::fmPrepareNote(Track& t) {
    if (t.rest) return;
    if (t.freq == 0) {
        t.rest = true;
        return;
    }
    fmUpdateFreq(t, t.freq);
}

void SongPlayer::State::fmUpdateFreq(const Track& t, std::uint16_t word) {
    word = static_cast<std::uint16_t>(word + static_cast<std::int8_t>(t.detune));
    fmWrite(t, 0xA4, static_cast<std::uint8_t>(word >> 8));
    fmWrite(t, 0xA0, static_cast<std::uint8_t>(word));
}

void SongPlayer::State::fmNoteOn(const Track& t) {
    if (t.rest || t.voiceLost) return;
    ym0(0x28, static_cast<std::uint8_t>(t.channel | 0xF0));
}

Outcome SongPlayer::State::updateFm(Track& t) {
    if (--t.counter != 0) {
        if (noteFillStep(t)) return Outcome::Continue;
        if (const auto word = modulationStep(t)) fmUpdateFreq(t, *word);
        return Outcome::Continue;
    }
    if (const Outcome outcome = readNote(t); outcome != Outcome::Continue) return outcome;
    fmPrepareNote(t);
    fmNoteOn(t);
    // Sonic 2 steps the modulation in the read's own update too.
    if (sonic2())
        if (const auto word = modulationStep(t)) fmUpdateFreq(t, *word);
    return Outcome::Continue;
}

// ---- PSG ----

void SongPlayer::State::psgNoteOff(const Track& t) { psg(static_cast<std::uint8_t>(t.channel | 0x1F)); }

void SongPlayer::State::psgSetFreq(Track& t, std::uint8_t note) {
    if (note == 0x80) {
        t.rest = true;
        t.freq = 0xFFFF;
        psgNoteOff(t);
        return;
    }
    const int index = (note - 0x81 + t.transpose) & 0x7F;
    if (index < 0x46) {
        t.freq = kPsgPeriods[index];
        return;
    }
    if (sonic2()) {
        // Past its table Sonic 2 reads its own code bytes; a word with bit 15
        // set plays as a rest that writes nothing.
        t.freq = kSonic2PsgPastTable[index - 0x46];
        warn(eventOffset, "PSG note " + hex(note, 2) + " gives pitch index " + hex(static_cast<unsigned>(index), 2) +
                              ", past the driver's table: it plays the driver's bytes there, word " +
                              hex(t.freq, 4));
        return;
    }
    for (const PsgExtra& extra : kPsgExtras) {
        if (extra.index == index) {
            t.freq = extra.word;
            return;
        }
    }
    // Past the table the driver reads its own program bytes: no note.
    warn(eventOffset, "PSG note " + hex(note, 2) + " gives pitch index " + hex(index, 2) +
                          ", past the driver's table: played silent");
    t.rest = true;
    t.freq = 0xFFFF;
    psgNoteOff(t);
}

void SongPlayer::State::psgUpdateFreq(const Track& t, std::uint16_t period) {
    period = static_cast<std::uint16_t>(period + static_cast<std::int8_t>(t.detune));
    if (t.rest) return;
    const std::uint8_t bits = t.channel == kNoiseBits ? 0xC0 : t.channel;
    psg(static_cast<std::uint8_t>(bits | (period & 0x0F)));
    psg(static_cast<std::uint8_t>((period >> 4) & 0x3F));
}

// One step of the volume: the envelope's next byte added to the volume, or
// the volume alone without an envelope.
void SongPlayer::State::psgVolumeStep(Track& t) {
    std::uint8_t v = t.volume;
    if (t.voice != 0) {
        if (t.voice > facts->envelopes) {
            // The driver reads a pointer from past its table: the attack
            // silences the channel and the steps write nothing.
            if (t.envelopePos != 0) return;
            warn(t.lastEvent, "PSG envelope " + hex(t.voice, 2) + " is undefined: played silent");
            t.envelopePos = 1;
            psgSetVolume(t, 0x0F);
            return;
        }
        const auto& envelope = options.psgEnvelopes[t.voice - 1];
        // An envelope not at hand plays flat: the volume, from a position
        // that does not move.
        if (!envelope) {
            psgSetVolume(t, t.volume >= 0x10 ? 0x0F : t.volume);
            return;
        }
        if (t.envelopePos >= envelope->size())
            refuse(eventOffset, "PSG envelope " + std::to_string(t.voice) + " is read past its end");
        const std::uint8_t x = (*envelope)[t.envelopePos];
        ++t.envelopePos;
        if (x == 0x80) {
            --t.envelopePos;
            return;
        }
        v = static_cast<std::uint8_t>(t.volume + x);
        if (v >= 0x10) v = 0x0F;
    }
    // Sonic 2 clamps the volume alone too; Sonic 1 lets it spill.
    if (sonic2() && v >= 0x10) v = 0x0F;
    psgSetVolume(t, v);
}

void SongPlayer::State::psgSetVolume(const Track& t, std::uint8_t v) {
    if (t.rest) return;
    // After a note fill cut an E7 note stays silent until the next attack.
    if (t.noAttack && t.noteFillMaster != 0 && t.noteFill == 0) return;
    psg(static_cast<std::uint8_t>((v | t.channel) + 0x10));
}

Outcome SongPlayer::State::updatePsg(Track& t) {
    if (--t.counter != 0) {
        if (noteFillStep(t)) return Outcome::Continue;
        if (t.voice != 0) psgVolumeStep(t);
        if (const auto period = modulationStep(t)) psgUpdateFreq(t, *period);
        return Outcome::Continue;
    }
    if (const Outcome outcome = readNote(t); outcome != Outcome::Continue) return outcome;
    if (t.freq & 0x8000)
        t.rest = true;
    else
        psgUpdateFreq(t, t.freq);
    psgVolumeStep(t);
    if (sonic2())
        if (const auto period = modulationStep(t)) psgUpdateFreq(t, *period);
    return Outcome::Continue;
}

// ---- the player ----

SongPlayer::SongPlayer(std::span<const std::uint8_t> song, PlayerOptions options)
    : state_(std::make_unique<State>()) {
    state_->song.assign(song.begin(), song.end());
    state_->options = std::move(options);
    try {
        state_->readHeader();
    } catch (const Refusal& refusal) {
        state_->error = refusal.message;
    }
}

SongPlayer::~SongPlayer() = default;
SongPlayer::SongPlayer(const SongPlayer& other) : state_(std::make_unique<State>(*other.state_)) {}
SongPlayer& SongPlayer::operator=(const SongPlayer& other) {
    if (this != &other) state_ = std::make_unique<State>(*other.state_);
    return *this;
}
SongPlayer::SongPlayer(SongPlayer&&) noexcept = default;
SongPlayer& SongPlayer::operator=(SongPlayer&&) noexcept = default;

bool SongPlayer::step(Frame& frame) {
    frame.writes.clear();
    frame.z80HeldUntilNextFrame = false;
    frame.updateAt.reset();
    State& s = *state_;
    if (s.ended || s.error) return false;
    frame.index = s.next++;
    try {
        s.advance(frame);
    } catch (const Refusal& refusal) {
        s.error = refusal.message;
        return false;
    }
    return true;
}

std::uint32_t SongPlayer::nextFrame() const { return state_->next; }
bool SongPlayer::ended() const { return state_->ended; }
const std::optional<std::string>& SongPlayer::error() const { return state_->error; }
std::optional<SongLoop> SongPlayer::loop() const { return state_->stateLoop; }
std::optional<SongLoop> SongPlayer::trackLoop() const { return state_->songLoop; }
const std::vector<std::string>& SongPlayer::warnings() const { return state_->warnings; }

SongScan scanSong(std::span<const std::uint8_t> song, const PlayerOptions& options,
                  std::uint32_t maxFrames, const StopFlag* stop) {
    PlayerOptions searching = options;
    searching.loopSearchFrames = maxFrames;
    SongPlayer player(song, searching);
    SongScan scan;
    Frame frame;
    while (scan.frames < maxFrames && !player.loop() && !stopRequested(stop) && player.step(frame)) ++scan.frames;
    scan.ended = player.ended();
    scan.loop = player.loop();
    scan.trackLoop = player.trackLoop();
    scan.error = player.error();
    if (stopRequested(stop)) scan.error = kStopped;
    return scan;
}

}  // namespace ferro
