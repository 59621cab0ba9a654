#include "xm/xm_reader.hpp"

#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "xm/scratch_files.hpp"

namespace ferro {

namespace {

namespace fs = std::filesystem;

constexpr char kXmId[] = "Extended Module: ";
constexpr std::size_t kXmIdSize = 17;

// Beyond these a file is not a module a tracker could have written, and
// unpacking it would fill the user's disk: the reader refuses it.
constexpr int kMaxChannels = 128;
// FastTracker 2 writes at most 256 rows a pattern, OpenMPT at most 1024.
constexpr int kMaxPatternRows = 1024;
// Cells written to the pattern channel files, and again to the row stream
// files, over the whole load (a 256-pattern, 256-row, 64-channel module has
// 4 M). A tiny file can announce far more; it must not fill the disk.
constexpr std::int64_t kMaxScratchCells = std::int64_t{1} << 23;
// Rows of the empty pattern that stands in for an order entry naming a
// pattern the file does not store, as trackers play it.
constexpr std::int16_t kMissingPatternRows = 64;

// A read-only file with its length known, read in whole blocks; a block that
// would pass the end of the file is a failure, never a short read.
class BlockFile {
public:
    explicit BlockFile(const fs::path& path) : in_(path, std::ios::binary) {
        if (!in_) return;
        in_.seekg(0, std::ios::end);
        const std::streamoff end = in_.tellg();
        in_.seekg(0, std::ios::beg);
        if (end < 0 || !in_) return;
        length_ = static_cast<std::uint64_t>(end);
        open_ = true;
    }
    bool isOpen() const { return open_; }
    std::uint64_t remaining() const { return length_ - pos_; }

    std::optional<Bytes> read(std::uint64_t count) {
        if (!open_ || count > remaining()) return std::nullopt;
        Bytes data(static_cast<std::size_t>(count));
        if (count > 0 && !in_.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(count)))
            return std::nullopt;
        pos_ += count;
        return data;
    }

    bool skip(std::uint64_t count) { return count <= remaining() && seekTo(pos_ + count); }
    std::uint64_t position() const { return pos_; }
    bool seekTo(std::uint64_t position) {
        if (!open_ || position > length_) return false;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(position), std::ios::beg);
        if (!in_) return false;
        pos_ = position;
        return true;
    }

private:
    std::ifstream in_;
    std::uint64_t length_ = 0;
    std::uint64_t pos_ = 0;
    bool open_ = false;
};

struct PatternHeader {
    std::int16_t rows = 0;
    // Unsigned: a full 256-row pattern of many channels can pass 32767 bytes.
    std::uint16_t packedSize = 0;
};

// Reads a pattern's length and header block; the cursor is then at its packed cells.
std::optional<PatternHeader> readPatternHeader(BlockFile& in) {
    const auto lengthBytes = in.read(4);
    if (!lengthBytes) return std::nullopt;
    const std::int32_t headerLength = LDWORD((*lengthBytes)[0], (*lengthBytes)[1], (*lengthBytes)[2], (*lengthBytes)[3]);
    if (headerLength < 9) return std::nullopt;
    const auto block = in.read(static_cast<std::uint64_t>(headerLength) - 4);
    if (!block) return std::nullopt;
    PatternHeader header;
    header.rows = RWORD((*block)[1], (*block)[2]);
    header.packedSize = static_cast<std::uint16_t>((*block)[3] | ((*block)[4] << 8));
    if (header.rows < 1 || header.rows > kMaxPatternRows) return std::nullopt;
    return header;
}

// Walks every pattern header before anything is written, so that a file that
// announces more than a module can need is refused with the disk untouched.
bool patternsWithinLimits(BlockFile& in, int patternCount, int channels) {
    const std::uint64_t start = in.position();
    std::int64_t cells = 0;
    for (int p = 0; p < patternCount; ++p) {
        const auto header = readPatternHeader(in);
        if (!header || !in.skip(header->packedSize)) return false;
        cells += std::int64_t{header->rows} * channels;
        if (cells > kMaxScratchCells) return false;
    }
    return in.seekTo(start);
}

struct HeaderRead {
    XmHeader header;
    std::optional<XmError> error;
};

std::int16_t blockWord(const Bytes& block, std::size_t offset) {
    return RWORD(block[offset], block[offset + 1]);
}

// Reads the ID text, names, version, header size and header block. With
// `needAllFields` the block must also hold the fields only the info window
// shows.
HeaderRead readHeader(BlockFile& file, bool needAllFields) {
    HeaderRead result;
    XmHeader& h = result.header;
    auto fail = [&](XmError e) { result.error = e; return result; };

    const auto id = file.read(kXmIdSize);
    if (!id || std::memcmp(id->data(), kXmId, kXmIdSize) != 0) return fail(XmError::InvalidXm);

    const auto fixed = file.read(20 + 1 + 20 + 2 + 4);
    if (!fixed) return fail(XmError::ReadError);
    h.moduleName.assign(fixed->begin(), fixed->begin() + 20);
    h.trackerName.assign(fixed->begin() + 21, fixed->begin() + 41);
    h.versionMinor = (*fixed)[41];
    h.versionMajor = (*fixed)[42];
    h.headerSize = LDWORD((*fixed)[43], (*fixed)[44], (*fixed)[45], (*fixed)[46]);
    if (h.headerSize < 4) return fail(XmError::ReadError);

    const auto block = file.read(static_cast<std::uint64_t>(h.headerSize) - 4);
    if (!block) return fail(XmError::ReadError);
    const std::size_t needed = needAllFields ? 16 : 8;
    if (block->size() < needed) return fail(XmError::ReadError);
    h.songLength = blockWord(*block, 0);
    h.restartPosition = blockWord(*block, 2);
    h.channelCount = blockWord(*block, 4);
    h.patternCount = blockWord(*block, 6);
    if (block->size() >= 16) {
        h.instrumentCount = blockWord(*block, 8);
        h.frequencyFlags = blockWord(*block, 10);
        h.defaultTempo = blockWord(*block, 12);
        h.defaultBpm = blockWord(*block, 14);
    }
    if (h.songLength > 0) {
        if (block->size() < 16u + static_cast<std::size_t>(h.songLength)) return fail(XmError::ReadError);
        h.orderTable.assign(block->begin() + 16, block->begin() + 16 + h.songLength);
    }
    return result;
}

// Unpacks one pattern's packed cells into a row-major grid. Packed data that
// ends early leaves the remaining cells empty, as players read it.
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

bool writeCells(const fs::path& path, const XmCell* cells, std::size_t count, std::size_t stride) {
    Bytes out;
    out.reserve(count * kXmCellSize);
    for (std::size_t i = 0; i < count; ++i) {
        const XmCell& c = cells[i * stride];
        out.insert(out.end(), {c.note, c.instrument, c.volume, c.effectType, c.effectParameter});
    }
    return writeWholeFile(path, out);
}

}  // namespace

std::int32_t LDWORD(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4) {
    const std::uint32_t v = static_cast<std::uint32_t>(b1) | (static_cast<std::uint32_t>(b2) << 8) |
                            (static_cast<std::uint32_t>(b3) << 16) | (static_cast<std::uint32_t>(b4) << 24);
    return static_cast<std::int32_t>(v);
}

std::int16_t RWORD(std::uint8_t b1, std::uint8_t b2) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(b1 | (b2 << 8)));
}

std::variant<XmHeader, XmError> readXmHeader(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return XmError::InvalidXm;
    BlockFile in(file);
    if (!in.isOpen()) return XmError::ReadError;
    HeaderRead read = readHeader(in, true);
    if (read.error) return *read.error;
    return read.header;
}

std::variant<XmModule, XmError> loadXmModule(const fs::path& directory, const std::string& fileName,
                                             std::int16_t loopOption) {
    deleteScratchFiles(directory);

    const fs::path path = directory / pathFromUtf8(fileName);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return XmError::InvalidXm;

    XmModule module;
    module.fileName = fileName;
    module.directory = directory;
    module.loopOption = loopOption;
    {
        BlockFile in(path);
        if (!in.isOpen()) return XmError::ReadError;
        HeaderRead read = readHeader(in, false);
        if (read.error) return *read.error;
        const XmHeader& h = read.header;
        if (h.songLength < 1 || h.patternCount < 1 || h.channelCount < 1 || h.channelCount > kMaxChannels)
            return XmError::ReadError;
        module.channelCount = h.channelCount;
        module.songLength = h.songLength;
        module.restartPosition = h.restartPosition;
        module.patternCount = h.patternCount;
        module.orderTable = h.orderTable;
        module.patternRows.assign(static_cast<std::size_t>(h.patternCount), 0);

        const int channels = h.channelCount;
        if (!patternsWithinLimits(in, h.patternCount, channels)) return XmError::ReadError;
        std::vector<XmCell> grid;
        for (int p = 0; p < h.patternCount; ++p) {
            const auto header = readPatternHeader(in);
            if (!header) return XmError::ReadError;
            const std::int16_t rows = header->rows;
            const std::uint16_t packedSize = header->packedSize;

            grid.assign(static_cast<std::size_t>(rows) * channels, XmCell{});
            if (packedSize > 0) {
                const auto packed = in.read(packedSize);
                if (!packed) return XmError::ReadError;
                ByteReader reader(*packed);
                unpackCells(reader, grid);
            }

            std::int16_t effectiveRows = rows;
            for (int r = 0; r < rows; ++r) {
                const XmCell* row = &grid[static_cast<std::size_t>(r) * channels];
                bool hasBreak = false;
                for (int n = 0; n < channels; ++n) hasBreak = hasBreak || row[n].effectType == kXmPatternBreak;
                if (hasBreak) {
                    effectiveRows = static_cast<std::int16_t>(r + 1);
                    break;
                }
            }
            module.patternRows[static_cast<std::size_t>(p)] = effectiveRows;

            for (int n = 1; n <= channels; ++n) {
                if (!writeCells(directory / patternChannelFileName(p, n), &grid[static_cast<std::size_t>(n - 1)],
                                static_cast<std::size_t>(effectiveRows), static_cast<std::size_t>(channels)))
                    return XmError::ReadError;
            }
        }
    }  // the module file is closed here

    // Song rows, the loop start and the size of the row streams.
    std::int64_t total = 0;
    std::int32_t restartRow = 0;
    for (int i = 0; i < module.songLength; ++i) {
        if (i == module.restartPosition) restartRow = static_cast<std::int32_t>(total);
        const std::uint8_t pattern = module.orderTable[static_cast<std::size_t>(i)];
        total += pattern < module.patternCount ? module.patternRows[pattern] : kMissingPatternRows;
    }
    if (total * module.channelCount > kMaxScratchCells) return XmError::ReadError;
    module.totalRows = static_cast<std::int32_t>(total);
    module.loopStartRow = loopOption == 1 ? 0 : restartRow;

    // Each row stream is the pattern channel files joined in song order.
    const Bytes missingPattern(static_cast<std::size_t>(kMissingPatternRows) * kXmCellSize, 0);
    for (int n = 1; n <= module.channelCount; ++n) {
        std::ofstream out(directory / rowStreamFileName(n), std::ios::binary | std::ios::trunc);
        if (!out) return XmError::ReadError;
        for (int i = 0; i < module.songLength; ++i) {
            const std::uint8_t pattern = module.orderTable[static_cast<std::size_t>(i)];
            std::optional<Bytes> data;
            if (pattern < module.patternCount) {
                data = readWholeFile(directory / patternChannelFileName(pattern, n));
                if (!data) return XmError::ReadError;
            } else {
                data = missingPattern;
            }
            out.write(reinterpret_cast<const char*>(data->data()), static_cast<std::streamsize>(data->size()));
        }
        out.close();
        if (out.fail()) return XmError::ReadError;
    }
    return module;
}

std::vector<XmCell> decodeCells(const std::uint8_t* data, std::size_t cellCount) {
    std::vector<XmCell> cells(cellCount);
    for (std::size_t i = 0; i < cellCount; ++i) {
        const std::uint8_t* c = data + i * kXmCellSize;
        cells[i] = XmCell{c[0], c[1], c[2], c[3], c[4]};
    }
    return cells;
}

}  // namespace ferro
