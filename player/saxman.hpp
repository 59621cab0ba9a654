#pragma once
// Saxman, the compression of Sonic 2's songs: a little-endian byte count,
// then a stream of items, eight to a descriptor byte read from bit 0: a set
// bit is a literal byte, a clear one two bytes b0 b1 copying (b1 AND 0F) + 3
// bytes from position ((b1 AND F0) × 16 + b0 + 12h) AND FFF of a 4 KB window.
// A position below what is unpacked so far copies forward from there
// (overlapping copies repeat), one above gives zeroes; one equal to it would
// copy the driver's buffer onto itself (the last song's bytes) and is
// refused. Unpacking stops at the first read past the count.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/byte_reader.hpp"
#include "player/chip_events.hpp"

namespace ferro {

struct SaxmanSong {
    Bytes bytes;  // empty when refused
    std::optional<std::string> error;
    // Z80 cycles the Sonic 2 driver takes to unpack it.
    std::uint32_t unpackCycles = 0;
};

// Unpacks a stream (its count included) into at most `maxSize` bytes.
SaxmanSong unpackSaxman(std::span<const std::uint8_t> file, std::size_t maxSize);

// Where a song written for `driver` at `address` plays from. A Sonic 2 song
// for the music buffer lies packed in the game (`packed`, its .sax form) and
// the driver unpacks it before the first update: that time is the song's.
SongPlacement writtenSongPlacement(SoundDriver driver, std::uint16_t address, std::span<const std::uint8_t> packed);

}  // namespace ferro
