#include "song/song_setup.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "support/voice_bytes.hpp"
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "voices/song_voice_list.hpp"
#include "voices/voice_bank.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

namespace ferro {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr int kChannels = 8;

using SetupFolder = test::TempDir;
using test::raw25;
using test::voiceOf;

std::vector<FmVoice> voicesOf(const SongVoiceList& list) {
    std::vector<FmVoice> out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.voice(i));
    return out;
}

// Every field of the choices as text, so that two sets compare with a readable diff.
std::string describe(const SongChoices& c) {
    std::ostringstream o;
    const SongSettings& s = c.settings;
    o << "counts " << s.fmChannelCount << ' ' << s.psgChannelCount << " noise " << s.useNoise << " drums "
      << s.hasDrums << " loop " << s.loopSong << " e4 " << s.endDacWithE4 << " timing " << s.dividingTiming << ' '
      << s.tempo << " optimise " << s.optimiseOutput << " effects " << s.moduleEffects << " rests " << static_cast<int>(s.removeRests) << " atLoad "
      << c.loopSongAtLoad << '\n';
    const auto ch = [&](const XmChannelChoice& x) { o << (x ? std::to_string(*x) : "-") << ' '; };
    o << "channels " << c.assignment.channelCount << ": ";
    for (const auto& x : c.assignment.fm) ch(x);
    for (const auto& x : c.assignment.psg) ch(x);
    ch(c.assignment.dac);
    o << "\npitch";
    for (int p : c.channels.pitch) o << ' ' << p;
    o << "\nvolume";
    for (int v : c.channels.volume) o << ' ' << v;
    o << "\npan";
    for (PanChoice p : c.channels.pan) o << ' ' << static_cast<int>(p);
    o << "\nbyNote " << c.maps.drumsByNote << ' ' << c.maps.hihatsByNote << '\n';
    for (const std::string* map : {&c.maps.instrumentVoices, &c.maps.instrumentPsgEnvelopes, &c.maps.drumSamples, &c.maps.hihatKinds}) {
        o << "map " << map->size() << ':';
        for (unsigned char b : *map) o << ' ' << static_cast<int>(b);
        o << '\n';
    }
    o << "voices " << c.voices.count() << '\n';
    for (int i = 0; i < c.voices.count(); ++i) o << c.voices.name(i) << ": " << c.voices.hex(i) << '\n';
    o << "outputs " << c.writeBin << ' ' << c.writeAsm << ' ' << static_cast<int>(c.asmStyle) << '\n';
    return o.str();
}

SongChoices parsed(const std::string& text, const fs::path& folder = fs::temp_directory_path(),
                   std::vector<std::string>* warnings = nullptr) {
    auto result = parseSongSetup(text, folder, kChannels, warnings);
    if (auto* error = std::get_if<SongSetupError>(&result)) {
        ADD_FAILURE() << "refused: " << error->message;
        return {};
    }
    return std::get<SongChoices>(result);
}

TEST(SongSetup, MissingKeysTakeTheValuesOfAFreshLoad) {
    const SongChoices fresh = parsed("{}");
    // What the windows show right after the first load.
    SongChoices expected;
    expected.assignment.channelCount = kChannels;
    expected.writeBin = true;
    expected.writeAsm = false;
    EXPECT_EQ(describe(fresh), describe(expected));
    EXPECT_EQ(describe(fresh), describe(initialSongChoices(kChannels)));
    EXPECT_EQ(fresh.maps.instrumentVoices[0], '\0');
    EXPECT_EQ(static_cast<unsigned char>(fresh.maps.instrumentVoices[255]), 255);

    // A keying given without its map: the map starts as the window starts it.
    const SongChoices byNote = parsed(R"({"drumsByNote": true, "hihatsByNote": true})");
    EXPECT_EQ(byNote.maps.drumSamples, std::string(96, static_cast<char>(0x81)));
    EXPECT_EQ(byNote.maps.hihatKinds, std::string(96, '\2'));
}

TEST(SongSetup, EveryKeySetsItsField) {
    std::string voices(256, 0), envelopes(256, 0), drums(96, 0), hihats(96, 0);
    for (int k = 0; k < 256; ++k) voices[k] = static_cast<char>(255 - k), envelopes[k] = static_cast<char>(k % 128);
    for (int k = 0; k < 96; ++k) drums[k] = static_cast<char>(0x81 + k % 95), hihats[k] = static_cast<char>(1 + k % 2);
    const auto bytes = [](const std::string& map) { return std::vector<unsigned char>(map.begin(), map.end()); };
    const json j = {{"fmChannelCount", 6}, {"psgChannelCount", 2}, {"useNoise", false}, {"hasDrums", false},
                    {"loopSong", false}, {"endDacWithE4", true}, {"dividingTiming", 9}, {"tempo", 1},
                    {"fm", {1, 2, nullptr, 4, 5, 8}}, {"psg", {6, nullptr, 7}}, {"dac", 3}, {"optimiseOutput", true},
                    {"moduleEffects", true}, {"removeRests", true}, {"pitch", {-128, 127, 0, 1, -1, 12, -36, -24, 5}},
                    {"volume", {0, 63, 1, 2, 3, 4, 5, 6, 7, 8}}, {"pan", {0, 1, 2, 3, 4, 0, 4}}, {"drumsByNote", true},
                    {"hihatsByNote", true}, {"corri", bytes(voices)}, {"psgorri", bytes(envelopes)},
                    {"dorri", bytes(drums)}, {"norri", bytes(hihats)},
                    {"voices", {{{"name", "pasted"}, {"hex", formatVoiceHex(voiceOf(1))}}}}, {"writeBin", false},
                    {"writeAsm", true}, {"asmStyle", "smps2asm"}};
    SongChoices e;
    e.settings = {.fmChannelCount = 6, .psgChannelCount = 2, .useNoise = false, .hasDrums = false, .loopSong = false,
                  .endDacWithE4 = true, .dividingTiming = 9, .tempo = 1, .optimiseOutput = true,
                  .moduleEffects = true, .removeRests = RemoveRestsState::Checked};
    e.assignment = {kChannels, {1, 2, std::nullopt, 4, 5, 8}, {6, std::nullopt, 7}, 3};
    e.channels.pitch = {-128, 127, 0, 1, -1, 12, -36, -24, 5};
    e.channels.volume = {0, 63, 1, 2, 3, 4, 5, 6, 7, 8};
    using P = PanChoice;
    e.channels.pan = {P::Default, P::Centre, P::Left, P::Right, P::Random, P::Default, P::Random};
    e.maps = {voices, envelopes, drums, hihats, true, true};
    e.voices.add("pasted", voiceOf(1));
    e.writeBin = false;
    e.writeAsm = true;
    e.asmStyle = AsmStyle::Smps2asm;
    e.loopSongAtLoad = false;
    EXPECT_EQ(describe(parsed(j.dump())), describe(e));
}

std::string ints(std::size_t count, int value) {
    return json(std::vector<int>(count, value)).dump();
}

TEST(SongSetup, RefusalsNameTheirKey) {
    SetupFolder folder;
    folder.write("two.bin", raw25({voiceOf(1), voiceOf(2)}));
    folder.write("broken.ymx", {'N', 'O', 'T'});
    const std::string hex = formatVoiceHex(voiceOf(3));
    std::string manyVoices = R"({"voices": [)";
    for (int i = 0; i < 257; ++i) manyVoices += std::string(i ? "," : "") + R"({"name": "v", "hex": ")" + hex + "\"}";
    manyVoices += "]}";

    struct Case {
        std::string json;
        std::string message;  // the start of the message
    };
    const std::vector<Case> cases = {
        {"{", "The song setup file is not valid JSON: parse error"},
        {"[]", "The song setup file must hold one JSON object"},
        {"", "The song setup file is not valid JSON"},
        {R"({"tempo": 2, "tempo": 3})", "tempo: key given twice"},
        {R"({"voices": [{"name": "a", "name": "b", "hex": ")" + hex + "\"}]}", "name: key given twice"},
        {R"({"speed": 6})", "speed: unknown key"},
        {R"({"FmChannelCount": 3})", "FmChannelCount: unknown key"},
        {R"({"fmChannelCount": 6})", "fmChannelCount: must be an integer from 0 to 5 while hasDrums is true, not 6"},
        {R"({"fmChannelCount": 7, "hasDrums": false})", "fmChannelCount: must be an integer from 0 to 6, not 7"},
        {R"({"fmChannelCount": "5"})", "fmChannelCount: must be an integer from 0 to 5"},
        {R"({"fmChannelCount": 2.0})", "fmChannelCount: must be an integer"},
        {R"({"fmChannelCount": -1})", "fmChannelCount: must be an integer"},
        {R"({"fmChannelCount": 18446744073709551616})", "fmChannelCount: must be an integer"},
        {R"({"fmChannelCount": 9223372036854775808})", "fmChannelCount: must be an integer"},
        {R"({"psgChannelCount": 4})", "psgChannelCount: must be an integer from 0 to 3"},
        {R"({"dividingTiming": 0})", "dividingTiming: must be an integer from 1 to 9"},
        {R"({"tempo": 10})", "tempo: must be an integer from 1 to 9"},
        {R"({"useNoise": 1})", "useNoise: must be true or false, not 1"},
        {R"({"endDacWithE4": []})", "endDacWithE4: must be true or false, not an array"},
        {R"({"removeRests": {}})", "removeRests: must be true or false, not an object"},
        {R"({"writeBin": false})", "writeBin, writeAsm: at least one"},
        {R"({"asmStyle": "SMPS2ASM"})", "asmStyle: must be \"plain\" or \"smps2asm\", not \"SMPS2ASM\""},
        {R"({"fm": [1, 2, 3]})", "fm: must be an array of 6 XM channels from 1 to 8 or null"},
        {R"({"fm": [1, 2, 3, 4, 5, 9]})", "fm[5] (FM6): must be an XM channel from 1 to 8 or null, not 9"},
        {R"({"psg": [null, null, 0]})", "psg[2] (Noise): must be an XM channel"},
        {R"({"useNoise": false, "psg": [null, null, 0]})", "psg[2] (PSG3): must be an XM channel"},
        {R"({"volume": [0,0,0,0,0,0,0,0,0,64]})", "volume[9] (Noise): must be an integer from 0 to 63"},
        {R"({"pan": [0,0,0,0,0,0,5]})", "pan[6] (DAC): must be an integer from 0 to 4, not 5"},
        {R"({"drumsByNote": true, "dorri": )" + ints(96, 0) + "}", "dorri[0] (note 1): must be an integer"},
        {R"({"psg": [1, 2, 3, 4]})", "psg: must be an array of 3"},
        {R"({"dac": "1"})", "dac: must be an XM channel from 1 to 8 or null, not \"1\""},
        {R"({"pitch": [0,0,0,0,0,0,0,0,128]})", "pitch[8] (PSG3): must be an integer from -128 to 127, not 128"},
        {R"({"pitch": [0,0,0,0,0,0,0,0,-129]})", "pitch[8] (PSG3): must be an integer from -128 to 127"},
        {R"({"volume": )" + ints(9, 0) + "}", "volume: must be an array of 10 integers from 0 to 63"},
        {R"({"volume": )" + ints(10, 64) + "}", "volume[0] (FM1): must be an integer from 0 to 63, not 64"},
        {R"({"corri": )" + ints(255, 0) + "}", "corri: must be an array of 256 integers from 0 to 255"},
        {R"({"corri": )" + ints(256, 256) + "}", "corri[0] (instrument 1): must be an integer from 0 to 255"},
        {R"({"psgorri": )" + ints(256, 128) + "}", "psgorri[0] (instrument 1): must be an integer from 0 to 127"},
        {R"({"dorri": )" + ints(256, 128) + "}", "dorri[0] (instrument 1): must be an integer from 129 to 223, not 128"},
        {R"({"dorri": )" + ints(256, 224) + "}", "dorri[0] (instrument 1): must be an integer from 129 to 223"},
        {R"({"drumsByNote": true, "dorri": )" + ints(256, 129) + "}",
         "dorri: must be an array of 96 integers from 129 to 223 (drumsByNote is true)"},
        {R"({"dorri": )" + ints(96, 129) + "}", "dorri: must be an array of 256 integers"},
        {R"({"norri": )" + ints(256, 0) + "}", "norri[0] (instrument 1): must be an integer from 1 to 2, not 0"},
        {R"({"hihatsByNote": true, "norri": )" + ints(256, 2) + "}", "norri: must be an array of 96"},
        {R"({"voices": {}})", "voices: must be an array of voice entries"},
        {R"({"voices": [1]})", "voices[0]: must be {\"name\": text, \"hex\": voice text} or {\"kind\": KIND"},
        {R"({"voices": [{"name": "a"}]})", "voices[0]: must be {"},
        {R"({"voices": [{"name": 1, "hex": ")" + hex + "\"}]}", "voices[0].name: must be a text"},
        {R"({"voices": [{"name": "a", "hex": "00 11"}]})", "voices[0].hex: must be 25 two-digit"},
        {R"({"voices": [{"name": "a", "hex": ")" + hex + " \"}]}", "voices[0].hex: must be 25 two-digit"},
        {R"({"voices": [{"name": "a", "hex": ")" + std::string(hex).replace(2, 1, ",") + "\"}]}",
         "voices[0].hex: must be 25 two-digit"},
        {R"({"voices": [{"name": "a", "hex": ")" + hex + R"(", "index": 0}]})",
         "voices[0].index: unknown key in this voice entry"},
        {R"({"voices": [{"kind": "paste", "file": "two.bin"}]})", "voices[0].kind: must be one of raw25, ymx"},
        {R"({"voices": [{"kind": "raw25"}]})", "voices[0]: must be {"},
        {R"({"voices": [{"kind": "raw25", "file": ""}]})", "voices[0].file: must be the path of a voice file"},
        {R"({"voices": [{"kind": "raw25", "file": "nothere.bin"}]})", "voices[0].file: there is no file nothere.bin"},
        {R"({"voices": [{"kind": "raw25", "file": "two.bin", "hex": "x"}]})", "voices[0].hex: unknown key"},
        {R"({"voices": [{"kind": "ymx", "file": "broken.ymx"}]})", "voices[0] (broken.ymx): File is not a valid YMX"},
        {R"({"voices": [{"kind": "raw25", "file": "two.bin"}, {"kind": "raw25", "file": "two.bin", "index": 2}]})",
         "voices[1].index: must be an integer from 0 to 1 (the file holds 2 voices), not 2"},
        {R"({"voices": [{"kind": "raw25", "file": "two.bin", "index": -1}]})", "voices[0].index: must be an integer"},
        {manyVoices, "voices: a song holds at most 256 ($100) voices"},
        {R"({"instrumentVoices": [1]})", "instrumentVoices: must be an object keyed by instrument number (1 to 256)"},
        {R"({"instrumentVoices": {"0": 1}})", "instrumentVoices.0: not an instrument number from 1 to 256"},
        {R"({"instrumentVoices": {"01": 1}})", "instrumentVoices.01: not an instrument number"},
        {R"({"instrumentVoices": {"2": 256}})", "instrumentVoices.2: must be an integer from 0 to 255, not 256"},
        {R"({"instrumentPsgEnvelopes": {"2": 128}})", "instrumentPsgEnvelopes.2: must be an integer from 0 to 127"},
        {R"({"drumSamples": {"5": 128}})", "drumSamples.5: must be an integer from 129 to 223, not 128"},
        {R"({"drumsByNote": true, "drumSamples": {"97": 129}})", "drumSamples.97: not a note number from 1 to 96"},
        {R"({"hihatKinds": {"1": 3}})", "hihatKinds.1: must be an integer from 1 to 2, not 3"},
        {R"({"norri": )" + ints(256, 2) + R"(, "hihatKinds": {}})", "norri, hihatKinds: the same map given twice"},
    };
    for (const Case& c : cases) {
        auto result = parseSongSetup(c.json, folder.path(), kChannels);
        const auto* error = std::get_if<SongSetupError>(&result);
        ASSERT_NE(error, nullptr) << c.json.substr(0, 200);
        EXPECT_EQ(std::tuple(error->exitCode, error->message.substr(0, c.message.size())), std::tuple(2, c.message))
            << c.json.substr(0, 200);
    }
}

TEST(SongSetup, ReadableMapsHoldOnlyTheirChanges) {
    const SongChoices c = parsed(R"({"instrumentVoices": {"1": 4, "17": 3}, "instrumentPsgEnvelopes": {"256": 127},
        "drumsByNote": true, "drumSamples": {"96": 223}, "hihatKinds": {"7": 1}})");
    SongChoices expected = initialSongChoices(kChannels);
    expected.maps.instrumentVoices[0] = 4;
    expected.maps.instrumentVoices[16] = 3;
    expected.maps.instrumentPsgEnvelopes[255] = 127;
    setDrumKeying(expected.maps, true);
    expected.maps.drumSamples[95] = static_cast<char>(0xDF);
    expected.maps.hihatKinds[6] = 1;
    EXPECT_EQ(describe(c), describe(expected));
}

// What "Save setup..." writes reads back to the same choices, names and all.
TEST(SongSetup, WrittenSetupReadsBackTheSameChoices) {
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        SongChoices c = initialSongChoices(kChannels);
        SongSettings& s = c.settings;
        setHasDrums(s, round % 2 == 0);
        setFmChannelCount(s, static_cast<int>(random() % 7));
        setPsgChannelCount(s, static_cast<int>(random() % 4));
        s.useNoise = round % 3 != 0;
        s.loopSong = round % 4 != 1;
        c.loopSongAtLoad = round % 5 != 2;
        s.endDacWithE4 = round % 2 == 1;
        s.dividingTiming = 1 + static_cast<int>(random() % 9);
        s.tempo = 1 + static_cast<int>(random() % 9);
        s.optimiseOutput = round % 3 == 1;
        s.moduleEffects = round % 4 == 3;
        s.removeRests = round % 3 == 2 ? RemoveRestsState::Checked : RemoveRestsState::Off;
        for (auto& k : c.assignment.fm) k = random() % 3 ? XmChannelChoice(1 + random() % kChannels) : std::nullopt;
        for (auto& k : c.assignment.psg) k = random() % 3 ? XmChannelChoice(1 + random() % kChannels) : std::nullopt;
        c.assignment.dac = 1 + static_cast<int>(random() % kChannels);
        for (int i = 0; i < 9; ++i) setPitch(c.channels, i, static_cast<int>(random() % 256) - 128);
        for (int i = 0; i < 10; ++i) setVolume(c.channels, i, static_cast<int>(random() % 64));
        for (int i = 0; i < 7; ++i) setPan(c.channels, i, static_cast<int>(random() % 5));
        setDrumKeying(c.maps, round % 2 == 1);
        setHiHatKeying(c.maps, round % 3 == 1);
        for (int n = 0; n < 30; ++n) {
            const auto kind = static_cast<InstrumentMapKind>(random() % 4);
            setMapValue(c.maps, kind, 1 + static_cast<int>(random() % 256), static_cast<int>(random() % 128));
        }
        for (int v = 0; v < round % 4; ++v) c.voices.add(v == 1 ? "caf\xe9 \"bass\"" : "v" + std::to_string(v), voiceOf(v));
        c.writeAsm = round % 2 == 0;
        const std::string text = writeSongSetup(c);
        EXPECT_EQ(describe(parsed(text)), describe(c)) << text;
    }
    // The maps hold only what differs; voices come as name and hex.
    SongChoices c = initialSongChoices(kChannels);
    setMapValue(c.maps, InstrumentMapKind::Fm, 17, 3);
    c.voices.add("lead", voiceOf(1));
    const json j = json::parse(writeSongSetup(c));
    EXPECT_EQ(std::tuple(j["instrumentVoices"], j["hihatKinds"], j.contains("loopSongAtLoad"), j.contains("moduleEffects")),
              std::tuple(json::parse(R"({"17": 3})"), json::object(), false, false));
    EXPECT_EQ(j["voices"], json::parse(R"([{"name": "lead", "hex": ")" + formatVoiceHex(voiceOf(1)) + "\"}]"));
}

TEST(SongSetup, EdgeValuesAreAccepted) {
    const SongChoices c = parsed(R"({"fmChannelCount": 6, "hasDrums": false, "psgChannelCount": 0,
        "fm": [8, 8, 8, 8, 8, 8], "dac": null, "dividingTiming": 1, "tempo": 9,
        "dorri": )" + ints(256, 223) + R"(, "norri": )" + ints(256, 1) + "}");
    EXPECT_EQ(std::tuple(c.settings.fmChannelCount, c.assignment.fm[5], c.assignment.dac),
              std::tuple(6, XmChannelChoice(8), XmChannelChoice()));
    EXPECT_EQ(std::tuple(c.maps.drumSamples, c.maps.hihatKinds),
              std::tuple(std::string(256, static_cast<char>(0xDF)), std::string(256, '\1')));
}

TEST(SongSetup, VoiceEntriesFromFiles) {
    SetupFolder folder;
    folder.write("bank/three.bin", raw25({voiceOf(1), voiceOf(2), voiceOf(3)}));
    SongVoiceList list;
    list.add("alpha", voiceOf(4));
    list.add("beta", voiceOf(5));
    ASSERT_TRUE(writeVoiceBank(list, BankFormat::Ymx, folder.path() / "pair.ymx"));
    const std::string hex = formatVoiceHex(voiceOf(6));

    // Paths start from the setup file's folder; without an index every voice
    // of the file comes in order; entries keep their order in the song.
    const SongChoices c = parsed(R"({"voices": [
        {"kind": "raw25", "file": "bank/three.bin"},
        {"name": "typed", "hex": ")" + hex + R"("},
        {"kind": "ymx", "file": "pair.ymx", "index": 1},
        {"kind": "raw25", "file": "bank/three.bin", "index": 0}]})",
                                 folder.path());
    EXPECT_EQ(voicesOf(c.voices), (std::vector<FmVoice>{voiceOf(1), voiceOf(2), voiceOf(3), voiceOf(6), voiceOf(5), voiceOf(1)}));

    // An absolute path is taken as it is.
    const std::string absolute = json((folder.path() / "pair.ymx").string()).dump();
    const SongChoices a = parsed(R"({"voices": [{"kind": "ymx", "file": )" + absolute + "}]}", "/nonexistent");
    EXPECT_EQ(voicesOf(a.voices), (std::vector<FmVoice>{voiceOf(4), voiceOf(5)}));
}

TEST(SongSetup, ImportWarningsArePassedOn) {
    SetupFolder folder;
    // A TFI instrument whose third operator uses SSG-EG, which is dropped.
    std::vector<std::uint8_t> tfi = {7, 7};
    for (int op = 0; op < 4; ++op) {
        const std::vector<std::uint8_t> block = {1, 3, 0x20, 0, 31, 0, 0, 15, 0, static_cast<std::uint8_t>(op == 2 ? 9 : 0)};
        tfi.insert(tfi.end(), block.begin(), block.end());
    }
    folder.write("pad.tfi", tfi);
    std::vector<std::string> warnings;
    const SongChoices c = parsed(R"({"voices": [{"kind": "tfi", "file": "pad.tfi"}]})", folder.path(), &warnings);
    EXPECT_EQ(c.voices.count(), 1);
    EXPECT_EQ(warnings, (std::vector<std::string>{std::string("voices[0] (pad.tfi): ") + kTfiSsgEgWarning}));
}

TEST(SongSetup, GarbageNeverThrows) {
    std::string deep(100000, '[');
    const std::vector<std::string> inputs = {
        deep, R"({"tempo": )" + deep + "}", "\xff\xfe{}", "{\"a\xff\": 1}", "{\"tempo\": 1e400}",
        "{\"voices\": [{\"kind\": \"raw25\", \"file\": \"\\u0000\"}]}", "null", "\"text\"", "{} {}",
        std::string("{\"tempo\"\0: 1}", 13),
    };
    for (const auto& input : inputs) {
        std::variant<SongChoices, SongSetupError> result;
        EXPECT_NO_THROW(result = parseSongSetup(input, fs::temp_directory_path(), kChannels));
        EXPECT_TRUE(std::holds_alternative<SongSetupError>(result)) << input.substr(0, 40);
    }
}

}  // namespace
}  // namespace ferro
