#include "engine/ui/convert_action.hpp"

#include <QFileInfo>

#include "app/ui/main_window.hpp"
#include "song/song_conversion.hpp"
#include "song/song_model.hpp"
#include "params/ui/general_window.hpp"
#include "voices/ui/voice_manager_window.hpp"
#include "xm/ui/explorer_window.hpp"

namespace ferro {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// The song as the windows hold it, at the moment of the click.
bool gatherSong(MainWindow& main, SongModel& model) {
    const ExplorerWindow* explorer = main.explorer();
    if (!explorer || !explorer->module()) return false;
    const SongModel& song = main.songModel();
    SongChoices choices;
    choices.settings = song.settings();
    choices.assignment = song.assignment();
    choices.maps = song.maps();
    choices.channels = song.channels();
    choices.voices = song.voices();
    choices.writeBin = main.writeBin();
    choices.writeAsm = main.writeAsm();
    choices.asmStyle = main.asmStyle();
    choices.loopSongAtLoad = song.loopSongAtLoad();
    model.load(*explorer->module());
    model.applyChoices(std::move(choices));
    return true;
}

}  // namespace

bool songAsItStands(MainWindow& main, SongModel& song) { return gatherSong(main, song); }

void convertSongAction(MainWindow& main) {
    SongModel model;
    if (!gatherSong(main, model)) return;
    const AppOptions options = main.appOptions();
    ConversionSettings settings;
    settings.generalPolicy = options.generalPolicy;
    settings.voicePolicy = options.voicePolicy;
    settings.showSizeDecimal = options.showSizeDecimal;
    settings.showSizeHex = options.showSizeHex;
    const auto ask = [&main](const GateStep& step) {
        return main.dialogs().askYesNo(text(step.message), MessageIcon::Question);
    };
    const bool wasChecked = model.settings().removeRests == RemoveRestsState::Checked;
    ScratchRowSource rows(model.module()->directory);
    const SongConversionOutcome outcome = convertSong(model, settings, ask, rows, main.panRandom());
    if (wasChecked && model.settings().removeRests == RemoveRestsState::Greyed)
        main.songModel().markRemoveRestsApplied();
    if (outcome.stoppedAt) {
        if (outcome.stoppedAt->action == GateAction::Refuse)
            main.dialogs().showMessage(text(outcome.stoppedAt->message), MessageIcon::Critical);
        if (outcome.stoppedAt->window == GateWindow::GeneralParametres)
            main.bringToFront(main.generalWindow());
        else
            main.bringToFront(main.voiceManager());
        return;
    }
    if (outcome.converted) {
        main.dialogs().showMessage(text(outcome.message), MessageIcon::Information);
        return;
    }
    main.dialogs().showMessage(text(outcome.message), outcome.failureKind == FailureKind::Refused
                                                           ? MessageIcon::Exclamation
                                                           : MessageIcon::Critical);
}

std::optional<Bytes> songBytesForPreview(MainWindow& main, QString& error) {
    SongModel model;
    if (!gatherSong(main, model)) {
        error = "No XM file loaded!";
        return std::nullopt;
    }
    if (model.generalLight() == ReadinessLight::Red) {
        error = text(kGeneralRefusedMessage);
        return std::nullopt;
    }
    SongConversion song = songBytes(model, ScratchRowSource(model.module()->directory), main.panRandom());
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
