// Faults a composer met driving the windows.
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStyleOptionTitleBar>
#include <QToolButton>
#include <QtTest>

#include "player/wav_render.hpp"
#include "support/fake_audio_out.hpp"
#include "support/window_session.hpp"
#include "ui/options/options_window.hpp"

using namespace ferro;

namespace {

// The main window at `size` with a one-channel song of three 256-row
// patterns loaded.
bool startLoaded(test::WindowSession& s, QSize size) {
    test::XmLayout layout;
    layout.channelCount = 1;
    layout.orderTable = {0, 0, 0};
    layout.patterns[0].rows = 256;
    s.write("song.xm", test::buildXm(layout));
    if (!s.start()) return false;
    s.main->resize(size);
    s.main->show();
    return QTest::qWaitForWindowExposed(s.main.get()) && s.load("song.xm");
}

void chooseFromMenu(QMainWindow& w, const char* menuName, const QString& item) {
    auto* menu = w.findChild<QMenu*>(menuName);
    QTest::mouseClick(w.menuBar(), Qt::LeftButton, {}, w.menuBar()->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    for (QAction* a : menu->actions())
        if (a->text().remove('&') == item) QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
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
        const QStringList expected = fileBefore ? QStringList{"song.wav"} : QStringList{};
        QTRY_COMPARE_WITH_TIMEOUT(QDir(s.folder()).entryList({"song.wav*"}, QDir::Files), expected, 2000);
        if (fileBefore) QCOMPARE(test::readFileBytes(s.dir / "song.wav"), before);
    }

    // A window closed from its title bar comes back from its button and
    // from the Window menu. (The explorer and Options refuse to close.)
    void closedWindowsComeBack_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("button");
        QTest::newRow("General parametres") << "General parametres" << "generalButton";
        QTest::newRow("More parametres") << "More parametres" << "moreButton";
        QTest::newRow("Voice manager") << "Voice manager" << "voiceManagerButton";
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
        QTest::mouseClick(windowButton, Qt::LeftButton);  // to the front, its close control uncovered
        clickClose(sub);
        QVERIFY(!shown());
        QTest::mouseClick(windowButton, Qt::LeftButton);
        QVERIFY(shown());
        clickClose(sub);
        QVERIFY(!shown());
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
};

QTEST_MAIN(WindowFaultsTest)
#include "window_faults_test.moc"
