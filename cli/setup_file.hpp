#pragma once
// Reading a song setup file named on the command line, and saying why the
// gate of the song's conversion stopped or doubts.
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "song/song_conversion.hpp"
#include "song/song_setup.hpp"

namespace ferro::cli {

// The choices of the file, or the exit code after its message went to
// standard error. Warnings go to standard error as "Warning: ..." lines.
inline std::variant<SongChoices, int> readSetupFile(const std::string& name, int channelCount) {
    const std::filesystem::path setupPath = std::filesystem::absolute(pathFromUtf8(name));
    const std::optional<Bytes> text = readWholeFile(setupPath);
    if (!text) {
        std::cerr << "Cannot read the song setup file " << name << '\n';
        return kSetupErrorExitCode;
    }
    std::vector<std::string> warnings;
    auto parsed = parseSongSetup(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                                 setupPath.parent_path(), channelCount, &warnings);
    if (auto* error = std::get_if<SongSetupError>(&parsed)) {
        std::cerr << name << ": " << error->message << '\n';
        return error->exitCode;
    }
    for (const auto& warning : warnings) std::cerr << "Warning: " << warning << '\n';
    return std::get<SongChoices>(std::move(parsed));
}

// The doubt a gate step stands for, in the words of a script's reader.
inline std::string gateDoubt(const GateStep& step) {
    if (step.driverWarning) return step.reason;
    return (step.window == GateWindow::GeneralParametres ? "some parametres may be wrong: "
                                                         : "there might be some problems with the voices: ") +
           step.reason;
}

// A gate step answered "go on", as a warning line's text after "Warning: ".
inline std::string gateWarning(const GateStep& step) {
    return step.driverWarning ? step.reason : "conversion is possible, but " + gateDoubt(step);
}

}  // namespace ferro::cli
