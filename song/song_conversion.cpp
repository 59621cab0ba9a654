#include "song/song_conversion.hpp"

#include <set>
#include <string_view>

#include "base/byte_reader.hpp"
#include "engine/driver_warnings.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_effects.hpp"

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

std::vector<std::string> songDriverWarnings(const SongModel& model) { return model.driverWarnings(); }

std::string songEffectsHint(const SongModel& model) {
    if (!model.isLoaded() || model.settings().moduleEffects) return {};
    return moduleEffectsHint(*model.module());
}

GateInput songGateInput(const SongModel& model, YellowPolicy generalPolicy, YellowPolicy voicePolicy,
                        const RowSource& rows) {
    GateInput in;
    // Without a module there is nothing to convert: both lights as the
    // buttons' face would say.
    // The light of the channel choices: the driver's warnings are asked
    // about one by one after it.
    in.generalLight = model.assignmentLight().value_or(ReadinessLight::Red);
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

// The loaded module's row streams as this load's conversions read them.
MemoryRowSource songRows(const SongModel& model) {
    MemoryRowSource rows(*model.module());
    // Once removed, the key-offs stay gone from that channel until a reload,
    // whichever channel is the DAC's now.
    if (const std::optional<int> cleared = model.keyOffsRemovedFrom())
        rows.removeKeyOffs(*cleared);
    else if (removeRestsWanted(model.settings()) && model.assignment().dac)
        rows.removeKeyOffs(*model.assignment().dac);
    return rows;
}

// The windows keep the drum channel's scratch file as the conversion reads
// it: "Remove rests" edits it once per load, and the box greys.
bool removeRestsFromScratchFile(SongModel& model, const std::filesystem::path& directory) {
    if (!removeRestsWanted(model.settings()) || !model.assignment().dac) return true;
    if (!removeRowStreamKeyOffs(directory, *model.assignment().dac)) return false;
    model.markRemoveRestsApplied();
    return true;
}

}  // namespace

SongConversionOutcome convertSong(SongModel& model, const ConversionSettings& settings, const GateQuestion& ask,
                                  const RandomSource& random) {
    SongConversionOutcome outcome;
    if (!model.isLoaded()) {
        // Nothing to convert: refused as a red light.
        outcome.stoppedAt = GateStep{GateAction::Refuse, kGeneralRefusedMessage, GateWindow::GeneralParametres,
                                     model.generalStatusText()};
        return outcome;
    }
    const MemoryRowSource rows = songRows(model);
    const GateInput gate = songGateInput(model, settings.generalPolicy, settings.voicePolicy, rows);
    for (const GateStep& step : conversionGate(gate)) {
        if (step.action == GateAction::Refuse || !ask || !ask(step)) {
            outcome.stoppedAt = step;
            return outcome;
        }
    }
    const bool scratchFiles = settings.target == SongTarget::OutputsAndScratchFiles;
    const std::filesystem::path scratchDirectory =
        settings.scratchDirectory.empty() ? model.module()->directory : settings.scratchDirectory;
    if (scratchFiles && !removeRestsFromScratchFile(model, scratchDirectory)) {
        outcome.message = kSomeError;
        return outcome;
    }
    const ConversionRequest request = model.request();
    SongConversion song = convertSong(request, rows, random);
    if (song.succeeded && scratchFiles &&
        !writeWholeFile(scratchDirectory / kVoicesFileName, voiceTable(request)))
        song = SongConversion{false, FailureKind::Error, kSomeError, {}, {}};
    outcome.failureKind = song.failureKind;
    if (settings.target == SongTarget::Memory) {
        outcome.converted = song.succeeded;
        outcome.message = song.message;
    } else {
        const ConversionResult written = writeSong(request, song);
        outcome.converted = written.succeeded;
        outcome.failureKind = written.failureKind;
        outcome.message = written.succeeded
                              ? conversionSuccessMessage(written.baseName, request.writeBin, request.writeAsm,
                                                         settings.showSizeDecimal, settings.showSizeHex,
                                                         written.binaryLength)
                              : written.message;
    }
    outcome.binary = std::move(song.binary);
    outcome.listing = std::move(song.listing);
    return outcome;
}

}  // namespace ferro
