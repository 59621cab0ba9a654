#pragma once
// What a pattern cell asks of the tracker besides its note and instrument:
// the volume column and the effect, read as FastTracker 2 reads them. Pure
// reading; what the conversion makes of them lives in engine/.
#include <cstdint>
#include <optional>
#include <string>

#include "xm/xm_parser.hpp"

namespace ferro {

// Effect numbers as stored in a cell (A..F are 10..15, G is 16, ...).
enum XmEffect : std::uint8_t {
    kFxArpeggio = 0x00,
    kFxPortaUp = 0x01,
    kFxPortaDown = 0x02,
    kFxTonePorta = 0x03,
    kFxVibrato = 0x04,
    kFxTonePortaVolSlide = 0x05,
    kFxVibratoVolSlide = 0x06,
    kFxTremolo = 0x07,
    kFxPan = 0x08,
    kFxSampleOffset = 0x09,
    kFxVolumeSlide = 0x0A,
    kFxPositionJump = 0x0B,
    kFxSetVolume = 0x0C,
    kFxPatternBreak = 0x0D,
    kFxExtended = 0x0E,
    kFxSetSpeed = 0x0F,
    kFxGlobalVolume = 0x10,
    kFxGlobalVolumeSlide = 0x11,
    kFxKeyOff = 0x14,
    kFxEnvelopePosition = 0x15,
    kFxPanSlide = 0x19,
    kFxRetrigger = 0x1B,
    kFxTremor = 0x1D,
    kFxExtraFine = 0x21,
};

// The sub-effect of an Exy cell (x), and of an X1y / X2y cell.
inline int extendedKind(const XmCell& c) { return c.effectParameter >> 4; }
inline int extendedValue(const XmCell& c) { return c.effectParameter & 0x0F; }

// The full volume of a sample and of a channel.
inline constexpr int kXmFullVolume = 64;

// The volume a row sets at its first tick: Cxx (capped at 64) over the
// volume column's 10h..50h, or none.
std::optional<int> volumeSetOnRow(const XmCell& cell);

// ---- Speed and BPM.
struct XmTempo {
    int speed = 6;   // ticks per row
    int bpm = 125;   // a tick lasts 2.5 / BPM seconds
    bool operator==(const XmTempo&) const = default;
};

// Applies a row's Fxx: below 20h the speed, from 20h the BPM; F00 (which
// stops a tracker) is left alone. Returns whether the cell holds one.
bool applySetSpeed(const XmCell& cell, XmTempo& tempo);

// The speed and BPM in force at the song's first row: the header's, then
// that row's Fxx in channel order.
XmTempo tempoAtFirstRow(const XmModule& module);
// How many later rows change the speed or BPM in force.
int tempoChangesAfterFirstRow(const XmModule& module);

// ---- What a composer used, for the warnings and the hint: every kind of
// volume change and effect a cell can hold, one cell counting in up to four.
enum class XmEffectKind : std::uint8_t {
    // The module's volumes.
    VolumeColumn, VolumeColumnSlide, SetVolume, VolumeSlide, PortaVolumeSlide, FineVolumeSlide,
    // Timing and speed.
    SetSpeed, PositionJump, PatternBreakToRow, PatternLoop, PatternDelay, NoteDelay, NoteCut,
    // Pitch.
    Arpeggio, Portamento, FinePortamento, TonePortamento, Vibrato, Finetune, VolumeColumnVibrato,
    VolumeColumnTonePortamento,
    // What the driver has nothing for.
    Tremolo, SampleOffset, Retrigger, GlobalVolume, Tremor, KeyOffEffect, EnvelopePosition, PanSlide,
    VolumeColumnPan, VolumeEnvelope, Fadeout,
    Count
};
inline constexpr int kXmEffectKindCount = static_cast<int>(XmEffectKind::Count);
// Plural, with the effects' letters: "volume slides (Axy)".
const char* effectKindName(XmEffectKind kind);
// The name for `count` of them: "1 volume slide (Axy)", "3 volume slides (Axy)".
std::string effectKindName(XmEffectKind kind, int count);
bool isVolumeKind(XmEffectKind kind);

// The kinds a cell holds (up to four), given what its instrument in force
// does with the volume on its own.
struct CellKinds {
    XmEffectKind kinds[4]{};
    int count = 0;
};
CellKinds cellEffectKinds(const XmCell& cell, const XmInstrumentFacts* instrument);

// With the choice off: "This module changes volume on 1,440 rows and speed 3
// times: tick ..." when it uses any volume change, speed change or effect the
// choice follows or names; empty otherwise.
std::string moduleEffectsHint(const XmModule& module);

// A count as the user reads it: "1,440".
std::string countText(long long n);

}  // namespace ferro
