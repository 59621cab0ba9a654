// What a build script relies on whatever the platform: the program names
// itself, module names compare as the tracker shows them, and file names with
// spaces and letters outside ASCII reach the files (on Windows they arrive as
// UTF-16 and must not pass through the ANSI code page).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "base/paths.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"
#include "support/xm_writer.hpp"

namespace ferro {
namespace {

test::ProgramRun runCli(const test::TempDir& dir, const std::vector<std::string>& args) {
    std::filesystem::create_directories(dir / "work");
    return test::runProgram(FERRO_CLI_PATH, args, dir / "work", dir.path());
}

TEST(CliNames, VersionNamesTheProgram) {
    test::TempDir dir;
    const auto r = runCli(dir, {"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("ferrocanto-cli ", 0), 0u) << r.out;
    EXPECT_GT(r.out.size(), std::string("ferrocanto-cli \n").size());
}

TEST(CliNames, InfoGivesNamesWithoutPadding) {
    struct Case {
        std::string field;  // the 20 bytes as stored (shorter ones are NUL-padded)
        std::string json;
    };
    const std::vector<Case> cases = {
        {"Ferrocanto demo", "Ferrocanto demo"},
        {"spaced out          ", "spaced out"},
        {std::string("mixed  \0\0  ", 11), "mixed"},
        {std::string("cut\0garbage", 11), "cut"},
        {"  lead", "  lead"},
        {"", ""},
        {"Caf\xE9", "Caf\xC3\xA9"},  // Latin-1 in the file, UTF-8 in JSON
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        std::filesystem::create_directories(dir / "work");
        test::XmLayout layout;
        layout.moduleName = c.field;
        layout.trackerName = c.field;
        test::writeFileBytes(dir / "work" / "song.xm", test::buildXm(layout));
        const auto r = runCli(dir, {"info", "song.xm"});
        ASSERT_EQ(r.code, 0) << r.err;
        const auto info = nlohmann::json::parse(r.out);
        EXPECT_EQ(info["moduleName"], c.json) << c.field;
        EXPECT_EQ(info["trackerName"], c.json) << c.field;
    }
}

TEST(CliNames, SpacesAndNonAsciiLettersInFileNames) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "work");
    const std::string module = "T\xC3\xBCne f\xC3\xBCr \xC3\x85sa.xm";  // "Tüne für Åsa.xm"
    const std::string setupFolder = "\xC3\xA9t\xC3\xA9 setup";           // "été setup"
    test::XmLayout layout;
    layout.channelCount = 1;
    test::XmPatternLayout pattern;
    pattern.rows = 4;
    pattern.cells = {test::noteCell(49, 1), {}, {}, test::noteCell(kXmKeyOff)};
    layout.patterns = {pattern};
    test::writeFileBytes(dir / "work" / pathFromUtf8(module), test::buildXm(layout));
    const std::string setup = R"({"fmChannelCount": 0, "psgChannelCount": 1, "useNoise": false,
                                  "hasDrums": false, "psg": [1, null, null], "writeAsm": true})";
    std::filesystem::create_directories(dir / "work" / pathFromUtf8(setupFolder));
    test::writeFileBytes(dir / "work" / pathFromUtf8(setupFolder) / "s.json",
                         std::vector<std::uint8_t>(setup.begin(), setup.end()));

    const auto info = runCli(dir, {"info", module});
    EXPECT_EQ(info.code, 0) << info.err;

    const auto converted = runCli(dir, {"convert", module, "--setup", setupFolder + "/s.json"});
    ASSERT_EQ(converted.code, 0) << converted.err;
    const std::string base = module.substr(0, module.size() - 3);
    EXPECT_FALSE(test::readFileBytes(dir / "work" / pathFromUtf8(base + ".bin")).empty());
    EXPECT_FALSE(test::readFileBytes(dir / "work" / pathFromUtf8(base + ".asm")).empty());
    EXPECT_EQ(converted.out, base + ".bin and " + base + ".asm created successfully!\n");
}

}  // namespace
}  // namespace ferro
