#pragma once
// The 8-bit text of module and voice files (names typed in a tracker) read as
// Latin-1, turned into UTF-8 for messages, titles and JSON.
#include <string>

namespace ferro {

inline std::string latin1ToUtf8(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (const unsigned char c : raw) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace ferro
