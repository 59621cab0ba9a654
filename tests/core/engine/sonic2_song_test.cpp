#include <gtest/gtest.h>

#include <functional>

#include "engine/conversion.hpp"
#include "engine_test_util.hpp"

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
        r.driver = DriverId::Sonic2;
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

}  // namespace
}  // namespace ferro
