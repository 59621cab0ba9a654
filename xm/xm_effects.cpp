#include "xm/xm_effects.hpp"

#include <algorithm>

namespace ferro {

std::optional<int> volumeSetOnRow(const XmCell& cell) {
    // The effect is handled after the volume column, so Cxx wins.
    if (cell.effectType == kFxSetVolume) return std::min<int>(cell.effectParameter, kXmFullVolume);
    if (cell.volume >= 0x10 && cell.volume <= 0x50) return cell.volume - 0x10;
    return std::nullopt;
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

const char* effectKindName(XmEffectKind kind) {
    static const char* const names[kXmEffectKindCount] = {
        "volumes (volume column)",
        "volume slides (volume column)",
        "volumes (Cxx)",
        "volume slides (Axy)",
        "volume slides (5xy, 6xy)",
        "fine volume slides (EAx, EBx)",
        "speed changes (Fxx)",
        "position jumps (Bxx)",
        "pattern breaks to a row (Dxx)",
        "pattern loops (E6x)",
        "pattern delays (EEx)",
        "note delays (EDx)",
        "note cuts (ECx)",
        "arpeggios (0xy)",
        "portamentos (1xx, 2xx)",
        "fine portamentos (E1x, E2x, X1x, X2x)",
        "tone portamentos (3xx, 5xy)",
        "vibratos (4xy, 6xy)",
        "finetunes (E5x)",
        "vibratos (volume column)",
        "tone portamentos (volume column)",
        "tremolos (7xy)",
        "sample offsets (9xx)",
        "retriggers (E9x, Rxy)",
        "global volumes (Gxx, Hxy)",
        "tremors (Txy)",
        "key-offs (Kxx)",
        "envelope positions (Lxx)",
        "pan slides (Pxy)",
        "pans (volume column)",
        "notes with a volume envelope",
        "key-offs with a fadeout",
    };
    const int k = static_cast<int>(kind);
    return k >= 0 && k < kXmEffectKindCount ? names[k] : "";
}

std::string effectKindName(XmEffectKind kind, int count) {
    std::string name = effectKindName(kind);
    if (count != 1) return name;
    // Every plural is the first word that ends in "s": "pattern breaks to a row".
    for (std::size_t end = name.find(' '); ; end = name.find(' ', end + 1)) {
        const std::size_t at = end == std::string::npos ? name.size() : end;
        if (at > 0 && name[at - 1] == 's') return name.erase(at - 1, 1);
        if (end == std::string::npos) return name;
    }
}

bool isVolumeKind(XmEffectKind kind) { return kind <= XmEffectKind::FineVolumeSlide; }

namespace {

using K = XmEffectKind;

std::optional<K> volumeColumnKind(int v) {
    if (v >= 0x10 && v <= 0x50) return K::VolumeColumn;
    if (v >= 0x60 && v <= 0x9F) return K::VolumeColumnSlide;
    if (v >= 0xA0 && v <= 0xBF) return K::VolumeColumnVibrato;
    if (v >= 0xC0 && v <= 0xEF) return K::VolumeColumnPan;
    if (v >= 0xF0) return K::VolumeColumnTonePortamento;
    return std::nullopt;
}

std::optional<K> extendedEffectKind(const XmCell& c) {
    switch (extendedKind(c)) {
        case 0x1: case 0x2: return K::FinePortamento;
        case 0x5: return K::Finetune;
        case 0x6: return K::PatternLoop;
        case 0x9: return extendedValue(c) != 0 ? std::optional(K::Retrigger) : std::nullopt;
        case 0xA: case 0xB: return K::FineVolumeSlide;
        case 0xC: return K::NoteCut;
        case 0xD: return K::NoteDelay;
        case 0xE: return K::PatternDelay;
        default: return std::nullopt;
    }
}

// The effect column's kinds: one, or two for 5xy and 6xy.
void addEffectKinds(const XmCell& c, CellKinds& out) {
    const auto add = [&out](K k) { out.kinds[out.count++] = k; };
    const int p = c.effectParameter;
    switch (c.effectType) {
        case kFxArpeggio: if (p != 0) add(K::Arpeggio); break;
        case kFxPortaUp: case kFxPortaDown: add(K::Portamento); break;
        case kFxTonePorta: add(K::TonePortamento); break;
        case kFxVibrato: add(K::Vibrato); break;
        case kFxTonePortaVolSlide: add(K::TonePortamento), add(K::PortaVolumeSlide); break;
        case kFxVibratoVolSlide: add(K::Vibrato), add(K::PortaVolumeSlide); break;
        case kFxTremolo: add(K::Tremolo); break;
        case kFxSampleOffset: add(K::SampleOffset); break;
        case kFxVolumeSlide: add(K::VolumeSlide); break;
        case kFxPositionJump: add(K::PositionJump); break;
        case kFxSetVolume: add(K::SetVolume); break;
        case kFxPatternBreak: if (p != 0) add(K::PatternBreakToRow); break;
        case kFxExtended: if (const auto k = extendedEffectKind(c)) add(*k); break;
        case kFxSetSpeed: if (p != 0) add(K::SetSpeed); break;
        case kFxGlobalVolume: case kFxGlobalVolumeSlide: add(K::GlobalVolume); break;
        case kFxKeyOff: add(K::KeyOffEffect); break;
        case kFxEnvelopePosition: add(K::EnvelopePosition); break;
        case kFxPanSlide: add(K::PanSlide); break;
        case kFxRetrigger: add(K::Retrigger); break;
        case kFxTremor: add(K::Tremor); break;
        case kFxExtraFine: if (extendedKind(c) == 1 || extendedKind(c) == 2) add(K::FinePortamento); break;
        default: break;
    }
}

}  // namespace

CellKinds cellEffectKinds(const XmCell& cell, const XmInstrumentFacts* instrument) {
    CellKinds out;
    if (const auto k = volumeColumnKind(cell.volume)) out.kinds[out.count++] = *k;
    addEffectKinds(cell, out);
    if (instrument != nullptr && cell.note >= 1 && cell.note <= 96 && instrument->volumeEnvelope)
        out.kinds[out.count++] = K::VolumeEnvelope;
    else if (instrument != nullptr && cell.note == kXmKeyOff && !instrument->volumeEnvelope && instrument->fadeout > 0)
        out.kinds[out.count++] = K::Fadeout;
    return out;
}

namespace {

std::string counted(long long n, const char* one, const char* many) {
    return countText(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string moduleEffectsHint(const XmModule& module) {
    long long volumeRows = 0, others = 0;
    for (int n = 1; n <= module.channelCount; ++n) {
        int instrument = 0;
        for (int r = 0; r < module.totalRows; ++r) {
            const XmCell cell = cellAt(module, n, r);
            if (cell.instrument != 0) instrument = cell.instrument;
            const XmInstrumentFacts* facts = instrument >= 1 && static_cast<std::size_t>(instrument) <= module.instruments.size()
                                                 ? &module.instruments[static_cast<std::size_t>(instrument) - 1]
                                                 : nullptr;
            const CellKinds kinds = cellEffectKinds(cell, facts);
            bool volume = false, other = false;
            for (int k = 0; k < kinds.count; ++k) {
                const K kind = kinds.kinds[k];
                if (isVolumeKind(kind)) volume = true;
                else if (kind != K::SetSpeed && kind != K::VolumeEnvelope && kind != K::Fadeout) other = true;
            }
            volumeRows += volume;
            others += other;
        }
    }
    const int speed = tempoChangesAfterFirstRow(module);
    std::string text;
    const auto join = [&text](const std::string& phrase) { text += (text.empty() ? "" : " and ") + phrase; };
    if (volumeRows > 0) join("changes volume on " + counted(volumeRows, "row", "rows"));
    if (speed > 0) join((volumeRows > 0 ? "speed " : "changes speed ") + counted(speed, "time", "times"));
    if (others > 0) join("uses " + counted(others, text.empty() ? "effect" : "other effect",
                                           text.empty() ? "effects" : "other effects"));
    if (text.empty()) return {};
    return "This module " + text + ": tick \"Play the module's volumes and effects\" to keep them";
}

std::string countText(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return n < 0 ? "-" + digits : digits;
}

}  // namespace ferro
