// Sonic 2's sound data from a user's copy of the disassembly: the PSG
// envelopes as `db` lines of the driver's source, the seven DAC samples in
// whichever of the three layouts the disassembly has had.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/paths.hpp"
#include "player/sound_data.hpp"

namespace ferro {

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, kSonic2SampleCount> kSampleNames{"kick",    "snare", "clap", "scratch",
                                                                   "timpani", "tom",   "bongo"};
constexpr std::array<const char*, kSonic2SampleCount> kFileNames{"Kick",    "Snare", "Clap", "Scratch",
                                                                 "Timpani", "Tom",   "Bongo"};
// The rate of notes 88-91 relative to their sample's own, as the current
// disassembly scales them (in hundredths); 81-87 play at the sample's rate.
constexpr std::array<int, 10> kScaledRates{130, 120, 97, 95, 170, 130, 110, 200, 175, 130};
constexpr std::uintmax_t kMaxFile = 1u << 20;

// The disassembly's top folder: the one named, or the parent of a sound
// folder named.
fs::path topFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::exists(folder / "s2.sounddriver.asm", ec) && fs::exists(folder.parent_path() / "s2.sounddriver.asm", ec))
        return folder.parent_path();
    return folder;
}

std::optional<int> parseNumber(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && (text.back() == 'h' || text.back() == 'H')) {
        base = 16;
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : 99;
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
    }
    return value <= 0xFF ? std::optional(value) : std::nullopt;
}

// The bytes of the `db` lines from `label` on, up to and with the first 80h,
// or nothing when the label or a well-formed envelope is not there.
std::optional<Bytes> envelopeAfter(const std::string& source, const std::string& label) {
    std::size_t at = 0;
    while ((at = source.find(label, at)) != std::string::npos) {
        const std::size_t end = at + label.size();
        const bool whole = (at == 0 || source[at - 1] == '\n') && end < source.size() &&
                           (source[end] == ':' || std::isspace(static_cast<unsigned char>(source[end])));
        if (whole) break;
        at = end;
    }
    if (at == std::string::npos) return std::nullopt;
    Bytes out;
    // The label's own line may hold the first bytes.
    std::size_t line = at + label.size();
    while (line != std::string::npos && out.size() < 256) {
        const std::size_t next = source.find('\n', line + 1);
        std::string_view text(source.data() + line + 1, (next == std::string::npos ? source.size() : next) - line - 1);
        text = text.substr(0, text.find(';'));
        const std::size_t db = text.find("db");
        if (db == std::string_view::npos) {
            if (text.find_first_not_of(" \t\r") == std::string_view::npos) {
                line = next;
                continue;
            }
            return std::nullopt;
        }
        text.remove_prefix(db + 2);
        while (!text.empty()) {
            const std::size_t comma = text.find(',');
            const auto value = parseNumber(text.substr(0, comma));
            if (!value) return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(*value));
            if (*value == kEnvelopeHold) return out;
            if (comma == std::string_view::npos) break;
            text.remove_prefix(comma + 1);
        }
        line = next;
    }
    return std::nullopt;
}

void readEnvelopes(SoundData& data, const fs::path& top) {
    const fs::path driver = top / "s2.sounddriver.asm";
    const auto bytes = readWholeFile(driver, 8 * kMaxFile);
    if (!bytes) {
        data.problems.push_back(utf8FromPath(driver) + " cannot be read: the PSG envelopes play flat");
        return;
    }
    const std::string source(bytes->begin(), bytes->end());
    for (int n = 1; n <= kSonic2EnvelopeCount; ++n) {
        auto envelope = envelopeAfter(source, "zPSG_Env" + std::to_string(n));
        if (envelope)
            data.psgEnvelopes[static_cast<std::size_t>(n - 1)] = std::move(envelope);
        else
            data.problems.push_back(utf8FromPath(driver) + " has no readable zPSG_Env" + std::to_string(n) +
                                    ": envelope " + std::to_string(n) + " plays flat");
    }
}

// A WAV's samples as 8-bit unsigned mono, and its rate; 8-, 16-, 24- and
// 32-bit PCM, any channel count.
struct Wave {
    Bytes pcm;
    std::uint32_t rate = 0;
};

std::optional<Wave> readWave(std::span<const std::uint8_t> file) {
    ByteReader r(file);
    const auto riff = r.text(4);
    r.skip(4);
    const auto wave = r.text(4);
    if (!riff || !wave || *riff != "RIFF" || *wave != "WAVE") return std::nullopt;
    std::optional<Wave> out;
    std::uint16_t channels = 0, bits = 0;
    while (!r.atEnd()) {
        const auto id = r.text(4);
        const auto size = r.u32le();
        if (!id || !size) return std::nullopt;
        auto chunk = r.sub(*size);
        if (!chunk) return std::nullopt;
        if (*size % 2) r.skip(1);
        if (*id == "fmt ") {
            const auto format = chunk->u16le();
            const auto ch = chunk->u16le();
            const auto rate = chunk->u32le();
            chunk->skip(6);
            const auto b = chunk->u16le();
            if (!format || !b || (*format != 1 && *format != 0xFFFE) || *ch == 0 || *rate == 0) return std::nullopt;
            if (*b != 8 && *b != 16 && *b != 24 && *b != 32) return std::nullopt;
            channels = *ch;
            bits = *b;
            out = Wave{{}, *rate};
        } else if (*id == "data" && out) {
            const std::size_t width = bits / 8u;
            const std::size_t frames = chunk->size() / (width * channels);
            out->pcm.reserve(frames);
            for (std::size_t f = 0; f < frames; ++f) {
                double sum = 0;
                for (std::size_t c = 0; c < channels; ++c) {
                    const auto raw = chunk->bytes(width);
                    if (!raw) return std::nullopt;
                    // The most significant byte carries the 8-bit value.
                    const int top = (*raw)[width - 1];
                    sum += width == 1 ? top : (top ^ 0x80);
                }
                out->pcm.push_back(static_cast<std::uint8_t>(std::lround(sum / channels)));
            }
            return out;
        }
    }
    return std::nullopt;
}

// The rates the current layout derives from each sample's WAV.
void deriveRates(SoundData& data, const std::array<std::uint32_t, kSonic2SampleCount>& hz) {
    std::size_t scaled = 0;
    for (std::size_t k = 0; k < kSonic2DacNotes.size(); ++k) {
        const std::size_t sample = kSonic2DacNotes[k].sample;
        if (hz[sample] == 0) continue;
        const int percent = k < 7 ? 100 : kScaledRates[scaled++];
        data.sonic2Rates[k] = sonic2RateByte(hz[sample] * percent / 100.0);
    }
}

// One layout: each sample from `name(k)`, read by `decode`. False when the
// layout's first file is not there.
template <typename Name, typename Decode>
bool readSamples(SoundData& data, const char* layout, Name name, Decode decode) {
    std::error_code ec;
    if (!fs::exists(name(0), ec)) return false;
    data.layout = layout;
    for (std::size_t k = 0; k < kSonic2SampleCount; ++k) {
        const fs::path file = name(k);
        const std::string fallback = std::string("the built-in ") + kSampleNames[k] + " plays";
        const auto bytes = readWholeFile(file, kMaxFile);
        if (!bytes) {
            data.problems.push_back(utf8FromPath(file) + " cannot be read: " + fallback);
            continue;
        }
        auto pcm = decode(k, *bytes);
        if (!pcm || pcm->empty()) {
            data.problems.push_back(utf8FromPath(file) + " is not a sample the driver can play: " + fallback);
            continue;
        }
        data.drums[k] = {std::move(*pcm), true};
    }
    return true;
}

void readSamples(SoundData& data, const fs::path& top) {
    const fs::path dac = top / "sound" / "DAC";
    std::array<std::uint32_t, kSonic2SampleCount> hz{};
    const auto wav = [&](std::size_t k) { return dac / (std::string(kFileNames[k]) + ".wav"); };
    const auto dpcm = [&](std::size_t k) { return dac / (std::string(kFileNames[k]) + ".dpcm"); };
    const auto old = [&](std::size_t k) { return dac / ("Sample " + std::to_string(k + 1) + ".bin"); };
    const auto fromWave = [&](std::size_t k, const Bytes& bytes) -> std::optional<Bytes> {
        auto wave = readWave(bytes);
        if (!wave) return std::nullopt;
        hz[k] = wave->rate;
        return dpcmRoundTrip(wave->pcm);
    };
    const auto fromDpcm = [](std::size_t, const Bytes& bytes) -> std::optional<Bytes> { return decodeDpcm(bytes); };
    if (readSamples(data, "WAV samples", wav, fromWave)) {
        deriveRates(data, hz);
        return;
    }
    if (readSamples(data, "DPCM samples", dpcm, fromDpcm)) return;
    if (readSamples(data, "numbered samples", old, fromDpcm)) return;
    data.problems.push_back(utf8FromPath(dac) + " holds no samples (Kick.wav, Kick.dpcm or Sample 1.bin): the "
                                                "built-in drums play");
}

}  // namespace

std::optional<SoundDriver> disassemblyDriver(const fs::path& folder) {
    std::error_code ec;
    const fs::path top = topFolder(folder);
    if (fs::exists(top / "s2.sounddriver.asm", ec) || fs::exists(top / "sound" / "DAC" / "Kick.wav", ec) ||
        fs::exists(top / "sound" / "DAC" / "Kick.dpcm", ec))
        return SoundDriver::Sonic2;
    for (const fs::path& psg : {folder / "sound" / "psg" / "psg1.bin", folder / "psg" / "psg1.bin"})
        if (fs::exists(psg, ec)) return SoundDriver::Sonic1;
    return std::nullopt;
}

SoundData loadSonic2SoundData(const fs::path& folder) {
    SoundData data = builtInSoundData(SoundDriver::Sonic2);
    data.folder = folder;
    const fs::path top = topFolder(folder);
    readEnvelopes(data, top);
    readSamples(data, top);
    return data;
}

std::string sonic2Summary(const SoundData& data) {
    int envelopes = 0;
    for (const auto& envelope : data.psgEnvelopes) envelopes += envelope ? 1 : 0;
    std::string own, built;
    for (std::size_t k = 0; k < data.drums.size() && k < kSampleNames.size(); ++k) {
        std::string& list = data.drums[k].fromFolder ? own : built;
        list += (list.empty() ? "" : ", ") + std::string(kSampleNames[k]);
    }
    if (envelopes == 0 && own.empty())
        return "Sound data: built in for Sonic 2 (flat PSG envelopes; synthesised kick, snare, clap, scratch, "
               "timpani, tom and bongo)";
    std::string s = "Sound data: Sonic 2 disassembly " + utf8FromPath(data.folder) + " (";
    s += envelopes == kSonic2EnvelopeCount ? std::string("PSG envelopes")
                                           : std::to_string(envelopes) + " of 13 PSG envelopes, the others flat";
    if (!own.empty()) s += "; " + data.layout + ": " + own;
    if (!built.empty()) s += "; synthesised " + built;
    return s + ")";
}

}  // namespace ferro
