#include "support/xm_writer.hpp"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace ferro::test {

namespace {
void put16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}
void putText(std::vector<std::uint8_t>& out, const std::string& s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}
}  // namespace

XmCell noteCell(std::uint8_t note, std::uint8_t instrument, std::uint8_t effect, std::uint8_t param) {
    return XmCell{note, instrument, 0, effect, param};
}

std::vector<std::uint8_t> buildXm(const XmLayout& layout) {
    std::vector<std::uint8_t> out;
    const std::string id = "Extended Module: ";
    out.insert(out.end(), id.begin(), id.end());
    putText(out, layout.moduleName, 20);
    out.push_back(0x1A);
    putText(out, layout.trackerName, 20);
    out.push_back(layout.versionMinor);
    out.push_back(layout.versionMajor);
    put32(out, static_cast<std::uint32_t>(276 + layout.extraHeaderBytes));
    put16(out, static_cast<int>(layout.orderTable.size()));
    put16(out, layout.restartPosition);
    put16(out, layout.channelCount);
    put16(out, layout.patternCountOverride >= 0 ? layout.patternCountOverride : static_cast<int>(layout.patterns.size()));
    put16(out, layout.instruments.empty() ? layout.instrumentCount : static_cast<int>(layout.instruments.size()));
    put16(out, layout.flags);
    put16(out, layout.tempo);
    put16(out, layout.bpm);
    for (std::size_t i = 0; i < 256; ++i) out.push_back(i < layout.orderTable.size() ? layout.orderTable[i] : 0);
    out.insert(out.end(), static_cast<std::size_t>(layout.extraHeaderBytes), 0xEE);

    for (const XmPatternLayout& p : layout.patterns) {
        std::vector<std::uint8_t> data;
        if (!p.storeNoData) {
            const std::size_t count = static_cast<std::size_t>(p.rows) * static_cast<std::size_t>(layout.channelCount);
            for (std::size_t i = 0; i < count; ++i) {
                const XmCell c = i < p.cells.size() ? p.cells[i] : XmCell{};
                if (!p.packed) {
                    data.insert(data.end(), {c.note, c.instrument, c.volume, c.effectType, c.effectParameter});
                    continue;
                }
                const std::uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effectType, c.effectParameter};
                std::uint8_t flag = 0x80;
                for (int b = 0; b < 5; ++b)
                    if (fields[b]) flag |= static_cast<std::uint8_t>(1 << b);
                data.push_back(flag);
                for (int b = 0; b < 5; ++b)
                    if (fields[b]) data.push_back(fields[b]);
            }
        }
        put32(out, static_cast<std::uint32_t>(9 + p.extraHeaderBytes));
        out.push_back(0);
        put16(out, p.rows);
        put16(out, static_cast<int>(data.size()));
        out.insert(out.end(), static_cast<std::size_t>(p.extraHeaderBytes), 0xDD);
        out.insert(out.end(), data.begin(), data.end());
    }
    for (const XmInstrumentLayout& instrument : layout.instruments) {
        // FastTracker 2's sizes: a header of 263 bytes with samples, 29
        // without; 40 bytes a sample header; then the samples' data.
        const auto samples = static_cast<int>(instrument.sampleLengths.size());
        put32(out, samples > 0 ? 263 : 29);
        putText(out, instrument.name, 22);
        out.push_back(0);
        put16(out, samples);
        if (samples > 0) {
            put32(out, 40);
            out.insert(out.end(), 263 - 33, 0);
        }
        for (int length : instrument.sampleLengths) {
            put32(out, static_cast<std::uint32_t>(length));
            put32(out, 0);
            put32(out, instrument.looped ? static_cast<std::uint32_t>(length) : 0);
            const std::uint8_t type = instrument.looped ? 1 : 0;  // after volume and finetune
            out.insert(out.end(), {0, 0, type, 0, static_cast<std::uint8_t>(instrument.relativeNote)});
            out.insert(out.end(), 23, 0);
        }
        for (int length : instrument.sampleLengths) out.insert(out.end(), static_cast<std::size_t>(length), 0);
    }
    out.insert(out.end(), layout.trailer.begin(), layout.trailer.end());
    return out;
}

std::vector<std::uint8_t> xmInstrument(const std::string& name, std::uint32_t sampleBytes) {
    std::vector<std::uint8_t> out;
    put32(out, 263);
    putText(out, name, 22);
    out.push_back(0);
    put16(out, 1);
    put32(out, 40);
    out.resize(263, 0);  // note map, envelopes, vibrato, fadeout
    put32(out, sampleBytes);
    out.resize(263 + 40 + sampleBytes, 0);  // loop, volume, type, name, the sample
    return out;
}

void writeFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace ferro::test
