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
    const std::string stem = std::string(FERRO_TEST_DATA) + "/sonic2/" + r.name;
    std::uint32_t lastFrame = 0;
    const DriverRun expected = readLog(stem + ".log", r.envelopes, lastFrame);
    ASSERT_GT(expected.updates.size(), 10u);
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
