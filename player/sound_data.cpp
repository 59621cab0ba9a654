#include "player/sound_data.hpp"

#include <cmath>
#include <numbers>
#include <system_error>

#include "base/paths.hpp"

namespace ferro {

namespace fs = std::filesystem;

std::string sonic2Summary(const SoundData& data);

namespace {

constexpr std::array<const char*, kDrumSampleCount> kDrumNames{"kick", "snare", "timpani"};

std::uint8_t toUnsigned(double v) {
    const double clamped = std::fmax(-1.0, std::fmin(1.0, v));
    return static_cast<std::uint8_t>(std::lround(128.0 + clamped * 127.0));
}

// A small deterministic noise source, so that every render of the snare is
// the same bytes.
class Noise {
public:
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    std::uint32_t state_ = 0x1234567u;
};

// The synthesised drums are as long as the game's (two values per DPCM byte)
// and made for the rate of their own pitch, so that the timpani's other
// pitches raise and lower them as they do the game's. `wave` gives the value
// (-1..1) at time t seconds, the rate and the value's index.
template <typename Wave>
Bytes synthesiseAt(double rate, std::size_t values, Wave wave) {
    Bytes out(values);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = toUnsigned(wave(static_cast<double>(i) / rate, rate, i));
    return out;
}

template <typename Wave>
Bytes synthesise(DrumSample which, Wave wave) {
    const auto k = static_cast<std::size_t>(which);
    return synthesiseAt(dacRate(kDrumPitches[k]), kDpcmSizes[k] * 2, wave);
}

// Sonic 2's samples: a drum of the program's own for each, as long as the
// game's and made for the rate of the note that plays it plain.
double sonic2Rate(std::size_t sample) {
    static constexpr std::array<std::uint8_t, kSonic2SampleCount> kPlainRates{0x17, 0x01, 0x06, 0x08,
                                                                              0x1B, 0x0A, 0x1B};
    return kZ80Clock / sonic2DacCycles(kPlainRates[sample]);
}

// A pitched drum: a sine falling from `from` to `to` Hz, decaying in `decay`
// seconds, with `noisy` of noise.
Bytes synthPitched(std::size_t sample, double from, double to, double decay, double noisy) {
    Noise noise;
    double phase = 0;
    return synthesiseAt(sonic2Rate(sample), kSonic2SampleSizes[sample] * 2, [&](double t, double rate, std::size_t) {
        phase += 2.0 * std::numbers::pi * (to + (from - to) * std::exp(-t / 0.03)) / rate;
        return std::exp(-t / decay) * ((1.0 - noisy) * std::sin(phase) + noisy * noise.next());
    });
}

std::vector<DacSample> sonic2Drums() {
    std::vector<DacSample> drums(kSonic2SampleCount);
    drums[0].pcm = synthPitched(0, 190, 50, 0.07, 0.0);     // kick
    drums[1].pcm = synthPitched(1, 220, 185, 0.04, 0.6);    // snare
    drums[2].pcm = synthPitched(2, 1200, 900, 0.03, 0.85);  // clap
    drums[3].pcm = synthPitched(3, 300, 1500, 0.09, 0.5);   // scratch
    drums[4].pcm = synthPitched(4, 110, 98, 0.3, 0.05);     // timpani
    drums[5].pcm = synthPitched(5, 240, 160, 0.12, 0.05);   // tom
    drums[6].pcm = synthPitched(6, 420, 330, 0.08, 0.05);   // bongo
    return drums;
}

Bytes synthKick() {
    double phase = 0;
    return synthesise(DrumSample::Kick, [&](double t, double rate, std::size_t i) {
        const double freq = 48.0 + 140.0 * std::exp(-t / 0.025);
        phase += 2.0 * std::numbers::pi * freq / rate;
        const double click = i < 24 ? 0.4 * (1.0 - static_cast<double>(i) / 24.0) : 0.0;
        return 0.95 * std::exp(-t / 0.07) * std::sin(phase) + click;
    });
}

Bytes synthSnare() {
    Noise noise;
    double phase = 0;
    double lowPassed = 0;
    return synthesise(DrumSample::Snare, [&](double t, double rate, std::size_t) {
        phase += 2.0 * std::numbers::pi * 185.0 / rate;
        lowPassed += 0.5 * (noise.next() - lowPassed);
        const double body = 0.55 * std::exp(-t / 0.025) * std::sin(phase);
        const double rattle = 0.75 * std::exp(-t / 0.045) * lowPassed;
        return body + rattle;
    });
}

Bytes synthTimpani() {
    double phase = 0;
    return synthesise(DrumSample::Timpani, [&](double t, double rate, std::size_t) {
        const double freq = 98.0 * (1.0 + 0.06 * std::exp(-t / 0.05));
        phase += 2.0 * std::numbers::pi * freq / rate;
        const double attack = std::fmin(1.0, t / 0.004);
        const double tone = std::sin(phase) + 0.35 * std::sin(1.51 * phase) + 0.15 * std::sin(1.99 * phase);
        return 0.7 * attack * std::exp(-t / 0.3) * tone;
    });
}

// The folder that holds psg/ and dac/: the one named, or its sound/ folder.
fs::path soundFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder / "sound", ec)) return folder / "sound";
    return folder;
}

std::string sizeProblem(const fs::path& file, std::size_t got, std::size_t want, const char* what) {
    return utf8FromPath(file) + " is " + std::to_string(got) + " bytes, not " + std::to_string(want) + ": " + what;
}

}  // namespace

namespace {
constexpr std::array<std::uint8_t, 16> kDelta{0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40,
                                              0x80, 0xFF, 0xFE, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0};
}  // namespace

Bytes dpcmRoundTrip(std::span<const std::uint8_t> pcm) {
    Bytes out;
    out.reserve(pcm.size());
    std::uint8_t acc = 0x80;
    const std::size_t values = pcm.size() - pcm.size() % 2;
    for (std::size_t i = 0; i < values; ++i) {
        int best = 0;
        for (int k = 1; k < 16; ++k) {
            const auto value = [&](int d) { return static_cast<std::uint8_t>(acc + kDelta[static_cast<std::size_t>(d)]); };
            if (std::abs(value(k) - pcm[i]) < std::abs(value(best) - pcm[i])) best = k;
        }
        acc = static_cast<std::uint8_t>(acc + kDelta[static_cast<std::size_t>(best)]);
        out.push_back(acc);
    }
    return out;
}

std::uint8_t sonic2RateByte(double hz) {
    const double cycles = std::floor(kZ80Clock / hz);
    return static_cast<std::uint8_t>(1 + static_cast<int>(std::floor((cycles - 141) / 13)));
}

Bytes decodeDpcm(std::span<const std::uint8_t> dpcm) {
    Bytes out;
    out.reserve(dpcm.size() * 2);
    std::uint8_t acc = 0x80;
    for (const std::uint8_t b : dpcm) {
        acc = static_cast<std::uint8_t>(acc + kDelta[b >> 4]);
        out.push_back(acc);
        acc = static_cast<std::uint8_t>(acc + kDelta[b & 0x0F]);
        out.push_back(acc);
    }
    return out;
}

int dacCyclesAfterHigh(int pitch) { return 99 + 13 * (pitch == 0 ? 256 : pitch); }
int dacCyclesAfterLow(int pitch) { return 176 + 13 * (pitch == 0 ? 256 : pitch); }
double dacRate(int pitch) { return 2.0 * kZ80Clock / (dacCyclesAfterHigh(pitch) + dacCyclesAfterLow(pitch)); }

SoundData builtInSoundData(SoundDriver driver) {
    SoundData data;
    data.driver = driver;
    if (driver == SoundDriver::Sonic2) {
        data.drums = sonic2Drums();
        return data;
    }
    data.drums.resize(kDrumSampleCount);
    data.drums[0].pcm = synthKick();
    data.drums[1].pcm = synthSnare();
    data.drums[2].pcm = synthTimpani();
    return data;
}

SoundData soundDataFor(SoundDriver driver, const fs::path& folder) {
    if (folder.empty()) return builtInSoundData(driver);
    return driver == SoundDriver::Sonic2 ? loadSonic2SoundData(folder) : loadSoundData(folder);
}

SoundData loadSoundData(const fs::path& folder) {
    SoundData data = builtInSoundData();
    data.folder = folder;
    const fs::path sound = soundFolder(folder);
    for (int n = 1; n <= kPsgEnvelopeCount; ++n) {
        const std::size_t k = static_cast<std::size_t>(n - 1);
        const fs::path file = sound / "psg" / ("psg" + std::to_string(n) + ".bin");
        const std::string fallback = "envelope " + std::to_string(n) + " plays flat";
        const auto bytes = readWholeFile(file, 1u << 20);
        if (!bytes) {
            data.problems.push_back(utf8FromPath(file) + " cannot be read: " + fallback);
        } else if (bytes->size() != kPsgEnvelopeSizes[k]) {
            data.problems.push_back(sizeProblem(file, bytes->size(), kPsgEnvelopeSizes[k], fallback.c_str()));
        } else if (bytes->back() != kEnvelopeHold) {
            // Without its closing hold the driver reads on past the envelope.
            data.problems.push_back(utf8FromPath(file) + " does not end with 80h: " + fallback);
        } else {
            data.psgEnvelopes[k] = *bytes;
        }
    }
    for (std::size_t k = 0; k < kDrumSampleCount; ++k) {
        const fs::path file = sound / "dac" / (std::string(kDrumNames[k]) + ".dpcm");
        const std::string fallback = std::string("the built-in ") + kDrumNames[k] + " plays";
        const auto bytes = readWholeFile(file, 1u << 20);
        if (!bytes) {
            data.problems.push_back(utf8FromPath(file) + " cannot be read: " + fallback);
        } else if (bytes->size() != kDpcmSizes[k]) {
            data.problems.push_back(sizeProblem(file, bytes->size(), kDpcmSizes[k], fallback.c_str()));
        } else {
            data.drums[k].pcm = decodeDpcm(*bytes);
            data.drums[k].fromFolder = true;
        }
    }
    const fs::path sega = sound / "dac" / "sega.pcm";
    const char* silent = "the SEGA voice plays silent";
    const auto bytes = readWholeFile(sega, 1u << 20);
    if (!bytes) {
        data.problems.push_back(utf8FromPath(sega) + " cannot be read: " + silent);
    } else if (bytes->size() != kSegaPcmSize) {
        data.problems.push_back(sizeProblem(sega, bytes->size(), kSegaPcmSize, silent));
    } else {
        data.sega = {*bytes, true};
    }
    return data;
}

std::string SoundData::summary() const {
    if (driver == SoundDriver::Sonic2) return sonic2Summary(*this);
    int envelopes = 0;
    for (const auto& envelope : psgEnvelopes) envelopes += envelope ? 1 : 0;
    std::vector<std::string> own;
    std::vector<std::string> built;
    for (std::size_t k = 0; k < kDrumSampleCount; ++k)
        (drums[k].fromFolder ? own : built).push_back(kDrumNames[k]);
    const auto join = [](const std::vector<std::string>& names) {
        std::string s;
        for (std::size_t i = 0; i < names.size(); ++i) s += (i ? ", " : "") + names[i];
        return s;
    };
    const std::string segaVoice = sega.fromFolder ? "; SEGA voice" : "; SEGA voice silent";
    if (envelopes == 0 && own.empty() && !sega.fromFolder)
        return "Sound data: built in (flat PSG envelopes; synthesised kick, snare and timpani" + segaVoice + ")";
    std::string s = "Sound data: " + utf8FromPath(folder) + " (";
    s += envelopes == kPsgEnvelopeCount ? std::string("PSG envelopes")
                                        : std::to_string(envelopes) + " of 9 PSG envelopes, the others flat";
    if (!own.empty()) s += "; " + join(own);
    if (!built.empty()) s += "; synthesised " + join(built);
    return s + segaVoice + ")";
}

}  // namespace ferro
