// The conversion reads the same rows from the scratch files and from memory:
// over many generated modules and choices, the windows' conversion (scratch
// files and working files), the in-memory conversion and the command line's
// (memory, outputs only) give the same bytes, or the same refusal.
#include <gtest/gtest.h>

#include <random>
#include <variant>

#include "engine/conversion.hpp"
#include "song/song_choices.hpp"
#include "engine/row_source.hpp"
#include "engine_test_util.hpp"
#include "support/xm_writer.hpp"
#include "xm/scratch_files.hpp"

namespace ferro {
namespace {

using test::TempDir;

// A module of 1..3 patterns of a few rows on 1..9 channels: notes, key-offs,
// instrument changes, breaks, order entries naming a pattern not stored, and
// now and then a note that FM or PSG cannot play.
test::XmLayout randomLayout(std::mt19937& g) {
    auto pick = [&g](int low, int high) { return std::uniform_int_distribution<int>(low, high)(g); };
    test::XmLayout layout;
    layout.channelCount = pick(1, 9);
    layout.patterns.clear();
    const int patterns = pick(1, 3);
    for (int p = 0; p < patterns; ++p) {
        test::XmPatternLayout pattern;
        pattern.rows = pick(1, 40);
        pattern.packed = pick(0, 3) != 0;
        for (int c = 0; c < pattern.rows * layout.channelCount; ++c) {
            XmCell cell;
            const int kind = pick(0, 9);
            if (kind < 3) cell.note = static_cast<std::uint8_t>(pick(1, 95));
            if (kind == 3) cell.note = kXmKeyOff;
            if (kind == 4 && pick(0, 30) == 0) cell.note = static_cast<std::uint8_t>(pick(0, 1) ? 96 : 98);
            if (kind < 5 && pick(0, 1)) cell.instrument = static_cast<std::uint8_t>(pick(1, 4));
            if (pick(0, 150) == 0) cell.effectType = kXmPatternBreak;
            pattern.cells.push_back(cell);
        }
        layout.patterns.push_back(pattern);
    }
    layout.orderTable.clear();
    const int songLength = pick(1, 5);
    for (int i = 0; i < songLength; ++i)
        layout.orderTable.push_back(static_cast<std::uint8_t>(pick(0, 9) == 0 ? 7 : pick(0, patterns - 1)));
    layout.restartPosition = pick(0, songLength);
    return layout;
}

SongChoices randomChoices(std::mt19937& g, int channels) {
    auto pick = [&g](int low, int high) { return std::uniform_int_distribution<int>(low, high)(g); };
    SongChoices c;
    c.settings.fmChannelCount = pick(0, 6);
    c.settings.psgChannelCount = pick(0, 3);
    c.settings.hasDrums = pick(0, 1);
    c.settings.useNoise = pick(0, 1);
    c.settings.loopSong = pick(0, 3) != 0;
    c.loopSongAtLoad = pick(0, 3) != 0;
    c.settings.optimiseOutput = pick(0, 1);
    c.settings.endDacWithE4 = pick(0, 1);
    c.settings.dividingTiming = pick(1, 9);
    c.settings.tempo = pick(1, 9);
    c.settings.removeRests = pick(0, 1) ? RemoveRestsState::Checked : RemoveRestsState::Off;
    c.assignment.channelCount = channels;
    for (auto& fm : c.assignment.fm) fm = pick(1, channels);
    for (auto& psg : c.assignment.psg) psg = pick(1, channels);
    c.assignment.dac = pick(1, channels);
    for (auto& pan : c.channels.pan) pan = static_cast<PanChoice>(pick(0, 4));
    for (auto& pitch : c.channels.pitch) pitch = pick(-40, 40);
    c.maps.drumsByNote = pick(0, 1);
    c.maps.hihatsByNote = pick(0, 1);
    for (int key = 0; key < 256; ++key) {
        c.maps.corri.push_back(static_cast<char>(key % 2));
        c.maps.psgorri.push_back(static_cast<char>(key % 10));
        c.maps.norri.push_back(static_cast<char>(1 + key % 2));
        c.maps.dorri.push_back(static_cast<char>(0x81 + key % 0x5F));
    }
    FmVoice second;
    second.bytes.fill(0x11);
    c.voices.add("first", FmVoice{});
    c.voices.add("second", second);
    c.writeBin = true;
    c.writeAsm = pick(0, 2) != 0;
    return c;
}

struct Outcome {
    bool succeeded = false;
    std::string message;
    Bytes binary;
    std::string listing;
};

TEST(RowSources, ScratchFilesAndMemoryGiveTheSameSong) {
    std::mt19937 g(20261207);
    int converted = 0;
    int refused = 0;
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const test::XmLayout layout = randomLayout(g);
        const SongChoices choices = randomChoices(g, layout.channelCount);
        const std::uint64_t seed = g();
        const bool removeRests =
            choices.settings.removeRests == RemoveRestsState::Checked && choices.settings.hasDrums;
        const Bytes bytes = test::buildXm(layout);

        // The windows: scratch files, "Remove rests" on C<n>.tmp, working files.
        TempDir windows;
        test::writeFileBytes(windows / "song.xm", bytes);
        auto loaded = loadXmModule(windows.path(), "song.xm");
        ASSERT_TRUE(std::holds_alternative<XmModule>(loaded));
        const XmModule& onDisk = std::get<XmModule>(loaded);
        ConversionRequest request = songRequest(onDisk, choices);
        if (removeRests) ASSERT_TRUE(removeDacKeyOffs(windows.path(), *choices.assignment.dac));
        const ConversionResult fromFiles = MAINCONVERSIONCODE(request, seededRandom(seed));
        Outcome expected{fromFiles.succeeded, fromFiles.message, windows.read("song.bin"), windows.readText("song.asm")};

        // Memory: the parsed module, nothing written.
        auto parsed = parseXmModule(bytes);
        ASSERT_TRUE(std::holds_alternative<XmModule>(parsed));
        XmModule inMemory = std::get<XmModule>(std::move(parsed));
        MemoryRowSource rows(inMemory);
        if (removeRests) ASSERT_TRUE(rows.removeKeyOffs(*choices.assignment.dac));
        const SongConversion song = convertSong(request, rows, seededRandom(seed));
        EXPECT_EQ(song.succeeded, expected.succeeded);
        if (expected.succeeded) {
            EXPECT_EQ(song.binary, expected.binary);
            if (request.writeAsm) EXPECT_EQ(song.listing, expected.listing);
            ++converted;
        } else {
            EXPECT_EQ(song.message, expected.message);
            ++refused;
        }

        // The command line's way: memory in, the outputs and nothing else out.
        TempDir cli;
        test::writeFileBytes(cli / "song.xm", bytes);
        request.workingDirectory = cli.path();
        const ConversionResult fromMemory = MAINCONVERSIONCODE(request, rows, seededRandom(seed));
        EXPECT_EQ(fromMemory.succeeded, expected.succeeded);
        EXPECT_EQ(fromMemory.message, expected.message);
        EXPECT_EQ(cli.read("song.bin"), expected.binary);
        EXPECT_EQ(cli.readText("song.asm"), expected.listing);
        std::vector<std::string> names = {"song.xm"};
        if (expected.succeeded) names = request.writeAsm ? std::vector<std::string>{"song.asm", "song.bin", "song.xm"}
                                                         : std::vector<std::string>{"song.bin", "song.xm"};
        EXPECT_EQ(cli.fileNames(), names);
    }
    // Both ways were really taken.
    EXPECT_GT(converted, 50);
    EXPECT_GT(refused, 5);
}

TEST(RowSources, RemovingKeyOffsChangesOnlyThatChannelsCopy) {
    test::XmLayout layout;
    layout.channelCount = 2;
    layout.patterns[0].rows = 3;
    layout.patterns[0].cells = {test::noteCell(kXmKeyOff), test::noteCell(kXmKeyOff), test::noteCell(5),
                                test::noteCell(kXmKeyOff), test::noteCell(kXmKeyOff, 2), test::noteCell(1)};
    auto parsed = parseXmModule(test::buildXm(layout));
    ASSERT_TRUE(std::holds_alternative<XmModule>(parsed));
    const XmModule& m = std::get<XmModule>(parsed);
    MemoryRowSource rows(m);
    ASSERT_TRUE(rows.removeKeyOffs(1));
    ASSERT_TRUE(rows.removeKeyOffs(1));
    EXPECT_FALSE(rows.removeKeyOffs(0));
    EXPECT_FALSE(rows.removeKeyOffs(3));
    const RowStream dac = rows.rowStream(1, 3);
    EXPECT_EQ(dac.cell(0), XmCell{});
    EXPECT_EQ(dac.cell(2), (XmCell{0, 2, 0, 0, 0}));
    EXPECT_EQ(rows.rowStream(2, 3).cell(0).note, kXmKeyOff);
    EXPECT_EQ(m.rowStream(1)[0], kXmKeyOff) << "the module itself is never changed";
    EXPECT_THROW(rows.rowStream(1, 4), ConversionError);
    EXPECT_THROW(rows.rowStream(3, 0), ConversionError);
}

}  // namespace
}  // namespace ferro
