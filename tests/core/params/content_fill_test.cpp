#include <gtest/gtest.h>

#include "params/auto_fill.hpp"
#include "params/content_fill.hpp"
#include "params/validation.hpp"
#include "support/xm_writer.hpp"

namespace ferro {
namespace {

TEST(ContentFill, RolesFromInstrumentNames) {
    using R = InstrumentRole;
    const std::pair<const char*, std::optional<R>> rows[] = {
        {"Kick 1", R::Drum},  {"BD_808", R::Drum},       {"SNR-2", R::Drum},      {"Bass Drum", R::Drum},
        {"tomhi", R::Drum},   {"handclap", R::Drum},     {"hihat", R::HiHat},     {"Open HH", R::HiHat},
        {"hh3", R::HiHat},    {"Crash cymbal", R::HiHat}, {"kick+hat", R::HiHat}, {"Bass", std::nullopt},
        {"Strings", std::nullopt}, {"Snap", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [name, role] : rows) EXPECT_EQ(roleFromName(name), role) << name;
}

// The instruments every shape below plays: a hit is 2000 points without a
// loop (a quarter second at C-4), a long sample 20000.
const std::vector<test::XmInstrumentLayout> kInstruments = {
    {"Kick", {2000}},        // 1
    {"Open HH", {2000}},     // 2
    {"Bass", {4000}, true},  // 3
    {"", {2000}},            // 4: an unnamed hit
    {"", {20000}},           // 5: unnamed and long
    {"Lead", {4000}, true},  // 6
};

// Channel c plays `instrument` on its first `notes` rows, climbing through
// `pitches` notes from `note`; instrument 0 leaves it empty.
struct Play {
    int instrument = 0;
    int notes = 0;
    int note = 49;
    int pitches = 1;
};

XmModule shape(const std::vector<Play>& channels, const std::vector<std::string>& names = {}, int rows = 64,
               int passes = 1) {
    test::XmLayout layout;
    layout.channelCount = static_cast<int>(channels.size());
    layout.instruments = kInstruments;
    layout.orderTable.assign(static_cast<std::size_t>(passes), 0);
    test::XmPatternLayout& pattern = layout.patterns[0];
    pattern.rows = rows;
    pattern.cells.assign(static_cast<std::size_t>(rows) * channels.size(), XmCell{});
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const Play& p = channels[c];
        for (int r = 0; r < p.notes && p.instrument != 0; ++r)
            pattern.cells[static_cast<std::size_t>(r) * channels.size() + c] = test::noteCell(
                static_cast<std::uint8_t>(p.note + r % p.pitches), static_cast<std::uint8_t>(p.instrument));
    }
    if (!names.empty()) {
        layout.trailer = {'C', 'N', 'A', 'M', 0, 0, 0, 0};
        for (const std::string& name : names) {
            std::vector<std::uint8_t> field(20, 0);
            std::copy(name.begin(), name.end(), field.begin());
            layout.trailer.insert(layout.trailer.end(), field.begin(), field.end());
        }
    }
    auto parsed = parseXmModule(test::buildXm(layout));
    EXPECT_TRUE(std::holds_alternative<XmModule>(parsed));
    return std::holds_alternative<XmModule>(parsed) ? std::get<XmModule>(std::move(parsed)) : XmModule{};
}

TEST(ContentFill, AssignmentsOfModuleShapes) {
    using Fm = std::array<XmChannelChoice, kMaxFmChannels>;
    using Psg = std::array<XmChannelChoice, kMaxPsgChannels>;
    const std::nullopt_t no = std::nullopt;
    const std::vector<Play> band = {{1, 8}, {3, 20}, {6, 30}, {2, 16}, {}};
    struct Case {
        const char* name;
        std::vector<Play> channels;
        std::vector<std::string> names;
        int fmCount, psgCount;
        bool drums, noise;
        Fm fm;
        Psg psg;
        XmChannelChoice dac;
    };
    const Case cases[] = {
        {"drums and hi-hats by name, melodies busiest first", band, {}, 2, 1, true, true, {3, 2}, {4, no, no}, 1},
        {"names that assign nothing give way", band, {"", "lead", "", "", ""}, 2, 1, true, true, {3, 2}, {4, no, no},
         1},
        {"names that assign come first", band, {"", "FM1", "", "", ""}, 1, 0, false, false, {2}, {}, no},
        {"an unnamed short sample on one note is a drum, a long one is not",
         {{4, 10}, {5, 10}}, {}, 1, 0, true, false, {2}, {}, 1},
        {"an unnamed short sample on many notes is a melody", {{4, 10, 49, 5}}, {}, 1, 0, false, false, {1}, {}, no},
        {"the busiest drum channel feeds the DAC", {{1, 4}, {4, 9}, {3, 5}}, {}, 1, 0, true, false, {3}, {}, 2},
        {"without drums six FM, then the PSG",
         {{3, 11}, {3, 12}, {3, 13}, {3, 14}, {3, 15}, {3, 16}, {3, 17}}, {}, 6, 1, false, false, {7, 6, 5, 4, 3, 2},
         {1, no, no}, no},
        {"with drums five FM; the PSG takes first the lines its table plays",
         {{1, 5}, {6, 50}, {6, 49}, {6, 48}, {6, 47}, {6, 46}, {6, 30, 80}, {6, 20}}, {}, 5, 2, true, false,
         {2, 3, 4, 5, 6}, {8, 7, no}, 1},
        {"with noise two PSG tone channels, the rest left over",
         {{2, 5}, {3, 50}, {3, 49}, {3, 48}, {3, 47}, {3, 46}, {3, 45}, {3, 44}, {3, 43}, {3, 42}}, {}, 6, 3, false,
         true,
         {2, 3, 4, 5, 6, 7}, {8, 9, 1}, no},
    };
    for (const Case& c : cases) {
        SongSettings s;
        ChannelAssignment a;
        resetChannelAssignment(a, static_cast<int>(c.channels.size()));
        a.psg = {1, 1, 1};  // earlier choices are all replaced
        ASSERT_TRUE(autoFillModule(shape(c.channels, c.names), s, a)) << c.name;
        EXPECT_EQ(std::tuple(s.fmChannelCount, s.psgChannelCount, s.hasDrums, s.useNoise),
                  std::tuple(c.fmCount, c.psgCount, c.drums, c.noise))
            << c.name;
        EXPECT_EQ(std::tuple(a.fm, a.psg, a.dac), std::tuple(c.fm, c.psg, c.dac)) << c.name;
        EXPECT_EQ(validateGeneralSettings(s, a).light, ReadinessLight::Green) << c.name;
    }
}

TEST(ContentFill, TheLineSaysWhatWentWhereAndWhy) {
    // Four passes of a 256-row pattern.
    const XmModule module = shape({{1, 12}, {3, 256}, {4, 2}, {}, {6, 1}, {}, {}, {}}, {}, 256, 4);
    SongSettings s;
    ChannelAssignment a;
    resetChannelAssignment(a, 8);
    EXPECT_EQ(autoFillModule(module, s, a),
              "Filled from the channels' content: FM1 \u2190 2 (Bass, 1,024 notes), FM2 \u2190 5 (Lead, 4 notes), "
              "DAC \u2190 1 (Kick, 48 notes); not used, as one channel feeds the DAC: 3 (instrument 4); "
              "empty: 4, 6-8");
}

}  // namespace
}  // namespace ferro
