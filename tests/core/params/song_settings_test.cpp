#include <gtest/gtest.h>

#include "params/song_settings.hpp"
#include "params/tempo_match.hpp"
#include "params/validation.hpp"

namespace ferro {
namespace {

TEST(SongSettings, ListPositionsAndChoices) {
    EXPECT_EQ(channelToListIndex(3, 4), 2);
    EXPECT_EQ(channelToListIndex(std::nullopt, 4), -1);
    EXPECT_EQ(channelToListIndex(5, 4), -1);
    EXPECT_EQ(channelFromListIndex(0, 4), XmChannelChoice(1));
    EXPECT_EQ(channelFromListIndex(-1, 4), std::nullopt);
    EXPECT_EQ(channelFromListIndex(4, 4), std::nullopt);
    EXPECT_EQ(tempoFromListIndex(8), 9);
    EXPECT_EQ(tempoListItems().front(), "01");
    EXPECT_EQ(channelListItems(4), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST(SongSettings, DrumsOnLowersSixFmAndKeepsTheHiddenChoice) {
    SongSettings s;
    ChannelAssignment a;
    resetChannelAssignment(a, 8);
    setHasDrums(s, false);
    EXPECT_EQ(generalWindowView(s).fmSliderMax, 6);
    setFmChannelCount(s, 6);
    a.fm[5] = 7;
    setHasDrums(s, true);
    EXPECT_EQ(s.fmChannelCount, 5);
    EXPECT_FALSE(generalWindowView(s).fmRowVisible[5]);
    EXPECT_EQ(a.fm[5], XmChannelChoice(7));
    setFmChannelCount(s, 6);  // the slider stops at 5 with drums
    EXPECT_EQ(s.fmChannelCount, 5);
    setHasDrums(s, false);
    setFmChannelCount(s, 6);
    EXPECT_TRUE(generalWindowView(s).fmRowVisible[5]);
    EXPECT_EQ(a.fm[5], XmChannelChoice(7));
}

TEST(SongSettings, PsgRowsAndNoiseCaptions) {
    struct Row {
        int count;
        bool noise;
        std::array<bool, 3> visible;
        std::string lastCaption;  // caption of row `count`
        bool noiseFrameEnabled;
    };
    const Row rows[] = {
        {0, true, {false, false, false}, "", false},
        {1, true, {true, false, false}, "Noise", true},
        {1, false, {true, false, false}, "PSG1", true},
        {2, true, {true, true, false}, "Noise", true},
        {2, false, {true, true, false}, "PSG2", true},
        {3, true, {true, true, true}, "Noise", true},
        {3, false, {true, true, true}, "PSG3", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.count) + (r.noise ? " noise" : " no noise"));
        SongSettings s;
        setPsgChannelCount(s, r.count);
        setUseNoise(s, r.noise);
        const GeneralWindowView v = generalWindowView(s);
        EXPECT_EQ(v.psgRowVisible, r.visible);
        EXPECT_EQ(v.noiseFrameEnabled, r.noiseFrameEnabled);
        EXPECT_EQ(v.psgCountText, std::to_string(r.count));
        if (r.count > 0) {
            EXPECT_EQ(v.psgRowCaption[r.count - 1], r.lastCaption);
            for (int k = 1; k < r.count; ++k) EXPECT_EQ(v.psgRowCaption[k - 1], "PSG" + std::to_string(k));
        }
    }
}

// The E4 choice shows only for a song that is not looped; switching the loop
// keeps the hidden choices.
TEST(SongSettings, LoopChoiceShowsE4) {
    SongSettings s;
    s.loopSong = false;
    EXPECT_TRUE(generalWindowView(s).e4FrameVisible);
    s.endDacWithE4 = true;
    s.loopSong = true;
    EXPECT_FALSE(generalWindowView(s).e4FrameVisible);
    EXPECT_TRUE(s.endDacWithE4);
}

TEST(SongSettings, RemoveRestsThreeStates) {
    SongSettings s;
    EXPECT_FALSE(removeRestsWanted(s));
    setRemoveRests(s, true);
    EXPECT_TRUE(removeRestsWanted(s));
    setHasDrums(s, false);
    EXPECT_FALSE(removeRestsWanted(s));
    setHasDrums(s, true);

    markRemoveRestsApplied(s);
    EXPECT_EQ(s.removeRests, RemoveRestsState::Greyed);
    EXPECT_FALSE(removeRestsWanted(s));  // the key-offs are already gone
    EXPECT_FALSE(moreWindowView(s).removeRestsEnabled);
    setRemoveRests(s, false);  // a disabled box cannot be changed
    EXPECT_EQ(s.removeRests, RemoveRestsState::Greyed);

    s.removeRests = RemoveRestsState::Off;
    markRemoveRestsApplied(s);  // nothing was applied
    EXPECT_EQ(s.removeRests, RemoveRestsState::Off);
}

// Which frames of the More parametres window show, over the general
// settings' combinations.
TEST(SongSettings, MoreWindowVisibility) {
    for (int psg = 0; psg <= 3; ++psg)
        for (bool noise : {true, false})
            for (bool drums : {true, false})
                for (bool loop : {true, false})
                    for (int fm : {0, 1, 5}) {
                        SCOPED_TRACE(testing::Message() << "fm " << fm << " psg " << psg << " noise " << noise
                                                        << " drums " << drums << " loop " << loop);
                        SongSettings s;
                        setHasDrums(s, drums);
                        setFmChannelCount(s, fm);
                        setPsgChannelCount(s, psg);
                        setUseNoise(s, noise);
                        s.loopSong = loop;
                        const MoreWindowView v = moreWindowView(s);
                        const int tones = noise && psg > 0 ? psg - 1 : psg;
                        EXPECT_EQ(v.fmVoiceFrameVisible, fm >= 1);
                        EXPECT_EQ(v.psgVoiceFrameVisible, tones >= 1);
                        EXPECT_EQ(v.hiHatFrameVisible, noise && psg >= 1);
                        EXPECT_EQ(v.noiseFrameVisible, noise && psg >= 1);
                        EXPECT_EQ(v.dacMapFrameVisible, drums);
                        EXPECT_EQ(v.dacFrameVisible, drums);
                        EXPECT_EQ(v.optimiseOutputVisible, loop);
                        for (int k = 1; k <= 6; ++k) EXPECT_EQ(v.fmFrameVisible[k - 1], k <= fm);
                        for (int k = 1; k <= 3; ++k) EXPECT_EQ(v.psgFrameVisible[k - 1], k <= tones);
                    }
}

// A row lasts div x tempo / (tempo - 1) frames of 1/60 s in the song and
// speed x 2.5 / BPM seconds in the tracker.
TEST(SongSettings, MatchTheModulesTempo) {
    struct Row { int speed, bpm, div, tempo; const char* text; };
    const Row rows[] = {
        {6, 125, 6, 6, "a row every 120 ms in the module, 120 ms in the song: the same speed"},
        {3, 125, 3, 6, "a row every 60 ms in the module, 60 ms in the song: the same speed"},
        // 9.375 frames: 7 x 4 / 3 and 8 x 7 / 6 are as near; the smaller division wins.
        {7, 112, 7, 4, "a row every 156 ms in the module, 156 ms in the song: the same speed"},
        {9, 60, 9, 2, "a row every 375 ms in the module, 300 ms in the song: 25% faster"},
        {31, 32, 9, 2, "a row every 2422 ms in the module, 300 ms in the song: 707% faster"},
        {1, 255, 1, 9, "a row every 10 ms in the module, 19 ms in the song: 48% slower"},
    };
    for (const Row& r : rows) {
        const auto m = matchModuleTempo(r.speed, r.bpm);
        ASSERT_TRUE(m) << r.speed << " " << r.bpm;
        EXPECT_EQ(m->dividingTiming, r.div) << r.speed << " " << r.bpm;
        EXPECT_EQ(m->tempo, r.tempo) << r.speed << " " << r.bpm;
        EXPECT_EQ(m->text, r.text);
    }
    EXPECT_FALSE(matchModuleTempo(0, 125));
    EXPECT_FALSE(matchModuleTempo(6, 0));
}

}  // namespace
}  // namespace ferro
