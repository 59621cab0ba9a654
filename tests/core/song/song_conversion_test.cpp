#include "song/song_conversion.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "voices/voice_hex.hpp"

namespace ferro {
namespace {

TEST(ConversionGate, LightsAndPolicies) {
    using L = ReadinessLight;
    using P = YellowPolicy;
    const GateStep refuseGeneral{GateAction::Refuse, kGeneralRefusedMessage, GateWindow::GeneralParametres, "g"};
    const GateStep askGeneral{GateAction::Ask, kGeneralAskMessage, GateWindow::GeneralParametres, "g"};
    const GateStep refuseVoice{GateAction::Refuse, kVoiceRefusedMessage, GateWindow::VoiceManager, "v"};
    const GateStep askVoice{GateAction::Ask, kVoiceAskMessage, GateWindow::VoiceManager, "v"};
    const GateStep askWarning{GateAction::Ask, "Warning: w\r\nDo you want to proceed?", GateWindow::GeneralParametres,
                              "w", true};
    const GateStep refuseWarning{GateAction::Refuse, "Warning: w", GateWindow::GeneralParametres, "w", true};
    struct Case {
        L general, voice;
        P generalPolicy, voicePolicy;
        std::vector<GateStep> expected;
        std::vector<std::string> warnings = {};
    };
    const std::vector<Case> cases = {
        {L::Green, L::Green, P::WarnAndAsk, P::WarnAndAsk, {}},
        {L::Red, L::Green, P::ConvertAnyway, P::ConvertAnyway, {refuseGeneral}},
        {L::Red, L::Yellow, P::WarnAndAsk, P::WarnAndAsk, {refuseGeneral}},
        {L::Yellow, L::Green, P::ConvertAnyway, P::WarnAndHalt, {}},
        {L::Yellow, L::Green, P::WarnAndAsk, P::WarnAndAsk, {askGeneral}},
        {L::Yellow, L::Yellow, P::WarnAndHalt, P::WarnAndAsk, {refuseGeneral}},
        {L::Green, L::Yellow, P::WarnAndAsk, P::WarnAndAsk, {askVoice}},
        {L::Green, L::Yellow, P::WarnAndAsk, P::WarnAndHalt, {refuseVoice}},
        {L::Green, L::Yellow, P::WarnAndAsk, P::ConvertAnyway, {}},
        {L::Yellow, L::Yellow, P::WarnAndAsk, P::WarnAndAsk, {askGeneral, askVoice}},
        {L::Yellow, L::Yellow, P::WarnAndAsk, P::WarnAndHalt, {askGeneral, refuseVoice}},
        {L::Green, L::Red, P::WarnAndHalt, P::WarnAndHalt, {}},  // only a yellow voice light counts
        // The driver's warnings follow the general policy, after both lights.
        {L::Yellow, L::Yellow, P::WarnAndAsk, P::WarnAndAsk, {askGeneral, askVoice, askWarning}, {"Warning: w"}},
        {L::Green, L::Yellow, P::WarnAndHalt, P::WarnAndAsk, {askVoice, refuseWarning}, {"Warning: w"}},
        {L::Green, L::Green, P::ConvertAnyway, P::WarnAndAsk, {}, {"Warning: w"}},
        {L::Red, L::Green, P::WarnAndAsk, P::WarnAndAsk, {refuseGeneral}, {"Warning: w"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const GateInput in{c.general, c.voice, c.generalPolicy, c.voicePolicy, "g", "v", c.warnings};
        EXPECT_EQ(conversionGate(in), c.expected) << "case " << i;
    }
}

// Two XM channels of 16 rows, loaded from `dir` as the windows load them:
// channel 1 a note, channel 2 a drum with a key-off on row 8. FM 1 plays
// channel 1, the DAC channel 2.
struct LoadedSong {
    explicit LoadedSong(bool dacScratchFile = true, bool dacKeyOff = true) {
        const auto cell = [](std::uint8_t note) { return XmCell{note, 1, 0, 0, 0}; };
        std::vector<XmCell> melody(16), drums(16);
        melody[0] = cell(49);
        drums[0] = cell(49);
        if (dacKeyOff) drums[8] = cell(kXmKeyOff);
        dir.writeRowStream(1, melody);
        if (dacScratchFile) dir.writeRowStream(2, drums);
        XmModule m;
        for (const auto* cells : {&melody, &drums}) {
            Bytes& stream = m.rowStreams.emplace_back();
            for (const XmCell& c : *cells)
                stream.insert(stream.end(), {c.note, c.instrument, c.volume, c.effectType, c.effectParameter});
        }
        m.fileName = "song.xm";
        m.directory = dir.path();
        m.channelCount = 2;
        m.totalRows = 16;
        model.load(m);
        model.setFmChannelCount(1);
        model.setPsgChannelCount(0);
        model.chooseChannel(0, 1);
        model.chooseChannel(kDacAssignmentRow, 2);
        model.addPastedVoice(kVoiceHex);
    }
    static constexpr const char* kVoiceHex = "00 01 02 03 04 05 06 07 08 09 00 01 02 03 04 05 06 07 08 09 00 01 02 03 04";
    test::TempDir dir;
    SongModel model;
};

RandomSource fixedRandom() { return seededRandom(7); }

ConversionSettings windows() {
    ConversionSettings settings;
    settings.target = SongTarget::OutputsAndScratchFiles;
    return settings;
}

TEST(SongConversion, GateStopsBeforeAnythingIsWritten) {
    LoadedSong song;
    song.model.chooseChannel(kDacAssignmentRow, std::nullopt);
    SongConversionOutcome out = convertSong(song.model, windows(), {}, fixedRandom());
    ASSERT_TRUE(out.stoppedAt);
    EXPECT_EQ(out.stoppedAt->action, GateAction::Refuse);
    EXPECT_EQ(out.stoppedAt->reason, kUnassignedDacText);

    // Yellow: the question decides.
    song.model.chooseChannel(kDacAssignmentRow, 2);
    song.model.clearVoices();
    std::vector<std::string> asked;
    const auto no = [&](const GateStep& s) {
        asked.push_back(s.message);
        return false;
    };
    out = convertSong(song.model, windows(), no, fixedRandom());
    ASSERT_TRUE(out.stoppedAt);
    EXPECT_EQ(out.stoppedAt->window, GateWindow::VoiceManager);
    EXPECT_EQ(asked, std::vector<std::string>{kVoiceAskMessage});
    EXPECT_EQ(song.dir.fileNames(), (std::vector<std::string>{"C1.tmp", "C2.tmp"}));

    out = convertSong(song.model, windows(), [](const GateStep&) { return true; }, fixedRandom());
    EXPECT_TRUE(out.converted) << out.message;
    EXPECT_TRUE(song.dir.exists("song.bin"));
}

TEST(SongConversion, TheWindowsKeepTheirScratchFilesBesideTheSong) {
    LoadedSong song;
    song.model.setRemoveRests(true);
    ConversionSettings sizes = windows();
    sizes.showSizeDecimal = true;
    const SongConversionOutcome out = convertSong(song.model, sizes, {}, fixedRandom());
    ASSERT_TRUE(out.converted) << out.message;
    EXPECT_EQ(out.message, "song.bin created successfully!\r\nsong.bin is " + std::to_string(out.binary.size()) +
                               " bytes big.");
    EXPECT_EQ(song.dir.read("song.bin"), out.binary);
    EXPECT_EQ(song.dir.read("C2.tmp")[8 * kXmCellSize], 0);
    EXPECT_EQ(song.model.settings().removeRests, RemoveRestsState::Greyed);
    const FmVoice voice = song.model.request().voices.at(0);
    EXPECT_EQ(song.dir.read("voices.tmp"), Bytes(voice.bytes.begin(), voice.bytes.end()));

    // The command line writes the outputs and nothing else.
    LoadedSong cli;
    ConversionSettings outputs;
    outputs.target = SongTarget::Outputs;
    ASSERT_TRUE(convertSong(cli.model, outputs, {}, fixedRandom()).converted);
    EXPECT_EQ(cli.dir.fileNames(), (std::vector<std::string>{"C1.tmp", "C2.tmp", "song.bin"}));
}

TEST(SongConversion, ARemoveRestsThatCannotActStopsTheConversion) {
    LoadedSong broken(false);
    broken.model.setRemoveRests(true);
    const SongConversionOutcome failed = convertSong(broken.model, windows(), {}, fixedRandom());
    EXPECT_FALSE(failed.converted);
    EXPECT_FALSE(failed.stoppedAt);
    EXPECT_EQ(failed.message, kSomeError);
    EXPECT_EQ(broken.model.settings().removeRests, RemoveRestsState::Checked);
    EXPECT_FALSE(broken.dir.exists("song.bin"));
}

TEST(SongConversion, BytesForHearingAreTheBytesTheButtonWrites) {
    // Remove rests off, then checked (heard before it acts), then greyed
    // (heard after it acted on the scratch files): each time the bytes in
    // memory are the bytes the conversion writes.
    for (const bool removeRests : {false, true}) {
        LoadedSong song;
        song.model.setWriteAsm(true);
        song.model.setRemoveRests(removeRests);
        const SongConversionOutcome before = convertSong(song.model, {}, {}, fixedRandom());
        ASSERT_TRUE(before.converted) << before.message;
        EXPECT_TRUE(before.message.empty());
        EXPECT_EQ(song.dir.fileNames(), (std::vector<std::string>{"C1.tmp", "C2.tmp"}));
        ASSERT_TRUE(convertSong(song.model, windows(), {}, fixedRandom()).converted);
        EXPECT_EQ(before.binary, song.dir.read("song.bin")) << removeRests;
        EXPECT_EQ(before.listing, song.dir.readText("song.asm")) << removeRests;
        EXPECT_EQ(convertSong(song.model, {}, {}, fixedRandom()).binary, before.binary) << removeRests;
    }
}

TEST(SongConversion, KeyOffsStayGoneFromTheChannelThatLostThemUntilAReload) {
    const auto swapChannels = [](SongModel& model) {
        model.chooseChannel(0, 2);
        model.chooseChannel(kDacAssignmentRow, 1);
    };
    LoadedSong song;
    song.model.setRemoveRests(true);
    ASSERT_TRUE(convertSong(song.model, windows(), {}, fixedRandom()).converted);
    // Channel 2 now plays on FM 1 without its key-off, as its scratch file holds it.
    swapChannels(song.model);
    LoadedSong withoutKeyOff(true, false);
    swapChannels(withoutKeyOff.model);
    const Bytes expected = convertSong(withoutKeyOff.model, {}, {}, fixedRandom()).binary;
    EXPECT_EQ(convertSong(song.model, {}, {}, fixedRandom()).binary, expected);
    ASSERT_TRUE(convertSong(song.model, windows(), {}, fixedRandom()).converted);
    EXPECT_EQ(song.dir.read("song.bin"), expected);

    song.model.reload(*song.model.module());
    EXPECT_NE(convertSong(song.model, {}, {}, fixedRandom()).binary, expected);
}

}  // namespace
}  // namespace ferro
