#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "engine/conversion.hpp"
#include "engine/driver_warnings.hpp"
#include "engine_test_util.hpp"
#include "smps2asm_expander.hpp"

namespace ferro {
namespace {

using test::hex;
using test::note;
using test::rows;
using test::show;

// FM1 on XM channel 1, the noise track on 2, drums on 3: four rows, looped.
struct SmallSong {
    ConversionRequest request = test::baseRequest();
    test::CellRows cells;
    SmallSong() {
        request.channelCount = 3;
        request.totalRows = 4;
        request.fmChannelCount = 1;
        request.psgChannelCount = 1;
        request.fm = {1, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
        request.psg = {2, std::nullopt, std::nullopt};
        request.dac = 3;
        request.dividingTiming = 1;
        request.tempo = 2;
        FmVoice voice;
        for (int k = 0; k < kFmVoiceSize; ++k) voice.bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k);
        request.voices = {voice};
        cells.set(1, rows(4, {{0, note(test::C4, 1)}, {2, note(test::D4)}}));
        cells.set(2, rows(4, {{0, note(test::C4, 1)}}));
        cells.set(3, rows(4, {{1, note(test::C4, 1)}}));
    }
};

const std::string kVoiceSonic1 = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18";
const std::string kVoiceSonic2 = "00 01 03 02 04 05 07 06 08 09 0B 0A 0C 0D 0F 0E 10 11 13 12 14 15 17 16 18";

// Every byte where a Sonic 2 song differs from the Sonic 1 song of the same
// choices: the header and jump pointers, the tempo byte, the hi-hat's note
// and transposition, the voice's operator order, no E4.
TEST(Sonic2Song, TheSameChoicesWrittenForEachDriver) {
    struct Case {
        const char* what;
        std::function<void(ConversionRequest&)> choose;
        std::string bytes;
    };
    const auto sonic2 = [](ConversionRequest& r) {
        r.driver = SoundDriver::Sonic2;
        r.tempo = 0xC0;
    };
    const std::vector<Case> cases = {
        {"Sonic 1", [](ConversionRequest&) {},
         "00 30 02 01 01 02 00 27 00 00 00 14 00 10 00 1E 23 00 00 00"
         " E0 C0 EF 00 B1 02 B3 F6 FF F7"  // FM1 at 14
         " F3 E7 F5 02 D1 04 F6 FF FA"     // the noise track at 1E
         " 80 01 E0 C0 81 04 F6 FF FA " +  // DAC at 27
             kVoiceSonic1},
        {"Sonic 2 at 1380", sonic2,
         "B0 13 02 01 01 C0 A7 13 00 00 94 13 00 10 9E 13 00 00 00 00"
         " E0 C0 EF 00 B1 02 B3 F6 94 13"
         " F3 E7 F5 02 C6 04 F6 A0 13"
         " 80 01 E0 C0 81 04 F6 A9 13 " +
             kVoiceSonic2},
        {"Sonic 2 from the bank window",
         [&](ConversionRequest& r) {
             sonic2(r);
             r.z80Address = 0x8400;
         },
         "30 84 02 01 01 C0 27 84 00 00 14 84 00 10 1E 84 00 00 00 00"
         " E0 C0 EF 00 B1 02 B3 F6 14 84"
         " F3 E7 F5 02 C6 04 F6 20 84"
         " 80 01 E0 C0 81 04 F6 29 84 " +
             kVoiceSonic2},
        {"Sonic 2 played once, asked to end with E4",
         [&](ConversionRequest& r) {
             sonic2(r);
             r.loopSong = false;
             r.hasDrums = false;
             r.endDacWithE4 = true;
         },
         "A4 13 02 01 01 C0 A3 13 00 00 94 13 00 10 9C 13 00 00 00 00"
         " E0 C0 EF 00 B1 02 B3 F2"
         " F3 E7 F5 02 C6 04 F2"
         " F2 " +
             kVoiceSonic2},
    };
    for (const Case& c : cases) {
        SmallSong song;
        c.choose(song.request);
        const SongConversion converted = convertSong(song.request, song.cells, test::noRandom());
        ASSERT_TRUE(converted.succeeded) << c.what << ": " << converted.message;
        EXPECT_EQ(show(converted.binary), show(hex(c.bytes))) << c.what;
    }
}

// The warnings use the chosen driver's tables and name it.
TEST(Sonic2Song, WarningsSpeakTheChosenDriver) {
    struct Case {
        const char* what;
        SoundDriver driver;
        std::function<void(SmallSong&)> choose;
        std::vector<std::string> expected;
    };
    const std::string first = " First: XM channel 3, song row 1, sample ";
    const auto drum = [](int sample) {
        return [sample](SmallSong& s) { s.request.drumSamples[0] = static_cast<char>(sample); };
    };
    const std::vector<Case> cases = {
        {"tempo 1 plays under Sonic 2", SoundDriver::Sonic2, [](SmallSong& s) { s.request.tempo = 1; }, {}},
        {"Sonic 2's scratch", SoundDriver::Sonic2, drum(0x84), {}},
        {"Sonic 1 has no 84", SoundDriver::Sonic1, drum(0x84),
         {"Warning: 1 drums ask for a DAC sample the Sonic 1 driver has no sound for (it has 81-83, 87 and 88-8B)." +
          first + "84."}},
        {"Sonic 2's last drum note", SoundDriver::Sonic2, drum(0x91), {}},
        {"past Sonic 2's drums", SoundDriver::Sonic2, drum(0x92),
         {"Warning: 1 drums ask for a DAC sample the Sonic 2 driver has no sound for (it has 81-91)." + first +
          "92."}},
    };
    for (const Case& c : cases) {
        SmallSong song;
        song.request.driver = c.driver;
        c.choose(song);
        EXPECT_EQ(driverWarnings(song.request, song.cells), c.expected) << c.what;
    }
    SmallSong envelope;
    envelope.request.driver = SoundDriver::Sonic2;
    envelope.request.fmChannelCount = 0;
    envelope.request.useNoise = false;
    envelope.request.psg = {1, std::nullopt, std::nullopt};
    for (int e : {13, 14}) {
        envelope.request.instrumentPsgEnvelopes[0] = static_cast<char>(e);
        EXPECT_EQ(driverWarnings(envelope.request, envelope.cells).size(), e == 13 ? 0u : 1u) << e;
    }
    EXPECT_EQ(driverWarnings(envelope.request, envelope.cells).at(0),
              "Warning: 2 notes use a PSG envelope the Sonic 2 driver does not have (1 to 13, 0 for none). First: XM "
              "channel 1, song row 0, instrument 1 uses envelope 14.");
}

// A song unpacked to 1380 fits $7C0 bytes; one in the bank's window must end
// inside it. Nothing else limits a song there.
TEST(Sonic2Song, TheSongMustFitWhereItPlays) {
    struct Case {
        int address;
        int voices;  // 25 bytes each, after the tracks' 48
        bool fits;
    };
    const std::vector<Case> cases = {
        {0x1380, 77, true},    // 1973 bytes
        {0x1380, 78, false},   // 1998
        {0x8000, 200, true},
        {0xF800, 80, true},    // ends at FFFF
        {0xF800, 81, false},
    };
    for (const Case& c : cases) {
        SmallSong song;
        song.request.driver = SoundDriver::Sonic2;
        song.request.tempo = 0x80;
        song.request.z80Address = c.address;
        song.request.voices.resize(static_cast<std::size_t>(c.voices));
        const SongConversion converted = convertSong(song.request, song.cells, test::noRandom());
        EXPECT_EQ(converted.succeeded, c.fits) << c.address << " " << c.voices << ": " << converted.message;
    }
    SmallSong big;
    big.request.driver = SoundDriver::Sonic2;
    big.request.voices.resize(78);
    EXPECT_EQ(convertSong(big.request, big.cells, test::noRandom()).message,
              "Can't convert! The song is 1998 bytes long ($7CE), over the $7C0 bytes the Sonic 2 driver unpacks a "
              "song into at $1380. Shorten it, or give it an address in the sound bank ($8000 to $FFFF) to play it "
              "from there uncompressed.");
}

std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The expander below checks the listings; here it is checked against the
// Sonic 2 macro set's own output for the native reference songs.
TEST(Sonic2Song, ReferenceSongsAssembleToTheirBytes) {
    const std::filesystem::path folder = std::filesystem::path(FERRO_TEST_DATA_DIR) / "sonic2-reference";
    int songs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::filesystem::path bin = entry.path();
        if (bin.extension() != ".bin" || bin.stem() == "10_s1_form") continue;  // 10 is a Sonic 1 song converted
        const std::string source = fileText(std::filesystem::path(bin).replace_extension(".asm"));
        const std::string bytes = fileText(bin);
        EXPECT_EQ(show(test::Smps2asmExpander().assemble(source)), show(Bytes(bytes.begin(), bytes.end()))) << bin;
        ++songs;
    }
    EXPECT_EQ(songs, 11);
}

// Both listing styles assemble, where the song plays from, to its binary.
TEST(Sonic2Song, ListingsAssembleToTheBinary) {
    for (int address : {0x1380, 0x8400}) {
        for (AsmStyle style : {AsmStyle::Plain, AsmStyle::Smps2asm}) {
            SmallSong song;
            song.request.driver = SoundDriver::Sonic2;
            song.request.tempo = 0xC0;
            song.request.z80Address = address;
            song.request.asmStyle = style;
            song.request.drumSamples[0] = static_cast<char>(0x8C);
            song.request.hihatKinds[0] = 1;
            const SongConversion converted = convertSong(song.request, song.cells, test::noRandom());
            ASSERT_TRUE(converted.succeeded) << converted.message;
            EXPECT_EQ(show(test::Smps2asmExpander(address).assemble(converted.listing)), show(converted.binary))
                << address << " " << static_cast<int>(style);
        }
    }
}

}  // namespace
}  // namespace ferro
