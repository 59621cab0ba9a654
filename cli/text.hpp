#pragma once
// Text helpers for the command line's JSON output.
#include <string>

namespace ferro::cli {

// Raw bytes as Latin-1, turned into UTF-8 so that JSON output stays valid.
inline std::string latin1ToUtf8(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (unsigned char c : raw) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace ferro::cli
