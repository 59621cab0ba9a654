#include "voices/voice_manager_logic.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

#include <fstream>
#include <random>

namespace ferro {
namespace {

TEST(VoiceReadinessLight, FollowsFmChannelsAndVoiceCount) {
    struct Case {
        int fm, voices;
        ReadinessLight light;
    };
    const Case cases[] = {
        {5, 0, ReadinessLight::Yellow}, {5, 1, ReadinessLight::Green},   {1, 256, ReadinessLight::Green},
        {0, 0, ReadinessLight::Green},  {0, 1, ReadinessLight::Yellow},  {0, 256, ReadinessLight::Yellow},
        {6, 0, ReadinessLight::Yellow},
    };
    for (const Case& c : cases)
        EXPECT_EQ(voiceReadinessLight(c.fm, c.voices), c.light) << "f=" << c.fm << " v=" << c.voices;
}

TEST(VoiceFilePattern, MatchesWithoutRegardToCase) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"song.bin", "*.bin", true},   {"SONG.BIN", "*.bin", true},   {"Song.Bin", "*.BIN", true},
        {".bin", "*.bin", true},       {"song.bin2", "*.bin", false}, {"songbin", "*.bin", false},
        {"a.bin.bak", "*.bin", false}, {"a.b.bin", "*.bin", true},    {"x.tfi", "*.ymx", false},
        {"ab.ins", "a?.ins", true},    {"a.ins", "a?.ins", false},    {"anything", "*", true},
        {"", "*.bin", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesVoiceFilePattern(c.name, c.pattern), c.match) << c.name << " / " << c.pattern;
}

class VoiceFolder : public ::testing::Test {
protected:
    void touch(const std::string& name) { folder_.write(name, {'x'}); }
    test::TempDir folder_;
    const std::filesystem::path dir_ = folder_.path();
};

TEST_F(VoiceFolder, ListsMatchingRegularFilesSortedWithoutRegardToCase) {
    for (const char* name : {"b.bin", "A.BIN", "c.Bin", "d.ymx", "e.bin.txt"}) touch(name);
    std::filesystem::create_directory(dir_ / "folder.bin");
    std::vector<std::string> names;
    for (const auto& p : listVoiceFiles(dir_, "*.bin")) names.push_back(p.string());
    EXPECT_EQ(names, (std::vector<std::string>{"A.BIN", "b.bin", "c.Bin"}));
    EXPECT_EQ(listVoiceFiles(dir_, "*.ymx").size(), 1u);
    EXPECT_TRUE(listVoiceFiles(dir_, "").empty());
    EXPECT_TRUE(listVoiceFiles(dir_ / "missing", "*.bin").empty());
}

FileVoiceList numberedVoices(int n) {
    FileVoiceList voices;
    for (int i = 0; i < n; ++i) {
        FmVoice v;
        v.bytes.fill(static_cast<std::uint8_t>(i));
        voices.push_back({"v" + std::to_string(i), v});
    }
    return voices;
}

TEST(AddFileVoices, StopsAtTheListCapacity) {
    struct Case {
        int already, inFile, added;
        bool limit;
    };
    const Case cases[] = {{0, 3, 3, false}, {0, 256, 256, false}, {0, 300, 256, true}, {250, 6, 6, false},
                          {250, 7, 6, true}, {256, 1, 0, true}};
    for (const Case& c : cases) {
        SongVoiceList song;
        for (int i = 0; i < c.already; ++i) song.add("old", FmVoice{});
        const AddAllOutcome out = addFileVoices(song, numberedVoices(c.inFile));
        EXPECT_EQ(out.added, c.added) << c.already << "+" << c.inFile;
        EXPECT_EQ(out.reachedLimit, c.limit) << c.already << "+" << c.inFile;
        EXPECT_EQ(song.count(), c.already + c.added);
    }
    SongVoiceList song;
    addFileVoices(song, numberedVoices(3));
    EXPECT_EQ(song.displayText(2), "2: v2");
    EXPECT_EQ(song.voice(2).bytes[24], 2);
}

}  // namespace
}  // namespace ferro
