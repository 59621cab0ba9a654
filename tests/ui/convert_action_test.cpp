// The convert action end to end through the windows: gating, the one-shot
// rest removal and the files and messages a user gets.
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QtTest>
#include <memory>

#include "app/ui/main_window.hpp"
#include "song/song_conversion.hpp"
#include "params/ui/more_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "voices/ui/voice_manager_window.hpp"
#include "xm/ui/explorer_window.hpp"

using namespace ferro;

class ConvertActionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<MainWindow> main_;
    QString startFolder_;

    SongModel& model() { return main_->songModel(); }

    // Two FM channels on XM 1 and 2, the noise channel on 3, drums on 4.
    void assignGreen() {
        model().setFmChannelCount(2);
        model().setPsgChannelCount(1);
        model().chooseChannel(0, 1);
        model().chooseChannel(1, 2);
        model().chooseChannel(kFirstPsgAssignmentRow, 3);
        model().chooseChannel(kDacAssignmentRow, 4);
        QCOMPARE(model().generalLight(), ReadinessLight::Green);
        QCOMPARE(main_->generalLight(), std::optional<ReadinessLight>(ReadinessLight::Green));
    }

private slots:
    void init() {
        startFolder_ = QDir::currentPath();
        dir_ = std::make_unique<test::TempDir>();
        test::XmLayout layout;
        layout.channelCount = 4;
        layout.orderTable = {0};
        test::XmPatternLayout p;
        p.rows = 16;
        p.cells.assign(16 * 4, XmCell{});
        for (int n = 0; n < 4; ++n) {
            p.cells[static_cast<std::size_t>(n)] = test::noteCell(49, 1);
            p.cells[static_cast<std::size_t>(8 * 4 + n)] = test::noteCell(kXmKeyOff);
        }
        layout.patterns = {p};
        test::writeFileBytes(*dir_ / "my song.xm", test::buildXm(layout));
        QDir::setCurrent(QString::fromStdString(dir_->path().string()));
        dialogs_ = std::make_unique<test::FakeDialogs>();
        main_ = std::make_unique<MainWindow>(*dialogs_);
        QVERIFY(main_->startUp());
        auto* files = main_->explorer()->findChild<QListWidget*>("fileList");
        files->setCurrentRow(0);
        main_->explorer()->selectFile();
        main_->explorer()->loadSelectedFile();
        QVERIFY(main_->explorer()->isLoaded());
        dialogs_->messages.clear();
    }
    void cleanup() {
        main_.reset();
        dialogs_.reset();
        QDir::setCurrent(startFolder_);
        dir_.reset();
    }

    void redLightRefusesAndWritesNothing() {
        QCOMPARE(main_->generalLight(), std::optional<ReadinessLight>(ReadinessLight::Red));
        main_->convertSong();
        QCOMPARE(dialogs_->messages.size(), size_t(1));
        QCOMPARE(dialogs_->lastText(), QString(kGeneralRefusedMessage));
        QCOMPARE(dialogs_->messages[0].icon, MessageIcon::Critical);
        QVERIFY(!std::filesystem::exists(*dir_ / "my song.bin"));
    }

    void yellowVoiceLightAsksThenConverts() {
        assignGreen();
        // Two FM channels and no voice: the voice light is yellow.
        QCOMPARE(main_->voiceLight(), std::optional<ReadinessLight>(ReadinessLight::Yellow));
        dialogs_->answers = {false};
        main_->convertSong();
        QCOMPARE(dialogs_->lastText(), QString(kVoiceAskMessage));
        QVERIFY(!std::filesystem::exists(*dir_ / "my song.bin"));

        dialogs_->answers = {true};
        main_->convertSong();
        QCOMPARE(dialogs_->lastText(), QString("my song.bin created successfully!"));
        QCOMPARE(dialogs_->messages.back().icon, MessageIcon::Information);
        QVERIFY(std::filesystem::exists(*dir_ / "my song.bin"));
        QVERIFY(!std::filesystem::exists(*dir_ / "my song.asm"));
        QVERIFY(std::filesystem::exists(*dir_ / "voices.tmp"));
        for (const auto& name : dir_->fileNames()) {
            QVERIFY2(name.rfind("BATMAN", 0) != 0 && name.rfind("LOL", 0) != 0, name.c_str());
            QVERIFY2(name.find(".new") == std::string::npos && name.find(".old") == std::string::npos, name.c_str());
        }
    }

    void removeRestsRunsOnceAndAReloadBringsItBack() {
        assignGreen();
        auto* removeRests = main_->moreWindow()->findChild<QCheckBox*>("removeRestsBox");
        removeRests->click();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Checked);
        dialogs_->answers = {true};
        main_->convertSong();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Greyed);
        QVERIFY(!removeRests->isEnabled());
        // The drum channel (XM 4) lost its key-off at row 8; the others keep theirs.
        QCOMPARE(test::readFileBytes(*dir_ / "C4.tmp")[8 * 5], std::uint8_t(0));
        QCOMPARE(test::readFileBytes(*dir_ / "C3.tmp")[8 * 5], kXmKeyOff);

        main_->explorer()->reloadXmModule();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Checked);
        QVERIFY(removeRests->isEnabled());
        QCOMPARE(test::readFileBytes(*dir_ / "C4.tmp")[8 * 5], kXmKeyOff);
    }
};

QTEST_MAIN(ConvertActionTest)
#include "convert_action_test.moc"
