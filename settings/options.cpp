#include "settings/options.hpp"

#include <array>
#include <system_error>

#include "base/byte_reader.hpp"

namespace ferro {

std::uint8_t encodeSettingsByte(const AppOptions& options) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(options.generalPolicy) |
                                     (static_cast<unsigned>(options.voicePolicy) << 2) |
                                     (static_cast<unsigned>(options.exitPolicy) << 4) |
                                     (options.showSizeDecimal ? 0x40u : 0u) | (options.showSizeHex ? 0x80u : 0u));
}

std::optional<AppOptions> decodeSettingsByte(std::uint8_t byte) {
    const unsigned general = byte & 3u;
    const unsigned voice = (byte >> 2) & 3u;
    if (general > 2 || voice > 2) return std::nullopt;
    AppOptions options;
    options.generalPolicy = static_cast<YellowPolicy>(general);
    options.voicePolicy = static_cast<YellowPolicy>(voice);
    options.exitPolicy = static_cast<ExitPolicy>((byte >> 4) & 3u);
    options.showSizeDecimal = (byte & 0x40u) != 0;
    options.showSizeHex = (byte & 0x80u) != 0;
    return options;
}

namespace {

// Removes a broken settings file. Only a plain file is ever removed: a folder
// or anything else that happens to carry the name is left alone.
void discardSettingsFile(const std::filesystem::path& settingsFile) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(settingsFile, ec)) std::filesystem::remove(settingsFile, ec);
}

}  // namespace

AppOptions loadOptions(const std::filesystem::path& settingsFile) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(settingsFile, ec)) return AppOptions{};
    const std::uintmax_t size = std::filesystem::file_size(settingsFile, ec);
    if (ec) return AppOptions{};
    if (size != 1) {
        discardSettingsFile(settingsFile);
        return AppOptions{};
    }
    // Unreadable (no permission, or it changed since): keep the file, use
    // the defaults.
    const std::optional<Bytes> data = readWholeFile(settingsFile, 1);
    if (!data) return AppOptions{};
    ByteReader reader(*data);
    const std::optional<std::uint8_t> byte = reader.u8();
    if (!byte || !reader.atEnd()) {
        discardSettingsFile(settingsFile);
        return AppOptions{};
    }
    const std::optional<AppOptions> options = decodeSettingsByte(*byte);
    if (!options) {
        discardSettingsFile(settingsFile);
        return AppOptions{};
    }
    return *options;
}

bool saveOptions(const std::filesystem::path& settingsFile, const AppOptions& options) {
    const std::array<std::uint8_t, 1> byte{encodeSettingsByte(options)};
    return writeWholeFile(settingsFile, byte);
}

}  // namespace ferro
