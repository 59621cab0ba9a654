// The command line's song setup file on hostile text. The first byte is the
// module's channel count (1..128); the rest is the file. Voice entries can
// name three voice files that lie beside it. The parser either refuses with a
// message or gives choices within the ranges the windows allow, from which a
// conversion request is built; for up to 16 channels the request converts a
// small module with notes, key-offs, pan effects and instruments 1..255.
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <optional>
#include <variant>
#include <vector>

#include "engine/conversion.hpp"
#include "song/song_choices.hpp"
#include "song/song_setup.hpp"
#include "fuzz/fuzz_support.hpp"
#include "support/xm_writer.hpp"
#include "voices/song_voice_list.hpp"
#include "xm/scratch_files.hpp"

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

constexpr int kMaxConvertedChannels = 16;

// A loaded module of `channels` channels in a folder of its own: an intro
// pattern and a looped one.
const XmModule& moduleWith(int channels) {
    static std::vector<std::optional<XmModule>> modules(kMaxConvertedChannels + 1);
    std::optional<XmModule>& module = modules[static_cast<std::size_t>(channels)];
    if (!module) {
        const std::filesystem::path dir = setupFolder() / ("module" + std::to_string(channels));
        std::filesystem::create_directories(dir);
        test::XmLayout layout;
        layout.channelCount = channels;
        layout.orderTable = {0, 1};
        layout.restartPosition = 1;
        layout.patterns.clear();
        for (int p = 0; p < 2; ++p) {
            test::XmPatternLayout pattern;
            pattern.rows = 24;
            for (int r = 0; r < pattern.rows; ++r) {
                for (int c = 0; c < channels; ++c) {
                    const int k = p * 97 + r * 7 + c * 13;
                    XmCell cell;
                    if (k % 3 == 0) cell = test::noteCell(static_cast<std::uint8_t>(1 + k % 95), static_cast<std::uint8_t>(1 + k % 255));
                    if (k % 5 == 0) cell.note = kXmKeyOff;
                    if (k % 4 == 0) { cell.effectType = 8; cell.effectParameter = static_cast<std::uint8_t>(k * 16); }
                    pattern.cells.push_back(cell);
                }
            }
            layout.patterns.push_back(pattern);
        }
        test::writeFileBytes(dir / "song.xm", test::buildXm(layout));
        auto loaded = loadXmModule(dir, "song.xm");
        FERRO_FUZZ_CHECK(std::holds_alternative<XmModule>(loaded));
        module = std::get<XmModule>(loaded);
    }
    return *module;
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
    FERRO_FUZZ_CHECK(choices.voices.count() <= SongVoiceList::kCapacity);
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
    const ConversionRequest request = songRequest(module, choices);
    FERRO_FUZZ_CHECK(request.channelCount == channels);
    FERRO_FUZZ_CHECK(request.voices.size() == static_cast<std::size_t>(choices.voices.count()));

    if (channels > kMaxConvertedChannels) return 0;
    const XmModule& loaded = moduleWith(channels);
    const ConversionRequest real = songRequest(loaded, choices);
    const ConversionResult result = writeSong(real, convertSong(real, MemoryRowSource(loaded), seededRandom(data[0])));
    FERRO_FUZZ_CHECK(!result.message.empty());
    for (const auto& entry : std::filesystem::directory_iterator(loaded.directory)) {
        const std::string name = entry.path().filename().string();
        FERRO_FUZZ_CHECK(name == "song.xm" || name == "song.bin" || name == "song.asm" || isScratchFileName(name));
    }
    std::error_code ec;
    std::filesystem::remove(loaded.directory / "song.bin", ec);
    std::filesystem::remove(loaded.directory / "song.asm", ec);
    return 0;
}
