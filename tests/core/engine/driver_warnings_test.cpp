#include "engine/driver_warnings.hpp"

#include "engine_test_util.hpp"

namespace ferro {
namespace {

using test::note;

struct CellSource final : RowSource {
    explicit CellSource(const std::vector<std::vector<XmCell>>& c) : cells(c) {}
    RowStream rowStream(int n, int) const override { return RowStream::fromCells(n, cells.at(static_cast<std::size_t>(n))); }
    bool removeKeyOffs(int) override { return false; }
    const std::vector<std::vector<XmCell>>& cells;
};

std::string notes(int n, const std::string& first) {
    return "Warning: " + std::to_string(n) +
           " notes fall outside the Sonic 1 driver's range and will play at a wrong pitch. First: " + first + ".";
}

// FM 1 and FM 2 from XM channels 1 and 2, PSG 1 from 3, the noise channel from
// 4; every channel holds C-4 at row 2 unless a case places other notes.
TEST(DriverWarnings, TempoOneAndNotesOffTheFrequencyTables) {
    struct Case {
        std::string name;
        std::vector<std::pair<int, int>> pitches;        // slot, value
        std::vector<std::tuple<int, int, XmCell>> cells;  // channel, row, cell
        std::vector<std::string> expected;
        std::function<void(ConversionRequest&)> more = {};
    };
    const std::string at = "order position 0 (pattern 0), row ";
    const std::vector<Case> cases = {
        {"all in range", {}, {}, {}},
        {"tempo 1", {}, {}, {kTempoOneWarning}, [](ConversionRequest& r) { r.tempo = 1; }},
        {"FM: A#7 is the last entry, one up is past it", {{0, 1}}, {{1, 2, note(95)}},
         {notes(1, "XM channel 1, " + at + "2, note A#7 on FM 1")}},
        {"FM: below entry 0 wraps to the top", {{1, -2}}, {{2, 2, note(1)}},
         {notes(1, "XM channel 2, " + at + "2, note C-0 on FM 2")}},
        {"FM: entry 0 and a whole turn of transposition play", {{0, -1}, {1, 128}}, {{1, 2, note(1)}}, {}},
        {"PSG at -36: C-3 plays, B-2 does not", {}, {{3, 2, note(37)}, {3, 9, note(36)}},
         {notes(1, "XM channel 3, order position 1 (pattern 4), row 1, note B-2 on PSG 1")}},
        {"PSG at 0: entry 69 is the last", {{6, 0}}, {{3, 2, note(70)}, {3, 3, note(71)}},
         {notes(1, "XM channel 3, " + at + "3, note A#5 on PSG 1")}},
        {"the noise channel reads past the table on purpose", {}, {{4, 2, note(1)}}, {}},
        {"without noise the last PSG row is a tone channel", {}, {{4, 5, note(1)}},
         {notes(1, "XM channel 4, " + at + "5, note C-0 on PSG 2")}, [](ConversionRequest& r) { r.useNoise = false; }},
        {"key-offs and refused notes are not counted", {{0, 100}}, {{1, 2, test::keyOff()}, {1, 3, note(96)}}, {}},
        {"each track counts; first by row, then by track", {{1, 70}}, {{3, 2, note(30)}, {3, 9, note(31)}},
         {kTempoOneWarning, notes(4, "XM channel 3, " + at + "2, note F-2 on FM 2")},
         [](ConversionRequest& r) {
             r.tempo = 1;
             r.fm[1] = 3;  // XM channel 3 feeds FM 2 and PSG 1
         }},
        {"without an order table the song row", {}, {{3, 9, note(2)}},
         {notes(1, "XM channel 3, song row 9, note C#0 on PSG 1")}, [](ConversionRequest& r) { r.orderTable.clear(); }},
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
        for (auto [slot, value] : c.pitches) r.pitch[static_cast<std::size_t>(slot)] = value;
        if (c.more) c.more(r);
        std::vector<std::vector<XmCell>> cells(5, test::rows(12, {{2, note(49)}}));
        for (const auto& [channel, row, cell] : c.cells) cells[channel][row] = cell;
        EXPECT_EQ(driverWarnings(r, CellSource(cells)), c.expected) << c.name;
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
    EXPECT_EQ(driverWarnings(r, ScratchRowSource(dir.path())), std::vector<std::string>{kTempoOneWarning});
}

}  // namespace
}  // namespace ferro
