// Faults a composer met driving the windows.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStyleOptionTitleBar>
#include <QToolButton>
#include <QtTest>

#include "player/wav_render.hpp"
#include "support/fake_audio_out.hpp"
#include "support/window_session.hpp"
#include "support/gestures.hpp"
#include "ui/common/light_pictures.hpp"
#include "ui/common/scratch_area.hpp"
#include "ui/options/options_window.hpp"
#include "ui/params/general_window.hpp"
#include "ui/voices/voice_manager_window.hpp"

using namespace ferro;

namespace {

// The main window at `size` with `module` loaded as song.xm.
bool startWith(test::WindowSession& s, const std::vector<std::uint8_t>& module, QSize size = {1280, 1024}) {
    s.write("song.xm", module);
    if (!s.start()) return false;
    s.main->resize(size);
    s.main->show();
    return QTest::qWaitForWindowExposed(s.main.get()) && s.load("song.xm");
}

// The main window at `size` with a one-channel song of three 256-row
// patterns loaded.
bool startLoaded(test::WindowSession& s, QSize size) {
    test::XmLayout layout;
    layout.channelCount = 1;
    layout.orderTable = {0, 0, 0};
    layout.patterns[0].rows = 256;
    return startWith(s, test::buildXm(layout), size);
}

void chooseFromMenu(QMainWindow& w, const char* menuName, const QString& item) {
    auto* menu = w.findChild<QMenu*>(menuName);
    QTest::mouseClick(w.menuBar(), Qt::LeftButton, {}, w.menuBar()->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    for (QAction* a : menu->actions())
        if (a->text().remove('&') == item) QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
}

// A song the lights let through: one FM channel fed by XM channel 1, no
// PSG, no drums.
void oneFmChannel(SongModel& model) {
    model.setHasDrums(false);
    model.setPsgChannelCount(0);
    model.setFmChannelCount(1);
    model.chooseChannel(0, 1);
}

bool contains(const std::vector<std::uint8_t>& bytes, const std::u16string& text) {
    std::vector<std::uint8_t> wanted;
    for (const char16_t c : text) wanted.insert(wanted.end(), {std::uint8_t(c & 0xFF), std::uint8_t(c >> 8)});
    return std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end()) != bytes.end();
}

// Hovers over the close control of the window's title bar, as laid out by
// the window, and clicks it.
void clickClose(QMdiSubWindow* sub) {
    QStyleOptionTitleBar option;
    option.initFrom(sub);
    option.titleBarFlags = sub->windowFlags();
    option.subControls = QStyle::SC_All;
    const int border = sub->style()->styleHint(QStyle::SH_TitleBar_NoBorder, &option, sub) ? 0 : 4;
    option.rect = QRect(border, border, sub->width() - 2 * border,
                        sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sub));
    const QPoint at =
        sub->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, sub).center();
    QMouseEvent hover(QEvent::MouseMove, at, sub->mapToGlobal(at), Qt::NoButton, {}, {});
    QApplication::sendEvent(sub, &hover);
    QTest::mouseClick(sub, Qt::LeftButton, {}, at);
}

}  // namespace

class WindowFaultsTest : public QObject {
    Q_OBJECT

private slots:
    // Stop during "Export WAV..." of a song minutes long: the windows go on
    // at once, the half-written file goes, a file that was there stays whole.
    void stopEndsAnExportAtOnce_data() {
        QTest::addColumn<bool>("fileBefore");
        QTest::newRow("new file") << false;
        QTest::newRow("file there before") << true;
    }
    void stopEndsAnExportAtOnce() {
        if (!wavRenderAvailable()) QSKIP("this build has no WAV render");
        QFETCH(bool, fileBefore);
        test::WindowSession s;
        QVERIFY(startLoaded(s, QSize(1024, 768)));
        test::FakeAudioState audio;
        s.main->setAudioOut(std::make_unique<test::FakeAudioOut>(audio));
        SongModel& model = s.main->songModel();
        model.setHasDrums(false);
        model.setPsgChannelCount(0);
        model.setFmChannelCount(1);
        model.chooseChannel(0, 1);
        model.setDividingTiming(kMaxTempo);  // 18 frames a row: 3:50 a pass
        model.setTempo(2);
        const std::vector<std::uint8_t> before = {'k', 'e', 'e', 'p'};
        if (fileBefore) s.write("song.wav", before);
        s.dialogs.answers = {true, true};
        s.dialogs.files.push_back(s.folder() + "/song.wav");
        chooseFromMenu(*s.main, "FileMenu", "Export WAV...");
        auto* progress = s.main->findChild<QProgressBar*>("PlayProgress");
        QTRY_VERIFY_WITH_TIMEOUT(progress->isVisible() && progress->value() > 0, 120'000);

        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(s.main->findChild<QToolButton*>("StopButton"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed()) + " ms"));
        QVERIFY(!s.main->songPreview().busy() && !progress->isVisible());
        QCOMPARE(s.main->statusText(), QString("Export stopped"));
        const QStringList expected = fileBefore ? QStringList{"song.wav"} : QStringList{};
        QTRY_COMPARE_WITH_TIMEOUT(QDir(s.folder()).entryList({"song.wav*"}, QDir::Files), expected, 2000);
        if (fileBefore) QCOMPARE(test::readFileBytes(s.dir / "song.wav"), before);
    }

    // Every window closed from its title bar is hidden, and comes back from
    // its button and from the Window menu.
    void closedWindowsComeBack_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("button");
        QTest::newRow("General parametres") << "General parametres" << "generalButton";
        QTest::newRow("More parametres") << "More parametres" << "moreButton";
        QTest::newRow("Voice manager") << "Voice manager" << "voiceManagerButton";
        QTest::newRow("XM explorer") << "XM explorer" << "explorerButton";
        QTest::newRow("Options") << "Options" << "";
    }
    void closedWindowsComeBack() {
        QFETCH(QString, title);
        QFETCH(QString, button);
        test::WindowSession s;
        QVERIFY(startLoaded(s, QSize(1280, 1024)));
        QMdiArea* area = s.main->findChild<QMdiArea*>();
        QMdiSubWindow* sub = nullptr;
        for (QMdiSubWindow* each : area->subWindowList())
            if (each->widget()->windowTitle() == title) sub = each;
        const auto shown = [&] { return sub->widget()->isVisible() && !sub->isMinimized() && area->activeSubWindow() == sub; };
        auto* windowButton = s.main->findChild<QToolButton*>(button);
        if (windowButton) {
            QTest::mouseClick(windowButton, Qt::LeftButton);  // to the front, its close control uncovered
            clickClose(sub);
            QVERIFY(sub->isHidden() && !sub->isMinimized());
            QTest::mouseClick(windowButton, Qt::LeftButton);
            QVERIFY(shown());
        } else {
            s.main->bringToFront(sub->widget());
        }
        clickClose(sub);
        QVERIFY(sub->isHidden() && !sub->isMinimized());
        chooseFromMenu(*s.main, "WindowMenu", title);
        QTRY_VERIFY(shown());
    }

    // At 1024 x 768 the load's placement, Tile and Cascade keep the main
    // window at its size, every window inside the client area and the
    // minimised Options window under none.
    void arrangementsKeepEveryWindowInSight_data() {
        QTest::addColumn<QString>("arrangement");
        QTest::newRow("the load's") << "";
        QTest::newRow("Tile") << "Tile";
        QTest::newRow("Tile, Cascade") << "Cascade";
    }
    void arrangementsKeepEveryWindowInSight() {
        QFETCH(QString, arrangement);
        test::WindowSession s;
        QVERIFY(startLoaded(s, QSize(1024, 768)));
        if (!arrangement.isEmpty()) chooseFromMenu(*s.main, "WindowMenu", "Tile");
        if (arrangement == "Cascade") chooseFromMenu(*s.main, "WindowMenu", "Cascade");
        QCOMPARE(s.main->size(), QSize(1024, 768));
        QMdiArea* area = s.main->findChild<QMdiArea*>();
        auto* options = qobject_cast<QMdiSubWindow*>(s.main->optionsWindow()->parentWidget());
        QVERIFY(options->isMinimized());
        for (QMdiSubWindow* sub : area->subWindowList()) {
            QVERIFY2(area->viewport()->rect().contains(sub->geometry()), qPrintable(sub->windowTitle()));
            if (sub != options) QVERIFY2(!sub->geometry().intersects(options->geometry()), qPrintable(sub->windowTitle()));
        }
    }

    // File > Open module... on a module that cannot be read: the error box,
    // and the song loaded before stays with its choices.
    void aFailedOpenKeepsTheSong() {
        test::WindowSession s;
        QVERIFY(startLoaded(s, QSize(1280, 1024)));
        s.main->songModel().setTempo(5);
        auto cut = test::notesModule(2);
        cut.resize(cut.size() - 10);  // inside its pattern
        s.write("cut.xm", cut);
        s.dialogs.answers = {true};  // load it, losing the choices
        s.dialogs.files.push_back(s.folder() + "/cut.xm");
        chooseFromMenu(*s.main, "FileMenu", "Open module...");
        QTRY_VERIFY(s.dialogs.lastText().startsWith("Some kind of error happened"));
        const SongModel& model = s.main->songModel();
        QVERIFY(model.isLoaded());
        QCOMPARE(std::tuple(model.module()->fileName, model.settings().tempo), std::tuple(std::string("song.xm"), 5));
        QVERIFY(s.main->generalWindow() != nullptr);
        QVERIFY(s.main->statusText().contains("song.xm"));
    }

    // With three PSG rows, the slider down to one and back: the noise keeps
    // its XM channel, the tone rows theirs.
    void thePsgCountKeepsTheNoiseChannel() {
        test::WindowSession s;
        QVERIFY(startWith(s, test::notesModule(8)));
        SongModel& model = s.main->songModel();
        for (const auto& [row, channel] : {std::pair{0, 7}, {1, 8}, {2, 4}}) model.chooseChannel(kFirstPsgAssignmentRow + row, channel);
        GeneralWindow* general = s.main->generalWindow();
        const auto rowText = [&](int row) {
            return test::control<QComboBox>(general, QString("assignmentBox_%1").arg(kFirstPsgAssignmentRow + row))->currentText();
        };
        auto* slider = test::control<QSlider>(general, "psgChannelsSlider");
        s.main->bringToFront(general);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Down);
        QTest::keyClick(slider, Qt::Key_Down);
        QCOMPARE(model.settings().psgChannelCount, 1);
        QCOMPARE(rowText(0), QString("4"));  // the noise row
        QTest::keyClick(slider, Qt::Key_Up);
        QTest::keyClick(slider, Qt::Key_Up);
        QCOMPARE(QStringList({rowText(0), rowText(1), rowText(2)}), QStringList({"7", "8", "4"}));
    }

    // Removing a voice: each instrument keeps the voice it played; those
    // that played the removed one go back to their default and are named.
    void removingAVoiceKeepsTheInstrumentsVoices() {
        test::WindowSession s;
        test::XmLayout layout;
        layout.channelCount = 1;
        layout.instrumentCount = 16;
        QVERIFY(startWith(s, test::buildXm(layout)));
        SongModel& model = s.main->songModel();
        for (const char* name : {"V0", "V1", "V2", "V3", "V4"}) model.addVoice(name, FmVoice{});
        for (const auto& [instrument, voice] : {std::pair{1, 2}, {7, 3}, {8, 4}, {14, 1}})
            model.setMapValue(InstrumentMapKind::Fm, instrument, voice);
        VoiceManagerWindow* voices = s.main->voiceManager();
        s.main->bringToFront(voices);
        test::clickRow(test::control<QListWidget>(voices, "songVoiceList"), 1);
        QTest::mouseClick(test::control<QPushButton>(voices, "removeButton"), Qt::LeftButton);
        const auto voiceOf = [&](int instrument) { return *mapEntry(model.maps(), InstrumentMapKind::Fm, instrument); };
        QCOMPARE(QList<int>({voiceOf(1), voiceOf(2), voiceOf(3), voiceOf(7), voiceOf(8), voiceOf(14)}),
                 QList<int>({1, 1, 1, 2, 3, 13}));
        QVERIFY2(s.dialogs.lastText().contains("instruments 2 and 14"), qPrintable(s.dialogs.lastText()));
    }

    // A warning the driver gives (tempo 1 here) turns the General light and
    // button yellow: green means nothing to ask.
    void aDriverWarningTurnsTheGeneralLightYellow() {
        test::WindowSession s;
        QVERIFY(startLoaded(s, QSize(1280, 1024)));
        oneFmChannel(s.main->songModel());
        QCOMPARE(s.main->generalLight(), ReadinessLight::Green);
        auto* tempo = test::control<QListWidget>(s.main->generalWindow(), "tempoList");
        s.main->bringToFront(s.main->generalWindow());
        test::clickRow(tempo, 0);
        QCOMPARE(s.main->songModel().settings().tempo, 1);
        QCOMPARE(s.main->generalLight(), ReadinessLight::Yellow);
        QCOMPARE(test::control<QToolButton>(s.main.get(), "generalButton")->palette().color(QPalette::Button),
                 lightColour(ReadinessLight::Yellow));
    }

    // The VGM's title is the module's name, else the file's, as the command
    // line writes it.
    void theExportedVgmIsTitledAsTheCommandLineTitlesIt_data() {
        QTest::addColumn<QString>("moduleName");
        QTest::addColumn<QString>("title");
        QTest::newRow("named") << "Trial song" << "Trial song";
        QTest::newRow("unnamed") << "" << "song";
    }
    void theExportedVgmIsTitledAsTheCommandLineTitlesIt() {
        QFETCH(QString, moduleName);
        QFETCH(QString, title);
        test::WindowSession s;
        test::XmLayout layout;
        layout.moduleName = moduleName.toStdString();
        layout.channelCount = 1;
        layout.patterns[0].rows = 4;
        QVERIFY(startWith(s, test::buildXm(layout)));
        oneFmChannel(s.main->songModel());
        s.dialogs.answers = {true, true, true};
        s.dialogs.files.push_back(s.folder() + "/song.vgm");
        chooseFromMenu(*s.main, "FileMenu", "Export VGM...");
        QTRY_VERIFY_WITH_TIMEOUT(!s.main->songPreview().busy() && QFileInfo::exists(s.folder() + "/song.vgm"), 60'000);
        QVERIFY(contains(test::readFileBytes(s.dir / "song.vgm"), title.toStdU16String() + u'\0'));
    }

    // A choice changed while the song plays is heard from the next Play:
    // the status bar says so.
    void aChangeWhilePlayingSaysF5() {
        test::WindowSession s;
        QVERIFY(startLoaded(s, QSize(1280, 1024)));
        test::FakeAudioState audio;
        s.main->setAudioOut(std::make_unique<test::FakeAudioOut>(audio));
        oneFmChannel(s.main->songModel());
        s.dialogs.answers = {true, true, true};
        QTest::mouseClick(test::control<QToolButton>(s.main.get(), "PlayButton"), Qt::LeftButton);
        QVERIFY(s.main->songPreview().busy());
        s.main->bringToFront(s.main->generalWindow());
        test::clickRow(test::control<QListWidget>(s.main->generalWindow(), "timingList"), 4);
        QVERIFY(QRegularExpression("^Playing the song as converted at \\d\\d:\\d\\d; press F5 to hear your changes$")
                    .match(s.main->statusText())
                    .hasMatch());
    }

    // The windows' scratch files go to a folder of the run's own in the
    // cache, never beside the module, and go with the unload; a killed
    // run's folder goes at the next start, a live run's stays.
    void scratchFilesStayOutOfTheMusicFolder() {
        test::WindowSession s;
        const QDir root(ScratchArea::root());
        QVERIFY(root.mkpath("run-gone") && root.mkpath("run-live"));
        // A lock naming a process that cannot exist.
        test::writeFileBytes(std::filesystem::path(root.filePath("run-gone.lock").toStdU16String()),
                             {'4', '1', '9', '9', '9', '9', '9', '\n', 'x', '\n', '\n'});
        QLockFile live(root.filePath("run-live.lock"));
        QVERIFY(live.tryLock(0));
        QVERIFY(startWith(s, test::notesModule(2)));
        QVERIFY(!root.exists("run-gone") && !root.exists("run-gone.lock") && root.exists("run-live"));
        ExplorerWindow& explorer = *s.main->explorer();
        QCOMPARE(QDir(s.folder()).entryList({"*.tmp"}, QDir::Files), QStringList());
        const QDir scratch(QString::fromStdU16String(explorer.scratchDirectory().u16string()));
        QCOMPARE(scratch.entryList({"C*.tmp"}, QDir::Files), QStringList({"C1.tmp", "C2.tmp"}));

        QTest::mouseClick(test::control<QPushButton>(&explorer, "unloadButton"), Qt::LeftButton);
        QVERIFY(!explorer.isLoaded());
        QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"run-live", "run-live.lock"}));
    }
};

QTEST_MAIN(WindowFaultsTest)
#include "window_faults_test.moc"
