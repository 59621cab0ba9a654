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

#include "app/ui/main_window.hpp"
#include "player/ui/song_preview.hpp"
#include "player/ui/sound_folder.hpp"
#include "song/song_conversion.hpp"
#include "support/fake_audio_out.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "voices/ui/paste_window.hpp"
#include "xm/ui/explorer_window.hpp"

using namespace ferro;

class PlayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<MainWindow> main_;
    test::FakeAudioState audio_;
    QString before_;

    QToolButton* button(const char* name) { return main_->findChild<QToolButton*>(name); }
    QAction* action(const char* name) { return main_->findChild<QAction*>(name); }
    void load() {
        main_->explorer()->findChild<QListWidget*>("fileList")->setCurrentRow(0);
        main_->explorer()->selectFile();
        main_->explorer()->loadSelectedFile();
    }
    // A song of no channel at all: yellow, so it can be played.
    void makeYellow() {
        SongModel& model = main_->songModel();
        model.setHasDrums(false);
        model.setFmChannelCount(0);
        model.setPsgChannelCount(0);
        QCOMPARE(model.generalLight(), std::optional(ReadinessLight::Yellow));
    }

private slots:
    void init() {
        before_ = QDir::currentPath();
        dir_ = std::make_unique<test::TempDir>();
        // The user's settings go to the test's own folder.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString((dir_->path() / "config").string()));
        test::XmLayout layout;
        layout.channelCount = 4;
        test::writeFileBytes(*dir_ / "song.xm", test::buildXm(layout));
        QDir::setCurrent(QString::fromStdString(dir_->path().string()));
        dialogs_ = std::make_unique<test::FakeDialogs>();
        main_ = std::make_unique<MainWindow>(*dialogs_);
        audio_ = {};
        main_->setAudioOut(std::make_unique<test::FakeAudioOut>(audio_));
        main_->startUp();
        main_->show();
    }
    void cleanup() {
        main_.reset();
        QDir::setCurrent(before_);
        dir_.reset();
    }

    void playFollowsTheModuleAndTheLight() {
        for (const char* name : {"PlayButton", "StopButton"}) QVERIFY(!button(name)->isEnabled());
        QVERIFY(!action("ExportVgmAction")->isEnabled());
        QVERIFY(!action("ExportWavAction")->isEnabled());
        load();
        QCOMPARE(main_->songModel().generalLight(), std::optional(ReadinessLight::Red));  // nothing assigned
        QVERIFY(!button("PlayButton")->isEnabled());
        QVERIFY(!action("ExportVgmAction")->isEnabled());
        makeYellow();
        QVERIFY(button("PlayButton")->isEnabled());
        QVERIFY(!button("StopButton")->isEnabled());
        QVERIFY(action("ExportWavAction")->isEnabled());
        main_->explorer()->unloadXmModule();
        QVERIFY(!button("PlayButton")->isEnabled());
    }

    void withoutAudioOutputTheProgramSaysSo() {
        load();
        makeYellow();
        audio_.available = false;
        QTest::mouseClick(button("PlayButton"), Qt::LeftButton);
        QVERIFY(!dialogs_->messages.empty());
        QCOMPARE(dialogs_->lastText(), QString("No audio output device"));
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
        test::writeFileBytes(*dir_ / "nine.xm", test::buildXm(layout));
        dialogs_->screen = {1280, 1024};
        main_->resize(1280, 1024);
        main_->explorer()->findChild<QPushButton*>("refreshButton")->click();  // the file list again

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

        auto* files = main_->explorer()->findChild<QListWidget*>("fileList");
        const auto found = files->findItems("nine.xm", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        clickItem(files, files->row(found.front()));
        click(main_->explorer()->findChild<QPushButton*>("loadButton"));
        QVERIFY(main_->songModel().isLoaded());

        // Every channel of General parametres: FM 1-5, PSG 1-2, noise, DAC.
        int channel = 0;
        for (int row : {0, 1, 2, 3, 4, 6, 7, 8, 9}) {
            auto* list = main_->findChild<QWidget*>("GeneralWindow")->findChild<QComboBox*>(QString("assignmentBox_%1").arg(row));
            choose(list, channel);
            QCOMPARE(list->currentIndex(), channel++);
        }
        QCOMPARE(main_->generalLight(), std::optional(ReadinessLight::Green));
        QVERIFY(button("PlayButton")->isEnabled());

        // A voice pasted in the Voice manager.
        auto* voices = main_->findChild<QWidget*>("VoiceManagerWindow");
        choose(voices->findChild<QComboBox*>("kindBox"), 4);
        QTRY_VERIFY(main_->pasteWindow());
        auto* text = main_->pasteWindow()->findChild<QPlainTextEdit*>("hexTextBox");
        text->selectAll();
        QTest::keyClicks(text, "3A 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18");
        click(main_->pasteWindow()->findChild<QPushButton*>("okButton"));
        QTRY_VERIFY(!main_->pasteWindow());
        QVERIFY(main_->isEnabled());
        QCOMPARE(main_->voiceLight(), std::optional(ReadinessLight::Green));
        QCOMPARE(main_->generalLight(), std::optional(ReadinessLight::Green));

        QVERIFY(button("PlayButton")->isEnabled());
        QVERIFY(!button("StopButton")->isEnabled());
        QVERIFY(action("ExportVgmAction")->isEnabled());
        click(button("PlayButton"));
        QVERIFY(dialogs_->messages.empty());  // nothing to ask: it plays
        QTRY_COMPARE(audio_.starts, 1);
        QVERIFY(button("StopButton")->isEnabled());
        click(button("StopButton"));
        QTRY_VERIFY(button("PlayButton")->isEnabled());
    }

    // Play on a yellow song asks as "Convert song" does, then plays.
    void playOnAYellowSongAsksFirst() {
        load();
        makeYellow();
        dialogs_->answers = {false};
        QTest::mouseClick(button("PlayButton"), Qt::LeftButton);
        QCOMPARE(dialogs_->messages.size(), std::size_t(1));
        QVERIFY(dialogs_->messages.back().question);
        QCOMPARE(dialogs_->lastText(), QString(kGeneralAskMessage));
        QVERIFY(!main_->songPreview().busy());
        dialogs_->answers = {true};
        QTest::mouseClick(button("PlayButton"), Qt::LeftButton);
        QCOMPARE(dialogs_->messages.size(), std::size_t(2));
        QTRY_COMPARE(audio_.starts, 1);
    }

    void soundFolderIsKeptForTheUser() {
        auto* options = main_->findChild<QWidget*>("OptionsWindow");
        QVERIFY(options);
        auto* label = options->findChild<QLabel*>("SoundFolderLabel");
        QCOMPARE(label->text(), QString("None: built-in sounds"));
        const QString folder = QString::fromStdString((dir_->path() / "s1").string());
        dialogs_->folders.push_back(folder);
        QTest::mouseClick(options->findChild<QPushButton*>("SoundFolderButton"), Qt::LeftButton);
        QCOMPARE(soundFolderSetting(), folder);
        QCOMPARE(label->text(), QDir::toNativeSeparators(folder));
        QVERIFY(QFile::exists(QString::fromStdString((dir_->path() / "config" / "Ferrocanto" / "Ferrocanto.ini").string())));
        // Cancelling keeps it.
        QTest::mouseClick(options->findChild<QPushButton*>("SoundFolderButton"), Qt::LeftButton);
        QCOMPARE(soundFolderSetting(), folder);
    }
};

QTEST_MAIN(PlayTest)
#include "play_test.moc"
