#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QtTest>

#include "app/main_window.hpp"
#include "ui/player/song_preview.hpp"
#include "ui/common/sound_folder.hpp"
#include "song/song_conversion.hpp"
#include "support/fake_audio_out.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/voices/paste_window.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;

class PlayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;
    test::FakeAudioState audio_;

    QToolButton* button(const char* name) { return s_->main->findChild<QToolButton*>(name); }
    QAction* action(const char* name) { return s_->main->findChild<QAction*>(name); }
    void load() { QVERIFY(s_->load("song.xm")); }
    // A song of no channel at all: yellow, so it can be played.
    void makeYellow() {
        SongModel& model = s_->main->songModel();
        model.setHasDrums(false);
        model.setFmChannelCount(0);
        model.setPsgChannelCount(0);
        QCOMPARE(model.generalLight(), std::optional(ReadinessLight::Yellow));
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        // The user's settings go to the test's own folder.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString((s_->dir.path() / "config").string()));
        test::XmLayout layout;
        layout.channelCount = 4;
        s_->write("song.xm", test::buildXm(layout));
        QVERIFY(s_->start());
        audio_ = {};
        s_->main->setAudioOut(std::make_unique<test::FakeAudioOut>(audio_));
        s_->main->show();
    }
    void cleanup() { s_.reset(); }

    void playFollowsTheModuleAndTheLight() {
        for (const char* name : {"PlayButton", "StopButton"}) QVERIFY(!button(name)->isEnabled());
        QVERIFY(!action("ExportVgmAction")->isEnabled());
        QVERIFY(!action("ExportWavAction")->isEnabled());
        load();
        QCOMPARE(s_->main->songModel().generalLight(), std::optional(ReadinessLight::Red));  // nothing assigned
        QVERIFY(!button("PlayButton")->isEnabled());
        QVERIFY(!action("ExportVgmAction")->isEnabled());
        makeYellow();
        QVERIFY(button("PlayButton")->isEnabled());
        QVERIFY(!button("StopButton")->isEnabled());
        QVERIFY(action("ExportWavAction")->isEnabled());
        s_->main->explorer()->unloadXmModule();
        QVERIFY(!button("PlayButton")->isEnabled());
    }

    void withoutAudioOutputTheProgramSaysSo() {
        load();
        makeYellow();
        audio_.available = false;
        QTest::mouseClick(button("PlayButton"), Qt::LeftButton);
        QVERIFY(!s_->dialogs.messages.empty());
        QCOMPARE(s_->dialogs.lastText(), QString("No audio output device"));
        QVERIFY(button("PlayButton")->isEnabled());
        QVERIFY(!button("StopButton")->isEnabled());
    }

    // Found driving the program from outside: with both lights green, Play
    // stayed greyed. Pasting a voice turns the voice light green while the
    // paste window keeps the main window disabled, and Play took "a module
    // is loaded" from a widget's enabled state, which was false then.
    void playComesOnWhenTheWindowsTurnBothLightsGreen() {
        // Nine channels, every one with notes of instrument 1 (voice 0).
        test::XmLayout layout;
        layout.channelCount = 9;
        test::XmPatternLayout pattern;
        pattern.rows = 16;
        pattern.cells.assign(16 * 9, XmCell{});
        for (int row = 0; row < 16; row += 4)
            for (int n = 0; n < 9; ++n)
                pattern.cells[static_cast<std::size_t>(row * 9 + n)] =
                    test::noteCell(static_cast<std::uint8_t>(37 + row + n), 1);
        layout.patterns = {pattern};
        s_->write("nine.xm", test::buildXm(layout));
        s_->dialogs.screen = {1280, 1024};
        s_->main->resize(1280, 1024);
        s_->main->explorer()->findChild<QPushButton*>("refreshButton")->click();  // the file list again

        const auto click = [](QWidget* w) {
            QVERIFY(w && w->isVisible() && w->isEnabled());
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
        };
        const auto clickItem = [](QAbstractItemView* view, int row) {
            const QModelIndex index = view->model()->index(row, 0);
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        };
        // A drop-down list opened with a click and an item clicked in it. A
        // click soon after the opening is taken for the opening's own and
        // ignored (Qt waits a double-click interval), so on a busy machine
        // the item is clicked again until the list closes.
        const auto choose = [&](QComboBox* box, int row) {
            QVERIFY(box && box->isVisible());
            QTest::mouseClick(box, Qt::LeftButton);
            QTRY_VERIFY(box->view()->isVisible());
            QTest::qWait(QApplication::doubleClickInterval());
            for (int attempt = 0; attempt < 50 && box->view()->isVisible(); ++attempt) {
                clickItem(box->view(), row);
                QTest::qWait(50);
            }
            QVERIFY(!box->view()->isVisible());
        };

        auto* files = s_->main->explorer()->findChild<QListWidget*>("fileList");
        const auto found = files->findItems("nine.xm", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        clickItem(files, files->row(found.front()));
        click(s_->main->explorer()->findChild<QPushButton*>("loadButton"));
        QVERIFY(s_->main->songModel().isLoaded());

        // Every channel of General parametres: FM 1-5, PSG 1-2, noise, DAC.
        int channel = 0;
        for (int row : {0, 1, 2, 3, 4, 6, 7, 8, 9}) {
            auto* list = s_->main->findChild<QWidget*>("GeneralWindow")
                             ->findChild<QComboBox*>(QString("assignmentBox_%1").arg(row));
            choose(list, channel);
            QCOMPARE(list->currentIndex(), channel++);
        }
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Green));
        QVERIFY(button("PlayButton")->isEnabled());

        // A voice pasted in the Voice manager.
        auto* voices = s_->main->findChild<QWidget*>("VoiceManagerWindow");
        choose(voices->findChild<QComboBox*>("kindBox"), 4);
        QTRY_VERIFY(s_->main->pasteWindow());
        auto* text = s_->main->pasteWindow()->findChild<QPlainTextEdit*>("hexTextBox");
        text->selectAll();
        QTest::keyClicks(text, "3A 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18");
        click(s_->main->pasteWindow()->findChild<QPushButton*>("okButton"));
        QTRY_VERIFY(!s_->main->pasteWindow());
        QVERIFY(s_->main->isEnabled());
        QCOMPARE(s_->main->voiceLight(), std::optional(ReadinessLight::Green));
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Green));

        QVERIFY(button("PlayButton")->isEnabled());
        QVERIFY(!button("StopButton")->isEnabled());
        QVERIFY(action("ExportVgmAction")->isEnabled());
        click(button("PlayButton"));
        QVERIFY(s_->dialogs.messages.empty());  // nothing to ask: it plays
        QTRY_COMPARE(audio_.starts, 1);
        QVERIFY(button("StopButton")->isEnabled());
        click(button("StopButton"));
        QTRY_VERIFY(button("PlayButton")->isEnabled());
    }

    // Play on a yellow song asks as "Convert song" does, then plays.
    void playOnAYellowSongAsksFirst() {
        load();
        makeYellow();
        s_->dialogs.answers = {false};
        QTest::mouseClick(button("PlayButton"), Qt::LeftButton);
        QCOMPARE(s_->dialogs.messages.size(), std::size_t(1));
        QVERIFY(s_->dialogs.messages.back().question);
        QCOMPARE(s_->dialogs.lastText(), QString(kGeneralAskMessage));
        QVERIFY(!s_->main->songPreview().busy());
        s_->dialogs.answers = {true};
        QTest::mouseClick(button("PlayButton"), Qt::LeftButton);
        QCOMPARE(s_->dialogs.messages.size(), std::size_t(2));
        QTRY_COMPARE(audio_.starts, 1);
    }

    void soundFolderIsKeptForTheUser() {
        auto* options = s_->main->findChild<QWidget*>("OptionsWindow");
        QVERIFY(options);
        auto* label = options->findChild<QLabel*>("SoundFolderLabel");
        QCOMPARE(label->text(), QString("None: built-in sounds"));
        const QString folder = QString::fromStdString((s_->dir.path() / "s1").string());
        s_->dialogs.folders.push_back(folder);
        QTest::mouseClick(options->findChild<QPushButton*>("SoundFolderButton"), Qt::LeftButton);
        QCOMPARE(soundFolderSetting(), folder);
        QCOMPARE(label->text(), QDir::toNativeSeparators(folder));
        QVERIFY(QFile::exists(QString::fromStdString((s_->dir.path() / "config" / "Ferrocanto" / "Ferrocanto.ini").string())));
        // Cancelling keeps it.
        QTest::mouseClick(options->findChild<QPushButton*>("SoundFolderButton"), Qt::LeftButton);
        QCOMPARE(soundFolderSetting(), folder);
    }
};

QTEST_MAIN(PlayTest)
#include "play_test.moc"
