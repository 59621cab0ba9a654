// The player against the driver's measured behaviour: each case is a small
// song and the writes of the frames that have any (all others must be
// silent), or a property the measurement names.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/player/player_test_util.hpp"

namespace ferro::test {
namespace {

using Lines = std::map<std::uint32_t, std::string>;

TrackBytes fm(Bytes data, std::uint8_t volume = 0, std::uint8_t transpose = 0) {
    return {std::move(data), transpose, volume, 0, true};
}
TrackBytes fmBare(Bytes data, std::uint8_t volume = 0) { return {std::move(data), 0, volume, 0, false}; }
TrackBytes psg(Bytes data, std::uint8_t volume = 0, std::uint8_t envelope = 0, std::uint8_t transpose = 0) {
    return {std::move(data), transpose, volume, envelope, false};
}

// A voice load's 26 writes with the given prefix ("" or "p1 "), all operator
// bytes 00.
std::string voiceLoad(const std::string& p, std::uint8_t algorithm, std::uint8_t tl40, std::uint8_t tl48,
                      std::uint8_t tl44, std::uint8_t tl4C, std::uint8_t pan) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> writes = {{0xB0, algorithm}};
    for (std::uint8_t reg : {0x30, 0x38, 0x34, 0x3C, 0x50, 0x58, 0x54, 0x5C, 0x60, 0x68, 0x64, 0x6C, 0x70,
                             0x78, 0x74, 0x7C, 0x80, 0x88, 0x84, 0x8C})
        writes.push_back({reg, 0});
    writes.insert(writes.end(), {{0x40, tl40}, {0x48, tl48}, {0x44, tl44}, {0x4C, tl4C}, {0xB4, pan}});
    std::string out;
    for (const auto [reg, value] : writes) out += (out.empty() ? "" : " ") + p + describe({ChipPort::Ym0, reg, value});
    return out;
}

const char* kA1 = "28=00 A4=13 A0=FF 28=F0";  // FM1 attacks note A1 (word 13FF)

// FM1 of the tempo change: A1 01 six times, EA 03, A1 01 twelve times.
Bytes tempoChange() {
    Bytes out;
    for (int k = 0; k < 18; ++k) {
        if (k == 6) out.insert(out.end(), {0xEA, 0x03});
        out.insert(out.end(), {0xA1, 0x01});
    }
    out.push_back(0xF2);
    return out;
}

// FM4 (volume 10) loads voices of algorithms 0..7 in turn, TL 11 22 33 7F
// each, and plays A1 after each: the volume goes to the carriers only.
TestSong everyAlgorithm() {
    TestSong song{.fm = {fmBare({0xF2}), fmBare({0xF2}), fmBare({0xF2}), fmBare({}, 0x10)}};
    for (std::uint8_t a = 0; a < 8; ++a) {
        song.fm[3].data.insert(song.fm[3].data.end(), {0xEF, a, 0xA1, 0x01});
        song.voices.push_back(voice(a, 0x11, 0x22, 0x33, 0x7F));
    }
    song.fm[3].data.push_back(0xF2);
    return song;
}
std::map<std::uint32_t, std::string> everyAlgorithmWrites() {
    std::map<std::uint32_t, std::string> out;
    for (std::uint8_t a = 0; a < 8; ++a)
        out[2u + a] = std::string(a == 0 ? "28=00 28=01 28=02 " : "") +
                      voiceLoad("p1 ", a, a == 7 ? 0x21 : 0x11, a >= 4 ? 0x32 : 0x22, a >= 5 ? 0x43 : 0x33, 0x8F,
                                0xC0) +
                      " 28=04 p1 A4=13 p1 A0=FF 28=F4";
    out[10] = "28=04";
    return out;
}

const std::string kFm2A1 = "28=01 A5=13 A1=FF 28=F1";

struct Case {
    const char* name;
    TestSong song;
    std::uint32_t frames;
    Show show;
    Lines expected;  // every frame from 1 on that writes anything shown
};

class Measured : public testing::TestWithParam<Case> {};

TEST_P(Measured, WritesExactlyTheseFrames) {
    const Case& c = GetParam();
    EXPECT_EQ(nonEmpty(playLines(buildSong(c.song), c.frames, c.show)), c.expected);
}

const Case kCases[] = {
    // Frame model.
    {"StallsStretchTicks", {.div = 3, .tempo = 2, .fm = {fm({0xA1, 0x08, 0xA5, 0x08, 0xF2})}}, 200, Show::Keys,
     {{3, kA1}, {51, "28=00 A4=1A A0=84 28=F0"}, {99, "28=00"}}},
    {"TempoZeroStallsEvery256", {.div = 1, .tempo = 0, .fm = {fm({0xA1, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0xF2})}}, 700,
     Show::Keys, {{2, kA1}, {129, kA1}, {257, kA1}, {384, kA1}, {511, kA1}, {639, "28=00"}}},
    {"DurationIsEightBits", {.div = 3, .tempo = 0, .fm = {fm({0xA1, 0x7F, 0xA5, 0x08, 0xE5, 0x04, 0xA8, 0x40, 0xA1,
     0x01, 0xF2})}}, 500, Show::Keys, {{2, kA1}, {127, "28=00 A4=1A A0=84 28=F0"}, {151, "28=00 A4=1A A0=FE 28=F0"},
     {408, kA1}, {412, "28=00"}}},
    {"TempoOneNeverAdvances", {.div = 1, .tempo = 1, .dac = Bytes{0x81, 0x01}, .fm = {fm({0xA1, 0x01})},
     .psg = {psg({0x81, 0x01})}}, 300, Show::All, {}},
    {"DacStopDelaysTheFrame", {.div = 1, .tempo = 3, .dac = Bytes{0x81, 0x04, 0xF2}, .fm = {fmBare({0xA1, 0x04, 0xF2})},
     .psg = {psg({0x81, 0x04, 0xF2}, 0, 1)}}, 50, Show::All, {{1, "1FFF=81 28=00 A4=13 A0=FF 28=F0 86 35 90"},
     {2, "90"}, {3, "90"}, {4, "91"}, {5, "91"}, {6, "91"}, {8, "28=00 9F"}}},
    // EA restarts the countdown from the frame that reads it: no stall at 10.
    {"TempoChangeRestartsTheCountdown", {.tempo = 5, .fm = {fmBare(tempoChange())}}, 30, Show::Keys, {{2, kA1},
     {3, kA1}, {4, kA1}, {6, kA1}, {7, kA1}, {8, kA1}, {9, kA1}, {10, kA1}, {11, kA1}, {13, kA1}, {14, kA1}, {16, kA1},
     {17, kA1}, {19, kA1}, {20, kA1}, {22, kA1}, {23, kA1}, {25, kA1}, {26, "28=00"}}},
    // EB reaches FM2's duration read later in the same frame.
    {"DividingTimingForEveryTrack", {.fm = {fmBare({0xA1, 0x02, 0xEB, 0x03, 0xA1, 0x02, 0xA1, 0x02,
     0xF2}), fmBare({0xA1, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0xF2})}}, 25, Show::Keys,
     {{2, kA1 + (" " + kFm2A1)}, {3, kFm2A1}, {4, kA1 + (" " + kFm2A1)}, {7, kFm2A1}, {10, kA1 + (" " + kFm2A1)},
     {13, kFm2A1}, {16, "28=00 " + kFm2A1}, {19, "28=01"}}},
    // FM notes.
    {"VoiceLoadAddsVolumeToCarriers", everyAlgorithm(), 15, Show::All, everyAlgorithmWrites()},
    {"FmLegatoRestsAndDurations", {.fm = {fm({0xA1, 0x04, 0xE7, 0xA5, 0x04, 0xA8, 0x04, 0xB1, 0x05, 0xE7, 0x05, 0xE7,
     0x03, 0x80, 0x03, 0x03, 0x02, 0xA1, 0x02, 0x80, 0xA5, 0xF2})}}, 60, Show::Keys, {{2, kA1},
     {6, "A4=1A A0=84 28=F0"}, {10, "28=00 A4=1A A0=FE 28=F0"}, {14, "28=00 A4=22 A0=84 28=F0"},
     {19, "A4=22 A0=84 28=F0"}, {24, "A4=22 A0=84 28=F0"}, {27, "28=00"}, {30, "28=00"}, {33, "28=00"}, {35, kA1},
     {37, "28=00"}, {39, "28=00 A4=1A A0=84 28=F0"}, {41, "28=00"}}},
    {"Pan", {.fm = {fmBare({0xE0, 0x40, 0xA1, 0x01, 0xE0, 0x37, 0xA1, 0x01, 0xE0, 0x80, 0xEF, 0x00, 0xA1, 0x01,
     0xF2})}}, 10, Show::All, {{2, "B4=40 28=00 A4=13 A0=FF 28=F0"}, {3, "B4=37 28=00 A4=13 A0=FF 28=F0"},
     {4, "B4=B7 " + voiceLoad("", 7, 0x10, 0x10, 0x10, 0x10, 0xB7) + " " + kA1}, {5, "28=00"}}},
    {"PanLowBitsAndNoteDF", {.fm = {fmBare({0xE0, 0x01, 0xDF, 0x01, 0xF2})}}, 10, Show::All,
     {{2, "B4=01 28=00 A4=3C A0=7C 28=F0"}, {3, "28=00"}}},
    {"DacPan", {.dac = Bytes{0xE0, 0x80, 0x81, 0x02, 0xF2}}, 10, Show::All, {{1, "p1 B6=80 1FFF=81"}}},
    // PSG.
    {"PsgNotesRestsLegato", {.psg = {psg({0x81, 0x03, 0x03, 0x85, 0x02, 0x80, 0x02, 0x02, 0x88, 0x02, 0xE7, 0x89, 0x02,
     0xF2}, 3)}}, 40, Show::Psg, {{2, "86 35 93"}, {5, "86 35 93"}, {8, "85 2A 93"}, {10, "9F"}, {14, "8A 23 93"},
     {16, "8A 21 93"}, {18, "9F"}}},
    {"PsgEnvelopeLegatoAndChange", {.psg = {psg({0xF2}), psg({0x8D, 0x06, 0xE7, 0x91, 0x04, 0x80, 0x02, 0xF5, 0x03,
     0x8D, 0x10, 0xF2}, 0, 1)}}, 40, Show::Psg, {{2, "9F AB 1A B0"}, {3, "B0"}, {4, "B0"}, {5, "B1"}, {6, "B1"},
     {7, "B1"}, {8, "A3 15 B2"}, {9, "B2"}, {10, "B3"}, {12, "BF"}, {14, "AB 1A B2"}, {15, "B2"}, {16, "B1"},
     {17, "B1"}, {18, "B0"}, {30, "BF"}}},
    // Past the table: 46 -> 045, 48 a rest without a write, 4B, 7D -> 0,
    // 7E -> 39A, 7F -> 21C, as the game's songs reach them.
    {"PsgTableEdges", {.psg = {psg({0xC6, 0x01, 0xC9, 0x01, 0xC7, 0x01, 0xCC, 0x01, 0xF2}), psg({0x81, 0x01, 0xE9, 0xFE,
     0x81, 0x01, 0xE9, 0x01, 0x81, 0x01, 0xF2}, 0, 0, 0xFF)}}, 10, Show::Psg, {{2, "80 00 90 AC 21 B0"},
     {3, "A0 00 B0"}, {4, "85 04 90 AA 39 B0"}, {5, "80 00 90 BF"}, {6, "9F"}}},
    {"NoiseTrack", {.psg = {psg({0xF2}), psg({0xF2}), psg({0xF3, 0xE7, 0xF5, 0x02, 0xD1, 0x03, 0xD1, 0x80, 0x03, 0xD1,
     0x02, 0xF2}, 0, 0, 0x23)}}, 30, Show::Psg, {{2, "9F BF E7 C0 00 F0"}, {3, "F1"}, {4, "F2"}, {5, "C0 00 F0"},
     {6, "F1"}, {7, "F2"}, {8, "FF"}, {11, "C0 00 F0"}, {12, "F1"}, {13, "FF"}}},
    {"NoiseOnTheOnlyPsgTrack", {.psg = {psg({0xF3, 0xE7, 0xD1, 0x02, 0xF2}, 0, 0, 0x23)}}, 20, Show::Psg,
     {{2, "E7 C0 00 F0"}, {4, "FF"}}},
    // DAC.
    {"DacRequests", {.dac = Bytes{0x81, 0x02, 0x02, 0x82, 0x03, 0x80, 0x02, 0x02, 0x88, 0x7F, 0x80, 0x7F, 0x2E, 0x83,
     0x01, 0xF2}}, 400, Show::Z80, {{1, "1FFF=81"}, {3, "1FFF=81"}, {5, "1FFF=82"}, {12, "00EA=12 1FFF=83"},
     {313, "1FFF=83"}}},
    {"DrumsStartEveryTrackInFrameOne", {.div = 2, .tempo = 3, .dac = Bytes{0x81, 0x04, 0x82, 0x88, 0x04, 0x80, 0x89,
     0x8A, 0x8B, 0x83, 0x81, 0xF2}, .fm = {fmBare({0xA1, 0x10, 0xF2})}, .psg = {psg({0x81, 0x10, 0xF2})}}, 120,
     Show::All, {{1, "1FFF=81 " + std::string(kA1) + " 86 35 90"}, {13, "1FFF=82"}, {25, "00EA=12 1FFF=83"},
     {49, "00EA=15 1FFF=83 28=00 9F"}, {61, "00EA=1C 1FFF=83"}, {73, "00EA=1D 1FFF=83"}, {85, "1FFF=83"},
     {97, "1FFF=81"}}},
    // Flags.
    {"Detune", {.fm = {fmBare({0xE1, 0x05, 0xA1, 0x02, 0xE1, 0xFB, 0xA1, 0x02, 0x80, 0x02, 0xE1, 0x00, 0xA1, 0x02, 0xE1,
     0x7F, 0xDF, 0x02, 0xF2})}, .psg = {psg({0xE1, 0x02, 0x81, 0x02, 0xE1, 0xFE, 0x81, 0x02, 0xF2})}}, 20, Show::All,
     {{2, "28=00 A4=14 A0=04 28=F0 88 35 90"}, {4, "28=00 A4=13 A0=FA 28=F0 84 35 90"}, {6, "28=00 9F"}, {8, kA1},
     {10, "28=00 A4=3C A0=FB 28=F0"}, {12, "28=00"}}},
    {"TrackDividingTiming", {.div = 2, .fm = {fm({0xA1, 0x02, 0xE5, 0x03, 0xA5, 0xA8, 0x02, 0xAA, 0xE5, 0x00, 0xA1,
     0x01, 0xF2})}, .psg = {psg({0x81, 0x02, 0x81, 0x02, 0xF2})}}, 300, Show::All,
     {{2, voiceLoad("", 7, 0x10, 0x10, 0x10, 0x10, 0xC0) + " " + kA1 + " 86 35 90"},
     {6, "28=00 A4=1A A0=84 28=F0 86 35 90"}, {10, "28=00 A4=1A A0=FE 28=F0 9F"}, {16, "28=00 A4=1B A0=5C 28=F0"},
     {22, kA1}, {279, "28=00"}}},
    {"Transposition", {.fm = {{{0xA1, 0x01, 0xE9, 0x0C, 0xA1, 0x01, 0xE9, 0x0C, 0xA1, 0x01, 0xE9, 0xE8, 0xA1, 0x01,
     0xF2}, 2, 0, 0, false}}, .psg = {psg({0xE9, 0x0C, 0x81, 0x01, 0xF2})}}, 10, Show::All,
     {{2, "28=00 A4=14 A0=7C 28=F0 8B 1A 90"}, {3, "28=00 A4=1C A0=7C 28=F0 9F"}, {4, "28=00 A4=24 A0=7C 28=F0"},
     {5, "28=00 A4=14 A0=7C 28=F0"}, {6, "28=00"}}},
    {"PsgVolumeChange", {.psg = {psg({0x81, 0x02, 0xEC, 0x03, 0x85, 0x02, 0xEC, 0x0F, 0x81, 0x02, 0xF2}, 2), psg({0xEC,
     0x03, 0x81, 0x01, 0xEC, 0xFC, 0x81, 0x01, 0xF2}, 2, 1)}}, 20, Show::Psg, {{2, "86 35 92 A6 35 B5"},
     {3, "A6 35 B1"}, {4, "85 2A 95 BF"}, {6, "86 35 A4"}, {8, "9F"}}},
    {"EnvelopeChangeAfterLegato", {.psg = {psg({0x81, 0x04, 0xE7, 0xF5, 0x09, 0x81, 0x04, 0xF2}, 0, 1)}}, 20, Show::Psg,
     {{2, "86 35 90"}, {3, "90"}, {4, "90"}, {5, "91"}, {6, "86 35 94"}, {7, "95"}, {8, "96"}, {9, "97"}, {10, "9F"}}},
    {"GameBytesWriteNothing", {.fm = {fmBare({0xE2, 0x01, 0xED, 0xA1, 0x01, 0xF2})}}, 10, Show::All, {{2, kA1},
     {3, "28=00"}}},
    {"F9BeforeTheKeyOff", {.fm = {fmBare({0xF2}), fmBare({0xF2}), fmBare({0xF2}), fmBare({0xF9, 0xA1, 0x01, 0xF2})}},
     10, Show::All, {{2, "28=00 28=01 28=02 88=0F 8C=0F 28=04 p1 A4=13 p1 A0=FF 28=F4"}, {3, "28=04"}}},
    {"JumpLandsPastItsOffset", {.fm = {fmBare({0xA1, 0x01, 0xF6, 0x00, 0x02, 0xA5, 0xA8, 0x01, 0xF2})}}, 10, Show::Keys,
     {{2, kA1}, {3, "28=00 A4=1A A0=FE 28=F0"}, {4, "28=00"}}},
    {"VolumeChangeRewritesCarriers", {.fm = {fm({0xE6, 0x05, 0xA1, 0x01, 0xE6, 0x70, 0xA1, 0x01, 0xF2}, 0x08)}}, 10,
     Show::All, {{2, voiceLoad("", 7, 0x18, 0x18, 0x18, 0x18, 0xC0) + " 40=1D 48=1D 44=1D 4C=1D " + kA1},
     {3, std::string("40=8D 48=8D 44=8D 4C=8D ") + kA1}, {4, "28=00"}}},
    {"VolumeChangeSkipsOverflow", {.fm = {fmBare({0xEF, 0x01, 0xE6, 0x70, 0xA1, 0x01, 0xF2}, 0x0D)},
     .voices = {voice(7, 0x10, 0x10, 0x10, 0x10), voice(4, 0x10, 0x20, 0x30, 0x90)}}, 10, Show::All,
     {{2, voiceLoad("", 4, 0x10, 0x2D, 0x30, 0x9D, 0xC0) + " 48=9D " + kA1}, {3, "28=00"}}},
    {"NegativeVolumeWritesNoTl", {.fm = {fmBare({0xE6, 0x78, 0xEF, 0x00, 0xA1, 0x01, 0xF2}, 0x08)}}, 10, Show::All,
     {{2, voiceLoad("", 7, 0x90, 0x90, 0x90, 0x90, 0xC0) + " " + kA1}, {3, "28=00"}}},
    {"PsgVolumeChangeWritesFmRegisters", {.psg = {psg({0xE6, 0x0C, 0x81, 0x01, 0xF2}, 2, 1), psg({0xF2}), psg({0xF3,
     0xE7, 0xF5, 0x02, 0xE6, 0x01, 0x81, 0x01, 0xF2}, 2)},
     .voices = {voice(7, 0x10, 0x10, 0x10, 0x10), voice(0, 0, 0, 0, 0x44), voice(0, 0x11, 0x22, 0x33, 0x44)}}, 10,
     Show::All, {{2, "CC=52 86 35 9E BF E7 20=14 28=25 24=36 2C=47 C6 35 F3"}, {3, "9F FF"}}},
    {"NoteFillCuts", {.div = 2, .tempo = 3, .fm = {fm({0xE8, 0x03, 0xA1, 0x04, 0xA5, 0x04, 0xE7, 0xA8, 0x04, 0xE8, 0x00,
     0xA1, 0x04, 0xF2})}, .psg = {psg({0xE8, 0x05, 0x81, 0x04, 0xE7, 0x85, 0x04, 0x85, 0x04, 0xF2}, 2), psg({0xE8, 0x02,
     0x81, 0x04, 0xF2}, 0, 1)}}, 70, Show::Keys, {{2, kA1}, {5, "28=00"}, {14, "28=00 A4=1A A0=84 28=F0"},
     {17, "28=00"}, {26, "A4=1A A0=FE 28=F0"}, {38, kA1}, {50, "28=00"}}},
    {"NoteFillCutsPsg", {.div = 2, .tempo = 3, .psg = {psg({0xE8, 0x05, 0x81, 0x04, 0xE7, 0x85, 0x04, 0x85, 0x04,
     0xF2}, 2), psg({0xE8, 0x02, 0x81, 0x04, 0xF2}, 0, 1)}}, 70, Show::Psg, {{2, "86 35 92 A6 35 B0"}, {3, "B0"},
     {4, "BF"}, {7, "9F"}, {14, "85 2A BF"}, {26, "85 2A 92"}, {31, "9F"}, {38, "9F"}}},
    {"NoteFillAfterLegato", {.fm = {fmBare({0xE8, 0x05, 0xA1, 0x04, 0xE7, 0xA5, 0x04, 0xE7, 0xA8, 0x04, 0xA1, 0x0C,
     0xF2})}, .psg = {psg({0xE8, 0x05, 0x81, 0x04, 0xE7, 0x85, 0x04, 0xE7, 0x88, 0x04, 0x81, 0x0C, 0xF2})}}, 40,
     Show::All, {{2, std::string(kA1) + " 86 35 90"}, {6, "A4=1A A0=84 28=F0 85 2A 90"}, {8, "9F"},
     {10, "A4=1A A0=FE 28=F0 8A 23"}, {14, std::string(kA1) + " 86 35 90"}, {19, "28=00 9F"}, {26, "28=00 9F"}}},
    {"Modulation", {.fm = {fmBare({0xF0, 0x02, 0x01, 0x03, 0x04, 0xA1, 0x20, 0xF2})}}, 14, Show::Keys, {{2, kA1},
     {5, "A4=14 A0=02"}, {6, "A4=14 A0=05"}, {8, "A4=14 A0=02"}, {9, "A4=13 A0=FF"}, {10, "A4=13 A0=FC"},
     {11, "A4=13 A0=F9"}, {13, "A4=13 A0=FC"}}},
    {"ModulationWithDetune", {.fm = {fmBare({0xE1, 0x01, 0xF0, 0x00, 0x02, 0xFE, 0x05, 0xA1, 0x30, 0xF2})}}, 23,
     Show::Keys, {{2, "28=00 A4=14 A0=00 28=F0"}, {4, "A4=13 A0=FE"}, {6, "A4=13 A0=FC"}, {10, "A4=13 A0=FE"},
     {12, "A4=14 A0=00"}, {14, "A4=14 A0=02"}, {16, "A4=14 A0=04"}, {18, "A4=14 A0=06"}, {22, "A4=14 A0=04"}}},
    {"ModulationThroughRestsOffAndOn", {.fm = {fmBare({0xF0, 0x01, 0x01, 0x01, 0x04, 0xA1, 0x05, 0x80, 0x06, 0xA5, 0x04,
     0xF4, 0xA8, 0x04, 0xA8, 0x02, 0xF1, 0x0C, 0xF2})}}, 27, Show::Keys, {{2, kA1}, {4, "A4=14 A0=00"},
     {5, "A4=14 A0=01"}, {7, "28=00"}, {9, "A4=00 A0=01"}, {10, "A4=00 A0=02"}, {12, "A4=00 A0=01"},
     {13, "28=00 A4=1A A0=84 28=F0"}, {15, "A4=1A A0=85"}, {16, "A4=1A A0=86"}, {17, "28=00 A4=1A A0=FE 28=F0"},
     {21, "28=00 A4=1A A0=FE 28=F0"}, {23, "28=00 A4=1A A0=FE 28=F0"}, {25, "A4=1A A0=FF"}, {26, "A4=1B A0=00"}}},
    {"ModulationRunsOnThroughLegato", {.fm = {fmBare({0xF0, 0x01, 0x01, 0x02, 0x04, 0xA1, 0x06, 0xE7, 0xA5, 0x06,
     0xF2})}}, 12, Show::Keys, {{2, kA1}, {4, "A4=14 A0=01"}, {5, "A4=14 A0=03"}, {7, "A4=14 A0=01"},
     {8, "A4=1A A0=84 28=F0"}, {9, "A4=1A A0=84"}, {10, "A4=1A A0=82"}, {11, "A4=1A A0=80"}}},
    {"PsgModulationStepsOnStalls", {.tempo = 3, .psg = {psg({0xF0, 0x01, 0x01, 0x02, 0x04, 0x81, 0x10, 0xF2}, 2, 1)}},
     7, Show::Psg, {{2, "86 35 92"}, {3, "92"}, {4, "92 88 35"}, {5, "93 8A 35"}, {6, "93"}}},
    {"ModulationSpeedZero", {.fm = {fmBare({0xF0, 0x00, 0x00, 0x05, 0x02, 0xA1, 0x00, 0xF2})}}, 300, Show::Keys,
     {{2, kA1}, {258, "A4=14 A0=04"}, {259, "28=00"}}},
    {"CallsAndReturns", {.fm = {fmBare({0xF8, 0x00, 0x04, 0xA5, 0x02, 0xF2, 0xA1, 0x02, 0xF8, 0x00, 0x04, 0xA3, 0x02,
     0xE3, 0xA8, 0x02, 0xE3})}}, 20, Show::Keys, {{2, kA1}, {4, "28=00 A4=1A A0=FE 28=F0"},
     {6, "28=00 A4=14 A0=7C 28=F0"}, {8, "28=00 A4=1A A0=84 28=F0"}, {10, "28=00"}}},
    {"StopSpecialFm4", {.fm = {fm({0xA1, 0x02, 0xEE}), fmBare({0xF2}), fmBare({0xF2}), fm({0xA8, 0x08}, 0x20)}}, 6,
     Show::All,
     {{2, voiceLoad("", 7, 0x10, 0x10, 0x10, 0x10, 0xC0) + " " + kA1 + " 28=01 28=02 " +
              voiceLoad("p1 ", 7, 0x30, 0x30, 0x30, 0x30, 0xC0) + " 28=04 p1 A4=1A p1 A0=FE 28=F4"},
     {4, "28=00 " + voiceLoad("p1 ", 7, 0x30, 0x30, 0x30, 0x30, 0xC0)}}},
    {"StopSpecialWithoutFm4", {.fm = {fmBare({0xA1, 0x02, 0xEE})}}, 10, Show::All, {{2, kA1},
     {4, "28=00 " + voiceLoad("", 7, 0x10, 0x10, 0x10, 0x10, 0x00)}}},
    {"SongEnd", {.tempo = 3, .dac = Bytes{0x81, 0x04, 0xF2}, .fm = {fmBare({0xA1, 0x04, 0xF2})}, .psg = {psg({0x81,
     0x04, 0xF2}, 0, 1), psg({0xF3, 0xE7, 0xD1, 0x04, 0xF2}, 0, 0, 0x23)}}, 2000, Show::All,
     {{1, "1FFF=81 " + std::string(kA1) + " 86 35 90 E7 C0 00 F0"}, {2, "90"}, {3, "90"}, {4, "91"}, {5, "91"},
     {6, "91"}, {8, "28=00 9F FF"}}},
};

INSTANTIATE_TEST_SUITE_P(Driver, Measured, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

bool endsWith(const std::string& line, const std::string& end) {
    return line.size() >= end.size() && line.compare(line.size() - end.size(), end.size(), end) == 0;
}

TEST(SongPlayer, LoadFrameSetsUpTheChannels) {
    PlayerOptions noReset = testOptions();
    noReset.emitReset = false;
    const TestSong full{.fm = {fm({}), fm({}), fm({}), fm({}), fm({})}, .psg = {psg({}), psg({}), psg({})}};
    SongPlayer player(buildSong(full), noReset);
    Frame frame;
    ASSERT_TRUE(player.step(frame));
    EXPECT_EQ(std::tuple(frame.writes.size(), frame.z80HeldUntilNextFrame), std::tuple(49u, true));

    const auto load = [&](const TestSong& song) { return playLines(buildSong(song), 1, Show::All, noReset)[0]; };
    EXPECT_TRUE(endsWith(load(full), "28=06 p1 42=7F p1 4A=7F p1 46=7F p1 4E=7F p1 B6=C0 28=00 28=01 28=02 28=04 28=05 28=00 9F BF DF"));
    EXPECT_TRUE(endsWith(load({.fm = {fm({})}}), "28=06 p1 42=7F p1 4A=7F p1 46=7F p1 4E=7F p1 B6=C0 28=00 28=00 28=00 28=00 28=00 28=00 1F 1F 1F"));
    EXPECT_TRUE(endsWith(load({.fm = {fm({}), fm({}), fm({}), fm({}), fm({}), fm({})}, .psg = {psg({}), psg({}), psg({})}}), "2B=00 28=00 28=01 28=02 28=04 28=05 28=06 9F BF DF"));

    const std::string withReset = playLines(buildSong(full), 1)[0];
    EXPECT_EQ(withReset.rfind("2B=80 27=00 28=02 28=06 28=01 28=05 28=00 28=04 40=7F p1 40=7F 44=7F p1 44=7F", 0), 0u);
    EXPECT_EQ(withReset.substr(withReset.size() - load(full).size()), load(full));
}

TEST(SongPlayer, PsgHeaderByteBeforeTheEnvelopeIsIgnored) {
    Bytes song = buildSong({.psg = {psg({0x81, 0x04, 0x85, 0x04, 0xF2})}});
    const auto before = playLines(song, 20);
    song[6 + 4 + 4] = 0x05;
    EXPECT_EQ(playLines(song, 20), before);
}

TEST(SongPlayer, HeaderEnvelopeStepsOnStallsBeforeTheFirstNote) {
    const auto lines = playLines(buildSong({.div = 2, .tempo = 2, .psg = {psg({0x81, 0x04}, 0, 1)}}), 4, Show::Psg);
    EXPECT_EQ(std::vector(lines.begin() + 2, lines.begin() + 4), (std::vector<std::string>{"90", "86 35 90"}));
}

TEST(SongPlayer, LoopCountersNestAndCount) {
    const TestSong song{.fm = {fmBare({0xA1, 0x01, 0xA5, 0x01, 0xF7, 0x01, 0x02, 0xFF, 0xFA, 0xF7, 0x00, 0x03,
                                       0xFF, 0xF3, 0xA8, 0x01, 0xF7, 0x02, 0x01, 0x00, 0x00, 0xAA, 0x01, 0xF2})}};
    std::string lows;
    for (const auto& line : playLines(buildSong(song), 30, Show::Keys))
        if (const auto at = line.find("A0="); at != std::string::npos) lows += line.substr(at + 3, 2) + " ";
    EXPECT_EQ(lows, "FF 84 84 FF 84 84 FF 84 84 FE 5C ");

    const auto passes = playLines(buildSong({.fm = {fmBare({0xA1, 0x01, 0xF7, 0x00, 0x00, 0xFF, 0xFA, 0xF2})}}), 300,
                                  Show::Keys);
    EXPECT_EQ(std::count(passes.begin(), passes.end(), kA1), 256);
    EXPECT_EQ(passes[259], "28=00");  // the stall at 256 in between
}

TEST(SongPlayer, ThirdNestedCallClearsTheLoopCounter) {
    const TestSong song{.fm = {fmBare({0xF8, 0x00, 0x07, 0xF7, 0x00, 0x02, 0xFF, 0xF9, 0xF2, 0xF8, 0x00, 0x02,
                                       0xE3, 0xF8, 0x00, 0x02, 0xE3, 0xA1, 0x01, 0xE3})}};
    const auto lines = playLines(buildSong(song), 1000, Show::Keys);
    EXPECT_EQ(std::count(lines.begin() + 2, lines.end(), kA1), 998 - 3);  // all but the stalls
}

TEST(SongPlayer, ExtraLifeRestoreCutsHard) {
    const auto reset = playLines(buildSong({}), 1)[0].substr(0, 200);
    const TestSong cut{.dac = Bytes{0xE4, 0xF2}, .fm = {fmBare({0xA1, 0x04, 0xF2})}, .psg = {psg({0x81, 0x04, 0xF2})}};
    SongPlayer player(buildSong(cut), testOptions());
    Frame frame;
    std::vector<std::size_t> counts;
    while (player.step(frame)) counts.push_back(frame.writes.size());
    EXPECT_EQ(counts, (std::vector<std::size_t>{36 + 49, 0, 36}));
    EXPECT_EQ(std::pair(player.ended(), player.loop().has_value()), std::pair(true, false));

    const TestSong late{.dac = Bytes{0x81, 0x04, 0xE4, 0xF2}, .fm = {fmBare({0xA1, 0x7F})}, .psg = {psg({0x81, 0x7F})}};
    const auto lines = playLines(buildSong(late), 20);
    EXPECT_EQ(nonEmpty(lines).size(), 2u);
    EXPECT_EQ(lines[6].substr(0, 200), reset);
}

TEST(SongPlayer, LoopIsTheLongestTracksJumpBack) {
    // FM1 at offset 0E loops every 96 frames from frame 3; PSG1 every 4.
    const TestSong song{.div = 3, .tempo = 2,
                        .fm = {fmBare({0xE0, 0xC0, 0xEF, 0x00, 0xB1, 0x08, 0x80, 0xF6, 0xFF, 0xF7}, 0x10)},
                        .psg = {psg({0x81, 0x01, 0xF6, 0xFF, 0xFC})}};
    const auto lines = playLines(buildSong(song), 200, Show::Keys);
    for (std::uint32_t f : {3u, 99u, 195u}) EXPECT_EQ(lines[f], "28=00 A4=22 A0=84 28=F0") << f;
    for (std::uint32_t f : {51u, 147u}) EXPECT_EQ(lines[f], "28=00") << f;
    const auto all = playLines(buildSong(song), 100);
    EXPECT_EQ(all[99].rfind("B4=C0 B0=07", 0), 0u);
    EXPECT_NE(all[99].find("40=20 48=20 44=20 4C=20 B4=C0"), std::string::npos);

    const SongScan scan = scanSong(buildSong(song), testOptions(), 10000);
    // The state before frame 3 is the load's; the state after frame 3 comes back after frame 99.
    EXPECT_EQ(std::tuple(scan.trackLoop, scan.loop, scan.ended, scan.error.has_value()),
              std::tuple(std::optional(SongLoop{3, 96}), std::optional(SongLoop{4, 96}), false, false));
}

// Found by fuzzing: a track whose loop jump lands on flags it first read in
// the same frame (no frame has passed) once reported a loop of 0 frames.
TEST(SongPlayer, AJumpBackWithinOneFrameIsNoLoopOfZeroFrames) {
    const Bytes song = {
        0x00, 0x3C, 0x05, 0x00, 0x01, 0x00, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x3B, 0x00, 0x10, 0x00, 0x1A,
        0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x72, 0xEF, 0x00, 0xF8, 0x00, 0x0B,
        0xF7, 0x00, 0x21, 0xFF, 0xF9, 0x13, 0x43, 0xE7, 0x00, 0x01, 0x00, 0xD1, 0x02, 0xD1, 0x03, 0xF2,
        0x81, 0x04, 0x82, 0x88, 0x04, 0x80, 0xE0, 0xE6, 0x80, 0xE0, 0xE6, 0xE6, 0xE6, 0xE6, 0xE6, 0xE6,
        0xE6, 0xE6, 0xE6, 0xE6, 0x03, 0xF6, 0xFF, 0xF5, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x01, 0x00, 0x54, 0x23, 0x01, 0x00, 0x02, 0xEF, 0x00, 0xE0, 0x80, 0xF9, 0x03,
        0xE8, 0x05, 0xA9,
    };
    SongPlayer player(song);
    Frame frame;
    while (player.nextFrame() < 400 && player.step(frame)) {
        if (const auto loop = player.trackLoop()) {
            EXPECT_GT(loop->lengthFrames, 0u) << frame.index;
            EXPECT_LE(loop->startFrame + loop->lengthFrames, frame.index);
        }
        if (const auto loop = player.loop()) {
            EXPECT_GT(loop->lengthFrames, 0u) << frame.index;
            EXPECT_LE(loop->startFrame + loop->lengthFrames, player.nextFrame());
        }
    }
}

TEST(SongPlayer, EndedSongStopsStepping) {
    SongPlayer player(buildSong({.fm = {fmBare({0xA1, 0x01, 0xF2})}}), testOptions());
    Frame frame;
    int frames = 0;
    while (player.step(frame)) ++frames;
    // Load, the DAC's stop, the note, the key-off.
    EXPECT_EQ(std::tuple(frames, player.ended(), player.error().has_value()), std::tuple(4, true, false));
    const SongScan scan = scanSong(buildSong({.fm = {fmBare({0xA1, 0x01, 0xF2})}}), testOptions(), 100);
    EXPECT_EQ(std::pair(scan.ended, scan.frames), std::pair(true, 4u));
}

TEST(SongPlayer, FmNotePastTheTablePlaysSilentWithAWarning) {
    const auto lines = playLines(buildSong({.fm = {{{0xC1, 0x01, 0xC1, 0x01, 0xF2}, 0x20, 0, 0, false}}}), 10);
    EXPECT_EQ(nonEmpty(lines), (Lines{{2, "28=00"}, {3, "28=00"}, {4, "28=00"}}));
    // A legato note off the table silences the note before it.
    const auto legato = playLines(buildSong({.fm = {{{0xA1, 0x01, 0xE7, 0xC1, 0x01, 0xF2}, 0x20, 0, 0, false}}}), 10);
    EXPECT_EQ(nonEmpty(legato), (Lines{{2, "28=00 A4=2B A0=2D 28=F0"}, {3, "28=00"}, {4, "28=00"}}));
    SongPlayer warned(buildSong({.fm = {{{0xC1, 0x01, 0xC1, 0x01, 0xF2}, 0x20, 0, 0, false}}}), testOptions());
    for (Frame frame; warned.step(frame);) {
    }
    // The same note twice: one warning, at its first place.
    EXPECT_EQ(warned.warnings(), std::vector<std::string>{"FM1 at offset 000E: FM note C1 gives pitch index 61, past "
                                                          "the driver's table: played silent"});
}

// What the driver would take from outside the song: a refusal, or, for what
// a song Ferrocanto writes can hold, a read played silent with one warning.
struct Refused {
    const char* name;
    Bytes song;
    std::uint32_t frame;  // the frame that fails; played silent: the frames up to the song's end
    const char* message;  // the refusal, or the warning
    std::optional<Lines> silent = std::nullopt;  // played silent: every frame from 1 on that writes
};

class Undefined : public testing::TestWithParam<Refused> {};

TEST_P(Undefined, EndsPlaybackNamingTrackAndOffsetOrPlaysSilent) {
    const Refused& c = GetParam();
    SongPlayer player(c.song, testOptions());
    Frame frame;
    std::uint32_t played = 0;
    while (player.step(frame)) ++played;
    EXPECT_EQ(played, c.frame);
    if (c.silent) {
        EXPECT_EQ(std::tuple(player.error(), player.ended(), player.warnings()),
                  std::tuple(std::nullopt, true, std::vector<std::string>{c.message}));
        EXPECT_EQ(nonEmpty(playLines(c.song, c.frame)), *c.silent);
        return;
    }
    EXPECT_EQ(std::tuple(player.error(), player.ended()), std::tuple(std::optional<std::string>(c.message), false));
}

Bytes fmOnly(Bytes data) { return buildSong({.fm = {fmBare(std::move(data))}}); }

const Refused kRefused[] = {
    {"TooLarge", Bytes((1u << 20) + 1, 0), 0, "The song is larger than 1 MiB: not a Sonic 1 song"},
    {"ShortHeader", {0, 0, 1}, 0, "The song's header: the song is shorter than its header"},
    {"NoDacSlot", {0, 0, 0, 0, 1, 0}, 0, "The song's header: the FM track count (DAC included) is 0, not 1 to 7"},
    {"FourPsg", {0, 0, 1, 4, 1, 0}, 0, "The song's header: the PSG track count is 4, not 0 to 3"},
    {"PointerOutside", {0, 0, 1, 0, 1, 0, 0x00, 0x20, 0, 0}, 0,
     "The song's header: the DAC track's pointer 0020 lies outside the song"},
    {"RunsPastTheEnd", {0, 0x0B, 1, 0, 1, 0, 0x00, 0x0A, 0, 0, 0x81}, 1,
     "DAC at offset 000B: the track runs past the end of the song"},
    {"UndefinedFlag", fmOnly({0xA1, 0x01, 0xFA}), 3, "FM1 at offset 0010: flag FA is undefined"},
    {"RestoreOffTheDac", fmOnly({0xE4}), 2, "FM1 at offset 000E: E4 is undefined off the DAC track"},
    {"ResumeWithoutModulation", fmOnly({0xF1, 0xA1, 0x01}), 2,
     "FM1 at offset 000E: F1 without an F0 before it reads modulation from outside the song"},
    {"NoiseOffPsg", fmOnly({0xF3, 0xE7}), 2, "FM1 at offset 000E: F3 (noise) is undefined off a PSG track"},
    {"ReturnWithoutCall", fmOnly({0xE3}), 2, "FM1 at offset 000E: return (E3) without a call"},
    {"FourNestedCalls", fmOnly({0xF8, 0xFF, 0xFE}), 2, "FM1 at offset 000E: calls nested more than three deep"},
    {"LoopCounterOutside", fmOnly({0xF7, 0x0C, 0x02, 0xFF, 0xFF}), 2,
     "FM1 at offset 000E: loop counter 0C lies outside the track's record"},
    {"JumpOutside", fmOnly({0xF6, 0x7F, 0x00}), 2, "FM1 at offset 000E: jumps outside the song"},
    {"Hang", fmOnly({0xE7, 0xF6, 0xFF, 0xFE}), 2,
     "FM1 at offset 000F: more than 65536 flags without a note or a duration: the driver would not finish its frame"},
    {"EnvelopePastItsEnd", buildSong({.psg = {psg({0x81, 0x0C, 0xE7, 0xF5, 0x02, 0x81, 0x01}, 0, 9)}}), 14,
     "PSG1 at offset 0015: PSG envelope 2 is read past its end"},
    // Played silent. A voice past the song's: no key-on until the next
    // voice, and its volume changes write nothing.
    {"VoiceOutside", fmOnly({0xEF, 0x05, 0xA1, 0x01, 0xE6, 0x02, 0xA5, 0x01, 0xEF, 0x00, 0xA1, 0x01, 0xF2}), 6,
     "FM1 at offset 000E: voice 05 lies outside the song: the channel plays silent until its next voice",
     Lines{{2, "28=00 28=00 A4=13 A0=FF"}, {3, "28=00 A4=1A A0=84"},
     {4, voiceLoad("", 7, 0x12, 0x12, 0x12, 0x12, 0xC0) + " " + kA1}, {5, "28=00"}}},
    {"PsgPitchUndefined", buildSong({.psg = {psg({0xD0, 0x01, 0x81, 0x01, 0xF2})}}), 5,
     "PSG1 at offset 0010: PSG note D0 gives pitch index 4F, past the driver's table: played silent", Lines{{2, "9F"},
     {3, "86 35 90"}, {4, "9F"}}},
    {"DacPitchUndefined", buildSong({.dac = Bytes{0x81, 0x01, 0x8E, 0x01, 0x88, 0x01, 0xF2}}), 5,
     "DAC at offset 000C: DAC note 8E takes its pitch from outside the driver's table: played silent",
     Lines{{1, "1FFF=81"}, {3, "00EA=12 1FFF=83"}}},
    {"EnvelopeUndefined", buildSong({.psg = {psg({0x81, 0x02, 0xF5, 0x01, 0x85, 0x02, 0xF2}, 0, 0x0A)}}), 7,
     "PSG1 at offset 0010: PSG envelope 0A is undefined: played silent", Lines{{2, "86 35 9F"}, {4, "85 2A 90"},
     {5, "90"}, {6, "9F"}}},
};

INSTANTIATE_TEST_SUITE_P(Driver, Undefined, testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ferro::test
