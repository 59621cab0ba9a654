#include "song/song_setup.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <span>

#include <nlohmann/json.hpp>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"
#include "params/song_settings.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"
#include "xm/xm_parser.hpp"

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

// An entry of an array key as the file names it and, where the entry is a
// control of the windows, as the windows name it: "fm[5] (FM6)", counted
// from 0 in the file and from 1 on the screen.
std::string entryKey(const std::string& key, std::size_t i, const SongSettings* settings = nullptr,
                     bool byNote = false) {
    const std::string base = key + "[" + std::to_string(i) + "]";
    const int n = static_cast<int>(i);
    std::string control;
    if (key == "fm" || ((key == "pitch" || key == "volume" || key == "pan") && n < kFirstPsgSlot))
        control = "FM" + std::to_string(n + 1);
    else if (key == "psg")
        control = settings && settings->useNoise && n + 1 == settings->psgChannelCount ? "Noise"
                                                                                       : "PSG" + std::to_string(n + 1);
    else if (key == "pan")
        control = "DAC";
    else if (key == "volume" && n == kNoiseVolumeSlot)
        control = "Noise";
    else if (key == "pitch" || key == "volume")
        control = "PSG" + std::to_string(n - kFirstPsgSlot + 1);
    else if (key == "corri" || key == "psgorri" || key == "dorri" || key == "norri")
        control = (byNote ? "note " : "instrument ") + std::to_string(n + 1);
    return control.empty() ? base : base + " (" + control + ")";
}

template <std::size_t N>
std::array<int, N> integers(const json& value, const std::string& key, int low, int high) {
    arrayOf(value, key, N, "integers from " + std::to_string(low) + " to " + std::to_string(high));
    std::array<int, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = integerIn(value[i], entryKey(key, i), low, high);
    return out;
}

// A map as the byte string the engine reads: position k-1 holds key k.
std::string mapFromJson(const json& value, const std::string& key, std::size_t length, int low, int high,
                        bool byNote = false, const std::string& note = "") {
    if (!value.is_array() || value.size() != length)
        refuse(key + ": must be an array of " + std::to_string(length) + " integers from " + std::to_string(low) +
               " to " + std::to_string(high) + note);
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i)
        out.push_back(static_cast<char>(integerIn(value[i], entryKey(key, i, nullptr, byNote), low, high)));
    return out;
}

// A map as an object keyed by instrument (or note) number holding only the
// entries that differ from the default, applied over `map` (already of the
// right length and holding the defaults).
void mapEntriesFromJson(const json& value, const std::string& key, std::string& map, int low, int high,
                        const std::string& keyWhat) {
    const int keys = static_cast<int>(map.size());
    if (!value.is_object())
        refuse(key + ": must be an object keyed by " + keyWhat + " number (1 to " + std::to_string(keys) + ")");
    for (const auto& item : value.items()) {
        const std::string& name = item.key();
        int k = 0;
        const bool digits = !name.empty() && name.size() <= 3 && name[0] != '0' &&
                            std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digits) k = std::stoi(name);
        if (!digits || k < 1 || k > keys)
            refuse(key + "." + name + ": not " + (keyWhat == "note" ? "a note" : "an instrument") + " number from 1 to " +
                   std::to_string(keys));
        map[static_cast<std::size_t>(k - 1)] = static_cast<char>(integerIn(item.value(), key + "." + name, low, high));
    }
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

// Adds one voice; a list that is already full is refused by the caller.
void addVoice(SongVoiceList& voices, std::string name, const FmVoice& voice) {
    if (voices.add(std::move(name), voice) == AddVoiceResult::Full)
        refuse("voices: a song holds at most 256 ($100) voices; these entries give more");
}

void readVoiceEntry(const json& entry, const std::string& key, const std::filesystem::path& setupFolder,
                    SongVoiceList& voices, std::vector<std::string>* warnings) {
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
        addVoice(voices, latin1FromUtf8(entry["name"].get<std::string>()), *parseVoiceHex(hex.get<std::string>()));
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
    if (!result.ok()) refuse(key + " (" + fileText + "): " + importFailureText(result, fileText));
    if (warnings != nullptr) {
        if (kind->kindWarning != nullptr) warnings->push_back(key + " (" + fileText + "): " + kind->kindWarning);
        if (result.ssgEgWarning) warnings->push_back(key + " (" + fileText + "): " + kTfiSsgEgWarning);
        if (!result.notice.empty()) warnings->push_back(key + " (" + fileText + "): " + result.notice);
    }

    const int count = static_cast<int>(result.voices.size());
    if (entry.contains("index")) {
        const int index = integerIn(entry["index"], key + ".index", 0, count - 1,
                                    " (the file holds " + std::to_string(count) + " voices)");
        const FileVoiceEntry& v = result.voices[static_cast<std::size_t>(index)];
        addVoice(voices, v.name, v.voice);
        return;
    }
    for (const auto& v : result.voices) addVoice(voices, v.name, v.voice);
}

// A Z80 address as the file writes it: hexadecimal digits ("1380"), or as a
// number.
std::optional<int> z80AddressFromJson(const json& v) {
    if (v.is_number_integer()) {
        const auto n = v.get<long long>();
        return n >= 0 && n <= 0xFFFF ? std::optional<int>(static_cast<int>(n)) : std::nullopt;
    }
    if (!v.is_string()) return std::nullopt;
    const std::string text = v.get<std::string>();
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (char ch : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0'
                          : (ch >= 'A' && ch <= 'F')                  ? ch - 'A' + 10
                          : (ch >= 'a' && ch <= 'f')                  ? ch - 'a' + 10
                                                                       : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::string z80AddressText(int address) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(address >> shift) & 15];
    return text;
}

// What the keys of one file are read into.
struct Reading {
    const json& root;
    SongChoices& c;
    const std::filesystem::path& setupFolder;
    int channelCount;
    std::vector<std::string>* warnings;
    bool has(const char* key) const { return root.contains(key); }
};

// One key of a setup file and how it is read. A step without a name runs
// whichever keys the file holds: it checks or completes what the keys above
// it read.
struct SetupKey {
    const char* name;
    void (*read)(const json& value, const std::string& key, Reading& r);
};

const json kAbsent;

template <bool SongChoices::*Field>
void choiceFlag(const json& v, const std::string& key, Reading& r) {
    r.c.*Field = boolean(v, key);
}
template <bool SongSettings::*Field>
void settingFlag(const json& v, const std::string& key, Reading& r) {
    r.c.settings.*Field = boolean(v, key);
}
template <bool InstrumentMaps::*Field>
void keyingFlag(const json& v, const std::string& key, Reading& r) {
    r.c.maps.*Field = boolean(v, key);
}

void assignmentRows(const json& v, const std::string& key, Reading& r, std::span<XmChannelChoice> rows) {
    const std::string what = "XM channels from 1 to " + std::to_string(r.channelCount) + " or null";
    const json& list = arrayOf(v, key, rows.size(), what);
    for (std::size_t k = 0; k < rows.size(); ++k)
        rows[k] = channel(list[k], entryKey(key, k, &r.c.settings), r.channelCount);
}

// A map as the user reads it, only the entries that differ from the default;
// the older whole-array key of the same map must not be given too.
void readableMap(const json& v, const std::string& key, Reading& r, const char* oldKey, std::string& map, int low,
                 int high, bool byNote) {
    if (r.has(oldKey)) refuse(std::string(oldKey) + ", " + key + ": the same map given twice; keep one of the two");
    mapEntriesFromJson(v, key, map, low, high, byNote ? "note" : "instrument");
}

// The keys in the order they are read: options first, as the ranges of the
// counts and the lengths of the maps depend on them.
const SetupKey kSetupKeys[] = {
    {"driver",
     [](const json& v, const std::string& key, Reading& r) {
         const std::optional<SoundDriver> driver = v.is_string() ? driverFromKey(v.get<std::string>()) : std::nullopt;
         if (!driver) refuse(key + ": must be \"sonic1\" or \"sonic2\", not " + shown(v));
         r.c.settings.driver = *driver;
     }},
    {"z80Address",
     [](const json& v, const std::string& key, Reading& r) {
         const std::optional<int> address = z80AddressFromJson(v);
         if (!address || !z80AddressUsable(*address))
             refuse(key + ": must be \"1380\" or an address from \"8000\" to \"FFFF\" (hexadecimal), not " +
                    shown(v));
         r.c.settings.z80Address = *address;
     }},
    {"useNoise", settingFlag<&SongSettings::useNoise>},
    {"hasDrums", settingFlag<&SongSettings::hasDrums>},
    {"loopSong", settingFlag<&SongSettings::loopSong>},
    {"loopSongAtLoad", choiceFlag<&SongChoices::loopSongAtLoad>},
    {"endDacWithE4", settingFlag<&SongSettings::endDacWithE4>},
    {"optimiseOutput", settingFlag<&SongSettings::optimiseOutput>},
    {"moduleEffects", settingFlag<&SongSettings::moduleEffects>},
    {"drumsByNote", keyingFlag<&InstrumentMaps::drumsByNote>},
    {"hihatsByNote", keyingFlag<&InstrumentMaps::hihatsByNote>},
    {"writeBin", choiceFlag<&SongChoices::writeBin>},
    {"writeAsm", choiceFlag<&SongChoices::writeAsm>},
    {nullptr,
     [](const json&, const std::string&, Reading& r) {
         // A song loaded with its loop choice, unless the file says otherwise.
         if (!r.has("loopSongAtLoad")) r.c.loopSongAtLoad = r.c.settings.loopSong;
     }},
    {"removeRests",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.settings.removeRests = boolean(v, key) ? RemoveRestsState::Checked : RemoveRestsState::Off;
     }},
    {nullptr,
     [](const json&, const std::string&, Reading& r) {
         if (!r.c.writeBin && !r.c.writeAsm)
             refuse("writeBin, writeAsm: at least one of the two outputs must be true");
     }},
    {"asmStyle",
     [](const json& v, const std::string& key, Reading& r) {
         if (v == "plain")
             r.c.asmStyle = AsmStyle::Plain;
         else if (v == "smps2asm")
             r.c.asmStyle = AsmStyle::Smps2asm;
         else
             refuse(key + ": must be \"plain\" or \"smps2asm\", not " + shown(v));
     }},
    {"fmChannelCount",
     [](const json& v, const std::string& key, Reading& r) {
         SongSettings& s = r.c.settings;
         s.fmChannelCount = s.hasDrums ? integerIn(v, key, 0, kMaxFmChannelsWithDrums, " while hasDrums is true")
                                       : integerIn(v, key, 0, kMaxFmChannels);
     }},
    {"psgChannelCount",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.settings.psgChannelCount = integerIn(v, key, 0, kMaxPsgChannels);
     }},
    {"dividingTiming",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.settings.dividingTiming = integerIn(v, key, kMinTempo, kMaxTempo);
     }},
    {"tempo",
     [](const json& v, const std::string& key, Reading& r) {
         const DriverProfile& driver = driverProfile(r.c.settings.driver);
         const bool sonic1 = driver.id == SoundDriver::Sonic1;
         r.c.settings.tempo = integerIn(v, key, driver.minTempo, driver.maxTempo,
                                        sonic1 ? std::string() : " for " + driverPhrase(driver));
     }},
    {nullptr,
     [](const json&, const std::string&, Reading& r) {
         // A file without a tempo means the fresh load's, in its driver's terms.
         SongSettings& s = r.c.settings;
         if (!r.has("tempo")) s.tempo = convertTempo(s.tempo, SoundDriver::Sonic1, s.driver);
     }},
    {"fm", [](const json& v, const std::string& key, Reading& r) { assignmentRows(v, key, r, r.c.assignment.fm); }},
    {"psg",
     [](const json& v, const std::string& key, Reading& r) { assignmentRows(v, key, r, r.c.assignment.psg); }},
    {"dac",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.assignment.dac = channel(v, key, r.channelCount);
     }},
    {"pitch",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.channels.pitch = integers<kPitchSlots>(v, key, kPitchMin, kPitchMax);
     }},
    {"volume",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.channels.volume = integers<kVolumeSlots>(v, key, kVolumeMin, kVolumeMax);
     }},
    {"pan",
     [](const json& v, const std::string& key, Reading& r) {
         const auto pan = integers<kPanSlots>(v, key, 0, static_cast<int>(PanChoice::Random));
         for (std::size_t i = 0; i < kPanSlots; ++i) r.c.channels.pan[i] = static_cast<PanChoice>(pan[i]);
     }},
    {nullptr,
     [](const json&, const std::string&, Reading& r) {
         // The keying decides the length of the drum and hi-hat maps; a map
         // left out starts as the window starts it for that keying.
         setDrumKeying(r.c.maps, r.c.maps.drumsByNote);
         setHiHatKeying(r.c.maps, r.c.maps.hihatsByNote);
     }},
    // The older files' whole arrays.
    {"corri",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.maps.instrumentVoices = mapFromJson(v, key, kInstrumentKeyCount, 0, 255);
     }},
    {"psgorri",
     [](const json& v, const std::string& key, Reading& r) {
         r.c.maps.instrumentPsgEnvelopes = mapFromJson(v, key, kInstrumentKeyCount, 0, kPsgVoiceCount - 1);
     }},
    {"dorri",
     [](const json& v, const std::string& key, Reading& r) {
         const bool byNote = r.c.maps.drumsByNote;
         r.c.maps.drumSamples = mapFromJson(v, key, byNote ? kNoteKeyCount : kInstrumentKeyCount, kFirstDacSample,
                                            kLastDacSample, byNote,
                                            byNote ? " (drumsByNote is true)" : " (drumsByNote is false)");
     }},
    {"norri",
     [](const json& v, const std::string& key, Reading& r) {
         const bool byNote = r.c.maps.hihatsByNote;
         r.c.maps.hihatKinds = mapFromJson(v, key, byNote ? kNoteKeyCount : kInstrumentKeyCount,
                                           static_cast<int>(HiHatKind::Open), static_cast<int>(HiHatKind::Closed), byNote,
                                           byNote ? " (hihatsByNote is true)" : " (hihatsByNote is false)");
     }},
    {"instrumentVoices",
     [](const json& v, const std::string& key, Reading& r) {
         readableMap(v, key, r, "corri", r.c.maps.instrumentVoices, 0, 255, false);
     }},
    {"instrumentPsgEnvelopes",
     [](const json& v, const std::string& key, Reading& r) {
         readableMap(v, key, r, "psgorri", r.c.maps.instrumentPsgEnvelopes, 0, kPsgVoiceCount - 1, false);
     }},
    {"drumSamples",
     [](const json& v, const std::string& key, Reading& r) {
         readableMap(v, key, r, "dorri", r.c.maps.drumSamples, kFirstDacSample, kLastDacSample,
                     r.c.maps.drumsByNote);
     }},
    {"hihatKinds",
     [](const json& v, const std::string& key, Reading& r) {
         readableMap(v, key, r, "norri", r.c.maps.hihatKinds, static_cast<int>(HiHatKind::Open),
                     static_cast<int>(HiHatKind::Closed), r.c.maps.hihatsByNote);
     }},
    {"voices",
     [](const json& v, const std::string& key, Reading& r) {
         if (!v.is_array()) refuse(key + ": must be an array of voice entries");
         for (std::size_t i = 0; i < v.size(); ++i)
             readVoiceEntry(v[i], key + "[" + std::to_string(i) + "]", r.setupFolder, r.c.voices, r.warnings);
     }},
};

SongChoices readSetup(const json& root, const std::filesystem::path& setupFolder, int channelCount,
                      std::vector<std::string>* warnings) {
    if (!root.is_object()) refuse("The song setup file must hold one JSON object");
    for (const auto& item : root.items()) {
        const auto known = [&](const SetupKey& k) { return k.name && item.key() == k.name; };
        if (std::none_of(std::begin(kSetupKeys), std::end(kSetupKeys), known)) refuse(item.key() + ": unknown key");
    }
    SongChoices c = initialSongChoices(channelCount);
    Reading reading{root, c, setupFolder, channelCount, warnings};
    for (const SetupKey& key : kSetupKeys) {
        if (key.name == nullptr)
            key.read(kAbsent, "", reading);
        else if (reading.has(key.name))
            key.read(root[key.name], key.name, reading);
    }
    return c;
}

// The parser's own message without its "[json.exception....] " prefix.
std::string parserMessage(const std::string& what) {
    const auto end = what.find("] ");
    return end == std::string::npos ? what : what.substr(end + 2);
}

using ordered = nlohmann::ordered_json;

// The entries of a map that differ from `defaults`, keyed by number.
ordered changedEntries(const std::string& map, const std::string& defaults) {
    ordered out = ordered::object();
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (i < defaults.size() && map[i] == defaults[i]) continue;
        out[std::to_string(i + 1)] = static_cast<unsigned char>(map[i]);
    }
    return out;
}

ordered channelJson(const XmChannelChoice& channel) { return channel ? ordered(*channel) : ordered(nullptr); }

}  // namespace

std::string writeSongSetup(const SongChoices& c) {
    const SongSettings& s = c.settings;
    ordered root;
    root["fmChannelCount"] = s.fmChannelCount;
    root["psgChannelCount"] = s.psgChannelCount;
    root["useNoise"] = s.useNoise;
    root["hasDrums"] = s.hasDrums;
    root["loopSong"] = s.loopSong;
    if (c.loopSongAtLoad != s.loopSong) root["loopSongAtLoad"] = c.loopSongAtLoad;
    root["endDacWithE4"] = s.endDacWithE4;
    root["dividingTiming"] = s.dividingTiming;
    root["tempo"] = s.tempo;
    ordered fm = ordered::array();
    for (const auto& k : c.assignment.fm) fm.push_back(channelJson(k));
    root["fm"] = fm;
    ordered psg = ordered::array();
    for (const auto& k : c.assignment.psg) psg.push_back(channelJson(k));
    root["psg"] = psg;
    root["dac"] = channelJson(c.assignment.dac);
    root["optimiseOutput"] = s.optimiseOutput;
    // Only when chosen: a setup saved without it keeps its bytes.
    if (s.moduleEffects) root["moduleEffects"] = true;
    // A greyed box has done its work on the loaded row streams; a fresh load
    // needs it done again.
    root["removeRests"] = s.removeRests != RemoveRestsState::Off;
    root["pitch"] = c.channels.pitch;
    root["volume"] = c.channels.volume;
    ordered pan = ordered::array();
    for (PanChoice p : c.channels.pan) pan.push_back(static_cast<int>(p));
    root["pan"] = pan;
    root["drumsByNote"] = c.maps.drumsByNote;
    root["hihatsByNote"] = c.maps.hihatsByNote;
    InstrumentMaps defaults;
    setDrumKeying(defaults, c.maps.drumsByNote);
    setHiHatKeying(defaults, c.maps.hihatsByNote);
    root["instrumentVoices"] = changedEntries(c.maps.instrumentVoices, defaults.instrumentVoices);
    root["instrumentPsgEnvelopes"] = changedEntries(c.maps.instrumentPsgEnvelopes, defaults.instrumentPsgEnvelopes);
    root["drumSamples"] = changedEntries(c.maps.drumSamples, defaults.drumSamples);
    root["hihatKinds"] = changedEntries(c.maps.hihatKinds, defaults.hihatKinds);
    root["writeBin"] = c.writeBin;
    root["writeAsm"] = c.writeAsm;
    root["asmStyle"] = c.asmStyle == AsmStyle::Smps2asm ? "smps2asm" : "plain";
    root["driver"] = driverProfile(s.driver).key;
    root["z80Address"] = z80AddressText(s.z80Address);

    // One key a line, one voice a line: it reads and diffs well.
    std::string text = "{\n";
    for (const auto& item : root.items())
        text += "  " + ordered(item.key()).dump() + ": " + item.value().dump() + ",\n";
    text += "  \"voices\": [";
    for (int i = 0; i < c.voices.count(); ++i) {
        ordered entry;
        entry["name"] = utf8FromLatin1(c.voices.name(i));
        entry["hex"] = c.voices.hex(i);
        text += (i == 0 ? "\n    " : ",\n    ") + entry.dump();
    }
    text += c.voices.count() == 0 ? "]\n}\n" : "\n  ]\n}\n";
    return text;
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

std::variant<SongChoices, SongSetupError> readSongSetupFile(const std::filesystem::path& file, int channelCount,
                                                            std::vector<std::string>* warnings) {
    const std::optional<Bytes> text = readWholeFile(file);
    if (!text) return SongSetupError{kSetupErrorExitCode, kSetupFileUnreadable};
    return parseSongSetup(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                          file.parent_path(), channelCount, warnings);
}

std::optional<SongSetupError> loadSongWithSetup(SongModel& model, const Bytes& bytes,
                                                const std::filesystem::path& modulePath, const std::string& setupName,
                                                std::vector<std::string>* warnings) {
    const std::string moduleName = utf8FromPath(modulePath.filename());
    // The message, then what is wrong where in the module.
    std::string where;
    const auto refused = [&](XmError error) {
        std::string message = xmErrorMessage(error);
        if (!where.empty()) message += "\n" + moduleName + ": " + where;
        return SongSetupError{1, message};
    };
    const auto header = parseXmHeader(bytes, &where);
    if (const auto* error = std::get_if<XmError>(&header)) return refused(*error);
    const int channelCount = std::get<XmHeader>(header).channelCount;
    // The load refuses such a module; say so before judging the setup by it.
    if (channelCount < 1) {
        parseXmModule(bytes, &where);  // for what it says is wrong
        return refused(XmError::ReadError);
    }

    SongChoices choices = initialSongChoices(channelCount);
    if (!setupName.empty()) {
        const std::filesystem::path setupPath = std::filesystem::absolute(pathFromUtf8(setupName));
        auto read = readSongSetupFile(setupPath, channelCount, warnings);
        if (auto* error = std::get_if<SongSetupError>(&read)) {
            if (error->message == kSetupFileUnreadable)
                return SongSetupError{kSetupErrorExitCode, "Cannot read the song setup file " + setupName};
            return SongSetupError{error->exitCode, setupName + ": " + error->message};
        }
        choices = std::get<SongChoices>(std::move(read));
    }

    auto parsed = parseXmModule(bytes, &where);
    if (const auto* error = std::get_if<XmError>(&parsed)) return refused(*error);
    XmModule& module = std::get<XmModule>(parsed);
    // The outputs are named after the module and go beside it.
    module.fileName = moduleName;
    module.directory = modulePath.parent_path();
    model.load(std::move(module));
    model.applyChoices(std::move(choices));
    return std::nullopt;
}

std::optional<SongSetupError> openSongSetup(SongModel& model, const std::filesystem::path& file,
                                            std::vector<std::string>* warnings) {
    const XmModule* module = model.module();
    if (!module) return SongSetupError{kSetupErrorExitCode, "no XM file loaded"};
    auto parsed = readSongSetupFile(file, module->channelCount, warnings);
    if (auto* error = std::get_if<SongSetupError>(&parsed)) return *error;
    model.applyChoices(std::get<SongChoices>(std::move(parsed)));
    return std::nullopt;
}

bool saveSongSetup(const SongModel& model, const std::filesystem::path& file) {
    const std::string text = writeSongSetup(model.choices());
    return replaceWholeFile(file, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace ferro
