// The player as the Sonic 2 driver: small songs against the driver's own
// chip writes (data/sonic2: each song's bytes for Z80 address 1380 and the
// log of what the driver wrote for it, frame by frame), and hand-made songs
// for what those do not show.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/player/player_test_util.hpp"
#include "player/sound_data.hpp"

namespace ferro::test {
namespace {

// One music update: the frame it starts in and its writes ("YM0 28 00",
// "PSG 9F", "DAC 81").
struct Update {
    std::uint32_t frame = 0;
    std::vector<std::string> writes;
    bool operator==(const Update&) const = default;
};
void PrintTo(const Update& u, std::ostream* os) {
    *os << "frame " << u.frame << ":";
    for (const auto& w : u.writes) *os << " " << w;
}

struct DriverRun {
    std::vector<std::string> load;  // the writes before the first update
    std::vector<Update> updates;
};

// A PSG volume byte without its level, where the envelopes are stand-ins.
std::string psgText(std::uint8_t value, bool maskLevels) {
    char text[16];
    if (maskLevels && (value & 0x90) == 0x90)
        std::snprintf(text, sizeof text, "PSG %Xv", value >> 4);
    else
        std::snprintf(text, sizeof text, "PSG %02X", value);
    return text;
}

std::string writeText(const ChipWrite& w, bool maskLevels) {
    char text[24];
    switch (w.port) {
    case ChipPort::Ym0:
    case ChipPort::Ym1:
        std::snprintf(text, sizeof text, "YM%d %02X %02X", w.port == ChipPort::Ym1, w.address, w.value);
        return text;
    case ChipPort::Psg: return psgText(w.value, maskLevels);
    case ChipPort::Dac: std::snprintf(text, sizeof text, "DAC %02X", w.value); return text;
    case ChipPort::Z80: break;
    }
    return "Z80";
}

DriverRun readLog(const std::string& path, bool maskLevels, std::uint32_t& lastFrame) {
    std::ifstream in(path);
    DriverRun run;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::uint32_t frame = 0;
        std::string kind;
        fields >> frame >> kind;
        lastFrame = frame;
        std::vector<std::string>& into = run.updates.empty() ? run.load : run.updates.back().writes;
        if (kind == "TICK" || kind == "STALL") {
            run.updates.push_back({frame, {}});
        } else if (kind == "YM") {
            unsigned port = 0, reg = 0, value = 0;
            fields >> port >> std::hex >> reg >> value;
            const ChipPort chip = port ? ChipPort::Ym1 : ChipPort::Ym0;
            into.push_back(writeText({chip, static_cast<std::uint16_t>(reg), static_cast<std::uint8_t>(value)}, false));
        } else if (kind == "PSG") {
            unsigned value = 0;
            fields >> std::hex >> value;
            into.push_back(psgText(static_cast<std::uint8_t>(value), maskLevels));
        } else if (kind == "DAC") {
            unsigned note = 0;
            fields >> std::hex >> note;
            into.push_back(writeText({ChipPort::Dac, 0, static_cast<std::uint8_t>(note)}, false));
        }
    }
    return run;
}

DriverRun play(const Bytes& song, PlayerOptions options, std::uint32_t frames, bool maskLevels) {
    options.emitReset = false;
    options.loopSearchFrames = 0;
    SongPlayer player(song, options);
    DriverRun run;
    Frame frame;
    while (player.nextFrame() < frames && player.step(frame)) {
        for (std::size_t i = 0; i < frame.writes.size(); ++i) {
            if (frame.updateAt == i) run.updates.push_back({frame.index, {}});
            (run.updates.empty() ? run.load : run.updates.back().writes)
                .push_back(writeText(frame.writes[i], maskLevels));
        }
        if (frame.updateAt == frame.writes.size()) run.updates.push_back({frame.index, {}});
    }
    EXPECT_FALSE(player.error()) << *player.error();
    return run;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Envelopes of the game's lengths with made-up steps: the writes come when
// the game's do, their levels are not compared.
PlayerOptions sonic2Options() {
    PlayerOptions options;
    options.placement.driver = SoundDriver::Sonic2;
    for (std::size_t k = 0; k < kSonic2EnvelopeSizes.size(); ++k) {
        Bytes envelope(kSonic2EnvelopeSizes[k] - 1, static_cast<std::uint8_t>(k % 3));
        envelope.push_back(kEnvelopeHold);
        options.psgEnvelopes[k] = envelope;
    }
    return options;
}

struct Reference {
    const char* name;
    bool envelopes;  // a PSG track plays an envelope
};

class DriverLog : public testing::TestWithParam<Reference> {};

TEST_P(DriverLog, EveryUpdateWritesWhatTheDriverWrote) {
    const Reference& r = GetParam();
    const std::string stem = std::string(FERRO_TEST_DATA_DIR) + "/sonic2-reference/" + r.name;
    std::uint32_t lastFrame = 0;
    const DriverRun expected = readLog(stem + ".log", r.envelopes, lastFrame);
    ASSERT_GT(expected.updates.size(), 10u) << "cannot read " << stem << ".log";
    const DriverRun got = play(readFile(stem + ".bin"), sonic2Options(), lastFrame + 1, r.envelopes);
    EXPECT_EQ(got.load, expected.load);
    for (std::size_t k = 0; k < std::min(got.updates.size(), expected.updates.size()); ++k)
        ASSERT_EQ(got.updates[k], expected.updates[k]) << "update " << k << " of " << r.name;
    // After a song's end the driver goes on updating without a write.
    EXPECT_LE(got.updates.size(), expected.updates.size());
    for (std::size_t k = got.updates.size(); k < expected.updates.size(); ++k)
        ASSERT_EQ(expected.updates[k].writes, std::vector<std::string>{}) << "update " << k << " of " << r.name;
}

INSTANTIATE_TEST_SUITE_P(References, DriverLog,
                         testing::Values(Reference{"01_tempo_div", false}, Reference{"02_loops_calls", true},
                                         Reference{"03_modulation", true}, Reference{"04_psg_envelopes", true},
                                         Reference{"05_noise", true}, Reference{"06_dac_drums", false},
                                         Reference{"07_note_fill", true}, Reference{"08_volume_pan", false},
                                         Reference{"09_fm6_end", true}, Reference{"10_s1_form", true},
                                         Reference{"11_durations", true}, Reference{"12_big_load", true}),
                         [](const auto& info) { return std::string(info.param.name).substr(3); });

}  // namespace
}  // namespace ferro::test

namespace ferro::test {
namespace {

PlayerOptions at(std::uint16_t address) {
    PlayerOptions options;
    options.placement = {SoundDriver::Sonic2, address, std::nullopt};
    options.loopSearchFrames = 0;
    return options;
}

// The frames in which an update begins, over the first `frames`.
std::vector<std::uint32_t> updateFrames(const Bytes& song, const PlayerOptions& options, std::uint32_t frames) {
    SongPlayer player(song, options);
    std::vector<std::uint32_t> out;
    Frame frame;
    while (player.nextFrame() < frames && player.step(frame))
        if (frame.updateAt) out.push_back(frame.index);
    return out;
}

// Six FM tracks loading a voice in the same update: 180 writes keep the
// driver past the next interrupt, which is lost. A song in the bank window
// is not unpacked: its first update comes in the loading frame, whose
// clearing alone leaves too little of it to take the next interrupt.
TEST(Sonic2Frames, AnUpdateOfManyWritesLosesTheNextAndTheLoadWaitsForTheUnpacking) {
    const Bytes track = {0xA1, 0x01, 0xEF, 0x00, 0xA1, 0x01, 0xA1, 0x01, 0xF2};
    const std::vector<Bytes> six(6, track);
    EXPECT_EQ(updateFrames(sonic2Song(0x9000, 0xFF, six), at(0x9000), 6), (std::vector<std::uint32_t>{0, 2, 4, 5}));
    EXPECT_EQ(updateFrames(sonic2Song(0x1380, 0xFF, six), at(0x1380), 6), (std::vector<std::uint32_t>{1, 2, 4, 5}));
}

struct Refused {
    const char* name;
    std::uint16_t address;
    Bytes fm1;
    std::string message;
};

class Sonic2Refusals : public testing::TestWithParam<Refused> {};

TEST_P(Sonic2Refusals, NameTheTrackAndThePlace) {
    const Refused& c = GetParam();
    Bytes song = sonic2Song(c.address, 0xFF, {c.fm1});
    SongPlayer player(song, at(c.address));
    Frame frame;
    while (player.nextFrame() < 10 && player.step(frame)) {
    }
    ASSERT_TRUE(player.error());
    EXPECT_EQ(*player.error(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Songs, Sonic2Refusals,
    testing::Values(
        Refused{"OutsideRamAndWindow", 0x2000, {0xF2},
                "A Sonic 2 song of 41 bytes at Z80 address 2000 lies outside both the driver's music buffer (1380, "
                "1984 bytes) and its bank window (8000-FFFF)"},
        Refused{"JumpOutOfTheSong", 0x8000, {0xA1, 0x01, 0xF6, 0x00, 0x90},
                "FM1 at offset 0011 (Z80 8011): jumps outside the song"},
        Refused{"ReturnWithoutCall", 0x1380, {0xE3}, "FM1 at offset 000F (Z80 138F): return (E3) without a call"},
        Refused{"RestoreSavedSong", 0x1380, {0xE4},
                "FM1 at offset 000F (Z80 138F): E4 restores a song the 1-up jingle saved: undefined in a song"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ferro::test

#include "player/saxman.hpp"

namespace ferro::test {
namespace {

struct Unpacking {
    const char* name;
    Bytes file;
    Bytes image;             // empty when refused
    std::string error;       // the start of the refusal
};

class Saxman : public testing::TestWithParam<Unpacking> {};

TEST_P(Saxman, UnpacksAsTheDriverDoes) {
    const Unpacking& c = GetParam();
    const SaxmanSong song = unpackSaxman(c.file, 16);
    EXPECT_EQ(song.bytes, c.image);
    EXPECT_EQ(song.error.value_or("").substr(0, c.error.size()), c.error);
}

// A copy's bytes b0 b1 give position ((b1 AND F0) × 16 + b0 + 12h) AND FFF,
// counted from the start of the unpacked song, and (b1 AND 0F) + 3 bytes.
INSTANTIATE_TEST_SUITE_P(
    Streams, Saxman,
    testing::Values(
        Unpacking{"Literals", literalSaxman({1, 2, 3, 4, 5, 6, 7, 8, 9}), {1, 2, 3, 4, 5, 6, 7, 8, 9}, ""},
        // Position 0 (EE F0), 4 bytes from 2 bytes unpacked: the overlap repeats.
        Unpacking{"OverlappingCopy", {5, 0, 0x03, 7, 8, 0xEE, 0xF1}, {7, 8, 7, 8, 7, 8}, ""},
        // Position 5, above the 1 byte unpacked: zeroes.
        Unpacking{"CopyFromAheadGivesZeroes", {4, 0, 0x01, 9, 0xF3, 0xF0}, {9, 0, 0, 0}, ""},
        Unpacking{"CopyOfTheBufferItself", {4, 0, 0x01, 9, 0xEF, 0xF0}, {}, "The Saxman stream at byte 4: a copy"},
        Unpacking{"CountPastTheFile", {9, 0, 0xFF, 1, 2}, {}, "The Saxman stream's count is 9 bytes, but only 3"},
        Unpacking{"MoreThanTheBuffer", literalSaxman(Bytes(17, 1)), {}, "The Saxman stream at byte 21: the song"},
        // The count ends the stream inside a copy's two bytes.
        Unpacking{"CountEndsInsideAnItem", {3, 0, 0x01, 9, 0xEE, 0xF1}, {9}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ferro::test

namespace ferro::test {
namespace {

// A DAC track's first duration comes before any drum: it repeats none.
TEST(Sonic2Dac, ADurationBeforeAnyDrumPlaysNothing) {
    const Bytes song = sonic2Song(0x1380, 0xFF, {}, {0x02, 0x81, 0x02, 0xF2});
    std::vector<std::pair<std::uint32_t, std::uint8_t>> drums;
    SongPlayer player(song, at(0x1380));
    Frame frame;
    while (player.nextFrame() < 10 && player.step(frame))
        for (const ChipWrite& w : frame.writes)
            if (w.port == ChipPort::Dac) drums.push_back({frame.index, w.value});
    EXPECT_EQ(drums, (std::vector<std::pair<std::uint32_t, std::uint8_t>>{{3, 0x81}}));
}

}  // namespace
}  // namespace ferro::test

namespace ferro::test {
namespace {

// PSG writes where Sonic 2 differs from Sonic 1: levels clamped to F, E6 a
// volume change without a write, a pitch past the table played from the
// driver's bytes (73: period 2DD), one with bit 15 as a rest without a write;
// each track's F2 then silences it.
TEST(Sonic2Psg, LevelsVolumeChangesAndPitchesPastTheTable) {
    const std::vector<std::pair<TrackBytes, std::string>> cases{
        {{{0x81, 0x01, 0xF2}, 0, 0x12}, "86 35 9F 9F"},
        {{{0xE6, 0x05, 0x81, 0x01, 0xF2}, 0, 0x02}, "86 35 97 9F"},
        {{{0xE9, 0x23, 0xD1, 0x01, 0xF2}}, "8D 2D 90 9F"},
        {{{0xC9, 0x01, 0xF2}}, "9F"},
    };
    for (const auto& [track, writes] : cases) {
        SongPlayer player(sonic2Song(0x8000, 0xFF, {}, {0xF2}, {track}), at(0x8000));
        Frame frame;
        std::string got;
        while (player.nextFrame() < 3 && player.step(frame))
            for (std::size_t i = frame.updateAt.value_or(frame.writes.size()); i < frame.writes.size(); ++i)
                got += (got.empty() ? "" : " ") + describe(frame.writes[i]);
        EXPECT_EQ(got, writes) << describe({ChipPort::Psg, 0, track.data[0]});
    }
}

}  // namespace
}  // namespace ferro::test
