// The About window: shown over a disabled main window, its picture bouncing
// inside it, and on closing the explorer given back its place.
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/about/about_window.hpp"

using namespace ferro;

class AboutWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    AboutWindow* openByButton() {
        test::clickFace(s_->main->findChild<QToolButton*>("aboutButton"));
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

    // While it shows, the main window takes no click ("E&xit" included);
    // "Ok" gives it back and brings the explorer's frame back from
    // minimised, active and with the focus.
    void shownOverADisabledMainWindow() {
        auto* mdi = s_->main->findChild<QMdiArea*>();
        QMdiSubWindow* explorerFrame = qobject_cast<QMdiSubWindow*>(s_->main->explorer()->parentWidget());
        explorerFrame->showMinimized();
        QPointer<AboutWindow> about = openByButton();
        QVERIFY(about);
        // The credits are written with Windows line ends and shown as lines.
        QCOMPARE(about->findChild<QLabel*>("creditsLabel")->text().split('\n'), AboutWindow::creditText().split("\r\n"));
        QVERIFY(!s_->main->isEnabled());
        test::clickFace(s_->main->findChild<QToolButton*>("exitButton"));
        QVERIFY(s_->main->isVisible());
        QTest::mouseClick(about->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(s_->main->isEnabled());
        QTRY_VERIFY(about.isNull());
        QVERIFY(!explorerFrame->isMinimized());
        QCOMPARE(mdi->activeSubWindow(), explorerFrame);
        QVERIFY(explorerFrame->widget()->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == explorerFrame->widget());
    }

    // Tick by tick the picture goes down and comes back up, never leaving
    // the window; a window opened again starts at the top.
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
        for (int i = 0; i < 10; ++i) about->moveImage();
        about->close();  // the window's own close gives the main window back too
        QVERIFY(s_->main->isEnabled());
        QTRY_VERIFY(about.isNull());
        about = AboutWindow::show(*s_->main, nullptr);
        QCOMPARE(about->imageTop(), AboutWindow::kImageTopStart);
        about->close();
    }
};

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
