#include <gtest/gtest.h>

#include <variant>

#include "base/driver_profile.hpp"
#include "song/song_model.hpp"
#include "song/song_setup.hpp"
#include "support/xm_writer.hpp"
#include "xm/xm_parser.hpp"

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

// A Sonic 2 song for the music buffer must fit it whatever choice grows it:
// a voice map that changes the voice on every one of 1,024 rows turns the
// light red, and back.
TEST(DriverChoice, AMapThatOverfillsTheMusicBufferTurnsTheLightRed) {
    test::XmLayout layout;
    layout.channelCount = 1;
    layout.orderTable = {0, 0, 0, 0};
    layout.patterns[0].rows = 256;
    for (int r = 0; r < 256; ++r)
        layout.patterns[0].cells.push_back(test::noteCell(static_cast<std::uint8_t>(r % 2 ? 49 : 51),
                                                          static_cast<std::uint8_t>(r % 2 + 1)));
    layout.instruments = {{"a", {16}}, {"b", {16}}};
    auto parsed = parseXmModule(test::buildXm(layout));
    ASSERT_TRUE(std::holds_alternative<XmModule>(parsed));
    SongModel model;
    XmModule module = std::get<XmModule>(std::move(parsed));
    module.fileName = "song.xm";
    model.load(std::move(module));
    model.setDriver(SoundDriver::Sonic2);
    model.setHasDrums(false);
    model.setUseNoise(false);
    model.setPsgChannelCount(0);
    model.setFmChannelCount(1);
    model.chooseChannel(0, 1);
    const auto lights = [&model](int voiceOfB) {
        model.setMapValue(InstrumentMapKind::Fm, 2, voiceOfB);
        return model.generalLight() == ReadinessLight::Red;
    };
    const bool small = lights(0);
    const bool grown = lights(1);
    EXPECT_EQ(std::tuple(small, grown, lights(0)), std::tuple(false, true, false)) << model.generalStatusText();
}

}  // namespace
}  // namespace ferro
