#include "xm/xm_effects.hpp"

#include <algorithm>

namespace ferro {

std::optional<int> volumeSetOnRow(const XmCell& cell) {
    // The effect is handled after the volume column, so Cxx wins.
    if (cell.effectType == kFxSetVolume) return std::min<int>(cell.effectParameter, kXmFullVolume);
    if (cell.volume >= 0x10 && cell.volume <= 0x50) return cell.volume - 0x10;
    return std::nullopt;
}

bool rowChangesVolume(const XmCell& cell) {
    if (volumeSetOnRow(cell)) return true;
    if (cell.volume >= 0x60 && cell.volume <= 0x9F) return true;  // slides, fine slides
    switch (cell.effectType) {
        case kFxVolumeSlide:
        case kFxTonePortaVolSlide:
        case kFxVibratoVolSlide:
            return true;
        case kFxExtended:
            return extendedKind(cell) == 0xA || extendedKind(cell) == 0xB;
        default:
            return cell.instrument != 0 && cell.note >= 1 && cell.note <= 96;
    }
}

bool applySetSpeed(const XmCell& cell, XmTempo& tempo) {
    if (cell.effectType != kFxSetSpeed || cell.effectParameter == 0) return false;
    if (cell.effectParameter < 0x20)
        tempo.speed = cell.effectParameter;
    else
        tempo.bpm = cell.effectParameter;
    return true;
}

namespace {

XmCell cellAt(const XmModule& module, int channel, int row) {
    const auto stream = module.rowStream(channel);
    const std::size_t at = static_cast<std::size_t>(row) * kXmCellSize;
    if (at + kXmCellSize > stream.size()) return {};
    return XmCell{stream[at], stream[at + 1], stream[at + 2], stream[at + 3], stream[at + 4]};
}

void applyRow(const XmModule& module, int row, XmTempo& tempo) {
    for (int n = 1; n <= module.channelCount; ++n) applySetSpeed(cellAt(module, n, row), tempo);
}

XmTempo headerTempo(const XmModule& module) {
    return XmTempo{module.header.defaultTempo, module.header.defaultBpm};
}

}  // namespace

XmTempo tempoAtFirstRow(const XmModule& module) {
    XmTempo tempo = headerTempo(module);
    if (module.totalRows >= 1) applyRow(module, 0, tempo);
    return tempo;
}

int tempoChangesAfterFirstRow(const XmModule& module) {
    XmTempo tempo = tempoAtFirstRow(module);
    int changes = 0;
    for (int row = 1; row < module.totalRows; ++row) {
        const XmTempo before = tempo;
        applyRow(module, row, tempo);
        if (tempo != before) ++changes;
    }
    return changes;
}

std::string countText(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return n < 0 ? "-" + digits : digits;
}

}  // namespace ferro
