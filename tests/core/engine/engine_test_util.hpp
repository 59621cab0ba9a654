#pragma once
// Small helpers shared by the engine tests: byte vectors from hex text, rows
// of cells, a temporary working folder and a scripted random source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "support/temp_dir.hpp"
#include "engine/conversion.hpp"
#include "engine/conversion_request.hpp"
#include "engine/row_source.hpp"
#include "engine/track_encoder.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::test {

// "E0 C0 EF 00" -> {0xE0, 0xC0, 0xEF, 0x00}, and back.
inline Bytes hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
    return out;
}
inline std::string show(const Bytes& bytes) {
    std::string s;
    char text[5];
    for (std::uint8_t b : bytes) {
        std::snprintf(text, sizeof text, s.empty() ? "%02X" : " %02X", b);
        s += text;
    }
    return s;
}

inline XmCell note(int n, int instrument = 0, int effect = 0, int parameter = 0) {
    return XmCell{static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(instrument), 0,
                  static_cast<std::uint8_t>(effect), static_cast<std::uint8_t>(parameter)};
}
inline XmCell keyOff(int instrument = 0) { return note(kXmKeyOff, instrument); }
inline XmCell instrumentOnly(int instrument) { return note(0, instrument); }

inline constexpr int C4 = 49, D4 = 51, E4 = 53;

// `count` empty rows with the given cells placed at their rows.
inline std::vector<XmCell> rows(int count, std::initializer_list<std::pair<int, XmCell>> placed = {}) {
    std::vector<XmCell> cells(static_cast<std::size_t>(count));
    for (const auto& [row, cell] : placed) cells.at(static_cast<std::size_t>(row)) = cell;
    return cells;
}

// Row streams set channel by channel, as the conversion reads a module's. A
// channel never set is missing, and ends the conversion with the general error.
class CellRows final : public RowSource {
public:
    void set(int channel, const std::vector<XmCell>& cells) { streams_[channel] = RowStream::fromCells(channel, cells); }
    RowStream rowStream(int channel, int rows) const override {
        const auto found = streams_.find(channel);
        if (found == streams_.end() || found->second.rowCount() < rows) failConversion();
        return found->second;
    }
    bool removeKeyOffs(int) override { return false; }

private:
    std::map<int, RowStream> streams_;
};

// The song converted from `rows` and its outputs placed, as the command line does.
inline ConversionResult convertAndWrite(const ConversionRequest& request, const RowSource& rows,
                                        const RandomSource& random) {
    return writeSong(request, convertSong(request, rows, random));
}

// Draws the given values in order (0 after them) and counts the draws.
struct ScriptedRandom {
    std::vector<int> values;
    std::shared_ptr<int> calls = std::make_shared<int>(0);
    RandomSource source() const {
        return [values = values, calls = calls](int) {
            const auto i = static_cast<std::size_t>((*calls)++);
            return i < values.size() ? values[i] : 0;
        };
    }
};

inline RandomSource noRandom() {
    return [](int) -> int {
        ADD_FAILURE() << "random drawn";
        return 0;
    };
}

// A request with one voice and the initial maps of a fresh module.
inline ConversionRequest baseRequest() {
    ConversionRequest r;
    r.channelCount = 1;
    r.fileName = "song.xm";
    r.instrumentVoices.resize(256);
    for (int k = 0; k < 256; ++k) r.instrumentVoices[static_cast<std::size_t>(k)] = static_cast<char>(k);
    r.instrumentPsgEnvelopes = std::string(256, '\0');
    r.drumSamples = std::string(256, static_cast<char>(0x81));
    r.hihatKinds = std::string(256, '\2');
    return r;
}

}  // namespace ferro::test
