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
    EXPECT_STREQ(kGeneralAskMessage, "Conversion is possible, but some parametres may be wrong.\r\nDo you want to proceed?");
}

// Two XM channels of 16 rows in `dir`: channel 1 a note, channel 2 a drum
// with a key-off on row 8. FM 1 plays channel 1, the DAC channel 2.
struct LoadedSong {
    explicit LoadedSong(bool dacStream = true) {
        const auto cell = [](std::uint8_t note) { return XmCell{note, 1, 0, 0, 0}; };
        std::vector<XmCell> melody(16), drums(16);
        melody[0] = cell(49);
        drums[0] = cell(49);
        drums[8] = cell(kXmKeyOff);
        dir.writeRowStream(1, melody);
        if (dacStream) dir.writeRowStream(2, drums);
        XmModule m;
        // The same rows in memory, as a load parses them.
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
        std::string hex;
        for (int i = 0; i < 25; ++i) hex += (i ? " 0" : "0") + std::to_string(i % 10);
        model.I_AM_BATMAN(hex);
    }
    test::TempDir dir;
    SongModel model;
    ScratchRowSource rows{dir.path()};
};

RandomSource fixedRandom() { return seededRandom(7); }

TEST(SongConversion, GateStopsBeforeAnythingIsWritten) {
    LoadedSong song;
    song.model.chooseChannel(kDacAssignmentRow, std::nullopt);
    SongConversionOutcome out = convertSong(song.model, {}, {}, song.rows, fixedRandom());
    ASSERT_TRUE(out.stoppedAt);
    EXPECT_EQ(out.stoppedAt->action, GateAction::Refuse);
    EXPECT_EQ(out.stoppedAt->reason, kUnassignedDacText);

    // Yellow: the question decides.
    song.model.chooseChannel(kDacAssignmentRow, 2);
    song.model.clearVoices();
    std::vector<std::string> asked;
    out = convertSong(song.model, {}, [&](const GateStep& s) { asked.push_back(s.message); return false; }, song.rows, fixedRandom());
    ASSERT_TRUE(out.stoppedAt);
    EXPECT_EQ(out.stoppedAt->window, GateWindow::VoiceManager);
    EXPECT_EQ(asked, std::vector<std::string>{kVoiceAskMessage});
    EXPECT_FALSE(song.dir.exists("song.bin"));

    out = convertSong(song.model, {}, [](const GateStep&) { return true; }, song.rows, fixedRandom());
    EXPECT_TRUE(out.converted) << out.message;
    EXPECT_TRUE(song.dir.exists("song.bin"));
}

TEST(SongConversion, RemoveRestsActsOnceAndItsFailureStopsTheConversion) {
    LoadedSong song;
    song.model.setRemoveRests(true);
    ConversionSettings sizes;
    sizes.showSizeDecimal = true;
    const SongConversionOutcome out = convertSong(song.model, sizes, {}, song.rows, fixedRandom());
    ASSERT_TRUE(out.converted) << out.message;
    EXPECT_EQ(out.message, "song.bin created successfully!\r\nsong.bin is " + std::to_string(out.binaryLength) +
                               " bytes big.");
    EXPECT_EQ(song.dir.read("C2.tmp")[8 * kXmCellSize], 0);
    EXPECT_EQ(song.model.settings().removeRests, RemoveRestsState::Greyed);

    // The drum channel's row stream cannot be changed: refused, as the
    // command line refuses it, and the box stays checked.
    LoadedSong broken(false);
    broken.model.setRemoveRests(true);
    const SongConversionOutcome failed = convertSong(broken.model, {}, {}, broken.rows, fixedRandom());
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
        const SongConversion before = songBytes(song.model, fixedRandom());
        ASSERT_TRUE(before.succeeded) << before.message;
        EXPECT_FALSE(song.dir.exists("song.bin"));
        EXPECT_FALSE(song.dir.exists("song.asm"));
        ASSERT_TRUE(convertSong(song.model, {}, {}, song.rows, fixedRandom()).converted);
        EXPECT_EQ(before.binary, song.dir.read("song.bin")) << removeRests;
        EXPECT_EQ(before.listing, song.dir.readText("song.asm")) << removeRests;
        EXPECT_EQ(songBytes(song.model, fixedRandom()).binary, before.binary) << removeRests;
    }
}

}  // namespace
}  // namespace ferro
