#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include "app/main_window.hpp"
#include "ui/options/options_window.hpp"
#include "ui/params/general_window.hpp"
#include "ui/params/more_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;

namespace {

// In sight: inside the client area, under no window stacked above its own.
bool inSight(QMdiArea* area, QWidget* w) {
    QWidget* own = w;
    while (own && !qobject_cast<QMdiSubWindow*>(own)) own = own->parentWidget();
    const QRect r(w->mapTo(area->viewport(), QPoint(0, 0)), w->size());
    if (!own || !area->viewport()->rect().contains(r)) return false;
    bool above = false;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::StackingOrder)) {
        if (sub == own)
            above = true;
        else if (above && sub->isVisible() && sub->geometry().intersects(r))
            return false;
    }
    return true;
}

// The main window at `size` after the first load of an eight-channel song.
struct Loaded {
    test::WindowSession s;
    explicit Loaded(QSize size) {
        test::XmLayout layout;
        layout.channelCount = 8;
        s.write("song.xm", test::buildXm(layout));
        s.start();
        s.main->resize(size);
        s.main->show();
        if (!QTest::qWaitForWindowExposed(s.main.get())) qFatal("the main window was not shown");
        if (!s.load("song.xm")) qFatal("the song did not load");
        QTest::qWait(20);  // the windows' layouts follow their new sizes
    }
    MainWindow& main() const { return *s.main; }
    QMdiArea* area() const { return s.main->findChild<QMdiArea*>(); }
    static QMdiSubWindow* sub(QWidget* w) { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    QToolButton* button(MainWindow& w, const char* name) { return w.findChild<QToolButton*>(name); }
    // The buttons a loaded module opens.
    static constexpr const char* kSongButtons[] = {"generalButton", "voiceManagerButton", "moreButton",
                                                   "convertButton"};

private slots:
    // The song's buttons wait for a module, and Convert for a format box.
    void loadAndUnloadFollowTheFormatBoxes() {
        test::FakeDialogs dialogs;
        MainWindow w(dialogs);
        w.onModuleLoaded("/music/", "song.xm");
        QCOMPARE(w.statusText(), "XM file loaded: " + QDir::toNativeSeparators("/music/song.xm"));
        for (const char* name : kSongButtons) QVERIFY(button(w, name)->isEnabled());
        w.findChild<QCheckBox*>("binBox")->click();  // both clear
        QVERIFY(!button(w, "convertButton")->isEnabled());
        w.findChild<QCheckBox*>("asmBox")->click();
        QVERIFY(button(w, "convertButton")->isEnabled());
        QVERIFY(!w.writeBin() && w.writeAsm());
        w.findChild<QCheckBox*>("asmBox")->click();
        w.onModuleUnloaded();
        for (const char* name : kSongButtons) QVERIFY(!button(w, name)->isEnabled());
        // The boxes keep their states across loads: both still clear.
        w.onModuleLoaded("/music", "song.xm");
        QVERIFY(!button(w, "convertButton")->isEnabled());
    }

    // "SMPS2ASM" is a choice about the .asm file: open to it while .asm is ticked.
    void smps2asmFollowsTheAsmBox() {
        test::FakeDialogs dialogs;
        MainWindow w(dialogs);
        w.onModuleLoaded("/music", "song.xm");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* asmBox = w.findChild<QCheckBox*>("asmBox");
        auto* style = w.findChild<QCheckBox*>("smps2asmBox");
        test::clickFace(style);
        QCOMPARE(w.asmStyle(), AsmStyle::Plain);
        test::clickFace(asmBox);
        test::clickFace(style);
        QCOMPARE(w.asmStyle(), AsmStyle::Smps2asm);
        test::clickFace(asmBox);
        QVERIFY(!style->isEnabled());
    }

    // The light is the button's face itself: its painted pixels left of the
    // icon and below it, clear of the caption.
    static QColor face(QToolButton* b, int y = 10) { return b->grab().toImage().pixelColor(6, y); }

    // At 1280 x 1024 the first load leaves General parametres active and lays
    // the windows out side by side: what a composer works with is in sight
    // at once, and More parametres shows whole.
    void firstLoadPlacesTheWindowsSideBySide() {
        Loaded l(QSize(1280, 1024));
        MainWindow& w = l.main();
        QCOMPARE(l.area()->activeSubWindow()->widget(), static_cast<QWidget*>(w.generalWindow()));
        QWidget* general = w.generalWindow();
        QWidget* more = w.moreWindow();
        QWidget* voices = w.voiceManager();
        const QRect g = l.sub(general)->geometry(), m = l.sub(more)->geometry(), v = l.sub(voices)->geometry();
        QVERIFY(!g.intersects(m) && !g.intersects(v) && !m.intersects(v));

        QList<QWidget*> parts;
        for (QPushButton* b : w.explorer()->findChildren<QPushButton*>()) parts << b;
        for (const char* name : {"lightPicture", "statusBar", "timingList", "tempoList", "autoFillButton"})
            parts << general->findChild<QWidget*>(name);
        for (int r = 0; r < kAssignmentRowCount; ++r)
            parts << general->findChild<QWidget*>(QString("assignmentBox_%1").arg(r));
        for (const char* name : {"voiceFileList", "fileVoiceList", "songVoiceList"})
            parts << voices->findChild<QWidget*>(name);
        for (const char* name : {"optimiseBox", "removeRestsBox", "panBox_6"}) parts << more->findChild<QWidget*>(name);
        for (QWidget* part : parts)
            if (part->isVisible()) QVERIFY2(inSight(l.area(), part), qPrintable(part->objectName()));
        auto* scroll = more->findChild<QScrollArea*>("MoreScroll");
        QVERIFY(!scroll->verticalScrollBar()->isVisible() && !scroll->horizontalScrollBar()->isVisible());
    }

    // The Window menu reaches every window, the minimised Options included;
    // the unload takes both lights off the buttons.
    void windowMenuAndUnload() {
        Loaded l(QSize(1280, 1024));
        auto* menu = l.main().findChild<QMenu*>("WindowMenu");
        emit menu->aboutToShow();
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text().remove('&');
        QCOMPARE(texts, QStringList({"Tile", "Cascade", "XM explorer", "Options", "More parametres", "Voice manager",
                                     "General parametres"}));
        QMdiSubWindow* options = l.sub(l.main().optionsWindow());
        QVERIFY(options->isMinimized());
        menu->actions()[4]->trigger();
        QVERIFY(!options->isMinimized());
        QCOMPARE(l.area()->activeSubWindow(), options);

        // Empty assignment: red; no voices for the FM channels: yellow; flat
        // from the top of the face to its middle.
        for (int y : {10, button(l.main(), "generalButton")->height() / 2}) {
            QCOMPARE(face(button(l.main(), "generalButton"), y), QColor(255, 0, 0));
            QCOMPARE(face(button(l.main(), "voiceManagerButton"), y), QColor(255, 255, 0));
        }
        l.main().explorer()->unloadXmModule();
        for (const char* name : {"generalButton", "voiceManagerButton"})
            QCOMPARE(face(button(l.main(), name)), face(button(l.main(), "moreButton")));
    }

    void screenCheck_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("runs");
        QTest::newRow("exactly the minimum") << QSize(829, 661) << false << false << true;
        QTest::newRow("narrow, No") << QSize(828, 900) << false << true << false;
        QTest::newRow("low, Yes") << QSize(1024, 660) << true << true << true;
    }
    void screenCheck() {
        QFETCH(QSize, screen);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(bool, runs);
        test::WindowSession s;
        s.dialogs.screen = screen;
        s.dialogs.answers.push_back(answer);
        QCOMPARE(s.start(), runs);
        QCOMPARE(!s.dialogs.messages.empty(), asked);
        if (asked) QCOMPARE(s.dialogs.messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(s.main->explorer() != nullptr, runs);
    }

    // The close control of General parametres and of the Voice manager only
    // hides them: they and the song's choices stay.
    void songWindowsCloseControlOnlyHides() {
        Loaded l(QSize(1280, 1024));
        l.main().songModel().chooseChannel(0, 2);
        l.main().songModel().addVoice("v", FmVoice{});
        for (QWidget* w : {static_cast<QWidget*>(l.main().generalWindow()), static_cast<QWidget*>(l.main().voiceManager())}) {
            QVERIFY2(l.sub(w)->close(), qPrintable(w->objectName()));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(l.sub(w)->isHidden(), qPrintable(w->objectName()));
        }
        QVERIFY(l.main().generalWindow() && l.main().voiceManager());
        QCOMPARE(l.main().songModel().assignment().fm[0], std::optional(2));
        QCOMPARE(l.main().songModel().voices().count(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
