// The XM parser on hostile bytes, Auto fill and an in-memory conversion of
// what it read. Whatever the bytes, the parse either fails with its error or
// gives facts that agree with its row streams and patterns, and the conversion
// either succeeds or fails with its message (after "Remove rests" when the
// song has drums). Nothing touches a file, so the runs are quick.
#include <algorithm>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "engine/conversion.hpp"
#include "song/song_choices.hpp"
#include "engine/row_source.hpp"
#include "fuzz/fuzz_support.hpp"
#include "params/auto_fill.hpp"
#include "params/validation.hpp"
#include "xm/xm_parser.hpp"

using namespace ferro;

namespace {

// Beyond this many cells the conversion is skipped, to keep the runs quick.
constexpr std::int64_t kMaxConvertedCells = 1 << 13;

// A few hundred bytes can announce tens of millions of empty cells, which the
// parser accepts up to its own limit; unpacking them takes a good part of a
// second with the fuzzer's instrumentation, so such files are left to the
// parser's tests. Counts the cells of the patterns and the row streams that
// the headers announce, walking them as the parser does (roughly: a malformed
// file ends the walk early).
std::int64_t announcedCells(const std::uint8_t* data, std::size_t size) {
    auto u16 = [&](std::int64_t at) -> std::int64_t {
        return at >= 0 && static_cast<std::size_t>(at) + 2 <= size ? data[at] | (data[at + 1] << 8) : 0;
    };
    auto u32 = [&](std::int64_t at) -> std::int64_t {
        return at >= 0 && static_cast<std::size_t>(at) + 4 <= size ? u16(at) | (u16(at + 2) << 16) : -1;
    };
    const std::int64_t headerSize = u32(60);
    const std::int64_t songLength = u16(64);
    const std::int64_t channels = u16(68);
    const std::int64_t patterns = u16(70);
    if (headerSize < 0) return 0;
    std::vector<std::int64_t> rows(256, 64);  // an order entry without its pattern plays 64 empty rows
    std::int64_t at = 60 + headerSize;
    std::int64_t cells = 0;
    for (std::int64_t p = 0; p < patterns && at >= 0 && static_cast<std::size_t>(at) < size; ++p) {
        const std::int64_t length = u32(at);
        if (length < 9) break;
        const std::int64_t r = u16(at + 5);
        if (p < 256) rows[static_cast<std::size_t>(p)] = r;
        cells += r * channels;
        at += length + u16(at + 7);
    }
    for (std::int64_t i = 0; i < songLength && 80 + i < static_cast<std::int64_t>(size); ++i)
        cells += rows[data[80 + i]] * channels;
    return cells;
}
constexpr std::int64_t kMaxLoadedCells = 1 << 17;

void checkParsedModule(const XmModule& m) {
    FERRO_FUZZ_CHECK(m.channelCount >= 1);
    FERRO_FUZZ_CHECK(m.songLength >= 1);
    FERRO_FUZZ_CHECK(m.orderTable.size() == static_cast<std::size_t>(m.songLength));
    FERRO_FUZZ_CHECK(m.patternRows.size() == static_cast<std::size_t>(m.patternCount));
    FERRO_FUZZ_CHECK(m.patterns.size() == m.patternRows.size());
    for (std::size_t p = 0; p < m.patterns.size(); ++p) {
        FERRO_FUZZ_CHECK(m.patternRows[p] >= 1 && m.patternRows[p] <= 1024);
        FERRO_FUZZ_CHECK(m.patterns[p].cells.size() ==
                         static_cast<std::size_t>(m.patternRows[p]) * m.channelCount * kXmCellSize);
    }
    FERRO_FUZZ_CHECK(m.totalRows >= 1);
    FERRO_FUZZ_CHECK(m.restartRow >= 0 && m.restartRow < m.totalRows);
    FERRO_FUZZ_CHECK(m.rowStreams.size() == static_cast<std::size_t>(m.channelCount));
    for (int n = 1; n <= m.channelCount; ++n)
        FERRO_FUZZ_CHECK(m.rowStream(n).size() == static_cast<std::size_t>(m.totalRows) * kXmCellSize);
    if (m.channelNames) FERRO_FUZZ_CHECK(m.channelNames->size() == static_cast<std::size_t>(m.channelCount));
    FERRO_FUZZ_CHECK(m.instrumentSamples.size() == m.instrumentNames.size());
}

// Auto fill on what was read: a fill from the notes always converts.
void checkAutoFill(const XmModule& m) {
    SongSettings settings;
    ChannelAssignment assignment;
    resetChannelAssignment(assignment, m.channelCount);
    const auto text = autoFillModule(m, settings, assignment);
    if (!text || *text == kFilledFromNamesText) return;
    FERRO_FUZZ_CHECK(validateGeneralSettings(settings, assignment).light == ReadinessLight::Green);
}

// A request that gives every kind of output channel something to play, with
// options taken from one byte of the input.
ConversionRequest requestFor(const XmModule& m, std::uint8_t options) {
    ConversionRequest r = moduleRequest(m);
    r.fileName = "fuzz.xm";
    const int n = m.channelCount;
    r.fmChannelCount = std::min(6, n);
    for (int k = 0; k < 6; ++k) r.fm[static_cast<std::size_t>(k)] = k % n + 1;
    r.psgChannelCount = 3;
    for (int k = 0; k < 3; ++k) r.psg[static_cast<std::size_t>(k)] = (6 + k) % n + 1;
    r.dac = n;
    r.hasDrums = (options & 0x01) != 0;
    r.useNoise = (options & 0x02) != 0;
    r.loopSong = (options & 0x04) != 0;
    r.optimiseOutput = (options & 0x08) != 0;
    r.drumsByNote = (options & 0x10) != 0;
    r.hihatsByNote = (options & 0x20) != 0;
    r.endDacWithE4 = (options & 0x40) != 0;
    r.dividingTiming = 1 + options % 9;
    r.tempo = 1 + (options >> 4) % 9;
    for (int k = 0; k < 7; ++k) r.pan[static_cast<std::size_t>(k)] = static_cast<PanChoice>((options + k) % 5);
    for (int key = 0; key < 256; ++key) {
        r.instrumentVoices.push_back(static_cast<char>(key % 3));
        r.instrumentPsgEnvelopes.push_back(static_cast<char>(key % 128));
        r.hihatKinds.push_back(static_cast<char>(1 + key % 2));
        r.drumSamples.push_back(static_cast<char>(0x81 + key % 0x5F));
    }
    r.voices.resize(3);
    r.writeBin = true;
    r.writeAsm = (options & 0x80) == 0;
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (announcedCells(data, size) > kMaxLoadedCells) return 0;
    const std::span<const std::uint8_t> bytes(data, size);
    const auto header = parseXmHeader(bytes);
    auto parsed = parseXmModule(bytes);
    if (std::holds_alternative<XmError>(parsed)) return 0;
    FERRO_FUZZ_CHECK(std::holds_alternative<XmHeader>(header));
    XmModule& m = std::get<XmModule>(parsed);
    checkParsedModule(m);
    checkAutoFill(m);
    if (std::int64_t{m.totalRows} * m.channelCount > kMaxConvertedCells) return 0;

    const std::uint8_t options = size > 1 ? data[size - 2] : 0;
    ConversionRequest request = requestFor(m, options);
    request.loopSongAtLoad = size > 0 && (data[size - 1] & 1) == 0;
    MemoryRowSource rows(m);
    if (request.hasDrums) {
        FERRO_FUZZ_CHECK(rows.removeKeyOffs(*request.dac));
        const RowStream dac = rows.rowStream(*request.dac, m.totalRows);
        for (int r = 0; r < dac.rowCount(); ++r) FERRO_FUZZ_CHECK(dac.cell(r).note != kXmKeyOff);
    }
    const SongConversion song = convertSong(request, rows, seededRandom(options));
    FERRO_FUZZ_CHECK(song.succeeded ? !song.binary.empty() && !song.listing.empty() : !song.message.empty());
    return 0;
}
