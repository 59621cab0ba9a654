#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/ui/about_window.hpp"
#include "app/ui/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"

using namespace ferro;

class AboutWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<MainWindow> main_;
    QString startFolder_;

    static int imageY(AboutWindow* about) { return about->findChild<QLabel*>("movingPicture")->y(); }

    AboutWindow* openByButton() {
        auto* wtf = main_->findChild<QToolButton*>("aboutButton");
        wtf->click();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* about = qobject_cast<AboutWindow*>(w); about && about->isVisible()) return about;
        return nullptr;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        startFolder_ = QDir::currentPath();
        dir_ = std::make_unique<test::TempDir>();
        QDir::setCurrent(QString::fromStdString(dir_->path().string()));
        dialogs_ = std::make_unique<test::FakeDialogs>();
        main_ = std::make_unique<MainWindow>(*dialogs_);
        QVERIFY(main_->startUp());
        main_->show();
    }
    void cleanup() {
        main_.reset();
        dialogs_.reset();
        QDir::setCurrent(startFolder_);
        dir_.reset();
    }

    void contents() {
        QPointer<AboutWindow> about = openByButton();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QString("About Ferrocanto..."));
        QCOMPARE(about->parentWidget(), nullptr);
        QCOMPARE(about->findChild<QLabel*>("titleLabel")->text(), QString("Quillon's XM to SMPS converter 3.3.2"));
        const QStringList lines = AboutWindow::creditText().split("\r\n");
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString::fromUtf8("\u00B7 Developed since december 2007."));
        for (const QString& line : lines) QVERIFY2(line.startsWith(QString::fromUtf8("\u00B7 ")), qPrintable(line));
        QVERIFY(lines[3].contains("TFI") && lines[3].contains("MVS") && lines[3].contains("Cube"));
        const QString shown = about->findChild<QLabel*>("creditsLabel")->text();
        QCOMPARE(shown.split('\n'), lines);
        QVERIFY(!about->findChild<QLabel*>("movingPicture")->pixmap().isNull());
        QVERIFY(!about->findChild<QLabel*>("stillPicture")->pixmap().isNull());
        QCOMPARE(about->findChild<QLabel*>("stillPicture")->geometry(), QRect(8, 184, 36, 36));
        QCOMPARE(about->findChild<QPushButton*>("okButton")->text(), QString("O&k"));
        if (qEnvironmentVariableIsSet("FERRO_SHOT_DIR"))
            about->grab().save(qEnvironmentVariable("FERRO_SHOT_DIR") + "/about.png");
        about->close();
    }

    // The picture goes down 30 twips (2 pixels) a tick from 540 to 2040 and
    // back; the timer's slot is driven by hand.
    void pictureTravelsDownAndBack() {
        QPointer<AboutWindow> about = AboutWindow::show(*main_, nullptr);
        QCOMPARE(about->imageTop(), 540);
        QCOMPARE(imageY(about), 36);
        QCOMPARE(about->imageTag(), QString("1"));
        for (int i = 0; i < 49; ++i) about->moveImage();
        QCOMPARE(about->imageTop(), 2010);
        QCOMPARE(about->imageTag(), QString("1"));
        about->moveImage();
        QCOMPARE(about->imageTop(), 2040);
        QCOMPARE(imageY(about), 136);
        QCOMPARE(about->imageTag(), QString("2"));
        QCOMPARE(about->findChild<QLabel*>("movingPicture")->property("Tag").toString(), QString("2"));
        about->moveImage();
        QCOMPARE(about->imageTop(), 2010);
        for (int i = 0; i < 49; ++i) about->moveImage();
        QCOMPARE(about->imageTop(), 540);
        QCOMPARE(imageY(about), 36);
        QCOMPARE(about->imageTag(), QString("1"));
        about->moveImage();
        QCOMPARE(about->imageTop(), 570);
        about->close();
    }

    void timerRunsEveryFiftyMilliseconds() {
        QPointer<AboutWindow> about = AboutWindow::show(*main_, nullptr);
        auto* timer = about->findChild<QTimer*>("animationTimer");
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 50);
        about->close();
    }

    void mainWindowIsDisabledWhileShown() {
        QPointer<AboutWindow> about = openByButton();
        QVERIFY(about);
        QVERIFY(!main_->isEnabled());
        QVERIFY(!main_->findChild<QToolButton*>("exitButton")->isEnabled());
        QVERIFY(about->isEnabled());
        // A click on "E&xit" does nothing while the main window is disabled.
        QTest::mouseClick(main_->findChild<QToolButton*>("exitButton"), Qt::LeftButton);
        QVERIFY(main_->isVisible());
        QTest::mouseClick(about->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(main_->isEnabled());
        QTRY_VERIFY(about.isNull());
    }

    // The main window gives the explorer as the window to return to: closing
    // brings its frame back from minimised, makes it the active one and gives
    // it the focus.
    void closingReturnsToTheExplorer() {
        auto* mdi = main_->findChild<QMdiArea*>();
        QMdiSubWindow* explorerFrame = nullptr;
        for (QMdiSubWindow* sub : mdi->subWindowList())
            if (sub->widget()->objectName() == "ExplorerWindow") explorerFrame = sub;
        QVERIFY(explorerFrame);
        explorerFrame->showMinimized();
        QPointer<AboutWindow> about = openByButton();
        QVERIFY(about);
        QTest::mouseClick(about->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QTRY_VERIFY(about.isNull());
        QVERIFY(!explorerFrame->isMinimized());
        QCOMPARE(mdi->activeSubWindow(), explorerFrame);
        QVERIFY(explorerFrame->widget()->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == explorerFrame->widget());
    }

    void anyCloseEnablesTheMainWindow() {
        QPointer<AboutWindow> about = AboutWindow::show(*main_, nullptr);
        QVERIFY(!main_->isEnabled());
        about->close();
        QVERIFY(main_->isEnabled());
        QTRY_VERIFY(about.isNull());
    }

    void reopenedWindowStartsAtTheTop() {
        QPointer<AboutWindow> first = AboutWindow::show(*main_, nullptr);
        for (int i = 0; i < 10; ++i) first->moveImage();
        first->closeWindow();
        QTRY_VERIFY(first.isNull());
        QPointer<AboutWindow> second = AboutWindow::show(*main_, nullptr);
        QCOMPARE(second->imageTop(), 540);
        QCOMPARE(second->imageTag(), QString("1"));
        second->close();
    }
};

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
