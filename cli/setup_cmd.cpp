// `ferrocanto-cli setup SONG.xm [--auto-fill] [--match-tempo] [--module-effects] [--voices KIND:FILE ...]`:
// prints the song setup a fresh load of the module gives, in the form the
// desktop program's "Save setup..." writes, ready to edit and pass to
// `convert --setup`. Exit codes as `convert`: 1 for a module that cannot be
// read, 2 for an argument that cannot be used.
#include <iostream>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "cli/commands.hpp"
#include "cli/driver_option.hpp"
#include "cli/text.hpp"
#include "params/auto_fill.hpp"
#include "song/song_model.hpp"
#include "song/song_setup.hpp"
#include "voices/voice_import.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::cli {

namespace {

struct SetupOptions {
    std::string file;
    bool autoFill = false;
    bool matchTempo = false;
    bool moduleEffects = false;
    std::optional<SoundDriver> driver;
    std::vector<std::string> voices;
};

std::string voiceKindNames() {
    std::string names;
    for (const auto& info : voiceFileKinds())
        if (info.import != nullptr) names += (names.empty() ? "" : ", ") + std::string(info.cliName);
    return names;
}

int runSetup(const SetupOptions& opt) {
    const auto [path, directory, fileName] = modulePath(opt.file);
    // The module is read whole, as a load reads it: a module that would not
    // load has no setup.
    std::string problem;
    auto parsed = readXmModule(directory, fileName, &problem);
    if (auto* error = std::get_if<XmError>(&parsed)) {
        std::cerr << xmFailureText(*error, problem) << '\n';
        return 1;
    }
    if (const std::string warning = xmWarningText(std::get<XmModule>(parsed)); !warning.empty())
        std::cerr << "Warning: " << warning << '\n';
    // The windows' own operations on a freshly loaded song.
    SongModel model;
    model.load(std::move(std::get<XmModule>(parsed)));
    if (opt.driver) model.setDriver(*opt.driver);
    if (opt.autoFill) {
        // What went where, beside the warnings: the standard output holds the setup alone.
        if (const auto outcome = model.autoFill())
            std::cerr << *outcome << '\n';
        else
            std::cerr << "Warning: " << kAutoFillFailedMessage << '\n';
    }
    if (opt.matchTempo) {
        // The standard output holds the setup alone; how near it came goes
        // beside the warnings.
        if (const auto match = model.matchModuleTempo())
            std::cerr << "Dividing timing " << match->dividingTiming << ", tempo " << match->tempo << ": "
                      << match->text << '\n';
        else
            std::cerr << "Warning: " << kNoModuleTempoMessage << '\n';
    }
    if (opt.moduleEffects) model.setModuleEffects(true);
    SongChoices choices = model.choices();
    for (const std::string& source : opt.voices) {
        const auto colon = source.find(':');
        const VoiceKindInfo* kind =
            colon == std::string::npos ? nullptr : findVoiceKindByCliName(source.substr(0, colon));
        if (kind == nullptr || kind->import == nullptr) {
            std::cerr << "--voices: \"" << source << "\" is not KIND:FILE with KIND one of " << voiceKindNames()
                      << '\n';
            return kSetupErrorExitCode;
        }
        const std::string file = source.substr(colon + 1);
        const ImportResult result = importVoiceFile(kind->kind, pathFromUtf8(file));
        if (!result.ok()) {
            std::cerr << "--voices (" << file << "): " << importFailureText(result, file) << '\n';
            return kSetupErrorExitCode;
        }
        if (kind->kindWarning != nullptr) std::cerr << "Warning: " << file << ": " << kind->kindWarning << '\n';
        if (result.ssgEgWarning) std::cerr << "Warning: " << file << ": " << kTfiSsgEgWarning << '\n';
        if (!result.notice.empty()) std::cerr << "Warning: " << file << ": " << result.notice << '\n';
        for (const auto& entry : result.voices) {
            if (choices.voices.add(entry.name, entry.voice) == AddVoiceResult::Full) {
                std::cerr << "--voices: a song holds at most 256 ($100) voices; these files give more\n";
                return kSetupErrorExitCode;
            }
        }
    }
    std::cout << writeSongSetup(choices);
    return 0;
}

}  // namespace

void addSetupCommand(CLI::App& app, int& exitCode) {
    auto opt = std::make_shared<SetupOptions>();
    CLI::App* cmd = app.add_subcommand("setup", "Print the song setup of a fresh load (JSON), ready for convert --setup");
    cmd->add_option("file", opt->file, "The XM module")->required();
    cmd->add_flag("--auto-fill", opt->autoFill,
                  "Assign the channels from their names or what they play, as \"Auto fill\" does");
    cmd->add_flag("--match-tempo", opt->matchTempo,
                  "Pick the dividing timing and tempo nearest the module's speed and BPM");
    cmd->add_flag("--module-effects", opt->moduleEffects,
                  "Play the module's volumes and effects, as the General parametres' check box does");
    addDriverOption(*cmd, opt->driver);
    cmd->add_option("--voices", opt->voices, "KIND:FILE, voices added to the song in this order");
    cmd->callback([opt, &exitCode] { exitCode = runSetup(*opt); });
}

}  // namespace ferro::cli
