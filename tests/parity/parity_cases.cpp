// Writes the modules and song setups that the Windows build must convert to
// exactly the Linux bytes: each case in its own folder, a module and
// setup.json. Between them the cases use drums (by instrument and by note),
// PSG tones, noise and hi-hats, looping and play-once songs, songs with and
// without an intro, every pan choice but "Random" (and pan effects in the
// patterns), optimised and plain output, .bin, .asm and both; and file names
// with spaces and letters outside ASCII.
//
//   parity_cases FOLDER
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/paths.hpp"
#include "support/xm_writer.hpp"

namespace {

namespace fs = std::filesystem;
using ferro::XmCell;
using ferro::test::noteCell;
using json = nlohmann::ordered_json;

constexpr int kChannels = 8;  // 1-3 FM, 4-6 PSG tones, 7 hi-hats, 8 drums

// A small deterministic generator, the same on every platform.
struct Dice {
    std::uint32_t state;
    int roll(int sides) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(sides));
    }
    bool coin() { return roll(2) == 1; }
};

std::vector<std::uint8_t> module(int index, Dice& dice) {
    ferro::test::XmLayout layout;
    layout.moduleName = "parity " + std::to_string(index);
    layout.channelCount = kChannels;
    const int patternCount = 2 + dice.roll(2);
    layout.patterns.clear();
    for (int p = 0; p < patternCount; ++p) {
        ferro::test::XmPatternLayout pattern;
        pattern.rows = 16 << dice.roll(2);
        pattern.packed = dice.roll(4) != 0;
        pattern.cells.resize(static_cast<std::size_t>(pattern.rows * kChannels));
        const auto at = [&](int row, int channel) -> XmCell& {
            return pattern.cells[static_cast<std::size_t>(row * kChannels + channel - 1)];
        };
        for (int r = 0; r < pattern.rows; ++r) {
            for (int c = 1; c <= 6; ++c) {
                const int roll = dice.roll(8);
                if (roll == 0) {
                    at(r, c) = noteCell(ferro::kXmKeyOff);
                } else if (roll <= 2) {
                    const auto note = static_cast<std::uint8_t>(25 + dice.roll(60));
                    const auto instrument = static_cast<std::uint8_t>(c <= 3 ? 1 + dice.roll(3) : 4 + dice.roll(2));
                    // Effect 8 sets the pan; other effects must be ignored.
                    const int effect = dice.roll(6);
                    at(r, c) = noteCell(note, instrument, effect == 0 ? 8 : effect == 1 ? 0x0F : 0,
                                        static_cast<std::uint8_t>(dice.roll(256)));
                }
            }
            if (r % 2 == 0) at(r, 7) = noteCell(static_cast<std::uint8_t>(73 + dice.roll(3)), dice.coin() ? 6 : 7);
            if (r % 4 == 0) at(r, 8) = noteCell(static_cast<std::uint8_t>(49 + dice.roll(4)), 8 + dice.roll(3));
            if (r % 4 == 2 && dice.coin()) at(r, 8) = noteCell(ferro::kXmKeyOff);
        }
        layout.patterns.push_back(pattern);
    }
    layout.orderTable.clear();
    const int orders = 2 + dice.roll(4);
    for (int o = 0; o < orders; ++o) layout.orderTable.push_back(static_cast<std::uint8_t>(dice.roll(patternCount)));
    // Restart position 0 loops the whole song; above 0 the rows before it are
    // the intro.
    layout.restartPosition = dice.roll(orders);
    layout.instrumentCount = 0;
    return ferro::test::buildXm(layout);
}

std::string voiceHex(Dice& dice) {
    std::string text;
    for (int i = 0; i < 25; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", dice.roll(256));
        text += (i ? " " : "") + std::string(byte);
    }
    return text;
}

json channelOrNull(int channel) { return channel > 0 ? json(channel) : json(nullptr); }

json setup(int index, Dice& dice) {
    json s;
    const bool drums = index % 3 != 1;
    const int fm = drums ? 1 + dice.roll(5) : dice.roll(7);
    const int psg = index % 4 == 3 ? 0 : 1 + dice.roll(3);
    const bool noise = index % 2 == 0;
    s["fmChannelCount"] = fm;
    s["psgChannelCount"] = psg;
    s["useNoise"] = noise;
    s["hasDrums"] = drums;
    s["loopSong"] = index % 5 != 4;
    s["endDacWithE4"] = dice.coin();
    s["optimiseOutput"] = dice.coin();
    s["removeRests"] = dice.coin();
    s["dividingTiming"] = 1 + dice.roll(9);
    s["tempo"] = 1 + dice.roll(9);
    // FM channels take XM channels 1-3 (more FM channels than that repeat
    // them, which only warns), PSG tones 4-6, noise 7, DAC 8.
    json fmChannels = json::array();
    for (int k = 0; k < 6; ++k) fmChannels.push_back(channelOrNull(k < fm ? k % 3 + 1 : 0));
    json psgChannels = json::array();
    for (int k = 0; k < 3; ++k) psgChannels.push_back(channelOrNull(k < psg ? 4 + k : k == 2 && noise ? 7 : 0));
    s["fm"] = fmChannels;
    s["psg"] = psgChannels;
    s["dac"] = channelOrNull(drums ? 8 : 0);
    json pitch = json::array(), volume = json::array(), pan = json::array();
    for (int k = 0; k < 9; ++k) pitch.push_back(dice.roll(49) - (k < 6 ? 24 : 36));
    for (int k = 0; k < 10; ++k) volume.push_back(dice.roll(64));
    // 0 Default, 1 Centre, 2 Left, 3 Right; never 4, "Random".
    for (int k = 0; k < 7; ++k) pan.push_back((index + k) % 4);
    s["pitch"] = pitch;
    s["volume"] = volume;
    s["pan"] = pan;
    const bool drumsByNote = index % 4 == 2;
    const bool hihatsByNote = index % 3 == 2;
    s["drumsByNote"] = drumsByNote;
    s["hihatsByNote"] = hihatsByNote;
    json instrumentVoices = json::array(), instrumentPsgEnvelopes = json::array(), drumSamples = json::array(), hihatKinds = json::array();
    for (int k = 0; k < 256; ++k) {
        instrumentVoices.push_back(dice.roll(3));
        instrumentPsgEnvelopes.push_back(dice.roll(10));
    }
    for (int k = 0; k < (drumsByNote ? 96 : 256); ++k) drumSamples.push_back(129 + dice.roll(8));
    for (int k = 0; k < (hihatsByNote ? 96 : 256); ++k) hihatKinds.push_back(1 + dice.roll(2));
    s["corri"] = instrumentVoices;
    s["psgorri"] = instrumentPsgEnvelopes;
    s["dorri"] = drumSamples;
    s["norri"] = hihatKinds;
    json voices = json::array();
    for (int k = 0; k < (fm > 0 ? 3 : 0); ++k) voices.push_back({{"name", "v" + std::to_string(k)}, {"hex", voiceHex(dice)}});
    s["voices"] = voices;
    s["writeBin"] = index % 3 != 2;
    s["writeAsm"] = index % 3 != 0;
    return s;
}

bool writeText(const fs::path& path, const std::string& text) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    ferro::test::writeFileBytes(path, bytes);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: parity_cases FOLDER\n";
        return 2;
    }
    // Names with spaces and letters outside ASCII, in the folders and in the
    // modules' names.
    const std::vector<std::string> names = {"T\xC3\xBCne", "song", "two words", "\xC3\x85sa \xC3\xA9t\xC3\xA9",
                                            "loop", "noise", "drums", "plain"};
    const int caseCount = 24;
    try {
        for (int i = 0; i < caseCount; ++i) {
            Dice dice{static_cast<std::uint32_t>(0x51A7E + i * 7919)};
            const std::string name = names[static_cast<std::size_t>(i) % names.size()];
            const fs::path folder = fs::path(argv[1]) / ferro::pathFromUtf8(std::to_string(i) + " " + name);
            fs::create_directories(folder);
            ferro::test::writeFileBytes(folder / ferro::pathFromUtf8(name + ".xm"), module(i, dice));
            writeText(folder / "setup.json", setup(i, dice).dump(1));
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    std::cout << "Wrote " << caseCount << " cases into " << argv[1] << '\n';
    return 0;
}
