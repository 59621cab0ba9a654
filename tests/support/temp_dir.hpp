#pragma once
// A fresh empty folder under the system's temporary folder for one test,
// removed with the object, with small helpers to put files in and read them.
#include <filesystem>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> fileNames() const;
    bool exists(const std::string& name) const;

    // Writes a file, making its folders; `name` may hold a relative path.
    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    Bytes read(const std::string& name) const;  // empty when missing
    std::string readText(const std::string& name) const;
    // C<channel>.tmp holding the cells, as the reader writes row streams.
    void writeRowStream(int channel, const std::vector<XmCell>& cells) const;

private:
    std::filesystem::path path_;
};

}  // namespace ferro::test
