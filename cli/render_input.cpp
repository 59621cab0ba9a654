#include "cli/render_input.hpp"

#include <cstring>
#include <filesystem>

#include "base/paths.hpp"
#include "cli/setup_file.hpp"
#include "cli/text.hpp"
#include "song/song_conversion.hpp"
#include "song/song_model.hpp"
#include "song/song_setup.hpp"
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
    SongModel model;
    if (const auto failure = loadSongWithSetup(model, bytes, path, setup, &out.warnings)) {
        out.message = failure->message;
        out.exitCode = failure->exitCode;
        return;
    }
    if (const std::string warning = xmWarningText(*model.module()); !warning.empty())
        out.warnings.insert(out.warnings.begin(), warning);
    out.name = songTitle(*model.module());

    // A yellow light warns and plays on; a red one refuses with its status text.
    const auto warn = [&out](const GateStep& step) {
        out.warnings.push_back(gateWarning(step));
        return true;
    };
    const SongConversionOutcome song =
        convertSong(model, ConversionSettings{}, warn, seed ? seededRandom(*seed) : clockSeededRandom());
    if (song.stoppedAt) {
        out.message = song.stoppedAt->reason;
        return;
    }
    if (!song.converted) {
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
