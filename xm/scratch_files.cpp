#include "xm/scratch_files.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string_view>
#include <system_error>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"

namespace ferro {

std::string patternChannelFileName(int pattern, int channel) {
    return "P" + std::to_string(pattern) + "C" + std::to_string(channel) + ".tmp";
}
std::string rowStreamFileName(int channel) { return "C" + std::to_string(channel) + ".tmp"; }

namespace {

// Consumes a decimal number without sign or leading zeros from the front of
// s. Pattern numbers start at 0, channel numbers at 1.
bool takeNumber(std::string_view& s, bool zeroAllowed = false) {
    std::size_t n = 0;
    while (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) ++n;
    if (n == 0 || (n > 1 && s[0] == '0') || (!zeroAllowed && s[0] == '0')) return false;
    s.remove_prefix(n);
    return true;
}

bool takePrefix(std::string_view& s, std::string_view prefix) {
    if (s.size() < prefix.size() || s.substr(0, prefix.size()) != prefix) return false;
    s.remove_prefix(prefix.size());
    return true;
}

}  // namespace

bool isScratchFileName(const std::string& name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "VOICES.TMP") return true;
    std::string_view s(upper);
    if (s.size() < 4 || s.substr(s.size() - 4) != ".TMP") return false;
    s.remove_suffix(4);
    if (takePrefix(s, "BATMAN") || takePrefix(s, "LOL")) return takeNumber(s) && s.empty();
    if (takePrefix(s, "P")) return takeNumber(s, true) && takePrefix(s, "C") && takeNumber(s) && s.empty();
    if (takePrefix(s, "C")) return takeNumber(s) && s.empty();
    return false;
}

bool deleteScratchFiles(const std::filesystem::path& directory) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) return false;
    bool allGone = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return false;
        const fs::directory_entry& entry = *it;
        if (!isScratchFileName(utf8FromPath(entry.path().filename()))) continue;
        std::error_code typeEc;
        // Plain files and links only: a folder that happens to carry such a
        // name is the user's. A link goes (never what it points to), or the
        // next load would write through it into another folder.
        if (!entry.is_symlink(typeEc) && !entry.is_regular_file(typeEc)) continue;
        std::error_code removeEc;
        if (!fs::remove(entry.path(), removeEc) || removeEc) allGone = false;
    }
    return allGone;
}

bool writeScratchFiles(const std::filesystem::path& directory, const XmModule& module) {
    for (int p = 0; p < static_cast<int>(module.patterns.size()); ++p) {
        for (int n = 1; n <= module.channelCount; ++n) {
            if (!writeWholeFile(directory / patternChannelFileName(p, n), module.patternChannel(p, n))) return false;
        }
    }
    for (int n = 1; n <= module.channelCount; ++n) {
        if (!writeWholeFile(directory / rowStreamFileName(n), module.rowStream(n))) return false;
    }
    return true;
}

bool removeRowStreamKeyOffs(const std::filesystem::path& directory, int channel) {
    if (channel < 1) return false;
    const std::filesystem::path file = directory / rowStreamFileName(channel);
    const std::optional<Bytes> data = readWholeFile(file);
    if (!data) return false;
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    if (!stream) return false;
    const std::size_t rows = data->size() / kXmCellSize;
    for (std::size_t i = 0; i < rows; ++i) {
        if ((*data)[i * kXmCellSize] != kXmKeyOff) continue;
        stream.seekp(static_cast<std::streamoff>(i * kXmCellSize));
        stream.put('\0');
    }
    stream.flush();
    return static_cast<bool>(stream);
}

std::variant<XmModule, XmError> loadXmModule(const std::filesystem::path& directory, const std::string& fileName,
                                             std::string* problem) {
    deleteScratchFiles(directory);
    auto loaded = readXmModule(directory, fileName, problem);
    if (const auto* module = std::get_if<XmModule>(&loaded)) {
        if (!writeScratchFiles(directory, *module)) {
            deleteScratchFiles(directory);
            if (problem) *problem = fileName + ": its scratch files cannot be written into its folder";
            return XmError::ReadError;
        }
    }
    return loaded;
}

ScratchFolder::~ScratchFolder() {
    try {
        clear();
    } catch (...) {
    }
}

std::variant<XmModule, XmError> ScratchFolder::load(const std::string& fileName, std::string* problem) {
    return loadXmModule(directory_, fileName, problem);
}

bool ScratchFolder::write(const XmModule& module) {
    clear();
    if (writeScratchFiles(directory_, module)) return true;
    clear();
    return false;
}

void ScratchFolder::clear() { deleteScratchFiles(directory_); }

}  // namespace ferro
