// Renders the main window in its usual states to PNG files when
// FERRO_SHOT_DIR is set, so that a person can look at them; otherwise it
// only checks that a load shows every song window.
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

#include "app/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/options/options_window.hpp"
#include "ui/module/explorer_window.hpp"
#include "ui/module/info_window.hpp"

using namespace ferro;

class ScreenshotsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowStates_data() {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("1280x1024") << QSize(1280, 1024);
    }
    void mainWindowStates() {
        QFETCH(QSize, screen);
        const QString size = QString("-%1x%2").arg(screen.width()).arg(screen.height());
        test::WindowSession s;
        test::XmLayout layout;
        layout.channelCount = 8;
        layout.moduleName = std::string("Name with NULs\0\0\0\0\0\0", 20);
        s.write("song.xm", test::buildXm(layout));
        const QString shots = qEnvironmentVariable("FERRO_SHOT_DIR");
        QVERIFY(s.start());
        MainWindow& main = *s.main;
        // The main window takes the room the screen gives it.
        main.resize(screen);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.explorer()->findChild<QListWidget*>("fileList")->setCurrentRow(0);
        main.explorer()->selectFile();
        if (!shots.isEmpty()) {
            main.grab().save(shots + "/main-start" + size + ".png");
            InfoWindow* info = InfoWindow::show(main, main.explorer(), main.dialogs(), QDir::currentPath(), "song.xm");
            QVERIFY(info);
            info->grab().save(shots + "/InfoWindow" + size + ".png");
            info->close();
        }
        main.explorer()->loadSelectedFile();
        QVERIFY(main.explorer()->isLoaded());
        const auto subs = main.findChild<QMdiArea*>()->subWindowList();
        QCOMPARE(subs.size(), 5);
        // Every control without a caption of its own says what it is,
        // for screen readers and for tests that drive the program.
        int checked = 0;
        for (QWidget* w : main.findChildren<QWidget*>()) {
            const bool captionless = qobject_cast<QAbstractItemView*>(w) || qobject_cast<QComboBox*>(w) ||
                                     qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                                     qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w);
            if (!captionless || qobject_cast<QScrollBar*>(w) || w->objectName().startsWith("qt_")) continue;
            if (qobject_cast<QLineEdit*>(w) && qobject_cast<QAbstractSpinBox*>(w->parentWidget())) continue;
            if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
            // A list's open popup belongs to the list, which is named.
            if (qobject_cast<QAbstractItemView*>(w) && w->parentWidget() &&
                qobject_cast<QComboBox*>(w->parentWidget()->parentWidget()))
                continue;
            QVERIFY2(!w->accessibleName().isEmpty(),
                     qPrintable(w->metaObject()->className() + QString(" ") + w->objectName()));
            ++checked;
        }
        QVERIFY(checked > 40);
        if (!shots.isEmpty()) {
            QTest::qWait(50);
            main.grab().save(shots + "/main-loaded" + size + ".png");
            for (QMdiSubWindow* sub : subs)
                sub->widget()->grab().save(shots + "/" + sub->widget()->objectName() + size + ".png");
            main.bringToFront(main.optionsWindow());
            main.grab().save(shots + "/main-options" + size + ".png");
        }
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
