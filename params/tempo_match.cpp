#include "params/tempo_match.hpp"

#include <cmath>
#include <cstdlib>

namespace ferro {

namespace {

constexpr int kFramesPerSecond = 60;  // the driver runs once per NTSC frame
constexpr int kLargestChoice = 9;     // the dividing timing and tempo lists hold 1..9

// Whole milliseconds as the user reads them.
std::string ms(double value) { return std::to_string(static_cast<long long>(std::lround(value))) + " ms"; }

// A tracker plays a row in speed ticks of 2.5 / BPM seconds.
double moduleRowMs(int speed, int bpm) { return speed * 2500.0 / bpm; }

// The frames a row of the song lasts, as a fraction: Sonic 1 holds a row
// div x T / (T - 1) frames, Sonic 2 div x 256 / T.
struct RowFrames {
    long long frames;
    long long per;
};
RowFrames songRowFrames(const DriverProfile& driver, int div, int tempo) {
    if (driver.tempoRule == TempoRule::Accumulator) return {256LL * div, tempo};
    return {static_cast<long long>(div) * tempo, tempo - 1};
}

}  // namespace

std::optional<TempoMatch> matchModuleTempo(int speed, int bpm, SoundDriver driverId) {
    if (speed <= 0 || bpm <= 0) return std::nullopt;
    const DriverProfile& driver = driverProfile(driverId);
    // A module row is speed x 150 / BPM frames. The distance of a choice,
    // |its row's frames - speed x 150 / BPM|, is kept as a fraction
    // off / under so that choices compare exactly.
    long long bestOff = -1, bestUnder = 1;
    TempoMatch best;
    // Tempo 1 never advances a Sonic 1 song.
    const int firstTempo = driver.tempoRule == TempoRule::Accumulator ? driver.minTempo : 2;
    for (int div = 1; div <= kLargestChoice; ++div) {
        for (int tempo = firstTempo; tempo <= driver.maxTempo; ++tempo) {
            const RowFrames row = songRowFrames(driver, div, tempo);
            const long long off = std::llabs(row.frames * bpm - 150LL * speed * row.per);
            const long long under = row.per * bpm;
            if (bestOff >= 0 && off * bestUnder >= bestOff * under) continue;
            bestOff = off;
            bestUnder = under;
            best.dividingTiming = div;
            best.tempo = tempo;
        }
    }
    best.moduleRowMs = moduleRowMs(speed, bpm);
    const RowFrames row = songRowFrames(driver, best.dividingTiming, best.tempo);
    best.songRowMs = 1000.0 * static_cast<double>(row.frames) / (static_cast<double>(row.per) * kFramesPerSecond);
    // How much faster or slower the song plays than the tracker.
    const double ratio = best.moduleRowMs / best.songRowMs;
    const long percent = std::lround(std::abs(ratio - 1) * 100);
    best.text = "a row every " + ms(best.moduleRowMs) + " in the module, " + ms(best.songRowMs) + " in the song: " +
                (percent == 0 ? std::string("the same speed")
                              : std::to_string(percent) + (ratio > 1 ? "% faster" : "% slower"));
    return best;
}

std::string moduleTempoText(int speed, int bpm) {
    std::string text = "speed " + std::to_string(speed) + ", BPM " + std::to_string(bpm);
    if (speed > 0 && bpm > 0) text += ": a row every " + ms(moduleRowMs(speed, bpm));
    return text;
}

}  // namespace ferro
