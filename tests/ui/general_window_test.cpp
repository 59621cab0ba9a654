// The General parametres window over the song model: its controls change the
// model, the model's changes show in its controls, and the main window wires
// it (the button's light, the reload).
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "params/auto_fill.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/common/light_pictures.hpp"
#include "ui/params/general_window.hpp"
#include "xm/xm_parser.hpp"

using namespace ferro;

namespace {

XmModule moduleFacts(int channels, std::vector<std::string> names = {}) {
    XmModule m;
    m.fileName = "song.xm";
    m.channelCount = static_cast<std::int16_t>(channels);
    m.totalRows = 64;
    m.channelNames = std::move(names);
    return m;
}

// The window alone over a model with a module loaded.
struct Fixture {
    explicit Fixture(XmModule module = moduleFacts(10)) {
        model.load(std::move(module));
        window = std::make_unique<GeneralWindow>(model, dialogs);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the window was not shown");
    }
    template <typename T = QWidget>
    T* get(const QString& name) { return test::control<T>(window.get(), name); }
    QComboBox* row(int r) { return get<QComboBox>(QString("assignmentBox_%1").arg(r)); }
    QString caption(int r) { return get<QLabel>(QString("assignmentLabel_%1").arg(r))->text(); }
    QPixmap light() { return get<QLabel>("lightPicture")->pixmap(); }
    // The user picks item `index` of assignment row `r` with the keyboard,
    // as the list's own keys move and report it.
    void choose(int r, int index) {
        QComboBox* list = row(r);
        if (list->currentIndex() < 0) QTest::keyClick(list, Qt::Key_Home);
        while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
        while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
    }

    test::FakeDialogs dialogs;
    SongModel model;
    std::unique_ptr<GeneralWindow> window;
};

QImage lightImage(ReadinessLight light) { return lightPicture(light).toImage(); }

}  // namespace

class GeneralWindowTest : public QObject {
    Q_OBJECT

    // The whole program, for the wiring the main window does.
    std::unique_ptr<test::WindowSession> s_;

    // The main window on screen (the explorer tells a reload from a first
    // load by its visible "Reload" button) with `channels` channels loaded.
    void startWith(int channels) {
        s_ = std::make_unique<test::WindowSession>();
        s_->write("song.xm", test::notesModule(channels, 4));
        QVERIFY(s_->start());
        s_->main->show();
        QVERIFY(QTest::qWaitForWindowExposed(s_->main.get()));
        QVERIFY(s_->load("song.xm"));
    }
    QColor generalButtonColour() {
        return s_->main->findChild<QToolButton*>("generalButton")->palette().color(QPalette::Button);
    }

private slots:
    void cleanup() { s_.reset(); }

    // What each choice shows in the window: the rows of the channels used,
    // the noise row's caption and name, the E4 choice while the song plays
    // once (kept while hidden). That each control reaches the model is the
    // setup parity test's, which drives them all.
    void choicesShapeTheWindow() {
        Fixture f;
        QCOMPARE(f.row(0)->count(), 10);  // the module's channels
        f.get<QRadioButton>("dacNoButton")->click();
        QVERIFY(f.row(kDacAssignmentRow)->isHidden());
        f.get<QSlider>("fmChannelsSlider")->setValue(6);
        QCOMPARE(f.get<QLabel>("fmChannelsLabel")->text(), QString("6"));
        QVERIFY(!f.row(5)->isHidden());
        f.get<QSlider>("psgChannelsSlider")->setValue(1);
        QCOMPARE(f.caption(6), QString("Noise"));
        f.get<QRadioButton>("noiseNoButton")->click();
        QCOMPARE(f.caption(6), QString("PSG1"));
        QCOMPARE(f.row(6)->accessibleName(), QString("PSG1 channel"));
        f.get<QRadioButton>("loopNoButton")->click();
        QVERIFY(!f.get("e4Frame")->isHidden());
        f.get<QToolButton>("e4Box")->click();
        f.get<QRadioButton>("loopYesButton")->click();
        QVERIFY(f.get("e4Frame")->isHidden());
        QVERIFY(f.model.settings().endDacWithE4);
    }

    // Whoever changes the model (a setup file, the other windows), the
    // window shows it, and showing it changes nothing back.
    void modelChangesShowInTheControls() {
        Fixture f;
        SongChoices choices = initialSongChoices(10);
        setHasDrums(choices.settings, false);
        setFmChannelCount(choices.settings, 6);
        choices.settings.loopSong = false;
        choices.settings.endDacWithE4 = true;
        choices.settings.tempo = 7;
        choices.settings.dividingTiming = 5;
        choices.assignment.fm = {1, 2, 3, 4, 5, 6};
        choices.assignment.psg = {7, 8, 9};
        int told = 0;
        f.model.subscribe([&](SongChanges) { ++told; });
        f.model.applyChoices(choices);
        QCOMPARE(told, 1);
        QCOMPARE(f.get<QSlider>("fmChannelsSlider")->value(), 6);
        QVERIFY(f.get<QRadioButton>("dacNoButton")->isChecked());
        QVERIFY(f.get<QRadioButton>("loopNoButton")->isChecked());
        QVERIFY(f.get<QToolButton>("e4Box")->isChecked());
        QCOMPARE(f.get<QListWidget>("timingList")->currentItem()->text(), QString("05"));
        QCOMPARE(f.get<QListWidget>("tempoList")->currentItem()->text(), QString("07"));
        for (int r = 0; r < kDacAssignmentRow; ++r) QCOMPARE(f.row(r)->currentText(), QString::number(r + 1));
        QCOMPARE(f.get<QLabel>("statusPanel")->text(), QString("All channels assigned!"));
        QCOMPARE(f.light().toImage(), lightImage(ReadinessLight::Green));

        f.model.chooseChannel(0, std::nullopt);
        QCOMPARE(f.row(0)->currentIndex(), -1);
        QCOMPARE(f.light().toImage(), lightImage(ReadinessLight::Red));
    }

    // The driver's list: its tempo takes the driver's form, E4 is Sonic 1's.
    void driverChoiceShowsItsTempoAndE4() {
        Fixture f;
        auto* drivers = f.get<QComboBox>("driverList");
        auto* tempoByte = f.get<QSpinBox>("tempoByteBox");
        auto* e4 = f.get<QToolButton>("e4Box");
        QTest::keyClick(drivers, Qt::Key_Down);
        QCOMPARE(f.model.settings().driver, SoundDriver::Sonic2);
        QCOMPARE(f.model.settings().tempo, 0x80);
        QVERIFY(tempoByte->isVisible() && !f.get<QListWidget>("tempoList")->isVisible());
        QCOMPARE(tempoByte->value(), 0x80);
        QVERIFY(!e4->isEnabled() && !e4->toolTip().isEmpty());
        QTest::keyClick(tempoByte, Qt::Key_Up);
        QCOMPARE(f.model.settings().tempo, 0x81);
        QTest::keyClick(drivers, Qt::Key_Up);
        QCOMPARE(f.model.settings().tempo, 2);
        QVERIFY(e4->isEnabled() && f.get<QListWidget>("tempoList")->isVisible());
    }

    // "Auto fill" (whose rule is the model's) shows what it assigned and,
    // on the status line, how; where neither the names nor the notes fill
    // the channels it says so and changes nothing.
    void autoFill() {
        Fixture f(moduleFacts(6, {"FM1 lead", "FM 2 bass", "psg1", "PSG 2", "HATS", "  dac "}));
        QTest::mouseClick(f.get("autoFillButton"), Qt::LeftButton);
        QVERIFY(f.dialogs.messages.empty());
        QCOMPARE(f.get<QLabel>("statusPanel")->text(), QString(kFilledFromNamesText));
        QCOMPARE(f.get<QSlider>("fmChannelsSlider")->value(), 2);
        QCOMPARE(f.row(9)->currentText(), QString("6"));

        Fixture failing(moduleFacts(4, {"DAC", "dac", "FM1"}));
        failing.choose(0, 2);
        QTest::mouseClick(failing.get("autoFillButton"), Qt::LeftButton);
        QCOMPARE(failing.dialogs.lastText(), QString(kAutoFillFailedMessage));
        QCOMPARE(failing.dialogs.messages.back().icon, MessageIcon::Information);
        QCOMPARE(failing.row(0)->currentText(), QString("3"));
    }

    // With a light that converts, the status line says the first thing the
    // driver would play wrongly, and goes back when the choice is mended.
    void statusLineSaysWhatTheDriverWouldPlayWrongly() {
        test::XmLayout layout;
        layout.channelCount = 1;
        test::XmPatternLayout pattern;
        pattern.rows = 4;
        pattern.cells = {test::noteCell(49, 1), XmCell{}, test::noteCell(51, 2), XmCell{}};
        layout.patterns = {pattern};
        auto parsed = parseXmModule(test::buildXm(layout));
        QVERIFY(std::holds_alternative<XmModule>(parsed));
        Fixture f(std::get<XmModule>(std::move(parsed)));
        auto* status = f.get<QLabel>("statusPanel");
        f.model.setHasDrums(false);
        f.model.setPsgChannelCount(0);
        f.model.setFmChannelCount(1);
        f.model.chooseChannel(0, 1);
        QCOMPARE(status->text(), QString(kAllAssignedText));  // no voice at all: the voice light's
        FmVoice voice;
        voice.bytes[0] = 0x3A;
        f.model.addVoice("a", voice);
        const QString warning = "Warning: 1 notes play an FM voice the song does not have (it has 1 voices, 0 to 0). "
                                "First: XM channel 1, order position 0 (pattern 0), row 2, instrument 2 plays voice 1.";
        QCOMPARE(status->text(), warning);
        QCOMPARE(status->toolTip(), warning);
        QCOMPARE(f.model.generalLight(), ReadinessLight::Yellow);
        QVERIFY(f.model.setMapValue(InstrumentMapKind::Fm, 2, 0));
        QCOMPARE(status->text(), QString(kAllAssignedText));
        f.model.chooseChannel(0, std::nullopt);  // red: the light's own text
        QCOMPARE(status->text(), QString(kUnassignedFmText));
    }

    // While the module's volumes are not followed the status line hints at
    // them; ticking the box follows them and the hint goes.
    void theEffectsBoxFollowsTheModulesVolumes() {
        test::XmLayout layout;
        layout.channelCount = 1;
        test::XmPatternLayout pattern;
        pattern.rows = 2;
        pattern.cells = {XmCell{49, 0, 0x30, 0, 0}, XmCell{}};
        layout.patterns = {pattern};
        auto parsed = parseXmModule(test::buildXm(layout));
        QVERIFY(std::holds_alternative<XmModule>(parsed));
        Fixture f(std::get<XmModule>(std::move(parsed)));
        f.model.setHasDrums(false);
        f.model.setPsgChannelCount(0);
        f.model.setFmChannelCount(1);
        f.model.chooseChannel(0, 1);
        auto* status = f.get<QLabel>("statusPanel");
        QCOMPARE(status->text(), QString("This module changes volume on 1 row: tick \"Play the module's volumes and "
                                         "effects\" to keep them"));
        auto* box = f.get<QCheckBox>("moduleEffectsBox");
        test::clickFace(box);
        QVERIFY(f.model.settings().moduleEffects);
        QCOMPARE(status->text(), QString(kAllAssignedText));
    }

    // The main window's General button follows the model's light, and
    // moving the focus into a channel list validates again.
    void theMainWindowsButtonFollowsTheLight() {
        startWith(10);
        SongModel& model = s_->main->songModel();
        for (int r = 0; r < kAssignmentRowCount; ++r) model.chooseChannel(r, r + 1);
        QCOMPARE(generalButtonColour(), QColor(0, 255, 0));
        model.chooseChannel(2, 1);  // FM3 on the same channel as FM1
        QCOMPARE(generalButtonColour(), QColor(255, 255, 0));

        s_->main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s_->main.get()));
        auto* list = s_->main->generalWindow()->findChild<QComboBox*>("assignmentBox_1");
        list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(list->hasFocus());
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Yellow));
    }
};

QTEST_MAIN(GeneralWindowTest)
#include "general_window_test.moc"
