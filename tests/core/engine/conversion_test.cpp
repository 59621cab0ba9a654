#include "engine/conversion.hpp"

#include <functional>

#include "engine_test_util.hpp"
#include "smps2asm_expander.hpp"

namespace ferro {
namespace {

using test::hex;
using test::keyOff;
using test::note;
using test::rows;
using test::show;
using test::C4;

TEST(ConversionMessages, FormatsAndSizeOptions) {
    struct Case {
        bool bin, asmOut, dec, hexSize;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {true, true, false, false, "song.bin and song.asm created successfully!"},
        {true, false, false, false, "song.bin created successfully!"},
        {false, true, false, false, "song.asm created successfully!"},
        {true, true, true, true,
         "song.bin and song.asm created successfully!\r\nsong.bin is 1234 bytes big.\r\nsong.bin is $4D2 bytes big."},
        {true, false, true, true, "song.bin created successfully!\r\nsong.bin is 1234 bytes big.\r\nsong.bin is $4D2 bytes big."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(conversionSuccessMessage("song", c.bin, c.asmOut, c.dec, c.hexSize, 1234), c.expected);
    }
    EXPECT_EQ(conversionSuccessMessage("my song", true, false, false, true, 0),
              "my song.bin created successfully!\r\nmy song.bin is $0 bytes big.");
}

// The complete small song: one FM channel fed by XM channel 1, no PSG, no
// drums, looping, 16 rows, C-4 with instrument 1 on row 0 and a key-off on row 8.
ConversionRequest smallSong(const std::filesystem::path& dir) {
    ConversionRequest r = test::baseRequest();
    r.workingDirectory = dir;
    r.channelCount = 1;
    r.totalRows = 16;
    r.fmChannelCount = 1;
    r.fm[0] = 1;
    r.psgChannelCount = 0;
    r.hasDrums = false;
    r.dividingTiming = 3;
    r.tempo = 2;
    FmVoice voice;
    for (int i = 0; i < kFmVoiceSize; ++i) voice.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 9);
    voice.bytes[1] = 0x0A;
    voice.bytes[2] = 0xE0;
    r.voices = {voice};
    return r;
}

// The small song in its own folder, XM channel 1 holding `cells`.
struct SmallSong {
    explicit SmallSong(const std::vector<XmCell>& cells = rows(16, {{0, note(C4, 1)}, {8, keyOff()}}))
        : r(smallSong(dir.path())) {
        streams.set(1, cells);
    }
    ConversionResult convert(const RandomSource& random = test::noRandom()) const {
        return test::convertAndWrite(r, streams, random);
    }
    test::TempDir dir;
    test::CellRows streams;
    ConversionRequest r;
};
using Names = std::vector<std::string>;

const char* const kVoiceHex = "00 0A E0 1B 24 2D 36 3F 48 51 5A 63 6C 75 7E 87 90 99 A2 AB B4 BD C6 CF D8";

TEST(Conversion, CompleteSmallSong) {
    SmallSong song;
    const ConversionResult result = song.convert();
    ASSERT_TRUE(result.succeeded) << result.message;
    EXPECT_EQ(std::tuple(result.binaryLength, result.baseName, result.message),
              std::tuple(50u, "song", "song.bin and song.asm created successfully!"));
    const test::TempDir& dir = song.dir;
    EXPECT_EQ(show(dir.read("song.bin")),
              show(hex(std::string("00 19 02 00 03 02 00 18 00 00 00 0E 00 10 E0 C0 EF 00 B1 08 80 F6 FF F7 F2 ") +
                       kVoiceHex)));
    // The listing's form is the song writer's; here it must assemble to the binary.
    EXPECT_EQ(show(test::Smps2asmExpander().assemble(dir.readText("song.asm"))), show(dir.read("song.bin")));
    EXPECT_EQ(dir.fileNames(), (Names{"song.asm", "song.bin"}));
}

// The same song with 300 rows and the key-off on row 150: durations above 85
// rows are cut into pieces the driver multiplies without wrapping.
TEST(Conversion, LongNotesFollowTheDividingTiming) {
    struct Case {
        int dividingTiming;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {1, "00 1D 02 00 01 02 00 1C 00 00 00 0E 00 10 E0 C0 EF 00 B1 7F E7 17 80 7F 17 F6 FF F3 F2"},
        {3, "00 1D 02 00 03 02 00 1C 00 00 00 0E 00 10 E0 C0 EF 00 B1 55 E7 41 80 55 41 F6 FF F3 F2"},
        {9, "00 29 02 00 09 02 00 28 00 00 00 0E 00 10 E0 C0 EF 00 B1 1C E7 1C E7 1C E7 1C E7 1C E7 0A "
            "80 1C 1C 1C 1C 1C 0A F6 FF E7 F2"},
    };
    for (const Case& c : cases) {
        SmallSong song(rows(300, {{0, note(C4, 1)}, {150, keyOff()}}));
        song.r.totalRows = 300;
        song.r.dividingTiming = c.dividingTiming;
        song.r.writeAsm = false;
        const ConversionResult result = song.convert();
        ASSERT_TRUE(result.succeeded) << result.message;
        EXPECT_EQ(show(song.dir.read("song.bin")), show(hex(c.expected + " " + kVoiceHex))) << c.dividingTiming;
        EXPECT_EQ(song.dir.fileNames(), Names{"song.bin"});
    }
}

TEST(Conversion, OnlyTheListingIsWritten) {
    SmallSong song;
    song.r.fileName = "my song.xm";
    song.r.writeBin = false;
    const ConversionResult result = song.convert();
    ASSERT_TRUE(result.succeeded);
    EXPECT_EQ(std::tuple(result.message, result.binaryLength), std::tuple("my song.asm created successfully!", 50u));
    EXPECT_EQ(song.dir.fileNames(), Names{"my song.asm"});
    EXPECT_TRUE(song.dir.readText("my song.asm")
                    .starts_with("my_song_Header:\r\n\tdc.w\tmy_song_Voices-my_song_Header\r\n"));
}

TEST(Conversion, EFourOnlyOnTheDacTrack) {
    SmallSong song(rows(8, {{0, note(C4, 1)}}));
    song.streams.set(2, rows(8, {{0, note(C4, 1)}}));
    ConversionRequest& r = song.r;
    r.channelCount = 2;
    r.totalRows = 8;
    r.dac = 2;
    r.hasDrums = true;
    r.loopSong = false;
    r.endDacWithE4 = true;
    r.pan = {PanChoice::Centre, PanChoice::Default, PanChoice::Default, PanChoice::Default, PanChoice::Default,
             PanChoice::Default, PanChoice::Centre};
    r.writeAsm = false;
    ASSERT_TRUE(song.convert().succeeded);
    EXPECT_EQ(show(song.dir.read("song.bin")),
              show(hex(std::string("00 17 02 00 03 02 00 13 00 00 00 0E 00 10 EF 00 B1 08 F2 81 08 E4 F2 ") + kVoiceHex)));
}

TEST(Conversion, RandomPanIsRepeatableWithASeed) {
    std::vector<XmCell> cells;
    for (int i = 0; i < 64; ++i) cells.push_back(note(C4 + i % 12, 1));
    SmallSong song(cells);
    song.r.totalRows = 64;
    song.r.pan[0] = PanChoice::Random;
    song.r.writeAsm = false;
    ASSERT_TRUE(song.convert(seededRandom(7)).succeeded);
    const Bytes first = song.dir.read("song.bin");
    ASSERT_TRUE(song.convert(seededRandom(7)).succeeded);
    EXPECT_EQ(song.dir.read("song.bin"), first);
    EXPECT_EQ(first[14], 0xE0);  // the first note always sets the pan
}

struct FailureCase {
    std::string name;
    std::function<void(test::CellRows&, ConversionRequest&)> setup;
    FailureKind kind;
    std::string message;
};

// 40000 rows of C-4 and D-4 in turn: a song past 32 KB.
void longAlternatingSong(test::CellRows& streams, ConversionRequest& r) {
    std::vector<XmCell> cells;
    for (int i = 0; i < 40000; ++i) cells.push_back(note(i % 2 ? C4 : C4 + 2));
    streams.set(1, cells);
    r.totalRows = 40000;
}

std::vector<FailureCase> failureCases() {
    return {
        {"drum before any instrument (map index 0)",
         [](test::CellRows& streams, ConversionRequest& r) {
             streams.set(2, rows(16, {{3, note(C4)}}));
             r.dac = r.channelCount = 2;
             r.hasDrums = true;
         },
         FailureKind::Error, kSomeError},
        {"instrument past the end of the FM map",
         [](test::CellRows&, ConversionRequest& r) { r.instrumentVoices.clear(); }, FailureKind::Error, kSomeError},
        {"pointer beyond 32767",
         [](test::CellRows& streams, ConversionRequest& r) {
             longAlternatingSong(streams, r);
             r.loopSong = false;
         },
         FailureKind::Error, kSomeError},
        {"a loop jump beyond 32 KB", longAlternatingSong, FailureKind::Error, kSomeError},
        {"missing row stream", [](test::CellRows&, ConversionRequest& r) { r.fm[0] = r.channelCount = 2; },
         FailureKind::Error, kSomeError},
        {"FM entry without a channel", [](test::CellRows&, ConversionRequest& r) { r.fm[0] = std::nullopt; },
         FailureKind::Error, kSomeError},
        {"B-7 on an FM channel",
         [](test::CellRows& streams, ConversionRequest& r) {
             streams.set(1, rows(16, {{0, note(C4, 1)}, {13, note(96)}}));
             r.orderTable = {0, 0};
             r.patternRows = {8};
         },
         FailureKind::Refused,
         "Can't convert! XM channel 1 has the note B-7 at order position 1 (pattern 0), row 5. "
         "FM and PSG channels can play notes up to A#7 only."},
    };
}

// A failed conversion leaves earlier outputs as they were and no temporary
// output.
TEST(Conversion, FailuresLeaveNoPartialOutput) {
    for (const FailureCase& c : failureCases()) {
        SCOPED_TRACE(c.name);
        SmallSong song;
        const test::TempDir& dir = song.dir;
        ASSERT_TRUE(writeWholeFile(dir.path() / "song.bin", hex("01 02 03")));
        ASSERT_TRUE(writeWholeFile(dir.path() / "song.asm", hex("41 42")));
        c.setup(song.streams, song.r);
        const ConversionResult result = song.convert();
        EXPECT_EQ(std::tuple(result.succeeded, result.failureKind, result.message), std::tuple(false, c.kind, c.message));
        EXPECT_EQ(std::tuple(show(dir.read("song.bin")), show(dir.read("song.asm"))), std::tuple("01 02 03", "41 42"));
        EXPECT_EQ(dir.fileNames(), (Names{"song.asm", "song.bin"}));
    }
}

TEST(Conversion, SuccessReplacesEarlierOutputs) {
    SmallSong song;
    const test::TempDir& dir = song.dir;
    ASSERT_TRUE(writeWholeFile(dir.path() / "song.bin", hex("01 02 03")));
    ASSERT_TRUE(song.convert().succeeded);
    EXPECT_EQ(dir.read("song.bin").size(), 50u);
    EXPECT_EQ(dir.fileNames(), (Names{"song.asm", "song.bin"}));

    // A folder under an output's name is never touched; the other output stays as it was.
    std::filesystem::remove(dir.path() / "song.asm");
    std::filesystem::create_directory(dir.path() / "song.asm");
    ASSERT_TRUE(writeWholeFile(dir.path() / "song.asm" / "keep.txt", hex("4B")));
    ASSERT_TRUE(writeWholeFile(dir.path() / "song.bin", hex("01 02 03")));
    const ConversionResult result = song.convert();
    EXPECT_EQ(std::tuple(result.succeeded, result.message), std::tuple(false, std::string(kSomeError)));
    EXPECT_EQ(show(dir.read("song.bin")), "01 02 03");
    EXPECT_TRUE(dir.exists("song.asm/keep.txt"));
    EXPECT_EQ(dir.fileNames(), (Names{"song.asm", "song.bin"}));
}

TEST(Conversion, RequestOutsideItsRangesFails) {
    const std::vector<std::function<void(ConversionRequest&)>> broken = {
        [](ConversionRequest& r) { r.dividingTiming = 0; },
        [](ConversionRequest& r) { r.dividingTiming = 10; },
        [](ConversionRequest& r) { r.tempo = 0; },
        [](ConversionRequest& r) { r.restartRow = 17; },
        [](ConversionRequest& r) { r.fmChannelCount = 7; },
        [](ConversionRequest& r) { r.channelCount = 0; },
        [](ConversionRequest& r) { r.writeBin = r.writeAsm = false; },
        [](ConversionRequest& r) { r.fileName = "../up.xm"; },
    };
    for (const auto& breakIt : broken) {
        SmallSong song(rows(16, {{0, note(C4, 1)}}));
        breakIt(song.r);
        const ConversionResult result = song.convert();
        EXPECT_EQ(std::tuple(result.succeeded, result.message), std::tuple(false, std::string(kSomeError)));
        EXPECT_EQ(song.dir.fileNames(), Names{});
    }
}

}  // namespace
}  // namespace ferro
