#pragma once
// Made-up FM voices for the tests: every seed gives other bytes, and no two
// neighbouring bytes of one voice are equal, so that a swap shows.
#include <cstdint>
#include <vector>

#include "voices/fm_voice.hpp"

namespace ferro::test {

inline FmVoice voiceOf(int seed) {
    FmVoice v;
    for (int i = 0; i < kFmVoiceSize; ++i) v.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed * 31 + i);
    return v;
}

// The voices one after another, 25 bytes each, as a raw voice file holds them.
inline std::vector<std::uint8_t> raw25(const std::vector<FmVoice>& voices) {
    std::vector<std::uint8_t> out;
    for (const auto& v : voices) out.insert(out.end(), v.bytes.begin(), v.bytes.end());
    return out;
}

}  // namespace ferro::test
