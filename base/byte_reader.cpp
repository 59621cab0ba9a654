#include "base/byte_reader.hpp"

#include <fstream>
#include <string>
#include <system_error>

namespace ferro {

std::optional<Bytes> readWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0 || static_cast<std::uintmax_t>(length) > maxSize) return std::nullopt;
    in.seekg(0, std::ios::beg);
    Bytes data(static_cast<std::size_t>(length));
    if (length > 0 && !in.read(reinterpret_cast<char*>(data.data()), length)) return std::nullopt;
    return data;
}

bool writeWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (!data.empty()) out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    return !out.fail();
}

std::filesystem::path newFileBeside(const std::filesystem::path& path) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    std::error_code ec;
    for (int n = 2; std::filesystem::symlink_status(temporary, ec).type() != std::filesystem::file_type::not_found; ++n) {
        if (n > 1000) return {};
        temporary = path;
        temporary += ".new" + std::to_string(n);
    }
    return temporary;
}

bool replaceWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data) {
    const std::filesystem::path temporary = newFileBeside(path);
    if (temporary.empty()) return false;
    std::error_code ec;
    if (!writeWholeFile(temporary, data)) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace ferro
