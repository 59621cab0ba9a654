#pragma once
// Writes a song as an SMPS2ASM source: the macro language the Sonic
// disassemblies keep their songs in. Assembled after the Sonic 1 macro set it
// gives exactly the song's binary; the other drivers' macro sets convert it
// for their own driver.
#include <string>

#include "engine/song_writer.hpp"

namespace ferro {

// The whole source: `<label>_Header` with the header macros, each track under
// `<label>_FM1`.., `<label>_PSG1`.., `<label>_DAC` with its loop jump landing
// on a `<label>_LoopNN` label, and the voices under `<label>_Voices` (the last
// line when there are none, so the voice pointer is the song's length, as in
// the binary). Lines end in CR LF, except the last one.
std::string smps2asmListing(const SongLayout& song);

}  // namespace ferro
