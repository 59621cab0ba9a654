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

#include "ui/about/about_window.hpp"
#include "app/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"

using namespace ferro;

class AboutWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    AboutWindow* openByButton() {
        auto* wtf = s_->main->findChild<QToolButton*>("aboutButton");
        wtf->click();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* about = qobject_cast<AboutWindow*>(w); about && about->isVisible()) return about;
        return nullptr;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        QVERIFY(s_->start());
        s_->main->show();
    }
    void cleanup() { s_.reset(); }

    void contents() {
        QPointer<AboutWindow> about = openByButton();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QString("About Ferrocanto..."));
        QCOMPARE(about->parentWidget(), nullptr);
        QCOMPARE(about->findChild<QLabel*>("titleLabel")->text(), QString("Quillon's XM to SMPS converter 3.3.2"));
        // The credits are written with Windows line ends and shown as lines.
        const QStringList lines = AboutWindow::creditText().split("\r\n");
        QCOMPARE(about->findChild<QLabel*>("creditsLabel")->text().split('\n'), lines);
        QVERIFY(!about->findChild<QLabel*>("movingPicture")->pixmap().isNull());
        QVERIFY(!about->findChild<QLabel*>("stillPicture")->pixmap().isNull());
        if (qEnvironmentVariableIsSet("FERRO_SHOT_DIR"))
            about->grab().save(qEnvironmentVariable("FERRO_SHOT_DIR") + "/about.png");
        about->close();
    }

    // Tick by tick the picture goes down and comes back up, never leaving
    // the window.
    void pictureBouncesInsideTheWindow() {
        QPointer<AboutWindow> about = AboutWindow::show(*s_->main, nullptr);
        auto* picture = about->findChild<QLabel*>("movingPicture");
        const int top = picture->y();
        int lowest = top;
        bool cameBack = false;
        for (int i = 0; i < 200; ++i) {
            about->moveImage();
            QVERIFY(about->rect().contains(picture->geometry()));
            lowest = std::max(lowest, picture->y());
            cameBack = cameBack || (lowest > top && picture->y() == top);
        }
        QVERIFY(cameBack);
        about->close();
    }

    void mainWindowIsDisabledWhileShown() {
        QPointer<AboutWindow> about = openByButton();
        QVERIFY(about);
        QVERIFY(!s_->main->isEnabled());
        QVERIFY(!s_->main->findChild<QToolButton*>("exitButton")->isEnabled());
        QVERIFY(about->isEnabled());
        // A click on "E&xit" does nothing while the main window is disabled.
        QTest::mouseClick(s_->main->findChild<QToolButton*>("exitButton"), Qt::LeftButton);
        QVERIFY(s_->main->isVisible());
        QTest::mouseClick(about->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(s_->main->isEnabled());
        QTRY_VERIFY(about.isNull());
    }

    // The main window gives the explorer as the window to return to: closing
    // brings its frame back from minimised, makes it the active one and gives
    // it the focus.
    void closingReturnsToTheExplorer() {
        auto* mdi = s_->main->findChild<QMdiArea*>();
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
        QPointer<AboutWindow> about = AboutWindow::show(*s_->main, nullptr);
        QVERIFY(!s_->main->isEnabled());
        about->close();
        QVERIFY(s_->main->isEnabled());
        QTRY_VERIFY(about.isNull());
    }

    void reopenedWindowStartsAtTheTop() {
        QPointer<AboutWindow> first = AboutWindow::show(*s_->main, nullptr);
        for (int i = 0; i < 10; ++i) first->moveImage();
        first->closeWindow();
        QTRY_VERIFY(first.isNull());
        QPointer<AboutWindow> second = AboutWindow::show(*s_->main, nullptr);
        QCOMPARE(second->imageTop(), 540);
        QCOMPARE(second->imageTag(), QString("1"));
        second->close();
    }
};

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
