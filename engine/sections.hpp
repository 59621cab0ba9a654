#pragma once
// Cuts one XM channel's rows into the track's two sections: the intro, played
// once, and the main section, which loops for ever or stops the track. Writes
// what each section starts and ends with and lets the track encoder fill in
// the rows between. "Optimise the output" shortens the looped rows to their
// shortest repeating block.
#include <vector>

#include "engine/conversion_request.hpp"
#include "engine/track_encoder.hpp"

namespace ferro {

// The shortest repeat of the looped rows loopStartRow..totalRows-1 (loopStartRow: loopPlan's introRows): starting
// from the largest power of two up to 256 that divides their number, blocks
// are halved while every block equals the first one (whole 5-byte rows).
// Returns the number of looped rows when nothing repeats (0 when there are
// none).
int findRepeatLength(const RowStream& rows, int loopStartRow, int totalRows);

// What every section of a channel starts with: F3 E7 for the noise channel,
// E0 80 / E0 40 for an FM or DAC channel panned Left / Right.
void appendSectionOpening(Bytes& out, ChannelRole role, PanChoice pan);

struct ChannelSections {
    Bytes main;   // looped, or played once and stopped
    Bytes intro;  // played once before the main section (only when the song has an intro, see loopPlan)
    // Where main holds a pointer: the position of its first byte. Pointers
    // are written in the Sonic 1 form (big-endian, the target less the
    // pointer's position less one); a driver that reads addresses gets them
    // rewritten once the song's layout is known.
    std::vector<std::size_t> mainPointers{};
};

// Both sections of one channel, without touching any file. Role None gives
// two empty sections. With `follow` the track follows the module's volumes
// and each section ends at the track's own volume. Ends the conversion
// (ConversionError) on the encoder's failures and on a loop jump or loop
// target that does not fit in 16 bits.
ChannelSections buildChannelSections(const ConversionRequest& request, const RowStream& rows,
                                     ChannelRole role, PanChoice pan, const RandomSource& random,
                                     const ChannelFollow* follow = nullptr);

}  // namespace ferro
