// The General parametres window over the song model: its controls change the
// model, the model's changes show in its controls, and the main window wires
// it (the button's light, the reload, the close control).
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "ui/common/light_pictures.hpp"
#include "app/main_window.hpp"
#include "params/auto_fill.hpp"
#include "ui/params/general_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/module/explorer_window.hpp"
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
    template <typename T>
    T* get(const QString& name) {
        T* w = window->findChild<T*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }
    QComboBox* row(int r) { return get<QComboBox>(QString("assignmentBox_%1").arg(r)); }
    QLabel* caption(int r) { return get<QLabel>(QString("assignmentLabel_%1").arg(r)); }
    // The user picks item `index` of assignment row `r` with the keyboard,
    // as the list's own keys move and report it.
    void choose(int r, int index) {
        QComboBox* list = row(r);
        if (list->currentIndex() < 0) QTest::keyClick(list, Qt::Key_Home);
        while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
        while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
    }
    void clickItem(QListWidget* list, int index) {
        list->scrollToItem(list->item(index));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(index)).center());
    }

    test::FakeDialogs dialogs;
    SongModel model;
    std::unique_ptr<GeneralWindow> window;
};

// A module with `channels` channels; with names, a "CNAM" block after the
// patterns carries them (20 bytes each, zero padded).
std::vector<std::uint8_t> moduleFile(int channels, const std::vector<std::string>& names = {}) {
    test::XmLayout layout;
    layout.channelCount = channels;
    test::XmPatternLayout p;
    p.rows = 4;
    layout.patterns = {p};
    if (!names.empty()) {
        const std::string tag = "CNAM";
        layout.trailer.assign(tag.begin(), tag.end());
        const auto length = static_cast<std::uint32_t>(20 * names.size());
        for (int i = 0; i < 4; ++i) layout.trailer.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
        for (const std::string& name : names)
            for (std::size_t i = 0; i < 20; ++i)
                layout.trailer.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
    }
    return test::buildXm(layout);
}

}  // namespace

class GeneralWindowTest : public QObject {
    Q_OBJECT

    // The whole program, for the wiring the main window does.
    std::unique_ptr<test::WindowSession> s_;

    void startMain() {
        s_ = std::make_unique<test::WindowSession>();
        QVERIFY(s_->start());
        // The explorer tells a reload from a first load by its visible
        // "Reload" button, so the windows must be on screen.
        s_->main->show();
        QVERIFY(QTest::qWaitForWindowExposed(s_->main.get()));
    }
    // Writes `name` into the temporary folder and loads it with the explorer.
    void load(const QString& name, const std::vector<std::uint8_t>& bytes) {
        s_->write(name.toStdString(), bytes);
        QVERIFY(s_->load(name));
        QVERIFY(s_->main->generalWindow() != nullptr);
    }
    QColor generalButtonColour() {
        return s_->main->findChild<QToolButton*>("generalButton")->palette().color(QPalette::Button);
    }

private slots:
    void cleanup() { s_.reset(); }

    void firstLoadShowsTheModel() {
        Fixture f(moduleFacts(4));
        for (int r = 0; r < kAssignmentRowCount; ++r) {
            QCOMPARE(f.row(r)->count(), 4);
            QCOMPARE(f.row(r)->itemText(0), QString("1"));
            QCOMPARE(f.row(r)->itemText(3), QString("4"));
            QCOMPARE(f.row(r)->currentIndex(), -1);
            QVERIFY(!f.row(r)->isEditable());
        }
        QVERIFY(f.row(5)->isHidden());  // FM6 while drums are on
        QCOMPARE(f.caption(8)->text(), QString("Noise"));
        QCOMPARE(f.get<QListWidget>("timingList")->currentItem()->text(), QString("03"));
        QCOMPARE(f.get<QListWidget>("tempoList")->currentItem()->text(), QString("02"));
        QCOMPARE(f.get<QLabel>("statusPanel")->text(), QString("Can't convert. Unassigned FM channels exist."));
        QCOMPARE(f.get<QLabel>("lightPicture")->pixmap().toImage(), lightPicture(ReadinessLight::Red).toImage());
        QVERIFY(f.get<QGroupBox>("e4Frame")->isHidden());
    }

    // Each tempo list has its caption just above it, and is read as it; a
    // click on an item stores its position + 1.
    void tempoListsAreCaptionedAndClicked() {
        Fixture f;
        for (auto [name, text] : {std::pair{"timingList", "Dividing timing"}, std::pair{"tempoList", "Tempo"}}) {
            auto* list = f.get<QListWidget>(name);
            QCOMPARE(list->accessibleName(), QString(text));
            const auto labels = f.window->findChildren<QLabel*>();
            auto caption = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->buddy() == list; });
            QVERIFY(caption != labels.end() && (*caption)->text() == text);
            const QRect c = (*caption)->geometry(), l = list->geometry();
            QVERIFY(c.bottom() < l.top() && l.top() - c.bottom() < 12 && c.left() >= l.left() - 2);
            QVERIFY(c.width() >= (*caption)->fontMetrics().horizontalAdvance(text));
        }
        f.clickItem(f.get<QListWidget>("tempoList"), 8);
        f.clickItem(f.get<QListWidget>("timingList"), 0);
        QCOMPARE(f.model.settings().tempo, 9);
        QCOMPARE(f.model.settings().dividingTiming, 1);
    }

    // Every control reaches its operation of the model.
    void controlsChangeTheModel() {
        Fixture f;
        f.get<QRadioButton>("dacNoButton")->click();
        QVERIFY(!f.model.settings().hasDrums);
        QCOMPARE(f.get<QSlider>("fmChannelsSlider")->maximum(), 6);
        QVERIFY(f.row(kDacAssignmentRow)->isHidden());
        f.get<QSlider>("fmChannelsSlider")->setValue(6);
        QCOMPARE(f.model.settings().fmChannelCount, 6);
        QCOMPARE(f.get<QLabel>("fmChannelsLabel")->text(), QString("6"));
        QVERIFY(!f.row(5)->isHidden());
        f.choose(5, 6);
        QCOMPARE(f.model.assignment().fm[5], std::optional(7));

        f.get<QSlider>("psgChannelsSlider")->setValue(1);
        QCOMPARE(f.model.settings().psgChannelCount, 1);
        QCOMPARE(f.caption(6)->text(), QString("Noise"));
        f.get<QRadioButton>("noiseNoButton")->click();
        QVERIFY(!f.model.settings().useNoise);
        QCOMPARE(f.caption(6)->text(), QString("PSG1"));
        QCOMPARE(f.row(6)->accessibleName(), QString("PSG1 channel"));

        f.get<QRadioButton>("loopNoButton")->click();
        QVERIFY(!f.model.settings().loopSong);
        QVERIFY(!f.get<QGroupBox>("e4Frame")->isHidden());
        f.get<QToolButton>("e4Box")->click();
        QVERIFY(f.model.settings().endDacWithE4);
        f.get<QRadioButton>("loopYesButton")->click();
        QVERIFY(f.get<QGroupBox>("e4Frame")->isHidden());
        QVERIFY(f.model.settings().endDacWithE4);  // kept while hidden
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
        QCOMPARE(f.get<QLabel>("lightPicture")->pixmap().toImage(), lightPicture(ReadinessLight::Green).toImage());

        f.model.chooseChannel(0, std::nullopt);
        QCOMPARE(f.row(0)->currentIndex(), -1);
        QCOMPARE(f.get<QLabel>("lightPicture")->pixmap().toImage(), lightPicture(ReadinessLight::Red).toImage());
    }

    void autoFillFromChannelNames() {
        Fixture f(moduleFacts(6, {"FM1 lead", "FM 2 bass", "psg1", "PSG 2", "HATS", "  dac "}));
        f.get<QPushButton>("autoFillButton")->click();
        QVERIFY(f.dialogs.messages.empty());
        QCOMPARE(f.model.settings().fmChannelCount, 2);
        QCOMPARE(f.get<QSlider>("fmChannelsSlider")->value(), 2);
        QCOMPARE(f.get<QLabel>("psgChannelsLabel")->text(), QString("3"));
        QVERIFY(f.row(2)->isHidden());
        const QStringList shown = {f.row(0)->currentText(), f.row(1)->currentText(), f.row(6)->currentText(),
                                   f.row(7)->currentText(), f.row(8)->currentText(), f.row(9)->currentText()};
        QCOMPARE(shown, QStringList({"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(f.model.generalLight(), ReadinessLight::Green);
    }

    void autoFillFailureSaysSo() {
        Fixture f(moduleFacts(4, {"DAC", "dac", "FM1"}));
        f.choose(0, 2);
        const ChannelAssignment before = f.model.assignment();
        f.get<QPushButton>("autoFillButton")->click();
        QCOMPARE(f.dialogs.messages.size(), std::size_t(1));
        QCOMPARE(f.dialogs.lastText(), QString(kAutoFillFailedMessage));
        QCOMPARE(f.dialogs.messages.back().icon, MessageIcon::Information);
        QVERIFY(f.model.assignment().fm == before.fm);
        QCOMPARE(f.row(0)->currentText(), QString("3"));
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
        QCOMPARE(f.model.generalLight(), ReadinessLight::Green);
        QVERIFY(f.model.setMapValue(InstrumentMapKind::Fm, 2, 0));
        QCOMPARE(status->text(), QString(kAllAssignedText));
        f.model.chooseChannel(0, std::nullopt);  // red: the light's own text
        QCOMPARE(status->text(), QString(kUnassignedFmText));
    }

    // The main window's General button follows the model's light; the
    // unload gives it its face colour back.
    void theMainWindowsButtonFollowsTheLight() {
        startMain();
        load("ten.xm", moduleFile(10));
        QCOMPARE(generalButtonColour(), QColor(255, 0, 0));
        SongModel& model = s_->main->songModel();
        for (int r = 0; r < kAssignmentRowCount; ++r) model.chooseChannel(r, r + 1);
        QCOMPARE(generalButtonColour(), QColor(0, 255, 0));
        model.chooseChannel(2, 1);  // FM3 on the same channel as FM1
        QCOMPARE(generalButtonColour(), QColor(255, 255, 0));
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Yellow));

        // Moving the focus into a channel list validates again.
        s_->main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s_->main.get()));
        auto* list = s_->main->generalWindow()->findChild<QComboBox*>("assignmentBox_1");
        list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(list->hasFocus());
        QCOMPARE(s_->main->generalLight(), std::optional(ReadinessLight::Yellow));

        s_->main->explorer()->unloadXmModule();
        QVERIFY(!s_->main->generalLight());
    }

    void reloadKeepsOrRefillsTheLists() {
        startMain();
        load("song.xm", moduleFile(4));
        s_->main->songModel().chooseChannel(0, 4);
        s_->dialogs.messages.clear();
        auto* list = s_->main->generalWindow()->findChild<QComboBox*>("assignmentBox_0");

        s_->main->explorer()->reloadXmModule();  // same channel count
        QVERIFY(s_->dialogs.messages.empty());
        QCOMPARE(list->currentText(), QString("4"));

        test::writeFileBytes(s_->dir / "song.xm", moduleFile(6));
        s_->main->explorer()->reloadXmModule();
        QCOMPARE(s_->dialogs.messages.size(), std::size_t(1));
        QVERIFY(s_->dialogs.lastText().startsWith("The XM file now has a different number of channels!"));
        QCOMPARE(list->count(), 6);
        QCOMPARE(list->currentIndex(), -1);
    }

    void closeControlOnlyMinimises() {
        startMain();
        load("four.xm", moduleFile(4));
        s_->main->songModel().chooseChannel(0, 2);
        QWidget* general = s_->main->generalWindow();
        QVERIFY(!general->parentWidget()->close());  // the frame's close control
        QCOMPARE(s_->main->generalWindow(), general);
        QVERIFY(general->parentWidget()->isMinimized());
        QCOMPARE(s_->main->songModel().assignment().fm[0], std::optional(2));
    }

    // With FERRO_SHOT_DIR set: pictures of a fresh and of a filled window.
    void screenshots() {
        const QString shots = qEnvironmentVariable("FERRO_SHOT_DIR");
        if (shots.isEmpty()) QSKIP("FERRO_SHOT_DIR not set");
        startMain();
        load("song.xm", moduleFile(8, {"FM1", "FM2", "FM3", "FM4", "FM5", "PSG1", "noise", "DAC"}));
        s_->main->resize(1280, 900);
        GeneralWindow& general = *s_->main->generalWindow();
        general.grab().save(shots + "/general_red.png");
        general.findChild<QPushButton*>("autoFillButton")->click();
        general.findChild<QRadioButton*>("loopNoButton")->click();
        general.grab().save(shots + "/general_green.png");
        s_->main->grab().save(shots + "/general_main.png");
    }
};

QTEST_MAIN(GeneralWindowTest)
#include "general_window_test.moc"
