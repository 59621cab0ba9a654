// `ferrocanto-cli render INPUT -o OUT [--setup F.json] [--seed N] [--loops N]
// [--sound-data DIR] [--driver sonic1|sonic2] [--address HEX]`: plays a song
// as the driver would and writes what it sends to the chips (OUT.vgm) or the
// sound itself (OUT.wav). INPUT is an XM module, converted in memory with the
// setup's choices (nothing is written beside it), or a song binary, played
// with its own voices: for Sonic 2 the song's bytes for a Z80 address (1380
// unless given) or a Saxman stream (.sax).
//
// Exit codes as `convert`: 0 written; 1 a song that cannot be converted or
// that the player refuses (the message on standard error), or an output that
// cannot be written; 2 an argument that cannot be used.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "cli/commands.hpp"
#include "cli/driver_option.hpp"
#include "cli/render_input.hpp"
#include "song/song_setup.hpp"
#include "player/song_render.hpp"
#include "player/sound_data.hpp"
#include "player/wav_render.hpp"

namespace ferro::cli {

namespace {

namespace fs = std::filesystem;

struct RenderOptions {
    std::string input;
    std::string output;
    std::string setup;
    std::optional<std::uint64_t> seed;
    int loops = kDefaultLoops;
    std::string soundData;
    std::optional<SoundDriver> driver;  // over the setup's, for a module
    std::string address;
};

// "1380", "$1380" or "0x1380": a Z80 address.
std::optional<std::uint16_t> parseAddress(std::string text) {
    if (text.starts_with("$")) text.erase(0, 1);
    else if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    return static_cast<std::uint16_t>(std::stoul(text, nullptr, 16));
}

std::string lowerExtension(const fs::path& path) {
    std::string ext = utf8FromPath(path.extension());
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

int runRender(const RenderOptions& opt) {
    const fs::path out = fs::absolute(pathFromUtf8(opt.output));
    const std::string kind = lowerExtension(out);
    if (kind != ".vgm" && kind != ".wav") {
        std::cerr << "The output must end in .vgm or .wav: " << opt.output << '\n';
        return kSetupErrorExitCode;
    }
    if (kind == ".wav" && !wavRenderAvailable()) {
        std::cerr << kNoWavRender << '\n';
        return kSetupErrorExitCode;
    }
    std::optional<std::uint16_t> address;
    if (!opt.address.empty() && !(address = parseAddress(opt.address))) {
        std::cerr << "--address takes a Z80 address in hex (0000 to FFFF): " << opt.address << '\n';
        return kSetupErrorExitCode;
    }
    fs::path folder;
    if (!opt.soundData.empty()) {
        folder = fs::absolute(pathFromUtf8(opt.soundData));
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            std::cerr << "The sound folder " << opt.soundData << " does not exist\n";
            return kSetupErrorExitCode;
        }
    }
    RenderInput input = songForRender(opt.input, opt.setup, opt.seed, opt.driver, address);
    if (!input.song) {
        std::cerr << input.message << '\n';
        return input.exitCode;
    }
    // A module's driver is known once its setup is read.
    const SoundData sound = soundDataFor(input.placement.driver, folder);
    for (const auto& warning : input.warnings) std::cerr << "Warning: " << warning << '\n';

    // A WAV hears the driver straight on; a VGM loops where the song does.
    const SongHearing hearing =
        kind == ".vgm"
            ? SongHearing{renderSongToVgm(*input.song, sound, input.name, kMaxRenderFrames, nullptr, input.placement), {}}
            : renderSongToHear(*input.song, sound, input.name, opt.loops, kMaxRenderFrames, nullptr, input.placement);
    const SongRender& render = hearing.render;
    if (render.error) {
        std::cerr << *render.error << '\n';
        return 1;
    }
    std::cout << render.notes.front() << '\n';
    for (std::size_t i = 1; i < render.notes.size(); ++i) std::cerr << "Warning: " << render.notes[i] << '\n';

    if (kind == ".vgm") {
        if (!writeWholeFile(out, render.vgm)) {
            std::cerr << "Cannot write " << opt.output << '\n';
            return 1;
        }
    } else if (const auto error = renderVgmToWav(render.vgm, hearing.span, out)) {
        std::cerr << *error << '\n';
        return 1;
    }
    const std::uint64_t length = kind == ".vgm" ? std::uint64_t{render.frames} * 735 : hearing.span.length;
    std::cout << "Wrote " << opt.output << ": " << minutesAndSeconds(length);
    if (render.loop)
        std::cout << " (loops from " << minutesAndSeconds(std::uint64_t{render.loop->startFrame} * 735) << ")";
    else if (render.ended)
        std::cout << " (the song ends)";
    std::cout << '\n';
    return 0;
}

}  // namespace

void addRenderCommand(CLI::App& app, int& exitCode) {
    auto opt = std::make_shared<RenderOptions>();
    CLI::App* cmd = app.add_subcommand(
        "render", "Play a song as its driver does into a VGM or WAV file (an XM module is converted in memory)");
    cmd->add_option("input", opt->input, "The XM module, or a song binary (.bin; for Sonic 2 also .sax)")->required();
    cmd->add_option("-o,--output", opt->output, "The file to write: .vgm or .wav")->required();
    cmd->add_option("--setup", opt->setup, "The song setup file (JSON) for an XM module");
    cmd->add_option("--seed", opt->seed, "Seed for the \"Random\" pan choice")->check(CLI::NonNegativeNumber);
    cmd->add_option("--loops", opt->loops, "Times the loop plays in a WAV before the fade (default 2)")
        ->check(CLI::Range(1, 100));
    cmd->add_option("--sound-data", opt->soundData,
                    "A disassembly's folder for the driver: PSG envelopes and drum samples from it");
    addDriverOption(*cmd, opt->driver);
    cmd->add_option("--address", opt->address,
                    "Sonic 2: the Z80 address (hex) a song binary plays from, 1380 unless given");
    cmd->callback([opt, &exitCode] { exitCode = runRender(*opt); });
}

}  // namespace ferro::cli
