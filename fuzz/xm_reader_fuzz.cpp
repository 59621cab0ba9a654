// The XM reader on hostile files: the header alone (the info window), the
// whole load with its scratch files, and a conversion of what was loaded.
// Whatever the bytes, the load either fails with its error or gives facts
// that agree with the row stream files, and the conversion either succeeds or
// fails with its message (after "Remove rests" when the song has drums);
// afterwards only the module and the outputs remain.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "base/byte_reader.hpp"
#include "engine/conversion.hpp"
#include "engine/request_builder.hpp"
#include "fuzz/fuzz_support.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_reader.hpp"

namespace fs = std::filesystem;
using namespace ferro;

namespace {

constexpr const char* kModuleName = "fuzz.xm";

// Beyond this many cells the conversion is skipped, to keep the runs quick.
constexpr std::int64_t kMaxConvertedCells = 1 << 18;

// A few hundred bytes can announce tens of millions of empty cells, which the
// reader accepts up to its own limit; unpacking and writing them takes about a
// second in a release build but minutes with the fuzzer's instrumentation, so
// such files are left to the reader's tests. Counts the cells of the pattern
// channel files and the row streams that the headers announce, walking them as
// the reader does (roughly: a malformed file ends the walk early).
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
constexpr std::int64_t kMaxLoadedCells = 1 << 19;

std::set<std::string> folderNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

void checkLoadedModule(const fs::path& dir, const XmModule& m) {
    FERRO_FUZZ_CHECK(m.channelCount >= 1);
    FERRO_FUZZ_CHECK(m.songLength >= 1);
    FERRO_FUZZ_CHECK(m.orderTable.size() == static_cast<std::size_t>(m.songLength));
    FERRO_FUZZ_CHECK(m.patternRows.size() == static_cast<std::size_t>(m.patternCount));
    for (const std::int16_t rows : m.patternRows) FERRO_FUZZ_CHECK(rows >= 1 && rows <= 32767);
    FERRO_FUZZ_CHECK(m.totalRows >= 1);
    FERRO_FUZZ_CHECK(m.loopStartRow >= 0 && m.loopStartRow < m.totalRows);
    for (int n = 1; n <= m.channelCount; ++n) {
        std::error_code ec;
        const auto size = fs::file_size(dir / rowStreamFileName(n), ec);
        FERRO_FUZZ_CHECK(!ec);
        FERRO_FUZZ_CHECK(size == static_cast<std::uintmax_t>(m.totalRows) * kXmCellSize);
    }
}

// A request that gives every kind of output channel something to play, with
// options taken from one byte of the input.
ConversionRequest requestFor(const fs::path& dir, const XmModule& m, std::uint8_t options) {
    ConversionRequest r = moduleRequest(m);
    r.workingDirectory = dir;
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
        r.corri.push_back(static_cast<char>(key % 3));
        r.psgorri.push_back(static_cast<char>(key % 128));
        r.norri.push_back(static_cast<char>(1 + key % 2));
        r.dorri.push_back(static_cast<char>(0x81 + key % 0x5F));
    }
    r.voices.resize(3);
    r.writeBin = true;
    r.writeAsm = (options & 0x80) == 0;
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& dir = fuzz::privateFolder("xm_reader");
    if (announcedCells(data, size) > kMaxLoadedCells) return 0;
    fuzz::writeInput(dir / kModuleName, data, size);

    (void)readXmHeader(dir / kModuleName);

    const std::int16_t loopOption = size > 0 && (data[size - 1] & 1) ? 1 : 0;
    const auto loaded = loadXmModule(dir, kModuleName, loopOption);
    if (const XmModule* m = std::get_if<XmModule>(&loaded)) {
        checkLoadedModule(dir, *m);
        if (std::int64_t{m->totalRows} * m->channelCount <= kMaxConvertedCells) {
            const std::uint8_t options = size > 1 ? data[size - 2] : 0;
            const ConversionRequest request = requestFor(dir, *m, options);
            if (shouldRemoveDacKeyOffs(1, request.hasDrums)) {
                FERRO_FUZZ_CHECK(removeDacKeyOffs(dir, *request.dac));
                const auto rows = readWholeFile(dir / rowStreamFileName(*request.dac));
                FERRO_FUZZ_CHECK(rows && rows->size() == static_cast<std::size_t>(m->totalRows) * kXmCellSize);
                for (std::size_t i = 0; i < rows->size(); i += kXmCellSize) FERRO_FUZZ_CHECK((*rows)[i] != kXmKeyOff);
            }
            const ConversionResult result = MAINCONVERSIONCODE(request, seededRandom(options));
            FERRO_FUZZ_CHECK(!result.message.empty());
            std::set<std::string> expected = {kModuleName, "voices.tmp"};
            for (int n = 1; n <= m->channelCount; ++n) expected.insert(rowStreamFileName(n));
            if (result.succeeded) {
                expected.insert("fuzz.bin");
                if (request.writeAsm) expected.insert("fuzz.asm");
            }
            // Pattern channel files stay too; every other name is a leak.
            for (const std::string& name : folderNames(dir)) {
                if (expected.count(name)) continue;
                FERRO_FUZZ_CHECK(name.rfind("P", 0) == 0 && isScratchFileName(name));
            }
        }
    }

    FERRO_FUZZ_CHECK(deleteScratchFiles(dir));
    std::error_code ec;
    fs::remove(dir / "fuzz.bin", ec);
    fs::remove(dir / "fuzz.asm", ec);
    FERRO_FUZZ_CHECK(folderNames(dir) == std::set<std::string>{kModuleName});
    return 0;
}
