#include "song/song_conversion.hpp"

#include <set>
#include <string_view>

#include "engine/driver_warnings.hpp"

namespace ferro {

namespace {

// What makes the general light yellow, in words: the status text stays "All
// channels assigned!" in that case, which says nothing to a script's reader.
std::string generalYellowReason(const SongSettings& s, const ChannelAssignment& a) {
    const auto twice = [](const auto& entries, int used) -> std::optional<int> {
        std::set<int> seen;
        for (int k = 0; k < used; ++k)
            if (entries[static_cast<std::size_t>(k)] && !seen.insert(*entries[static_cast<std::size_t>(k)]).second)
                return *entries[static_cast<std::size_t>(k)];
        return std::nullopt;
    };
    if (const auto channel = twice(a.fm, s.fmChannelCount))
        return "XM channel " + std::to_string(*channel) + " feeds two FM channels";
    if (const auto channel = twice(a.psg, s.psgChannelCount))
        return "XM channel " + std::to_string(*channel) + " feeds two PSG channels";
    return "the song has no FM, PSG or DAC channel";
}

std::string voiceYellowReason(int fmChannelCount) {
    return fmChannelCount > 0 ? "the song has FM channels but no voices" : "the song has voices but no FM channel";
}

}  // namespace

std::vector<GateStep> conversionGate(const GateInput& in) {
    std::vector<GateStep> steps;
    const auto actionFor = [](YellowPolicy policy) {
        return policy == YellowPolicy::WarnAndHalt ? GateAction::Refuse : GateAction::Ask;
    };
    if (in.generalLight == ReadinessLight::Red) {
        steps.push_back({GateAction::Refuse, kGeneralRefusedMessage, GateWindow::GeneralParametres, in.generalReason});
        return steps;
    }
    if (in.generalPolicy != YellowPolicy::ConvertAnyway && in.generalLight == ReadinessLight::Yellow) {
        const GateAction action = actionFor(in.generalPolicy);
        steps.push_back({action, action == GateAction::Refuse ? kGeneralRefusedMessage : kGeneralAskMessage,
                         GateWindow::GeneralParametres, in.generalReason});
        if (action == GateAction::Refuse) return steps;
    }
    if (in.voicePolicy != YellowPolicy::ConvertAnyway && in.voiceLight == ReadinessLight::Yellow) {
        const GateAction action = actionFor(in.voicePolicy);
        steps.push_back({action, action == GateAction::Refuse ? kVoiceRefusedMessage : kVoiceAskMessage,
                         GateWindow::VoiceManager, in.voiceReason});
        if (action == GateAction::Refuse) return steps;
    }
    if (in.generalPolicy != YellowPolicy::ConvertAnyway) {
        const GateAction action = actionFor(in.generalPolicy);
        for (const std::string& warning : in.warnings) {
            const std::string_view prefix = "Warning: ";
            std::string reason = warning.starts_with(prefix) ? warning.substr(prefix.size()) : warning;
            steps.push_back({action, action == GateAction::Refuse ? warning : warning + "\r\nDo you want to proceed?",
                             GateWindow::GeneralParametres, std::move(reason), true});
            if (action == GateAction::Refuse) return steps;
        }
    }
    return steps;
}

std::vector<std::string> songDriverWarnings(const SongModel& model) {
    if (!model.isLoaded()) return {};
    const MemoryRowSource rows(*model.module());
    return driverWarnings(model.request(), rows);
}

GateInput songGateInput(const SongModel& model, YellowPolicy generalPolicy, YellowPolicy voicePolicy,
                        const RowSource& rows) {
    GateInput in;
    // Without a module there is nothing to convert: both lights as the
    // buttons' face would say.
    in.generalLight = model.generalLight().value_or(ReadinessLight::Red);
    in.voiceLight = model.voiceLight().value_or(ReadinessLight::Yellow);
    in.generalPolicy = generalPolicy;
    in.voicePolicy = voicePolicy;
    in.generalReason = in.generalLight == ReadinessLight::Red
                           ? model.generalStatusText()
                           : generalYellowReason(model.settings(), model.assignment());
    in.voiceReason = voiceYellowReason(model.settings().fmChannelCount);
    if (model.isLoaded()) in.warnings = driverWarnings(model.request(), rows);
    return in;
}

namespace {

// The gate and "Remove rests": an outcome when the conversion stops here.
std::optional<SongConversionOutcome> gateAndPrepare(SongModel& model, const ConversionSettings& settings,
                                                    const GateQuestion& ask, RowSource& rows) {
    SongConversionOutcome outcome;
    const GateInput gate = songGateInput(model, settings.generalPolicy, settings.voicePolicy, rows);
    for (const GateStep& step : conversionGate(gate)) {
        if (step.action == GateAction::Refuse || !ask || !ask(step)) {
            outcome.stoppedAt = step;
            return outcome;
        }
    }
    if (!model.isLoaded()) {
        outcome.message = kSomeError;
        return outcome;
    }

    // The clean-up changes the row stream for good: it runs once per load.
    if (removeRestsWanted(model.settings()) && model.assignment().dac) {
        if (!rows.removeKeyOffs(*model.assignment().dac)) {
            outcome.message = kSomeError;
            outcome.failureKind = FailureKind::Error;
            return outcome;
        }
        model.markRemoveRestsApplied();
    }
    return std::nullopt;
}

}  // namespace

SongConversionOutcome convertSongInMemory(SongModel& model, const ConversionSettings& settings,
                                          const GateQuestion& ask, RowSource& rows, const RandomSource& random) {
    if (auto stopped = gateAndPrepare(model, settings, ask, rows)) return *stopped;
    SongConversion song = convertSong(model.request(), rows, random);
    SongConversionOutcome outcome;
    outcome.converted = song.succeeded;
    outcome.failureKind = song.failureKind;
    outcome.message = song.message;
    outcome.binaryLength = song.binary.size();
    outcome.binary = std::move(song.binary);
    outcome.listing = std::move(song.listing);
    return outcome;
}

SongConversionOutcome convertSong(SongModel& model, const ConversionSettings& settings, const GateQuestion& ask,
                                  RowSource& rows, const RandomSource& random) {
    if (auto stopped = gateAndPrepare(model, settings, ask, rows)) return *stopped;
    SongConversionOutcome outcome;
    const ConversionRequest request = model.request();
    const bool scratchFiles = dynamic_cast<const ScratchRowSource*>(&rows) != nullptr;
    const ConversionResult result =
        scratchFiles ? MAINCONVERSIONCODE(request, random) : MAINCONVERSIONCODE(request, rows, random);
    outcome.converted = result.succeeded;
    outcome.failureKind = result.failureKind;
    outcome.binaryLength = result.binaryLength;
    outcome.message = result.succeeded
                          ? conversionSuccessMessage(result.baseName, request.writeBin, request.writeAsm,
                                                     settings.showSizeDecimal, settings.showSizeHex, result.binaryLength)
                          : result.message;
    return outcome;
}

SongConversion songBytes(const SongModel& model, const RandomSource& random) {
    if (!model.isLoaded()) {
        SongConversion failed;
        failed.message = kSomeError;
        return failed;
    }
    MemoryRowSource rows(*model.module());
    const SongSettings& s = model.settings();
    if (s.hasDrums && s.removeRests != RemoveRestsState::Off && model.assignment().dac)
        rows.removeKeyOffs(*model.assignment().dac);
    return convertSong(model.request(), rows, random);
}

}  // namespace ferro
