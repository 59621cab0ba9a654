// Speed of the song player and its renders, against the song's own length:
//   render_bench [SONG.bin ...]
// Without a song it plays a generated one of about three minutes (drums,
// five FM tracks, one with modulation, three PSG tracks). Times are the
// process's CPU time, so they count one core whatever else runs.
//
// Beside the render itself it plays the same VGM through libgme with none of
// our code around it, and a VGM of the same length and header that writes
// nothing: the floor any WAV render through libgme stands on.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "player/vgm_writer.hpp"
#include "player/song_render.hpp"
#include "player/wav_render.hpp"

#ifdef FERRO_WAV_RENDER
#include <gme/gme.h>
#endif

namespace {

using ferro::Bytes;

// A looping song whose every track plays `notes` notes before jumping back.
Bytes generatedSong(int notes) {
    const int fmCount = 5;
    const int psgCount = 3;
    Bytes out = {0, 0, static_cast<std::uint8_t>(fmCount + 1), psgCount, 2, 6};
    out.resize(6 + 4 * (fmCount + 1) + 6 * psgCount, 0);
    const auto put16 = [&](std::size_t at, std::size_t value) {
        out[at] = static_cast<std::uint8_t>(value >> 8);
        out[at + 1] = static_cast<std::uint8_t>(value);
    };
    const auto loopBack = [&](std::size_t start) {
        const std::size_t f6 = out.size();
        out.push_back(0xF6);
        const auto offset = static_cast<std::uint16_t>(start - (f6 + 2));
        out.push_back(static_cast<std::uint8_t>(offset >> 8));
        out.push_back(static_cast<std::uint8_t>(offset));
    };
    for (int t = 0; t < fmCount; ++t) {
        put16(10 + 4 * static_cast<std::size_t>(t), out.size());
        out[12 + 4 * static_cast<std::size_t>(t)] = 0;
        out[13 + 4 * static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(4 * t);
        const std::size_t start = out.size();
        out.insert(out.end(), {0xEF, static_cast<std::uint8_t>(t % 2), 0xE0, 0xC0});
        if (t == 1) out.insert(out.end(), {0xF0, 0x08, 0x01, 0x02, 0x04});
        for (int i = 0; i < notes; ++i) {
            out.push_back(static_cast<std::uint8_t>(0x99 + (i * (t + 3)) % 36));
            out.push_back(static_cast<std::uint8_t>(i % 8 == 7 ? 0x0C : 0x06));
            if (i % 8 == 7) ++i;
        }
        loopBack(start);
    }
    for (int t = 0; t < psgCount; ++t) {
        const std::size_t entry = 6 + 4 * (fmCount + 1) + 6 * static_cast<std::size_t>(t);
        put16(entry, out.size());
        out[entry + 3] = 2;
        out[entry + 5] = static_cast<std::uint8_t>(t + 1);
        const std::size_t start = out.size();
        for (int i = 0; i < notes; ++i) {
            out.push_back(i % 4 == 3 ? 0x80 : static_cast<std::uint8_t>(0x8D + (i * (t + 5)) % 30));
            out.push_back(0x06);
        }
        loopBack(start);
    }
    put16(6, out.size());
    const std::size_t drums = out.size();
    for (int i = 0; i < notes; ++i) {
        out.push_back(static_cast<std::uint8_t>(i % 2 == 0 ? 0x81 : (i % 8 == 7 ? 0x88 : 0x82)));
        out.push_back(0x06);
    }
    loopBack(drums);
    put16(0, out.size());
    for (int v = 0; v < 2; ++v) {
        Bytes voice(25, 0);
        voice[0] = static_cast<std::uint8_t>(v == 0 ? 0x3A : 0x04);
        for (int k = 1; k < 5; ++k) voice[static_cast<std::size_t>(k)] = 0x01;
        for (int k = 5; k < 9; ++k) voice[static_cast<std::size_t>(k)] = 0x1F;
        for (int k = 17; k < 21; ++k) voice[static_cast<std::size_t>(k)] = 0x0F;
        for (int k = 21; k < 25; ++k) voice[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k == 24 ? 0x08 : 0x20);
        out.insert(out.end(), voice.begin(), voice.end());
    }
    return out;
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

#ifdef FERRO_WAV_RENDER
// CPU seconds libgme takes to give `frames` stereo frames of `vgm` at
// 44.1 kHz, nothing else done with them; negative when it refuses the file.
double libgmeAlone(const Bytes& vgm, std::uint64_t frames) {
    Music_Emu* emu = nullptr;
    if (gme_open_data(vgm.data(), static_cast<long>(vgm.size()), &emu, ferro::kRenderRate)) return -1;
    gme_set_autoload_playback_limit(emu, 0);
    gme_ignore_silence(emu, 1);
    gme_start_track(emu, 0);
    std::vector<short> buffer(8192);
    const double t0 = cpuSeconds();
    for (std::uint64_t done = 0; done < frames; done += buffer.size() / 2)
        gme_play(emu, static_cast<int>(buffer.size()), buffer.data());
    const double t = cpuSeconds() - t0;
    gme_delete(emu);
    return t;
}

// The VGM's header with every command taken out: frame waits only.
Bytes silentVgm(const Bytes& vgm, std::uint64_t frames) {
    Bytes out(vgm.begin(), vgm.begin() + static_cast<std::ptrdiff_t>(ferro::kVgmHeaderSize));
    for (std::size_t at : {0x14, 0x1C, 0x20}) std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(at), 4, 0);
    for (std::uint64_t f = 0; f * ferro::kSamplesPerFrame < frames; ++f) out.push_back(0x62);
    out.push_back(0x66);
    const auto put32 = [&](std::size_t at, std::uint64_t value) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put32(0x04, out.size() - 4);
    put32(0x18, frames);
    return out;
}
#endif

int bench(const std::string& name, const Bytes& song) {
    const ferro::SoundData sound = ferro::builtInSoundData();
    // The player and the VGM writer are quick: the best of five runs.
    ferro::SongRender render;
    double vgmTime = 1e9;
    for (int run = 0; run < 5; ++run) {
        const double t0 = cpuSeconds();
        render = ferro::renderSongToVgm(song, sound, name);
        vgmTime = std::min(vgmTime, cpuSeconds() - t0);
    }
    if (render.error) {
        std::printf("%s: refused: %s\n", name.c_str(), render.error->c_str());
        return 1;
    }
    const double songSeconds = render.frames * 735.0 / 44100.0;
    std::printf("%s: %s of song (%u frames), %zu bytes of VGM\n", name.c_str(),
                ferro::minutesAndSeconds(std::uint64_t{render.frames} * 735).c_str(), render.frames, render.vgm.size());
    std::printf("  player + VGM: %.4f s CPU, %.0fx real time\n", vgmTime, songSeconds / std::max(vgmTime, 1e-6));
    if (!ferro::wavRenderAvailable()) return 0;
    const std::uint64_t length = ferro::renderedLength(render.vgm, 1);
    const double t0 = cpuSeconds();
    const auto error = ferro::renderVgm(render.vgm, 1, [](std::span<const std::int16_t>) { return true; });
    const double wavTime = cpuSeconds() - t0;
    if (error) {
        std::printf("  WAV: %s\n", error->c_str());
        return 1;
    }
    const double wavSeconds = static_cast<double>(length) / 44100.0;
    std::printf("  WAV through libgme (intro, one loop, fade: %s): %.3f s CPU, %.0fx real time\n",
                ferro::minutesAndSeconds(length).c_str(), wavTime, wavSeconds / std::max(wavTime, 1e-6));

    const auto wavPath = std::filesystem::temp_directory_path() / "ferro_render_bench.wav";
    const double w0 = cpuSeconds();
    const auto fileError = ferro::renderVgmToWav(render.vgm, 1, wavPath);
    const double fileTime = cpuSeconds() - w0 + vgmTime;
    std::error_code ec;
    std::filesystem::remove(wavPath, ec);
    if (fileError) {
        std::printf("  WAV file: %s\n", fileError->c_str());
        return 1;
    }
    std::printf("  song to WAV file (player, VGM, libgme, libsndfile): %.3f s CPU, %.0fx real time\n", fileTime,
                wavSeconds / std::max(fileTime, 1e-6));
#ifdef FERRO_WAV_RENDER
    const double alone = libgmeAlone(render.vgm, length);
    const double silent = libgmeAlone(silentVgm(render.vgm, length), length);
    if (alone < 0 || silent < 0) {
        std::printf("  libgme refuses the VGM\n");
        return 1;
    }
    std::printf("  libgme alone, the same VGM: %.3f s CPU, %.0fx real time\n", alone, wavSeconds / std::max(alone, 1e-6));
    std::printf("  libgme alone, a VGM as long that writes nothing: %.3f s CPU, %.0fx real time\n", silent,
                wavSeconds / std::max(silent, 1e-6));
    std::printf("  our share of the WAV render: %.1f %%\n", 100.0 * std::max(fileTime - alone, 0.0) / fileTime);
#endif
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0;
    if (argc < 2) failures += bench("generated", generatedSong(750));
    for (int i = 1; i < argc; ++i) {
        const auto bytes = ferro::readWholeFile(ferro::pathFromUtf8(argv[i]));
        if (!bytes) {
            std::printf("%s: cannot read\n", argv[i]);
            ++failures;
            continue;
        }
        failures += bench(argv[i], *bytes);
    }
    return failures == 0 ? 0 : 1;
}
