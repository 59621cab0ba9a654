#pragma once
// One YM2612 FM voice: 25 raw register bytes in SMPS operator order 1, 3, 2, 4.
#include <array>
#include <cstdint>

namespace ferro {

inline constexpr int kFmVoiceSize = 25;

struct FmVoice {
    std::array<std::uint8_t, kFmVoiceSize> bytes{};
    bool operator==(const FmVoice&) const = default;
};

}  // namespace ferro
