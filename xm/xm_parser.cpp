#include "xm/xm_parser.hpp"

#include <algorithm>
#include <cstring>

#include "base/latin1.hpp"

namespace ferro {

namespace {

constexpr char kXmId[] = "Extended Module: ";
constexpr std::size_t kXmIdSize = 17;
constexpr std::size_t kNameSize = 20;

// Beyond these a file is not a module a tracker could have written, and
// unpacking it would fill the memory (and, in the windows, the user's disk):
// the parser refuses it.
constexpr int kMaxChannels = 128;
// FastTracker 2 writes at most 256 rows a pattern, OpenMPT at most 1024.
constexpr int kMaxPatternRows = 1024;
// Cells of all the patterns, and again of the whole song (a 256-pattern,
// 256-row, 64-channel module has 4 M). A tiny file can announce far more.
constexpr std::int64_t kMaxCells = std::int64_t{1} << 23;
// Rows of the empty pattern that stands in for an order entry naming a
// pattern the file does not store, as trackers play it.
constexpr std::int16_t kMissingPatternRows = 64;

// Where a refusal says what is wrong where; nothing when the caller did
// not ask.
struct Why {
    std::string* text = nullptr;
    XmError operator()(std::string what, XmError error = XmError::ReadError) const {
        if (text) *text = std::move(what);
        return error;
    }
};

std::string number(std::int64_t n) { return std::to_string(n); }

std::string runsPastEnd(const std::string& what, std::size_t needed, std::size_t end) {
    return what + " runs to offset " + number(static_cast<std::int64_t>(needed)) + ", but the file ends at offset " +
           number(static_cast<std::int64_t>(end));
}

// The first part of the header, up to the order table. Fails as the info
// window and the load report it.
std::variant<XmHeader, XmError> readHeader(ByteReader& in, const Why& why) {
    constexpr std::size_t kFixedPart = kXmIdSize + kNameSize + 1 + kNameSize + 2 + 4;
    const std::size_t end = in.size();
    XmHeader h;
    const auto id = in.view(kXmIdSize);
    if (!id || std::memcmp(id->data(), kXmId, kXmIdSize) != 0)
        return why("the file does not start with \"Extended Module: \"", XmError::InvalidXm);

    const auto moduleName = in.text(kNameSize);
    const auto endOfText = in.u8();  // $1A
    const auto trackerName = in.text(kNameSize);
    const auto versionMinor = in.u8();
    const auto versionMajor = in.u8();
    const auto headerSize = in.i32le();
    if (!moduleName || !endOfText || !trackerName || !versionMinor || !versionMajor || !headerSize)
        return why(runsPastEnd("the header", kFixedPart, end));
    h.moduleName = *moduleName;
    h.trackerName = *trackerName;
    h.versionMinor = *versionMinor;
    h.versionMajor = *versionMajor;
    h.headerSize = *headerSize;
    // The header size counts its own four bytes.
    if (h.headerSize < 20)
        return why("the header's size field says " + number(h.headerSize) +
                   " bytes, too few for its 20 bytes of fields");
    const std::size_t blockSize = static_cast<std::size_t>(h.headerSize) - 4;
    auto block = in.sub(blockSize);
    if (!block) return why(runsPastEnd("the header", kFixedPart + blockSize, end));

    const auto songLength = block->i16le();
    const auto restartPosition = block->i16le();
    const auto channelCount = block->i16le();
    const auto patternCount = block->i16le();
    const auto instrumentCount = block->i16le();
    const auto frequencyFlags = block->i16le();
    const auto defaultTempo = block->i16le();
    const auto defaultBpm = block->i16le();
    h.songLength = *songLength;
    h.restartPosition = *restartPosition;
    h.channelCount = *channelCount;
    h.patternCount = *patternCount;
    h.instrumentCount = *instrumentCount;
    h.frequencyFlags = *frequencyFlags;
    h.defaultTempo = *defaultTempo;
    h.defaultBpm = *defaultBpm;
    if (h.songLength > 0) {
        const auto orders = block->view(static_cast<std::size_t>(h.songLength));
        if (!orders)
            return why("the order table of " + number(h.songLength) + " entries does not fit in the header's " +
                       number(h.headerSize) + " bytes");
        h.orderTable.assign(orders->begin(), orders->end());
    }
    return h;
}

struct PatternHeader {
    std::int16_t rows = 0;
    // Unsigned: a full 256-row pattern of many channels can pass 32767 bytes.
    std::uint16_t packedSize = 0;
};

// A pattern's header; the cursor is then at its packed cells. A file cut
// inside its patterns is the common damage (a download or a copy that
// stopped): the user is told which pattern and where.
std::variant<PatternHeader, XmError> readPatternHeader(ByteReader& in, int p, const Why& why) {
    constexpr std::int32_t kFields = 9;
    const std::string pattern = "pattern " + number(p);
    const std::size_t start = in.pos();
    const auto headerLength = in.i32le();  // counts its own four bytes
    const auto length = static_cast<std::size_t>(headerLength && *headerLength >= kFields ? *headerLength : kFields);
    if (length > in.size() - start) return why(runsPastEnd(pattern + "'s data", start + length, in.size()));
    if (*headerLength < kFields)
        return why(pattern + "'s header says it is " + number(*headerLength) + " bytes long, less than its " +
                   number(kFields) + " bytes of fields");
    auto block = in.sub(length - 4);
    const auto packingType = block->u8();
    const auto rows = block->i16le();
    const auto packedSize = block->u16le();
    if (!packingType || !rows || !packedSize) return XmError::ReadError;
    if (*rows < 1 || *rows > kMaxPatternRows)
        return why(pattern + " has " + number(*rows) + " rows; a pattern has 1 to " + number(kMaxPatternRows));
    return PatternHeader{*rows, *packedSize};
}

// Unpacks one pattern's packed cells into a row-major grid. Packed data that
// ends early leaves the remaining cells empty, as players read it; a cell cut
// in its middle keeps the fields it has.
void unpackCells(ByteReader& packed, std::vector<XmCell>& grid) {
    for (XmCell& cell : grid) {
        const auto first = packed.u8();
        if (!first) return;
        std::uint8_t fields[5] = {0, 0, 0, 0, 0};
        if (*first & 0x80) {
            for (int bit = 0; bit < 5; ++bit) {
                if (!(*first & (1 << bit))) continue;
                const auto b = packed.u8();
                if (!b) break;
                fields[bit] = *b;
            }
        } else {
            fields[0] = *first;
            for (int k = 1; k < 5; ++k) {
                const auto b = packed.u8();
                if (!b) break;
                fields[k] = *b;
            }
        }
        cell = XmCell{fields[0], fields[1], fields[2], fields[3], fields[4]};
    }
}

// The rows up to and including the first row where any channel breaks.
std::int16_t effectiveRows(const std::vector<XmCell>& grid, int rows, int channels) {
    for (int r = 0; r < rows; ++r) {
        const XmCell* row = &grid[static_cast<std::size_t>(r) * static_cast<std::size_t>(channels)];
        for (int n = 0; n < channels; ++n)
            if (row[n].effectType == kXmPatternBreak) return static_cast<std::int16_t>(r + 1);
    }
    return static_cast<std::int16_t>(rows);
}

void appendCell(std::uint8_t* out, const XmCell& c) {
    out[0] = c.note;
    out[1] = c.instrument;
    out[2] = c.volume;
    out[3] = c.effectType;
    out[4] = c.effectParameter;
}

}  // namespace

std::span<const std::uint8_t> XmModule::rowStream(int channel) const {
    if (channel < 1 || static_cast<std::size_t>(channel) > rowStreams.size()) return {};
    return rowStreams[static_cast<std::size_t>(channel) - 1];
}

std::span<const std::uint8_t> XmModule::patternChannel(int pattern, int channel) const {
    if (pattern < 0 || static_cast<std::size_t>(pattern) >= patterns.size() || channel < 1 || channel > channelCount)
        return {};
    const XmPattern& p = patterns[static_cast<std::size_t>(pattern)];
    const std::size_t length = static_cast<std::size_t>(p.rows) * kXmCellSize;
    return std::span<const std::uint8_t>(p.cells).subspan(static_cast<std::size_t>(channel - 1) * length, length);
}

std::variant<XmHeader, XmError> parseXmHeader(std::span<const std::uint8_t> bytes, std::string* problem) {
    ByteReader in(bytes);
    return readHeader(in, Why{problem});
}

namespace {

// The song rows, the restart row and each channel's row stream: the
// pattern's channel rows joined in song order. False when the streams would
// hold more cells than a module can need.
bool joinRowStreams(XmModule& m) {
    const int channels = m.channelCount;
    std::int64_t total = 0;
    for (int i = 0; i < m.songLength; ++i) {
        if (i == m.restartPosition) m.restartRow = static_cast<std::int32_t>(total);
        const std::uint8_t pattern = m.orderTable[static_cast<std::size_t>(i)];
        total += pattern < m.patternCount ? m.patternRows[pattern] : kMissingPatternRows;
    }
    if (total * channels > kMaxCells) return false;
    m.totalRows = static_cast<std::int32_t>(total);

    m.rowStreams.assign(static_cast<std::size_t>(channels), Bytes(static_cast<std::size_t>(total) * kXmCellSize, 0));
    for (int n = 1; n <= channels; ++n) {
        std::uint8_t* out = m.rowStreams[static_cast<std::size_t>(n - 1)].data();
        for (int i = 0; i < m.songLength; ++i) {
            const std::uint8_t pattern = m.orderTable[static_cast<std::size_t>(i)];
            if (pattern < m.patternCount) {
                const auto rows = m.patternChannel(pattern, n);
                std::copy(rows.begin(), rows.end(), out);
                out += rows.size();
            } else {
                out += static_cast<std::size_t>(kMissingPatternRows) * kXmCellSize;  // already empty
            }
        }
    }
    return true;
}

// Every pattern header, and where each pattern's packed cells lie. A file
// that announces more than a module can need is refused here, before
// anything is unpacked. The cursor ends after the last pattern.
std::optional<XmError> readPatternHeaders(ByteReader& walk, const XmHeader& h, const Why& why,
                                          std::vector<PatternHeader>& headers,
                                          std::vector<std::span<const std::uint8_t>>& packedCells) {
    std::int64_t cells = 0;
    for (int p = 0; p < h.patternCount; ++p) {
        auto ph = readPatternHeader(walk, p, why);
        if (const auto* error = std::get_if<XmError>(&ph)) return *error;
        const PatternHeader& header = std::get<PatternHeader>(ph);
        const auto packed = walk.view(header.packedSize);
        if (!packed)
            return why(runsPastEnd("pattern " + number(p) + "'s data", walk.pos() + header.packedSize, walk.size()));
        cells += std::int64_t{header.rows} * h.channelCount;
        if (cells > kMaxCells)
            return why("the patterns hold more than " + number(kMaxCells) + " cells, more than a module can need");
        headers.push_back(header);
        packedCells.push_back(*packed);
    }
    return std::nullopt;
}

XmPattern unpackPattern(const PatternHeader& header, std::span<const std::uint8_t> packedCells, int channels,
                        std::vector<XmCell>& grid) {
    const auto channelCells = static_cast<std::size_t>(channels);
    grid.assign(static_cast<std::size_t>(header.rows) * channelCells, XmCell{});
    ByteReader packed(packedCells);
    unpackCells(packed, grid);
    XmPattern pattern;
    pattern.rows = effectiveRows(grid, header.rows, channels);
    const auto patternRows = static_cast<std::size_t>(pattern.rows);
    pattern.cells.resize(patternRows * channelCells * kXmCellSize);
    std::uint8_t* out = pattern.cells.data();
    for (std::size_t n = 0; n < channelCells; ++n)
        for (std::size_t r = 0; r < patternRows; ++r, out += kXmCellSize) appendCell(out, grid[r * channelCells + n]);
    return pattern;
}

constexpr std::size_t kInstrumentNameSize = 22;
// Size, name, type and sample count: what a tracker reads of an instrument
// without samples.
constexpr std::uint64_t kInstrumentFields = 4 + kInstrumentNameSize + 1 + 2;
constexpr std::uint64_t kSampleHeaderSize = 40;
// ModPlug's 4-bit ADPCM samples, marked in the sample header's reserved byte:
// a 16-byte table, then two samples a byte.
constexpr std::uint8_t kAdpcmMark = 0xAD;
constexpr int kXmSampleFullVolume = 64;

// A reader at `at`, which must lie within the bytes.
ByteReader readerAt(std::span<const std::uint8_t> bytes, std::uint64_t at) {
    ByteReader in(bytes);
    in.seek(static_cast<std::size_t>(at));
    return in;
}

// Where the instrument at `start` ends (its header, its sample headers and
// its sample data), or nullopt when the file ends before that.
std::optional<std::uint64_t> instrumentEnd(std::span<const std::uint8_t> bytes, std::uint64_t start) {
    if (start > bytes.size()) return std::nullopt;
    ByteReader in = readerAt(bytes, start);
    const auto size = in.u32le();
    const auto samples = in.skip(kInstrumentNameSize + 1) ? in.u16le() : std::nullopt;
    if (!size || !samples) return std::nullopt;
    const std::uint64_t headerSize = std::max<std::uint64_t>(*size, kInstrumentFields);
    if (*samples == 0) return start + headerSize;
    const auto stated = in.u32le();
    if (!stated || start + headerSize > bytes.size()) return std::nullopt;
    const std::uint64_t sampleHeaderSize = *stated == 0 ? kSampleHeaderSize : *stated;
    const std::uint64_t sampleHeaders = start + headerSize;
    std::uint64_t end = sampleHeaders + *samples * sampleHeaderSize;
    if (end > bytes.size()) return std::nullopt;
    for (std::uint64_t s = 0; s < *samples; ++s) {
        ByteReader header = readerAt(bytes, sampleHeaders + s * sampleHeaderSize);
        const std::uint64_t length = header.u32le().value_or(0);
        const bool adpcm = sampleHeaderSize > 17 && header.skip(13) && header.u8() == kAdpcmMark;
        end += adpcm ? 16 + (length + 1) / 2 : length;
    }
    if (end > bytes.size()) return std::nullopt;
    return end;
}

// The first sample header of the instrument at `start`, when it has one the
// file holds whole.
std::optional<XmSampleFacts> firstSampleFacts(std::span<const std::uint8_t> bytes, std::uint64_t start) {
    if (start > bytes.size()) return std::nullopt;
    ByteReader in = readerAt(bytes, start);
    const auto size = in.u32le();
    const auto samples = in.skip(kInstrumentNameSize + 1) ? in.u16le() : std::nullopt;
    if (!size || !samples || *samples == 0) return std::nullopt;
    const std::uint64_t at = start + std::max<std::uint64_t>(*size, kInstrumentFields);
    if (at > bytes.size()) return std::nullopt;
    // Length, loop start, loop length, volume, finetune, type, pan, relative
    // note: 17 bytes, checked once so each field below is there.
    ByteReader header = readerAt(bytes, at);
    if (header.remaining() < 17) return std::nullopt;
    const std::uint32_t length = header.u32le().value_or(0);
    header.skip(4);
    const std::uint32_t loopLength = header.u32le().value_or(0);
    header.skip(1);
    XmSampleFacts facts;
    facts.finetune = static_cast<std::int8_t>(header.u8().value_or(0));
    const std::uint8_t type = header.u8().value_or(0);
    header.skip(1);
    facts.relativeNote = static_cast<std::int8_t>(header.u8().value_or(0));
    facts.frames = (type & 0x10) != 0 ? length / 2 : length;  // 16-bit points take two bytes
    facts.looped = (type & 0x03) != 0 && loopLength > 0;
    return facts;
}

// The name field of the instrument at `start`, as much of it as the file
// holds: up to its first zero byte, without the spaces that pad it, as the
// composer typed it (8-bit text, control characters as spaces).
std::string instrumentName(std::span<const std::uint8_t> bytes, std::uint64_t start) {
    if (start + 4 > bytes.size()) return {};
    ByteReader in = readerAt(bytes, start + 4);
    const auto field = in.view(std::min(kInstrumentNameSize, in.remaining()));
    std::string name;
    for (const std::uint8_t c : *field) {
        if (c == 0) break;
        name += static_cast<char>(c < 0x20 ? ' ' : c);
    }
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

// The note map, the samples' volumes and the volume envelope's switch of
// the whole instrument at `start`, whose header lies within the bytes.
XmInstrumentFacts instrumentFacts(std::span<const std::uint8_t> bytes, std::uint64_t start) {
    constexpr std::size_t kNoteMapAt = 33, kVolumeTypeAt = 233, kFadeoutAt = 239, kSampleVolumeAt = 12;
    XmInstrumentFacts facts;
    ByteReader in = readerAt(bytes, start);
    const std::uint64_t headerSize = std::max<std::uint64_t>(in.u32le().value_or(0), kInstrumentFields);
    const std::uint64_t samples = in.skip(kInstrumentNameSize + 1) ? in.u16le().value_or(0) : 0;
    if (samples == 0) return facts;
    const auto stated = in.u32le().value_or(0);
    const std::uint64_t sampleHeaderSize = stated == 0 ? kSampleHeaderSize : stated;
    // Fields a shorter header lacks keep their defaults.
    if (headerSize >= kNoteMapAt + 96 && in.seek(static_cast<std::size_t>(start + kNoteMapAt))) {
        if (const auto map = in.view(96)) std::copy(map->begin(), map->end(), facts.noteSamples.begin());
    }
    if (headerSize > kFadeoutAt + 1 && in.seek(static_cast<std::size_t>(start + kVolumeTypeAt)))
        facts.volumeEnvelope = (in.u8().value_or(0) & 1) != 0;
    if (headerSize > kFadeoutAt + 1 && in.seek(static_cast<std::size_t>(start + kFadeoutAt)))
        facts.fadeout = in.u16le().value_or(0);
    for (std::uint64_t k = 0; k < samples; ++k) {
        const std::uint64_t at = start + headerSize + k * sampleHeaderSize + kSampleVolumeAt;
        int volume = kXmSampleFullVolume;
        if (sampleHeaderSize > kSampleVolumeAt && in.seek(static_cast<std::size_t>(at)))
            volume = std::min<int>(in.u8().value_or(kXmSampleFullVolume), kXmSampleFullVolume);
        facts.sampleVolumes.push_back(static_cast<std::uint8_t>(volume));
    }
    return facts;
}

// FastTracker 2 writes 256 instruments at most; the count is 16 bits.
constexpr int kMaxInstruments = 256;

// The instruments' names, and what a file cut short is missing: from the
// instrument it ends inside (or before) to the last. An instrument the file
// cuts off has its name as far as the file holds it; those after it have none.
void readInstruments(std::span<const std::uint8_t> bytes, std::uint64_t start, int count, XmModule& m) {
    const auto kept = static_cast<std::size_t>(std::clamp(count, 0, kMaxInstruments));
    m.instrumentNames.assign(kept, std::string());
    m.instrumentSamples.assign(kept, std::nullopt);
    for (int k = 1; k <= count; ++k) {
        const std::string name = instrumentName(bytes, start);
        if (k <= kMaxInstruments) {
            m.instrumentNames[static_cast<std::size_t>(k - 1)] = name;
            m.instrumentSamples[static_cast<std::size_t>(k - 1)] = firstSampleFacts(bytes, start);
        }
        const auto end = instrumentEnd(bytes, start);
        if (end) {
            if (k <= kMaxInstruments) m.instruments.push_back(instrumentFacts(bytes, start));
            start = *end;
            continue;
        }
        std::string text = k == count ? "instrument " + number(k) + " is missing"
                                      : "instruments " + number(k) + " to " + number(count) + " are missing";
        text += ": the file ends at offset " + number(static_cast<std::int64_t>(bytes.size())) + ", ";
        if (start >= bytes.size()) {
            m.warning = text + "before instrument " + number(k);
        } else {
            m.warning = text + "inside instrument " + number(k) + (name.empty() ? "" : " (" + latin1ToUtf8(name) + ")");
        }
        return;
    }
}

}  // namespace

int XmInstrumentFacts::noteVolume(int note) const {
    if (note < 1 || note > 96) return kXmSampleFullVolume;
    const std::size_t sample = noteSamples[static_cast<std::size_t>(note - 1)];
    return sample < sampleVolumes.size() ? sampleVolumes[sample] : kXmSampleFullVolume;
}

std::variant<XmModule, XmError> parseXmModule(std::span<const std::uint8_t> bytes, std::string* problem) {
    const Why why{problem};
    ByteReader in(bytes);
    auto header = readHeader(in, why);
    if (auto* error = std::get_if<XmError>(&header)) return *error;
    XmModule m;
    m.header = std::get<XmHeader>(std::move(header));
    const XmHeader& h = m.header;
    if (h.songLength < 1) return why("the song length is " + number(h.songLength) + "; a song has 1 position or more");
    if (h.patternCount < 1) return why("the pattern count is " + number(h.patternCount) + "; a module has 1 or more");
    if (h.channelCount < 1 || h.channelCount > kMaxChannels)
        return why("the channel count is " + number(h.channelCount) + "; a module has 1 to " + number(kMaxChannels));
    m.channelCount = h.channelCount;
    m.songLength = h.songLength;
    m.restartPosition = h.restartPosition;
    m.patternCount = h.patternCount;
    m.orderTable = h.orderTable;

    std::vector<PatternHeader> patternHeaders;
    std::vector<std::span<const std::uint8_t>> packedCells;
    if (const auto error = readPatternHeaders(in, h, why, patternHeaders, packedCells)) return *error;
    m.patternRows.reserve(patternHeaders.size());
    m.patterns.reserve(patternHeaders.size());
    std::vector<XmCell> grid;
    for (std::size_t p = 0; p < patternHeaders.size(); ++p) {
        m.patterns.push_back(unpackPattern(patternHeaders[p], packedCells[p], h.channelCount, grid));
        m.patternRows.push_back(m.patterns.back().rows);
    }

    if (!joinRowStreams(m))
        return why("the song plays more than " + number(kMaxCells) + " cells, more than a module can need");
    m.channelNames = findChannelNames(bytes, h.channelCount);
    readInstruments(bytes, in.pos(), h.instrumentCount, m);
    return m;
}

std::optional<std::vector<std::string>> findChannelNames(std::span<const std::uint8_t> bytes, int count) {
    const std::size_t length = bytes.size();
    const std::size_t start = length > kChannelNameSearchSpan ? length - kChannelNameSearchSpan : 0;
    static constexpr std::uint8_t kTag[4] = {'C', 'N', 'A', 'M'};
    const auto tail = bytes.subspan(start);
    const auto found = std::search(tail.begin(), tail.end(), std::begin(kTag), std::end(kTag));
    if (found == tail.end()) return std::nullopt;
    const std::size_t tagAt = start + static_cast<std::size_t>(found - tail.begin());

    // The tag is followed by a 4-byte length that is not used, then the names.
    ByteReader fields(bytes);
    const bool namesInside = fields.seek(tagAt + 8);
    std::vector<std::string> names;
    for (int j = 0; j < count; ++j) {
        std::string name;
        const auto field = namesInside ? fields.view(kChannelNameSize) : std::nullopt;
        if (field) {
            const auto end = std::find(field->begin(), field->end(), std::uint8_t{0});
            if (end != field->end()) name.assign(field->begin(), end);
        }
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace ferro
