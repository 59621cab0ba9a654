// The convert action end to end through the windows: gating, the one-shot
// rest removal and the files and messages a user gets.
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "song/song_conversion.hpp"
#include "ui/params/more_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;

class ConvertActionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    SongModel& model() { return s_->main->songModel(); }

    // Two FM channels on XM 1 and 2, the noise channel on 3, drums on 4.
    void assignGreen() {
        model().setFmChannelCount(2);
        model().setPsgChannelCount(1);
        model().chooseChannel(0, 1);
        model().chooseChannel(1, 2);
        model().chooseChannel(kFirstPsgAssignmentRow, 3);
        model().chooseChannel(kDacAssignmentRow, 4);
        QCOMPARE(model().generalLight(), ReadinessLight::Green);
        QCOMPARE(s_->main->generalLight(), std::optional<ReadinessLight>(ReadinessLight::Green));
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
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
        s_->write("my song.xm", test::buildXm(layout));
        QVERIFY(s_->start());
        QVERIFY(s_->load("my song.xm"));
        s_->dialogs.messages.clear();
    }
    void cleanup() { s_.reset(); }

    void redLightRefusesAndWritesNothing() {
        QCOMPARE(s_->main->generalLight(), std::optional<ReadinessLight>(ReadinessLight::Red));
        s_->main->convertSong();
        QCOMPARE(s_->dialogs.messages.size(), size_t(1));
        QCOMPARE(s_->dialogs.lastText(), QString(kGeneralRefusedMessage));
        QCOMPARE(s_->dialogs.messages[0].icon, MessageIcon::Critical);
        QVERIFY(!std::filesystem::exists(s_->dir / "my song.bin"));
    }

    void yellowVoiceLightAsksThenConverts() {
        assignGreen();
        // Two FM channels and no voice: the voice light is yellow.
        QCOMPARE(s_->main->voiceLight(), std::optional<ReadinessLight>(ReadinessLight::Yellow));
        s_->dialogs.answers = {false};
        s_->main->convertSong();
        QCOMPARE(s_->dialogs.lastText(), QString(kVoiceAskMessage));
        QVERIFY(!std::filesystem::exists(s_->dir / "my song.bin"));

        s_->dialogs.answers = {true};
        s_->main->convertSong();
        QCOMPARE(s_->dialogs.lastText(), QString("my song.bin created successfully!"));
        QCOMPARE(s_->dialogs.messages.back().icon, MessageIcon::Information);
        QVERIFY(std::filesystem::exists(s_->dir / "my song.bin"));
        QVERIFY(!std::filesystem::exists(s_->dir / "my song.asm"));
        QVERIFY(std::filesystem::exists(s_->dir / "voices.tmp"));
        for (const auto& name : s_->dir.fileNames()) {
            QVERIFY2(name.rfind("BATMAN", 0) != 0 && name.rfind("LOL", 0) != 0, name.c_str());
            QVERIFY2(name.find(".new") == std::string::npos && name.find(".old") == std::string::npos, name.c_str());
        }
    }

    void removeRestsRunsOnceAndAReloadBringsItBack() {
        assignGreen();
        auto* removeRests = s_->main->moreWindow()->findChild<QCheckBox*>("removeRestsBox");
        removeRests->click();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Checked);
        s_->dialogs.answers = {true};
        s_->main->convertSong();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Greyed);
        QVERIFY(!removeRests->isEnabled());
        // The drum channel (XM 4) lost its key-off at row 8; the others keep theirs.
        QCOMPARE(test::readFileBytes(s_->dir / "C4.tmp")[8 * 5], std::uint8_t(0));
        QCOMPARE(test::readFileBytes(s_->dir / "C3.tmp")[8 * 5], kXmKeyOff);

        s_->main->explorer()->reloadXmModule();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Checked);
        QVERIFY(removeRests->isEnabled());
        QCOMPARE(test::readFileBytes(s_->dir / "C4.tmp")[8 * 5], kXmKeyOff);
    }
};

QTEST_MAIN(ConvertActionTest)
#include "convert_action_test.moc"
