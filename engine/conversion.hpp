#pragma once
// The conversion: the one-shot clean-up of the drum channel, the conversion
// itself and its success message. The song's conversion path (song/) gates
// it on the lights and calls these.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/shared_types.hpp"
#include "engine/conversion_error.hpp"
#include "engine/conversion_request.hpp"
#include "engine/row_source.hpp"
#include "engine/track_encoder.hpp"

namespace ferro {

// ---- "Remove rests" (see removeRestsWanted in params/song_settings.hpp).
// Sets the note of every key-off row (97) of C<dacChannel>.tmp in `directory`
// to 0, in place; a trailing partial row is left alone. Afterwards a drum note
// lasts until the next drum note. False when the file cannot be read or
// written.
bool removeDacKeyOffs(const std::filesystem::path& directory, int dacChannel);

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
// Steps 1, 2 and 4 below without any file, over the row streams of `rows`
// (usually a MemoryRowSource). Never throws.
SongConversion convertSong(const ConversionRequest& request, const RowSource& rows, const RandomSource& random);

// Runs one conversion in request.workingDirectory:
//  1. checks the request (requestIsUsable, a bare file name) and builds the
//     channel roles;
//  2. refuses a note that an FM or PSG tone channel cannot play (before any
//     file is written);
//  3. writes voices.tmp from request.voices;
//  4. builds BATMAN<n>.tmp and, with an intro (loopPlan), LOL<n>.tmp for n = 1..channelCount;
//  5. assembles the song; the formats that are selected go to temporary
//     files beside the outputs, which replace <base>.bin / <base>.asm only
//     when everything has succeeded (a failure leaves no partial output and
//     earlier outputs as they were);
//  6. deletes the section files, on every path.
// Never throws. `random` serves the "Random" pan choice. This is the windows'
// conversion: the row streams are the scratch files C<n>.tmp of the folder.
ConversionResult MAINCONVERSIONCODE(const ConversionRequest& request, const RandomSource& random);
// The same with a generator seeded from the clock.
ConversionResult MAINCONVERSIONCODE(const ConversionRequest& request);
// The same song from the row streams of `rows`, made in memory (convertSong):
// only step 5 touches the folder, which gets the outputs and nothing else.
ConversionResult MAINCONVERSIONCODE(const ConversionRequest& request, const RowSource& rows,
                                    const RandomSource& random);

// The success message: "song.bin and song.asm created successfully!", then
// with writeBin the size lines "song.bin is 1234 bytes big." (decimal) and
// "song.bin is $4D2 bytes big." (hex) as asked; lines joined by CR LF.
std::string conversionSuccessMessage(const std::string& baseName, bool writeBin, bool writeAsm,
                                     bool showSizeDecimal, bool showSizeHex, std::uintmax_t binaryLength);

// Deletes BATMAN<n>.tmp and LOL<n>.tmp for n = 1..channelCount in `directory`,
// in any letter case; nothing else. Failures are ignored.
void deleteSectionFiles(const std::filesystem::path& directory, int channelCount);

}  // namespace ferro
