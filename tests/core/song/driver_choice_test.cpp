#include <gtest/gtest.h>

#include <variant>

#include "base/driver_profile.hpp"
#include "song/song_setup.hpp"

namespace ferro {
namespace {

// Sonic 1's tempo t ticks (t - 1)/t of the frames, Sonic 2's T T/256.
TEST(DriverChoice, TempoConvertsToTheNearestOfTheOtherDriver) {
    struct Case {
        int tempo;
        SoundDriver from;
        int expected;
    };
    const std::vector<Case> cases = {
        {2, SoundDriver::Sonic1, 0x80}, {3, SoundDriver::Sonic1, 0xAB}, {4, SoundDriver::Sonic1, 0xC0},
        {9, SoundDriver::Sonic1, 0xE4}, {1, SoundDriver::Sonic1, 1},    {0xC0, SoundDriver::Sonic2, 4},
        {0x81, SoundDriver::Sonic2, 2}, {0xFF, SoundDriver::Sonic2, 9}, {1, SoundDriver::Sonic2, 1},
    };
    for (const Case& c : cases) {
        const SoundDriver to = c.from == SoundDriver::Sonic1 ? SoundDriver::Sonic2 : SoundDriver::Sonic1;
        EXPECT_EQ(convertTempo(c.tempo, c.from, to), c.expected) << c.tempo;
    }
}

// The driver, its tempo and the address as a setup file gives them; what is
// written reads back the same.
TEST(DriverChoice, SetupKeys) {
    struct Case {
        const char* json;
        std::optional<std::tuple<SoundDriver, int, int>> expected;  // driver, tempo, address; none: refused
    };
    const std::vector<Case> cases = {
        {R"({})", std::tuple{SoundDriver::Sonic1, 2, 0x1380}},
        {R"({"driver": "sonic2"})", std::tuple{SoundDriver::Sonic2, 0x80, 0x1380}},
        {R"({"driver": "sonic2", "tempo": 200, "z80Address": "8400"})", std::tuple{SoundDriver::Sonic2, 200, 0x8400}},
        {R"({"tempo": 200})", std::nullopt},
        {R"({"driver": "sonic3"})", std::nullopt},
        {R"({"z80Address": "2000"})", std::nullopt},
        {R"({"z80Address": "12345"})", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto read = parseSongSetup(c.json, {}, 4);
        ASSERT_EQ(std::holds_alternative<SongChoices>(read), c.expected.has_value()) << c.json;
        if (!c.expected) continue;
        const SongSettings& s = std::get<SongChoices>(read).settings;
        EXPECT_EQ(std::tuple(s.driver, s.tempo, s.z80Address), *c.expected) << c.json;
        const auto again = parseSongSetup(writeSongSetup(std::get<SongChoices>(read)), {}, 4);
        const SongSettings& t = std::get<SongChoices>(again).settings;
        EXPECT_EQ(std::tuple(t.driver, t.tempo, t.z80Address), *c.expected) << c.json;
    }
}

}  // namespace
}  // namespace ferro
