// "Convert song" clicked in the main window: what the lights let through,
// the messages and files a user gets, and the one-shot rest removal. The
// gate's and the conversion's own rules are the library's tests.
#include <QCheckBox>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "song/song_conversion.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/params/more_window.hpp"

using namespace ferro;
namespace fs = std::filesystem;

class ConvertActionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    SongModel& model() { return s_->main->songModel(); }
    void convert() { test::clickFace(s_->main->findChild<QToolButton*>("convertButton")); }
    bool written() { return fs::exists(s_->dir / "my song.bin"); }

    // Two FM channels on XM 1 and 2, the noise channel on 3, drums on 4;
    // no voice, so the voice light is yellow.
    void assignGreen() {
        model().setFmChannelCount(2);
        model().setPsgChannelCount(1);
        const std::pair<int, int> rowChannel[] = {{0, 1}, {1, 2}, {kFirstPsgAssignmentRow, 3}, {kDacAssignmentRow, 4}};
        for (auto [row, channel] : rowChannel) model().chooseChannel(row, channel);
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Green));
        QCOMPARE(s_->main->voiceLight(), std::optional(ReadinessLight::Yellow));
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        test::XmLayout layout;
        test::XmPatternLayout p;
        p.rows = 16;
        p.cells.assign(16 * 4, XmCell{});
        for (std::size_t n = 0; n < 4; ++n) {
            p.cells[n] = test::noteCell(49, 1);
            p.cells[8 * 4 + n] = test::noteCell(kXmKeyOff);
        }
        layout.patterns = {p};
        s_->write("my song.xm", test::buildXm(layout));
        QVERIFY(s_->start());
        s_->main->show();
        QVERIFY(s_->load("my song.xm"));
        s_->dialogs.messages.clear();
    }
    void cleanup() { s_.reset(); }

    void redLightRefusesAndWritesNothing() {
        convert();
        QCOMPARE(s_->dialogs.messages.size(), size_t(1));
        QCOMPARE(s_->dialogs.lastText(), QString(kGeneralRefusedMessage));
        QCOMPARE(s_->dialogs.messages[0].icon, MessageIcon::Critical);
        QVERIFY(!written());
    }

    // A yellow light asks; No writes nothing, Yes writes the song beside
    // the module, and only the song.
    void yellowLightAsksThenConverts() {
        assignGreen();
        s_->dialogs.answers = {false};
        convert();
        QCOMPARE(s_->dialogs.lastText(), QString(kVoiceAskMessage));
        QVERIFY(!written());
        s_->dialogs.answers = {true};
        convert();
        QCOMPARE(s_->dialogs.lastText(), QString("my song.bin created successfully!"));
        QCOMPARE(s_->dialogs.messages.back().icon, MessageIcon::Information);
        QVERIFY(written());
        QVERIFY(!fs::exists(s_->dir / "my song.asm"));
    }

    // "Remove rests" acts on one conversion and greys; a reload brings it back.
    void removeRestsRunsOnceAndAReloadBringsItBack() {
        assignGreen();
        auto* removeRests = s_->main->moreWindow()->findChild<QCheckBox*>("removeRestsBox");
        test::clickFace(removeRests);
        s_->dialogs.answers = {true};
        convert();
        QCOMPARE(model().settings().removeRests, RemoveRestsState::Greyed);
        QVERIFY(!removeRests->isEnabled());
        // The drum channel (XM 4) lost its key-off at row 8.
        QCOMPARE(test::readFileBytes(s_->main->explorer()->scratchDirectory() / "C4.tmp")[8 * 5], std::uint8_t(0));
        s_->main->explorer()->reloadXmModule();
        QCOMPARE(removeRests->checkState(), Qt::Checked);
        QVERIFY(removeRests->isEnabled());
    }
};

QTEST_MAIN(ConvertActionTest)
#include "convert_action_test.moc"
