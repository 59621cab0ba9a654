#include "engine/sections.hpp"

#include <functional>

#include "engine/conversion_error.hpp"
#include "engine_test_util.hpp"

namespace ferro {
namespace {

using test::hex;
using test::keyOff;
using test::note;
using test::rows;
using test::show;
using test::C4;
using test::D4;

// `length` rows that differ from each other, starting from `seed`.
std::vector<XmCell> phrase(int length, int seed = 0) {
    std::vector<XmCell> out;
    for (int i = 0; i < length; ++i) out.push_back(note(1 + (i * 7 + seed) % 90, 1));
    return out;
}

std::vector<XmCell> times(const std::vector<XmCell>& part, int count) {
    std::vector<XmCell> out;
    for (int i = 0; i < count; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<XmCell> join(std::vector<XmCell> a, const std::vector<XmCell>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FindRepeatLength, ShortestRepeatOfTheLoopedRows) {
    std::vector<XmCell> volumeDiffers = times(phrase(16), 2);
    volumeDiffers[20].volume = 0x40;
    const std::vector<XmCell> halvesEqual = times(phrase(8), 2);
    struct Case {
        std::string name;
        std::vector<XmCell> cells;
        int loopStart;
        int expected;
    };
    const std::vector<Case> cases = {
        {"64 rows of a 16-row phrase", times(phrase(16), 4), 0, 16},
        {"the phrase's halves are equal too", times(halvesEqual, 4), 0, 8},
        {"48 rows start from blocks of 16", times(phrase(16), 3), 0, 16},
        {"48 rows of a 12-row phrase are never cut to 12", times(phrase(12), 4), 0, 48},
        {"rows before the loop start do not count", join(phrase(10, 3), times(phrase(16), 4)), 10, 16},
        {"an odd number of equal rows", times(phrase(1), 7), 0, 1},
        {"blocks start at 256 rows at most", times(phrase(1), 512), 0, 1},
        {"the volume column counts", volumeDiffers, 0, 32},
        {"no looped rows", phrase(8), 8, 0},
    };
    for (const Case& c : cases) {
        const RowStream stream = RowStream::fromCells(1, c.cells);
        EXPECT_EQ(findRepeatLength(stream, c.loopStart, stream.rowCount()), c.expected) << c.name;
    }
}

struct SectionCase {
    std::string name;
    ChannelRole role;
    PanChoice pan;
    std::vector<XmCell> cells;
    std::function<void(ConversionRequest&)> setup;
    std::string main;
    std::string intro;
};

std::vector<SectionCase> sectionCases() {
    const auto fm = ChannelRole::Fm;
    const auto centre = PanChoice::Centre;
    auto dt = [](int timing) { return [timing](ConversionRequest& r) { r.dividingTiming = timing; }; };
    auto intro = [](int loopStart) { return [loopStart](ConversionRequest& r) { r.restartRow = loopStart; }; };
    auto once = [](bool e4) {
        return [e4](ConversionRequest& r) {
            r.loopSong = false;
            r.endDacWithE4 = e4;
        };
    };
    const auto firstAt4 = rows(16, {{4, note(C4)}});
    const auto firstAt4Long = rows(128, {{4, note(C4)}});
    const auto pulses = times(rows(16, {{0, note(C4)}}), 4);
    return {
        {"first note at row 4, pan Left", fm, PanChoice::Left, firstAt4, {}, "E0 80 80 04 B1 10 F6 FF FC", ""},
        {"first note at row 4, 128 rows, dt 3", fm, PanChoice::Left, firstAt4Long, dt(3), "E0 80 80 04 B1 55 E7 2B F6 FF FA", ""},
        {"first note at row 4, 128 rows, dt 9", fm, PanChoice::Left, firstAt4Long, dt(9),
         "E0 80 80 04 B1 1C E7 1C E7 1C E7 1C E7 10 F6 FF F4", ""},
        {"pan Right opens with E0 40", ChannelRole::Dac, PanChoice::Right, rows(2, {{0, note(C4, 1)}}), {}, "E0 40 81 02 F6 FF FC", ""},
        {"empty main without intro", fm, centre, rows(16), {}, "80 10 F2", ""},
        {"empty main without intro, 300 rows, dt 3", fm, centre, rows(300), dt(3), "80 55 55 55 2D F2", ""},
        {"empty main with an intro; noise opens both", ChannelRole::PsgNoise, centre, rows(16, {{0, note(C4)}}), intro(8),
         "F3 E7 F2", "F3 E7 D1 10"},
        {"intro without notes rests until the main's first note", fm, centre, rows(16, {{12, note(C4)}}), intro(8),
         "B1 08 F6 FF FC", "80 0C"},
        {"intro's last note lasts until the main's first note", fm, centre, rows(12, {{0, note(C4)}, {6, note(D4)}}), intro(4),
         "B3 08 F6 FF FC", "B1 06"},
        {"instrument bytes before the intro's first note act", fm, centre,
         rows(8, {{0, test::instrumentOnly(3)}, {2, note(C4)}, {5, note(D4)}}), intro(4), "B3 04 F6 FF FC", "80 02 EF 02 B1 03"},
        {"played once: FM ends F2 without E4", fm, centre, rows(16, {{0, note(C4)}}), once(true), "B1 10 F2", ""},
        {"played once: the DAC ends E4 F2", ChannelRole::Dac, centre, rows(16, {{0, note(C4, 1)}}), once(true), "81 10 E4 F2", ""},
        {"played once without E4", ChannelRole::Dac, centre, rows(16, {{0, note(C4, 1)}}), once(false), "81 10 F2", ""},
        {"optimised loop", fm, centre, pulses, [](ConversionRequest& r) { r.optimiseOutput = true; }, "B1 10 F6 FF FC", ""},
        {"optimise needs Loop song", fm, centre, pulses,
         [](ConversionRequest& r) {
             r.optimiseOutput = true;
             r.loopSong = false;
         },
         "B1 10 10 10 10 F2", ""},
        {"not optimised", fm, centre, pulses, {}, "B1 10 10 10 10 F6 FF F9", ""},
        {"role None writes nothing", ChannelRole::None, centre, rows(4, {{0, note(C4)}}), intro(2), "", ""},
    };
}

TEST(ChannelSections, WorkedExamples) {
    for (const SectionCase& c : sectionCases()) {
        SCOPED_TRACE(c.name);
        ConversionRequest request = test::baseRequest();
        request.totalRows = static_cast<int>(c.cells.size());
        if (c.setup) c.setup(request);
        const ChannelSections s = buildChannelSections(request, RowStream::fromCells(1, c.cells), c.role, c.pan,
                                                       test::noRandom());
        EXPECT_EQ(show(s.main), show(hex(c.main)));
        EXPECT_EQ(show(s.intro), show(hex(c.intro)));
    }
}

// Notes on every row, C-4 and D-4 alternating: the main section is one byte
// per row plus one, so its jump spans exactly that many bytes.
TEST(ChannelSections, LoopJumpMustFitSixteenBits) {
    auto build = [](int rowCount) {
        std::vector<XmCell> cells;
        for (int r = 0; r < rowCount; ++r) cells.push_back(note(r % 2 == 0 ? C4 : D4));
        ConversionRequest request = test::baseRequest();
        request.totalRows = rowCount;
        return buildChannelSections(request, RowStream::fromCells(1, cells), ChannelRole::Fm, PanChoice::Centre,
                                    test::noRandom());
    };
    const ChannelSections fits = build(32765);
    ASSERT_EQ(fits.main.size(), 32766u + 3u);
    EXPECT_EQ(show(Bytes(fits.main.end() - 3, fits.main.end())), "F6 80 00");
    EXPECT_THROW(build(32766), ConversionError);
}

}  // namespace
}  // namespace ferro
