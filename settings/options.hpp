#pragma once
// The user's options: what a yellow light does to a conversion, whether
// closing asks first, and whether the success message shows the binary's size.
// They live in a one-byte settings file in the folder the program started in.
#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/shared_types.hpp"

namespace ferro {

struct AppOptions {
    YellowPolicy generalPolicy = YellowPolicy::WarnAndAsk;
    YellowPolicy voicePolicy = YellowPolicy::WarnAndAsk;
    ExitPolicy exitPolicy = ExitPolicy::ExitAnyway;
    bool showSizeDecimal = false;
    bool showSizeHex = false;
    bool operator==(const AppOptions&) const = default;
};

inline constexpr const char* kSettingsFileName = "ferrosettings.ini";

// The settings byte: bits 0-1 general policy, 2-3 voice policy, 4-5 exit
// policy, 6 decimal size, 7 hexadecimal size. The defaults give 5.
std::uint8_t encodeSettingsByte(const AppOptions& options);
// Nothing when a yellow policy holds 3, which names no policy.
std::optional<AppOptions> decodeSettingsByte(std::uint8_t byte);

// Reads the settings file. A file that is missing or cannot be read gives the
// defaults; one that is not exactly one byte long or holds an invalid byte is
// deleted (a failed deletion is ignored) and gives the defaults too. The
// caller saves the result at once, so the file always ends up valid.
AppOptions loadOptions(const std::filesystem::path& settingsFile);

// Writes the settings byte as the whole file, creating it when missing.
// False when the file cannot be written; the options then stay in memory only.
bool saveOptions(const std::filesystem::path& settingsFile, const AppOptions& options);

}  // namespace ferro
