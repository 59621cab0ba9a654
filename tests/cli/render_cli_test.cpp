// The render verb, run as a script runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/player/player_test_util.hpp"
#include "player/saxman.hpp"
#include "player/song_render.hpp"
#include "player/sound_data.hpp"
#include "player/wav_render.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"
#include "support/xm_writer.hpp"

#ifdef FERRO_WAV_RENDER
#include <sndfile.h>
#endif

namespace ferro {
namespace {

namespace fs = std::filesystem;

using RenderRun = test::ProgramRun;
using testing::IsSubstring;

// Drums, an FM part that loops and a PSG part: a song as a hack would keep it.
Bytes loopingSong() {
    return test::buildSong({.div = 3, .tempo = 2, .dac = Bytes{0x81, 0x02, 0x82, 0x02, 0xF6, 0xFF, 0xFB},
                            .fm = {{{0xE0, 0xC0, 0xEF, 0x00, 0xB1, 0x08, 0x80, 0xF6, 0xFF, 0xF7}, 0, 0x08, 0, false}},
                            .psg = {{{0x81, 0x04, 0x85, 0x04, 0xF6, 0xFF, 0xFA}, 0, 0x02, 0, false}}});
}

class RenderCli : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.path() / "in");
        test::writeFileBytes(dir_.path() / "in" / "song.bin", loopingSong());
    }
    fs::path in(const std::string& name = "song.bin") const { return dir_.path() / "in" / name; }
    fs::path out(const std::string& name) const { return dir_.path() / name; }

    RenderRun run(const std::vector<std::string>& args) const {
        std::vector<std::string> verb = {"render"};
        verb.insert(verb.end(), args.begin(), args.end());
        return test::runProgram(FERRO_CLI_PATH, verb, dir_.path(), dir_.path());
    }

    std::vector<std::string> inFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path() / "in")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

#ifdef FERRO_WAV_RENDER
    // The WAV's length in sample frames, 0 when it cannot be read.
    std::uint64_t wavFrames(const std::string& name) const {
        SF_INFO info{};
        SNDFILE* f = sf_open(out(name).string().c_str(), SFM_READ, &info);
        if (f) sf_close(f);
        return f ? static_cast<std::uint64_t>(info.frames) : 0;
    }
#endif

    test::TempDir dir_;
};

TEST_F(RenderCli, SongBinaryToVgmIsTheLibrarysRender) {
    const RenderRun r = run({in().string(), "-o", out("song.vgm").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_PRED_FORMAT2(IsSubstring, "Sound data: built in", r.out);
    EXPECT_PRED_FORMAT2(IsSubstring, "loops from 0:00", r.out);
    const SongRender want = renderSongToVgm(loopingSong(), builtInSoundData(), "song");
    EXPECT_EQ(test::readFileBytes(out("song.vgm")), want.vgm);
    EXPECT_EQ(inFiles(), (std::vector<std::string>{"song.bin"}));
}

TEST_F(RenderCli, ArgumentsThatCannotBeUsed) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const std::vector<Case> cases{
        {{in().string(), "-o", out("song.mp3").string()}, 2, "The output must end in .vgm or .wav"},
        {{in().string(), "-o", out("song.vgm").string(), "--sound-data", out("nowhere").string()}, 2,
         "does not exist"},
        {{in().string(), "-o", out("song.wav").string(), "--loops", "0"}, 2, "--loops"},
        {{in("missing.bin").string(), "-o", out("song.vgm").string()}, 1, "Cannot read"},
    };
    for (const auto& c : cases) {
        const RenderRun r = run(c.args);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_PRED_FORMAT2(IsSubstring, c.message, r.err);
        EXPECT_FALSE(fs::exists(out("song.vgm")) || fs::exists(out("song.wav")));
    }
}

TEST_F(RenderCli, RefusedSongExitsOneWithThePlayersMessage) {
    test::writeFileBytes(in("bad.bin"), test::buildSong({.fm = {{{0xA1, 0x01, 0xFA}, 0, 0, 0, false}}}));
    const RenderRun r = run({in("bad.bin").string(), "-o", out("bad.vgm").string()});
    EXPECT_EQ(std::tuple(r.code, r.err, fs::exists(out("bad.vgm"))),
              std::tuple(1, "FM1 at offset 0010: flag FA is undefined\n", false));
}

TEST_F(RenderCli, SoundFolderWithABrokenFileWarnsAndPlays) {
    const fs::path folder = dir_.path() / "s1";
    for (int n = 1; n <= kPsgEnvelopeCount; ++n) {
        Bytes envelope(kPsgEnvelopeSizes[static_cast<std::size_t>(n - 1)], 0x01);
        envelope.back() = 0x80;
        dir_.write("s1/sound/psg/psg" + std::to_string(n) + ".bin", envelope);
    }
    dir_.write("s1/sound/dac/kick.dpcm", Bytes(850, 0x21));
    dir_.write("s1/sound/dac/snare.dpcm", Bytes(10, 0x21));
    const RenderRun r = run({in().string(), "-o", out("song.vgm").string(), "--sound-data", folder.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_PRED_FORMAT2(IsSubstring, "(PSG envelopes; kick; synthesised snare, timpani; SEGA voice silent)", r.out);
    EXPECT_PRED_FORMAT2(IsSubstring,
                        "Warning: " + (folder / "sound" / "dac" / "snare.dpcm").string() + " is 10 bytes, not 1904", r.err);
    // The envelopes of the folder played: the render differs from the built-in one.
    EXPECT_NE(test::readFileBytes(out("song.vgm")), renderSongToVgm(loopingSong(), builtInSoundData(), "song").vgm);
}

// Two channels: FM notes on the first, a PSG tone on the second.
Bytes moduleXm() {
    test::XmLayout layout;
    layout.moduleName = "Render me";
    layout.channelCount = 2;
    layout.patterns[0].rows = 16;
    layout.patterns[0].cells.resize(32);
    for (int r = 0; r < 16; r += 4) {
        layout.patterns[0].cells[static_cast<std::size_t>(r * 2)] = test::noteCell(static_cast<std::uint8_t>(49 + r), 1);
        layout.patterns[0].cells[static_cast<std::size_t>(r * 2 + 3)] = test::noteCell(61, 2);
    }
    return test::buildXm(layout);
}

constexpr const char* kModuleSetup =
    R"({"fmChannelCount": 1, "psgChannelCount": 1, "useNoise": false, "hasDrums": false,
        "fm": [1, null, null, null, null, null], "psg": [2, null, null],
        "voices": [{"name": "a", "hex": "3A 01 07 01 01 1F 1F 1F 1F 00 00 00 00 00 00 00 00 0F 0F 0F 0F 20 20 20 08"}]})";

TEST_F(RenderCli, ModuleIsConvertedInMemoryAsConvertWouldConvertIt) {
    test::writeFileBytes(in("tune.xm"), moduleXm());
    const std::string setup = kModuleSetup;
    dir_.write("setup.json", Bytes(setup.begin(), setup.end()));
    const auto rendered = run({in("tune.xm").string(), "-o", out("tune.vgm").string(), "--setup",
                               (dir_.path() / "setup.json").string(), "--seed", "7"});
    ASSERT_EQ(rendered.code, 0) << rendered.err;
    EXPECT_EQ(inFiles(), (std::vector<std::string>{"song.bin", "tune.xm"}));

    // The song `convert` writes, played by the library, is the same VGM.
    const auto converted = test::runProgram(FERRO_CLI_PATH,
                                            {"convert", "tune.xm", "--seed", "7", "--setup",
                                             (dir_.path() / "setup.json").string()},
                                            dir_.path() / "in", dir_.path());
    ASSERT_EQ(converted.code, 0) << converted.err;
    const SongRender want = renderSongToVgm(test::readFileBytes(in("tune.bin")), builtInSoundData(), "Render me");
    ASSERT_FALSE(want.error);
    EXPECT_EQ(test::readFileBytes(out("tune.vgm")), want.vgm);

    const auto red = run({in("tune.xm").string(), "-o", out("red.vgm").string()});  // nothing assigned
    EXPECT_EQ(std::tuple(red.code, red.err.empty(), fs::exists(out("red.vgm"))), std::tuple(1, false, false));
}

// Under Sonic 2 the module plays as the game holds the song `convert`
// writes: packed, unpacked into the music buffer before the first update.
TEST_F(RenderCli, Sonic2ModulePlaysAsTheGameHoldsItsSong) {
    test::writeFileBytes(in("tune.xm"), moduleXm());
    const std::string setup = kModuleSetup;
    dir_.write("setup.json", Bytes(setup.begin(), setup.end()));
    const std::string setupPath = (dir_.path() / "setup.json").string();
    const auto rendered =
        run({in("tune.xm").string(), "-o", out("tune.vgm").string(), "--setup", setupPath, "--driver", "sonic2"});
    ASSERT_EQ(rendered.code, 0) << rendered.err;
    const auto converted = test::runProgram(FERRO_CLI_PATH, {"convert", "tune.xm", "--setup", setupPath, "--driver", "sonic2"},
                                            dir_.path() / "in", dir_.path());
    ASSERT_EQ(converted.code, 0) << converted.err;
    const Bytes packed = test::readFileBytes(in("tune.sax"));
    const SaxmanSong song = unpackSaxman(packed, kSonic2MusicBufferSize);
    ASSERT_FALSE(song.error);
    const SongPlacement placement{SoundDriver::Sonic2, kSonic2MusicBuffer, song.unpackCycles};
    const SongRender want = renderSongToVgm(song.bytes, builtInSoundData(SoundDriver::Sonic2), "Render me",
                                            kMaxRenderFrames, nullptr, placement);
    ASSERT_FALSE(want.error) << *want.error;
    EXPECT_EQ(test::readFileBytes(out("tune.vgm")), want.vgm);
}

// FM1 raises its volume on every pass of 144 frames: its state comes back
// after 256 passes, past the 10 minutes looked ahead.
Bytes risingSong() {
    return test::buildSong({.div = 1, .tempo = 2, .fm = {{{0xE6, 0x01, 0xA1, 0x48, 0xF6, 0xFF, 0xFA}, 0, 0, 0, true}}});
}

TEST_F(RenderCli, ASongWhoseStateDoesNotRepeatSaysWhereTheVgmRepeatsAPass) {
    test::writeFileBytes(in("rising.bin"), risingSong());
    const RenderRun r = run({in("rising.bin").string(), "-o", out("rising.vgm").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err,
              "Warning: the song's state does not repeat within 10 minutes; from 0:04 the VGM repeats a pass where "
              "the game would go on\n");
    EXPECT_PRED_FORMAT2(IsSubstring, "Wrote " + out("rising.vgm").string() + ": 0:04 (loops from 0:02)\n", r.out);
#ifdef FERRO_WAV_RENDER
    // What is heard goes straight on: the intro, two passes, the fade.
    const RenderRun wav = run({in("rising.bin").string(), "-o", out("rising.wav").string()});
    ASSERT_EQ(wav.code, 0) << wav.err;
    EXPECT_EQ(wav.err, "");
    EXPECT_PRED_FORMAT2(IsSubstring, "Wrote " + out("rising.wav").string() + ": 0:09 (loops from 0:00)\n", wav.out);
    EXPECT_EQ(wavFrames("rising.wav"), 735u * (3u + 2u * 144u + 300u));
#endif
}

// Drums and an FM part that loops, for Sonic 2 at `address`.
Bytes sonic2Song(std::uint16_t address) {
    const Bytes fm = {0xEF, 0x00, 0xA1, 0x06, 0xA5, 0xF6, static_cast<std::uint8_t>(address + 0x17),
                      static_cast<std::uint8_t>((address + 0x17) >> 8)};
    return test::sonic2Song(address, 0xC0, {fm}, {0x81, 0x06, 0x86, 0x8F, 0xF6, static_cast<std::uint8_t>(address + 0x0E),
                                                  static_cast<std::uint8_t>((address + 0x0E) >> 8)});
}

// The song's bytes for the buffer, the same packed as Saxman, and bytes for
// the bank window: each the library's render for Sonic 2 from its address.
TEST_F(RenderCli, Sonic2SongBytesOrSaxmanAreTheLibrarysRender) {
    dir_.write("in/buffer.bin", sonic2Song(0x1380));
    dir_.write("in/buffer.sax", test::literalSaxman(sonic2Song(0x1380)));
    dir_.write("in/window.bin", sonic2Song(0x9ABC));
    const SoundData sound = builtInSoundData(SoundDriver::Sonic2);
    for (const auto& [file, address, extra] : {std::tuple("buffer.bin", 0x1380, ""), std::tuple("buffer.sax", 0x1380, ""),
                                               std::tuple("window.bin", 0x9ABC, "9abc")}) {
        std::vector<std::string> args = {in(file).string(), "-o", out("song.vgm").string(), "--driver", "sonic2"};
        if (*extra) args.insert(args.end(), {"--address", extra});
        const RenderRun r = run(args);
        ASSERT_EQ(r.code, 0) << file << r.err;
        EXPECT_PRED_FORMAT2(IsSubstring, "Sound data: built in for Sonic 2", r.out);
        const SongPlacement placement{SoundDriver::Sonic2, static_cast<std::uint16_t>(address), std::nullopt};
        const std::string name = fs::path(file).stem().string();
        const SongRender want =
            renderSongToVgm(sonic2Song(placement.address), sound, name, kMaxRenderFrames, nullptr, placement);
        ASSERT_FALSE(want.error) << *want.error;
        EXPECT_EQ(test::readFileBytes(out("song.vgm")), want.vgm) << file;
    }
}

TEST_F(RenderCli, Sonic2InputsThatCannotBeUsed) {
    dir_.write("in/short.sax", Bytes{0x40, 0x00, 0xFF, 0x01});
    dir_.write("in/song.sax", test::literalSaxman(sonic2Song(0x1380)));
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const std::vector<Case> cases{
        {{in("song.bin").string(), "--address", "12345"}, 2, "--address takes a Z80 address in hex"},
        {{in("song.sax").string(), "--address", "9000"}, 2, "a Saxman song (.sax) unpacks to 1380"},
        {{in("short.sax").string()}, 1, "The Saxman stream's count is 64 bytes, but only 2 follow it"},
        {{in("song.bin").string(), "--driver", "sonic3"}, 2, "--driver"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, {"-o", out("song.vgm").string(), "--driver", "sonic2"});
        const RenderRun r = run(args);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_PRED_FORMAT2(IsSubstring, c.message, r.err);
        EXPECT_FALSE(fs::exists(out("song.vgm")));
    }
}

#ifdef FERRO_WAV_RENDER
TEST_F(RenderCli, WavHasTheIntroTheLoopsAndTheFade) {
    const RenderRun r = run({in().string(), "-o", out("song.wav").string(), "--loops", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    const SongRender render = renderSongToVgm(loopingSong(), builtInSoundData(), "song");
    ASSERT_TRUE(render.loop);
    EXPECT_EQ(wavFrames("song.wav"), 735u * (render.loop->startFrame + 3u * render.loop->lengthFrames) + 5u * 44100u);
}
#else
TEST_F(RenderCli, WithoutTheWavRenderAWavIsRefusedInOneLine) {
    const RenderRun r = run({in().string(), "-o", out("song.wav").string()});
    EXPECT_EQ(std::tuple(r.code, r.err, fs::exists(out("song.wav"))),
              std::tuple(2, std::string(kNoWavRender) + "\n", false));
}
#endif

}  // namespace
}  // namespace ferro
