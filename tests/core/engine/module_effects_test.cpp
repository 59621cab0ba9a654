// The module's volumes as the track's volume flags, one small channel each.
#include <gtest/gtest.h>

#include <functional>

#include "engine/module_effects.hpp"
#include "engine/sections.hpp"
#include "engine_test_util.hpp"

namespace ferro {
namespace {

using test::C4;
using test::D4;
using test::hex;
using test::note;
using test::rows;
using test::show;

XmCell withVolume(XmCell cell, int volumeColumn) {
    cell.volume = static_cast<std::uint8_t>(volumeColumn);
    return cell;
}

struct FollowCase {
    std::string name;
    ChannelRole role;
    std::vector<XmCell> cells;
    std::function<void(ConversionRequest&)> setup;
    std::string main;
    std::string intro;
    std::vector<int> speeds = {};  // the speed of each row at BPM 125; none: 6 throughout
};

TEST(ModuleVolumes, WrittenAsTheTracksVolumeFlags) {
    const auto fm = ChannelRole::Fm;
    const auto psg = ChannelRole::PsgTone;
    const auto quietSample = [](ConversionRequest& r) {
        XmInstrumentFacts facts;
        facts.sampleVolumes = {16};
        r.instruments = {facts};
    };
    const std::vector<FollowCase> cases = {
        {"volume column on the note, back to the track's volume at the loop", fm,
         rows(4, {{0, withVolume(note(C4), 0x30)}}), {}, "E6 08 B1 04 E6 F8 F6 FF F8", ""},
        {"Cxx on a row without a note holds the note, quieter", fm,
         rows(4, {{0, note(C4)}, {2, note(0, 0, 0x0C, 0x10)}}), {}, "B1 02 E6 10 E7 02 E6 F0 F6 FF F6", ""},
        {"Axy slides over the row's later ticks (speed 6)", fm, rows(4, {{0, note(C4, 0, 0x0A, 0x02)}}), {},
         "B1 01 E6 02 E7 03 E6 FE F6 FF F6", ""},
        {"volume 0 silences the sounding note", fm, rows(4, {{0, note(C4)}, {2, note(0, 0, 0x0C, 0)}}), {},
         "B1 02 80 F6 FF FB", ""},
        {"a note with an instrument takes its sample's volume", fm, rows(4, {{0, note(C4, 1)}}), quietSample,
         "EF 00 E6 10 B1 04 E6 F0 F6 FF F6", ""},
        {"PSG steps of 2 dB, never past the quietest attenuation", psg,
         rows(4, {{0, withVolume(note(C4), 0x20)}, {2, withVolume(note(D4), 0x11)}}), {},
         "EC 06 B1 02 EC 09 B3 EC F1 F6 FF F5", ""},
        {"the intro ends at the track's own volume", fm,
         rows(4, {{0, withVolume(note(C4), 0x30)}, {2, note(D4)}}), [](ConversionRequest& r) { r.restartRow = 2; },
         "E6 08 B3 02 E6 F8 F6 FF F8", "E6 08 B1 02 E6 F8"},
        {"rows at twice the first row's speed last half a unit", fm,
         rows(6, {{0, note(C4)}, {2, note(D4)}, {4, note(test::E4)}}), {}, "B1 02 B3 01 B5 F6 FF F9", "",
         {6, 6, 3, 3, 3, 3}},
        {"EDx starts the note on the unit nearest its tick", fm, rows(4, {{0, note(C4)}, {2, note(D4, 0, 0x0E, 0xD3)}}),
         {}, "B1 03 B3 01 F6 FF FA", ""},
        {"EEx makes its row last once more per repeat", fm, rows(4, {{0, note(C4, 0, 0x0E, 0xE1)}}), {}, "B1 05 F6 FF FC",
         ""},
        {"4xy as the driver's modulation, off where the vibrato ends", fm, rows(4, {{0, note(C4, 0, 0x04, 0x48)}}), {},
         "F0 00 01 04 0A B1 01 F4 E7 03 F6 FF F4", ""},
        {"Sonic 2 steps an update earlier: its wait is one longer", fm, rows(4, {{0, note(C4, 0, 0x04, 0x48)}}),
         [](ConversionRequest& r) { r.driver = SoundDriver::Sonic2; }, "F0 01 01 04 0A B1 01 F4 E7 03 F6 FF F4", ""},
        {"3xx reaches its note without a new attack", fm, rows(4, {{0, note(C4)}, {2, note(D4, 0, 0x03, 0x10)}}), {},
         "B1 02 E7 B3 F6 FF FA", ""},
        {"E5x as a detune, ended by the next plain note", fm, rows(4, {{0, note(C4, 0, 0x0E, 0x5C)}, {2, note(D4)}}),
         {}, "E1 13 B1 02 E1 00 B3 F6 FF F7", ""},
        {"ECx silences the note from the next row", fm, rows(4, {{0, note(C4, 0, 0x0E, 0xC2)}}), {},
         "B1 01 80 03 F6 FF FA", ""},
    };
    for (const FollowCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionRequest request = test::baseRequest();
        request.moduleEffects = true;
        request.totalRows = static_cast<int>(c.cells.size());
        if (c.setup) c.setup(request);
        const RowStream stream = RowStream::fromCells(1, c.cells);
        std::vector<XmTempo> tempos(c.cells.size(), XmTempo{});
        for (std::size_t r = 0; r < c.speeds.size(); ++r) tempos[r].speed = c.speeds[r];
        test::CellRows source;
        source.set(1, c.cells);
        const SongTimeline timeline = songTimeline(request, tempos, songPatternDelays(request, source));
        const ChannelFollow follow = followChannel(request, stream, c.role, tempos, &timeline);
        const ChannelSections s =
            buildChannelSections(request, stream, c.role, PanChoice::Centre, test::noRandom(), &follow);
        EXPECT_EQ(show(s.main), show(hex(c.main)));
        EXPECT_EQ(show(s.intro), show(hex(c.intro)));
    }
}

}  // namespace
}  // namespace ferro

namespace ferro {
namespace {

// Each row starts on the unit nearest its time in the module, so that
// durations that do not divide evenly never drift; rows past the end run on
// into the loop's next pass.
TEST(SongTimeline, RowsStartOnTheNearestUnit) {
    ConversionRequest request = test::baseRequest();
    request.totalRows = 5;
    request.restartRow = 1;
    const std::vector<XmTempo> tempos = {{4, 125}, {6, 125}, {6, 125}, {6, 125}, {2, 125}};
    const SongTimeline timeline = songTimeline(request, tempos);
    EXPECT_EQ(timeline.start, (std::vector<int>{0, 1, 3, 4, 6, 6}));
    EXPECT_EQ(std::tuple(timeline.unitAt(6), timeline.unitAt(7)), std::tuple(8, 9));
}

// One line per channel that uses what the song leaves out; volumes count as
// followed on FM and PSG tracks, never on the DAC.
TEST(ModuleEffectWarnings, OneLinePerChannelThatLeavesSomethingOut) {
    ConversionRequest request = test::baseRequest();
    request.moduleEffects = true;
    request.channelCount = 3;
    request.totalRows = 4;
    request.fmChannelCount = 1;
    request.psgChannelCount = 1;
    request.useNoise = false;
    request.fm[0] = 1;
    request.psg[0] = 2;
    request.dac = 3;
    test::CellRows cells;
    cells.set(1, rows(4, {{0, note(C4, 0, 0x0A, 0x01)}, {1, note(0, 0, 0x0A, 0)}, {2, note(0, 0, 0x07, 0x11)}}));
    cells.set(2, rows(4, {{0, withVolume(note(C4), 0x20)}}));
    cells.set(3, rows(4, {{0, note(C4, 1, 0x0C, 0x20)}}));
    EXPECT_EQ(moduleEffectWarnings(request, cells),
              (std::vector<std::string>{
                  "Warning: XM channel 1 (FM1): 2 volume slides (Axy) followed per row; 1 tremolo (7xy) not followed",
                  "Warning: XM channel 3 (DAC): 1 volume (Cxx) not followed"}));
}

}  // namespace
}  // namespace ferro

namespace ferro {
namespace {

// The listing opens with the approximations the song makes of the module.
TEST(ModuleEffectListing, NamesTheApproximationsUsed) {
    ConversionRequest request = test::baseRequest();
    request.moduleEffects = true;
    request.totalRows = 4;
    request.fmChannelCount = 1;
    request.psgChannelCount = 0;
    request.hasDrums = false;
    request.fm[0] = 1;
    test::CellRows cells;
    cells.set(1, rows(4, {{0, note(C4, 0, 0x04, 0x48)}, {1, note(0, 0, 0x0A, 0x01)}}));
    const SongConversion song = convertSong(request, cells, test::noRandom());
    ASSERT_TRUE(song.succeeded) << song.message;
    EXPECT_TRUE(song.listing.starts_with("; The module's effects, approximated:\r\n"
                                         "; - volume slides move the volume once a row\r\n"
                                         "; - vibratos (4xy, 6xy) play as the driver's modulation\r\n"))
        << song.listing.substr(0, 200);
}

}  // namespace
}  // namespace ferro
