#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QtTest>

#include "app/ui/main_window.hpp"
#include "player/ui/song_preview.hpp"
#include "player/ui/sound_folder.hpp"
#include "support/fake_audio_out.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
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
        main_->explorer()->findChild<QListWidget*>("File1")->setCurrentRow(0);
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
