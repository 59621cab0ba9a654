#include "cli/render_input.hpp"

#include <cstring>
#include <filesystem>

#include "base/paths.hpp"
#include "engine/saxman.hpp"
#include "player/saxman.hpp"
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
                   std::optional<std::uint64_t> seed, std::optional<SoundDriver> driver) {
    SongModel model;
    if (const auto failure = loadSongWithSetup(model, bytes, path, setup, &out.warnings)) {
        out.message = failure->message;
        out.exitCode = failure->exitCode;
        return;
    }
    if (driver) model.setDriver(*driver);
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
    // Played from where the game holds it: packed, for Sonic 2's music buffer.
    const SongSettings& settings = model.settings();
    out.placement = writtenSongPlacement(settings.driver, static_cast<std::uint16_t>(settings.z80Address),
                                         storedSongForm(settings, song.binary));
    out.song = std::move(song.binary);
}

bool hasExtension(const fs::path& path, const std::string& lower) {
    std::string ext = utf8FromPath(path.extension());
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == lower;
}

// A Sonic 2 song: a Saxman stream unpacks to the music buffer, which it
// must fit; other bytes play from the address given, the buffer's by
// default.
void placeSonic2Song(RenderInput& out, const fs::path& path, Bytes bytes, std::optional<std::uint16_t> address) {
    out.placement.address = address.value_or(kSonic2MusicBuffer);
    if (!hasExtension(path, ".sax")) {
        out.song = std::move(bytes);
        return;
    }
    if (address && *address != kSonic2MusicBuffer) {
        out.message = "--address is for song bytes (.bin): a Saxman song (.sax) unpacks to 1380";
        out.exitCode = 2;
        return;
    }
    SaxmanSong song = unpackSaxman(bytes, kSonic2MusicBufferSize);
    if (song.error) {
        out.message = *song.error;
        return;
    }
    out.placement.unpackCycles = song.unpackCycles;
    out.song = std::move(song.bytes);
}

}  // namespace

RenderInput songForRender(const std::string& input, const std::string& setup, std::optional<std::uint64_t> seed,
                          std::optional<SoundDriver> driver, std::optional<std::uint16_t> address) {
    RenderInput out;
    out.placement.driver = driver.value_or(SoundDriver::Sonic1);
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
        convertModule(out, path, *bytes, setup, seed, driver);
        return out;
    }
    if (!setup.empty()) out.warnings.push_back("--setup is for XM modules: " + input + " plays with its own voices");
    if (out.placement.driver == SoundDriver::Sonic2) {
        placeSonic2Song(out, path, std::move(*bytes), address);
        return out;
    }
    if (address) out.warnings.push_back("--address is for Sonic 2 songs: " + input + " plays as a Sonic 1 song");
    out.song = std::move(*bytes);
    return out;
}

}  // namespace ferro::cli
