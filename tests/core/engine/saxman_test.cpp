#include "engine/saxman.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine_test_util.hpp"

namespace ferro {
namespace {

using test::hex;
using test::show;

// Unpacks as the driver does: a little-endian count, then descriptor bytes
// read from bit 0 (1 a literal, 0 a copy); stops at the first read past the
// count. Throws on the copy the driver would make from its own write position.
Bytes unpack(const Bytes& packed) {
    if (packed.size() < 2) throw std::runtime_error("no count");
    const std::size_t end = 2 + static_cast<std::size_t>(packed[0] | packed[1] << 8);
    if (end > packed.size()) throw std::runtime_error("count past the data");
    Bytes out;
    std::size_t at = 2;
    while (at < end) {
        const int descriptor = packed[at++];
        for (int bit = 0; bit < 8 && at < end; ++bit) {
            if ((descriptor & (1 << bit)) != 0) {
                out.push_back(packed[at++]);
                continue;
            }
            if (at + 1 >= end) return out;
            const int b0 = packed[at++], b1 = packed[at++];
            const std::size_t p = static_cast<std::size_t>(((b1 & 0xF0) << 4 | b0) + 0x12) & 0xFFF;
            const int length = (b1 & 0x0F) + 3;
            if (p == out.size()) throw std::runtime_error("a copy from the write position");
            for (int k = 0; k < length; ++k) out.push_back(p < out.size() ? out[p + static_cast<std::size_t>(k)] : 0);
        }
    }
    return out;
}

TEST(Saxman, PackedFormsUnpackToTheirBytes) {
    struct Case {
        const char* what;
        Bytes data;
        std::string packed;  // empty: only the round trip is checked
    };
    Bytes distinct;  // no three bytes repeat: literals only
    for (int k = 0; k < 17; ++k) distinct.push_back(static_cast<std::uint8_t>(k * 7));
    std::string literalOnly = "14 00 FF";
    for (int k = 0; k < 17; ++k) {
        if (k == 8) literalOnly += " FF";
        if (k == 16) literalOnly += " 01";
        literalOnly += " " + show({static_cast<std::uint8_t>(k * 7)});
    }
    const std::vector<Case> cases = {
        {"empty", {}, "00 00"},
        {"literals only, FF before each eight", distinct, literalOnly},
        {"a run copies from the byte before it", hex("A1 A1 A1 A1 A1 A1 A1 A1"), "04 00 01 A1 EE F4"},
        {"zeroes at the start come from past the output", Bytes(10, 0), "03 00 00 ED F7"},
        {"a run longer than one copy", Bytes(40, 0x55), ""},
        {"the copy from the write position is never written", hex("00 00 00 12 00 00 00"), ""},
    };
    for (const Case& c : cases) {
        const Bytes packed = saxmanPack(c.data);
        if (!c.packed.empty()) {
            EXPECT_EQ(show(packed), c.packed) << c.what;
        }
        EXPECT_EQ(show(unpack(packed)), show(c.data)) << c.what;
    }
}

TEST(Saxman, ReferenceSongsRoundTrip) {
    const std::filesystem::path folder = std::filesystem::path(FERRO_TEST_DATA_DIR) / "sonic2-reference";
    int songs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".bin") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes song{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const Bytes packed = saxmanPack(song);
        EXPECT_EQ(unpack(packed), song) << entry.path();
        // Never longer than the literal-only form.
        EXPECT_LE(packed.size(), 2 + song.size() + (song.size() + 7) / 8) << entry.path();
        ++songs;
    }
    EXPECT_EQ(songs, 12);
}

}  // namespace
}  // namespace ferro
