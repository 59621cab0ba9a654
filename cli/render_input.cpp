#include "cli/render_input.hpp"

#include <cstring>
#include <filesystem>

#include "base/paths.hpp"

namespace ferro::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char kXmMagic[] = "Extended Module: ";

bool isXm(const Bytes& bytes) {
    const std::size_t n = sizeof kXmMagic - 1;
    return bytes.size() >= n && std::memcmp(bytes.data(), kXmMagic, n) == 0;
}

}  // namespace

RenderInput songForRender(const std::string& input, const std::string& setup, std::optional<std::uint64_t> seed) {
    RenderInput out;
    const fs::path path = fs::absolute(pathFromUtf8(input));
    out.name = utf8FromPath(path.stem());
    // Songs are small; a file of many megabytes is neither a song nor a module
    // worth reading whole.
    auto bytes = readWholeFile(path, 64u << 20);
    if (!bytes) {
        out.message = "Cannot read " + input;
        return out;
    }
    if (isXm(*bytes)) {
        (void)seed;
        out.message = "Rendering an XM module needs the in-memory conversion";
        return out;
    }
    if (!setup.empty()) out.warnings.push_back("--setup is for XM modules: " + input + " plays with its own voices");
    out.song = std::move(*bytes);
    return out;
}

}  // namespace ferro::cli
