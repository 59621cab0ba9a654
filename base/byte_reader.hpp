#pragma once
// One cursor over untrusted bytes. Every read checks the bounds first: a read
// that would pass the end fails (returns false / nullopt) and leaves the
// cursor where it was, unless the reader was made in zero-fill mode, where the
// missing bytes read as zeros (some voice files are shorter than what their
// own counts announce, and users still want their voices).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferro {

using Bytes = std::vector<std::uint8_t>;

class ByteReader {
public:
    enum class PastEnd { Fail, ReadZeros };

    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data, PastEnd mode = PastEnd::Fail)
        : data_(data), mode_(mode) {}

    std::size_t size() const { return data_.size(); }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    bool atEnd() const { return remaining() == 0; }

    // Moves the cursor. In Fail mode a position past the end fails; in
    // ReadZeros mode any position is allowed and reads there give zeros.
    bool seek(std::size_t position) {
        if (position > data_.size() && mode_ == PastEnd::Fail) return false;
        pos_ = position;
        return true;
    }
    bool skip(std::size_t count) {
        if (count > remaining() && mode_ == PastEnd::Fail) return false;
        pos_ += count;
        return true;
    }

    bool read(std::span<std::uint8_t> out) {
        const std::size_t have = remaining();
        if (out.size() > have && mode_ == PastEnd::Fail) return false;
        const std::size_t n = out.size() < have ? out.size() : have;
        for (std::size_t i = 0; i < n; ++i) out[i] = data_[pos_ + i];
        for (std::size_t i = n; i < out.size(); ++i) out[i] = 0;
        pos_ += out.size();
        return true;
    }

    std::optional<Bytes> bytes(std::size_t count) {
        if (count > remaining() && mode_ == PastEnd::Fail) return std::nullopt;
        Bytes out(count);
        read(out);
        return out;
    }

    std::optional<std::uint8_t> u8() {
        std::uint8_t b[1];
        if (!read(b)) return std::nullopt;
        return b[0];
    }
    std::optional<std::uint16_t> u16le() {
        std::uint8_t b[2];
        if (!read(b)) return std::nullopt;
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::optional<std::uint16_t> u16be() {
        std::uint8_t b[2];
        if (!read(b)) return std::nullopt;
        return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
    }
    std::optional<std::uint32_t> u32le() {
        std::uint8_t b[4];
        if (!read(b)) return std::nullopt;
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    // Two's complement, as the formats store signed counts.
    std::optional<std::int16_t> i16le() {
        const auto v = u16le();
        if (!v) return std::nullopt;
        return static_cast<std::int16_t>(*v);
    }
    std::optional<std::int32_t> i32le() {
        const auto v = u32le();
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    // `count` raw bytes as a string (names in fixed-size fields, zeros kept).
    std::optional<std::string> text(std::size_t count) {
        if (count > remaining() && mode_ == PastEnd::Fail) return std::nullopt;
        std::string out(count, '\0');
        read(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(out.data()), out.size()));
        return out;
    }
    // The next `count` bytes in place, without copying; they must all be
    // there, in either mode.
    std::optional<std::span<const std::uint8_t>> view(std::size_t count) {
        if (count > remaining()) return std::nullopt;
        const auto out = data_.subspan(pos_, count);
        pos_ += count;
        return out;
    }

    // A reader over the next `count` bytes, which this reader then skips. In
    // Fail mode the bytes must all be there.
    std::optional<ByteReader> sub(std::size_t count) {
        if (count > remaining() && mode_ == PastEnd::Fail) return std::nullopt;
        const std::size_t n = count < remaining() ? count : remaining();
        ByteReader r(data_.subspan(pos_, n), mode_);
        pos_ += count;
        return r;
    }

    // The byte at an absolute position, without moving the cursor.
    std::optional<std::uint8_t> at(std::size_t position) const {
        if (position < data_.size()) return data_[position];
        if (mode_ == PastEnd::ReadZeros) return std::uint8_t{0};
        return std::nullopt;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    PastEnd mode_ = PastEnd::Fail;
};

// Reads a whole file, opened read-only and closed on every path. Fails when
// the file cannot be opened or read, or is larger than `maxSize` bytes.
std::optional<Bytes> readWholeFile(const std::filesystem::path& path,
                                   std::uintmax_t maxSize = 64u * 1024u * 1024u);

// Writes a whole file, replacing it. Returns false when it cannot.
bool writeWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data);

// The same for a file the user keeps: the bytes go to a new file beside it,
// which then takes its name, so that a failed write leaves the old file
// whole. Returns false when it cannot.
bool replaceWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data);

// A name beside `path` that no file has yet ("song.wav.new", "song.wav.new2",
// ...), where a file is written whole before it takes `path`; empty when
// there is none.
std::filesystem::path newFileBeside(const std::filesystem::path& path);

}  // namespace ferro
