// Writes the demo song of the examples folder: a short tune in A minor as an
// XM module (with small synthetic samples, so that it also plays in a
// tracker, and channel names that "Auto fill" understands), three FM voices
// in a ymx bank, and the song setup file that converts it from the command
// line. Everything is computed, so running it again gives the same bytes.
//
//   make_demo FOLDER    writes FOLDER/demo.xm, FOLDER/demo-voices.ymx, FOLDER/demo.json
#include <array>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/byte_reader.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_bank.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr int kChannels = 7;
constexpr int kRows = 32;
// Channels, in the order of their names in the CNAM block.
enum Channel { Lead, Bass, Chord, Arp, Echo, Hats, Drums };
const std::array<const char*, kChannels> kChannelNames = {"FM1 Lead", "FM2 Bass", "FM3 Chord", "PSG1 Arp",
                                                          "PSG2 Echo", "Hats", "DAC"};
// Instruments, 1-based as in the patterns. The first three are the FM voices
// 0..2 (the initial FM map sends instrument k to voice k-1).
enum Instrument { ILead = 1, IBass, IChord, IPsgSquare, IPsgSoft, IClosedHat, IOpenHat, IKick, ISnare };

struct Cell {
    std::uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};
using Pattern = std::array<std::array<Cell, kChannels>, kRows>;

// "A-4", "F#5": XM note value (C-0 is 1).
std::uint8_t note(const std::string& name) {
    static const std::string letters = "C D EF G A B";
    int semitone = static_cast<int>(letters.find(name[0]));
    if (name[1] == '#') ++semitone;
    const int octave = name.back() - '0';
    return static_cast<std::uint8_t>(octave * 12 + semitone + 1);
}
constexpr std::uint8_t kKeyOff = 97;

struct Harmony {
    const char* root;   // bass note, octave 2
    const char* third;  // chord tones, octave 4
    const char* fifth;
    const char* top;
};
// Eight rows per chord, four chords per pattern.
const std::array<std::array<Harmony, 4>, 3> kChords = {{
    {{{"A-2", "C-4", "E-4", "A-4"}, {"A-2", "C-4", "E-4", "A-4"}, {"F-2", "A-3", "C-4", "F-4"}, {"G-2", "B-3", "D-4", "G-4"}}},
    {{{"A-2", "C-4", "E-4", "A-4"}, {"F-2", "A-3", "C-4", "F-4"}, {"C-2", "E-4", "G-4", "C-5"}, {"G-2", "B-3", "D-4", "G-4"}}},
    {{{"D-2", "F-4", "A-4", "D-5"}, {"F-2", "A-3", "C-4", "F-4"}, {"G-2", "B-3", "D-4", "G-4"}, {"E-2", "G#3", "B-3", "E-4"}}},
}};

struct Step {
    int row;
    const char* name;  // nullptr: key-off
};
const std::array<std::vector<Step>, 3> kMelody = {{
    {},
    {{0, "E-5"}, {3, "D-5"}, {4, "C-5"}, {6, "D-5"}, {8, "C-5"}, {10, "A-4"}, {12, "F-4"}, {14, "A-4"},
     {16, "G-4"}, {19, "C-5"}, {20, "E-5"}, {22, "G-5"}, {24, "D-5"}, {27, "B-4"}, {28, "G-4"}, {31, nullptr}},
    {{0, "F-5"}, {2, "E-5"}, {4, "D-5"}, {6, "A-4"}, {8, "C-5"}, {11, "D-5"}, {12, "F-5"}, {14, "A-5"},
     {16, "G-5"}, {18, "F-5"}, {20, "D-5"}, {22, "B-4"}, {24, "G#4"}, {26, "B-4"}, {28, "E-5"}, {30, nullptr}},
}};

Pattern makePattern(int p) {
    Pattern pat{};
    const auto put = [&](int row, Channel ch, std::uint8_t n, int instrument, int effect = 0, int parameter = 0) {
        pat[static_cast<std::size_t>(row)][ch] = Cell{n, static_cast<std::uint8_t>(instrument), 0,
                                                      static_cast<std::uint8_t>(effect),
                                                      static_cast<std::uint8_t>(parameter)};
    };
    for (int c = 0; c < 4; ++c) {
        const Harmony& chord = kChords[static_cast<std::size_t>(p)][static_cast<std::size_t>(c)];
        const int base = c * 8;
        // Bass: root, root, octave, root.
        const std::uint8_t root = note(chord.root);
        put(base, Bass, root, IBass);
        put(base + 3, Bass, root, IBass);
        put(base + 4, Bass, static_cast<std::uint8_t>(root + 12), IBass);
        put(base + 6, Bass, root, IBass);
        // Chord: third, then fifth; in the second part it moves left, then right
        // (effect 8, set panning).
        const int panEffect = p == 2 ? 8 : 0;
        const int panParameter = p == 2 ? (c < 2 ? 0x30 : 0xD0) : 0;
        put(base, Chord, note(chord.third), IChord, panEffect, panParameter);
        put(base + 4, Chord, note(chord.fifth), IChord, panEffect, panParameter);
        // Arpeggio on the square wave, one tone every two rows.
        const std::array<const char*, 4> tones = {chord.third, chord.fifth, chord.top, chord.fifth};
        for (int i = 0; i < 4; ++i) put(base + 2 * i, Arp, static_cast<std::uint8_t>(note(tones[i]) + 12), IPsgSquare);
        // Hats on every other row, an open one before each chord change.
        for (int i = 0; i < 8; i += 2) put(base + i, Hats, note("C-6"), i == 6 ? IOpenHat : IClosedHat);
        // Drums: kick on the beat, snare on the back beat.
        put(base, Drums, note("C-4"), IKick);
        put(base + 4, Drums, note("C-4"), ISnare);
        if (c == 3) put(base + 6, Drums, note("C-4"), IKick);
    }
    for (const Step& s : kMelody[static_cast<std::size_t>(p)]) {
        const std::uint8_t n = s.name ? note(s.name) : kKeyOff;
        put(s.row, Lead, n, s.name ? ILead : 0);
        // The echo repeats the lead two rows later on the soft square.
        if (s.row + 2 < kRows) put(s.row + 2, Echo, n, s.name ? IPsgSoft : 0);
    }
    return pat;
}

void put16(Bytes& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}
void putText(Bytes& out, const std::string& s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}

Bytes packPattern(const Pattern& pat) {
    Bytes data;
    for (const auto& row : pat) {
        for (const Cell& c : row) {
            const std::array<std::uint8_t, 5> fields = {c.note, c.instrument, c.volume, c.effect, c.parameter};
            std::uint8_t flag = 0x80;
            for (int i = 0; i < 5; ++i)
                if (fields[static_cast<std::size_t>(i)] != 0) flag = static_cast<std::uint8_t>(flag | (1 << i));
            data.push_back(flag);
            for (int i = 0; i < 5; ++i)
                if (fields[static_cast<std::size_t>(i)] != 0) data.push_back(fields[static_cast<std::size_t>(i)]);
        }
    }
    return data;
}

// One sample: 8-bit signed values, looped forward or played once.
struct Sample {
    std::string name;
    std::vector<std::int8_t> data;
    bool looped = false;
    int volume = 48;
};

// A deterministic noise source (no library generator, whose sequence may
// differ between standard libraries).
struct Noise {
    std::uint32_t state = 0x2468ACE1u;
    int next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) & 0xFF) - 128;
    }
};

// Single cycles of 32 samples play C-4 at the sample's base rate, so every
// tone instrument is in tune without a relative note.
Sample cycle(const std::string& name, int kind, int volume) {
    Sample s{name, {}, true, volume};
    for (int i = 0; i < 32; ++i) {
        int v = 0;
        switch (kind) {
            case 0: v = i < 16 ? 90 : -90; break;              // square
            case 1: v = 110 - i * 7; break;                    // saw
            case 2: v = i < 16 ? -100 + i * 13 : 108 - (i - 16) * 13; break;  // triangle
            default: v = i < 8 ? 80 : -80; break;             // narrow pulse
        }
        s.data.push_back(static_cast<std::int8_t>(v));
    }
    return s;
}

// A struck sound: a triangle tone that falls in pitch as it fades, mixed with
// noise. Integer arithmetic only, so that every platform writes the same bytes.
Sample hit(const std::string& name, int length, int tone, int noiseShare) {
    Sample s{name, {}, false, 56};
    Noise noise;
    std::uint32_t phase = 0;  // 16.16 fixed point, one cycle = 65536
    for (int i = 0; i < length; ++i) {
        const std::int64_t left = length - i;  // fades from length down to 1
        const std::int64_t step = static_cast<std::int64_t>(tone) * 65536 * (40 * length + 60 * left) / (100LL * length * 8363);
        phase = (phase + static_cast<std::uint32_t>(step)) & 0xFFFF;
        const std::int64_t triangle = phase < 32768 ? -32768 + 2 * static_cast<std::int64_t>(phase)
                                                    : 32767 - 2 * (static_cast<std::int64_t>(phase) - 32768);
        const std::int64_t t = triangle * (100 - noiseShare) / 32768;
        const std::int64_t n = static_cast<std::int64_t>(noise.next()) * noiseShare / 128;
        const std::int64_t v = (t + n) * left * left / (static_cast<std::int64_t>(length) * length);
        s.data.push_back(static_cast<std::int8_t>(std::clamp<std::int64_t>(v, -127, 127)));
    }
    return s;
}

Bytes instrument(const std::string& name, const Sample& sample) {
    Bytes out;
    put32(out, 263);  // header size
    putText(out, name, 22);
    out.push_back(0);  // type
    put16(out, 1);     // one sample
    put32(out, 40);    // sample header size
    out.insert(out.end(), 96, 0);        // every note plays sample 0
    out.insert(out.end(), 48 + 48, 0);   // no envelopes
    out.insert(out.end(), 10, 0);        // envelope counts, points and types
    out.insert(out.end(), 4, 0);         // no vibrato
    put16(out, 0);                       // fadeout
    out.insert(out.end(), 22, 0);        // reserved
    // Sample header.
    const auto length = static_cast<std::uint32_t>(sample.data.size());
    put32(out, length);
    put32(out, 0);
    put32(out, sample.looped ? length : 0);
    out.push_back(static_cast<std::uint8_t>(sample.volume));
    out.push_back(0);                                  // finetune
    out.push_back(sample.looped ? 1 : 0);              // forward loop, 8 bits
    out.push_back(128);                                // panning
    out.push_back(0);                                  // relative note
    out.push_back(0);
    putText(out, sample.name, 22);
    // Sample data, stored as differences.
    std::int8_t last = 0;
    for (std::int8_t v : sample.data) {
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(v) - static_cast<std::uint8_t>(last)));
        last = v;
    }
    return out;
}

Bytes makeXm() {
    Bytes out;
    const std::string id = "Extended Module: ";
    out.insert(out.end(), id.begin(), id.end());
    putText(out, "Ferrocanto demo", 20);
    out.push_back(0x1A);
    putText(out, "make_demo", 20);
    put16(out, 0x0104);
    put32(out, 276);
    const std::vector<std::uint8_t> order = {0, 1, 2};
    put16(out, static_cast<int>(order.size()));
    put16(out, 1);  // the song loops back to the second pattern: the first is the intro
    put16(out, kChannels);
    put16(out, 3);  // patterns
    put16(out, 9);  // instruments
    put16(out, 1);  // linear frequencies
    put16(out, 6);
    put16(out, 125);
    for (std::size_t i = 0; i < 256; ++i) out.push_back(i < order.size() ? order[i] : 0);

    for (int p = 0; p < 3; ++p) {
        const Bytes data = packPattern(makePattern(p));
        put32(out, 9);
        out.push_back(0);
        put16(out, kRows);
        put16(out, static_cast<int>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }

    const std::vector<std::pair<std::string, Sample>> instruments = {
        {"Lead", cycle("lead square", 3, 40)},      {"Bass", cycle("bass saw", 1, 52)},
        {"Chord", cycle("chord triangle", 2, 36)},  {"PSG square", cycle("psg square", 0, 28)},
        {"PSG soft", cycle("psg soft", 0, 16)},     {"Closed hat", hit("closed hat", 700, 0, 100)},
        {"Open hat", hit("open hat", 2400, 0, 100)}, {"Kick", hit("kick", 2600, 110, 10)},
        {"Snare", hit("snare", 2200, 190, 70)},
    };
    for (const auto& [name, sample] : instruments) {
        const Bytes bytes = instrument(name, sample);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }

    // Channel names, where trackers keep them: "Auto fill" reads them.
    const std::string tag = "CNAM";
    out.insert(out.end(), tag.begin(), tag.end());
    put32(out, 20 * kChannels);
    for (const char* name : kChannelNames) putText(out, name, 20);
    return out;
}

// Three FM voices in SMPS order: algorithm and feedback, then per operator
// (1, 3, 2, 4) detune/multiple, rate scaling/attack, first decay, second
// decay, sustain level/release, total level.
ferro::SongVoiceList makeVoices() {
    ferro::SongVoiceList list;
    const auto add = [&](const char* name, std::array<std::uint8_t, 25> bytes) {
        ferro::FmVoice v;
        v.bytes = bytes;
        list.add(name, v);
    };
    // A bright lead: algorithm 4, two modulated carriers, a little detune.
    add("Lead", {0x2C, 0x71, 0x32, 0x31, 0x72, 0x1F, 0x1F, 0x1F, 0x1F, 0x0A, 0x05, 0x08, 0x04, 0x02, 0x01, 0x02,
                 0x01, 0x2A, 0x1A, 0x3A, 0x1A, 0x1C, 0x24, 0x04, 0x04});
    // A plucked bass: algorithm 0, four operators in a chain, strong feedback.
    add("Bass", {0x30, 0x00, 0x01, 0x02, 0x01, 0x1F, 0x1F, 0x1F, 0x1F, 0x0E, 0x0C, 0x0A, 0x08, 0x04, 0x04, 0x04,
                 0x04, 0x4F, 0x3F, 0x4F, 0x2F, 0x18, 0x20, 0x22, 0x00});
    // A soft organ chord: algorithm 7, four carriers on harmonics 1, 2, 4, 1.
    add("Chord", {0x07, 0x01, 0x02, 0x04, 0x01, 0x1F, 0x1A, 0x1C, 0x1F, 0x06, 0x06, 0x06, 0x06, 0x02, 0x02, 0x02,
                  0x02, 0x36, 0x36, 0x36, 0x36, 0x20, 0x2A, 0x28, 0x18});
    return list;
}

// The setup file: one key a line, so that it reads well and diffs well.
std::string makeSetup() {
    nlohmann::ordered_json setup;
    setup["fmChannelCount"] = 3;
    setup["psgChannelCount"] = 3;
    setup["useNoise"] = true;
    setup["hasDrums"] = true;
    setup["loopSong"] = true;
    setup["dividingTiming"] = 2;
    setup["tempo"] = 4;
    setup["fm"] = {1, 2, 3, nullptr, nullptr, nullptr};
    setup["psg"] = {4, 5, 6};
    setup["dac"] = 7;
    setup["volume"] = {8, 12, 18, 16, 16, 16, 1, 4, 2, 0};
    setup["pan"] = {0, 0, 0, 0, 0, 0, 1};
    // Instrument 7 is the open hat; 8 and 9 are the kick and the snare. The
    // maps hold only what differs from the default: the kick plays sample
    // $81 like every instrument, the snare $82; every hat is closed but 7.
    setup["hihatKinds"] = {{std::to_string(IOpenHat), 1}};
    setup["drumSamples"] = {{std::to_string(ISnare), 0x82}};
    setup["voices"] = nlohmann::ordered_json::array({{{"kind", "ymx"}, {"file", "demo-voices.ymx"}}});
    setup["writeBin"] = true;
    setup["writeAsm"] = true;

    std::string text = "{\n";
    bool first = true;
    for (const auto& item : setup.items()) {
        if (!first) text += ",\n";
        first = false;
        text += "  " + nlohmann::json(item.key()).dump() + ": " + item.value().dump();
    }
    return text + "\n}\n";
}

bool writeText(const fs::path& path, const std::string& text) {
    const Bytes bytes(text.begin(), text.end());
    return ferro::writeWholeFile(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_demo FOLDER\n";
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code ec;
    fs::create_directories(folder, ec);
    const bool ok = ferro::writeWholeFile(folder / "demo.xm", makeXm()) &&
                    ferro::writeVoiceBank(makeVoices(), ferro::BankFormat::Ymx, folder / "demo-voices.ymx") &&
                    writeText(folder / "demo.json", makeSetup());
    if (!ok) {
        std::cerr << "Cannot write the demo files into " << folder.string() << '\n';
        return 1;
    }
    std::cout << "Wrote demo.xm, demo-voices.ymx and demo.json into " << folder.string() << '\n';
    return 0;
}
