// The module's folder is the user's own and also holds the scratch files and
// the outputs: the windows' calls, in a folder full of look-alike names, may
// create, change or remove nothing else, and leave no scratch file at the end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <variant>
#include <vector>

#include "engine/conversion.hpp"
#include "song/song_choices.hpp"
#include "song/song_conversion.hpp"
#include "support/temp_dir.hpp"
#include "support/xm_writer.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct FileState {
    Bytes content;
    fs::file_time_type modified;
    bool isLink = false;
};
using FolderState = std::map<std::string, FileState>;  // path relative to the folder

// Every file and link under `dir`, in sub-folders too.
FolderState snapshot(const fs::path& dir) {
    FolderState state;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().lexically_relative(dir).generic_string();
        if (it->is_symlink()) {
            state[name] = FileState{{}, {}, true};
            continue;
        }
        if (!it->is_regular_file()) {
            state[name + "/"] = FileState{};
            continue;
        }
        state[name] = FileState{test::readFileBytes(it->path()), fs::last_write_time(it->path()), false};
    }
    return state;
}

bool sameFile(const FileState& a, const FileState& b) {
    return a.isLink == b.isLink && a.content == b.content && a.modified == b.modified;
}

bool isTopLevelScratch(const std::string& name) {
    return name.find('/') == std::string::npos && isScratchFileName(name);
}

// Names that look like the scratch and working files but are not theirs: the
// program must never write, rename or delete them.
const std::vector<std::string> kLookAlikes = {
    "C1.tmp.bak", "C01.tmp", "C0.tmp.txt", "C1", "C.tmp", "C-1.tmp", "C+1.tmp", "C1 .tmp", " C1.tmp", "xC1.tmp",
    "C1.tmpx", "C1.tm", "C1tmp", "CC1.tmp", "C1a.tmp", "P0C1.txt", "P00C1.tmp", "P0C01.tmp", "P0.tmp", "PC1.tmp",
    "P0C.tmp", "P-0C1.tmp", "P0_C1.tmp", "P0C1.tmp.old", "BATMAN.tmp", "BATMAN01.tmp", "BATMAN1.tmp~",
    "BAT MAN1.tmp", "ROBIN1.tmp", "LOL.tmp", "LOL-1.tmp", "LOL1a.tmp", "LOLL1.tmp", "voices.tmp.bak",
    "voices.txt", "voices1.tmp", "my voices.tmp", "voices .tmp", "voices", ".tmp", "tmp", "song.xm.tmp",
    "~song.bin.ferrocanto-1.new", "~song.asm.ferrocanto-1.old", "song.BIN", "song.bin.bak", "song",
    "other.xm", "other.bin", "other.asm", "notes.txt", "C\xc2\xb9.tmp",
};

// The module: an intro pattern and a looped one, on four channels.
std::vector<std::uint8_t> songModule() {
    test::XmLayout layout;
    layout.channelCount = 4;
    layout.orderTable = {0, 1, 1};
    layout.restartPosition = 1;
    test::XmPatternLayout intro{16, std::vector<XmCell>(16 * 4)}, loop{32, std::vector<XmCell>(32 * 4)};
    for (int r = 0; r < 32; r += 4) {
        for (int c = 0; c < 4; ++c) {
            loop.cells[static_cast<std::size_t>(r * 4 + c)] = test::noteCell(static_cast<std::uint8_t>(37 + c + r / 4), 1);
            if (r < 16) intro.cells[static_cast<std::size_t>(r * 4 + c)] = test::noteCell(static_cast<std::uint8_t>(49 + c), 2);
        }
    }
    layout.patterns = {intro, loop};
    return test::buildXm(layout);
}

// The choices of requestFor made in the windows, with "Remove rests".
void chooseAsRequestFor(SongModel& model) {
    model.setFmChannelCount(2);
    model.setPsgChannelCount(1);
    model.setUseNoise(false);
    for (const auto [row, channel] : {std::pair{0, 1}, {1, 2}, {kFirstPsgAssignmentRow, 3}, {kDacAssignmentRow, 4}})
        model.chooseChannel(row, channel);
    model.setOptimiseOutput(true);
    model.setRemoveRests(true);
    model.addVoice("one", FmVoice{});
    model.addVoice("two", FmVoice{});
    model.setWriteBin(true);
    model.setWriteAsm(true);
}

// "Convert song" in the windows.
SongConversionOutcome convertInWindows(SongModel& model, std::uint64_t seed) {
    ConversionSettings settings;
    settings.target = SongTarget::OutputsAndScratchFiles;
    return convertSong(model, settings, {}, seededRandom(seed));
}

ConversionRequest requestFor(const XmModule& m) {
    ConversionRequest r = moduleRequest(m);
    r.fmChannelCount = 2;
    r.fm = {1, 2, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    r.psgChannelCount = 1;
    r.useNoise = false;
    r.psg = {3, std::nullopt, std::nullopt};
    r.hasDrums = true;
    r.dac = 4;
    r.optimiseOutput = true;
    r.instrumentVoices = std::string("\x00\x01\x00", 3);
    r.instrumentPsgEnvelopes = std::string("\x01\x02", 2);
    r.drumSamples = "\x81\x82";
    r.hihatKinds = "\x01\x02";
    r.voices.resize(2);
    return r;
}

class FolderSafety : public ::testing::Test {
protected:
    void SetUp() override {
        int k = 0;
        // Where letter case does not tell names apart (Windows), song.BIN is
        // the song's own output, not a look-alike.
        test::writeFileBytes(dir / "probe", {});
        const bool namesIgnoreCase = fs::exists(dir / "PROBE");
        fs::remove(dir / "probe");
        for (const std::string& name : kLookAlikes) {
            if (namesIgnoreCase && name == "song.BIN") continue;
            test::writeFileBytes(dir / name, bytesFor(k++));
        }
        // Folders under scratch names the module does not use are the user's.
        for (const char* name : {"C9.tmp", "P7C1.tmp", "batman5.TMP"}) {
            fs::create_directory(dir / name);
            test::writeFileBytes(dir / name / "inside.txt", bytesFor(k++));
        }
        fs::create_directory(dir / "sub");
        for (const char* name : {"C1.tmp", "P0C1.tmp", "BATMAN1.tmp", "LOL1.tmp", "voices.tmp", "song.bin"})
            test::writeFileBytes(dir / "sub" / name, bytesFor(k++));
        test::writeFileBytes(dir / "song.xm", songModule());
        // Earlier outputs of the same song: the conversion may replace them.
        test::writeFileBytes(dir / "song.asm", bytesFor(k++));
        // A scratch name that is a link to a file outside: removing the link
        // is allowed, writing through it is not.
        test::writeFileBytes(outside.path() / "precious.txt", bytesFor(k++));
        std::error_code ec;
        fs::create_symlink(outside.path() / "precious.txt", dir / "C3.tmp", ec);
        hasLink = !ec;
        // Make every later write show in the modification time.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        before = snapshot(dir.path());
        outsideBefore = snapshot(outside.path());
    }

    static Bytes bytesFor(int k) {
        Bytes b;
        for (int i = 0; i < 40 + k; ++i) b.push_back(static_cast<std::uint8_t>(k * 17 + i));
        return b;
    }

    // Every difference from the starting state must be a scratch file or one
    // of `outputs`; `outputs` must exist.
    void expectOnlyAllowedChanges(const std::set<std::string>& outputs, const std::string& step) {
        const FolderState now = snapshot(dir.path());
        for (const auto& [name, state] : before) {
            if (outputs.count(name) || isTopLevelScratch(name)) continue;
            const auto it = now.find(name);
            EXPECT_TRUE(it != now.end()) << step << ": " << name << " was removed";
            if (it != now.end()) {
                EXPECT_TRUE(sameFile(state, it->second)) << step << ": " << name << " was changed";
            }
        }
        for (const auto& [name, state] : now) {
            if (before.count(name) || outputs.count(name) || isTopLevelScratch(name)) continue;
            ADD_FAILURE() << step << ": " << name << " was created";
        }
        for (const std::string& name : outputs) EXPECT_TRUE(now.count(name)) << step << ": " << name << " is missing";
        EXPECT_EQ(snapshot(outside.path()).size(), outsideBefore.size());
        for (const auto& [name, state] : snapshot(outside.path())) {
            EXPECT_TRUE(outsideBefore.count(name) && sameFile(state, outsideBefore.at(name)))
                << step << ": outside the folder, " << name << " was changed";
        }
    }

    std::vector<std::string> scratchFilesLeft() const {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (isScratchFileName(name) && !fs::is_directory(entry.symlink_status())) left.push_back(name);
        }
        return left;
    }

    XmModule load() {
        auto loaded = loadXmModule(dir.path(), "song.xm");
        EXPECT_TRUE(std::holds_alternative<XmModule>(loaded));
        return std::get<XmModule>(loaded);
    }

    TempDir dir;
    TempDir outside;
    bool hasLink = false;
    FolderState before;
    FolderState outsideBefore;
};

TEST_F(FolderSafety, LoadConvertReloadUnloadAndExitTouchOnlyTheirOwnFiles) {
    SongModel model;
    model.load(load());
    ASSERT_EQ(std::pair(model.module()->totalRows, model.module()->restartRow), std::pair(80, 16));
    expectOnlyAllowedChanges({}, "load");

    chooseAsRequestFor(model);
    SongConversionOutcome result = convertInWindows(model, 1);
    ASSERT_TRUE(result.converted) << result.message;
    expectOnlyAllowedChanges({"song.bin", "song.asm"}, "first conversion");
    EXPECT_TRUE(fs::exists(dir / "voices.tmp"));
    const Bytes firstBinary = test::readFileBytes(dir / "song.bin");

    model.reload(load());
    expectOnlyAllowedChanges({"song.bin", "song.asm"}, "reload");

    // Only the listing this time: the binary stays as the first run wrote it.
    model.setWriteBin(false);
    result = convertInWindows(model, 2);
    ASSERT_TRUE(result.converted) << result.message;
    expectOnlyAllowedChanges({"song.bin", "song.asm"}, "second conversion");
    EXPECT_EQ(test::readFileBytes(dir / "song.bin"), firstBinary);

    EXPECT_TRUE(deleteScratchFiles(dir.path()));  // unload
    EXPECT_TRUE(deleteScratchFiles(dir.path()));  // exit
    expectOnlyAllowedChanges({"song.bin", "song.asm"}, "exit");
    EXPECT_EQ(scratchFilesLeft(), std::vector<std::string>{});
    if (hasLink) EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "C3.tmp")));
}

TEST_F(FolderSafety, FailedConversionAndFailedLoadLeaveTheFolderAsItWas) {
    XmModule module = load();
    // The instrument map misses instrument 2: the conversion stops half-way.
    ConversionRequest broken = requestFor(module);
    broken.instrumentVoices = std::string(1, '\0');
    const ConversionResult result = writeSong(broken, convertSong(broken, MemoryRowSource(module), seededRandom(3)));
    EXPECT_EQ(std::tuple(result.succeeded, result.message), std::tuple(false, kSomeError));
    expectOnlyAllowedChanges({}, "failed conversion");
    EXPECT_EQ(test::readFileBytes(dir / "song.asm"), before.at("song.asm").content);
    EXPECT_FALSE(fs::exists(dir / "song.bin"));

    // A module cut short in its second pattern fails after writing some
    // scratch files; the explorer then unloads.
    Bytes cut = songModule();
    cut.resize(cut.size() - 20);
    test::writeFileBytes(dir / "cut.xm", cut);
    before = snapshot(dir.path());
    const auto failed = loadXmModule(dir.path(), "cut.xm");
    ASSERT_TRUE(std::holds_alternative<XmError>(failed));
    EXPECT_TRUE(deleteScratchFiles(dir.path()));
    expectOnlyAllowedChanges({}, "failed load");
    EXPECT_EQ(scratchFilesLeft(), std::vector<std::string>{});

    // A folder where the load needs a row stream file: the load fails and
    // the folder keeps its content.
    fs::create_directory(dir / "C2.tmp");
    test::writeFileBytes(dir / "C2.tmp" / "mine.txt", bytesFor(99));
    before = snapshot(dir.path());
    EXPECT_TRUE(std::holds_alternative<XmError>(loadXmModule(dir.path(), "song.xm")));
    EXPECT_TRUE(deleteScratchFiles(dir.path()));
    expectOnlyAllowedChanges({}, "load over a folder");
    EXPECT_EQ(test::readFileBytes(dir / "C2.tmp" / "mine.txt"), bytesFor(99));
}

}  // namespace
}  // namespace ferro
