#pragma once
// Reading FM voices out of the ten kinds of voice source: eight file formats,
// the Sonic 1 / S3&K / Crackers songs, and pasted hexadecimal text.
#include "voices/fm_voice.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

// The kinds in the order of the voice manager's kind selector.
enum class VoiceFileKind : int {
    Raw25 = 0,
    Ymx = 1,
    Sonic1Song = 2,
    S3kSong = 3,
    Paste = 4,
    CrackersSong = 5,
    Fcv = 6,
    Raw29 = 7,
    Tfi = 8,
    Mvs = 9,
};
inline constexpr int kVoiceFileKindCount = 10;

// Failure messages of the imports, word for word.
inline constexpr const char* kNoVoicesMessage = "There are no voices in this file";
inline constexpr const char* kNotYmxMessage = "File is not a valid YMX";
inline constexpr const char* kWrongFileMessage = "There is something wrong with this file";
inline constexpr const char* kUniversalBankMessage = "This song uses the Universal Voice Bank";
inline constexpr const char* kBrokenFileMessage = "This file seems to be broken";
inline constexpr const char* kNotMvsMessage = "This file doesn't seem to be a valid MVS instrument";
inline constexpr const char* kPasteRejectedMessage = "The voice you entered is not in a recognized format!";
// Warnings the voice manager shows.
inline constexpr const char* kTfiSsgEgWarning = "This TFI uses the SSG-EG: may not sound right";
inline constexpr const char* kS3kSongWarning = "Won't work with some non-standard songs";
inline constexpr const char* kPastedVoiceName = "Pasted voice";

// One voice found in a file: its name (8-bit Latin-1 text) and its 25 bytes
// in SMPS operator order.
struct FileVoiceEntry {
    std::string name;
    FmVoice voice;
    bool operator==(const FileVoiceEntry&) const = default;
};
using FileVoiceList = std::vector<FileVoiceEntry>;

struct ImportResult {
    FileVoiceList voices;      // 1..n entries on success, empty on failure
    std::string message;       // empty on success, else one of the messages above
    std::string problem;       // what in the file does not fit its kind, when known
    bool ssgEgWarning = false; // TFI only: the voice uses SSG-EG (dropped)
    // Read, but the file holds fewer voices than it announces: the line that
    // says so ("the file announces 33 voices and holds 32"), else empty.
    std::string notice;
    bool ok() const { return message.empty(); }
};

// What the program knows about one kind: the voice manager lists the ten
// kinds from this table, and importVoiceFile dispatches through it.
struct VoiceKindInfo {
    VoiceFileKind kind;
    const char* caption;          // kind selector text
    const char* filePattern;      // "*.bin"; empty for Paste (no file)
    const char* hexFrameCaption;  // caption above the hex view; empty for Paste
    const char* cliName;          // name on the command line ("raw25", "paste", ...)
    const char* kindWarning;      // shown as soon as the kind is chosen, or nullptr
    // Reads the voices of one file's bytes; `fileName` is the name without
    // folder (8-bit text) used in entry names. nullptr for Paste.
    ImportResult (*import)(std::span<const std::uint8_t> data, std::string_view fileName);
};

const std::array<VoiceKindInfo, kVoiceFileKindCount>& voiceFileKinds();
const VoiceKindInfo& voiceKindInfo(VoiceFileKind kind);
const VoiceKindInfo* findVoiceKindByCliName(std::string_view name);

// Imports the voices of `file` (opened read-only, closed before returning).
// Entry names use the file's name without its folder. Paste, an unknown kind
// or an unreadable file give "There is something wrong with this file".
ImportResult importVoiceFile(VoiceFileKind kind, const std::filesystem::path& file);

// The failure as the user reads it: the message, then, when the import knows
// it, a line with the file's name and what does not fit its kind.
std::string importFailureText(const ImportResult& result, std::string_view fileName);

// The same from bytes already in memory.
ImportResult importVoiceBytes(VoiceFileKind kind, std::span<const std::uint8_t> data, std::string_view fileName);

// Pasted or typed text: 25 hexadecimal bytes separated by spaces and line
// breaks (any letter case). nullopt means kPasteRejectedMessage.
std::optional<FmVoice> parsePastedVoice(std::string_view text);

}  // namespace ferro
