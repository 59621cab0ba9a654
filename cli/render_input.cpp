#include "cli/render_input.hpp"

#include <cstring>
#include <filesystem>

#include "app/options.hpp"
#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "cli/text.hpp"
#include "engine/conversion.hpp"
#include "engine/request_builder.hpp"
#include "engine/row_source.hpp"
#include "engine/song_setup.hpp"
#include "params/validation.hpp"
#include "voices/voice_manager_logic.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char kXmMagic[] = "Extended Module: ";

bool isXm(const Bytes& bytes) {
    const std::size_t n = sizeof kXmMagic - 1;
    return bytes.size() >= n && std::memcmp(bytes.data(), kXmMagic, n) == 0;
}

// The module converted as `convert` converts it, but in memory and always
// into the binary, which the player reads.
void convertModule(RenderInput& out, const fs::path& path, const Bytes& bytes, const std::string& setup,
                   std::optional<std::uint64_t> seed) {
    auto parsed = parseXmModule(bytes);
    if (auto* error = std::get_if<XmError>(&parsed)) {
        out.message = xmErrorMessage(*error);
        return;
    }
    XmModule& module = std::get<XmModule>(parsed);
    // The request names the song after the module, as the windows do; nothing
    // is written under that name.
    module.fileName = utf8FromPath(path.filename());
    module.directory = path.parent_path();
    if (module.channelCount < 1) {
        out.message = kSomeError;
        return;
    }
    // The module's own name, as the tracker padded it.
    std::string name = module.header.moduleName;
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    if (!name.empty()) out.name = latin1ToUtf8(name);

    SongChoices choices = initialSongChoices(module.channelCount);
    if (!setup.empty()) {
        const fs::path setupPath = fs::absolute(pathFromUtf8(setup));
        const std::optional<Bytes> text = readWholeFile(setupPath);
        if (!text) {
            out.message = "Cannot read the song setup file " + setup;
            out.exitCode = kSetupErrorExitCode;
            return;
        }
        auto read = parseSongSetup(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                                   setupPath.parent_path(), module.channelCount, &out.warnings);
        if (auto* error = std::get_if<SongSetupError>(&read)) {
            out.message = setup + ": " + error->message;
            out.exitCode = error->exitCode;
            return;
        }
        choices = std::get<SongChoices>(std::move(read));
    }

    const GeneralValidation general = validateGeneralSettings(choices.settings, choices.assignment);
    const ReadinessLight voiceLight =
        voiceReadinessLight(choices.settings.fmChannelCount, static_cast<int>(choices.voices.size()));
    if (general.light == ReadinessLight::Red) {
        out.message = general.statusText;
        return;
    }
    if (general.light == ReadinessLight::Yellow)
        out.warnings.push_back("conversion is possible, but some parametres may be wrong");
    if (voiceLight == ReadinessLight::Yellow)
        out.warnings.push_back("conversion is possible, but there might be some problems with the voices");

    applyLoopOption(module, loopOptionFor(choices.settings.loopSong));
    MemoryRowSource rows(module);
    const int checkState = choices.settings.removeRests == RemoveRestsState::Checked ? 1 : 0;
    if (shouldRemoveDacKeyOffs(checkState, choices.settings.hasDrums) && choices.assignment.dac) {
        if (!rows.removeKeyOffs(*choices.assignment.dac)) {
            out.message = kSomeError;
            return;
        }
        markRemoveRestsApplied(choices.settings);
    }
    ConversionRequest request = buildConversionRequest(module, choices, general.light, voiceLight, AppOptions{});
    request.writeBin = true;
    request.writeAsm = false;
    SongConversion song = convertSong(request, rows, seed ? seededRandom(*seed) : clockSeededRandom());
    if (!song.succeeded) {
        out.message = song.message;
        return;
    }
    out.song = std::move(song.binary);
}

}  // namespace

RenderInput songForRender(const std::string& input, const std::string& setup, std::optional<std::uint64_t> seed) {
    RenderInput out;
    const fs::path path = fs::absolute(pathFromUtf8(input));
    out.name = utf8FromPath(path.stem());
    // Songs are small; a file of many megabytes is neither a song nor a module
    // worth reading whole.
    auto bytes = readWholeFile(path, 64u << 20);
    if (!bytes) {
        out.message = "Cannot read " + input;
        return out;
    }
    if (isXm(*bytes)) {
        convertModule(out, path, *bytes, setup, seed);
        return out;
    }
    if (!setup.empty()) out.warnings.push_back("--setup is for XM modules: " + input + " plays with its own voices");
    out.song = std::move(*bytes);
    return out;
}

}  // namespace ferro::cli
