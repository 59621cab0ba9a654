#pragma once
// Joins the header, the channel tracks and the voice table into one SMPS song
// in the Sonic 1 layout, and writes it twice: as a binary image and as a 68000
// assembler listing of the same bytes with labels.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "engine/conversion_request.hpp"
#include "engine/sections.hpp"

namespace ferro {

// Where one output goes.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void write(const std::uint8_t* data, std::size_t size) = 0;
};

// Keeps what is written, to be saved once the whole conversion has succeeded.
class MemorySink final : public OutputSink {
public:
    void write(const std::uint8_t* data, std::size_t size) override { bytes_.insert(bytes_.end(), data, data + size); }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// For an output format that is not selected: the writer still runs in full,
// its bytes go nowhere.
class DiscardSink final : public OutputSink {
public:
    void write(const std::uint8_t*, std::size_t size) override { count_ += size; }
    std::uintmax_t count() const { return count_; }

private:
    std::uintmax_t count_ = 0;
};

// The output base name: the module's file name less its last three characters
// ("my song.xm" -> "my song"). None for a name shorter than that or one that
// is not a bare file name.
std::optional<std::string> outputBaseName(const std::string& fileName);

// The highest offset a header pointer can hold.
inline constexpr int kMaxSongOffset = 32767;

struct SongImage {
    Bytes binary;
    std::string listing;  // lines end in CR LF, except the last one
};

// The song from sections already in memory: `sections[n]` holds XM channel n's
// sections (entry 0 unused; only channels that feed a track are read; the
// intros only when loopStartRow >= 1). `voiceTable` is the voices' bytes. Ends
// the conversion with the general error on a pointer beyond 32767, a
// transposition outside -256..255, a volume outside 0..255, a used assignment
// entry outside 1..channelCount or a file name without a base name.
SongImage assembleSong(const ConversionRequest& request, const std::vector<ChannelSections>& sections,
                       const Bytes& voiceTable);

// Reads BATMAN<n>.tmp, LOL<n>.tmp (when loopStartRow >= 1) of the channels
// that feed a track, and voices.tmp, from the request's working directory;
// writes the binary into `binary` and the listing into `listing`; returns the
// binary's length in bytes. A missing file ends the conversion with the
// general error, as the failures of assembleSong do.
std::size_t writeSongFiles(const ConversionRequest& request, OutputSink& binary, OutputSink& listing);

}  // namespace ferro
