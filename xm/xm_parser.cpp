#include "xm/xm_parser.hpp"

#include <algorithm>
#include <cstring>

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

// The first part of the header, up to the order table. Fails as the info
// window and the load report it.
std::variant<XmHeader, XmError> readHeader(ByteReader& in) {
    XmHeader h;
    const auto id = in.view(kXmIdSize);
    if (!id || std::memcmp(id->data(), kXmId, kXmIdSize) != 0) return XmError::InvalidXm;

    const auto moduleName = in.text(kNameSize);
    const auto endOfText = in.u8();  // $1A
    const auto trackerName = in.text(kNameSize);
    const auto versionMinor = in.u8();
    const auto versionMajor = in.u8();
    const auto headerSize = in.i32le();
    if (!moduleName || !endOfText || !trackerName || !versionMinor || !versionMajor || !headerSize)
        return XmError::ReadError;
    h.moduleName = *moduleName;
    h.trackerName = *trackerName;
    h.versionMinor = *versionMinor;
    h.versionMajor = *versionMajor;
    h.headerSize = *headerSize;
    // The header size counts its own four bytes.
    if (h.headerSize < 4) return XmError::ReadError;
    auto block = in.sub(static_cast<std::size_t>(h.headerSize) - 4);
    if (!block) return XmError::ReadError;

    const auto songLength = block->i16le();
    const auto restartPosition = block->i16le();
    const auto channelCount = block->i16le();
    const auto patternCount = block->i16le();
    const auto instrumentCount = block->i16le();
    const auto frequencyFlags = block->i16le();
    const auto defaultTempo = block->i16le();
    const auto defaultBpm = block->i16le();
    if (!defaultBpm) return XmError::ReadError;
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
        if (!orders) return XmError::ReadError;
        h.orderTable.assign(orders->begin(), orders->end());
    }
    return h;
}

struct PatternHeader {
    std::int16_t rows = 0;
    // Unsigned: a full 256-row pattern of many channels can pass 32767 bytes.
    std::uint16_t packedSize = 0;
};

// A pattern's header; the cursor is then at its packed cells.
std::optional<PatternHeader> readPatternHeader(ByteReader& in) {
    const auto headerLength = in.i32le();  // counts its own four bytes
    if (!headerLength || *headerLength < 9) return std::nullopt;
    auto block = in.sub(static_cast<std::size_t>(*headerLength) - 4);
    if (!block) return std::nullopt;
    const auto packingType = block->u8();
    const auto rows = block->i16le();
    const auto packedSize = block->u16le();
    if (!packingType || !rows || !packedSize) return std::nullopt;
    if (*rows < 1 || *rows > kMaxPatternRows) return std::nullopt;
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

std::variant<XmHeader, XmError> parseXmHeader(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    return readHeader(in);
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

// The instruments follow the patterns: a header that counts its own size,
// the sample headers, then the samples' data. Only the names are kept; the
// samples are skipped by the lengths their headers give.
constexpr std::size_t kInstrumentNameSize = 22;
// FastTracker 2 writes 256 instruments at most; the count is 16 bits.
constexpr int kMaxInstruments = 256;

std::vector<std::string> readInstrumentNames(ByteReader in, int count) {
    std::vector<std::string> names(static_cast<std::size_t>(std::clamp(count, 0, kMaxInstruments)));
    for (std::string& name : names) {
        const std::size_t start = in.pos();
        const auto headerSize = in.u32le();
        const auto text = in.text(kInstrumentNameSize);
        const auto type = in.u8();
        const auto sampleCount = in.u16le();
        const auto sampleHeaderSize = sampleCount && *sampleCount > 0 ? in.u32le() : std::optional<std::uint32_t>(0);
        if (!headerSize || !text || !type || !sampleCount || !sampleHeaderSize) break;
        name = text->substr(0, text->find('\0'));
        name.erase(name.find_last_not_of(' ') + 1);
        if (!in.seek(start + *headerSize)) break;
        std::uint64_t data = 0;
        for (int k = 0; k < *sampleCount; ++k) {
            const std::size_t sampleStart = in.pos();
            const auto length = in.u32le();
            if (!length || !in.seek(sampleStart + *sampleHeaderSize)) return names;
            data += *length;
        }
        if (data > in.remaining() || !in.skip(static_cast<std::size_t>(data))) break;
    }
    return names;
}

}  // namespace

std::variant<XmModule, XmError> parseXmModule(std::span<const std::uint8_t> bytes, std::string* problem) {
    ByteReader in(bytes);
    auto header = readHeader(in);
    if (auto* error = std::get_if<XmError>(&header)) return *error;
    XmModule m;
    m.header = std::get<XmHeader>(std::move(header));
    const XmHeader& h = m.header;
    if (h.songLength < 1 || h.patternCount < 1 || h.channelCount < 1 || h.channelCount > kMaxChannels)
        return XmError::ReadError;
    m.channelCount = h.channelCount;
    m.songLength = h.songLength;
    m.restartPosition = h.restartPosition;
    m.patternCount = h.patternCount;
    m.orderTable = h.orderTable;
    const int channels = h.channelCount;
    const auto channelCells = static_cast<std::size_t>(channels);

    // Every pattern header first: a file that announces more than a module
    // can need is refused before anything is unpacked.
    std::vector<PatternHeader> patternHeaders;
    std::vector<std::span<const std::uint8_t>> packedCells;
    {
        ByteReader& walk = in;
        std::int64_t cells = 0;
        // A file cut inside its patterns is the common damage (a download or
        // a copy that stopped); the user is told which pattern and where.
        const auto cut = [&](int p, std::size_t needed) {
            if (problem)
                *problem = "pattern " + std::to_string(p) + "'s data runs to offset " + std::to_string(needed) +
                           ", but the file ends at offset " + std::to_string(bytes.size());
            return XmError::ReadError;
        };
        for (int p = 0; p < h.patternCount; ++p) {
            const std::size_t start = walk.pos();
            const auto ph = readPatternHeader(walk);
            if (!ph) {
                // The header's own length, when that much can be read.
                ByteReader length = walk;
                length.seek(start);
                const auto headerLength = length.i32le();
                const std::size_t needed =
                    start + (headerLength && *headerLength >= 9 ? static_cast<std::size_t>(*headerLength) : 9);
                if (needed > bytes.size()) return cut(p, needed);
                return XmError::ReadError;
            }
            const auto packed = walk.view(ph->packedSize);
            if (!packed) return cut(p, walk.pos() + ph->packedSize);
            cells += std::int64_t{ph->rows} * channels;
            if (cells > kMaxCells) return XmError::ReadError;
            patternHeaders.push_back(*ph);
            packedCells.push_back(*packed);
        }
    }

    m.patternRows.reserve(patternHeaders.size());
    m.patterns.reserve(patternHeaders.size());
    std::vector<XmCell> grid;
    for (std::size_t p = 0; p < patternHeaders.size(); ++p) {
        const int rows = patternHeaders[p].rows;
        grid.assign(static_cast<std::size_t>(rows) * channelCells, XmCell{});
        ByteReader packed(packedCells[p]);
        unpackCells(packed, grid);
        XmPattern pattern;
        pattern.rows = effectiveRows(grid, rows, channels);
        const auto patternRows = static_cast<std::size_t>(pattern.rows);
        pattern.cells.resize(patternRows * channelCells * kXmCellSize);
        std::uint8_t* out = pattern.cells.data();
        for (std::size_t n = 0; n < channelCells; ++n)
            for (std::size_t r = 0; r < patternRows; ++r, out += kXmCellSize) appendCell(out, grid[r * channelCells + n]);
        m.patternRows.push_back(pattern.rows);
        m.patterns.push_back(std::move(pattern));
    }

    if (!joinRowStreams(m)) return XmError::ReadError;
    m.channelNames = findChannelNames(bytes, channels);
    m.instrumentNames = readInstrumentNames(in, h.instrumentCount);
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
