#pragma once
// The text form of an FM voice, the exchange between the two operator
// orders, and the 8-bit text of voice names.
#include "voices/fm_voice.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ferro {

// 25 groups of two upper-case hexadecimal digits joined by single spaces
// (74 characters). Byte k stands at characters 3k and 3k+1 (from 0).
using VoiceHexText = std::string;
inline constexpr std::size_t kVoiceHexTextLength = 3 * kFmVoiceSize - 1;

VoiceHexText formatVoiceHex(const FmVoice& voice);

// Reads byte k from characters 3k and 3k+1 and looks at nothing else (the
// separators are not checked). Fails when the text is shorter than 74
// characters or one of those characters is not a hexadecimal digit, so that
// a damaged text never turns silently into a different voice.
std::optional<FmVoice> parseVoiceHex(std::string_view text);

// Exchanges the second and third byte of each group of four (offsets 2<->3,
// 6<->7, ..., 22<->23): natural operator order 1, 2, 3, 4 <-> SMPS order
// 1, 3, 2, 4. Its own inverse; byte 0 never moves.
FmVoice swapNaturalSmps(const FmVoice& voice);

// Voice names are 8-bit text, one byte per character (Latin-1), the way the
// voice files and banks store them.
std::string utf8FromLatin1(std::string_view latin1);
// Characters above 255 become '?'; a byte that is not valid UTF-8 is kept as
// the Latin-1 character of that value.
std::string latin1FromUtf8(std::string_view utf8);
// The last component of a path (no folder) as 8-bit text.
std::string latin1FileName(const std::filesystem::path& path);

}  // namespace ferro
