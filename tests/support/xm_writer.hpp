#pragma once
// Writes small XM modules for the tests, packed or unpacked, with room for
// the odd shapes real files have (oversized headers, empty patterns, breaks).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::test {

struct XmPatternLayout {
    int rows = 64;
    // rows x channels cells, row-major; empty means every cell empty
    std::vector<XmCell> cells;
    bool packed = true;         // FT2 packing (flag bytes) or plain 5-byte cells
    bool storeNoData = false;   // write packed size 0
    int extraHeaderBytes = 0;   // pattern header longer than 9
};

// An instrument with its samples' data lengths (the data is zeros, 8-bit).
struct XmInstrumentLayout {
    std::string name;
    std::vector<int> sampleLengths;
    bool looped = false;   // every sample loops whole
    int relativeNote = 0;  // of every sample
};

struct XmLayout {
    std::string moduleName = "test module";
    std::string trackerName = "FastTracker v2.00";
    std::uint8_t versionMinor = 4, versionMajor = 1;
    int channelCount = 4;
    int restartPosition = 0;
    std::vector<std::uint8_t> orderTable = {0};
    std::vector<XmPatternLayout> patterns = {XmPatternLayout{}};
    int instrumentCount = 0;
    int flags = 1;
    int tempo = 6, bpm = 125;
    int extraHeaderBytes = 0;  // header size above 276
    int patternCountOverride = -1;  // write another count than patterns.size()
    // Written after the patterns; when given, they set the instrument count.
    std::vector<XmInstrumentLayout> instruments;
    std::vector<std::uint8_t> trailer;  // bytes after the patterns (instruments, CNAM, ...)
};

std::vector<std::uint8_t> buildXm(const XmLayout& layout);
// One instrument as FastTracker 2 writes it, for a layout's trailer: a
// 263-byte header, then one 8-bit sample of `sampleBytes` bytes.
std::vector<std::uint8_t> xmInstrument(const std::string& name, std::uint32_t sampleBytes);
void writeFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);


// A cell with a note (and optional instrument / effect).
XmCell noteCell(std::uint8_t note, std::uint8_t instrument = 0, std::uint8_t effect = 0, std::uint8_t param = 0);

}  // namespace ferro::test
