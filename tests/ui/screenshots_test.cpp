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

#include "app/ui/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "xm/ui/explorer_window.hpp"

using namespace ferro;

class ScreenshotsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowStates() {
        test::TempDir dir;
        test::XmLayout layout;
        layout.channelCount = 8;
        test::writeFileBytes(dir / "song.xm", test::buildXm(layout));
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        const QString shots = qEnvironmentVariable("FERRO_SHOT_DIR");
        {
            test::FakeDialogs dialogs;
            MainWindow main(dialogs);
            QVERIFY(main.startUp());
            main.resize(1100, 800);
            main.show();
            if (!shots.isEmpty()) main.grab().save(shots + "/main-start.png");
            auto* files = main.explorer()->findChild<QListWidget*>("File1");
            files->setCurrentRow(0);
            main.explorer()->selectFile();
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
                QVERIFY2(!w->accessibleName().isEmpty(),
                         qPrintable(w->metaObject()->className() + QString(" ") + w->objectName()));
                ++checked;
            }
            QVERIFY(checked > 40);
            if (!shots.isEmpty()) {
                main.grab().save(shots + "/main-loaded.png");
                for (QMdiSubWindow* sub : subs) {
                    main.bringToFront(sub->widget());
                    sub->widget()->grab().save(shots + "/" + sub->widget()->objectName() + ".png");
                }
            }
        }
        QDir::setCurrent(before);
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
