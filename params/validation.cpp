#include "params/validation.hpp"

#include <algorithm>

namespace ferro {

namespace {

XmChannelChoice inUse(const XmChannelChoice& choice, int channelCount) {
    if (choice && *choice >= 1 && *choice <= channelCount) return choice;
    return std::nullopt;
}

GeneralValidation red(const char* text) { return {ReadinessLight::Red, text}; }

GeneralValidation red(const char* text, int channel) {
    return {ReadinessLight::Red, std::string(text) + " " + std::to_string(channel)};
}

}  // namespace

GeneralValidation validateGeneralSettings(const SongSettings& settings, const ChannelAssignment& assignment) {
    const int n = assignment.channelCount;
    const int fmCount = std::clamp(settings.fmChannelCount, 0, kMaxFmChannels);
    const int psgCount = std::clamp(settings.psgChannelCount, 0, kMaxPsgChannels);
    const XmChannelChoice dac = settings.hasDrums ? inUse(assignment.dac, n) : std::nullopt;

    // The first rule that fires decides; FM entries are looked at in order,
    // each with all of its conflicts, before the next one.
    for (int k = 0; k < fmCount; ++k) {
        const XmChannelChoice fm = inUse(assignment.fm[k], n);
        if (!fm) return red(kUnassignedFmText);
        for (int m = 0; m < psgCount; ++m)
            if (inUse(assignment.psg[m], n) == fm) return red(kFmPsgConflictText, *fm);
        if (dac == fm) return red(kFmDacConflictText, *fm);
    }
    for (int m = 0; m < psgCount; ++m) {
        const XmChannelChoice psg = inUse(assignment.psg[m], n);
        if (!psg) return red(kUnassignedPsgText);
        if (dac == psg) return red(kPsgDacConflictText, *psg);
    }
    if (settings.hasDrums && !dac) return red(kUnassignedDacText);

    auto hasDuplicate = [n](const auto& entries, int count) {
        for (int a = 0; a < count; ++a)
            for (int b = a + 1; b < count; ++b)
                if (inUse(entries[a], n) == inUse(entries[b], n)) return true;
        return false;
    };
    GeneralValidation result{ReadinessLight::Green, kAllAssignedText};
    if (hasDuplicate(assignment.fm, fmCount) || hasDuplicate(assignment.psg, psgCount) ||
        (!settings.hasDrums && fmCount == 0 && psgCount == 0))
        result.light = ReadinessLight::Yellow;
    return result;
}

}  // namespace ferro
