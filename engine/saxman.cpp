#include "engine/saxman.hpp"

#include <algorithm>

#include "engine/conversion_error.hpp"

namespace ferro {

namespace {

constexpr std::size_t kMinCopy = 3;
constexpr std::size_t kMaxCopy = 18;
constexpr std::size_t kPositions = 0x1000;
// A position past everything written: the copy gives zeroes.
constexpr std::size_t kZeroSource = kPositions - 1;

struct Copy {
    std::size_t source = 0;
    std::size_t length = 0;
};

// The longest copy for data[at..]: from an earlier position (which may run
// on into the bytes it writes), or zeroes from a position past the output.
Copy longestCopy(const Bytes& data, std::size_t at) {
    const std::size_t most = std::min(kMaxCopy, data.size() - at);
    Copy best;
    for (std::size_t from = 0; from < at; ++from) {
        std::size_t n = 0;
        while (n < most && data[from + n] == data[at + n]) ++n;
        if (n > best.length) best = {from, n};
    }
    std::size_t zeroes = 0;
    while (zeroes < most && data[at + zeroes] == 0) ++zeroes;
    if (zeroes > best.length && at < kZeroSource) best = {kZeroSource, zeroes};
    return best;
}

}  // namespace

Bytes saxmanPack(const Bytes& data) {
    if (data.size() >= kPositions) failConversion();
    Bytes stream;
    std::size_t descriptor = 0;
    int items = 8;
    for (std::size_t at = 0; at < data.size();) {
        if (items == 8) {
            descriptor = stream.size();
            stream.push_back(0);
            items = 0;
        }
        const Copy copy = longestCopy(data, at);
        if (copy.length >= kMinCopy) {
            const std::size_t p = (copy.source - 0x12) & 0xFFF;
            stream.push_back(static_cast<std::uint8_t>(p & 0xFF));
            stream.push_back(static_cast<std::uint8_t>(((p >> 4) & 0xF0) | (copy.length - kMinCopy)));
            at += copy.length;
        } else {
            stream[descriptor] = static_cast<std::uint8_t>(stream[descriptor] | (1 << items));
            stream.push_back(data[at++]);
        }
        ++items;
    }
    Bytes packed{static_cast<std::uint8_t>(stream.size() & 0xFF), static_cast<std::uint8_t>(stream.size() >> 8)};
    packed.insert(packed.end(), stream.begin(), stream.end());
    return packed;
}

Bytes storedSongForm(const SongSettings& settings, const Bytes& song) {
    const DriverProfile& driver = driverProfile(settings.driver);
    const bool packed = driver.bufferAddress == settings.z80Address &&
                        song.size() <= static_cast<std::size_t>(driver.bufferSize);
    return packed ? saxmanPack(song) : Bytes{};
}

}  // namespace ferro
