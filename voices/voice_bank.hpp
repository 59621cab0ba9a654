#pragma once
// Saving the song's voices as a voice bank that the imports read back.
#include "base/byte_reader.hpp"
#include "voices/song_voice_list.hpp"

#include <array>
#include <filesystem>
#include <optional>

namespace ferro {

// The formats in the order of the "Save voice bank" window's options.
enum class BankFormat : int { Raw = 0, Fcv = 1, Ymx = 2 };

struct BankFormatInfo {
    BankFormat format;
    const char* caption;    // "Raw binary file", ...
    const char* extension;  // ".bin", ".fcv", ".ymx"
    const char* cliName;    // "raw", "fcv", "ymx"
    int voiceLimit;         // 256, 255, 127
};

const std::array<BankFormatInfo, 3>& bankFormats();
const BankFormatInfo& bankFormatInfo(BankFormat format);

inline constexpr const char* kBankSavedMessage = "The voice bank was successfully saved!";

// The bytes of the bank. nullopt when the list cannot be written in that
// format: no voices, more than the format's limit (its count field would
// wrap), or, for fcv, a name longer than 255 characters.
std::optional<Bytes> encodeVoiceBank(const SongVoiceList& list, BankFormat format);

// Creates or replaces `path` with the bank. False on any failure; the file is
// not touched when the list cannot be encoded.
bool writeVoiceBank(const SongVoiceList& list, BankFormat format, const std::filesystem::path& path);

}  // namespace ferro
