#pragma once
// Small helpers shared by the engine tests: byte vectors from hex text, rows
// of cells, a temporary working folder and a scripted random source.
#include <gtest/gtest.h>

#include <algorithm>
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

// "E0 C0 EF 00" -> {0xE0, 0xC0, 0xEF, 0x00}; "x3" after a group repeats it.
inline Bytes hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (word[0] == 'x') {
            const int times = std::stoi(word.substr(1));
            const std::uint8_t last = out.back();
            for (int i = 1; i < times; ++i) out.push_back(last);
        } else {
            out.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
        }
    }
    return out;
}

inline std::string show(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : bytes) {
        if (!s.empty()) s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
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

// Draws the given values in order and counts the draws.
struct ScriptedRandom {
    std::shared_ptr<std::vector<int>> values = std::make_shared<std::vector<int>>();
    std::shared_ptr<int> calls = std::make_shared<int>(0);
    explicit ScriptedRandom(std::vector<int> v) { *values = std::move(v); }
    RandomSource source() const {
        auto vals = values;
        auto count = calls;
        return [vals, count](int) {
            const int i = (*count)++;
            return i < static_cast<int>(vals->size()) ? (*vals)[static_cast<std::size_t>(i)] : 0;
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
