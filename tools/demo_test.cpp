// The committed demo song: "Auto fill" reads from its channel names the same
// assignment that its setup file gives, and both lights are green.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "base/byte_reader.hpp"
#include "song/song_setup.hpp"
#include "params/auto_fill.hpp"
#include "params/validation.hpp"
#include "voices/voice_manager_logic.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {
namespace {

TEST(DemoSong, AutoFillAgreesWithTheSetupFile) {
    const std::filesystem::path examples = FERRO_EXAMPLES_DIR;
    const auto text = readWholeFile(examples / "demo.json");
    ASSERT_TRUE(text.has_value());
    auto parsed = parseSongSetup(std::string(text->begin(), text->end()), examples, 7);
    ASSERT_TRUE(std::holds_alternative<SongChoices>(parsed)) << std::get<SongSetupError>(parsed).message;
    const SongChoices& setup = std::get<SongChoices>(parsed);

    SongSettings settings;
    ChannelAssignment assignment;
    resetChannelAssignment(assignment, 7);
    const auto demo = readXmModule(examples, "demo.xm");
    ASSERT_TRUE(std::holds_alternative<XmModule>(demo));
    ASSERT_TRUE(autoFillChannels(std::get<XmModule>(demo).channelNames, settings, assignment));
    EXPECT_EQ(settings.fmChannelCount, setup.settings.fmChannelCount);
    EXPECT_EQ(settings.psgChannelCount, setup.settings.psgChannelCount);
    EXPECT_EQ(settings.useNoise, setup.settings.useNoise);
    EXPECT_EQ(settings.hasDrums, setup.settings.hasDrums);
    EXPECT_EQ(assignment.fm, setup.assignment.fm);
    EXPECT_EQ(assignment.psg, setup.assignment.psg);
    EXPECT_EQ(assignment.dac, setup.assignment.dac);

    EXPECT_EQ(validateGeneralSettings(setup.settings, setup.assignment).light, ReadinessLight::Green);
    EXPECT_EQ(voiceReadinessLight(setup.settings.fmChannelCount, setup.voices.count()),
              ReadinessLight::Green);
    EXPECT_EQ(setup.voices.count(), 3);
}

}  // namespace
}  // namespace ferro
