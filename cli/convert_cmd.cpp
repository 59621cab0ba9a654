// `ferrocanto-cli convert SONG.xm [--setup FILE.json] [--seed N] [--strict]`:
// converts a module with the choices of a song setup file, the way the
// desktop program converts it with the same choices made in its windows, so
// that a build script can rebuild the song whenever the module changes.
//
// The module is read in memory: the run writes the outputs and nothing else.
// Exit codes: 0 converted; 1 refused by a light or failed (nothing written);
// 2 a command line or setup file that cannot be used (nothing written).
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "base/byte_reader.hpp"
#include "app/options.hpp"
#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "cli/commands.hpp"
#include "cli/text.hpp"
#include "engine/conversion.hpp"
#include "engine/driver_warnings.hpp"
#include "engine/row_source.hpp"
#include "engine/request_builder.hpp"
#include "engine/song_setup.hpp"
#include "params/validation.hpp"
#include "voices/voice_manager_logic.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::cli {

namespace {

namespace fs = std::filesystem;

struct ConvertOptions {
    std::string file;
    std::string setup;
    std::optional<std::uint64_t> seed;
    bool strict = false;
};

// What makes the general light yellow, in words: the status text stays "All
// channels assigned!" in that case, which says nothing to a script's reader.
std::string generalYellowReason(const SongSettings& s, const ChannelAssignment& a) {
    const auto twice = [](const auto& entries, int used) -> std::optional<int> {
        std::set<int> seen;
        for (int k = 0; k < used; ++k)
            if (entries[static_cast<std::size_t>(k)] && !seen.insert(*entries[static_cast<std::size_t>(k)]).second)
                return *entries[static_cast<std::size_t>(k)];
        return std::nullopt;
    };
    if (const auto channel = twice(a.fm, s.fmChannelCount))
        return "XM channel " + std::to_string(*channel) + " feeds two FM channels";
    if (const auto channel = twice(a.psg, s.psgChannelCount))
        return "XM channel " + std::to_string(*channel) + " feeds two PSG channels";
    return "the song has no FM, PSG or DAC channel";
}

std::string voiceYellowReason(int fmChannelCount) {
    return fmChannelCount > 0 ? "the song has FM channels but no voices" : "the song has voices but no FM channel";
}

// The success message box's lines, one per output line.
void printLines(std::ostream& out, const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            out << line << '\n';
            line.clear();
        } else {
            line += c;
        }
    }
    out << line << '\n';
}

int convertLoaded(const fs::path& directory, const std::string& fileName, const Bytes& bytes,
                  const SongChoices& setup, ReadinessLight generalLight, ReadinessLight voiceLight,
                  const ConvertOptions& opt) {
    // The module is read as the explorer reads it, in memory: nothing but the
    // outputs is written into its folder. "Loop song" = "No" is kept in the
    // module's facts as loopOption 1, and a load with it, like the explorer's
    // reload, reads the song without an intro: played once, the song is one
    // section from its first row.
    auto parsed = parseXmModule(bytes);
    if (auto* error = std::get_if<XmError>(&parsed)) {
        std::cerr << xmErrorMessage(*error) << '\n';
        return 1;
    }
    XmModule& module = std::get<XmModule>(parsed);
    module.fileName = fileName;
    module.directory = directory;
    applyLoopOption(module, loopOptionFor(setup.settings.loopSong));
    MemoryRowSource rows(module);

    SongChoices choices = setup;
    // A fresh load: "Remove rests" acts once, then the box is greyed, and the
    // conversion that follows sees it greyed, as in the windows.
    const int checkState = choices.settings.removeRests == RemoveRestsState::Checked ? 1 : 0;
    if (shouldRemoveDacKeyOffs(checkState, choices.settings.hasDrums) && choices.assignment.dac) {
        if (!rows.removeKeyOffs(*choices.assignment.dac)) {
            std::cerr << kSomeError << '\n';
            return 1;
        }
        markRemoveRestsApplied(choices.settings);
    }

    AppOptions options;  // the size lines are the desktop program's option, off here
    const ConversionRequest request = buildConversionRequest(module, choices, generalLight, voiceLight, options);
    // What the driver would play wrongly counts as a yellow light.
    const std::vector<std::string> warnings = driverWarnings(request, rows);
    for (const std::string& warning : warnings) {
        if (opt.strict)
            std::cerr << "Can't convert with --strict: " << warning.substr(warning.find(' ') + 1) << '\n';
        else
            std::cerr << warning << '\n';
    }
    if (opt.strict && !warnings.empty()) return 1;
    const ConversionResult result = MAINCONVERSIONCODE(request, rows, opt.seed ? seededRandom(*opt.seed) : clockSeededRandom());
    if (!result.succeeded) {
        printLines(std::cerr, result.message);
        return 1;
    }
    printLines(std::cout, result.message);
    return 0;
}

int runConvert(const ConvertOptions& opt) {
    const auto [path, directory, fileName] = modulePath(opt.file);

    // Nothing is written before the module's header, the setup file and the
    // lights have been checked.
    const auto bytes = readXmFile(path);
    if (auto* error = std::get_if<XmError>(&bytes)) {
        std::cerr << xmErrorMessage(*error) << '\n';
        return 1;
    }
    auto header = parseXmHeader(std::get<Bytes>(bytes));
    if (auto* error = std::get_if<XmError>(&header)) {
        std::cerr << xmErrorMessage(*error) << '\n';
        return 1;
    }
    const int channelCount = std::get<XmHeader>(header).channelCount;
    if (channelCount < 1) {
        // The load refuses such a module; say so before judging the setup by it.
        std::cerr << kSomeError << '\n';
        return 1;
    }

    SongChoices choices = initialSongChoices(channelCount);
    if (!opt.setup.empty()) {
        const fs::path setupPath = fs::absolute(pathFromUtf8(opt.setup));
        const std::optional<Bytes> text = readWholeFile(setupPath);
        if (!text) {
            std::cerr << "Cannot read the song setup file " << opt.setup << '\n';
            return kSetupErrorExitCode;
        }
        std::vector<std::string> warnings;
        auto parsed = parseSongSetup(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                                     setupPath.parent_path(), channelCount, &warnings);
        if (auto* error = std::get_if<SongSetupError>(&parsed)) {
            std::cerr << opt.setup << ": " << error->message << '\n';
            return error->exitCode;
        }
        for (const auto& warning : warnings) std::cerr << "Warning: " << warning << '\n';
        choices = std::get<SongChoices>(std::move(parsed));
    }

    const GeneralValidation general = validateGeneralSettings(choices.settings, choices.assignment);
    const ReadinessLight voiceLight =
        voiceReadinessLight(choices.settings.fmChannelCount, static_cast<int>(choices.voices.size()));
    if (general.light == ReadinessLight::Red) {
        std::cerr << general.statusText << '\n';
        return 1;
    }
    std::vector<std::string> doubts;
    if (general.light == ReadinessLight::Yellow)
        doubts.push_back("some parametres may be wrong: " + generalYellowReason(choices.settings, choices.assignment));
    if (voiceLight == ReadinessLight::Yellow)
        doubts.push_back("there might be some problems with the voices: " +
                         voiceYellowReason(choices.settings.fmChannelCount));
    for (const auto& doubt : doubts) {
        if (opt.strict)
            std::cerr << "Can't convert with --strict: " << doubt << '\n';
        else
            std::cerr << "Warning: conversion is possible, but " << doubt << '\n';
    }
    if (opt.strict && !doubts.empty()) return 1;

    return convertLoaded(directory, fileName, std::get<Bytes>(bytes), choices, general.light, voiceLight, opt);
}

}  // namespace

void addConvertCommand(CLI::App& app, int& exitCode) {
    auto opt = std::make_shared<ConvertOptions>();
    CLI::App* cmd = app.add_subcommand(
        "convert", "Convert an XM module into an SMPS song (<base>.bin and/or <base>.asm beside it)");
    cmd->add_option("file", opt->file, "The XM module")->required();
    cmd->add_option("--setup", opt->setup, "The song setup file (JSON); without it the choices of a fresh load");
    cmd->add_option("--seed", opt->seed, "Seed for the \"Random\" pan choice, for reproducible builds")
        ->check(CLI::NonNegativeNumber);
    cmd->add_flag("--strict", opt->strict, "Refuse a yellow light instead of warning");
    cmd->callback([opt, &exitCode] {
        try {
            exitCode = runConvert(*opt);
        } catch (...) {
            std::cerr << kSomeError << '\n';
            exitCode = 1;
        }
    });
}

}  // namespace ferro::cli
