#pragma once
// Reads a FastTracker 2 Extended Module from its bytes: the header, the order
// table, every pattern unpacked into 5-byte cells and every channel's row
// stream in song order, all in memory. Touches no file; the scratch files the
// windows keep beside a loaded module are written from what it returns (see
// scratch_files.hpp).
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "base/byte_reader.hpp"

namespace ferro {

// One pattern cell as stored in the scratch files and the row streams.
struct XmCell {
    std::uint8_t note = 0;        // 0 none, 1..96 notes, 97 key-off
    std::uint8_t instrument = 0;  // 0 none
    std::uint8_t volume = 0;
    std::uint8_t effectType = 0;
    std::uint8_t effectParameter = 0;
    bool operator==(const XmCell&) const = default;
};
inline constexpr int kXmCellSize = 5;
inline constexpr std::uint8_t kXmKeyOff = 97;
inline constexpr std::uint8_t kXmPatternBreak = 13;

struct XmHeader {
    std::string moduleName;   // 20 raw bytes
    std::string trackerName;  // 20 raw bytes
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::int32_t headerSize = 0;
    std::int16_t songLength = 0;
    std::int16_t restartPosition = 0;
    std::int16_t channelCount = 0;
    std::int16_t patternCount = 0;
    std::int16_t instrumentCount = 0;
    std::int16_t frequencyFlags = 0;
    std::int16_t defaultTempo = 0;
    std::int16_t defaultBpm = 0;
    std::vector<std::uint8_t> orderTable;  // songLength entries
};

// One stored pattern, cut at its first pattern break: `rows` rows of every
// channel, channel by channel (channel n's rows start at cell (n-1) * rows),
// which is the order of its pattern channel files.
struct XmPattern {
    std::int16_t rows = 0;
    Bytes cells;  // rows x channels cells of 5 bytes
};

// What a content survey needs of an instrument's first sample (its sound
// when it has one sample, which is how most instruments come).
struct XmSampleFacts {
    std::uint32_t frames = 0;    // length in sample points (not bytes)
    bool looped = false;         // a forward or ping-pong loop of some length
    std::int8_t relativeNote = 0;
    std::int8_t finetune = 0;    // -128..127, 1/128 of a semitone
    bool operator==(const XmSampleFacts&) const = default;
};

// What the conversion reads of an instrument besides its name: the sample
// each note plays, the samples' default volumes and whether the tracker
// shapes the volume itself (an envelope, a fadeout).
struct XmInstrumentFacts {
    std::array<std::uint8_t, 96> noteSamples{};  // sample of notes 1..96
    std::vector<std::uint8_t> sampleVolumes;     // 0..64 each
    bool volumeEnvelope = false;
    int fadeout = 0;
    // The default volume of the sample note 1..96 plays; 64 for a note
    // without a sample.
    int noteVolume(int note) const;
};

struct XmModule {
    // Where the module was read from; empty for bytes parsed on their own.
    std::string fileName;
    std::filesystem::path directory;

    XmHeader header;  // every header field, for the info window and `info`
    std::int16_t channelCount = 0;
    std::int16_t songLength = 0;
    std::int16_t restartPosition = 0;
    std::int16_t patternCount = 0;
    std::vector<std::uint8_t> orderTable;
    std::vector<std::int16_t> patternRows;  // effective rows of each stored pattern
    std::int32_t totalRows = 0;             // rows of the whole song
    // The song row where the order position `restartPosition` starts; 0 when
    // that position is outside the order table. Whether the song loops from
    // there is the song's choice, not the module's (see loopPlan in
    // engine/conversion_request.hpp).
    std::int32_t restartRow = 0;

    std::vector<XmPattern> patterns;  // patternCount entries
    // rowStreams[n-1]: channel n's cells over the whole song (totalRows cells
    // of 5 bytes), the content of its row stream file C<n>.tmp.
    std::vector<Bytes> rowStreams;
    // The names of channels 1..channelCount from the CNAM block that some
    // trackers write near the end of the file (what Auto fill reads); none
    // when the file has no such block.
    std::optional<std::vector<std::string>> channelNames;
    // The names of instruments 1..header.instrumentCount, as the composer
    // typed them (raw 8-bit text, without the padding); an instrument the
    // file cuts off has its name as far as the file holds it, and every one
    // after it an empty name.
    std::vector<std::string> instrumentNames;
    // Parallel to instrumentNames: the first sample of each instrument; none
    // for an instrument without samples or whose sample header the file cuts.
    std::vector<std::optional<XmSampleFacts>> instrumentSamples;
    // The facts of instruments 1..n that the file holds whole (n may be
    // below the header's count).
    std::vector<XmInstrumentFacts> instruments;
    // What a module that loads is missing: the instruments a file cut inside
    // its instruments or samples lacks, "instruments 11 to 19 are missing:
    // the file ends at offset 52000, inside instrument 11 (Slap bass)".
    // Empty when the file is whole.
    std::string warning;

    // Channel n's row stream (1-based), or an empty one outside 1..channelCount.
    std::span<const std::uint8_t> rowStream(int channel) const;
    // Channel n's rows of stored pattern p (the content of P<p>C<n>.tmp).
    std::span<const std::uint8_t> patternChannel(int pattern, int channel) const;
};

enum class XmError { InvalidXm, ReadError };

// The user's messages for the two failures.
inline constexpr const char* kInvalidXmMessage = "File isn't a valid XM";
inline constexpr const char* xmErrorMessage(XmError error) {
    return error == XmError::InvalidXm ? kInvalidXmMessage : "Some kind of error happened";
}

// The header alone, as the info window shows it. InvalidXm when the bytes do
// not start with the module's ID text, ReadError when the header is cut short.
// On a failure `problem` (when given) receives what is wrong where, as for
// parseXmModule.
std::variant<XmHeader, XmError> parseXmHeader(std::span<const std::uint8_t> bytes, std::string* problem = nullptr);

// The whole module. Refused (ReadError) as a tracker could
// not have written it: no song, no pattern, no channel or more than 128
// channels, a pattern of 0 or over 1024 rows, a pattern cut short, or more
// than 2^23 cells in the patterns or in the song; all of this is checked
// before the cells are unpacked. On a failure `problem` (when given)
// receives what is wrong where, for a pattern cut short "pattern 3's data
// runs to offset 1400, but the file ends at offset 1200". A file cut after
// its patterns loads, with the instruments it lacks in the module's warning.
std::variant<XmModule, XmError> parseXmModule(std::span<const std::uint8_t> bytes, std::string* problem = nullptr);

// The names of channels 1..count from the CNAM block, which must begin within
// the last 1300 bytes; none when there is none. A name is the text before the
// first zero byte of its 20-byte field; a field without a zero byte, or one
// that does not lie wholly inside the bytes, gives an empty name.
inline constexpr std::size_t kChannelNameSearchSpan = 1300;
inline constexpr std::size_t kChannelNameSize = 20;
std::optional<std::vector<std::string>> findChannelNames(std::span<const std::uint8_t> bytes, int count);

}  // namespace ferro
