#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <memory>

#include "settings/options.hpp"
#include "app/main_window.hpp"
#include "ui/options/options_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;

Q_DECLARE_METATYPE(ferro::ExitPolicy)

namespace {

using Bytes = std::vector<std::uint8_t>;

// Whether this process can write into files it may not write (root can).
bool canWriteReadOnly(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    const auto probe = dir / "probe";
    test::writeFileBytes(probe, {0});
    fs::permissions(probe, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const bool writable = static_cast<bool>(std::ofstream(probe, std::ios::binary | std::ios::app));
    fs::permissions(probe, fs::perms::owner_all, fs::perm_options::add);
    fs::remove(probe);
    return writable;
}

}  // namespace

class OptionsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    std::filesystem::path settingsPath() const { return s_->dir / kSettingsFileName; }
    QString folder() const { return s_->folder(); }
    OptionsWindow& options() { return *s_->main->optionsWindow(); }
    QRadioButton* radio(const QString& name) { return options().findChild<QRadioButton*>(name); }
    QCheckBox* check(const char* name) { return options().findChild<QCheckBox*>(name); }
    QMdiSubWindow* optionsFrame() { return qobject_cast<QMdiSubWindow*>(options().parentWidget()); }

    void start() {
        QVERIFY(s_->start());
        QVERIFY(s_->main->optionsWindow());
    }
    void click(QAbstractButton* b) {
        QVERIFY(b);
        b->click();
    }
    // The radio buttons and boxes as a settings byte, to compare with the file.
    int shownByte() {
        int byte = 0;
        for (int i = 0; i < 3; ++i) {
            if (radio(QString("generalYellowButton_%1").arg(i))->isChecked()) byte |= i;
            if (radio(QString("voiceYellowButton_%1").arg(i))->isChecked()) byte |= i << 2;
        }
        for (int i = 0; i < 4; ++i)
            if (radio(QString("exitChoiceButton_%1").arg(i))->isChecked()) byte |= i << 4;
        if (check("sizeDecimalBox")->isChecked()) byte |= 0x40;
        if (check("sizeHexBox")->isChecked()) byte |= 0x80;
        return byte;
    }
    void loadModule() {
        test::XmLayout layout;
        test::XmPatternLayout p;
        p.rows = 8;
        p.cells.assign(8 * 4, test::noteCell(49, 1));
        layout.patterns = {p};
        s_->write("song.xm", test::buildXm(layout));
        QVERIFY(s_->load("song.xm"));
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { s_ = std::make_unique<test::WindowSession>(); }
    void cleanup() { s_.reset(); }

    void settingsFileAtStartUp_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("shown");
        QTest::newRow("no file") << false << QByteArray() << 5;
        QTest::newRow("58") << true << QByteArray(1, char(58)) << 58;
        QTest::newRow("255") << true << QByteArray(1, char(255)) << 5;
        QTest::newRow("general 3 with all else set") << true << QByteArray(1, char(0xF3)) << 5;
        QTest::newRow("all set but valid") << true << QByteArray(1, char(0xFA)) << 0xFA;
        QTest::newRow("empty") << true << QByteArray() << 5;
        QTest::newRow("2 bytes") << true << QByteArray(2, char(58)) << 5;
    }
    void settingsFileAtStartUp() {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        QFETCH(int, shown);
        if (present) test::writeFileBytes(settingsPath(), Bytes(content.begin(), content.end()));
        start();
        QCOMPARE(shownByte(), shown);
        QCOMPARE(int(encodeSettingsByte(s_->main->appOptions())), shown);
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{std::uint8_t(shown)});
        QCOMPARE(options().windowTitle(), QString("Options"));
        QVERIFY(s_->dialogs.messages.empty());
    }

    void everyClickSavesAtOnce() {
        start();
        click(radio("exitChoiceButton_2"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0x25});
        click(radio("generalYellowButton_0"));
        click(check("sizeHexBox"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0xA4});
        click(radio("voiceYellowButton_2"));
        click(check("sizeDecimalBox"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0xE8});
        click(check("sizeHexBox"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0x68});
        const AppOptions o = s_->main->appOptions();
        QCOMPARE(o.generalPolicy, YellowPolicy::ConvertAnyway);
        QCOMPARE(o.voicePolicy, YellowPolicy::WarnAndHalt);
        QCOMPARE(o.exitPolicy, ExitPolicy::AskAlways);
        QVERIFY(o.showSizeDecimal);
        QVERIFY(!o.showSizeHex);
    }

    void choicesSurviveARestart() {
        start();
        click(radio("generalYellowButton_2"));
        click(radio("voiceYellowButton_0"));
        click(radio("exitChoiceButton_1"));
        click(check("sizeDecimalBox"));
        click(check("sizeHexBox"));
        const AppOptions chosen = s_->main->appOptions();
        s_->main.reset();
        start();
        QCOMPARE(encodeSettingsByte(s_->main->appOptions()), encodeSettingsByte(chosen));
        QVERIFY(radio("generalYellowButton_2")->isChecked());
        QVERIFY(radio("voiceYellowButton_0")->isChecked());
        QVERIFY(radio("exitChoiceButton_1")->isChecked());
        QVERIFY(check("sizeDecimalBox")->isChecked());
        QVERIFY(check("sizeHexBox")->isChecked());
    }

    void settingsStayInTheStartUpFolder() {
        std::filesystem::create_directory(s_->dir / "elsewhere");
        start();
        s_->main->explorer()->changeDirectory(folder() + "/elsewhere");
        QCOMPARE(QDir::current().dirName(), QString("elsewhere"));
        click(radio("exitChoiceButton_3"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0x35});
        QVERIFY(!std::filesystem::exists(s_->dir / "elsewhere" / kSettingsFileName));
    }

    // A folder in the file's place cannot be written, whoever runs the test.
    void unsavableSettingsWarnInTheCaption() {
        std::filesystem::create_directory(settingsPath());
        start();
        QCOMPARE(options().windowTitle(), QString("Options (warning: can't be saved)"));
        QCOMPARE(shownByte(), 5);
        click(radio("exitChoiceButton_3"));
        QCOMPARE(s_->main->appOptions().exitPolicy, ExitPolicy::DoNotExit);
        QCOMPARE(options().windowTitle(), QString("Options (warning: can't be saved)"));
        QVERIFY(std::filesystem::is_directory(settingsPath()));
        QVERIFY(s_->dialogs.messages.empty());
        // Once the way is clear the next click saves and the warning goes.
        std::filesystem::remove(settingsPath());
        click(check("sizeDecimalBox"));
        QCOMPARE(options().windowTitle(), QString("Options"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0x75});
    }

    void readOnlySettingsFile() {
        if (canWriteReadOnly(s_->dir.path())) QSKIP("this user can write read-only files");
        test::writeFileBytes(settingsPath(), {58});
        std::filesystem::permissions(settingsPath(), std::filesystem::perms::owner_read);
        start();
        QCOMPARE(shownByte(), 58);
        QCOMPARE(options().windowTitle(), QString("Options (warning: can't be saved)"));
        click(radio("exitChoiceButton_0"));
        QCOMPARE(s_->main->appOptions().exitPolicy, ExitPolicy::ExitAnyway);
        std::filesystem::permissions(settingsPath(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{58});
        click(radio("generalYellowButton_0"));
        QCOMPARE(options().windowTitle(), QString("Options"));
        QCOMPARE(test::readFileBytes(settingsPath()), Bytes{0x08});
    }

    void okMinimisesAndTheWindowNeverCloses() {
        start();
        QVERIFY(optionsFrame());
        s_->main->show();
        QVERIFY(!optionsFrame()->isMinimized());
        const Qt::WindowFlags flags = optionsFrame()->windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        if (qEnvironmentVariableIsSet("FERRO_SHOT_DIR")) {
            const QString shots = qEnvironmentVariable("FERRO_SHOT_DIR");
            options().grab().save(shots + "/options.png");
            s_->main->grab().save(shots + "/options_in_main.png");
        }
        click(options().findChild<QPushButton*>("okButton"));
        QVERIFY(optionsFrame()->isMinimized());
        if (qEnvironmentVariableIsSet("FERRO_SHOT_DIR"))
            s_->main->grab().save(qEnvironmentVariable("FERRO_SHOT_DIR") + "/options_minimised.png");
        QVERIFY(!optionsFrame()->close());
        QVERIFY(s_->main->optionsWindow());
        s_->main->bringToFront(s_->main->optionsWindow());
        QVERIFY(!optionsFrame()->isMinimized());
    }

    void loadMinimisesTheOptions() {
        start();
        s_->main->show();
        loadModule();
        QVERIFY(optionsFrame()->isMinimized());
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
        QTest::newRow("ask always, none, Yes") << "exitChoiceButton_2" << false << true << true << true << true;
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
        start();
        s_->main->show();
        if (loaded) loadModule();
        click(radio(option));
        s_->dialogs.messages.clear();
        s_->dialogs.answers = {answer};
        if (viaButton)
            click(s_->main->findChild<QToolButton*>("exitButton"));
        else
            s_->main->close();
        QCOMPARE(s_->main->isVisible(), !closed);
        if (asked) {
            QCOMPARE(s_->dialogs.messages.size(), std::size_t(1));
            QCOMPARE(s_->dialogs.messages[0].text, QString("Are you sure you want to quit?"));
            QCOMPARE(s_->dialogs.messages[0].icon, MessageIcon::Question);
            QVERIFY(s_->dialogs.messages[0].question);
        } else {
            QVERIFY(s_->dialogs.messages.empty());
        }
        // A cancelled exit keeps the module and its scratch files; one that
        // goes on clears the scratch files.
        QCOMPARE(s_->main->explorer()->isLoaded(), loaded);
        if (loaded) QCOMPARE(std::filesystem::exists(s_->dir / "C1.tmp"), !closed);
        // The settings file is never part of the clean-up.
        QVERIFY(std::filesystem::exists(settingsPath()));
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "options_window_test.moc"
