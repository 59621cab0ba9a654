#include "engine/ui/convert_action.hpp"

#include "app/ui/main_window.hpp"
#include "engine/conversion.hpp"
#include "engine/driver_warnings.hpp"
#include "engine/row_source.hpp"
#include "engine/request_builder.hpp"
#include "engine/row_source.hpp"
#include <QFileInfo>
#include "params/ui/general_window.hpp"
#include "params/ui/more_window.hpp"
#include "voices/ui/voice_manager_window.hpp"
#include "xm/ui/explorer_window.hpp"

namespace ferro {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// Everything the windows hold for one conversion, read at the moment of the click.
std::optional<ConversionRequest> gatherRequest(MainWindow& main) {
    const ExplorerWindow* explorer = main.explorer();
    const GeneralWindow* general = main.generalWindow();
    const MoreWindow* more = main.moreWindow();
    const VoiceManagerWindow* voices = main.voiceManager();
    if (!explorer || !explorer->module() || !general || !more || !voices) return std::nullopt;
    SongChoices choices;
    choices.settings = general->settings();
    choices.settings.optimiseOutput = more->optimiseOutput();
    choices.settings.removeRests = more->removeRests();
    choices.assignment = general->assignment();
    choices.maps = more->maps();
    choices.channels = more->channelSettings();
    const SongVoiceList& list = voices->songVoices();
    for (int i = 0; i < list.count(); ++i) choices.voices.push_back(list.voice(i));
    choices.writeBin = main.writeBin();
    choices.writeAsm = main.writeAsm();
    choices.asmStyle = main.asmStyle();
    for (int i = 0; i < list.count(); ++i) choices.voiceNames.push_back(list.name(i));
    return buildConversionRequest(*explorer->module(), choices,
                                  main.generalLight().value_or(ReadinessLight::Red),
                                  main.voiceLight().value_or(ReadinessLight::Yellow), main.appOptions());
}

}  // namespace

void convertSongAction(MainWindow& main) {
    const auto request = gatherRequest(main);
    if (!request) return;
    const auto steps =
        conversionGate(request->generalLight, request->voiceLight, request->generalPolicy, request->voicePolicy);
    for (const GateStep& step : steps) {
        const bool refused = step.action == GateAction::Refuse ||
                             !main.dialogs().askYesNo(text(step.message), MessageIcon::Question);
        if (step.action == GateAction::Refuse) main.dialogs().showMessage(text(step.message), MessageIcon::Critical);
        if (refused) {
            if (step.window == GateWindow::GeneralParametres)
                main.bringToFront(main.generalWindow());
            else
                main.bringToFront(main.voiceManager());
            return;
        }
    }

    // What the driver would play wrongly follows the general yellow policy.
    if (request->generalPolicy != YellowPolicy::ConvertAnyway) {
        for (const std::string& warning : driverWarnings(*request, ScratchRowSource(request->workingDirectory))) {
            const bool halt = request->generalPolicy == YellowPolicy::WarnAndHalt;
            if (halt) main.dialogs().showMessage(text(warning), MessageIcon::Critical);
            if (halt || !main.dialogs().askYesNo(text(warning + "\r\nDo you want to proceed?"), MessageIcon::Question)) {
                main.bringToFront(main.generalWindow());
                return;
            }
        }
    }

    MoreWindow* more = main.moreWindow();
    const int checkState = more->removeRests() == RemoveRestsState::Checked ? 1 : 0;
    if (shouldRemoveDacKeyOffs(checkState, request->hasDrums) && request->dac) {
        // The clean-up changes the row stream for good: it runs once per load.
        removeDacKeyOffs(request->workingDirectory, *request->dac);
        more->markRemoveRestsApplied();
    }
    mainConversionAction(main);
}

void mainConversionAction(MainWindow& main) {
    const auto request = gatherRequest(main);
    if (!request) return;
    const ConversionResult result = MAINCONVERSIONCODE(*request);
    if (result.succeeded) {
        main.dialogs().showMessage(text(result.message), MessageIcon::Information);
        return;
    }
    main.dialogs().showMessage(text(result.message),
                               result.failureKind == FailureKind::Refused ? MessageIcon::Exclamation : MessageIcon::Critical);
}

std::optional<Bytes> songBytesForPreview(MainWindow& main, QString& error) {
    auto request = gatherRequest(main);
    if (!request) {
        error = "No XM file loaded!";
        return std::nullopt;
    }
    if (request->generalLight == ReadinessLight::Red) {
        error = text(kGeneralRefusedMessage);
        return std::nullopt;
    }
    request->writeBin = true;
    request->writeAsm = false;
    ScratchRowSource rows(request->workingDirectory);
    SongConversion song = convertSong(*request, rows, clockSeededRandom());
    if (!song.succeeded) {
        error = text(song.message);
        return std::nullopt;
    }
    return std::move(song.binary);
}

QString songBaseName(MainWindow& main) {
    const ExplorerWindow* explorer = main.explorer();
    if (!explorer || !explorer->module()) return "song";
    return QFileInfo(QString::fromStdString(explorer->module()->fileName)).completeBaseName();
}

}  // namespace ferro
