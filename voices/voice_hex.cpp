#include "voices/voice_hex.hpp"

#include <utility>

namespace ferro {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

VoiceHexText formatVoiceHex(const FmVoice& voice) {
    VoiceHexText text;
    text.reserve(kVoiceHexTextLength);
    for (int k = 0; k < kFmVoiceSize; ++k) {
        if (k > 0) text.push_back(' ');
        text.push_back(kHexDigits[voice.bytes[k] >> 4]);
        text.push_back(kHexDigits[voice.bytes[k] & 0x0F]);
    }
    return text;
}

std::optional<FmVoice> parseVoiceHex(std::string_view text) {
    if (text.size() < kVoiceHexTextLength) return std::nullopt;
    FmVoice voice;
    for (int k = 0; k < kFmVoiceSize; ++k) {
        const int high = hexValue(text[3 * k]);
        const int low = hexValue(text[3 * k + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        voice.bytes[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return voice;
}

FmVoice swapNaturalSmps(const FmVoice& voice) {
    FmVoice out = voice;
    for (int group = 1; group < kFmVoiceSize; group += 4) std::swap(out.bytes[group + 1], out.bytes[group + 2]);
    return out;
}

std::string utf8FromLatin1(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::string latin1FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        int length = 0;
        std::uint32_t code = 0;
        if ((b & 0xE0) == 0xC0) {
            length = 2;
            code = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            code = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            code = b & 0x07;
        }
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (c & 0x3F);
        }
        if (!valid) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        out.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string latin1FileName(const std::filesystem::path& path) {
    const std::u8string name = path.filename().u8string();
    return latin1FromUtf8(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
}

}  // namespace ferro
