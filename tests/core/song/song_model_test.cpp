// The song model's operations, without any window: what each changes, what
// it tells the observers, and how the lights follow.
#include "song/song_model.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ferro {
namespace {

XmModule moduleWith(int channels) {
    XmModule m;
    m.fileName = "song.xm";
    m.channelCount = static_cast<std::int16_t>(channels);
    m.totalRows = 64;
    m.restartRow = 16;
    return m;
}

// A model with a module of four channels loaded, counting what it is told.
struct Watched {
    Watched() {
        model.load(moduleWith(4));
        model.subscribe([this](SongChanges c) { told.push_back(c); });
    }
    SongModel model;
    std::vector<SongChanges> told;
};

constexpr SongChanges bits(std::initializer_list<SongPart> parts) {
    SongChanges c = 0;
    for (SongPart p : parts) c |= static_cast<unsigned>(p);
    return c;
}

TEST(SongModel, EachOperationTellsOnceWhatChanged) {
    using P = SongPart;
    struct Case {
        const char* name;
        std::function<void(SongModel&)> act;
        SongChanges expected;
    };
    const FmVoice voice{};
    const std::vector<Case> cases = {
        {"FM count", [](SongModel& m) { m.setFmChannelCount(2); }, bits({P::General, P::Lights})},
        {"PSG count", [](SongModel& m) { m.setPsgChannelCount(1); }, bits({P::General, P::Lights})},
        {"noise", [](SongModel& m) { m.setUseNoise(false); }, bits({P::General, P::Lights})},
        {"drums", [](SongModel& m) { m.setHasDrums(false); }, bits({P::General, P::Lights})},
        {"loop", [](SongModel& m) { m.setLoopSong(false); }, bits({P::General})},
        {"E4", [](SongModel& m) { m.setEndDacWithE4(true); }, bits({P::General})},
        {"tempo", [](SongModel& m) { m.setTempo(4); }, bits({P::General})},
        {"channel", [](SongModel& m) { m.chooseChannel(0, 2); }, bits({P::Assignment, P::Lights})},
        {"optimise", [](SongModel& m) { m.setOptimiseOutput(true); }, bits({P::General})},
        {"map", [](SongModel& m) { m.setMapValue(InstrumentMapKind::Fm, 3, 7); }, bits({P::Maps})},
        {"keying", [](SongModel& m) { m.setDrumKeying(true); }, bits({P::Maps})},
        {"pan", [](SongModel& m) { m.setPan(6, 2); }, bits({P::Channels})},
        {"voice", [voice](SongModel& m) { m.addVoice("v", voice); }, bits({P::Voices, P::Lights})},
        {"bin", [](SongModel& m) { m.setWriteAsm(true); }, bits({P::Outputs})},
    };
    for (const Case& c : cases) {
        Watched w;
        c.act(w.model);
        ASSERT_EQ(w.told.size(), 1u) << c.name;
        EXPECT_EQ(w.told[0], c.expected) << c.name;
    }
    // An operation that changes nothing tells nothing.
    Watched w;
    EXPECT_FALSE(w.model.setMapValue(InstrumentMapKind::Psg, 1, 200));
    EXPECT_FALSE(w.model.removeVoice(0));
    EXPECT_EQ(w.model.I_AM_BATMAN("not a voice"), AddVoiceResult::BadText);
    EXPECT_TRUE(w.told.empty());
}

TEST(SongModel, LightsFollowTheChoices) {
    SongModel model;
    EXPECT_EQ(model.generalLight(), std::nullopt);  // no module: the buttons' face
    model.load(moduleWith(4));
    EXPECT_EQ(model.generalLight(), ReadinessLight::Red);
    EXPECT_EQ(model.generalStatusText(), kUnassignedFmText);
    EXPECT_EQ(model.voiceLight(), ReadinessLight::Yellow);  // FM channels, no voices

    model.setPsgChannelCount(0);
    model.setHasDrums(false);
    model.setFmChannelCount(2);
    model.chooseChannel(0, 1);
    model.chooseChannel(1, 9);  // outside the module: none
    EXPECT_EQ(model.rowChoice(1), std::nullopt);
    EXPECT_EQ(model.generalLight(), ReadinessLight::Red);
    model.chooseChannel(1, 1);
    EXPECT_EQ(model.generalLight(), ReadinessLight::Yellow);  // one XM channel, two FM channels
    model.chooseChannel(1, 2);
    EXPECT_EQ(model.generalLight(), ReadinessLight::Green);
    EXPECT_EQ(model.generalStatusText(), kAllAssignedText);

    EXPECT_EQ(model.I_AM_BATMAN(std::string(25 * 3 - 1, '0').replace(2, 1, " ")), AddVoiceResult::BadText);
    std::string text;
    for (int i = 0; i < 25; ++i) text += (i ? " " : "") + std::string("1F");
    EXPECT_EQ(model.I_AM_BATMAN(text), AddVoiceResult::Ok);
    EXPECT_EQ(model.voices().name(0), kPastedVoiceName);
    EXPECT_EQ(model.voiceLight(), ReadinessLight::Green);
    model.setFmChannelCount(0);
    EXPECT_EQ(model.voiceLight(), ReadinessLight::Yellow);  // voices without FM channels
}

TEST(SongModel, ReloadKeepsTheChoicesAndTakesTheLoopChoice) {
    SongModel model;
    model.setWriteAsm(true);  // the main window's box, kept over loads
    model.load(moduleWith(4));
    EXPECT_TRUE(model.writeAsm());
    model.chooseChannel(kDacAssignmentRow, 4);
    model.setTempo(7);
    model.setRemoveRests(true);
    model.markRemoveRestsApplied();
    model.setLoopSong(false);
    EXPECT_TRUE(model.loopSongAtLoad());  // reaches the loop at the next load
    EXPECT_TRUE(loopPlan(model.request()).hasIntro());

    EXPECT_FALSE(model.reload(moduleWith(4)));
    EXPECT_FALSE(model.loopSongAtLoad());
    EXPECT_FALSE(loopPlan(model.request()).hasIntro());
    EXPECT_FALSE(loopPlan(model.request()).looping);
    EXPECT_EQ(model.settings().removeRests, RemoveRestsState::Checked);  // the key-offs are back
    EXPECT_EQ(model.assignment().dac, 4);
    EXPECT_EQ(model.settings().tempo, 7);

    EXPECT_TRUE(model.reload(moduleWith(6)));  // another channel count
    EXPECT_EQ(model.assignment().channelCount, 6);
    EXPECT_EQ(model.assignment().dac, std::nullopt);
    EXPECT_EQ(model.settings().tempo, 7);

    // A setup applied while the key-offs are gone leaves the box greyed.
    model.setRemoveRests(true);
    model.markRemoveRestsApplied();
    SongChoices choices = initialSongChoices(6);
    choices.writeAsm = true;
    model.applyChoices(choices);
    EXPECT_EQ(model.settings().removeRests, RemoveRestsState::Greyed);

    model.unload();
    EXPECT_FALSE(model.isLoaded());
    EXPECT_TRUE(model.writeAsm());
    model.load(moduleWith(4));
    EXPECT_TRUE(model.loopSongAtLoad());
    EXPECT_EQ(model.settings().tempo, 2);
}

}  // namespace
}  // namespace ferro
