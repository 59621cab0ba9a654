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
#include <string>
#include <variant>
#include <vector>

#include "base/shared_types.hpp"
#include "cli/commands.hpp"
#include "cli/driver_option.hpp"
#include "cli/setup_file.hpp"
#include "cli/text.hpp"
#include "song/song_conversion.hpp"
#include "song/song_model.hpp"
#include "song/song_setup.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::cli {

namespace {

namespace fs = std::filesystem;

struct ConvertOptions {
    std::string file;
    std::string setup;
    std::optional<std::uint64_t> seed;
    bool strict = false;
    std::optional<SoundDriver> driver;
};

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

int runConvert(const ConvertOptions& opt) {
    const std::filesystem::path path = modulePath(opt.file).path;

    // Nothing is written before the module and the setup file have been
    // checked. The module is read as the explorer reads it, in memory: nothing
    // but the outputs is written into its folder.
    std::string problem;
    const auto bytes = readXmFile(path, &problem);
    if (auto* error = std::get_if<XmError>(&bytes)) {
        std::cerr << xmFailureText(*error, problem) << '\n';
        return 1;
    }
    SongModel model;
    std::vector<std::string> warnings;
    if (const auto failure = loadSongWithSetup(model, std::get<Bytes>(bytes), path, opt.setup, &warnings)) {
        std::cerr << failure->message << '\n';
        return failure->exitCode;
    }
    if (opt.driver) model.setDriver(*opt.driver);
    if (const std::string warning = xmWarningText(*model.module()); !warning.empty())
        warnings.insert(warnings.begin(), warning);
    for (const auto& warning : warnings) std::cerr << "Warning: " << warning << '\n';

    // A yellow light warns and converts, or with --strict refuses; a red
    // light refuses with its status text. The size lines are the desktop
    // program's option, off here.
    ConversionSettings settings;
    settings.generalPolicy = settings.voicePolicy = opt.strict ? YellowPolicy::WarnAndHalt : YellowPolicy::WarnAndAsk;
    settings.target = SongTarget::Outputs;
    const auto warn = [](const GateStep& step) {
        std::cerr << "Warning: " << gateWarning(step) << '\n';
        return true;
    };
    const SongConversionOutcome outcome =
        convertSong(model, settings, warn, opt.seed ? seededRandom(*opt.seed) : clockSeededRandom());
    if (outcome.stoppedAt) {
        if (model.generalLight() == ReadinessLight::Red)
            std::cerr << outcome.stoppedAt->reason << '\n';
        else
            std::cerr << "Can't convert with --strict: " << gateDoubt(*outcome.stoppedAt) << '\n';
        return 1;
    }
    printLines(outcome.converted ? std::cout : std::cerr, outcome.message);
    return outcome.converted ? 0 : 1;
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
    addDriverOption(*cmd, opt->driver);
    cmd->callback([opt, &exitCode] { exitCode = runConvert(*opt); });
}

}  // namespace ferro::cli
