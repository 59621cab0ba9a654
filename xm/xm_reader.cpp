#include "xm/xm_reader.hpp"

#include <system_error>

#include "base/latin1.hpp"
#include "base/paths.hpp"

namespace ferro {

namespace fs = std::filesystem;

namespace {

// Far beyond the patterns of any module the parser accepts; what follows
// them (samples) can be large, but not this large.
constexpr std::uintmax_t kMaxModuleFileSize = std::uintmax_t{1} << 30;

}  // namespace

namespace {

void name(std::string* problem, const std::string& fileName, const std::string& what) {
    if (problem && !what.empty()) *problem = fileName + ": " + what;
}

}  // namespace

std::variant<Bytes, XmError> readXmFile(const fs::path& file, std::string* problem) {
    const std::string fileName = utf8FromPath(file.filename());
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        name(problem, fileName, fs::exists(file, ec) ? "it is not a file" : "there is no such file");
        return XmError::InvalidXm;
    }
    std::optional<Bytes> bytes = readWholeFile(file, kMaxModuleFileSize);
    if (!bytes) {
        name(problem, fileName, "it cannot be read");
        return XmError::ReadError;
    }
    return std::move(*bytes);
}

std::variant<XmHeader, XmError> readXmHeader(const fs::path& file, std::string* problem) {
    auto bytes = readXmFile(file, problem);
    if (auto* error = std::get_if<XmError>(&bytes)) return *error;
    std::string where;
    auto header = parseXmHeader(std::get<Bytes>(bytes), &where);
    name(problem, utf8FromPath(file.filename()), where);
    return header;
}

std::variant<XmModule, XmError> readXmModule(const fs::path& directory, const std::string& fileName,
                                             std::string* problem) {
    auto bytes = readXmFile(directory / pathFromUtf8(fileName), problem);
    if (auto* error = std::get_if<XmError>(&bytes)) return *error;
    std::string where;
    auto parsed = parseXmModule(std::get<Bytes>(bytes), &where);
    if (auto* error = std::get_if<XmError>(&parsed)) {
        name(problem, fileName, where);
        return *error;
    }
    XmModule& module = std::get<XmModule>(parsed);
    module.fileName = fileName;
    module.directory = directory;
    return parsed;
}

std::string xmFailureText(XmError error, const std::string& problem) {
    return problem.empty() ? xmErrorMessage(error) : xmErrorMessage(error) + ("\n" + problem);
}

std::string xmWarningText(const XmModule& module) {
    if (module.warning.empty()) return {};
    return module.fileName.empty() ? module.warning : module.fileName + ": " + module.warning;
}

std::string songTitle(const XmModule& module) {
    const std::string& raw = module.header.moduleName;
    std::string name = raw.substr(0, raw.find('\0'));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty()) return utf8FromPath(pathFromUtf8(module.fileName).stem());
    return latin1ToUtf8(name);
}

}  // namespace ferro
