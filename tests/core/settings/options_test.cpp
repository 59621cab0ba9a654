#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "settings/options.hpp"
#include "support/xm_writer.hpp"

namespace ferro {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

AppOptions make(YellowPolicy g, YellowPolicy v, ExitPolicy e, bool dec, bool hex) {
    AppOptions o;
    o.generalPolicy = g;
    o.voicePolicy = v;
    o.exitPolicy = e;
    o.showSizeDecimal = dec;
    o.showSizeHex = hex;
    return o;
}

TEST(SettingsByte, KnownBytes) {
    struct Case {
        std::uint8_t byte;
        AppOptions options;
    };
    const Case cases[] = {
        {5, AppOptions{}},
        {0, make(YellowPolicy::ConvertAnyway, YellowPolicy::ConvertAnyway, ExitPolicy::ExitAnyway, false, false)},
        {58, make(YellowPolicy::WarnAndHalt, YellowPolicy::WarnAndHalt, ExitPolicy::DoNotExit, false, false)},
        {0x40 | 0x10 | 0x04, make(YellowPolicy::ConvertAnyway, YellowPolicy::WarnAndAsk, ExitPolicy::AskIfLoaded, true, false)},
        {0x80 | 0x20 | 0x02, make(YellowPolicy::WarnAndHalt, YellowPolicy::ConvertAnyway, ExitPolicy::AskAlways, false, true)},
        {0xFA, make(YellowPolicy::WarnAndHalt, YellowPolicy::WarnAndHalt, ExitPolicy::DoNotExit, true, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        EXPECT_EQ(encodeSettingsByte(c.options), c.byte);
        EXPECT_EQ(decodeSettingsByte(c.byte), c.options);
    }
}

TEST(SettingsByte, EveryByteEitherRoundTripsOrIsRefused) {
    int valid = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const bool policyThree = (b & 3) == 3 || ((b >> 2) & 3) == 3;
        const std::optional<AppOptions> options = decodeSettingsByte(byte);
        ASSERT_EQ(options.has_value(), !policyThree) << b;
        if (options) {
            EXPECT_EQ(encodeSettingsByte(*options), byte) << b;
            ++valid;
        }
    }
    EXPECT_EQ(valid, 3 * 3 * 4 * 2 * 2);
}

// What loading followed by the at-once save leaves: the options and the file.
struct FileCase {
    const char* name;
    std::optional<std::vector<std::uint8_t>> content;  // nothing: no file
    AppOptions expected;
};

TEST(SettingsFile, LoadThenSave) {
    const AppOptions halt = make(YellowPolicy::WarnAndHalt, YellowPolicy::WarnAndHalt, ExitPolicy::DoNotExit, false, false);
    const FileCase cases[] = {
        {"no file", std::nullopt, AppOptions{}},
        {"58", std::vector<std::uint8_t>{58}, halt},
        {"255", std::vector<std::uint8_t>{255}, AppOptions{}},
        {"voice bits 3", std::vector<std::uint8_t>{0x0C}, AppOptions{}},
        {"exit bits 3 are valid", std::vector<std::uint8_t>{0x31},
         make(YellowPolicy::WarnAndAsk, YellowPolicy::ConvertAnyway, ExitPolicy::DoNotExit, false, false)},
        {"empty", std::vector<std::uint8_t>{}, AppOptions{}},
        {"two bytes", std::vector<std::uint8_t>{58, 58}, AppOptions{}},
        {"long", std::vector<std::uint8_t>(5000, 0), AppOptions{}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto file = dir / kSettingsFileName;
        if (c.content) writeFileBytes(file, *c.content);
        const AppOptions loaded = loadOptions(file);
        EXPECT_EQ(loaded, c.expected);
        ASSERT_TRUE(saveOptions(file, loaded));
        EXPECT_EQ(readFileBytes(file), std::vector<std::uint8_t>{encodeSettingsByte(c.expected)});
        EXPECT_EQ(dir.fileNames(), std::vector<std::string>{kSettingsFileName});
    }
}

TEST(SettingsFile, BrokenFileIsDeletedByTheLoad) {
    for (const std::vector<std::uint8_t>& content :
         {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{1, 2}, std::vector<std::uint8_t>{255}}) {
        TempDir dir;
        const auto file = dir / kSettingsFileName;
        writeFileBytes(file, content);
        EXPECT_EQ(loadOptions(file), AppOptions{});
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

// A folder where the file should be: nothing can be written and the folder
// must survive the load (it is not a broken settings file to throw away).
TEST(SettingsFile, FolderInTheWayIsKeptAndCannotBeWritten) {
    TempDir dir;
    const auto file = dir / kSettingsFileName;
    std::filesystem::create_directory(file);
    EXPECT_EQ(loadOptions(file), AppOptions{});
    EXPECT_TRUE(std::filesystem::is_directory(file));
    EXPECT_FALSE(saveOptions(file, AppOptions{}));
}

TEST(SettingsFile, MissingFolderCannotBeWritten) {
    TempDir dir;
    const auto file = dir / "gone" / kSettingsFileName;
    EXPECT_EQ(loadOptions(file), AppOptions{});
    EXPECT_FALSE(saveOptions(file, AppOptions{}));
}

// Whether this process can write into files it may not write (root can).
bool canWriteReadOnly(const std::filesystem::path& dir) {
    const auto probe = dir / "probe";
    writeFileBytes(probe, {0});
    std::filesystem::permissions(probe, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                            std::filesystem::perms::others_read);
    const bool writable = static_cast<bool>(std::ofstream(probe, std::ios::binary | std::ios::app));
    std::filesystem::permissions(probe, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    std::filesystem::remove(probe);
    return writable;
}

TEST(SettingsFile, ReadOnlyFileKeepsItsChoicesButCannotBeSaved) {
    TempDir dir;
    if (canWriteReadOnly(dir.path())) GTEST_SKIP() << "this user can write read-only files";
    const auto file = dir / kSettingsFileName;
    writeFileBytes(file, {58});
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    const AppOptions loaded = loadOptions(file);
    EXPECT_EQ(loaded.exitPolicy, ExitPolicy::DoNotExit);
    AppOptions changed = loaded;
    changed.showSizeHex = true;
    EXPECT_FALSE(saveOptions(file, changed));
    std::filesystem::permissions(file, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    EXPECT_EQ(readFileBytes(file), std::vector<std::uint8_t>{58});
}

}  // namespace
}  // namespace ferro
