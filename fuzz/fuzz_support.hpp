#pragma once
// Shared by the fuzz targets: a private scratch folder for the readers that
// need files, removed when the fuzzer exits, and a check that stops the run
// when a property of the result does not hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

namespace ferro::fuzz {

// A folder of this process's own under the temporary folder. The readers
// write their scratch files there and nowhere else.
inline const std::filesystem::path& privateFolder(const char* target) {
    static const std::filesystem::path folder = [target] {
        namespace fs = std::filesystem;
        const fs::path p = fs::temp_directory_path() /
                           ("ferro-fuzz-" + std::string(target) + "-" + std::to_string(::getpid()));
        std::error_code ec;
        fs::remove_all(p, ec);
        fs::create_directories(p);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(privateFolder(nullptr), ignored);
        });
        return p;
    }();
    return folder;
}

// The file is removed first: truncating a file in place makes some file
// systems flush it to disk on close, which slows each run a hundredfold.
inline void writeInput(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size > 0) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write the fuzz input to %s\n", path.string().c_str());
        std::abort();
    }
}

// A broken promise of the code under test: reported like a crash.
#define FERRO_FUZZ_CHECK(condition)                                                         \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

}  // namespace ferro::fuzz
