#pragma once
// The conversion of one song in memory, the placing of its outputs and the
// success message. The song's conversion path (song/) gates it on the lights
// and calls these.
#include <cstdint>
#include <string>

#include "base/shared_types.hpp"
#include "engine/conversion_error.hpp"
#include "engine/conversion_request.hpp"
#include "engine/row_source.hpp"
#include "engine/track_encoder.hpp"

namespace ferro {

// ---- The conversion.
struct ConversionResult {
    bool succeeded = false;
    FailureKind failureKind = FailureKind::Error;  // when !succeeded: which icon
    // The success message, or what to show for the failure: kSomeError
    // (critical icon), or for FailureKind::Refused the refusal (exclamation).
    std::string message;
    std::uintmax_t binaryLength = 0;  // length of the binary, also when only the listing is written
    std::string baseName;             // the outputs' name without extension, on success
};

// The song of one conversion, made in memory: nothing is read from or
// written to any folder. `binary` and `listing` are what <base>.bin and
// <base>.asm would hold, whichever formats the request selects.
struct SongConversion {
    bool succeeded = false;
    FailureKind failureKind = FailureKind::Error;  // when !succeeded
    std::string message;                           // when !succeeded: as in ConversionResult
    Bytes binary;
    std::string listing;
};
// The song from the row streams of `rows` (a MemoryRowSource over the loaded
// module): checks the request (requestIsUsable, a bare file name), builds the
// channel roles, refuses a note that an FM or PSG tone channel cannot play,
// encodes every channel's sections and assembles the song. Nothing is read
// from or written to any folder. Never throws. `random` serves the "Random"
// pan choice.
SongConversion convertSong(const ConversionRequest& request, const RowSource& rows, const RandomSource& random);

// Places the outputs the request selects, <base>.bin and/or <base>.asm (with
// <base>.bin of a song for Sonic 2's unpacking buffer also <base>.sax, the
// form a compressed slot holds), in
// request.workingDirectory: each is written to a temporary file beside it,
// and they replace the earlier outputs only when every one was written (a
// failure leaves no partial output and the earlier ones as they were). A
// song that failed, or a request with neither output, gives its failure and
// writes nothing. Never throws. The result's message is the success message
// without the size lines.
ConversionResult writeSong(const ConversionRequest& request, const SongConversion& song);

// The voices' bytes back to back, in list order: the song's voice table.
Bytes voiceTable(const ConversionRequest& request);

// The success message: "song.bin and song.asm created successfully!", then
// with writeBin the size lines "song.bin is 1234 bytes big." (decimal) and
// "song.bin is $4D2 bytes big." (hex) as asked; lines joined by CR LF.
std::string conversionSuccessMessage(const std::string& baseName, bool writeBin, bool writeAsm,
                                     bool showSizeDecimal, bool showSizeHex, std::uintmax_t binaryLength);

}  // namespace ferro
