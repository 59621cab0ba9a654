#include "engine/sections.hpp"

#include "engine/conversion_error.hpp"
#include "engine/module_effects.hpp"

namespace ferro {

int findRepeatLength(const RowStream& rows, int loopStartRow, int totalRows) {
    const int length = totalRows - loopStartRow;
    if (loopStartRow < 0 || length < 0) failConversion();
    int e = 1;
    while (e <= 8 && length % (1 << e) == 0) ++e;
    int blockSize = 1 << (e - 1);
    int blockCount = length / blockSize;
    int best = length;
    for (;;) {
        bool differs = false;
        for (int j = 2; j <= blockCount && !differs; ++j) {
            const int blockStart = loopStartRow + (j - 1) * blockSize;
            for (int i = 0; i < blockSize; ++i) {
                if (!rows.sameRow(loopStartRow + i, blockStart + i)) {
                    differs = true;
                    break;
                }
            }
        }
        if (differs || blockCount == 0) break;
        best = blockSize;
        if (blockSize == 1) break;
        blockSize /= 2;
        blockCount *= 2;
    }
    return best;
}

void appendSectionOpening(Bytes& out, ChannelRole role, PanChoice pan) {
    if (role == ChannelRole::PsgNoise) {
        out.insert(out.end(), {kFlagNoiseMode, kNoiseModeE7});
    } else if (role == ChannelRole::Fm || role == ChannelRole::Dac) {
        if (pan == PanChoice::Left) out.insert(out.end(), {kFlagPan, kPanLeft});
        if (pan == PanChoice::Right) out.insert(out.end(), {kFlagPan, kPanRight});
    }
}

namespace {

// First row in [from, to) that holds a note or key-off; `to` when none.
int firstEventRow(const RowStream& rows, int from, int to) {
    for (int r = from; r < to; ++r) {
        if (rows.cell(r).note != 0) return r;
    }
    return to;
}

// The loop jump back to `loopTarget`, or F2 when nothing was written since
// (the jump would land on itself). The driver adds the offset + 1 to the
// position of the offset's high byte.
void appendLoopEnd(Bytes& out, std::size_t loopTarget, std::vector<std::size_t>& pointers) {
    if (loopTarget > 32767) failConversion();
    const long offset = static_cast<long>(loopTarget) - static_cast<long>(out.size()) - 2;
    if (offset == -2) {
        out.push_back(kFlagStop);
        return;
    }
    if (offset < -32768) failConversion();
    const auto word = static_cast<std::uint16_t>(offset & 0xFFFF);
    pointers.push_back(out.size() + 1);
    out.insert(out.end(), {kFlagJump, static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)});
}

}  // namespace

ChannelSections buildChannelSections(const ConversionRequest& request, const RowStream& rows,
                                     ChannelRole role, PanChoice pan, const RandomSource& random,
                                     const ChannelFollow* follow) {
    ChannelSections sections;
    if (role == ChannelRole::None) return sections;
    const LoopPlan loop = loopPlan(request);
    const int loopStart = loop.introRows;
    const int totalRows = request.totalRows;
    if (loopStart < 0 || loopStart > totalRows || rows.rowCount() < totalRows) failConversion();
    const int maxDuration = maxDurationByte(request.dividingTiming);
    const bool looping = loop.looping;

    // Main section.
    Bytes& main = sections.main;
    appendSectionOpening(main, role, pan);
    // Rows that repeat may still differ in what the module's slides make of
    // them, so a song that follows the module keeps them all.
    const int mainEnd = request.loopSong && request.optimiseOutput && follow == nullptr
                            ? loopStart + findRepeatLength(rows, loopStart, totalRows)
                            : totalRows;
    const int mainFirstNote = firstEventRow(rows, loopStart, mainEnd);
    // With an intro, the intro's last note covers the rows before the first
    // note instead.
    if (loopStart == 0 && unitOfRow(follow, mainFirstNote) >= 1)
        appendRest(main, unitOfRow(follow, mainFirstNote), maxDuration);
    const std::size_t loopTarget = main.size();
    TrackEncoderState mainState;
    mainState.panChoice = pan;
    mainState.follow = follow;
    // When looping, the last note lasts until the first note of the next pass.
    encodeSection(request, rows, role, mainState,
                  SectionRows{mainFirstNote, mainEnd - 1, mainEnd, looping ? mainFirstNote - loopStart : 0},
                  random, main);
    endFollowedSection(role, mainState, main);
    if (looping) {
        appendLoopEnd(main, loopTarget, sections.mainPointers);
    } else {
        const bool e4 = request.endDacWithE4 && driverProfile(request.driver).endsWithE4;
        if (role == ChannelRole::Dac && e4) main.push_back(kFlagE4);
        main.push_back(kFlagStop);
    }

    // Intro section: runs straight into the main section, so it has no ending.
    if (loopStart >= 1) {
        Bytes& intro = sections.intro;
        appendSectionOpening(intro, role, pan);
        int introFirstNote = firstEventRow(rows, 0, loopStart);
        if (introFirstNote == loopStart) introFirstNote = mainFirstNote;
        if (unitOfRow(follow, introFirstNote) >= 1) appendRest(intro, unitOfRow(follow, introFirstNote), maxDuration);
        TrackEncoderState introState;
        introState.panChoice = pan;
        introState.follow = follow;
        encodeSection(request, rows, role, introState,
                      SectionRows{0, loopStart - 1, loopStart, mainFirstNote - loopStart}, random, intro);
        endFollowedSection(role, introState, intro);
    }
    return sections;
}

}  // namespace ferro
