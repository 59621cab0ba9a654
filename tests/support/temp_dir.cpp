#include "support/temp_dir.hpp"

#include <algorithm>
#include <atomic>
#include <random>
#include <stdexcept>

namespace ferro::test {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("ferro-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::fileNames() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool TempDir::exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

std::filesystem::path TempDir::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    if (!writeWholeFile(file, bytes)) throw std::runtime_error("cannot write " + file.string());
    return file;
}

Bytes TempDir::read(const std::string& name) const {
    auto data = readWholeFile(path_ / name);
    return data ? *data : Bytes{};
}

std::string TempDir::readText(const std::string& name) const {
    const Bytes b = read(name);
    return std::string(b.begin(), b.end());
}

void TempDir::writeRowStream(int channel, const std::vector<XmCell>& cells) const {
    Bytes data;
    for (const XmCell& c : cells) data.insert(data.end(), {c.note, c.instrument, c.volume, c.effectType, c.effectParameter});
    write("C" + std::to_string(channel) + ".tmp", data);
}

}  // namespace ferro::test
