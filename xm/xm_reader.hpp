#pragma once
// Reads a FastTracker 2 Extended Module: checks it, unpacks its patterns into
// 5-byte cells and writes one row stream file per channel in song order.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace ferro {

// One pattern cell as stored in the scratch files.
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
    std::vector<std::uint8_t> orderTable;  // songLength entries (fewer if the block is short)
};

struct XmModule {
    std::string fileName;
    std::filesystem::path directory;
    std::int16_t channelCount = 0;
    std::int16_t songLength = 0;
    std::int16_t restartPosition = 0;
    std::int16_t patternCount = 0;
    std::vector<std::uint8_t> orderTable;
    std::vector<std::int16_t> patternRows;
    std::int32_t totalRows = 0;
    std::int32_t loopStartRow = 0;
    std::int16_t loopOption = 0;  // 0 loop, 1 play once
};

enum class XmError { InvalidXm, ReadError };

// The user's messages for the two failures.
inline constexpr const char* kInvalidXmMessage = "File isn't a valid XM";
inline constexpr const char* xmErrorMessage(XmError error) {
    return error == XmError::InvalidXm ? kInvalidXmMessage : "Some kind of error happened";
}

// Little-endian helpers of the explorer: 32 bits wrapping, 16 bits signed.
std::int32_t LDWORD(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4);
std::int16_t RWORD(std::uint8_t b1, std::uint8_t b2);

std::variant<XmHeader, XmError> readXmHeader(const std::filesystem::path& file);

// Loads directory/fileName, writing the scratch files into `directory` (the
// working directory, which the explorer keeps equal to the module's folder).
std::variant<XmModule, XmError> loadXmModule(const std::filesystem::path& directory,
                                             const std::string& fileName, std::int16_t loopOption);

// Reads `count` cells of a row stream file from song row `firstRow`.
std::vector<XmCell> decodeCells(const std::uint8_t* data, std::size_t cellCount);

}  // namespace ferro
