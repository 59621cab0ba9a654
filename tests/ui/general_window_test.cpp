#include <algorithm>

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

#include "app/ui/main_window.hpp"
#include "params/auto_fill.hpp"
#include "params/ui/general_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "xm/ui/explorer_window.hpp"

using namespace ferro;

namespace {

// A module with `channels` channels; with names, a "CNAM" block after the
// patterns carries them (20 bytes each, zero padded).
std::vector<std::uint8_t> module(int channels, const std::vector<std::string>& names = {}) {
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

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<MainWindow> main_;
    QString startFolder_;

    QString folder() { return QString::fromStdString(dir_->path().string()); }
    GeneralWindow& general() { return *main_->generalWindow(); }
    template <typename T>
    T* control(const QString& name) {
        T* w = general().findChild<T*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }
    QComboBox* row(int r) { return control<QComboBox>(QString("Combo1_%1").arg(r)); }
    QLabel* caption(int r) { return control<QLabel>(QString("Label3_%1").arg(r)); }
    QSlider* fmSlider() { return control<QSlider>("Slider1"); }
    QSlider* psgSlider() { return control<QSlider>("Slider2"); }
    void click(const char* name) { control<QRadioButton>(name)->click(); }
    // The user picks item `index` of assignment row `r`.
    void choose(int r, int index) {
        row(r)->setCurrentIndex(index);
        emit row(r)->activated(index);
    }
    QColor generalButtonColour() {
        auto* button = main_->findChild<QToolButton*>("Command1");
        return button->palette().color(QPalette::Button);
    }

    // Writes `name` into the temporary folder and loads it with the explorer.
    void load(const QString& name, const std::vector<std::uint8_t>& bytes) {
        test::writeFileBytes(*dir_ / name.toStdString(), bytes);
        ExplorerWindow& explorer = *main_->explorer();
        explorer.refreshFileList();
        auto* files = explorer.findChild<QListWidget*>("File1");
        const auto items = files->findItems(name, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        files->setCurrentItem(items.first());
        explorer.selectFile();
        explorer.loadSelectedFile();
        QVERIFY(main_->generalWindow() != nullptr);
    }

    // Assigns every row in use to its own channel: FM k -> k, PSG m -> 5 + m,
    // DAC -> 9 (a 10-channel module).
    void assignAllDistinct() {
        for (int r = 0; r < GeneralWindow::kRowCount; ++r) choose(r, r);
    }

private slots:
    void init() {
        startFolder_ = QDir::currentPath();
        dir_ = std::make_unique<test::TempDir>();
        QDir::setCurrent(folder());
        dialogs_ = std::make_unique<test::FakeDialogs>();
        main_ = std::make_unique<MainWindow>(*dialogs_);
        QVERIFY(main_->startUp());
        // The explorer tells a reload from a first load by its visible
        // "Reload" button, so the windows must be on screen.
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }
    void cleanup() {
        main_.reset();
        dialogs_.reset();
        QDir::setCurrent(startFolder_);
        dir_.reset();
    }

    void firstLoadFillsListsAndLightsRed() {
        load("four.xm", module(4));
        for (int r = 0; r < GeneralWindow::kRowCount; ++r) {
            QCOMPARE(row(r)->count(), 4);
            QCOMPARE(row(r)->itemText(0), QString("1"));
            QCOMPARE(row(r)->itemText(3), QString("4"));
            QCOMPARE(row(r)->currentIndex(), -1);
            QVERIFY(!row(r)->isEditable());
        }
        QVERIFY(row(5)->isHidden());  // FM6 while drums are on
        QCOMPARE(caption(8)->text(), QString("Noise"));
        QCOMPARE(control<QListWidget>("List1")->currentItem()->text(), QString("03"));
        QCOMPARE(control<QListWidget>("List2")->currentItem()->text(), QString("02"));
        QCOMPARE(general().settings().dividingTiming, 3);
        QCOMPARE(general().settings().tempo, 2);
        QCOMPARE(general().light(), ReadinessLight::Red);
        QCOMPARE(general().statusText(), QString("Can't convert. Unassigned FM channels exist."));
        QVERIFY(control<QGroupBox>("Frame3")->isHidden());

        // A tempo pick stores position + 1.
        control<QListWidget>("List2")->setCurrentRow(8);
        QCOMPARE(general().settings().tempo, 9);
    }

    // Each tempo list has its caption just above it, and is read as it.
    void tempoListsAreCaptioned() {
        load("four.xm", module(4));
        for (auto [name, text] : {std::pair{"List1", "Dividing timing"}, std::pair{"List2", "Tempo"}}) {
            auto* list = control<QListWidget>(name);
            QCOMPARE(list->accessibleName(), QString(text));
            const auto labels = general().findChildren<QLabel*>();
            auto caption = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->buddy() == list; });
            QVERIFY(caption != labels.end() && (*caption)->text() == text);
            const QRect c = (*caption)->geometry(), l = list->geometry();
            QVERIFY(c.bottom() < l.top() && l.top() - c.bottom() < 12 && c.left() >= l.left() - 2);
            QVERIFY(c.width() >= (*caption)->fontMetrics().horizontalAdvance(text));
        }
    }

    // Red, yellow and green reach the window's picture, its status bar and
    // the main window's button.
    void lightColoursReachTheMainWindow() {
        load("ten.xm", module(10));
        QCOMPARE(generalButtonColour(), QColor(255, 0, 0));
        QCOMPARE(main_->generalLight(), std::optional(ReadinessLight::Red));

        assignAllDistinct();
        QCOMPARE(general().light(), ReadinessLight::Green);
        QCOMPARE(general().statusText(), QString("All channels assigned!"));
        QCOMPARE(generalButtonColour(), QColor(0, 255, 0));
        QCOMPARE(control<QLabel>("Picture1")->pixmap().toImage(),
                 MainWindow::lightPicture(ReadinessLight::Green).toImage());

        choose(2, 0);  // FM3 on the same channel as FM1
        QCOMPARE(general().light(), ReadinessLight::Yellow);
        QCOMPARE(general().statusText(), QString("All channels assigned!"));
        QCOMPARE(generalButtonColour(), QColor(255, 255, 0));
        QCOMPARE(control<QLabel>("Picture1")->pixmap().toImage(),
                 MainWindow::lightPicture(ReadinessLight::Yellow).toImage());

        choose(6, 0);  // PSG1 on FM1's channel
        QCOMPARE(general().light(), ReadinessLight::Red);
        QCOMPARE(general().statusText(), QString("Can't convert. FM and PSG both on channel 1"));
        QCOMPARE(generalButtonColour(), QColor(255, 0, 0));

        // The unload gives the button its face colour back.
        main_->explorer()->unloadXmModule();
        QVERIFY(!main_->generalLight());
    }

    void drumSwitchLowersFmCountAndKeepsFm6() {
        load("ten.xm", module(10));
        click("Option2_1");  // no drums
        QCOMPARE(fmSlider()->maximum(), 6);
        QVERIFY(row(9)->isHidden());
        fmSlider()->setValue(6);
        QCOMPARE(control<QLabel>("Label1")->text(), QString("6"));
        QVERIFY(!row(5)->isHidden());
        choose(5, 6);
        QCOMPARE(general().assignment().fm[5], std::optional(7));

        click("Option2_0");  // drums again
        QCOMPARE(general().settings().fmChannelCount, 5);
        QCOMPARE(control<QLabel>("Label1")->text(), QString("5"));
        QCOMPARE(fmSlider()->maximum(), 5);
        QCOMPARE(fmSlider()->value(), 5);
        QVERIFY(row(5)->isHidden());
        QVERIFY(!row(9)->isHidden());
        QCOMPARE(general().assignment().fm[5], std::optional(7));

        click("Option2_1");
        fmSlider()->setValue(6);
        QVERIFY(!row(5)->isHidden());
        QCOMPARE(row(5)->currentText(), QString("7"));
    }

    void psgCountAndNoiseCaptions() {
        load("four.xm", module(4));
        auto* noiseFrame = control<QGroupBox>("Frame6");

        psgSlider()->setValue(0);
        QCOMPARE(control<QLabel>("Label2")->text(), QString("0"));
        QVERIFY(!noiseFrame->isEnabled());
        for (int r = 6; r <= 8; ++r) QVERIFY(row(r)->isHidden());
        QCOMPARE(caption(8)->text(), QString("Noise"));  // left as it was

        psgSlider()->setValue(1);
        QVERIFY(noiseFrame->isEnabled());
        QVERIFY(!row(6)->isHidden());
        QVERIFY(row(7)->isHidden());
        QCOMPARE(caption(6)->text(), QString("Noise"));
        click("Option3_1");  // no noise
        QCOMPARE(caption(6)->text(), QString("PSG1"));
        QCOMPARE(general().settings().psgChannelCount, 1);

        psgSlider()->setValue(3);
        QCOMPARE(caption(6)->text(), QString("PSG1"));
        QCOMPARE(caption(7)->text(), QString("PSG2"));
        QCOMPARE(caption(8)->text(), QString("PSG3"));
        click("Option3_0");
        QCOMPARE(caption(8)->text(), QString("Noise"));
        QCOMPARE(row(8)->accessibleName(), QString("Noise channel"));
    }

    // "E4" shows only while the song plays once; the choice reaches the loop
    // at the next load and survives a reload.
    void e4FrameFollowsLoopSong() {
        load("four.xm", module(4));
        auto* e4Frame = control<QGroupBox>("Frame3");
        auto* e4 = control<QToolButton>("Check1");

        click("Option1_1");
        QVERIFY(!e4Frame->isHidden());
        QVERIFY(main_->songModel().loopSongAtLoad());
        QVERIFY(!general().settings().loopSong);
        e4->click();
        QVERIFY(general().settings().endDacWithE4);

        main_->explorer()->reloadXmModule();
        QVERIFY(!main_->songModel().loopSongAtLoad());
        QVERIFY(control<QRadioButton>("Option1_1")->isChecked());

        click("Option1_0");
        QVERIFY(e4Frame->isHidden());
        QVERIFY(!main_->songModel().loopSongAtLoad());
        QVERIFY(general().settings().endDacWithE4);  // kept while hidden
        QVERIFY(e4->isChecked());
    }

    void reloadKeepsOrResetsTheAssignment() {
        load("song.xm", module(4));
        choose(0, 3);
        psgSlider()->setValue(2);
        dialogs_->messages.clear();

        main_->explorer()->reloadXmModule();  // same channel count
        QVERIFY(dialogs_->messages.empty());
        QCOMPARE(row(0)->currentText(), QString("4"));

        test::writeFileBytes(*dir_ / "song.xm", module(6));
        main_->explorer()->reloadXmModule();
        QCOMPARE(dialogs_->messages.size(), std::size_t(1));
        QVERIFY(dialogs_->lastText().startsWith("The XM file now has a different number of channels!"));
        QCOMPARE(row(0)->count(), 6);
        QCOMPARE(row(0)->currentIndex(), -1);
        QVERIFY(!general().assignment().fm[0]);
        QCOMPARE(general().settings().psgChannelCount, 2);
        QCOMPARE(general().light(), ReadinessLight::Red);
    }

    void autoFillFromChannelNames() {
        load("named.xm", module(6, {"FM1 lead", "FM 2 bass", "psg1", "PSG 2", "HATS", "  dac "}));
        // The names were read with the module: the file is not read again.
        std::filesystem::remove(*dir_ / "named.xm");
        control<QPushButton>("Command1")->click();
        QVERIFY(dialogs_->messages.empty());
        const SongSettings& s = general().settings();
        QCOMPARE(s.fmChannelCount, 2);
        QCOMPARE(s.psgChannelCount, 3);
        QVERIFY(s.hasDrums);
        QVERIFY(s.useNoise);
        QCOMPARE(fmSlider()->value(), 2);
        QCOMPARE(control<QLabel>("Label2")->text(), QString("3"));
        QVERIFY(row(2)->isHidden());
        const QStringList shown = {row(0)->currentText(), row(1)->currentText(), row(6)->currentText(),
                                   row(7)->currentText(), row(8)->currentText(), row(9)->currentText()};
        QCOMPARE(shown, QStringList({"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(caption(8)->text(), QString("Noise"));
        QCOMPARE(general().light(), ReadinessLight::Green);
        QCOMPARE(generalButtonColour(), QColor(0, 255, 0));
    }

    void autoFillFailureChangesNothing_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("no names block") << QStringList();
        QTest::newRow("two DAC names") << QStringList({"DAC", "dac", "FM1"});
    }
    void autoFillFailureChangesNothing() {
        QFETCH(QStringList, names);
        std::vector<std::string> plain;
        for (const QString& n : names) plain.push_back(n.toStdString());
        load("song.xm", module(4, plain));
        choose(0, 2);
        const SongSettings before = general().settings();
        const ChannelAssignment assigned = general().assignment();

        control<QPushButton>("Command1")->click();
        QCOMPARE(dialogs_->messages.size(), std::size_t(1));
        QCOMPARE(dialogs_->lastText(), QString(kAutoFillFailedMessage));
        QCOMPARE(dialogs_->messages.back().icon, MessageIcon::Information);
        QCOMPARE(general().settings().fmChannelCount, before.fmChannelCount);
        QCOMPARE(general().settings().hasDrums, before.hasDrums);
        QVERIFY(general().assignment().fm == assigned.fm);
        QCOMPARE(row(0)->currentText(), QString("3"));
    }

    void focusingAChannelListRunsControllino() {
        load("four.xm", module(4));
        main_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main_.get()));
        main_->setGeneralLight(ReadinessLight::Green);  // stale on purpose
        row(1)->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(row(1)->hasFocus());
        QCOMPARE(main_->generalLight(), std::optional(ReadinessLight::Red));
    }

    void closeControlKeepsTheWindow() {
        load("four.xm", module(4));
        choose(0, 1);
        QVERIFY(!general().parentWidget()->close());  // the frame's close control
        QVERIFY(main_->generalWindow() != nullptr);
        QCOMPARE(general().assignment().fm[0], std::optional(2));
    }

    // With FERRO_SHOT_DIR set: pictures of a fresh and of a filled window.
    void screenshots() {
        const QString shots = qEnvironmentVariable("FERRO_SHOT_DIR");
        if (shots.isEmpty()) QSKIP("FERRO_SHOT_DIR not set");
        load("song.xm", module(8, {"FM1", "FM2", "FM3", "FM4", "FM5", "PSG1", "noise", "DAC"}));
        main_->resize(1280, 900);
        general().grab().save(shots + "/general_red.png");
        control<QPushButton>("Command1")->click();
        click("Option1_1");
        general().grab().save(shots + "/general_green.png");
        main_->grab().save(shots + "/general_main.png");
    }
};

QTEST_MAIN(GeneralWindowTest)
#include "general_window_test.moc"
