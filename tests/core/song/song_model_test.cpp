// The song model's operations, without any window: what each changes, what
// it tells the observers, and how the lights follow.
#include "song/song_model.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
        {"PSG count", [](SongModel& m) { m.setPsgChannelCount(1); }, bits({P::General, P::Assignment, P::Lights})},
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
        EXPECT_EQ(w.told, std::vector<SongChanges>{c.expected}) << c.name;
    }
    // An operation that changes nothing tells nothing.
    Watched w;
    EXPECT_EQ(std::tuple(w.model.setMapValue(InstrumentMapKind::Psg, 1, 200), w.model.removeVoice(0),
                         w.model.addPastedVoice("not a voice")),
              std::tuple(false, false, AddVoiceResult::BadText));
    EXPECT_TRUE(w.told.empty());
}

TEST(SongModel, LightsFollowTheChoices) {
    SongModel model;
    EXPECT_EQ(model.generalLight(), std::nullopt);  // no module: the buttons' face
    model.load(moduleWith(4));
    // FM channels, no voices: the voice light is yellow.
    EXPECT_EQ(std::tuple(model.generalLight(), model.generalStatusText(), model.voiceLight()),
              std::tuple(ReadinessLight::Red, kUnassignedFmText, ReadinessLight::Yellow));

    model.setPsgChannelCount(0);
    model.setHasDrums(false);
    model.setFmChannelCount(2);
    model.chooseChannel(0, 1);
    model.chooseChannel(1, 9);  // outside the module: none
    EXPECT_EQ(std::tuple(model.rowChoice(1), model.generalLight()),
              std::tuple(XmChannelChoice{}, std::optional(ReadinessLight::Red)));
    model.chooseChannel(1, 1);
    EXPECT_EQ(model.generalLight(), ReadinessLight::Yellow);  // one XM channel, two FM channels
    model.chooseChannel(1, 2);
    EXPECT_EQ(std::tuple(model.generalLight(), model.generalStatusText()),
              std::tuple(std::optional(ReadinessLight::Green), std::string(kAllAssignedText)));

    EXPECT_EQ(model.addPastedVoice(std::string(25 * 3 - 1, '0').replace(2, 1, " ")), AddVoiceResult::BadText);
    std::string text;
    for (int i = 0; i < 25; ++i) text += (i ? " " : "") + std::string("1F");
    EXPECT_EQ(model.addPastedVoice(text), AddVoiceResult::Ok);
    EXPECT_EQ(std::tuple(model.voices().name(0), model.voiceLight()),
              std::tuple(kPastedVoiceName, ReadinessLight::Green));
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
    const LoopPlan plan = loopPlan(model.request());
    EXPECT_EQ(std::tuple(model.loopSongAtLoad(), plan.hasIntro(), plan.looping), std::tuple(false, false, false));
    // The key-offs are back: "Remove rests" is checked again.
    EXPECT_EQ(std::tuple(model.settings().removeRests, model.assignment().dac, model.settings().tempo),
              std::tuple(RemoveRestsState::Checked, XmChannelChoice(4), 7));

    EXPECT_TRUE(model.reload(moduleWith(6)));  // another channel count
    EXPECT_EQ(std::tuple(model.assignment().channelCount, model.assignment().dac, model.settings().tempo),
              std::tuple(6, XmChannelChoice{}, 7));

    // A setup applied while the key-offs are gone leaves the box greyed.
    model.setRemoveRests(true);
    model.markRemoveRestsApplied();
    SongChoices choices = initialSongChoices(6);
    choices.writeAsm = true;
    model.applyChoices(choices);
    EXPECT_EQ(model.settings().removeRests, RemoveRestsState::Greyed);

    model.unload();
    EXPECT_EQ(std::tuple(model.isLoaded(), model.writeAsm()), std::tuple(false, true));
    model.load(moduleWith(4));
    EXPECT_EQ(std::tuple(model.loopSongAtLoad(), model.settings().tempo), std::tuple(true, 2));
}

// The song's voices as the Voice manager changes them: what each operation
// leaves in the list, what it answers, what it tells, and the voice light
// (four FM channels: a song with voices is green, an empty one yellow).
TEST(SongModel, VoiceOperationsAsTheVoiceManagerUsesThem) {
    using P = SongPart;
    auto voiceNumbered = [](int i) {
        FmVoice v;
        for (int k = 0; k < kFmVoiceSize; ++k) v.bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(i + k);
        return v;
    };
    auto fileOf = [&](int n) {
        FileVoiceList file;
        for (int i = 0; i < n; ++i) file.push_back({"f" + std::to_string(i), voiceNumbered(i)});
        return file;
    };
    std::string pasted;
    for (int i = 0; i < kFmVoiceSize; ++i) pasted += (i ? " " : "") + std::string("0A");
    struct Case {
        const char* name;
        int before;                              // voices in the song first
        std::function<int(SongModel&)> act;      // its answer as a number
        int answer;
        int count;                               // voices after it
        std::string first;                       // name of voice 0 after it ("" for none)
        SongChanges told;                        // 0: nothing told
    };
    const SongChanges listAndLight = bits({P::Voices, P::Lights});
    const SongChanges listLightAndMap = bits({P::Voices, P::Lights, P::Maps});
    const std::vector<Case> cases = {
        {"add all of a file", 0, [&](SongModel& m) { return m.addFileVoices(fileOf(3)).added; }, 3, 3, "f0", listAndLight},
        {"add one to a full list", 256,
         [&](SongModel& m) { return static_cast<int>(m.addVoice("x", voiceNumbered(1))); },
         static_cast<int>(AddVoiceResult::Full), 256, "v0", 0},
        {"paste", 1, [&](SongModel& m) { return static_cast<int>(m.addPastedVoice(pasted)); },
         static_cast<int>(AddVoiceResult::Ok), 2, "v0", listAndLight},
        {"bad paste into a full list", 256, [&](SongModel& m) { return static_cast<int>(m.addPastedVoice("0A 0B")); },
         static_cast<int>(AddVoiceResult::BadText), 256, "v0", 0},
        {"remove the first", 3, [](SongModel& m) { return m.removeVoice(0) ? 1 : 0; }, 1, 2, "v1", listLightAndMap},
        {"remove the last voice", 1, [](SongModel& m) { return m.removeVoice(0) ? 1 : 0; }, 1, 0, "", listLightAndMap},
        {"remove past the end", 3, [](SongModel& m) { return m.removeVoice(3) ? 1 : 0; }, 0, 3, "v0", 0},
        {"clear", 3, [](SongModel& m) { return (m.clearVoices(), 1); }, 1, 0, "", listAndLight},
        {"clear an empty list", 0, [](SongModel& m) { return (m.clearVoices(), 1); }, 1, 0, "", 0},
        {"rename", 2, [](SongModel& m) { return m.renameVoice(0, std::string(300, 'n')) ? 1 : 0; }, 1, 2,
         std::string(255, 'n'), bits({P::Voices})},
        {"rename to nothing", 2, [](SongModel& m) { return m.renameVoice(0, "") ? 1 : 0; }, 0, 2, "v0", 0},
        {"rename past the end", 2, [](SongModel& m) { return m.renameVoice(2, "x") ? 1 : 0; }, 0, 2, "v0", 0},
    };
    for (const Case& c : cases) {
        SongModel model;
        model.load(moduleWith(4));
        model.setFmChannelCount(4);
        for (int i = 0; i < c.before; ++i) model.addVoice("v" + std::to_string(i), voiceNumbered(i));
        std::vector<SongChanges> told;
        model.subscribe([&told](SongChanges changes) { told.push_back(changes); });
        const int answer = c.act(model);
        EXPECT_EQ(std::tuple(answer, model.voices().count()), std::tuple(c.answer, c.count)) << c.name;
        if (c.count > 0) EXPECT_EQ(model.voices().name(0), c.first) << c.name;
        EXPECT_EQ(told, c.told ? std::vector<SongChanges>{c.told} : std::vector<SongChanges>{}) << c.name;
        EXPECT_EQ(model.voiceLight(), c.count > 0 ? ReadinessLight::Green : ReadinessLight::Yellow) << c.name;
    }
}

// "Auto fill" as the General parametres window's button uses it: the names
// read with the module give the counts and the whole assignment, told once;
// names that give none change nothing and tell nothing (the window then
// says so).
TEST(SongModel, AutoFillFromTheModulesChannelNames) {
    using P = SongPart;
    struct Case {
        const char* name;
        std::optional<std::vector<std::string>> names;
        bool filled;
        int fmCount;
        XmChannelChoice dac;
    };
    const std::vector<Case> cases = {
        {"names for every row", std::vector<std::string>{"FM1", "FM 2", "psg1", "HATS", " dac "}, true, 2, 5},
        {"no CNAM block", std::nullopt, false, 5, 4},
        {"two DAC names", std::vector<std::string>{"DAC", "dac", "FM1"}, false, 5, 4},
    };
    for (const Case& c : cases) {
        XmModule module = moduleWith(5);
        module.channelNames = c.names;
        SongModel model;
        model.load(std::move(module));
        model.chooseChannel(kDacAssignmentRow, 4);
        std::vector<SongChanges> told;
        model.subscribe([&told](SongChanges changes) { told.push_back(changes); });
        const bool filled = model.autoFill().has_value();
        EXPECT_EQ(std::tuple(filled, model.settings().fmChannelCount, model.assignment().dac),
                  std::tuple(c.filled, c.fmCount, c.dac)) << c.name;
        EXPECT_EQ(told, c.filled ? std::vector<SongChanges>{bits({P::General, P::Assignment, P::Lights})}
                                 : std::vector<SongChanges>{})
            << c.name;
    }
    SongModel unloaded;
    EXPECT_FALSE(unloaded.autoFill());
}

// Channel n plays instrument n with note 10n; channel 4 also note 45 without
// an instrument, channel 5 only a key-off. FM 1-2, PSG 1, noise and DAC are
// channels 1 to 5.
TEST(SongModel, PlayedMapKeysFollowTheChannelsGivenToEachOutput) {
    XmModule module = moduleWith(5);
    for (std::uint8_t n = 1; n <= 5; ++n)
        module.rowStreams.push_back(
            {n == 5 ? kXmKeyOff : std::uint8_t(10 * n), n, 0, 0, 0, std::uint8_t(n == 4 ? 45 : 0), 0, 0, 0, 0});
    SongChoices base = initialSongChoices(5);
    base.settings.fmChannelCount = 2;
    base.settings.psgChannelCount = 2;
    base.assignment = {5, {1, 2, 3, 4, 5, 1}, {3, 4, 5}, 5};
    using K = InstrumentMapKind;
    const struct {
        K kind;
        std::function<void(SongChoices&)> change;
        std::vector<int> played;
    } cases[] = {
        {K::Fm, [](SongChoices&) {}, {1, 2}},
        {K::Psg, [](SongChoices&) {}, {3}},
        {K::Psg, [](SongChoices& c) { c.settings.useNoise = false; }, {3, 4}},
        {K::HiHat, [](SongChoices&) {}, {4}},
        {K::HiHat, [](SongChoices& c) { setHiHatKeying(c.maps, true); }, {40}},
        {K::Dac, [](SongChoices&) {}, {5}},
        {K::Dac, [](SongChoices& c) { setDrumKeying(c.maps, true); }, {}},
        {K::Dac, [](SongChoices& c) { c.settings.hasDrums = false; }, {}},
    };
    for (const auto& c : cases) {
        SongChoices choices = base;
        c.change(choices);
        const std::vector<bool> marks = playedMapKeys(module, choices, c.kind);
        std::vector<int> played;
        for (std::size_t k = 0; k < marks.size(); ++k)
            if (marks[k]) played.push_back(static_cast<int>(k) + 1);
        EXPECT_EQ(played, c.played) << &c - cases;
    }
}

}  // namespace
}  // namespace ferro
