// The convert verb, run as a build script runs it, against the same choices
// made the way the windows make them.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "song/song_conversion.hpp"
#include "song/song_model.hpp"
#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"
#include "params/validation.hpp"
#include "support/run_program.hpp"
#include "support/voice_bytes.hpp"
#include "support/xm_writer.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"
#include "voices/voice_manager_logic.hpp"
#include "xm/scratch_files.hpp"

namespace ferro {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using test::noteCell;
using test::raw25;
using test::voiceOf;

constexpr int kChannels = 5;

// Two 16-row patterns played 0, 1, 0 and looping back to the second: FM on
// channels 1 and 2, a PSG tone on 3, hi-hats on 4, drums with key-offs on 5.
std::vector<std::uint8_t> songXm(std::uint8_t firstNote = 49) {
    test::XmLayout layout;
    layout.channelCount = kChannels;
    layout.orderTable = {0, 1, 0};
    layout.restartPosition = 1;
    layout.patterns.clear();
    for (int p = 0; p < 2; ++p) {
        test::XmPatternLayout pattern;
        pattern.rows = 16;
        pattern.cells.resize(16 * kChannels);
        const auto at = [&](int row, int channel) -> XmCell& {
            return pattern.cells[static_cast<std::size_t>(row * kChannels + channel - 1)];
        };
        for (int r = 0; r < 16; r += 2) {
            at(r, 1) = noteCell(static_cast<std::uint8_t>((r == 0 && p == 0 ? firstNote : 49) + r / 2), 1 + r % 4 / 2);
            at(r + 1, 2) = noteCell(static_cast<std::uint8_t>(37 + p * 5 + r / 4), 2, r == 4 ? 8 : 0, 0x20);
            at(r, 4) = noteCell(73, r % 8 == 6 ? 3 : 2);
        }
        for (int r = 0; r < 16; r += 4) {
            at(r, 3) = noteCell(static_cast<std::uint8_t>(61 + r / 4), 4);
            at(r, 5) = noteCell(49, r % 8 == 0 ? 5 : 6);
            at(r + 2, 5) = noteCell(kXmKeyOff);
        }
        at(15, 1) = noteCell(kXmKeyOff);
        layout.patterns.push_back(pattern);
    }
    return test::buildXm(layout);
}

using CliRun = test::ProgramRun;
using Names = std::vector<std::string>;
using Outcome = std::pair<int, std::string>;  // exit code, standard error

class ConvertCli : public ::testing::Test {
protected:
    // The module and everything beside it lives in work/; the captured output
    // stays outside, so that the folder's contents can be compared.
    void SetUp() override { fs::create_directories(work()); }
    fs::path work() const { return root_.path() / "work"; }

    void writeText(const fs::path& path, const std::string& content) const {
        fs::create_directories(path.parent_path());
        test::writeFileBytes(path, std::vector<std::uint8_t>(content.begin(), content.end()));
    }

    CliRun run(const std::vector<std::string>& args, const fs::path& from = {}) const {
        return test::runProgram(FERRO_CLI_PATH, args, from.empty() ? work() : from, root_.path());
    }
    Outcome outcome(const std::vector<std::string>& args) const {
        const CliRun r = run(args);
        return {r.code, r.err};
    }

    std::vector<std::string> workFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A module with a valid setup whose light is green: its FM channels play
    // instruments 1 and 2, voices 0 and 1.
    void greenSong(const json& extra = json::object()) {
        test::writeFileBytes(work() / "song.xm", songXm());
        json setup = {{"fmChannelCount", 2}, {"psgChannelCount", 2}, {"fm", {1, 2, nullptr, nullptr, nullptr, nullptr}},
                      {"psg", {3, 4, nullptr}}, {"dac", 5},
                      {"voices",
                       {{{"name", "a"}, {"hex", formatVoiceHex(voiceOf(1))}},
                        {{"name", "b"}, {"hex", formatVoiceHex(voiceOf(2))}}}}};
        setup.update(extra);
        writeText(work() / "setup.json", setup.dump());
    }

    test::TempDir root_;
};

// Every key of the setup file, each away from its initial value where the
// song lets it be.
json everyKey() {
    std::vector<int> instrumentVoices(256), instrumentPsgEnvelopes(256, 0), drumSamples(256, 0x81), hihatKinds(96, 2);
    for (int k = 0; k < 256; ++k) instrumentVoices[static_cast<std::size_t>(k)] = (k + 1) % 3;
    instrumentPsgEnvelopes[3] = 5;
    drumSamples[4] = 0x82;
    drumSamples[5] = 0x8A;
    hihatKinds[72] = 1;  // C-6, the hi-hat note of channel 4
    return {{"fmChannelCount", 2}, {"psgChannelCount", 2}, {"useNoise", true}, {"hasDrums", true}, {"loopSong", false},
            {"endDacWithE4", true}, {"dividingTiming", 4}, {"tempo", 7}, {"fm", {1, 2, nullptr, 3, nullptr, 5}},
            {"psg", {3, 4, 1}}, {"dac", 5}, {"optimiseOutput", true}, {"removeRests", true},
            {"pitch", {12, -12, 0, 0, 0, 0, -36, -24, -36}}, {"volume", {3, 9, 16, 16, 16, 16, 2, 4, 0, 1}},
            {"pan", {4, 4, 0, 0, 0, 0, 4}}, {"drumsByNote", false}, {"hihatsByNote", true}, {"corri", instrumentVoices},
            {"psgorri", instrumentPsgEnvelopes}, {"dorri", drumSamples}, {"norri", hihatKinds},
            {"voices", {{{"kind", "raw25"}, {"file", "voices/bank.bin"}},
                        {{"name", "typed"}, {"hex", formatVoiceHex(voiceOf(9))}},
                        {{"kind", "raw25"}, {"file", "voices/bank.bin"}, {"index", 0}}}},
            {"writeBin", true}, {"writeAsm", true}};
}

// The same choices as everyKey(), made through the song model's operations
// (what the windows call), with "Loop song" = "No" reaching the loop at the
// reload, and converted through the song's conversion path.
SongConversionOutcome convertThroughTheModel(const fs::path& dir, const fs::path& voiceFile, std::uint64_t seed) {
    auto loaded = loadXmModule(dir, "song.xm");
    EXPECT_TRUE(std::holds_alternative<XmModule>(loaded));
    SongModel model;
    model.load(std::get<XmModule>(std::move(loaded)));
    model.setFmChannelCount(2);
    model.setPsgChannelCount(2);
    model.setUseNoise(true);
    model.setHasDrums(true);
    model.setLoopSong(false);
    model.setEndDacWithE4(true);
    model.setDividingTiming(tempoFromListIndex(3));
    model.setTempo(tempoFromListIndex(6));
    model.setOptimiseOutput(true);
    model.setRemoveRests(true);
    const std::array<XmChannelChoice, kAssignmentRowCount> rows = {1, 2, std::nullopt, 3, std::nullopt, 5, 3, 4, 1, 5};
    for (int row = 0; row < kAssignmentRowCount; ++row) model.chooseChannel(row, rows[static_cast<std::size_t>(row)]);
    const std::array<int, 9> pitch = {12, -12, 0, 0, 0, 0, -36, -24, -36};
    const std::array<int, 10> volume = {3, 9, 16, 16, 16, 16, 2, 4, 0, 1};
    for (int i = 0; i < 9; ++i) model.setPitch(i, pitch[static_cast<std::size_t>(i)]);
    for (int i = 0; i < 10; ++i) model.setVolume(i, volume[static_cast<std::size_t>(i)]);
    for (int i : {0, 1, 6}) model.setPan(i, 4);
    for (int k = 1; k <= 256; ++k) model.setMapValue(InstrumentMapKind::Fm, k, k % 3);
    model.setMapValue(InstrumentMapKind::Psg, 4, 5);
    model.setMapValue(InstrumentMapKind::Dac, 5, 0x82 - 0x81);
    model.setMapValue(InstrumentMapKind::Dac, 6, 0x8A - 0x81);
    model.setHiHatKeying(true);
    model.setMapValue(InstrumentMapKind::HiHat, 73, 1);  // position 1: "Open HH"

    const ImportResult bank = importVoiceFile(VoiceFileKind::Raw25, voiceFile);
    model.addFileVoices(bank.voices);
    model.addPastedVoice(formatVoiceHex(voiceOf(9)));
    model.addVoice(bank.voices[0].name, bank.voices[0].voice);
    model.setWriteBin(true);
    model.setWriteAsm(true);

    auto reloaded = loadXmModule(dir, "song.xm");
    EXPECT_TRUE(std::holds_alternative<XmModule>(reloaded));
    EXPECT_FALSE(model.reload(std::get<XmModule>(std::move(reloaded))));
    EXPECT_EQ(std::tuple(model.generalLight(), model.voiceLight()),
              std::tuple(std::optional(ReadinessLight::Green), ReadinessLight::Green));
    ConversionSettings windows;
    windows.target = SongTarget::OutputsAndScratchFiles;
    const SongConversionOutcome outcome = convertSong(model, windows, {}, seededRandom(seed));
    deleteScratchFiles(dir);
    return outcome;
}

TEST_F(ConvertCli, EveryKeyGivesTheBytesOfTheWindows) {
    const std::vector<FmVoice> bank = {voiceOf(1), voiceOf(2), voiceOf(3)};
    test::writeFileBytes(work() / "song.xm", songXm());
    fs::create_directories(work() / "conf" / "voices");
    test::writeFileBytes(work() / "conf" / "voices" / "bank.bin", raw25(bank));
    writeText(work() / "conf" / "setup.json", everyKey().dump(2));

    const CliRun cli = run({"convert", "song.xm", "--setup", "conf/setup.json", "--seed", "42"});
    ASSERT_EQ(cli.code, 0) << cli.err;
    EXPECT_EQ(Names({cli.out, cli.err}), Names({"song.bin and song.asm created successfully!\n", ""}));
    EXPECT_EQ(workFiles(), (Names{"conf", "song.asm", "song.bin", "song.xm"}));

    test::TempDir windows;
    test::writeFileBytes(windows / "song.xm", songXm());
    test::writeFileBytes(windows / "bank.bin", raw25(bank));
    const SongConversionOutcome expected = convertThroughTheModel(windows.path(), windows / "bank.bin", 42);
    ASSERT_TRUE(expected.converted) << expected.message;
    for (const char* name : {"song.bin", "song.asm"})
        EXPECT_EQ(test::readFileBytes(work() / name), test::readFileBytes(windows / name)) << name;

    // The comparison has teeth: the seed and "Remove rests" both show in the bytes.
    const auto firstBinary = test::readFileBytes(work() / "song.bin");
    ASSERT_EQ(run({"convert", "song.xm", "--setup", "conf/setup.json", "--seed", "43"}).code, 0);
    EXPECT_NE(test::readFileBytes(work() / "song.bin"), firstBinary);
    json noRests = everyKey();
    noRests["removeRests"] = false;
    writeText(work() / "conf" / "setup.json", noRests.dump());
    ASSERT_EQ(run({"convert", "song.xm", "--setup", "conf/setup.json", "--seed", "42"}).code, 0);
    EXPECT_NE(test::readFileBytes(work() / "song.bin"), firstBinary);
}

TEST_F(ConvertCli, ModuleInAnotherFolderWritesBesideIt) {
    test::writeFileBytes(root_.path() / "song.xm", songXm());  // not in work/
    greenSong();
    fs::remove(work() / "song.xm");
    const CliRun r = run({"convert", "../song.xm", "--setup", "setup.json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(std::tuple(r.out, fs::exists(root_.path() / "song.bin"), fs::exists(root_.path() / "song.asm")),
              std::tuple("song.bin created successfully!\n", true, false));
    EXPECT_EQ(workFiles(), (Names{"setup.json"}));
}

TEST_F(ConvertCli, LightsDecide) {
    struct Case {
        const char* name;
        json setup;  // replaces keys of the green song
        std::vector<std::string> extraArgs;
        int code;
        std::string err;
        bool written;
    };
    const json none = json::array();
    const std::vector<Case> cases = {
        {"green", json::object(), {}, 0, "", true},
        {"unassigned FM", {{"fm", {1, nullptr, nullptr, nullptr, nullptr, nullptr}}}, {}, 1,
         "Can't convert. Unassigned FM channels exist.\n", false},
        {"red under --strict too", {{"dac", nullptr}}, {"--strict"}, 1, "Can't convert. Unassigned DAC channel exists.\n",
         false},
        {"two FM on one channel", {{"fm", {1, 1, nullptr, nullptr, nullptr, nullptr}}}, {}, 0,
         "Warning: conversion is possible, but some parametres may be wrong: XM channel 1 feeds two FM channels\n", true},
        {"two FM on one channel, strict", {{"fm", {1, 1, nullptr, nullptr, nullptr, nullptr}}}, {"--strict"}, 1,
         "Can't convert with --strict: some parametres may be wrong: XM channel 1 feeds two FM channels\n", false},
        {"FM without voices", {{"voices", none}}, {}, 0,
         "Warning: conversion is possible, but there might be some problems with the voices: the song has FM "
         "channels but no voices\n",
         true},
        {"FM without voices, strict", {{"voices", none}}, {"--strict"}, 1,
         "Can't convert with --strict: there might be some problems with the voices: the song has FM channels but no "
         "voices\n",
         false},
        {"a voice the song does not have", {{"voices", {{{"name", "a"}, {"hex", formatVoiceHex(voiceOf(1))}}}}}, {},
         0,
         "Warning: 36 notes play an FM voice the song does not have (it has 1 voices, 0 to 0). First: XM channel 2, "
         "order position 0 (pattern 0), row 1, instrument 2 plays voice 1.\n",
         true},
        {"a drum without a sound, strict", {{"drumSamples", {{"5", 0x86}}}}, {"--strict"}, 1,
         "Can't convert with --strict: 6 drums ask for a DAC sample the Sonic 1 driver has no sound for (it has "
         "81-83, 87 and 88-8B). First: XM channel 5, order position 0 (pattern 0), row 0, sample 86.\n",
         false},
        {"nothing to convert and voices without FM",
         {{"fmChannelCount", 0}, {"psgChannelCount", 0}, {"hasDrums", false}}, {}, 0,
         "Warning: conversion is possible, but some parametres may be wrong: the song has no FM, PSG or DAC channel\n"
         "Warning: conversion is possible, but there might be some problems with the voices: the song has voices "
         "but no FM channel\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& name : workFiles()) fs::remove_all(work() / name);
        greenSong(c.setup);
        std::vector<std::string> args = {"convert", "song.xm", "--setup", "setup.json"};
        args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
        const CliRun r = run(args);
        EXPECT_EQ(Outcome(r.code, r.err), Outcome(c.code, c.err));
        EXPECT_EQ(r.out, c.written ? "song.bin created successfully!\n" : "");
        const Names written = {"setup.json", "song.bin", "song.xm"}, kept = {"setup.json", "song.xm"};
        EXPECT_EQ(workFiles(), c.written ? written : kept);
    }
}

TEST_F(ConvertCli, AsmStyleChoosesTheListing) {
    for (const auto& [style, start] : {std::pair<std::string, std::string>{"plain", "song_Header:\r\n\tdc.w\t"},
                                       {"smps2asm", "song_Header:\r\n\tsmpsHeaderStartSong 1, 1\r\n"}}) {
        greenSong({{"writeAsm", true}, {"asmStyle", style}});
        ASSERT_EQ(run({"convert", "song.xm", "--setup", "setup.json"}).code, 0) << style;
        const std::optional<Bytes> text = readWholeFile(work() / "song.asm");
        ASSERT_TRUE(text) << style;
        EXPECT_TRUE(std::string(text->begin(), text->end()).starts_with(start)) << style;
    }
}

// --driver over the setup's: a Sonic 2 song at 1380 comes with its packed
// form; one too big for the buffer is refused with nothing written.
TEST_F(ConvertCli, DriverOptionOverTheSetup) {
    greenSong();
    ASSERT_EQ(run({"convert", "song.xm", "--setup", "setup.json", "--driver", "sonic2"}).code, 0);
    const std::optional<Bytes> song = readWholeFile(work() / "song.bin");
    ASSERT_TRUE(song);
    // FM1 right after the 30-byte header, at 139E; the tempo byte of Sonic 1's 2.
    EXPECT_EQ(std::tuple((*song)[10], (*song)[11], (*song)[5], fs::exists(work() / "song.sax")),
              std::tuple(0x9E, 0x13, 0x80, true));
    fs::remove(work() / "song.bin");
    fs::remove(work() / "song.sax");
    json voices = json::array();
    for (int k = 0; k < 80; ++k) voices.push_back({{"name", "v"}, {"hex", formatVoiceHex(voiceOf(k))}});
    greenSong({{"voices", voices}});
    const CliRun big = run({"convert", "song.xm", "--setup", "setup.json", "--driver", "sonic2"});
    EXPECT_EQ(big.code, 1);
    EXPECT_NE(big.err.find("Shorten it, or give it an address in the sound bank"), std::string::npos) << big.err;
    EXPECT_FALSE(fs::exists(work() / "song.bin") || fs::exists(work() / "song.sax"));
    EXPECT_EQ(run({"convert", "song.xm", "--setup", "setup.json", "--driver", "sonic3"}).code, 2);
}

TEST_F(ConvertCli, WithoutASetupTheFreshLoadIsRed) {
    test::writeFileBytes(work() / "song.xm", songXm());
    EXPECT_EQ(outcome({"convert", "song.xm"}), (Outcome{1, "Can't convert. Unassigned FM channels exist.\n"}));
    EXPECT_EQ(workFiles(), Names{"song.xm"});
}

TEST_F(ConvertCli, RefusedSetupsWriteNothing) {
    struct Case {
        std::string setup;
        std::string err;
    };
    const std::vector<Case> cases = {
        {R"({"tempo": 0})", "setup.json: tempo: must be an integer from 1 to 9, not 0\n"},
        {R"({"fm": [1, 2, 3, 4, 5, 6]})", "setup.json: fm[5] (FM6): must be an XM channel from 1 to 5 or null, not 6\n"},
        {"{\"tempo\": ", "setup.json: The song setup file is not valid JSON: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup);
        test::writeFileBytes(work() / "song.xm", songXm());
        writeText(work() / "setup.json", c.setup);
        const CliRun r = run({"convert", "song.xm", "--setup", "setup.json"});
        EXPECT_EQ(std::tuple(r.code, r.err.substr(0, c.err.size()), r.out), std::tuple(2, c.err, ""));
        EXPECT_EQ(workFiles(), (Names{"setup.json", "song.xm"}));
    }
    EXPECT_EQ(outcome({"convert", "song.xm", "--setup", "nothere.json"}),
              (Outcome{2, "Cannot read the song setup file nothere.json\n"}));
    EXPECT_EQ(run({"convert", "song.xm", "--seed", "-3"}).code, 2);
    EXPECT_EQ(workFiles(), (Names{"setup.json", "song.xm"}));
}

TEST_F(ConvertCli, FailuresLeaveNoFiles) {
    // Not an XM module; a module without channels: the load's error, before
    // the setup is judged by that channel count.
    greenSong();
    test::XmLayout empty;
    empty.channelCount = 0;
    const std::vector<std::string> convert = {"convert", "song.xm", "--setup", "setup.json"};
    for (const auto& [module, err] :
         {std::pair<Bytes, std::string>{{'n', 'o', 't', ' ', 'x', 'm'}, "File isn't a valid XM\n"
                                                                         "song.xm: the file does not start with "
                                                                         "\"Extended Module: \"\n"},
          {test::buildXm(empty), "Some kind of error happened\nsong.xm: the channel count is 0; a module has 1 to 128\n"}}) {
        test::writeFileBytes(work() / "song.xm", module);
        EXPECT_EQ(outcome(convert), (Outcome{1, err}));
        EXPECT_EQ(workFiles(), (Names{"setup.json", "song.xm"}));
    }

    // A module cut inside its patterns: today's message, then where it ends.
    const auto whole = test::buildXm(test::XmLayout{});
    test::writeFileBytes(work() / "song.xm", {whole.begin(), whole.end() - 3});
    const std::string cut = "Some kind of error happened\nsong.xm: pattern 0's data runs to offset " +
                            std::to_string(whole.size()) + ", but the file ends at offset " +
                            std::to_string(whole.size() - 3) + "\n";
    for (const char* verb : {"convert", "info", "setup"})
        EXPECT_EQ(outcome({verb, "song.xm"}), (Outcome{1, cut})) << verb;
    EXPECT_EQ(workFiles(), (Names{"setup.json", "song.xm"}));

    // No such module.
    const CliRun r = run({"convert", "other.xm", "--setup", "setup.json"});
    EXPECT_EQ(std::tuple(r.code, r.err.empty()), std::tuple(1, false));

    // A note the FM channel cannot play: the engine's refusal, no output, no
    // scratch file, and an earlier song left as it was.
    test::writeFileBytes(work() / "song.bin", {1, 2, 3});
    test::writeFileBytes(work() / "song.xm", songXm(96));  // B-7
    const CliRun b7 = run(convert);
    EXPECT_EQ(std::tuple(b7.code, b7.err.rfind("Can't convert! XM channel 1 has the note B-7", 0), b7.out),
              std::tuple(1, 0u, "")) << b7.err;
    EXPECT_EQ(workFiles(), (Names{"setup.json", "song.bin", "song.xm"}));
    EXPECT_EQ(test::readFileBytes(work() / "song.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(ConvertCli, InfoAndConvertLeaveADesktopSessionsScratchFilesAlone) {
    greenSong();
    // The desktop program has the module loaded: its scratch files are there.
    ASSERT_TRUE(std::holds_alternative<XmModule>(loadXmModule(work(), "song.xm")));
    test::writeFileBytes(work() / "notes.tmp", {1});
    test::writeFileBytes(work() / "C9.tmp", {1});  // one of ours, from an earlier session
    std::map<std::string, std::vector<std::uint8_t>> before;
    for (const auto& name : workFiles()) before[name] = test::readFileBytes(work() / name);
    auto unchangedBut = [&](std::set<std::string> outputs) {
        std::set<std::string> names;
        for (const auto& name : workFiles()) {
            names.insert(name);
            if (!outputs.count(name)) {
                EXPECT_EQ(test::readFileBytes(work() / name), before[name]) << name;
            }
        }
        for (const auto& [name, bytes] : before) EXPECT_TRUE(names.count(name)) << name << " is gone";
        EXPECT_EQ(names.size(), before.size() + outputs.size());
    };

    const CliRun info = run({"info", "song.xm"});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"totalRows\""), std::string::npos);
    unchangedBut({});
    ASSERT_EQ(run({"convert", "song.xm", "--setup", "setup.json"}).code, 0);
    unchangedBut({"song.bin"});
    // A failed conversion touches nothing either.
    test::writeFileBytes(work() / "other.xm", songXm(96));
    ASSERT_EQ(run({"convert", "other.xm", "--setup", "setup.json"}).code, 1);
    before["other.xm"] = test::readFileBytes(work() / "other.xm");
    unchangedBut({"song.bin"});
}

TEST_F(ConvertCli, InfoKeepScratchWritesTheExplorersFiles) {
    greenSong();
    test::writeFileBytes(work() / "C9.tmp", {1});
    ASSERT_EQ(run({"info", "song.xm", "--keep-scratch"}).code, 0);
    const std::vector<std::string> written = workFiles();
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& name : written) files[name] = test::readFileBytes(work() / name);
    // The same files, byte for byte, as the explorer's load writes.
    ASSERT_TRUE(std::holds_alternative<XmModule>(loadXmModule(work(), "song.xm")));
    EXPECT_EQ(workFiles(), written);
    for (const auto& name : written) EXPECT_EQ(test::readFileBytes(work() / name), files[name]) << name;
    EXPECT_FALSE(files.count("C9.tmp"));
    EXPECT_TRUE(files.count("C1.tmp") && files.count("P0C1.tmp"));
}

// `setup` prints what a fresh load gives, in the form convert reads: edited
// and passed back, it converts like the same choices written by hand.
TEST_F(ConvertCli, SetupPrintsAFileThatConvertReads) {
    test::writeFileBytes(work() / "song.xm", songXm());
    test::writeFileBytes(work() / "bank.bin", raw25({voiceOf(1), voiceOf(2)}));
    const CliRun printed = run({"setup", "song.xm", "--voices", "raw25:bank.bin"});
    ASSERT_EQ(printed.code, 0) << printed.err;
    json setup = json::parse(printed.out);
    EXPECT_EQ(std::tuple(setup["voices"].size(), setup["voices"][1]["hex"], setup["instrumentVoices"]),
              std::tuple(2u, json(formatVoiceHex(voiceOf(2))), json::object()));
    setup.update({{"fmChannelCount", 4}, {"psgChannelCount", 0}, {"fm", {1, 2, 3, 4, nullptr, nullptr}}, {"dac", 5}});
    writeText(work() / "edited.json", setup.dump());
    ASSERT_EQ(run({"convert", "song.xm", "--setup", "edited.json"}).code, 0);
    const auto fromSetup = test::readFileBytes(work() / "song.bin");

    const json byHand = {{"fmChannelCount", 4}, {"psgChannelCount", 0}, {"fm", {1, 2, 3, 4, nullptr, nullptr}}, {"dac", 5},
                         {"voices", {{{"kind", "raw25"}, {"file", "bank.bin"}}}}};
    writeText(work() / "hand.json", byHand.dump());
    ASSERT_EQ(run({"convert", "song.xm", "--setup", "hand.json"}).code, 0);
    EXPECT_EQ(test::readFileBytes(work() / "song.bin"), fromSetup);

    const CliRun bad = run({"setup", "song.xm", "--voices", "nokind:bank.bin"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.out, "");
    writeText(work() / "not.xm", "hello");
    EXPECT_EQ(run({"setup", "not.xm"}).code, 1);
}

TEST_F(ConvertCli, SetupMatchesTheModulesTempo) {
    test::XmLayout layout;
    layout.tempo = 9;
    layout.bpm = 60;
    test::writeFileBytes(work() / "song.xm", test::buildXm(layout));
    const CliRun r = run({"setup", "song.xm", "--match-tempo"});
    ASSERT_EQ(r.code, 0) << r.err;
    const json setup = json::parse(r.out);
    EXPECT_EQ(std::pair(setup["dividingTiming"], setup["tempo"]), std::pair(json(9), json(2)));
    EXPECT_EQ(r.err, "Dividing timing 9, tempo 2: a row every 375 ms in the module, 300 ms in the song: 25% faster\n");
}

TEST_F(ConvertCli, SetupAutoFillsFromWhatTheChannelsPlay) {
    test::XmLayout layout;
    layout.channelCount = 2;
    layout.instruments = {{"Kick", {2000}}, {"Bass", {4000}, true}};
    layout.patterns[0].rows = 4;
    layout.patterns[0].cells = {test::noteCell(49, 1), test::noteCell(37, 2), {}, test::noteCell(39, 2),
                                test::noteCell(49, 1), test::noteCell(37, 2), {}, {}};
    test::writeFileBytes(work() / "song.xm", test::buildXm(layout));
    const CliRun r = run({"setup", "song.xm", "--auto-fill"});
    ASSERT_EQ(r.code, 0) << r.err;
    const json setup = json::parse(r.out);
    EXPECT_EQ(std::tuple(setup["fm"][0], setup["dac"], setup["fmChannelCount"]), std::tuple(json(2), json(1), json(1)));
    EXPECT_EQ(r.err, "Filled from the channels' content: FM1 \u2190 2 (Bass, 3 notes), DAC \u2190 1 (Kick, 2 notes)\n");
}

// With "moduleEffects" the volume column reaches the track as a volume flag,
// and what the song leaves out is a warning.
TEST_F(ConvertCli, ConvertPlaysTheModulesVolumes) {
    test::XmLayout layout;
    layout.channelCount = 1;
    layout.patterns[0].rows = 4;
    layout.patterns[0].cells.assign(4, XmCell{});
    layout.patterns[0].cells[0] = XmCell{49, 0, 0x30, 0x07, 0x11};  // C-4 at volume 32, with a tremolo
    test::writeFileBytes(work() / "song.xm", test::buildXm(layout));
    const json setup = {{"fmChannelCount", 1}, {"psgChannelCount", 0}, {"hasDrums", false},
                        {"fm", {1, nullptr, nullptr, nullptr, nullptr, nullptr}}, {"moduleEffects", true},
                        {"voices", {{{"name", "a"}, {"hex", formatVoiceHex(voiceOf(1))}}}}};
    writeText(work() / "setup.json", setup.dump());
    const CliRun r = run({"convert", "song.xm", "--setup", "setup.json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Warning: XM channel 1 (FM1): 1 volume (volume column) followed; 1 tremolo (7xy) not "
                         "followed\n"),
              std::string::npos)
        << r.err;
    const auto bin = test::readFileBytes(work() / "song.bin");
    const std::vector<std::uint8_t> track = {0xE6, 0x08, 0xB1, 0x04, 0xE6, 0xF8, 0xF6};
    EXPECT_NE(std::search(bin.begin(), bin.end(), track.begin(), track.end()), bin.end());
}

// The first row's Fxx sets the speed the song starts with, over the header's;
// a later change is named, not matched.
TEST_F(ConvertCli, SetupMatchesTheFirstRowsTempo) {
    test::XmLayout layout;
    layout.channelCount = 2;
    layout.patterns[0].rows = 4;
    layout.patterns[0].cells.assign(8, XmCell{});
    layout.patterns[0].cells[0] = test::noteCell(0, 0, 0x0F, 0x03);
    layout.patterns[0].cells[1] = test::noteCell(0, 0, 0x0F, 0x78);
    layout.patterns[0].cells[5] = test::noteCell(0, 0, 0x0F, 0x06);
    test::writeFileBytes(work() / "song.xm", test::buildXm(layout));
    const CliRun r = run({"setup", "song.xm", "--match-tempo"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "Dividing timing 3, tempo 5: a row every 63 ms in the module, 63 ms in the song: the same speed; "
                     "the module changes its speed 1 time later\n");
}

}  // namespace
}  // namespace ferro
