#include "engine/song_setup.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>

#include <nlohmann/json.hpp>

#include "base/paths.hpp"
#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

namespace ferro {

namespace {

using json = nlohmann::json;

// Thrown inside this file only and turned into a SongSetupError at the end.
struct Refusal {
    std::string message;
};

[[noreturn]] void refuse(const std::string& message) { throw Refusal{message}; }

// A short form of the value the user wrote, for the messages.
std::string shown(const json& value) {
    // Only scalars are printed: a nested value could be long or deep.
    if (value.is_array()) return "an array";
    if (value.is_object()) return "an object";
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

// The integer a JSON value holds, or none when it is not an integer (a number
// with a fraction or an exponent is not). Huge values come back clamped,
// which every range below refuses.
std::optional<long long> integerOf(const json& value) {
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        return u > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())
                   ? std::numeric_limits<long long>::max()
                   : static_cast<long long>(u);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    return std::nullopt;
}

std::string rangeText(int low, int high) {
    return "an integer from " + std::to_string(low) + " to " + std::to_string(high);
}

int integerIn(const json& value, const std::string& key, int low, int high, const std::string& note = "") {
    const std::optional<long long> v = integerOf(value);
    if (!v || *v < low || *v > high) refuse(key + ": must be " + rangeText(low, high) + note + ", not " + shown(value));
    return static_cast<int>(*v);
}

bool boolean(const json& value, const std::string& key) {
    if (!value.is_boolean()) refuse(key + ": must be true or false, not " + shown(value));
    return value.get<bool>();
}

const json& arrayOf(const json& value, const std::string& key, std::size_t length, const std::string& what) {
    if (!value.is_array() || value.size() != length)
        refuse(key + ": must be an array of " + std::to_string(length) + " " + what);
    return value;
}

XmChannelChoice channel(const json& value, const std::string& key, int channelCount) {
    if (value.is_null()) return std::nullopt;
    const std::optional<long long> v = integerOf(value);
    if (!v || *v < 1 || *v > channelCount)
        refuse(key + ": must be an XM channel from 1 to " + std::to_string(channelCount) + " or null, not " +
               shown(value));
    return static_cast<int>(*v);
}

template <std::size_t N>
std::array<int, N> integers(const json& value, const std::string& key, int low, int high) {
    arrayOf(value, key, N, "integers from " + std::to_string(low) + " to " + std::to_string(high));
    std::array<int, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = integerIn(value[i], key + "[" + std::to_string(i) + "]", low, high);
    return out;
}

// A map as the byte string the engine reads: position k-1 holds key k.
std::string mapFromJson(const json& value, const std::string& key, std::size_t length, int low, int high,
                     const std::string& note = "") {
    if (!value.is_array() || value.size() != length)
        refuse(key + ": must be an array of " + std::to_string(length) + " integers from " + std::to_string(low) +
               " to " + std::to_string(high) + note);
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i)
        out.push_back(static_cast<char>(integerIn(value[i], key + "[" + std::to_string(i) + "]", low, high)));
    return out;
}

// Every key a setup file may hold.
const std::set<std::string>& knownKeys() {
    static const std::set<std::string> keys = {
        "fmChannelCount", "psgChannelCount", "useNoise",    "hasDrums",     "loopSong", "endDacWithE4",
        "dividingTiming", "tempo",           "fm",          "psg",          "dac",      "optimiseOutput",
        "removeRests",    "pitch",           "volume",      "pan",          "drumsByNote", "hihatsByNote",
        "corri",          "psgorri",         "dorri",       "norri",        "voices",   "writeBin",
        "writeAsm",       "asmStyle"};
    return keys;
}

std::string fileKindNames() {
    std::string names;
    for (const auto& info : voiceFileKinds())
        if (info.import != nullptr) names += (names.empty() ? "" : ", ") + std::string(info.cliName);
    return names;
}

// 25 groups of two hexadecimal digits separated by single spaces, nothing else.
bool wellFormedHex(const std::string& text) {
    if (text.size() != kVoiceHexTextLength) return false;
    for (std::size_t i = 2; i < text.size(); i += 3)
        if (text[i] != ' ') return false;
    return parseVoiceHex(text).has_value();
}

void readVoiceEntry(const json& entry, const std::string& key, const std::filesystem::path& setupFolder,
                    std::vector<FmVoice>& voices, std::vector<std::string>* warnings) {
    const std::string shape = key + R"(: must be {"name": text, "hex": voice text} or {"kind": KIND, "file": path})";
    if (!entry.is_object()) refuse(shape);
    const bool fromFile = entry.contains("kind") || entry.contains("file");
    const std::set<std::string> allowed =
        fromFile ? std::set<std::string>{"kind", "file", "index"} : std::set<std::string>{"name", "hex"};
    for (const auto& item : entry.items())
        if (!allowed.count(item.key())) refuse(key + "." + item.key() + ": unknown key in this voice entry");

    if (!fromFile) {
        if (!entry.contains("name") || !entry.contains("hex")) refuse(shape);
        if (!entry["name"].is_string()) refuse(key + ".name: must be a text");
        const json& hex = entry["hex"];
        if (!hex.is_string() || !wellFormedHex(hex.get<std::string>()))
            refuse(key + ".hex: must be 25 two-digit hexadecimal numbers separated by single spaces");
        voices.push_back(*parseVoiceHex(hex.get<std::string>()));
        return;
    }

    if (!entry.contains("kind") || !entry.contains("file")) refuse(shape);
    const json& kindValue = entry["kind"];
    const VoiceKindInfo* kind =
        kindValue.is_string() ? findVoiceKindByCliName(kindValue.get<std::string>()) : nullptr;
    if (kind == nullptr || kind->import == nullptr)
        refuse(key + ".kind: must be one of " + fileKindNames() + ", not " + shown(kindValue));
    const json& fileValue = entry["file"];
    if (!fileValue.is_string() || fileValue.get<std::string>().empty())
        refuse(key + ".file: must be the path of a voice file");
    const std::string fileText = fileValue.get<std::string>();
    const std::filesystem::path file = setupFolder / pathFromUtf8(fileText);

    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) refuse(key + ".file: there is no file " + fileText);
    const ImportResult result = importVoiceFile(kind->kind, file);
    if (!result.ok()) refuse(key + " (" + fileText + "): " + result.message);
    if (warnings != nullptr) {
        if (kind->kindWarning != nullptr) warnings->push_back(key + " (" + fileText + "): " + kind->kindWarning);
        if (result.ssgEgWarning) warnings->push_back(key + " (" + fileText + "): " + kTfiSsgEgWarning);
    }

    const int count = static_cast<int>(result.voices.size());
    if (entry.contains("index")) {
        const int index = integerIn(entry["index"], key + ".index", 0, count - 1,
                                    " (the file holds " + std::to_string(count) + " voices)");
        voices.push_back(result.voices[static_cast<std::size_t>(index)].voice);
        return;
    }
    for (const auto& v : result.voices) {
        // Stop early: the caller refuses a list that is too long anyway.
        if (static_cast<int>(voices.size()) > SongVoiceList::kCapacity) return;
        voices.push_back(v.voice);
    }
}

SongChoices readSetup(const json& root, const std::filesystem::path& setupFolder, int channelCount,
                      std::vector<std::string>* warnings) {
    if (!root.is_object()) refuse("The song setup file must hold one JSON object");
    for (const auto& item : root.items())
        if (!knownKeys().count(item.key())) refuse(item.key() + ": unknown key");

    SongChoices c = initialSongChoices(channelCount);
    SongSettings& s = c.settings;
    const auto has = [&](const char* key) { return root.contains(key); };

    // Options first: the ranges of the counts and the map lengths depend on them.
    for (const auto& [key, field] : std::initializer_list<std::pair<const char*, bool*>>{
             {"useNoise", &s.useNoise},
             {"hasDrums", &s.hasDrums},
             {"loopSong", &s.loopSong},
             {"endDacWithE4", &s.endDacWithE4},
             {"optimiseOutput", &s.optimiseOutput},
             {"drumsByNote", &c.maps.drumsByNote},
             {"hihatsByNote", &c.maps.hihatsByNote},
             {"writeBin", &c.writeBin},
             {"writeAsm", &c.writeAsm}}) {
        if (has(key)) *field = boolean(root[key], key);
    }
    if (has("removeRests"))
        s.removeRests = boolean(root["removeRests"], "removeRests") ? RemoveRestsState::Checked : RemoveRestsState::Off;
    if (!c.writeBin && !c.writeAsm) refuse("writeBin, writeAsm: at least one of the two outputs must be true");
    if (has("asmStyle")) {
        const json& style = root["asmStyle"];
        if (style == "plain") {
            c.asmStyle = AsmStyle::Plain;
        } else if (style == "smps2asm") {
            c.asmStyle = AsmStyle::Smps2asm;
        } else {
            refuse("asmStyle: must be \"plain\" or \"smps2asm\", not " + shown(style));
        }
    }

    if (has("fmChannelCount")) {
        s.fmChannelCount = s.hasDrums ? integerIn(root["fmChannelCount"], "fmChannelCount", 0, kMaxFmChannelsWithDrums,
                                                  " while hasDrums is true")
                                      : integerIn(root["fmChannelCount"], "fmChannelCount", 0, kMaxFmChannels);
    }
    if (has("psgChannelCount")) s.psgChannelCount = integerIn(root["psgChannelCount"], "psgChannelCount", 0, kMaxPsgChannels);
    if (has("dividingTiming")) s.dividingTiming = integerIn(root["dividingTiming"], "dividingTiming", 1, 9);
    if (has("tempo")) s.tempo = integerIn(root["tempo"], "tempo", 1, 9);

    const std::string channelWhat = "XM channels from 1 to " + std::to_string(channelCount) + " or null";
    if (has("fm")) {
        const json& fm = arrayOf(root["fm"], "fm", kMaxFmChannels, channelWhat);
        for (std::size_t k = 0; k < kMaxFmChannels; ++k)
            c.assignment.fm[k] = channel(fm[k], "fm[" + std::to_string(k) + "]", channelCount);
    }
    if (has("psg")) {
        const json& psg = arrayOf(root["psg"], "psg", kMaxPsgChannels, channelWhat);
        for (std::size_t k = 0; k < kMaxPsgChannels; ++k)
            c.assignment.psg[k] = channel(psg[k], "psg[" + std::to_string(k) + "]", channelCount);
    }
    if (has("dac")) c.assignment.dac = channel(root["dac"], "dac", channelCount);

    if (has("pitch")) c.channels.pitch = integers<kPitchSlots>(root["pitch"], "pitch", kPitchMin, kPitchMax);
    if (has("volume")) c.channels.volume = integers<kVolumeSlots>(root["volume"], "volume", kVolumeMin, kVolumeMax);
    if (has("pan")) {
        const auto pan = integers<kPanSlots>(root["pan"], "pan", 0, static_cast<int>(PanChoice::Random));
        for (std::size_t i = 0; i < kPanSlots; ++i) c.channels.pan[i] = static_cast<PanChoice>(pan[i]);
    }

    // The keying decides the length of the drum and hi-hat maps; a map left
    // out starts as the window starts it for that keying.
    setDrumKeying(c.maps, c.maps.drumsByNote);
    setHiHatKeying(c.maps, c.maps.hihatsByNote);
    if (has("corri")) c.maps.corri = mapFromJson(root["corri"], "corri", kInstrumentKeyCount, 0, 255);
    if (has("psgorri")) c.maps.psgorri = mapFromJson(root["psgorri"], "psgorri", kInstrumentKeyCount, 0, kPsgVoiceCount - 1);
    if (has("dorri")) {
        c.maps.dorri = mapFromJson(root["dorri"], "dorri", c.maps.drumsByNote ? kNoteKeyCount : kInstrumentKeyCount,
                                kFirstDacSample, kLastDacSample,
                                c.maps.drumsByNote ? " (drumsByNote is true)" : " (drumsByNote is false)");
    }
    if (has("norri")) {
        c.maps.norri = mapFromJson(root["norri"], "norri", c.maps.hihatsByNote ? kNoteKeyCount : kInstrumentKeyCount,
                                static_cast<int>(HiHatKind::Open), static_cast<int>(HiHatKind::Closed),
                                c.maps.hihatsByNote ? " (hihatsByNote is true)" : " (hihatsByNote is false)");
    }

    if (has("voices")) {
        const json& list = root["voices"];
        if (!list.is_array()) refuse("voices: must be an array of voice entries");
        for (std::size_t i = 0; i < list.size(); ++i) {
            readVoiceEntry(list[i], "voices[" + std::to_string(i) + "]", setupFolder, c.voices, warnings);
            if (static_cast<int>(c.voices.size()) > SongVoiceList::kCapacity)
                refuse("voices: a song holds at most 256 ($100) voices; these entries give more");
        }
    }
    return c;
}

// The parser's own message without its "[json.exception....] " prefix.
std::string parserMessage(const std::string& what) {
    const auto end = what.find("] ");
    return end == std::string::npos ? what : what.substr(end + 2);
}

}  // namespace

SongChoices initialSongChoices(int channelCount) {
    SongChoices c;
    resetChannelAssignment(c.assignment, channelCount);
    c.writeBin = true;
    c.writeAsm = false;
    return c;
}

std::variant<SongChoices, SongSetupError> parseSongSetup(std::string_view text,
                                                         const std::filesystem::path& setupFolder,
                                                         int channelCount, std::vector<std::string>* warnings) {
    try {
        // nlohmann keeps the last of two equal keys; a setup file that says
        // one thing twice is more likely a mistake, so it is refused.
        std::vector<std::set<std::string>> openObjects;
        std::string duplicate;
        const json::parser_callback_t watch = [&](int, json::parse_event_t event, json& parsed) {
            switch (event) {
                case json::parse_event_t::object_start: openObjects.emplace_back(); break;
                case json::parse_event_t::object_end:
                    if (!openObjects.empty()) openObjects.pop_back();
                    break;
                case json::parse_event_t::key:
                    if (!openObjects.empty() && !openObjects.back().insert(parsed.get<std::string>()).second &&
                        duplicate.empty())
                        duplicate = parsed.get<std::string>();
                    break;
                default: break;
            }
            return true;
        };
        json root;
        try {
            root = json::parse(text.begin(), text.end(), watch);
        } catch (const json::parse_error& e) {
            return SongSetupError{kSetupErrorExitCode,
                                  "The song setup file is not valid JSON: " + parserMessage(e.what())};
        }
        if (!duplicate.empty()) return SongSetupError{kSetupErrorExitCode, duplicate + ": key given twice"};
        return readSetup(root, setupFolder, channelCount, warnings);
    } catch (const Refusal& r) {
        return SongSetupError{kSetupErrorExitCode, r.message};
    } catch (const std::exception& e) {
        return SongSetupError{kSetupErrorExitCode, std::string("The song setup file cannot be read: ") + e.what()};
    } catch (...) {
        return SongSetupError{kSetupErrorExitCode, "The song setup file cannot be read"};
    }
}

}  // namespace ferro
