#include "engine/driver_warnings.hpp"

#include "engine_test_util.hpp"

namespace ferro {
namespace {

using test::keyOff;
using test::note;
using test::rows;

// FM 1 and FM 2 from XM channels 1 and 2, PSG 1 from 3, the noise channel
// from 4; every channel holds one note at row 2 unless a case says otherwise.
struct Case {
    std::string name;
    std::function<void(ConversionRequest&, std::vector<std::vector<XmCell>>&)> setup;
    std::vector<std::string> expected;
};

std::string notes(int n, const std::string& first) {
    return "Warning: " + std::to_string(n) +
           " notes fall outside the Sonic 1 driver's range and will play at a wrong pitch. First: " + first + ".";
}

TEST(DriverWarnings, TempoOneAndNotesOffTheFrequencyTables) {
    auto put = [](std::vector<std::vector<XmCell>>& c, int channel, int row, XmCell cell) {
        c[static_cast<std::size_t>(channel)][static_cast<std::size_t>(row)] = cell;
    };
    const std::vector<Case> cases = {
        {"all in range", {}, {}},
        {"tempo 1", [](ConversionRequest& r, auto&) { r.tempo = 1; }, {kTempoOneWarning}},
        {"FM: A#7 is the table's last entry, one up reads past it",
         [&](ConversionRequest& r, auto& c) {
             put(c, 1, 2, note(95));
             r.pitch[0] = 1;
         },
         {notes(1, "XM channel 1, order position 0 (pattern 0), row 2, note A#7 on FM 1")}},
        {"FM: below entry 0 wraps to the top",
         [&](ConversionRequest& r, auto& c) {
             put(c, 2, 2, note(1));
             r.pitch[1] = -2;
         },
         {notes(1, "XM channel 2, order position 0 (pattern 0), row 2, note C-0 on FM 2")}},
        {"FM: entry 0 and a transposition of a whole turn play",
         [&](ConversionRequest& r, auto& c) {
             put(c, 1, 2, note(1));
             r.pitch[0] = -1;
             r.pitch[1] = 128;
         },
         {}},
        {"PSG at -36: C-3 plays, B-2 does not",
         [&](ConversionRequest&, auto& c) {
             put(c, 3, 2, note(37));
             put(c, 3, 9, note(36));
         },
         {notes(1, "XM channel 3, order position 1 (pattern 4), row 1, note B-2 on PSG 1")}},
        {"PSG at 0: entry 69 is the last",
         [&](ConversionRequest& r, auto& c) {
             r.pitch[6] = 0;
             put(c, 3, 2, note(70));
             put(c, 3, 3, note(71));
         },
         {notes(1, "XM channel 3, order position 0 (pattern 0), row 3, note A#5 on PSG 1")}},
        {"the noise channel reads past the table on purpose", [&](ConversionRequest&, auto& c) { put(c, 4, 2, note(1)); },
         {}},
        {"without noise the last PSG row is a tone channel",
         [&](ConversionRequest& r, auto& c) {
             r.useNoise = false;
             put(c, 4, 5, note(1));
         },
         {notes(1, "XM channel 4, order position 0 (pattern 0), row 5, note C-0 on PSG 2")}},
        {"key-offs and refused notes are not counted",
         [&](ConversionRequest& r, auto& c) {
             r.pitch[0] = 100;
             put(c, 1, 2, keyOff());
             put(c, 1, 3, note(96));
         },
         {}},
        {"counted on every track, first by row, then track order",
         [&](ConversionRequest& r, auto& c) {
             r.tempo = 1;
             r.fm[1] = 3;  // XM channel 3 also feeds FM 2
             r.pitch[1] = 70;
             put(c, 3, 2, note(30));
             put(c, 3, 9, note(31));
         },
         {kTempoOneWarning, notes(4, "XM channel 3, order position 0 (pattern 0), row 2, note F-2 on FM 2")}},
        {"without an order table the song row",
         [&](ConversionRequest& r, auto& c) {
             r.orderTable.clear();
             put(c, 3, 9, note(2));
         },
         {notes(1, "XM channel 3, song row 9, note C#0 on PSG 1")}},
    };
    for (const Case& c : cases) {
        ConversionRequest r = test::baseRequest();
        r.channelCount = 4;
        r.totalRows = 12;
        r.orderTable = {0, 4};
        r.patternRows = {8, 0, 0, 0, 4};
        r.fmChannelCount = 2;
        r.fm = {1, 2, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
        r.psgChannelCount = 2;
        r.psg = {3, 4, std::nullopt};
        std::vector<std::vector<XmCell>> cells(5, rows(12, {{2, note(49)}}));
        if (c.setup) c.setup(r, cells);
        const auto source = [&cells](int channel) {
            return RowStream::fromCells(channel, cells[static_cast<std::size_t>(channel)]);
        };
        EXPECT_EQ(driverWarnings(r, source), c.expected) << c.name;
    }
}

TEST(DriverWarnings, UnreadableRowStreamsLeaveTheNotesToTheConversion) {
    test::TempDir dir;
    ConversionRequest r = test::baseRequest();
    r.workingDirectory = dir.path();
    r.totalRows = 4;
    r.fmChannelCount = 1;
    r.fm[0] = 1;
    r.tempo = 1;
    EXPECT_EQ(driverWarnings(r), std::vector<std::string>{kTempoOneWarning});
}

}  // namespace
}  // namespace ferro
