// Play and Stop in the main window over a fake audio output: when they may
// be clicked, what a click does, and the sound folder the Options keep.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QtTest>

#include "app/main_window.hpp"
#include "song/song_conversion.hpp"
#include "support/fake_audio_out.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/common/sound_folder.hpp"
#include "ui/options/options_window.hpp"
#include "ui/params/general_window.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "ui/player/song_preview.hpp"
#include "ui/voices/paste_window.hpp"

using namespace ferro;

class PlayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;
    test::FakeAudioState audio_;

    QToolButton* button(const char* name) { return s_->main->findChild<QToolButton*>(name); }
    bool enabled(const char* name) {
        if (auto* b = button(name)) return b->isEnabled();
        return test::control<QAction>(s_->main.get(), name)->isEnabled();
    }
    // A song of no channel at all: yellow, so it can be played.
    void makeYellow() {
        SongModel& model = s_->main->songModel();
        model.setHasDrums(false);
        model.setFmChannelCount(0);
        model.setPsgChannelCount(0);
        QCOMPARE(model.generalLight(), std::optional(ReadinessLight::Yellow));
    }
    static void click(QWidget* w) {
        QVERIFY(w && w->isVisible() && w->isEnabled());
        test::clickFace(w);
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        // The user's settings go to the test's own folder.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString((s_->dir.path() / "config").string()));
        s_->write("song.xm", test::notesModule(4));
        QVERIFY(s_->start());
        audio_ = {};
        s_->main->setAudioOut(std::make_unique<test::FakeAudioOut>(audio_));
        s_->main->show();
    }
    void cleanup() { s_.reset(); }

    // Play and the exports wait for a song whose light converts.
    void playFollowsTheModuleAndTheLight() {
        const char* const playing[] = {"PlayButton", "ExportVgmAction", "ExportWavAction"};
        for (const char* name : playing) QVERIFY2(!enabled(name), name);
        QVERIFY(s_->load("song.xm"));  // red: nothing assigned
        for (const char* name : playing) QVERIFY2(!enabled(name), name);
        makeYellow();
        for (const char* name : playing) QVERIFY2(enabled(name), name);
        QVERIFY(!enabled("StopButton"));
        s_->main->explorer()->unloadXmModule();
        QVERIFY(!enabled("PlayButton"));
    }

    // Play on a yellow song asks as "Convert song" does, then plays; without
    // an output the program says so and Play stays.
    void playOnAYellowSongAsksFirst() {
        QVERIFY(s_->load("song.xm"));
        makeYellow();
        s_->dialogs.answers = {false};
        click(button("PlayButton"));
        QCOMPARE(s_->dialogs.lastText(), QString(kGeneralAskMessage));
        QVERIFY(!s_->main->songPreview().busy());
        s_->dialogs.answers = {true};
        click(button("PlayButton"));
        QCOMPARE(s_->dialogs.messages.size(), std::size_t(2));
        QTRY_COMPARE(audio_.starts, 1);
        click(button("StopButton"));
        QTRY_VERIFY(enabled("PlayButton") && !enabled("StopButton"));

        audio_.available = false;
        s_->dialogs.answers = {true};
        click(button("PlayButton"));
        QCOMPARE(s_->dialogs.lastText(), QString("No audio output device"));
        QVERIFY(enabled("PlayButton") && !enabled("StopButton"));
    }

    // Found driving the program from outside: with both lights green, Play
    // stayed greyed. Pasting a voice turns the voice light green while the
    // paste window keeps the main window disabled, and Play took "a module
    // is loaded" from a widget's enabled state, which was false then.
    void playComesOnWhenTheWindowsTurnBothLightsGreen() {
        // Nine channels, every one with notes of instrument 1 (voice 0).
        s_->write("nine.xm", test::notesModule(9, 16));
        s_->dialogs.screen = {1280, 1024};
        s_->main->resize(1280, 1024);
        click(s_->main->explorer()->findChild<QPushButton*>("refreshButton"));

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
        clickItem(files, files->row(files->findItems("nine.xm", Qt::MatchExactly).value(0)));
        click(s_->main->explorer()->findChild<QPushButton*>("loadButton"));
        QVERIFY(s_->main->songModel().isLoaded());

        // Every channel of General parametres: FM 1-5, PSG 1-2, noise, DAC.
        int channel = 0;
        for (int row : {0, 1, 2, 3, 4, 6, 7, 8, 9}) {
            auto* list = s_->main->generalWindow()->findChild<QComboBox*>(QString("assignmentBox_%1").arg(row));
            choose(list, channel);
            QCOMPARE(list->currentIndex(), channel++);
        }
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Green));

        // A voice pasted in the Voice manager.
        choose(s_->main->voiceManager()->findChild<QComboBox*>("kindBox"), 4);
        QTRY_VERIFY(s_->main->pasteWindow());
        auto* text = s_->main->pasteWindow()->findChild<QPlainTextEdit*>("hexTextBox");
        text->selectAll();
        QTest::keyClicks(text, "3A 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18");
        click(s_->main->pasteWindow()->findChild<QPushButton*>("okButton"));
        QTRY_VERIFY(!s_->main->pasteWindow());
        QCOMPARE(s_->main->voiceLight(), std::optional(ReadinessLight::Green));

        QVERIFY(enabled("ExportVgmAction"));
        click(button("PlayButton"));
        QVERIFY(s_->dialogs.messages.empty());  // nothing to ask: it plays
        QTRY_COMPARE(audio_.starts, 1);
        click(button("StopButton"));
        QTRY_VERIFY(enabled("PlayButton"));
    }

    // The chosen folder is kept in the user's settings file, its label says
    // which driver's disassembly it found; a cancelled choice keeps it.
    void soundFolderIsKeptForTheUser() {
        auto* options = s_->main->optionsWindow();
        auto* label = test::control<QLabel>(options, "SoundFolderLabel");
        std::filesystem::create_directories(s_->dir.path() / "s2");
        s_->write("s2/s2.sounddriver.asm", {});
        const QString folder = QString::fromStdString((s_->dir.path() / "s2").string());
        s_->dialogs.folders.push_back(folder);
        QTest::mouseClick(test::control<QPushButton>(options, "SoundFolderButton"), Qt::LeftButton);
        QCOMPARE(soundFolderSetting(), folder);
        QCOMPARE(label->text(), QDir::toNativeSeparators(folder) + " (a Sonic 2 disassembly)");
        QVERIFY(QFile::exists(QString::fromStdString((s_->dir.path() / "config" / "Ferrocanto" / "Ferrocanto.ini").string())));
        QTest::mouseClick(test::control<QPushButton>(options, "SoundFolderButton"), Qt::LeftButton);
        QCOMPARE(soundFolderSetting(), folder);
    }
};

QTEST_MAIN(PlayTest)
#include "play_test.moc"
