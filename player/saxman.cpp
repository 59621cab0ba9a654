#include "player/saxman.hpp"

namespace ferro {

namespace {

// The Sonic 2 driver's unpacking time: per literal (descriptor bytes
// included), per copy and per byte copied.
constexpr std::uint32_t kLiteralCycles = 228;
constexpr std::uint32_t kCopyCycles = 550;
constexpr std::uint32_t kCopiedByteCycles = 21;
constexpr std::uint32_t kWindow = 0x1000;

std::string hex(std::size_t value) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(value >> shift) & 0xF];
    return out;
}

}  // namespace

SaxmanSong unpackSaxman(std::span<const std::uint8_t> file, std::size_t maxSize) {
    SaxmanSong out;
    ByteReader header(file);
    const auto count = header.u16le();
    if (!count) {
        out.error = "The Saxman stream is shorter than its byte count";
        return out;
    }
    auto body = header.sub(*count);
    if (!body) {
        out.error = "The Saxman stream's count is " + std::to_string(*count) + " bytes, but only " +
                    std::to_string(header.remaining()) + " follow it";
        return out;
    }
    ByteReader& r = *body;
    Bytes& image = out.bytes;
    std::size_t item = 0;  // where the item being unpacked starts in the stream
    const auto refuse = [&](const std::string& what) {
        out.error = "The Saxman stream at byte " + std::to_string(item + 2) + ": " + what;
        image.clear();
        return out;
    };
    while (!r.atEnd()) {
        const std::uint8_t descriptor = *r.u8();
        for (int bit = 0; bit < 8 && !r.atEnd(); ++bit) {
            item = r.pos();
            if (descriptor & (1 << bit)) {
                image.push_back(*r.u8());
                out.unpackCycles += kLiteralCycles;
            } else {
                const auto b0 = r.u8();
                const auto b1 = r.u8();
                if (!b1) break;  // the driver stops at the first read past the count
                const std::size_t length = (*b1 & 0x0Fu) + 3;
                const std::size_t position = ((*b1 & 0xF0u) * 16 + *b0 + 0x12) & (kWindow - 1);
                const std::size_t here = image.size() % kWindow;
                if (position == here)
                    return refuse("a copy from position " + hex(position) +
                                  " would repeat what the driver's buffer held before the song");
                const std::size_t from = position < here ? image.size() - here + position : 0;
                for (std::size_t k = 0; k < length; ++k) {
                    const std::uint8_t value = position < here ? image[from + k] : std::uint8_t{0};
                    image.push_back(value);
                }
                out.unpackCycles += kCopyCycles + kCopiedByteCycles * static_cast<std::uint32_t>(length);
            }
            if (image.size() > maxSize)
                return refuse("the song unpacks to more than " + std::to_string(maxSize) + " bytes");
        }
    }
    return out;
}

SongPlacement writtenSongPlacement(SoundDriver driver, std::uint16_t address, std::span<const std::uint8_t> packed) {
    SongPlacement placement{driver, address, std::nullopt};
    if (driver == SoundDriver::Sonic2 && address == kSonic2MusicBuffer && !packed.empty()) {
        const SaxmanSong song = unpackSaxman(packed, kSonic2MusicBufferSize);
        if (!song.error) placement.unpackCycles = song.unpackCycles;
    }
    return placement;
}

}  // namespace ferro
