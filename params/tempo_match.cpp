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

}  // namespace

std::optional<TempoMatch> matchModuleTempo(int speed, int bpm) {
    if (speed <= 0 || bpm <= 0) return std::nullopt;
    // A module row is speed x 150 / BPM frames. The distance of a choice,
    // |div x T / (T - 1) - speed x 150 / BPM|, is kept as a fraction
    // off / under so that choices compare exactly.
    long long bestOff = -1, bestUnder = 1;
    TempoMatch best;
    for (int div = 1; div <= kLargestChoice; ++div) {
        for (int tempo = 2; tempo <= kLargestChoice; ++tempo) {
            const long long off = std::llabs(static_cast<long long>(div) * tempo * bpm -
                                             150LL * speed * (tempo - 1));
            const long long under = static_cast<long long>(tempo - 1) * bpm;
            if (bestOff >= 0 && off * bestUnder >= bestOff * under) continue;
            bestOff = off;
            bestUnder = under;
            best.dividingTiming = div;
            best.tempo = tempo;
        }
    }
    best.moduleRowMs = moduleRowMs(speed, bpm);
    best.songRowMs = 1000.0 * best.dividingTiming * best.tempo / ((best.tempo - 1) * kFramesPerSecond);
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
