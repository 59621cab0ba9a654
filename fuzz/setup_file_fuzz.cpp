// The command line's song setup file on hostile text. The first byte is the
// module's channel count (1..128); the rest is the file. Voice entries can
// name three voice files that lie beside it. The parser either refuses with a
// message or gives choices within the ranges the windows allow, from which a
// conversion request is built.
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <variant>

#include "engine/request_builder.hpp"
#include "engine/song_setup.hpp"
#include "fuzz/fuzz_support.hpp"
#include "voices/song_voice_list.hpp"

using namespace ferro;

namespace {

const std::filesystem::path& setupFolder() {
    static const std::filesystem::path& folder = [] () -> const std::filesystem::path& {
        const std::filesystem::path& dir = fuzz::privateFolder("setup_file");
        std::uint8_t raw[50];
        for (int i = 0; i < 50; ++i) raw[i] = static_cast<std::uint8_t>(i * 5);
        fuzz::writeInput(dir / "two.bin", raw, sizeof raw);
        std::uint8_t fcv[1 + 25 + 1 + 4] = {1};
        fcv[26] = 4;
        fcv[27] = 'L'; fcv[28] = 'e'; fcv[29] = 'a'; fcv[30] = 'd';
        fuzz::writeInput(dir / "one.fcv", fcv, sizeof fcv);
        std::uint8_t tfi[42] = {4, 5};
        fuzz::writeInput(dir / "one.tfi", tfi, sizeof tfi);
        return dir;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int channels = 1 + data[0] % 128;
    const std::string_view json(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> warnings;
    const auto parsed = parseSongSetup(json, setupFolder(), channels, &warnings);
    if (const SongSetupError* error = std::get_if<SongSetupError>(&parsed)) {
        FERRO_FUZZ_CHECK(!error->message.empty());
        FERRO_FUZZ_CHECK(error->exitCode == kSetupErrorExitCode);
        return 0;
    }
    const SongChoices& choices = std::get<SongChoices>(parsed);
    const SongSettings& s = choices.settings;
    FERRO_FUZZ_CHECK(s.fmChannelCount >= 0 && s.fmChannelCount <= (s.hasDrums ? 5 : 6));
    FERRO_FUZZ_CHECK(s.psgChannelCount >= 0 && s.psgChannelCount <= 3);
    FERRO_FUZZ_CHECK(s.dividingTiming >= 1 && s.dividingTiming <= 9 && s.tempo >= 1 && s.tempo <= 9);
    auto inRange = [channels](const XmChannelChoice& c) { return !c || (*c >= 1 && *c <= channels); };
    for (const auto& c : choices.assignment.fm) FERRO_FUZZ_CHECK(inRange(c));
    for (const auto& c : choices.assignment.psg) FERRO_FUZZ_CHECK(inRange(c));
    FERRO_FUZZ_CHECK(inRange(choices.assignment.dac));
    FERRO_FUZZ_CHECK(choices.voices.size() <= static_cast<std::size_t>(SongVoiceList::kCapacity));
    FERRO_FUZZ_CHECK(choices.writeBin || choices.writeAsm);

    XmModule module;
    module.fileName = "fuzz.xm";
    module.directory = setupFolder();
    module.channelCount = static_cast<std::int16_t>(channels);
    module.songLength = 1;
    module.patternCount = 1;
    module.orderTable = {0};
    module.patternRows = {64};
    module.totalRows = 64;
    const ConversionRequest request =
        buildConversionRequest(module, choices, ReadinessLight::Green, ReadinessLight::Green, AppOptions{});
    FERRO_FUZZ_CHECK(request.channelCount == channels);
    FERRO_FUZZ_CHECK(request.voices.size() == choices.voices.size());
    return 0;
}
