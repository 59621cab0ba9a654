#pragma once
// Small Sonic 1 songs made in the tests, played into one line of text per
// frame: "28=F0" is a YM port 0 write, "p1 B4=C0" port 1, "9F" a PSG byte,
// "1FFF=81" a Z80 RAM write.
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "player/song_player.hpp"

namespace ferro::test {

struct TrackBytes {
    Bytes data{};
    std::uint8_t transpose = 0;
    std::uint8_t volume = 0;
    std::uint8_t envelope = 0;  // PSG only
    bool loadVoice = true;      // FM: start with EF 00
};

struct TestSong {
    std::uint8_t div = 1;
    std::uint8_t tempo = 0;
    std::optional<Bytes> dac{};  // drums; without, the stop track F2
    std::vector<TrackBytes> fm{};
    std::vector<TrackBytes> psg{};
    std::vector<Bytes> voices{};  // without, voice 0: algorithm 7, TL 10 everywhere
};

// A voice of 25 bytes: algorithm byte, 20 operator bytes of 00, four TLs.
inline Bytes voice(std::uint8_t algorithm, std::uint8_t tl40, std::uint8_t tl48, std::uint8_t tl44,
                   std::uint8_t tl4C) {
    Bytes v = {algorithm};
    v.resize(21, 0);
    v.insert(v.end(), {tl40, tl48, tl44, tl4C});
    return v;
}

// Laid out as Ferrocanto writes songs: header, FM tracks, PSG tracks, the
// DAC track, voices.
inline Bytes buildSong(const TestSong& song) {
    const std::size_t fmCount = song.fm.size() + 1;
    Bytes out = {0, 0, static_cast<std::uint8_t>(fmCount), static_cast<std::uint8_t>(song.psg.size()),
                 song.div, song.tempo};
    out.resize(6 + 4 * fmCount + 6 * song.psg.size(), 0);
    const auto put16 = [&](std::size_t at, std::size_t value) {
        out[at] = static_cast<std::uint8_t>(value >> 8);
        out[at + 1] = static_cast<std::uint8_t>(value);
    };
    const auto append = [&](const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); };
    for (std::size_t k = 0; k < song.fm.size(); ++k) {
        const std::size_t entry = 10 + 4 * k;
        put16(entry, out.size());
        out[entry + 2] = song.fm[k].transpose;
        out[entry + 3] = song.fm[k].volume;
        if (song.fm[k].loadVoice) append({0xEF, 0x00});
        append(song.fm[k].data);
    }
    for (std::size_t k = 0; k < song.psg.size(); ++k) {
        const std::size_t entry = 6 + 4 * fmCount + 6 * k;
        put16(entry, out.size());
        out[entry + 2] = song.psg[k].transpose;
        out[entry + 3] = song.psg[k].volume;
        out[entry + 5] = song.psg[k].envelope;
        append(song.psg[k].data);
    }
    put16(6, out.size());
    append(song.dac ? *song.dac : Bytes{0xF2});
    put16(0, out.size());
    if (song.voices.empty()) append(voice(7, 0x10, 0x10, 0x10, 0x10));
    for (const Bytes& v : song.voices) append(v);
    return out;
}

// Envelopes made up for the tests (not the game's): envelope n starts with
// the steps the measured songs show and holds at its last level.
inline PlayerOptions testOptions() {
    PlayerOptions options;
    options.psgEnvelopes[0] = Bytes{0, 0, 0, 1, 1, 1, 2, 2, 3, 0x80};
    options.psgEnvelopes[1] = Bytes{0, 1, 2, 3, 0x80};
    options.psgEnvelopes[2] = Bytes{2, 2, 1, 1, 0, 0x80};
    options.psgEnvelopes[8] = Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 0x80};
    return options;
}

// A Sonic 2 song for Z80 address `address`: the DAC track, the FM tracks,
// the PSG tracks, then one voice (algorithm 7, TL 10), pointers absolute.
inline Bytes sonic2Song(std::uint16_t address, std::uint8_t tempo, const std::vector<Bytes>& fm,
                        const Bytes& dac = {0xF2}, const std::vector<TrackBytes>& psg = {}) {
    const std::size_t count = fm.size() + 1;
    Bytes out = {0, 0, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(psg.size()), 1, tempo};
    out.resize(6 + 4 * count + 6 * psg.size(), 0);
    const auto pointTo = [&](std::size_t at) {
        out[at] = static_cast<std::uint8_t>(address + out.size());
        out[at + 1] = static_cast<std::uint8_t>((address + out.size()) >> 8);
    };
    pointTo(6);
    out.insert(out.end(), dac.begin(), dac.end());
    for (std::size_t k = 0; k < fm.size(); ++k) {
        pointTo(10 + 4 * k);
        out.insert(out.end(), fm[k].begin(), fm[k].end());
    }
    for (std::size_t k = 0; k < psg.size(); ++k) {
        const std::size_t entry = 6 + 4 * count + 6 * k;
        pointTo(entry);
        out[entry + 2] = psg[k].transpose;
        out[entry + 3] = psg[k].volume;
        out[entry + 5] = psg[k].envelope;
        out.insert(out.end(), psg[k].data.begin(), psg[k].data.end());
    }
    pointTo(0);
    const Bytes v = voice(7, 0x10, 0x10, 0x10, 0x10);
    out.insert(out.end(), v.begin(), v.end());
    return out;
}

// `image` as a Saxman stream of literals only: FF before every 8 bytes.
inline Bytes literalSaxman(const Bytes& image) {
    Bytes stream;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i % 8 == 0) stream.push_back(0xFF);
        stream.push_back(image[i]);
    }
    Bytes out = {static_cast<std::uint8_t>(stream.size()), static_cast<std::uint8_t>(stream.size() >> 8)};
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

enum class Show { All, Keys, Psg, Z80 };

inline std::string describe(const ChipWrite& w) {
    char text[24];
    switch (w.port) {
    case ChipPort::Ym0: std::snprintf(text, sizeof text, "%02X=%02X", w.address, w.value); break;
    case ChipPort::Ym1: std::snprintf(text, sizeof text, "p1 %02X=%02X", w.address, w.value); break;
    case ChipPort::Psg: std::snprintf(text, sizeof text, "%02X", w.value); break;
    case ChipPort::Z80: std::snprintf(text, sizeof text, "%04X=%02X", w.address, w.value); break;
    case ChipPort::Dac: std::snprintf(text, sizeof text, "DAC=%02X", w.value); break;
    }
    return text;
}

inline bool shown(const ChipWrite& w, Show show) {
    const bool ym = w.port == ChipPort::Ym0 || w.port == ChipPort::Ym1;
    switch (show) {
    case Show::All: return true;
    case Show::Keys: return ym && (w.address == 0x28 || (w.address & 0xF8) == 0xA0);
    case Show::Psg: return w.port == ChipPort::Psg;
    case Show::Z80: return w.port == ChipPort::Z80;
    }
    return false;
}

// One line per frame (0 .. frames-1); frames after the song ended stay empty.
inline std::vector<std::string> playLines(const Bytes& song, std::uint32_t frames, Show show = Show::All,
                                          const PlayerOptions& options = testOptions()) {
    std::vector<std::string> lines(frames);
    SongPlayer player(song, options);
    Frame frame;
    while (player.nextFrame() < frames && player.step(frame)) {
        std::string& line = lines[frame.index];
        for (const ChipWrite& w : frame.writes) {
            if (!shown(w, show)) continue;
            if (!line.empty()) line += ' ';
            line += describe(w);
        }
    }
    return lines;
}

// The frames with a line, as frame -> line.
inline std::map<std::uint32_t, std::string> nonEmpty(const std::vector<std::string>& lines,
                                                     std::uint32_t from = 1) {
    std::map<std::uint32_t, std::string> out;
    for (std::uint32_t f = from; f < lines.size(); ++f)
        if (!lines[f].empty()) out[f] = lines[f];
    return out;
}

}  // namespace ferro::test
