#pragma once
// The Saxman form a compressed Sonic 2 song slot holds: a little-endian count
// of the bytes that follow, then an LZSS stream the driver unpacks into its
// song buffer.
//
// The stream: a descriptor byte, then up to eight items, its bits read from
// bit 0: 1 is a literal byte; 0 is a copy of two bytes b0 b1, from position
// p = ((b1 & F0) << 4 | b0) + 12h (12 bits) and (b1 & 0F) + 3 bytes long. A p
// below the output so far copies forward byte by byte (an overlap repeats);
// a p above it gives that many zeroes; a p equal to it would copy the buffer
// onto itself, leaving the last song's bytes, and is never written. Unpacking
// stops at the first read past the count.
#include "base/byte_reader.hpp"
#include "params/song_settings.hpp"

namespace ferro {

// The packed form of `data` (at most 4095 bytes: the copies address 12 bits).
Bytes saxmanPack(const Bytes& data);

// The form the game keeps a song in: packed where its driver unpacks it into
// the music buffer (a Sonic 2 song for 1380 that fits there), otherwise none
// (empty): the song lies where it plays.
Bytes storedSongForm(const SongSettings& settings, const Bytes& song);

}  // namespace ferro
