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

#include "app/ui/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "app/ui/options_window.hpp"
#include "params/ui/general_window.hpp"
#include "params/ui/more_window.hpp"
#include "voices/ui/voice_manager_window.hpp"
#include "xm/ui/explorer_window.hpp"

using namespace ferro;

namespace {

// A window of the client area is in sight where it lies inside the
// area and no window stacked above its own lies over it.
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

struct Loaded {
    test::TempDir dir;
    QString before = QDir::currentPath();
    test::FakeDialogs dialogs;
    std::unique_ptr<MainWindow> main;
    explicit Loaded(QSize size) {
        test::XmLayout layout;
        layout.channelCount = 8;
        test::writeFileBytes(dir / "song.xm", test::buildXm(layout));
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        main = std::make_unique<MainWindow>(dialogs);
        main->startUp();
        main->resize(size);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get())) qFatal("the main window was not shown");
        main->explorer()->findChild<QListWidget*>("File1")->setCurrentRow(0);
        main->explorer()->selectFile();
        main->explorer()->loadSelectedFile();
        QTest::qWait(20);  // the windows' layouts follow their new sizes
    }
    ~Loaded() {
        main.reset();
        QDir::setCurrent(before);
    }
    QMdiArea* area() const { return main->findChild<QMdiArea*>(); }
    QMdiSubWindow* sub(QWidget* w) const { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    QToolButton* button(MainWindow& w, const char* name) { return w.findChild<QToolButton*>(name); }

private slots:
    void startStateHasOnlyExplorerExitAndAbout() {
        test::FakeDialogs dialogs;
        MainWindow w(dialogs);
        QCOMPARE(w.windowTitle(), QString("Quillon's XM to SMPS converter 3.3.2"));
        QCOMPARE(w.statusText(), QString("No XM file loaded!"));
        const std::pair<const char*, bool> expected[] = {{"Command4", true}, {"Command1", false}, {"Command2", false},
                                                         {"Command3", false}, {"Command9", false}, {"Command5", true},
                                                         {"Command6", true}};
        for (auto [name, enabled] : expected) QCOMPARE(button(w, name)->isEnabled(), enabled);
        QVERIFY(!w.findChild<QGroupBox*>("Frame1")->isEnabled());
        QVERIFY(w.writeBin());
        QVERIFY(!w.writeAsm());
        QCOMPARE(button(w, "Command1")->text(), QString("Ge&neral parametres"));
        QCOMPARE(button(w, "Command9")->toolTip(), QString("Once the traffic light is green, click here to convert your song"));
        QCOMPARE(w.minimumSize(), QSize(829, 661));
    }

    void loadAndUnloadFollowTheFormatBoxes() {
        test::FakeDialogs dialogs;
        MainWindow w(dialogs);
        w.onModuleLoaded("/music/", "song.xm");
        QCOMPARE(w.statusText(), "XM file loaded: " + QDir::toNativeSeparators("/music/song.xm"));
        for (const char* name : {"Command1", "Command2", "Command3", "Command9"}) QVERIFY(button(w, name)->isEnabled());
        auto* bin = w.findChild<QCheckBox*>("Check1");
        auto* asmBox = w.findChild<QCheckBox*>("Check2");
        bin->click();  // both clear
        QVERIFY(!button(w, "Command9")->isEnabled());
        asmBox->click();
        QVERIFY(button(w, "Command9")->isEnabled());
        QVERIFY(!w.writeBin() && w.writeAsm());
        asmBox->click();
        w.setGeneralLight(ReadinessLight::Green);
        w.onModuleUnloaded();
        QCOMPARE(w.statusText(), QString("No XM file loaded!"));
        QVERIFY(!w.generalLight().has_value());
        for (const char* name : {"Command1", "Command2", "Command3", "Command9"}) QVERIFY(!button(w, name)->isEnabled());
        // The boxes keep their states across loads: both still clear.
        w.onModuleLoaded("/music", "song.xm");
        QVERIFY(!button(w, "Command9")->isEnabled());
    }

    // The light is the colour of the button's face itself, read from the
    // painted pixels left of the icon, clear of the caption.
    static QColor facePixel(QToolButton* b) { return b->grab().toImage().pixelColor(6, 10); }

    void lightsPaintTheButtonFaceFlat() {
        test::FakeDialogs dialogs;
        MainWindow w(dialogs);
        w.onModuleLoaded("/music", "song.xm");
        w.show();
        const std::pair<ReadinessLight, QColor> rows[] = {{ReadinessLight::Green, QColor(0, 255, 0)},
                                                          {ReadinessLight::Yellow, QColor(255, 255, 0)},
                                                          {ReadinessLight::Red, QColor(255, 0, 0)}};
        for (auto [light, colour] : rows) {
            w.setGeneralLight(light);
            w.setVoiceLight(light);
            for (const char* name : {"Command1", "Command2"}) {
                QToolButton* b = button(w, name);
                const QImage face = b->grab().toImage();
                // The same colour across the face, top to bottom.
                for (QPoint at : {QPoint(6, 10), QPoint(b->width() - 7, 10), QPoint(6, b->height() / 2)})
                    QCOMPARE(face.pixelColor(at), colour);
            }
            QCOMPARE(w.generalLight(), std::optional<ReadinessLight>(light));
        }
    }

    void loadAndUnloadThroughTheExplorer() {
        test::TempDir dir;
        test::XmLayout layout;
        layout.channelCount = 8;
        test::writeFileBytes(dir / "song.xm", test::buildXm(layout));
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        test::FakeDialogs dialogs;
        {
            MainWindow w(dialogs);
            QVERIFY(w.startUp());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            const QColor unlit = facePixel(button(w, "Command3"));
            w.explorer()->findChild<QListWidget*>("File1")->setCurrentRow(0);
            w.explorer()->selectFile();
            w.explorer()->loadSelectedFile();
            QVERIFY(w.explorer()->isLoaded());

            // The first load leaves General parametres the active window,
            // with Options minimised behind it.
            auto* area = w.findChild<QMdiArea*>();
            QVERIFY(area->activeSubWindow());
            QCOMPARE(area->activeSubWindow()->widget(), static_cast<QWidget*>(w.generalWindow()));
            QVERIFY(qobject_cast<QMdiSubWindow*>(w.optionsWindow()->parentWidget())->isMinimized());

            // Empty assignment: red; no voices for the FM channels: yellow.
            QCOMPARE(facePixel(button(w, "Command1")), QColor(255, 0, 0));
            QCOMPARE(facePixel(button(w, "Command2")), QColor(255, 255, 0));
            w.explorer()->unloadXmModule();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(facePixel(button(w, "Command1")), unlit);
            QCOMPARE(facePixel(button(w, "Command2")), unlit);
        }
        QDir::setCurrent(before);
    }

    // At 1280 x 1024 the first load lays the windows out side by side: what
    // a composer works with is in sight at once, nothing scrolls.
    void firstLoadPlacesTheWindowsSideBySide() {
        Loaded l(QSize(1280, 1024));
        MainWindow& w = *l.main;
        QWidget* general = w.generalWindow();
        QWidget* more = static_cast<QWidget*>(w.moreWindow());
        QWidget* voices = static_cast<QWidget*>(w.voiceManager());
        const QRect g = l.sub(general)->geometry(), m = l.sub(more)->geometry(), v = l.sub(voices)->geometry();
        QVERIFY(!g.intersects(m) && !g.intersects(v) && !m.intersects(v));

        QStringList hidden;
        auto check = [&](QWidget* window, const QStringList& names) {
            for (const QString& name : names) {
                auto* c = window->findChild<QWidget*>(name);
                QVERIFY2(c, qPrintable(name));
                if (c->isVisible() && !inSight(l.area(), c)) hidden << window->objectName() + "/" + name;
            }
        };
        QStringList generalParts = {"Picture1", "StatusBar1", "List1", "List2", "Command1"};
        for (int r = 0; r < GeneralWindow::kRowCount; ++r) generalParts << QString("Combo1_%1").arg(r);
        check(general, generalParts);
        check(voices, {"File1", "List1", "List2"});
        for (QPushButton* b : w.explorer()->findChildren<QPushButton*>())
            if (b->isVisible() && !inSight(l.area(), b)) hidden << "explorer/" + b->text();
        QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(", ")));

        // More parametres shows all of itself without scrolling.
        auto* scroll = more->findChild<QScrollArea*>("MoreScroll");
        QVERIFY(!scroll->verticalScrollBar()->isVisible() && !scroll->horizontalScrollBar()->isVisible());
        for (const char* name : {"Check1", "Check2", "Combo1_6", "Frame8"}) {
            auto* c = more->findChild<QWidget*>(name);
            QVERIFY(inSight(l.area(), c));
        }
    }

    // Less room: the windows overlap but stay whole inside the client area,
    // General parametres in front.
    void smallRoomKeepsEveryWindowInside() {
        Loaded l(QSize(1024, 768));
        const QRect area = l.area()->viewport()->rect();
        for (QMdiSubWindow* sub : l.area()->subWindowList())
            if (!sub->isMinimized()) QVERIFY2(area.contains(sub->geometry()), qPrintable(sub->windowTitle()));
        QCOMPARE(l.area()->activeSubWindow()->widget(), static_cast<QWidget*>(l.main->generalWindow()));
    }

    // The Window menu reaches every window, the minimised Options included,
    // and tiles or cascades them.
    void windowMenuReachesEveryWindow() {
        Loaded l(QSize(1280, 1024));
        auto* menu = l.main->findChild<QMenu*>("WindowMenu");
        QVERIFY(menu);
        QCOMPARE(menu->title(), QString("&Window"));
        emit menu->aboutToShow();
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text().remove('&');
        QCOMPARE(texts, QStringList({"Tile", "Cascade", "XM explorer", "Options", "More parametres", "Voice manager",
                                     "General parametres"}));
        QMdiSubWindow* options = l.sub(l.main->optionsWindow());
        QVERIFY(options->isMinimized());
        for (QAction* a : menu->actions())
            if (a->text() == "Options") a->trigger();
        QVERIFY(!options->isMinimized());
        QCOMPARE(l.area()->activeSubWindow(), options);

        for (QAction* a : menu->actions())
            if (a->text() == "&Tile") a->trigger();
        const auto subs = l.area()->subWindowList();
        for (QMdiSubWindow* a : subs)
            for (QMdiSubWindow* b : subs)
                if (a != b) QVERIFY(!a->geometry().intersects(b->geometry()));
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
        test::TempDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        test::FakeDialogs dialogs;
        dialogs.screen = screen;
        dialogs.answers.push_back(answer);
        {
            MainWindow w(dialogs);
            QCOMPARE(w.startUp(), runs);
            QCOMPARE(!dialogs.messages.empty(), asked);
            if (asked) {
                QCOMPARE(dialogs.messages[0].text,
                         QString("Your screen is too small to contain the whole Ferrocanto interface.\r\nDo you want to run it anyway?"));
                QCOMPARE(dialogs.messages[0].icon, MessageIcon::Exclamation);
            }
            QCOMPARE(w.explorer() != nullptr, runs);
        }
        QDir::setCurrent(before);
    }

    void defaultExitPolicyClosesWithoutAsking() {
        test::TempDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        test::FakeDialogs dialogs;
        {
            MainWindow w(dialogs);
            QVERIFY(w.startUp());
            w.show();
            QVERIFY(w.close());
            QVERIFY(dialogs.messages.empty());
        }
        QDir::setCurrent(before);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
