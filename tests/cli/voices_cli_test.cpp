// The voices and bank verbs, run as a user runs them.
#include <gtest/gtest.h>

#include "support/run_program.hpp"
#include "support/temp_dir.hpp"
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Data = std::vector<std::uint8_t>;

using CliRun = ferro::test::ProgramRun;

class VoicesCli : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const Data& data) { return folder_.write(name, data); }
    CliRun run(const std::vector<std::string>& args) {
        return ferro::test::runProgram(FERRO_CLI_PATH, args, dir_, dir_);
    }

    ferro::test::TempDir folder_;
    const fs::path dir_ = folder_.path();
};

Data countingVoices(int count, int start = 0) {
    Data out;
    for (int i = 0; i < 25 * count; ++i) out.push_back(static_cast<std::uint8_t>(start + i));
    return out;
}

Data tfiWithSsgEg() {
    Data out = {7, 7};
    for (int op = 0; op < 4; ++op) {
        const Data block = {1, 3, 0x20, 0, 31, 0, 0, 15, 0, static_cast<std::uint8_t>(op == 2 ? 9 : 0)};
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

// What `voices` prints for one voice of a file: its name (UTF-8 from a
// Latin-1 file), its bytes, and the import's warning where there is one.
TEST_F(VoicesCli, ListsTheVoicesOfAFile) {
    write("drums.bin", countingVoices(2));
    write("pad.tfi", tfiWithSsgEg());
    Data fcv = countingVoices(1);
    fcv.insert(fcv.begin(), 1);
    fcv.insert(fcv.end(), {4, 'C', 'a', 'f', 0xE9});
    write("bank.fcv", fcv);
    const std::string pad = "3F 01 01 01 01 1F 1F 1F 1F 00 00 00 00 00 00 00 00 0F 0F 0F 0F 20 20 20 20";
    struct Case {
        std::vector<std::string> args;
        std::size_t count, index;
        std::string name, hex, warning;
    };
    const Case cases[] = {
        {{"voices", "raw25", "drums.bin"}, 2, 1, "drums.bin: voice $1",
         "19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F 30 31", ""},
        {{"voices", "tfi", "pad.tfi"}, 1, 0, "pad", pad, "This TFI uses the SSG-EG: may not sound right"},
        {{"voices", "fcv", "bank.fcv"}, 1, 0, "Caf\xC3\xA9",
         "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18", ""},
        {{"voices", "paste", "\n" + pad + "\n"}, 1, 0, "Pasted voice", pad, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2]);
        const CliRun r = run(c.args);
        ASSERT_EQ(r.code, 0) << r.err;
        const auto json = nlohmann::json::parse(r.out);
        ASSERT_EQ(json["voices"].size(), c.count);
        EXPECT_EQ(json["voices"][c.index]["name"], c.name);
        EXPECT_EQ(json["voices"][c.index]["hex"], c.hex);
        EXPECT_EQ(json.contains("warning") ? json["warning"].get<std::string>() : "", c.warning);
    }
}

TEST_F(VoicesCli, FailuresGoToStandardError) {
    write("short.bin", Data(24));
    write("bad.ymx", Data(8));
    write("cut.tfi", Data(40));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"voices", "raw25", "short.bin"},
         "There are no voices in this file\nshort.bin: a raw voice is 25 bytes long, this file is 24 bytes\n"},
        {{"voices", "ymx", "bad.ymx"},
         "File is not a valid YMX\nbad.ymx: the file does not start with \"YM2612\" and a zero byte\n"},
        {{"voices", "tfi", "cut.tfi"},
         "This file seems to be broken\ncut.tfi: a TFI voice is 42 bytes long, this file is 40\n"},
        {{"voices", "s3ksong", "missing.bin"},
         "There is something wrong with this file\nmissing.bin: the file cannot be read\n"},
        {{"voices", "paste", "00 11"}, "The voice you entered is not in a recognized format!\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.code, 1) << c.args[2];
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_NE(run({"voices", "wav", "short.bin"}).code, 0);
}

TEST_F(VoicesCli, BankJoinsFilesInOrderAndReadsBack) {
    write("a.bin", countingVoices(2, 0x10));
    write("pad.tfi", tfiWithSsgEg());
    for (const std::string format : {"raw", "fcv", "ymx"}) {
        const std::string out = "joined." + format;
        const CliRun w = run({"bank", out, "--format", format, "raw25:a.bin", "tfi:pad.tfi"});
        ASSERT_EQ(w.code, 0) << w.err;
        const std::string kind = format == "raw" ? "raw25" : format;
        const CliRun r = run({"voices", kind, out});
        ASSERT_EQ(r.code, 0) << r.err;
        const auto json = nlohmann::json::parse(r.out);
        ASSERT_EQ(json["voices"].size(), 3u) << format;
        EXPECT_EQ(json["voices"][0]["hex"], "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 28");
        EXPECT_EQ(json["voices"][2]["hex"], "3F 01 01 01 01 1F 1F 1F 1F 00 00 00 00 00 00 00 00 0F 0F 0F 0F 20 20 20 20");
    }
}

TEST_F(VoicesCli, BankRefusesMoreVoicesThanTheFormatHolds) {
    // Each format's limit is the bank writer's (voice_bank_test); here the
    // refusals reach the user and write nothing.
    write("128.bin", countingVoices(128));
    write("2.bin", countingVoices(2));
    write("short.bin", Data(3));
    const std::vector<std::vector<std::string>> refused = {
        {"bank", "out.ymx", "--format", "ymx", "raw25:128.bin"},
        {"bank", "out.bin", "--format", "raw", "raw25:2.bin", "raw25:short.bin"},
        {"bank", "out.bin", "--format", "raw", "2.bin"},
        {"bank", "out.bin", "--format", "raw", "wav:2.bin"},
    };
    for (const auto& args : refused) {
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_FALSE(fs::exists(dir_ / args[1])) << args.back();
        EXPECT_FALSE(r.err.empty());
    }
    const CliRun r = run({"bank", "out.ymx", "--format", "ymx", "raw25:128.bin"});
    EXPECT_NE(r.err.find("127"), std::string::npos) << r.err;
    EXPECT_NE(run({"bank", "out.ymx", "--format", "wav", "raw25:2.bin"}).code, 0);
}

}  // namespace
