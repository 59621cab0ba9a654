#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>
#include <QtTest>

#include "app/ui/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "app/ui/options_window.hpp"
#include "params/ui/general_window.hpp"
#include "xm/ui/explorer_window.hpp"

using namespace ferro;

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
