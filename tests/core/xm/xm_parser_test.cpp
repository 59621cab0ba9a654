#include <gtest/gtest.h>

#include <variant>

#include "support/xm_writer.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {
namespace {

using test::TempDir;
using test::XmPatternLayout;
using test::XmLayout;

// A pattern of `rows` rows whose cell (r, n) holds note r+1 on channel n and
// instrument n, so every cell of a row stream tells where it came from.
XmPatternLayout numberedPattern(int rows, int channels, std::uint8_t tag) {
    XmPatternLayout p;
    p.rows = rows;
    for (int r = 0; r < rows; ++r)
        for (int n = 1; n <= channels; ++n)
            p.cells.push_back(XmCell{static_cast<std::uint8_t>(r % 96 + 1), static_cast<std::uint8_t>(n), tag, 0, 0});
    return p;
}

XmModule parseOk(const XmLayout& layout) {
    auto result = parseXmModule(test::buildXm(layout));
    EXPECT_TRUE(std::holds_alternative<XmModule>(result));
    if (!std::holds_alternative<XmModule>(result)) return XmModule{};
    return std::get<XmModule>(std::move(result));
}

// The cells of `cellCount` 5-byte records.
std::vector<XmCell> decodeCells(const std::uint8_t* data, std::size_t cellCount) {
    std::vector<XmCell> cells(cellCount);
    for (std::size_t i = 0; i < cellCount; ++i) {
        const std::uint8_t* c = data + i * kXmCellSize;
        cells[i] = XmCell{c[0], c[1], c[2], c[3], c[4]};
    }
    return cells;
}

std::vector<XmCell> rowStream(const XmModule& m, int channel) {
    const auto bytes = m.rowStream(channel);
    EXPECT_EQ(bytes.size() % 5, 0u);
    return decodeCells(bytes.data(), bytes.size() / 5);
}

XmError parseError(const std::vector<std::uint8_t>& bytes) {
    auto result = parseXmModule(bytes);
    EXPECT_TRUE(std::holds_alternative<XmError>(result));
    return std::holds_alternative<XmError>(result) ? std::get<XmError>(result) : XmError{};
}

TEST(XmParser, SongOrderRowCountsAndLoopStart) {
    XmLayout layout;
    layout.channelCount = 2;
    layout.orderTable = {0, 1, 0};
    layout.restartPosition = 1;
    layout.patterns = {numberedPattern(64, 2, 0xA0), numberedPattern(32, 2, 0xB0)};
    XmModule m = parseOk(layout);
    EXPECT_EQ(std::tuple(m.totalRows, m.restartRow, m.channelCount, m.patternRows),
              std::tuple(160, 64, 2, std::vector<std::int16_t>{64, 32}));
    EXPECT_EQ(std::tuple(m.rowStream(1).size(), m.rowStream(3).empty()), std::tuple(800u, true));
    const auto c2 = rowStream(m, 2);
    ASSERT_EQ(c2.size(), 160u);
    EXPECT_EQ((std::vector{c2[0], c2[63], c2[64], c2[96]}),
              (std::vector<XmCell>{{1, 2, 0xA0, 0, 0}, {64, 2, 0xA0, 0, 0}, {1, 2, 0xB0, 0, 0}, {1, 2, 0xA0, 0, 0}}));
    const auto p1c2 = m.patternChannel(1, 2);
    EXPECT_EQ(decodeCells(p1c2.data(), p1c2.size() / 5), std::vector<XmCell>(c2.begin() + 64, c2.begin() + 96));
    EXPECT_EQ(std::tuple(m.patternChannel(2, 1).empty(), m.patternChannel(0, 3).empty()), std::tuple(true, true));
}

TEST(XmParser, RestartRowFollowsRestartPosition) {
    struct Row { int restart; std::int32_t expected; };
    const Row rows[] = {{0, 0}, {1, 64}, {2, 96}, {3, 0}, {200, 0}, {-1, 0}};
    for (const Row& r : rows) {
        XmLayout layout;
        layout.channelCount = 1;
        layout.orderTable = {0, 1, 0};
        layout.restartPosition = r.restart;
        layout.patterns = {numberedPattern(64, 1, 0), numberedPattern(32, 1, 0)};
        EXPECT_EQ(parseOk(layout).restartRow, r.expected) << "restart " << r.restart;
    }
}

TEST(XmParser, PatternBreakCutsEveryChannelAtTheFirstBreakRow) {
    struct Row { std::vector<std::pair<int, int>> breaks; int expectedRows; };  // (row, channel)
    const Row rows[] = {{{{0, 1}}, 1}, {{{15, 3}}, 16}, {{{10, 2}, {5, 1}}, 6}, {{{63, 1}}, 64}, {{}, 64}};
    for (const Row& r : rows) {
        XmLayout layout;
        layout.channelCount = 3;
        layout.orderTable = {0, 0};
        XmPatternLayout p = numberedPattern(64, 3, 0);
        for (auto [row, ch] : r.breaks) p.cells[static_cast<std::size_t>(row * 3 + ch - 1)].effectType = kXmPatternBreak;
        layout.patterns = {p};
        XmModule m = parseOk(layout);
        EXPECT_EQ(std::tuple(m.patternRows[0], m.totalRows), std::tuple(r.expectedRows, 2 * r.expectedRows));
        for (int n = 1; n <= 3; ++n) {
            const auto cells = rowStream(m, n);
            ASSERT_EQ(cells.size(), static_cast<std::size_t>(2 * r.expectedRows));
            EXPECT_EQ(cells[static_cast<std::size_t>(r.expectedRows)].note, 1) << "second copy starts at row 0";
        }
    }
}

TEST(XmParser, PackedCellForms) {
    // Hand-made packed data for one channel, four rows.
    std::vector<std::uint8_t> packed = {
        0x80,                          // empty cell, one byte
        0x31, 0x02, 0x40, 0x08, 0x80,  // note below 128: five bytes
        0x90, 0x7F,                    // only the effect parameter
        0x9F, 0x61, 0x03, 0x10, 0x0D, 0x00,  // everything
    };
    XmLayout layout;
    layout.channelCount = 1;
    layout.patterns = {XmPatternLayout{}};
    layout.patterns[0].rows = 4;
    layout.patterns[0].storeNoData = true;
    auto bytes = test::buildXm(layout);
    // Patch the packed size and append the data.
    bytes[bytes.size() - 2] = static_cast<std::uint8_t>(packed.size());
    bytes.insert(bytes.end(), packed.begin(), packed.end());
    auto result = parseXmModule(bytes);
    ASSERT_TRUE(std::holds_alternative<XmModule>(result));
    const auto cells = rowStream(std::get<XmModule>(result), 1);
    EXPECT_EQ(cells, (std::vector<XmCell>{{0, 0, 0, 0, 0}, {0x31, 0x02, 0x40, 0x08, 0x80}, {0, 0, 0, 0, 0x7F},
                                          {0x61, 0x03, 0x10, 0x0D, 0x00}}));
    EXPECT_EQ(std::get<XmModule>(result).patternRows[0], 4) << "break in the last row changes nothing";
}

TEST(XmParser, PackedUnpackedOversizedAndEmptyPatternsReadAlike) {
    XmLayout layout;
    layout.channelCount = 2;
    layout.extraHeaderBytes = 40;
    layout.orderTable = {0, 1, 2, 3};
    XmPatternLayout unpacked = numberedPattern(8, 2, 1);
    unpacked.packed = false;
    XmPatternLayout longHeader = numberedPattern(8, 2, 2);
    longHeader.extraHeaderBytes = 7;
    XmPatternLayout empty;
    empty.rows = 16;
    empty.storeNoData = true;
    layout.patterns = {unpacked, longHeader, empty, numberedPattern(4, 2, 3)};
    XmModule m = parseOk(layout);
    EXPECT_EQ(m.totalRows, 36);
    const auto cells = rowStream(m, 2);
    ASSERT_EQ(cells.size(), 36u);
    EXPECT_EQ((std::vector{cells[7], cells[8], cells[16], cells[31], cells[32]}),
              (std::vector<XmCell>{{8, 2, 1, 0, 0}, {1, 2, 2, 0, 0}, {}, {}, {1, 2, 3, 0, 0}}));
}

TEST(XmParser, UnusedPatternIsKeptAndMissingPatternPlaysAsEmpty) {
    XmLayout layout;
    layout.channelCount = 1;
    layout.orderTable = {0, 5, 0};  // pattern 5 is not stored, as FastTracker 2 leaves a trailing empty one out
    layout.patterns = {numberedPattern(4, 1, 0), numberedPattern(8, 1, 0)};
    XmModule m = parseOk(layout);
    EXPECT_EQ(std::tuple(m.totalRows, m.patternRows.size(), m.patternChannel(1, 1).size()),
              std::tuple(4 + 64 + 4, 2u, 40u));
    const auto cells = rowStream(m, 1);
    ASSERT_EQ(cells.size(), 72u);
    EXPECT_EQ((std::vector{cells[4], cells[68]}), (std::vector<XmCell>{{}, {1, 1, 0, 0, 0}}));
}

TEST(XmParser, FailuresAreInvalidXmOrReadError) {
    const auto valid = test::buildXm(XmLayout{});
    auto lower = valid;
    lower[0] = 'e';
    auto noSongLength = valid;
    noSongLength[64] = noSongLength[65] = 0;
    auto noChannels = valid;
    noChannels[68] = noChannels[69] = 0;
    auto noPatterns = valid;
    noPatterns[70] = noPatterns[71] = 0;
    auto tinyHeader = valid;
    tinyHeader[60] = 8;  // block of 4 bytes: too short for the counts
    tinyHeader[61] = 0;
    auto hugeHeader = valid;
    hugeHeader[63] = 0x7F;
    auto negativeHeader = valid;
    negativeHeader[63] = 0x80;
    auto zeroRows = valid;
    zeroRows[60 + 276 + 5] = zeroRows[60 + 276 + 6] = 0;
    auto shortPatternHeader = valid;
    shortPatternHeader[60 + 276] = 5;
    auto tooManyChannels = valid;
    tooManyChannels[68] = 0x00;
    tooManyChannels[69] = 0x10;

    struct Row { const char* what; std::vector<std::uint8_t> bytes; XmError expected; };
    const Row rows[] = {
        {"empty file", {}, XmError::InvalidXm},
        {"lower-case id", lower, XmError::InvalidXm},
        {"id only", std::vector<std::uint8_t>(valid.begin(), valid.begin() + 17), XmError::ReadError},
        {"song length 0", noSongLength, XmError::ReadError},
        {"channel count 0", noChannels, XmError::ReadError},
        {"pattern count 0", noPatterns, XmError::ReadError},
        {"header block too short", tinyHeader, XmError::ReadError},
        {"header larger than the file", hugeHeader, XmError::ReadError},
        {"negative header size", negativeHeader, XmError::ReadError},
        {"pattern of 0 rows", zeroRows, XmError::ReadError},
        {"pattern header too short", shortPatternHeader, XmError::ReadError},
        {"4096 channels", tooManyChannels, XmError::ReadError},
    };
    for (const Row& r : rows) EXPECT_EQ(parseError(r.bytes), r.expected) << r.what;
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.xm");
    for (const char* name : {"gone.xm", "folder.xm"}) {
        const auto result = readXmModule(dir.path(), name);
        EXPECT_TRUE(std::holds_alternative<XmError>(result) && std::get<XmError>(result) == XmError::InvalidXm) << name;
    }
}

// Two short patterns of two channels, the second unpacked: a module small
// enough to cut at every offset.
std::vector<std::uint8_t> twoShortPatterns() {
    XmLayout layout;
    layout.channelCount = 2;
    layout.orderTable = {0, 1};
    layout.patterns = {numberedPattern(3, 2, 1), numberedPattern(2, 2, 2)};
    layout.patterns[1].packed = false;
    return test::buildXm(layout);
}

TEST(XmParser, ModuleCutAtEveryOffsetFailsCleanly) {
    const auto full = twoShortPatterns();
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        const std::vector<std::uint8_t> bytes(full.begin(), full.begin() + static_cast<long>(cut));
        const XmError expected = cut < 17 ? XmError::InvalidXm : XmError::ReadError;
        EXPECT_EQ(parseError(bytes), expected) << "cut at " << cut;
        // The header alone stands once its order table is there.
        auto header = parseXmHeader(bytes);
        EXPECT_EQ(std::holds_alternative<XmHeader>(header), cut >= 60 + 276) << "cut at " << cut;
    }
    EXPECT_TRUE(std::holds_alternative<XmModule>(parseXmModule(full)));
}

TEST(XmParser, ACutPatternIsNamedWithTheOffsetsWhereItEnds) {
    const auto full = twoShortPatterns();
    const std::size_t end = full.size();
    const std::size_t second = end - 9 - 20;  // pattern 1: 9-byte header, 2 rows x 2 channels x 5 bytes
    auto zeroRows = full;
    zeroRows[60 + 276 + 5] = zeroRows[60 + 276 + 6] = 0;
    const auto at = [](std::size_t n) { return std::to_string(n); };
    struct Row { std::vector<std::uint8_t> bytes; std::string problem; };
    const Row rows[] = {
        {{full.begin(), full.begin() + 340}, "pattern 0's data runs to offset 345, but the file ends at offset 340"},
        {{full.begin(), full.begin() + 350},
         "pattern 0's data runs to offset " + at(second) + ", but the file ends at offset 350"},
        {{full.begin(), full.end() - 5},
         "pattern 1's data runs to offset " + at(end) + ", but the file ends at offset " + at(end - 5)},
        {zeroRows, "pattern 0 has 0 rows; a pattern has 1 to 1024"},
        {{full.begin(), full.begin() + 50}, "the header runs to offset 64, but the file ends at offset 50"},
        {{'E', 'x', 't', 'e', 'n', 'd', 'e', 'd', ' ', 'm', 'o', 'd', 'u', 'l', 'e', ':', ' '},
         "the file does not start with \"Extended Module: \""},
    };
    for (const Row& r : rows) {
        std::string problem;
        EXPECT_TRUE(std::holds_alternative<XmError>(parseXmModule(r.bytes, &problem)));
        EXPECT_EQ(problem, r.problem);
    }
}

// A file cut after its patterns loads, with a warning that names the
// instruments it lacks from the one the file ends inside (or before).
TEST(XmParser, ACutInstrumentIsAWarningNamingTheMissingOnes) {
    XmLayout layout;
    layout.instrumentCount = 3;
    const std::size_t first = test::buildXm(layout).size();
    const std::size_t second = first + 303 + 100, third = second + 303 + 200;
    auto adpcm = test::xmInstrument("Pad", 50);  // ModPlug's: 16 bytes of table, 2 samples a byte
    adpcm[263 + 17] = 0xAD;
    adpcm.resize(263 + 40 + 16 + 25);
    for (const auto& instrument :
         {test::xmInstrument("Lead", 100), test::xmInstrument("Slap bass", 200), adpcm})
        layout.trailer.insert(layout.trailer.end(), instrument.begin(), instrument.end());
    const auto full = test::buildXm(layout);
    const auto ends = [](std::size_t n) { return ": the file ends at offset " + std::to_string(n) + ", "; };
    struct Row { std::size_t cut; std::string warning; };
    const Row rows[] = {
        {full.size(), ""},
        {third - 50, "instruments 2 to 3 are missing" + ends(third - 50) + "inside instrument 2 (Slap bass)"},
        {second + 8, "instruments 2 to 3 are missing" + ends(second + 8) + "inside instrument 2 (Slap)"},
        {third, "instrument 3 is missing" + ends(third) + "before instrument 3"},
        {first + 2, "instruments 1 to 3 are missing" + ends(first + 2) + "inside instrument 1"},
    };
    for (const Row& r : rows) {
        auto result = parseXmModule(std::span(full).first(r.cut));
        ASSERT_TRUE(std::holds_alternative<XmModule>(result)) << r.cut;
        EXPECT_EQ(std::get<XmModule>(result).warning, r.warning) << r.cut;
    }
}

TEST(XmParser, HeaderForTheInfoWindow) {
    TempDir dir;
    XmLayout layout;
    layout.moduleName = "caf\xE9 tune";
    layout.versionMinor = 4;
    layout.versionMajor = 1;
    layout.orderTable = {0, 1, 2, 1};
    layout.patterns = {XmPatternLayout{}, XmPatternLayout{}, XmPatternLayout{}};
    layout.flags = 3;
    layout.tempo = 6;
    layout.bpm = 0x8000;
    test::writeFileBytes(dir / "song.xm", test::buildXm(layout));
    auto result = readXmHeader(dir / "song.xm");
    ASSERT_TRUE(std::holds_alternative<XmHeader>(result));
    const XmHeader& h = std::get<XmHeader>(result);
    EXPECT_EQ(h.moduleName, std::string("caf\xE9 tune") + std::string(11, '\0'));
    EXPECT_EQ(std::tuple(h.versionMajor, h.versionMinor, h.headerSize, h.orderTable, h.patternCount, h.frequencyFlags,
                         h.defaultBpm),
              std::tuple(1, 4, 276, std::vector<std::uint8_t>{0, 1, 2, 1}, 3, 3, -32768));
    EXPECT_TRUE(dir.fileNames() == std::vector<std::string>{"song.xm"}) << "the header read writes nothing";
}

// The names sit between sample data of any length; a count beyond what the
// file holds leaves empty names, and a header cut short keeps what of its
// name the file holds, rather than failing.
TEST(XmParser, InstrumentNamesPastTheSampleData) {
    const struct {
        std::vector<test::XmInstrumentLayout> instruments;
        int announced, cut;
        std::vector<std::string> names;
    } rows[] = {
        {{{"Slap bass   ", {}}, {std::string("Lead\0junk", 9), {}}}, 2, 0, {"Slap bass", "Lead"}},
        {{{"Kick", {100}}, {"Hat", {3, 517}}, {"Pad", {}}}, 3, 0, {"Kick", "Hat", "Pad"}},
        {{{"Kick", {100}}, {"Hat", {}}}, 4, 0, {"Kick", "Hat", "", ""}},
        {{{"Kick", {}}, {"Hat", {}}}, 2, 10, {"Kick", "Hat"}},
    };
    for (const auto& row : rows) {
        XmLayout layout;
        layout.instruments = row.instruments;
        std::vector<std::uint8_t> bytes = test::buildXm(layout);
        bytes[72] = static_cast<std::uint8_t>(row.announced);  // the instrument count
        bytes.resize(bytes.size() - static_cast<std::size_t>(row.cut));
        const auto module = parseXmModule(bytes);
        ASSERT_TRUE(std::holds_alternative<XmModule>(module));
        EXPECT_EQ(std::get<XmModule>(module).instrumentNames, row.names);
    }
}

// What Auto fill reads of each instrument's first sample: its length in
// points (16-bit points take two bytes), its loop and its relative note;
// nothing for an instrument without samples or a sample header cut short.
TEST(XmParser, FirstSampleOfEachInstrument) {
    XmLayout layout;
    layout.instruments = {{"Kick", {300, 7}, false, 12}, {"Pad", {1000}, true, -5}, {"Empty", {}}};
    auto sixteen = test::xmInstrument("Snare", 400);
    sixteen[263 + 14] = 0x10;  // the type: 16-bit, no loop
    layout.trailer = sixteen;
    std::vector<std::uint8_t> bytes = test::buildXm(layout);
    bytes[72] = 4;  // the instrument count
    const XmSampleFacts kick{300, false, 12, 0}, pad{1000, true, -5, 0}, snare{200, false, 0, 0};
    using Facts = std::vector<std::optional<XmSampleFacts>>;
    const struct {
        std::size_t cut;
        Facts facts;
    } rows[] = {
        {0, {kick, pad, std::nullopt, snare}},
        {400 + 40 - 16, {kick, pad, std::nullopt, std::nullopt}},
    };
    for (const auto& row : rows) {
        const auto module = parseXmModule(std::span(bytes).first(bytes.size() - row.cut));
        ASSERT_TRUE(std::holds_alternative<XmModule>(module));
        EXPECT_EQ(std::get<XmModule>(module).instrumentSamples, row.facts) << row.cut;
    }
}

// A note plays the sample its instrument's note map names, at that sample's
// default volume; the envelope switch and fadeout come along.
TEST(XmParser, InstrumentFactsForTheVolumes) {
    XmLayout layout;
    layout.instrumentCount = 1;
    auto instrument = test::xmInstrument("Two samples", 0);
    instrument[27] = 2;              // sample count
    instrument[33 + 48] = 1;         // C-4 plays sample 1
    instrument[233] = 1;             // volume envelope on
    instrument[239] = 0x00, instrument[240] = 0x02;  // fadeout 200h
    instrument[263 + 12] = 20;       // sample 0's volume
    std::vector<std::uint8_t> second(40, 0);
    second[12] = 99;                 // past 64: played at 64
    instrument.insert(instrument.end(), second.begin(), second.end());
    layout.trailer = instrument;
    const auto module = parseXmModule(test::buildXm(layout));
    ASSERT_TRUE(std::holds_alternative<XmModule>(module));
    const auto& facts = std::get<XmModule>(module).instruments;
    ASSERT_EQ(facts.size(), 1u);
    EXPECT_EQ(std::tuple(facts[0].noteVolume(1), facts[0].noteVolume(49), facts[0].volumeEnvelope, facts[0].fadeout),
              std::tuple(20, 64, true, 0x200));
}

TEST(XmParser, TinyFileAnnouncingAHugeModuleIsRefused) {
    // 1025 rows is past what any tracker writes; 200 empty patterns of 1024
    // rows on 64 channels, or a song that plays one such pattern 200 times,
    // is more than a module can need.
    struct Row { int rows; int patterns; int channels; int songLength; };
    for (const Row& r : {Row{1025, 1, 4, 1}, Row{1024, 200, 64, 1}, Row{1024, 1, 64, 200}}) {
        XmLayout layout;
        layout.channelCount = r.channels;
        layout.orderTable.assign(static_cast<std::size_t>(r.songLength), 0);
        XmPatternLayout p;
        p.rows = r.rows;
        p.storeNoData = true;
        layout.patterns.assign(static_cast<std::size_t>(r.patterns), p);
        EXPECT_EQ(parseError(test::buildXm(layout)), XmError::ReadError) << r.rows << " " << r.patterns;
    }
}

TEST(ScratchFiles, WrittenFromTheParsedModuleAndGoneWithTheFolderObject) {
    TempDir dir;
    XmLayout layout;
    layout.channelCount = 2;
    layout.orderTable = {1, 0, 7};
    layout.patterns = {numberedPattern(4, 2, 1), numberedPattern(3, 2, 2)};
    test::writeFileBytes(dir / "song.xm", test::buildXm(layout));
    test::writeFileBytes(dir / "P9C9.tmp", {1});  // left by an earlier session
    {
        ScratchFolder scratch(dir.path());
        auto loaded = scratch.load("song.xm");
        ASSERT_TRUE(std::holds_alternative<XmModule>(loaded));
        const XmModule& m = std::get<XmModule>(loaded);
        EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"C1.tmp", "C2.tmp", "P0C1.tmp", "P0C2.tmp", "P1C1.tmp",
                                                              "P1C2.tmp", "song.xm"}));
        for (int n = 1; n <= 2; ++n) {
            const auto c = m.rowStream(n);
            EXPECT_EQ(test::readFileBytes(dir / rowStreamFileName(n)), std::vector<std::uint8_t>(c.begin(), c.end()));
            for (int p = 0; p < 2; ++p) {
                const auto cells = m.patternChannel(p, n);
                EXPECT_EQ(test::readFileBytes(dir / patternChannelFileName(p, n)),
                          std::vector<std::uint8_t>(cells.begin(), cells.end()));
            }
        }
        EXPECT_EQ(m.rowStream(1).size(), (3u + 4u + 64u) * 5u);

        // A failed load leaves no scratch file.
        test::writeFileBytes(dir / "cut.xm", std::vector<std::uint8_t>(100, 'E'));
        EXPECT_TRUE(std::holds_alternative<XmError>(scratch.load("cut.xm")));
        EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"cut.xm", "song.xm"}));
        ASSERT_TRUE(std::holds_alternative<XmModule>(scratch.load("song.xm")));
    }
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"cut.xm", "song.xm"}));
}

TEST(ScratchFiles, RemovingRestsClearsTheKeyOffsOfOneRowStream) {
    test::TempDir dir;
    // A note, a key-off, a key-off with an effect, and a trailing partial row.
    dir.write("C3.tmp", {49, 1, 0, 0, 0, 97, 2, 0, 0, 0, 97, 0, 0, 8, 0x61, 97, 97});
    ASSERT_TRUE(removeRowStreamKeyOffs(dir.path(), 3));
    EXPECT_EQ(dir.read("C3.tmp"), (Bytes{49, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 8, 0x61, 97, 97}));
    EXPECT_FALSE(removeRowStreamKeyOffs(dir.path(), 4));
}

TEST(ScratchFiles, ALinkUnderAScratchNameIsRemovedNotFollowed) {
    TempDir dir, elsewhere;
    std::error_code ec;
    std::filesystem::create_symlink(elsewhere / "target.bin", dir / "C1.tmp", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here";
    test::writeFileBytes(dir / "song.xm", test::buildXm(XmLayout{}));
    ASSERT_TRUE(std::holds_alternative<XmModule>(loadXmModule(dir.path(), "song.xm")));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "C1.tmp"));
    EXPECT_TRUE(elsewhere.fileNames().empty()) << "nothing was written through the link";
}

TEST(ScratchFiles, OnlyTheProgramsOwnNamesAreDeleted) {
    TempDir dir;
    const std::vector<std::string> ours = {"P0C1.tmp", "P12C3.tmp", "C1.tmp", "c12.TMP", "BATMAN3.tmp",
                                           "lol10.tmp", "voices.tmp", "VOICES.TMP"};
    const std::vector<std::string> theirs = {"C1.tmp.bak", "notes.tmp", "C1a.tmp", "C01.tmp", "song.xm",
                                             "P01C1.tmp", "PC1.tmp", "BATMAN.tmp", "C.tmp", "LOL-1.tmp",
                                             "myvoices.tmp", "C1.tmpx", "P1C.tmp", "C0.tmp", "P0C0.tmp",
                                             "BATMAN0.tmp"};
    for (const auto& n : ours) test::writeFileBytes(dir / n, {1});
    for (const auto& n : theirs) test::writeFileBytes(dir / n, {2});
    std::filesystem::create_directory(dir / "C2.tmp");  // a folder is never ours
    EXPECT_TRUE(deleteScratchFiles(dir.path()));
    std::vector<std::string> expected = theirs;
    expected.push_back("C2.tmp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.fileNames(), expected);
}

}  // namespace
}  // namespace ferro
