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

std::string voices(int n, int had, const std::string& first) {
    return "Warning: " + std::to_string(n) + " notes play an FM voice the song does not have (it has " +
           std::to_string(had) + " voices, 0 to " + std::to_string(had - 1) + "). First: " + first + ".";
}

std::string envelopes(int n, const std::string& first) {
    return "Warning: " + std::to_string(n) +
           " notes use a PSG envelope the Sonic 1 driver does not have (1 to 9, 0 for none). First: " + first + ".";
}

std::string samples(int n, const std::string& first) {
    return "Warning: " + std::to_string(n) +
           " drums ask for a DAC sample the Sonic 1 driver has no sound for (it has 81-83, 87 and 88-8B). First: " +
           first + ".";
}

// FM 1 and FM 2 from XM channels 1 and 2, PSG 1 from 3, the noise channel from
// 4; every channel holds C-4 at row 2 unless a case places other notes. The
// song has three voices (0 to 2); the maps are a fresh module's (instrument k
// plays voice k - 1, no PSG envelope, every drum the kick).
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
        // FM voices past the song's.
        {"instruments 1 to 3 play voices 0 to 2", {}, {{1, 2, note(49, 3)}, {2, 2, note(49, 1)}}, {}},
        {"instrument 4 plays voice 3 of three: each note of it counts, not the instrument alone", {},
         {{1, 0, test::instrumentOnly(4)}, {1, 5, note(50)}, {1, 7, note(51, 1)}, {2, 9, note(52, 4)}},
         {voices(3, 3, "XM channel 1, " + at + "2, instrument 4 plays voice 3")}},
        {"a remapped instrument", {}, {{2, 3, note(49, 7)}},
         {voices(1, 3, "XM channel 2, " + at + "3, instrument 7 plays voice 200")},
         [](ConversionRequest& r) { r.instrumentVoices[6] = static_cast<char>(200); }},
        {"no voices at all is the voice light's", {}, {{1, 2, note(49, 9)}}, {},
         [](ConversionRequest& r) { r.voices.clear(); }},
        {"a PSG channel plays no FM voice", {}, {{3, 2, note(49, 9)}}, {}},
        {"one voice", {}, {{1, 2, note(49, 2)}}, {voices(1, 1, "XM channel 1, " + at + "2, instrument 2 plays voice 1")},
         [](ConversionRequest& r) { r.voices.resize(1); }},
        // PSG envelopes past the nine.
        {"envelopes 0 to 9 are the driver's", {}, {{3, 2, note(49, 2)}, {3, 4, note(49, 3)}}, {},
         [](ConversionRequest& r) {
             r.instrumentPsgEnvelopes[1] = 9;
             r.instrumentPsgEnvelopes[2] = 1;
         }},
        {"envelope 10 on a PSG tone channel", {}, {{3, 2, note(49, 2)}, {3, 9, test::keyOff()}, {3, 10, note(49)}},
         {envelopes(2, "XM channel 3, " + at + "2, instrument 2 uses envelope 10")},
         [](ConversionRequest& r) { r.instrumentPsgEnvelopes[1] = 10; }},
        {"the noise channel takes the hi-hat map, an FM channel no envelope", {},
         {{4, 2, note(49, 2)}, {1, 2, note(49, 2)}}, {}, [](ConversionRequest& r) { r.instrumentPsgEnvelopes[1] = 127; }},
        // DAC samples without a sound.
        {"the driver's own drums", {}, {{4, 2, note(49, 1)}, {4, 3, note(49, 2)}, {4, 4, note(49, 3)}, {4, 5, note(49, 4)}}, {},
         [](ConversionRequest& r) {
             r.dac = 4;
             r.drumSamples[1] = static_cast<char>(0x87);
             r.drumSamples[2] = static_cast<char>(0x88);
             r.drumSamples[3] = static_cast<char>(0x8B);
         }},
        {"84 to 86 read garbage, 8C and up take their pitch from outside the table", {},
         {{4, 2, note(49, 1)}, {4, 3, note(49, 2)}, {4, 4, note(49, 3)}, {4, 5, test::keyOff()}, {4, 6, note(49, 4)}},
         {samples(4, "XM channel 4, " + at + "2, sample 84")},
         [](ConversionRequest& r) {
             r.dac = 4;
             r.drumSamples[0] = static_cast<char>(0x84);
             r.drumSamples[1] = static_cast<char>(0x86);
             r.drumSamples[2] = static_cast<char>(0x8C);
             r.drumSamples[3] = static_cast<char>(0xDF);
         }},
        {"drums keyed by note", {}, {{4, 2, note(12)}, {4, 4, note(13)}},
         {samples(1, "XM channel 4, " + at + "4, sample 85")},
         [](ConversionRequest& r) {
             r.dac = 4;
             r.drumsByNote = true;
             r.drumSamples = std::string(96, static_cast<char>(0x82));
             r.drumSamples[12] = static_cast<char>(0x85);
         }},
        {"without drums the DAC channel is not read", {}, {{4, 2, note(49, 1)}}, {},
         [](ConversionRequest& r) {
             r.dac = 4;
             r.hasDrums = false;
             r.drumSamples[0] = static_cast<char>(0x84);
         }},
        {"every warning, in order", {{0, 50}}, {{1, 2, note(49, 5)}, {3, 2, note(49, 2)}, {4, 2, note(49, 1)}},
         {kTempoOneWarning, notes(1, "XM channel 1, " + at + "2, note C-4 on FM 1"),
          voices(1, 3, "XM channel 1, " + at + "2, instrument 5 plays voice 4"),
          envelopes(1, "XM channel 3, " + at + "2, instrument 2 uses envelope 12"),
          samples(1, "XM channel 4, " + at + "2, sample 90")},
         [](ConversionRequest& r) {
             r.tempo = 1;
             r.dac = 4;
             r.instrumentPsgEnvelopes[1] = 12;
             r.drumSamples[0] = static_cast<char>(0x90);
         }},
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
        r.voices.resize(3);
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
    EXPECT_EQ(driverWarnings(r, test::CellRows()), std::vector<std::string>{kTempoOneWarning});
}

}  // namespace
}  // namespace ferro
