// The Options window and its settings file in the start-up folder: what the
// file holds shows, every click saves at once, a file that can't be saved
// says so in the caption, and the exit choices decide what "E&xit" does.
#include <QApplication>
#include <QCheckBox>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "settings/options.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/options/options_window.hpp"

using namespace ferro;
namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

class OptionsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    fs::path settingsPath() const { return s_->dir / kSettingsFileName; }
    Bytes saved() const { return test::readFileBytes(settingsPath()); }
    OptionsWindow& options() { return *s_->main->optionsWindow(); }
    QAbstractButton* button(const QString& name) { return test::control<QAbstractButton>(&options(), name); }
    void click(const QString& name) { button(name)->click(); }
    QMdiSubWindow* optionsFrame() { return qobject_cast<QMdiSubWindow*>(options().parentWidget()); }
    QString caption() { return options().windowTitle(); }

    // The radio buttons and boxes as a settings byte, to compare with the file.
    int shownByte() {
        int byte = 0;
        for (int i = 0; i < 3; ++i) {
            if (button(QString("generalYellowButton_%1").arg(i))->isChecked()) byte |= i;
            if (button(QString("voiceYellowButton_%1").arg(i))->isChecked()) byte |= i << 2;
        }
        for (int i = 0; i < 4; ++i)
            if (button(QString("exitChoiceButton_%1").arg(i))->isChecked()) byte |= i << 4;
        if (button("sizeDecimalBox")->isChecked()) byte |= 0x40;
        if (button("sizeHexBox")->isChecked()) byte |= 0x80;
        return byte;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { s_ = std::make_unique<test::WindowSession>(); }
    void cleanup() { s_.reset(); }

    // What the file holds shows; a file that can't be read as settings is
    // written anew with the defaults.
    void settingsFileAtStartUp_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("shown");
        QTest::newRow("no file") << false << QByteArray() << 5;
        QTest::newRow("58") << true << QByteArray(1, char(58)) << 58;
        QTest::newRow("255") << true << QByteArray(1, char(255)) << 5;
    }
    void settingsFileAtStartUp() {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        QFETCH(int, shown);
        if (present) test::writeFileBytes(settingsPath(), Bytes(content.begin(), content.end()));
        QVERIFY(s_->start());
        QCOMPARE(shownByte(), shown);
        QCOMPARE(int(encodeSettingsByte(s_->main->appOptions())), shown);
        QCOMPARE(saved(), Bytes{std::uint8_t(shown)});
        QVERIFY(s_->dialogs.messages.empty());
    }

    void everyClickSavesAtOnce() {
        QVERIFY(s_->start());
        const struct {
            const char* control;
            std::uint8_t byte;
        } clicks[] = {{"exitChoiceButton_2", 0x25}, {"generalYellowButton_0", 0x24}, {"sizeHexBox", 0xA4},
                      {"voiceYellowButton_2", 0xA8}, {"sizeDecimalBox", 0xE8},       {"sizeHexBox", 0x68}};
        for (const auto& c : clicks) {
            click(c.control);
            QVERIFY2(saved() == Bytes{c.byte}, c.control);
        }
        const AppOptions o = s_->main->appOptions();
        QCOMPARE(o.generalPolicy, YellowPolicy::ConvertAnyway);
        QCOMPARE(o.voicePolicy, YellowPolicy::WarnAndHalt);
        QCOMPARE(o.exitPolicy, ExitPolicy::AskAlways);
    }

    void settingsStayInTheStartUpFolder() {
        fs::create_directory(s_->dir / "elsewhere");
        QVERIFY(s_->start());
        s_->main->explorer()->changeDirectory(s_->folder() + "/elsewhere");
        QCOMPARE(QDir::current().dirName(), QString("elsewhere"));
        click("exitChoiceButton_3");
        QCOMPARE(saved(), Bytes{0x35});
        QVERIFY(!fs::exists(s_->dir / "elsewhere" / kSettingsFileName));
    }

    // A settings file that can't be written (a folder in its place, whoever
    // runs the test): the choice still holds for the session and the caption
    // warns; once the way is clear the next click saves and the warning goes.
    void unsavableSettingsWarnInTheCaption() {
        fs::create_directory(settingsPath());
        QVERIFY(s_->start());
        const QString warning = "Options (warning: can't be saved)";
        QCOMPARE(caption(), warning);
        click("exitChoiceButton_1");
        QCOMPARE(s_->main->appOptions().exitPolicy, ExitPolicy::AskIfLoaded);
        QCOMPARE(caption(), warning);
        QVERIFY(s_->dialogs.messages.empty());
        fs::remove(settingsPath());
        click("generalYellowButton_0");
        QCOMPARE(caption(), QString("Options"));
        QCOMPARE(saved(), Bytes{0x14});
    }

    // "Ok" minimises; closed, the window is only hidden and comes back when
    // brought to the front.
    void okMinimisesAndTheWindowNeverGoes() {
        QVERIFY(s_->start());
        s_->main->show();
        QVERIFY(!optionsFrame()->isMinimized());
        QTest::mouseClick(test::control<QPushButton>(&options(), "okButton"), Qt::LeftButton);
        QVERIFY(optionsFrame()->isMinimized());
        QVERIFY(optionsFrame()->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(s_->main->optionsWindow());
        s_->main->bringToFront(s_->main->optionsWindow());
        QVERIFY(optionsFrame()->isVisible() && !optionsFrame()->isMinimized());
    }

    void exitPolicies_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("viaButton");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        // option, module loaded, answer Yes, "E&xit" or close control, asked, closed
        QTest::newRow("exit anyway") << "exitChoiceButton_0" << false << false << true << false << true;
        QTest::newRow("exit anyway, loaded") << "exitChoiceButton_0" << true << false << false << false << true;
        QTest::newRow("ask if loaded, none") << "exitChoiceButton_1" << false << false << true << false << true;
        QTest::newRow("ask if loaded, No") << "exitChoiceButton_1" << true << false << true << true << false;
        QTest::newRow("ask if loaded, Yes") << "exitChoiceButton_1" << true << true << false << true << true;
        QTest::newRow("ask always, none, No") << "exitChoiceButton_2" << false << false << false << true << false;
        QTest::newRow("ask always, loaded, Yes") << "exitChoiceButton_2" << true << true << true << true << true;
        QTest::newRow("do not exit, button") << "exitChoiceButton_3" << true << true << true << false << false;
        QTest::newRow("do not exit, close control") << "exitChoiceButton_3" << false << true << false << false << false;
    }
    void exitPolicies() {
        QFETCH(QString, option);
        QFETCH(bool, loaded);
        QFETCH(bool, answer);
        QFETCH(bool, viaButton);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        QVERIFY(s_->start());
        s_->main->show();
        s_->write("song.xm", test::notesModule(4));
        if (loaded) QVERIFY(s_->load("song.xm"));
        const fs::path scratch = s_->main->explorer()->scratchDirectory();
        click(option);
        s_->dialogs.messages.clear();
        s_->dialogs.answers = {answer};
        if (viaButton)
            test::clickFace(s_->main->findChild<QToolButton*>("exitButton"));
        else
            s_->main->close();
        QCOMPARE(s_->main->isVisible(), !closed);
        QCOMPARE(s_->dialogs.messages.size(), std::size_t(asked ? 1 : 0));
        if (asked) {
            QCOMPARE(s_->dialogs.lastText(), QString("Are you sure you want to quit?"));
            QVERIFY(s_->dialogs.messages[0].question);
        }
        // A cancelled exit keeps the module and its scratch files; one that
        // goes on clears the scratch files, never the settings file.
        QCOMPARE(s_->main->explorer()->isLoaded(), loaded);
        if (loaded) QCOMPARE(fs::exists(scratch / "C1.tmp"), !closed);
        QVERIFY(fs::exists(settingsPath()));
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "options_window_test.moc"
