#include "engine/song_writer.hpp"

#include "engine/conversion_error.hpp"
#include "engine_test_util.hpp"
#include "smps2asm_expander.hpp"
#include "player/song_player.hpp"

namespace ferro {
namespace {

using test::hex;
using test::show;

TEST(OutputBaseName, DropsTheLastThreeCharacters) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"song.xm", "song"}, {"my song.xm", "my song"}, {"a.xm", "a"}, {"SONG.XM", "SONG"}, {"abc", ""},
        {"ab", std::nullopt}, {"", std::nullopt}, {"dir/song.xm", std::nullopt},
        {"s\xC3\xBC\xC3\x9F.xm", "s\xC3\xBC\xC3\x9F"},        // süß.xm
        {"tune.\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "tune."},  // three euro signs are three characters
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(outputBaseName(name), expected) << name;
}

// Five FM channels fed by XM channels 1..5, PSG 6, 7 and noise 8, drums on 9.
ConversionRequest fullRequest() {
    ConversionRequest r = test::baseRequest();
    r.channelCount = 9;
    r.fm = {1, 2, 3, 4, 5, std::nullopt};
    r.psg = {6, 7, 8};
    r.dac = 9;
    return r;
}

std::vector<ChannelSections> oneByteTracks(int channels) {
    std::vector<ChannelSections> s(static_cast<std::size_t>(channels) + 1);
    for (int n = 1; n <= channels; ++n) s[static_cast<std::size_t>(n)].main = {static_cast<std::uint8_t>(0xA0 + n)};
    return s;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return out;
        start = end + 2;
    }
}

TEST(AssembleSong, HeaderOfFiveFmAndThreePsgWithNoise) {
    const SongImage song = assembleSong(fullRequest(), oneByteTracks(9), Bytes(25, 0x11));
    EXPECT_EQ(show(Bytes(song.binary.begin(), song.binary.begin() + 48)),
              show(hex("00 39 06 03 03 02 00 38 00 00"
                       " 00 30 00 10 00 31 00 10 00 32 00 10 00 33 00 10 00 34 00 10"
                       " 00 35 DC 00 00 00 00 36 DC 00 00 00 00 37 23 00 00 00")));
    EXPECT_EQ(show(Bytes(song.binary.begin() + 48, song.binary.begin() + 57)), "A1 A2 A3 A4 A5 A6 A7 A8 A9");
    EXPECT_EQ(song.binary.size(), 57u + 25u);

    // The listing holds the same bytes, each track under its channel's label.
    EXPECT_EQ(show(test::Smps2asmExpander().assemble(song.listing)), show(song.binary));
    const std::vector<std::string> l = lines(song.listing);
    EXPECT_EQ(l[24], "\tdc.w\tsong_PSG1_Main-song_Header");
    EXPECT_EQ(std::vector<std::string>(l.end() - 29, l.end() - 25),
              (std::vector<std::string>{"song_DAC_Main:", "\tdc.b\t$A9", "", "song_Voices:"}));
}

TEST(AssembleSong, WithoutDrumsTheDacEntryIsAStopTrack) {
    ConversionRequest r = fullRequest();
    r.hasDrums = false;
    const SongImage song = assembleSong(r, oneByteTracks(9), {});
    // Stop track right after the last PSG track, at 48 + 8.
    EXPECT_EQ(show(Bytes(song.binary.begin() + 6, song.binary.begin() + 8)), "00 38");
    EXPECT_EQ(show(Bytes(song.binary.begin() + 56, song.binary.end())), "F2");
    EXPECT_EQ(song.binary[1], song.binary.size());  // no voices: the pointer is the length
    EXPECT_NE(song.listing.find("\tdc.w\tsong_There_is_no_DAC-song_Header\r\n"), std::string::npos);
    EXPECT_NE(song.listing.find("song_There_is_no_DAC:\r\n\tdc.b\t$F2\r\n\r\nsong_Voices:"), std::string::npos);
    // An empty voice list ends the listing on its label.
    EXPECT_TRUE(song.listing.ends_with("\r\n\r\nsong_Voices:"));
}

// The driver ends the song at the first E4 it reads, and reads E4 only on the
// DAC slot's track. A song played once without drums keeps its stop track
// resting for the song's length (here 300 rows at timing 2: 127 x 2 + 46)
// and fades where the other tracks end; a looping song never fades.
TEST(AssembleSong, E4GoesWhereTheSongEnds) {
    struct Case {
        std::string name;
        int loopOption;
        bool hasDrums;
        int fmCount;
        int psgCount;
        std::vector<std::string> tracks;  // after the header, in file order
    };
    const std::vector<Case> cases = {
        {"looping, no drums", 0, false, 2, 1, {"B1 F2", "B2 F2", "C1 F2", "F2"}},
        {"looping, drums", 0, true, 2, 1, {"B1 F2", "B2 F2", "C1 F2", "81 F2"}},
        {"once, no drums: the stop track rests, then fades", 1, false, 2, 1, {"B1 F2", "B2 F2", "C1 F2", "80 7F 7F 2E E4 F2"}},
        {"once, no drums, no FM", 1, false, 0, 2, {"C1 F2", "C2 F2", "80 7F 7F 2E E4 F2"}},
        {"once, nothing but the stop track", 1, false, 0, 0, {"F2"}},
        {"once, drums: the DAC track's own E4 stays", 1, true, 1, 0, {"B1 F2", "81 E4 F2"}},
    };
    for (const Case& c : cases) {
        ConversionRequest r = test::baseRequest();
        r.channelCount = 6;
        r.loopSong = c.loopOption == 0;
        r.hasDrums = c.hasDrums;
        r.endDacWithE4 = true;
        r.totalRows = 300;
        r.dividingTiming = 2;
        r.fmChannelCount = c.fmCount;
        r.psgChannelCount = c.psgCount;
        r.useNoise = false;
        r.fm = {1, 2, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
        r.psg = {3, 4, std::nullopt};
        r.dac = 5;
        std::vector<ChannelSections> s(7);
        s[1].main = hex("B1 F2");
        s[2].main = hex("B2 F2");
        s[3].main = hex("C1 F2");
        s[4].main = hex("C2 F2");
        // The sections end a played-once DAC track with E4 themselves.
        s[5].main = hex(c.loopOption == 1 ? "81 E4 F2" : "81 F2");
        const std::size_t headerSize = 10 + 4 * static_cast<std::size_t>(c.fmCount) + 6 * static_cast<std::size_t>(c.psgCount);
        const SongImage song = assembleSong(r, s, {});
        std::string expected;
        for (const std::string& t : c.tracks) expected += (expected.empty() ? "" : " ") + t;
        EXPECT_EQ(show(Bytes(song.binary.begin() + static_cast<std::ptrdiff_t>(headerSize), song.binary.end())),
                  expected)
            << c.name;
        EXPECT_EQ(song.listing.find("$E4") != std::string::npos, expected.find("E4") != std::string::npos) << c.name;
    }
}

// Played by the driver's rules, a song played once without drums that fades
// sounds its note first and is cut where the song ends, not in its first frame.
TEST(AssembleSong, AFadingSongWithoutDrumsPlaysToItsEnd) {
    ConversionRequest r = test::baseRequest();
    r.channelCount = r.fmChannelCount = 1;
    r.psgChannelCount = 0;
    r.loopSong = r.hasDrums = false;
    r.endDacWithE4 = true;
    r.totalRows = 16;
    r.dividingTiming = 1;
    r.tempo = 9;  // stalls at frames 9 and 18
    r.fm = {1, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    std::vector<ChannelSections> s(2);
    s[1].main = hex("EF 00 B1 10 F2");
    const SongImage song = assembleSong(r, s, Bytes(25, 0x10));
    SongPlayer player(song.binary);
    Frame frame;
    std::optional<std::uint32_t> keyOn, reset;
    while (player.step(frame)) {
        for (const ChipWrite& w : frame.writes) {
            if (w.port == ChipPort::Ym0 && w.address == 0x28 && w.value == 0xF0 && !keyOn) keyOn = frame.index;
            if (w.port == ChipPort::Ym0 && w.address == 0x27 && frame.index > 0 && !reset) reset = frame.index;
        }
    }
    EXPECT_FALSE(player.error()) << *player.error();
    // The F2 due at tick 16 falls on frame 18, a stall, so 19; the E4 read
    // with it ends that call, and the next one resets.
    EXPECT_EQ(std::pair(keyOn, reset), std::pair(std::optional(1u), std::optional(20u)));
}

TEST(LabelSafeName, EveryOtherCharacterBecomesAnUnderscore) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"song", "song"},           {"Song_2", "Song_2"}, {"my song", "my_song"}, {"level-1", "level_1"},
        {"v1.2", "v1_2"},           {"1up", "_1up"},      {"_1up", "_1up"},       {"", ""},
        {"s\xC3\xBC\xC3\x9F", "s__"},  // one character, one underscore
        {"\xE2\x82\xAC" "5", "_5"},
    };
    for (const auto& [base, expected] : cases) EXPECT_EQ(labelSafeName(base), expected) << base;
}

TEST(AssembleSong, IntroSectionsComeFirstAndAreLabelled) {
    ConversionRequest r = test::baseRequest();
    r.fileName = "my song.xm";
    r.channelCount = 2;
    r.fmChannelCount = 1;
    r.fm[0] = 1;
    r.psgChannelCount = 0;
    r.dac = 2;
    r.totalRows = 8;
    r.restartRow = 4;
    std::vector<ChannelSections> s(3);
    s[1] = {hex("B1 02"), hex("80 0A")};
    s[2] = {hex("81 01"), hex("82")};
    const SongImage song = assembleSong(r, s, hex("00 0A E0"));
    EXPECT_EQ(show(song.binary), "00 15 02 00 03 02 00 12 00 00 00 0E 00 10 80 0A B1 02 82 81 01 00 0A E0");
    EXPECT_EQ(song.listing,
              "my_song_Header:\r\n"
              "\tdc.w\tmy_song_Voices-my_song_Header\r\n"
              "\tdc.b\t$2\r\n\tdc.b\t$0\r\n\tdc.b\t$3\r\n\tdc.b\t$2\r\n"
              "\tdc.w\tmy_song_DAC_Intro-my_song_Header\r\n"
              "\tdc.b\t$0\r\n\tdc.b\t$0\r\n"
              "\tdc.w\tmy_song_FM1_Intro-my_song_Header\r\n"
              "\tdc.b\t$0\r\n\tdc.b\t$10\r\n"
              "\r\n"
              "my_song_FM1_Intro:\r\n\tdc.b\t$80\r\n\tdc.b\t$A\r\n"
              "my_song_FM1_Main:\r\n\tdc.b\t$B1\r\n\tdc.b\t$2\r\n"
              "\r\n"
              "my_song_DAC_Intro:\r\n\tdc.b\t$82\r\n"
              "my_song_DAC_Main:\r\n\tdc.b\t$81\r\n\tdc.b\t$1\r\n"
              "\r\n"
              "my_song_Voices:\r\n\tdc.b\t$0\r\n\tdc.b\t$A\r\n\tdc.b\t$E0");
}

TEST(AssembleSong, ValuesThatDoNotFitEndTheConversion) {
    struct Case {
        std::string name;
        std::size_t fmBytes;
        std::function<void(ConversionRequest&)> setup;
        bool fails;
    };
    // One FM channel, no PSG, no drums: 14 header bytes, the FM track, F2, the voices.
    const std::vector<Case> cases = {
        {"voice pointer 32767", 32752, {}, false},
        {"voice pointer 32768", 32753, {}, true},
        {"pitch -256", 1, [](ConversionRequest& r) { r.pitch[0] = -256; }, false},
        {"pitch -257", 1, [](ConversionRequest& r) { r.pitch[0] = -257; }, true},
        {"pitch 255", 1, [](ConversionRequest& r) { r.pitch[0] = 255; }, false},
        {"pitch 256", 1, [](ConversionRequest& r) { r.pitch[0] = 256; }, true},
        {"volume 255", 1, [](ConversionRequest& r) { r.volume[0] = 255; }, false},
        {"volume -1", 1, [](ConversionRequest& r) { r.volume[0] = -1; }, true},
        {"hidden pitch is not written", 1, [](ConversionRequest& r) { r.pitch[1] = 999; }, false},
        {"FM entry outside the channels", 1, [](ConversionRequest& r) { r.fm[0] = 2; }, true},
        {"file name without base", 1, [](ConversionRequest& r) { r.fileName = "xm"; }, true},
    };
    for (const Case& c : cases) {
        ConversionRequest r = test::baseRequest();
        r.fmChannelCount = 1;
        r.fm[0] = 1;
        r.psgChannelCount = 0;
        r.hasDrums = false;
        if (c.setup) c.setup(r);
        std::vector<ChannelSections> s(2);
        s[1].main = Bytes(c.fmBytes, 0x80);
        if (c.fails) {
            EXPECT_THROW(assembleSong(r, s, Bytes(25)), ConversionError) << c.name;
        } else {
            EXPECT_NO_THROW(assembleSong(r, s, Bytes(25))) << c.name;
        }
    }
}

}  // namespace
}  // namespace ferro
