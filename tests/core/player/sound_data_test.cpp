#include "player/sound_data.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/temp_dir.hpp"

namespace ferro {
namespace {

Bytes envelopeOfSize(std::size_t size) {
    Bytes b(size, 0x02);
    b.back() = kEnvelopeHold;
    return b;
}

// Stands in for the SEGA voice: a ramp of the right size.
Bytes segaRamp() {
    Bytes b(kSegaPcmSize);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i);
    return b;
}

// A disassembly-like folder: every file present with the game's sizes.
void writeGoodFolder(const test::TempDir& dir, const std::string& top = "sound/") {
    for (int n = 1; n <= kPsgEnvelopeCount; ++n)
        dir.write(top + "psg/psg" + std::to_string(n) + ".bin",
                  envelopeOfSize(kPsgEnvelopeSizes[static_cast<std::size_t>(n - 1)]));
    dir.write(top + "dac/kick.dpcm", Bytes(850, 0x11));
    dir.write(top + "dac/snare.dpcm", Bytes(1904, 0x99));
    dir.write(top + "dac/timpani.dpcm", Bytes(4118, 0x1F));
    dir.write(top + "dac/sega.pcm", segaRamp());
}

TEST(SoundData, DpcmDecodingFollowsTheZ80) {
    // High nibble first; the accumulator starts at 80h and wraps in 8 bits.
    EXPECT_EQ(decodeDpcm(Bytes{0x00, 0x12, 0x9F, 0x88, 0x88}),
              (Bytes{0x80, 0x80, 0x81, 0x83, 0x82, 0x42, 0xC2, 0x42, 0xC2, 0x42}));
    EXPECT_TRUE(decodeDpcm(Bytes{}).empty());
}

TEST(SoundData, RatesOfTheDriversPitches) {
    const std::vector<std::pair<int, int>> table{{0x01, 23784}, {0x12, 9635}, {0x15, 8720}, {0x17, 8201},
                                                 {0x1B, 7328},  {0x1C, 7138}, {0x1D, 6957}, {0xFF, 1037}};
    for (const auto& [pitch, hz] : table) EXPECT_EQ(std::lround(dacRate(pitch)), hz) << pitch;
    EXPECT_EQ(dacCyclesAfterHigh(0), 99 + 13 * 256);
}

TEST(SoundData, BuiltInIsFlatAndHasThreeAudibleDrums) {
    const SoundData data = builtInSoundData();
    for (const auto& envelope : data.psgEnvelopes) EXPECT_FALSE(envelope);
    for (std::size_t k = 0; k < kDrumSampleCount; ++k) {
        const Bytes& pcm = data.drums[k].pcm;
        EXPECT_EQ(pcm.size(), kDpcmSizes[k] * 2);
        int peak = 0;
        for (auto v : pcm) peak = std::max(peak, std::abs(int(v) - 128));
        EXPECT_GT(peak, 60) << k;
        EXPECT_LT(std::abs(int(pcm.back()) - 128), 8) << k;  // dies away
        EXPECT_FALSE(data.drums[k].fromFolder);
    }
    EXPECT_TRUE(data.problems.empty());
    EXPECT_TRUE(data.sega.pcm.empty());
    EXPECT_EQ(data.summary(),
              "Sound data: built in (flat PSG envelopes; synthesised kick, snare and timpani; SEGA voice silent)");
}

TEST(SoundData, GoodFolderEitherTopOrSound) {
    for (const std::string top : {"sound/", ""}) {
        test::TempDir dir;
        writeGoodFolder(dir, top);
        const SoundData data = loadSoundData(dir.path());
        EXPECT_TRUE(data.problems.empty()) << top;
        for (int k = 0; k < kPsgEnvelopeCount; ++k) {
            EXPECT_EQ(data.psgEnvelopes[static_cast<std::size_t>(k)],
                      envelopeOfSize(kPsgEnvelopeSizes[static_cast<std::size_t>(k)]));
        }
        EXPECT_EQ(data.drum(DrumSample::Kick).pcm, decodeDpcm(Bytes(850, 0x11)));
        EXPECT_TRUE(data.drum(DrumSample::Timpani).fromFolder);
        EXPECT_EQ(data.sega.pcm, segaRamp());
        EXPECT_NE(data.summary().find("(PSG envelopes; kick, snare, timpani; SEGA voice)"), std::string::npos);
    }
}

TEST(SoundData, BrokenFilesFallBackOneByOne) {
    struct Case {
        const char* file;
        Bytes bytes;  // empty: removed
        const char* problem;
        int envelope;          // the envelope that falls back, or 0
        int drum;              // the drum that falls back, or -1 (3: the SEGA voice)
    };
    const std::vector<Case> cases{
        {"sound/psg/psg2.bin", {}, "psg2.bin cannot be read: envelope 2 plays flat", 2, -1},
        {"sound/psg/psg5.bin", envelopeOfSize(41), "psg5.bin is 41 bytes, not 42: envelope 5 plays flat", 5, -1},
        {"sound/psg/psg9.bin", envelopeOfSize(18), "psg9.bin is 18 bytes, not 17: envelope 9 plays flat", 9, -1},
        {"sound/psg/psg1.bin", Bytes(23, 0x01), "psg1.bin does not end with 80h: envelope 1 plays flat", 1, -1},
        {"sound/dac/snare.dpcm", {}, "snare.dpcm cannot be read: the built-in snare plays", 0, 1},
        {"sound/dac/kick.dpcm", Bytes(849, 0), "kick.dpcm is 849 bytes, not 850: the built-in kick plays", 0, 0},
        {"sound/dac/timpani.dpcm", Bytes(5000, 0), "timpani.dpcm is 5000 bytes, not 4118: the built-in timpani plays",
         0, 2},
        {"sound/dac/sega.pcm", {}, "sega.pcm cannot be read: the SEGA voice plays silent", 0, 3},
        {"sound/dac/sega.pcm", Bytes(26999, 0x80), "sega.pcm is 26999 bytes, not 27000: the SEGA voice plays silent",
         0, 3},
    };
    const SoundData builtIn = builtInSoundData();
    for (const auto& c : cases) {
        test::TempDir dir;
        writeGoodFolder(dir);
        if (c.bytes.empty())
            std::filesystem::remove(dir / c.file);
        else
            dir.write(c.file, c.bytes);
        const SoundData data = loadSoundData(dir.path());
        ASSERT_EQ(data.problems.size(), 1u) << c.file;
        EXPECT_NE(data.problems[0].find(c.problem), std::string::npos) << data.problems[0];
        for (int n = 1; n <= kPsgEnvelopeCount; ++n)
            EXPECT_EQ(data.psgEnvelopes[static_cast<std::size_t>(n - 1)].has_value(), n != c.envelope) << c.file;
        for (int k = 0; k < kDrumSampleCount; ++k) {
            EXPECT_EQ(data.drums[static_cast<std::size_t>(k)].fromFolder, k != c.drum) << c.file;
            if (k == c.drum) {
                EXPECT_EQ(data.drums[static_cast<std::size_t>(k)].pcm, builtIn.drums[static_cast<std::size_t>(k)].pcm);
            }
        }
        EXPECT_EQ(data.sega.pcm.empty(), c.drum == 3) << c.file;
        EXPECT_EQ(data.summary().ends_with("; SEGA voice silent)"), c.drum == 3) << data.summary();
    }
}

TEST(SoundData, MissingFolderReportsEveryFileAndSaysBuiltIn) {
    test::TempDir dir;
    const SoundData data = loadSoundData(dir / "nowhere");
    EXPECT_EQ(data.problems.size(), 13u);
    EXPECT_EQ(data.summary(), builtInSoundData().summary());
}

}  // namespace
}  // namespace ferro

namespace ferro {
namespace {

const char* const kSonic2Samples[] = {"Kick", "Snare", "Clap", "Scratch", "Timpani", "Tom", "Bongo"};

// A RIFF WAVE of 8-bit unsigned mono at `rate`.
Bytes wave8(const Bytes& values, std::uint32_t rate) {
    const auto le = [](std::uint32_t v, int n) {
        Bytes b;
        for (int k = 0; k < n; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        return b;
    };
    Bytes out;
    for (const Bytes& part : {Bytes{'R', 'I', 'F', 'F'}, le(static_cast<std::uint32_t>(36 + values.size()), 4),
                              Bytes{'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0}, le(rate, 4),
                              le(rate, 4), Bytes{1, 0, 8, 0, 'd', 'a', 't', 'a'},
                              le(static_cast<std::uint32_t>(values.size()), 4), values})
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// The driver's source as the disassembly writes it: envelope n holds n - 1
// steps of 1 and its hold, in one of the number styles the source uses, its
// first bytes on the label's line or the next.
std::string driverSource(int envelopes) {
    std::string s = "zPSG_EnvTbl:\n\tdw zPSG_Env1\n";
    for (int n = 1; n <= envelopes; ++n) {
        s += "zPSG_Env" + std::to_string(n) + (n % 3 ? ":\n" : ":");
        for (int k = 1; k < n; ++k) s += "\tdb\t1\n";
        s += n % 2 ? "\tdb\t80h\n" : "\tdb\t$80 ; hold\n";
    }
    return s;
}

struct Sonic2Folder {
    const char* layout;
    std::string (*file)(int k);
    const char* summary;
};

class Sonic2SoundFolder : public testing::TestWithParam<Sonic2Folder> {};

TEST_P(Sonic2SoundFolder, ReadsEnvelopesFromTheDriverAndSamplesFromItsLayout) {
    const Sonic2Folder& c = GetParam();
    test::TempDir dir;
    const std::string source = driverSource(12);
    dir.write("s2.sounddriver.asm", Bytes(source.begin(), source.end()));
    for (int k = 0; k < kSonic2SampleCount; ++k) {
        const std::string name = c.file(k);
        dir.write("sound/DAC/" + name, name.ends_with(".wav") ? wave8({0x80, 0x81, 0x83, 0x87}, 8267) : Bytes{0x12, 0x34});
    }
    const SoundData data = loadSonic2SoundData(dir.path() / "sound");
    for (int n = 1; n <= 12; ++n) {
        Bytes want(static_cast<std::size_t>(n - 1), 1);
        want.push_back(kEnvelopeHold);
        EXPECT_EQ(data.psgEnvelopes[static_cast<std::size_t>(n - 1)], want) << n;
    }
    EXPECT_FALSE(data.psgEnvelopes[12]);
    ASSERT_EQ(data.problems.size(), 1u);
    EXPECT_NE(data.problems[0].find("zPSG_Env13: envelope 13 plays flat"), std::string::npos) << data.problems[0];
    const Bytes pcm = std::string(c.layout) == "WAV samples" ? Bytes{0x80, 0x81, 0x83, 0x87} : decodeDpcm(Bytes{0x12, 0x34});
    for (const DacSample& drum : data.drums) EXPECT_EQ(std::tuple(drum.pcm, drum.fromFolder), std::tuple(pcm, true));
    EXPECT_EQ(data.summary(), "Sound data: Sonic 2 disassembly " + (dir.path() / "sound").string() +
                                  " (12 of 13 PSG envelopes, the others flat; " + c.summary + ")");
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Sonic2SoundFolder,
    testing::Values(
        Sonic2Folder{"WAV samples", [](int k) { return std::string(kSonic2Samples[k]) + ".wav"; },
                     "WAV samples: kick, snare, clap, scratch, timpani, tom, bongo"},
        Sonic2Folder{"DPCM samples", [](int k) { return std::string(kSonic2Samples[k]) + ".dpcm"; },
                     "DPCM samples: kick, snare, clap, scratch, timpani, tom, bongo"},
        Sonic2Folder{"numbered samples", [](int k) { return "Sample " + std::to_string(k + 1) + ".bin"; },
                     "numbered samples: kick, snare, clap, scratch, timpani, tom, bongo"}),
    [](const auto& info) { return std::string(info.param.layout).substr(0, 3); });

// A WAV's rate sets its notes' rate bytes, the scaled notes too; the
// earlier layouts keep the driver's.
TEST(Sonic2SoundData, WavRatesGiveTheRateBytes) {
    test::TempDir dir;
    for (int k = 0; k < kSonic2SampleCount; ++k)
        dir.write(std::string("sound/DAC/") + kSonic2Samples[k] + ".wav", wave8({0x80, 0x80}, 11025));
    const SoundData data = loadSonic2SoundData(dir.path());
    EXPECT_EQ(data.sonic2Rates[0], sonic2RateByte(11025));            // 81, kick
    EXPECT_EQ(data.sonic2Rates[7], sonic2RateByte(11025 * 1.30));     // 88, timpani
    EXPECT_EQ(data.sonic2Rates[16], sonic2RateByte(11025 * 1.30));    // 91, bongo
    EXPECT_EQ(std::vector<int>({sonic2RateByte(8267), sonic2RateByte(24351), sonic2RateByte(7381)}),
              std::vector<int>({0x17, 0x01, 0x1B}));
}

}  // namespace
}  // namespace ferro

namespace ferro {
namespace {

TEST(SoundFolders, EachDisassemblyIsKnownByItsSoundData) {
    test::TempDir dir;
    dir.write("s2/s2.sounddriver.asm", Bytes{});
    dir.write("s1/sound/psg/psg1.bin", Bytes{0x80});
    dir.write("other/readme.txt", Bytes{});
    EXPECT_EQ(disassemblyDriver(dir.path() / "s2"), SoundDriver::Sonic2);
    EXPECT_EQ(disassemblyDriver(dir.path() / "s1"), SoundDriver::Sonic1);
    EXPECT_EQ(disassemblyDriver(dir.path() / "other"), std::nullopt);
}

}  // namespace
}  // namespace ferro
