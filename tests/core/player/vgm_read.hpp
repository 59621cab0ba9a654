#pragma once
// Reads a VGM back into chip writes with the sample each falls on, so tests
// compare what a player would send to the chips, not sound.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "player/song_player.hpp"

namespace ferro::test {

struct VgmWrite {
    enum class Chip { Ym0, Ym1, Psg };
    std::uint64_t sample = 0;
    Chip chip = Chip::Ym0;
    std::uint8_t reg = 0;  // 0 for the PSG
    std::uint8_t value = 0;
    bool operator==(const VgmWrite&) const = default;
};

struct VgmRead {
    std::string error;  // empty when the file read cleanly
    std::uint32_t eofOffset = 0, version = 0, totalSamples = 0, loopOffset = 0, loopSamples = 0, rate = 0;
    std::uint32_t ymClock = 0, psgClock = 0, gd3Offset = 0;
    std::uint16_t feedback = 0;
    std::uint8_t shiftWidth = 0;
    std::vector<VgmWrite> writes;
    std::vector<std::size_t> writeOffsets;  // file offset of each write's command
    std::vector<std::uint8_t> commands;     // every command byte seen, in order
    std::uint64_t loopSample = 0;           // sample at the loop offset
    bool loopOffsetOnCommand = false;       // the loop offset starts a command
    std::size_t dacReadsPastBlock = 0;      // 0x8n reads with the data pointer past the block (fuzzing checks it)
    std::vector<std::u16string> gd3;
};

// `loopPasses` more passes jump back to the loop offset at the end, the data
// pointer left where it was, as players do.
inline VgmRead readVgm(const Bytes& vgm, int loopPasses = 0) {
    VgmRead r;
    ByteReader in(vgm);
    const auto field = [&](std::size_t at) {
        ByteReader f(vgm);
        f.seek(at);
        return f.u32le().value_or(0);
    };
    if (vgm.size() < 0x40 || vgm[0] != 'V' || vgm[1] != 'g' || vgm[2] != 'm' || vgm[3] != ' ') {
        r.error = "no VGM header";
        return r;
    }
    r.eofOffset = field(0x04);
    r.version = field(0x08);
    r.psgClock = field(0x0C);
    r.gd3Offset = field(0x14);
    r.totalSamples = field(0x18);
    r.loopOffset = field(0x1C);
    r.loopSamples = field(0x20);
    r.rate = field(0x24);
    r.feedback = static_cast<std::uint16_t>(vgm[0x28] | (vgm[0x29] << 8));
    r.shiftWidth = vgm[0x2A];
    r.ymClock = field(0x2C);
    in.seek(0x34 + field(0x34));
    Bytes block;
    std::size_t pointer = 0;
    std::uint64_t sample = 0;
    for (;;) {
        if (r.loopOffset != 0 && in.pos() == r.loopOffset + 0x1C) {
            r.loopOffsetOnCommand = true;
            r.loopSample = sample;
        }
        const std::size_t at = in.pos();
        const auto cmd = in.u8();
        if (!cmd) {
            r.error = "no end command";
            return r;
        }
        r.commands.push_back(*cmd);
        const auto add = [&](VgmWrite::Chip chip, std::uint8_t reg, std::uint8_t value) {
            r.writes.push_back({sample, chip, reg, value});
            r.writeOffsets.push_back(at);
        };
        if (*cmd == 0x66) {
            if (loopPasses-- > 0 && r.loopOffset != 0 && in.seek(r.loopOffset + 0x1C)) continue;
            break;
        }
        if (*cmd == 0x50) {
            add(VgmWrite::Chip::Psg, 0, in.u8().value_or(0));
        } else if (*cmd == 0x52 || *cmd == 0x53) {
            const auto reg = in.u8().value_or(0);
            add(*cmd == 0x52 ? VgmWrite::Chip::Ym0 : VgmWrite::Chip::Ym1, reg, in.u8().value_or(0));
        } else if (*cmd == 0x61) {
            sample += in.u16le().value_or(0);
        } else if (*cmd == 0x62) {
            sample += 735;
        } else if (*cmd == 0x63) {
            sample += 882;
        } else if ((*cmd & 0xF0) == 0x70) {
            sample += (*cmd & 0x0F) + 1u;
        } else if ((*cmd & 0xF0) == 0x80) {
            if (pointer >= block.size()) ++r.dacReadsPastBlock;
            add(VgmWrite::Chip::Ym0, 0x2A, pointer < block.size() ? block[pointer] : 0);
            ++pointer;
            sample += *cmd & 0x0F;
        } else if (*cmd == 0x67) {
            in.skip(2);
            const auto size = in.u32le().value_or(0);
            block = in.bytes(size).value_or(Bytes{});
        } else if (*cmd == 0xE0) {
            pointer = in.u32le().value_or(0);
        } else {
            r.error = "unexpected command " + std::to_string(*cmd);
            return r;
        }
    }
    if (r.gd3Offset != 0 && in.seek(0x14 + r.gd3Offset) && in.skip(12)) {
        std::u16string s;
        while (auto c = in.u16le()) {
            if (*c == 0) {
                r.gd3.push_back(s);
                s.clear();
            } else {
                s += static_cast<char16_t>(*c);
            }
        }
    }
    return r;
}

// What the player sends to the YM2612 and the PSG over its first `frames`
// frames, each write placed at its frame's first sample, as a VGM of the
// song holds them.
inline std::vector<VgmWrite> playerVgmWrites(std::span<const std::uint8_t> song, const PlayerOptions& options,
                                             std::uint32_t frames) {
    SongPlayer player(song, options);
    Frame frame;
    std::vector<VgmWrite> out;
    while (player.nextFrame() < frames && player.step(frame)) {
        for (const ChipWrite& w : frame.writes) {
            if (w.port == ChipPort::Z80 || w.port == ChipPort::Dac) continue;
            const auto chip = w.port == ChipPort::Psg   ? VgmWrite::Chip::Psg
                              : w.port == ChipPort::Ym0 ? VgmWrite::Chip::Ym0
                                                        : VgmWrite::Chip::Ym1;
            out.push_back({std::uint64_t{frame.index} * 735, chip, static_cast<std::uint8_t>(w.address), w.value});
        }
    }
    return out;
}

}  // namespace ferro::test
