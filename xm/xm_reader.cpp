#include "xm/xm_reader.hpp"

#include <system_error>

#include "base/paths.hpp"

namespace ferro {

namespace fs = std::filesystem;

namespace {

// Far beyond the patterns of any module the parser accepts; what follows
// them (samples) can be large, but not this large.
constexpr std::uintmax_t kMaxModuleFileSize = std::uintmax_t{1} << 30;

}  // namespace

std::variant<Bytes, XmError> readXmFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return XmError::InvalidXm;
    std::optional<Bytes> bytes = readWholeFile(file, kMaxModuleFileSize);
    if (!bytes) return XmError::ReadError;
    return std::move(*bytes);
}

std::variant<XmHeader, XmError> readXmHeader(const fs::path& file) {
    auto bytes = readXmFile(file);
    if (auto* error = std::get_if<XmError>(&bytes)) return *error;
    return parseXmHeader(std::get<Bytes>(bytes));
}

std::variant<XmModule, XmError> readXmModule(const fs::path& directory, const std::string& fileName,
                                             std::string* problem) {
    auto bytes = readXmFile(directory / pathFromUtf8(fileName));
    if (auto* error = std::get_if<XmError>(&bytes)) return *error;
    std::string where;
    auto parsed = parseXmModule(std::get<Bytes>(bytes), &where);
    if (auto* error = std::get_if<XmError>(&parsed)) {
        if (problem && !where.empty()) *problem = fileName + ": " + where;
        return *error;
    }
    XmModule& module = std::get<XmModule>(parsed);
    module.fileName = fileName;
    module.directory = directory;
    return parsed;
}

}  // namespace ferro
