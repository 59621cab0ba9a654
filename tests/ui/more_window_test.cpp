// The More parametres window over the song model: the map a first load shows,
// picking and showing map entries, the keying options, the frames following
// the General choices, the channel values and "Remove rests", each control
// reaching the model and each change of the model showing in the controls.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/main_window.hpp"
#include "ui/params/more_window.hpp"
#include "ui/support/fake_dialogs.hpp"

using namespace ferro;

namespace {

XmModule moduleFacts(int channels) {
    XmModule m;
    m.fileName = "song.xm";
    m.channelCount = static_cast<std::int16_t>(channels);
    m.totalRows = 64;
    return m;
}

// The window alone over a model with a module loaded.
struct Fixture {
    test::FakeDialogs dialogs;
    SongModel model;
    std::unique_ptr<MoreWindow> window;

    Fixture() {
        model.load(moduleFacts(8));
        window = std::make_unique<MoreWindow>(model, dialogs);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the window was not shown");
    }
    template <class T>
    T* get(const QString& name) {
        T* w = window->findChild<T*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }
    QListWidget* list(const char* name) { return get<QListWidget>(name); }
};

QString current(QListWidget* list) { return list->currentItem() ? list->currentItem()->text() : QString(); }

// A user's click on row `row` of a list (scrolled into view first).
void clickRow(QListWidget* list, int row) {
    list->scrollToItem(list->item(row));
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void sendMouse(QListWidget* list, QEvent::Type type, int row, Qt::MouseButtons buttons) {
    const QPointF at = list->visualItemRect(list->item(row)).center();
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &event);
}

int byteAt(const std::string& map, int key) { return static_cast<unsigned char>(map.at(key - 1)); }

// Whether `name` shows when the window does.
bool visible(Fixture& f, const QString& name) { return f.get<QWidget>(name)->isVisibleTo(f.window.get()); }

}  // namespace

class MoreWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstLoadShowsTheDefaultMap();
    void storedValueShowsAgain_data();
    void storedValueShowsAgain();
    void clickStoresTheValueUnderThePointer_data();
    void clickStoresTheValueUnderThePointer();
    void hiHatKindIsStoredByKey();
    void draggingThroughKeyListsFollowsTheMouse();
    void keyingChangeLosesEveryEntry_data();
    void keyingChangeLosesEveryEntry();
    void framesFollowTheGeneralChoices_data();
    void framesFollowTheGeneralChoices();
    void channelControlsStoreTheirSlots();
    void modelChangesShowInTheControls();
    void removeRestsShowsTheModelsState();
    void pictureMeows();
    void screenshot();
};

// A first load shows the model's default map: instrument k plays FM voice
// k - 1, shown in hexadecimal.
void MoreWindowTest::firstLoadShowsTheDefaultMap() {
    Fixture f;
    const struct {
        int instrument;
        const char* voice;
    } fm[] = {{1, "0"}, {10, "9"}, {17, "10"}, {256, "FF"}};
    for (const auto& c : fm) {
        clickRow(f.list("fmKeyList"), c.instrument - 1);
        QCOMPARE(current(f.list("fmVoiceList")), QString(c.voice));
    }
}

void MoreWindowTest::storedValueShowsAgain_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("values");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("mapIndex");  // 0 instrumentVoices, 1 instrumentPsgEnvelopes, 2 drumSamples
    QTest::addColumn<int>("byte");
    QTest::newRow("FM 5 uses 1F") << "fmKeyList" << "fmVoiceList" << 5 << "1F" << 0 << 0x1F;
    QTest::newRow("FM 256 uses 3") << "fmKeyList" << "fmVoiceList" << 256 << "3" << 0 << 3;
    QTest::newRow("PSG 200 uses 7F") << "psgKeyList" << "psgEnvelopeList" << 200 << "7F" << 1 << 0x7F;
    QTest::newRow("DAC 3 uses DF") << "dacKeyList" << "dacSampleList" << 3 << "DF" << 2 << 0xDF;
    QTest::newRow("DAC 1 uses 9A") << "dacKeyList" << "dacSampleList" << 1 << "9A" << 2 << 0x9A;
}

void MoreWindowTest::storedValueShowsAgain() {
    QFETCH(QString, keys);
    QFETCH(QString, values);
    QFETCH(int, key);
    QFETCH(QString, value);
    QFETCH(int, mapIndex);
    QFETCH(int, byte);
    Fixture f;
    QListWidget* keyList = f.list(qPrintable(keys));
    QListWidget* valueList = f.list(qPrintable(values));
    const auto map = [&] {
        const InstrumentMaps& m = f.model.maps();
        return mapIndex == 0 ? m.instrumentVoices : mapIndex == 1 ? m.instrumentPsgEnvelopes : m.drumSamples;
    };
    const std::string before = map();

    clickRow(keyList, key - 1);
    const auto found = valueList->findItems(value, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    clickRow(valueList, valueList->row(found.front()));
    QCOMPARE(byteAt(map(), key), byte);
    // Nothing else changed.
    std::string expected = before;
    expected[key - 1] = static_cast<char>(byte);
    QCOMPARE(map(), expected);

    // Another key shows its own value, and coming back shows the stored one.
    clickRow(keyList, key == 1 ? 1 : 0);
    QVERIFY(current(valueList) != value);
    clickRow(keyList, key - 1);
    QCOMPARE(current(valueList), value);
}

void MoreWindowTest::clickStoresTheValueUnderThePointer_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("values");
    QTest::addColumn<int>("mapIndex");  // 0 instrumentVoices, 1 instrumentPsgEnvelopes, 2 drumSamples
    QTest::newRow("FM voice") << "fmKeyList" << "fmVoiceList" << 0;
    QTest::newRow("DAC sample") << "dacKeyList" << "dacSampleList" << 2;
}

// A click where the list is, without scrolling first: the item under the
// pointer is the one selected and stored, wherever it lies in the view.
void MoreWindowTest::clickStoresTheValueUnderThePointer() {
    QFETCH(QString, keys);
    QFETCH(QString, values);
    QFETCH(int, mapIndex);
    Fixture f;
    QListWidget* valueList = f.list(qPrintable(values));
    const std::string InstrumentMaps::*maps[] = {&InstrumentMaps::instrumentVoices, &InstrumentMaps::instrumentPsgEnvelopes, &InstrumentMaps::drumSamples};
    for (int key : {1, 2, 40}) {
        clickRow(f.list(qPrintable(keys)), key - 1);
        const int rowHeight = valueList->visualItemRect(valueList->item(0)).height();
        const QRect view = valueList->viewport()->rect();
        for (int y : {rowHeight * 3 / 2, view.center().y(), view.bottom() - rowHeight}) {
            const QPoint at(view.center().x(), y);
            const QString chosen = valueList->itemAt(at)->text();
            // A hand that presses, shifts by a pixel and lets go.
            QTest::mousePress(valueList->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseMove(valueList->viewport(), at + QPoint(1, 0));
            QTest::mouseRelease(valueList->viewport(), Qt::LeftButton, Qt::NoModifier, at + QPoint(1, 0));
            QCOMPARE(current(valueList), chosen);
            QCOMPARE(valueList->selectedItems().size(), 1);
            QCOMPARE(valueList->selectedItems().front()->text(), chosen);
            QCOMPARE(QString::number(byteAt(f.model.maps().*maps[mapIndex], key), 16).toUpper(), chosen);
        }
    }
}

void MoreWindowTest::hiHatKindIsStoredByKey() {
    Fixture f;
    clickRow(f.list("hiHatKeyList"), 2);
    QTest::mouseClick(f.get<QRadioButton>("openHiHatButton"), Qt::LeftButton);
    QCOMPARE(byteAt(f.model.maps().hihatKinds, 3), 1);
    QCOMPARE(byteAt(f.model.maps().hihatKinds, 2), 2);
    clickRow(f.list("hiHatKeyList"), 3);
    QVERIFY(f.get<QRadioButton>("closedHiHatButton")->isChecked());
    clickRow(f.list("hiHatKeyList"), 2);
    QVERIFY(f.get<QRadioButton>("openHiHatButton")->isChecked());
    QTest::mouseClick(f.get<QRadioButton>("closedHiHatButton"), Qt::LeftButton);
    QCOMPARE(byteAt(f.model.maps().hihatKinds, 3), 2);
}

void MoreWindowTest::draggingThroughKeyListsFollowsTheMouse() {
    Fixture f;
    // Give PSG instrument 4 a voice of its own so that the drag shows a change.
    clickRow(f.list("psgKeyList"), 3);
    clickRow(f.list("psgEnvelopeList"), 0x22);
    clickRow(f.list("psgKeyList"), 0);

    struct Case {
        const char* keys;
        const char* values;
        int to;
        const char* shown;
    };
    for (const Case& c : {Case{"fmKeyList", "fmVoiceList", 5, "5"}, Case{"psgKeyList", "psgEnvelopeList", 3, "22"}}) {
        QListWidget* keys = f.list(c.keys);
        sendMouse(keys, QEvent::MouseButtonPress, 0, Qt::LeftButton);
        for (int row = 1; row <= c.to; ++row) sendMouse(keys, QEvent::MouseMove, row, Qt::LeftButton);
        QCOMPARE(keys->currentRow(), c.to);
        QCOMPARE(current(f.list(c.values)), QString(c.shown));
        sendMouse(keys, QEvent::MouseButtonRelease, c.to, Qt::NoButton);
        // Moving without a button changes nothing.
        sendMouse(keys, QEvent::MouseMove, 1, Qt::NoButton);
        QCOMPARE(keys->currentRow(), c.to);
    }
}

void MoreWindowTest::keyingChangeLosesEveryEntry_data() {
    QTest::addColumn<bool>("drums");
    QTest::newRow("drums") << true;
    QTest::newRow("hi-hats") << false;
}

void MoreWindowTest::keyingChangeLosesEveryEntry() {
    QFETCH(bool, drums);
    Fixture f;
    QListWidget* keys = f.list(drums ? "dacKeyList" : "hiHatKeyList");
    QLabel* heading = nullptr;
    for (QLabel* l : f.window->findChildren<QLabel*>())
        if (l->buddy() == keys) heading = l;
    QVERIFY(heading);
    const auto map = [&] { return drums ? f.model.maps().drumSamples : f.model.maps().hihatKinds; };
    const char initial = drums ? '\x81' : '\x02';
    // Store a value for the selected key, as a user would.
    const auto edit = [&](int key) {
        clickRow(keys, key - 1);
        if (drums)
            clickRow(f.list("dacSampleList"), 5);
        else
            QTest::mouseClick(f.get<QRadioButton>("openHiHatButton"), Qt::LeftButton);
        QVERIFY(map().at(key - 1) != initial);
    };
    const auto shownIsInitial = [&] {
        return drums ? current(f.list("dacSampleList")) == "81" : f.get<QRadioButton>("closedHiHatButton")->isChecked();
    };
    QRadioButton* each = f.get<QRadioButton>(drums ? "eachDrumButton" : "eachHiHatButton");
    QRadioButton* byNote = f.get<QRadioButton>(drums ? "drumsByNoteButton" : "hiHatsByNoteButton");

    edit(1);
    edit(40);
    QTest::mouseClick(byNote, Qt::LeftButton);
    QVERIFY(byNote->isChecked());
    QCOMPARE(keys->count(), 96);
    QCOMPARE(keys->item(95)->text(), QString("96"));
    QCOMPARE(keys->currentRow(), 0);
    QCOMPARE(heading->text(), QString("XM note number"));
    QCOMPARE(map(), std::string(96, initial));
    QVERIFY(shownIsInitial());
    QCOMPARE(drums ? f.model.maps().drumsByNote : f.model.maps().hihatsByNote, true);

    edit(96);
    QTest::mouseClick(each, Qt::LeftButton);
    QCOMPARE(keys->count(), 256);
    QCOMPARE(keys->currentRow(), 0);
    QCOMPARE(heading->text(), QString("XM instrument number"));
    QCOMPARE(map(), std::string(256, initial));
    QVERIFY(shownIsInitial());
    QCOMPARE(drums ? f.model.maps().drumsByNote : f.model.maps().hihatsByNote, false);
    // The other maps are untouched.
    QCOMPARE(drums ? f.model.maps().hihatKinds : f.model.maps().drumSamples, std::string(256, drums ? '\x02' : '\x81'));
}

namespace {
struct Shown {
    bool fmMap, psgMap, dacMap, hiHatMap;
    int fmFrames;   // FM 1..n visible
    int psgFrames;  // PSG 1..n visible
    bool noise, dac, optimise;
};
}  // namespace
Q_DECLARE_METATYPE(Shown)

// Which frame shows for which choices is the settings' own rule, tested
// with them; here each frame follows the model's General changes.
void MoreWindowTest::framesFollowTheGeneralChoices_data() {
    QTest::addColumn<int>("fm");
    QTest::addColumn<int>("psg");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<bool>("drums");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<Shown>("shown");
    //                                      fm psg noise drums loop   fmM   psgM   dacM   hhM  fmN psgN noise dac  opt
    QTest::newRow("initial") << 5 << 3 << true << true << true << Shown{true, true, true, true, 5, 2, true, true, true};
    QTest::newRow("no noise, 3 PSG") << 5 << 3 << false << true << true << Shown{true, true, true, false, 5, 3, false, true, true};
    QTest::newRow("no drums, 6 FM") << 6 << 3 << true << false << true << Shown{true, true, false, true, 6, 2, true, false, true};
    QTest::newRow("play once") << 2 << 3 << true << true << false << Shown{true, true, true, true, 2, 2, true, true, false};
    QTest::newRow("nothing") << 0 << 0 << false << false << false << Shown{false, false, false, false, 0, 0, false, false, false};
}

void MoreWindowTest::framesFollowTheGeneralChoices() {
    QFETCH(int, fm);
    QFETCH(int, psg);
    QFETCH(bool, noise);
    QFETCH(bool, drums);
    QFETCH(bool, loop);
    QFETCH(Shown, shown);
    Fixture f;
    f.model.setHasDrums(drums);
    f.model.setFmChannelCount(fm);
    f.model.setUseNoise(noise);
    f.model.setPsgChannelCount(psg);
    f.model.setLoopSong(loop);

    QCOMPARE(visible(f, "fmMapFrame"), shown.fmMap);
    QCOMPARE(visible(f, "psgMapFrame"), shown.psgMap);
    QCOMPARE(visible(f, "dacMapFrame"), shown.dacMap);
    QCOMPARE(visible(f, "hiHatMapFrame"), shown.hiHatMap);
    for (int k = 1; k <= 6; ++k) QCOMPARE(visible(f, QString("fmChannelFrame_%1").arg(k - 1)), k <= shown.fmFrames);
    for (int k = 1; k <= 3; ++k) QCOMPARE(visible(f, QString("psgChannelFrame_%1").arg(k - 1)), k <= shown.psgFrames);
    QCOMPARE(visible(f, "noiseChannelFrame"), shown.noise);
    QCOMPARE(visible(f, "dacChannelFrame"), shown.dac);
    QCOMPARE(visible(f, "removeRestsBox"), shown.dac);
    QCOMPARE(visible(f, "optimiseBox"), shown.optimise);
}

void MoreWindowTest::channelControlsStoreTheirSlots() {
    Fixture f;
    const struct {
        const char* name;
        int value;
        int stored;
    } spins[] = {{"pitchBox_0", -128, -128}, {"pitchBox_5", 127, 127}, {"pitchBox_7", 300, 127},
                 {"volumeBox_3", 63, 63},     {"volumeBox_6", -1, 0},    {"volumeBox_9", 7, 7}};
    for (const auto& s : spins) f.get<QSpinBox>(s.name)->setValue(s.value);
    const ChannelOutputSettings& c = f.model.channels();
    QCOMPARE(c.pitch[0], -128);
    QCOMPARE(c.pitch[5], 127);
    QCOMPARE(c.pitch[7], 127);
    QCOMPARE(c.volume[3], 63);
    QCOMPARE(c.volume[6], 0);
    QCOMPARE(c.volume[9], 7);
    QCOMPARE(c.pitch[6], -36);  // untouched slots keep their values
    QCOMPARE(c.volume[0], 16);

    // A spinner steps by one and stops at the ends of its range.
    QSpinBox* volume = f.get<QSpinBox>("volumeBox_9");
    volume->setValue(62);
    volume->stepUp();
    volume->stepUp();
    QCOMPARE(c.volume[9], 63);

    f.get<QComboBox>("panBox_2")->setCurrentIndex(2);
    f.get<QComboBox>("panBox_6")->setCurrentIndex(4);
    QCOMPARE(c.pan[2], PanChoice::Left);
    QCOMPARE(c.pan[6], PanChoice::Random);
    QCOMPARE(c.pan[0], PanChoice::Default);

    f.get<QCheckBox>("optimiseBox")->click();
    QVERIFY(f.model.settings().optimiseOutput);
}

// A whole set of choices (a setup file) shows in every control at once, and
// showing it tells the model nothing back.
void MoreWindowTest::modelChangesShowInTheControls() {
    Fixture f;
    clickRow(f.list("fmKeyList"), 4);
    clickRow(f.list("dacKeyList"), 2);
    SongChoices choices = initialSongChoices(8);
    setMapValue(choices.maps, InstrumentMapKind::Fm, 5, 0x1F);
    setHiHatKeying(choices.maps, true);
    setMapValue(choices.maps, InstrumentMapKind::HiHat, 1, 1);
    setPitch(choices.channels, 7, -12);
    setVolume(choices.channels, 9, 5);
    setPan(choices.channels, 6, 4);
    choices.settings.optimiseOutput = true;
    int told = 0;
    f.model.subscribe([&](SongChanges) { ++told; });
    f.model.applyChoices(choices);
    QCOMPARE(told, 1);

    // The selected keys stay where the keying stays; a new keying starts at key 1.
    QCOMPARE(f.list("fmKeyList")->currentRow(), 4);
    QCOMPARE(current(f.list("fmVoiceList")), QString("1F"));
    QCOMPARE(f.list("dacKeyList")->currentRow(), 2);
    QCOMPARE(current(f.list("dacSampleList")), QString("81"));
    QCOMPARE(f.list("hiHatKeyList")->count(), 96);
    QCOMPARE(f.list("hiHatKeyList")->currentRow(), 0);
    QVERIFY(f.get<QRadioButton>("hiHatsByNoteButton")->isChecked());
    QVERIFY(f.get<QRadioButton>("openHiHatButton")->isChecked());
    QCOMPARE(f.get<QSpinBox>("pitchBox_7")->value(), -12);
    QCOMPARE(f.get<QSpinBox>("volumeBox_9")->value(), 5);
    QCOMPARE(f.get<QComboBox>("panBox_6")->currentText(), QString("Random!"));
    QVERIFY(f.get<QCheckBox>("optimiseBox")->isChecked());
}

// The box shows the model's three states; only Off and Checked are the
// user's, greyed comes from the conversion and goes with the next reload.
void MoreWindowTest::removeRestsShowsTheModelsState() {
    Fixture f;
    QCheckBox* box = f.get<QCheckBox>("removeRestsBox");
    const auto expect = [&](RemoveRestsState state, Qt::CheckState shown, bool enabled) {
        QCOMPARE(f.model.settings().removeRests, state);
        QCOMPARE(box->checkState(), shown);
        QCOMPARE(box->isEnabled(), enabled);
    };
    QTest::mouseClick(box, Qt::LeftButton);
    expect(RemoveRestsState::Checked, Qt::Checked, true);
    f.model.markRemoveRestsApplied();
    expect(RemoveRestsState::Greyed, Qt::PartiallyChecked, false);
    QTest::mouseClick(box, Qt::LeftButton);  // disabled: nothing happens
    expect(RemoveRestsState::Greyed, Qt::PartiallyChecked, false);

    f.model.reload(moduleFacts(8));
    expect(RemoveRestsState::Checked, Qt::Checked, true);
    // Back to two states: clicking turns it off, not greyed.
    QTest::mouseClick(box, Qt::LeftButton);
    expect(RemoveRestsState::Off, Qt::Unchecked, true);
}

// A click on the cat answers with one plain message, not a question.
void MoreWindowTest::pictureMeows() {
    Fixture f;
    QTest::mouseClick(f.get<QToolButton>("catButton"), Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), size_t{1});
    QCOMPARE(f.dialogs.messages[0].icon, MessageIcon::Plain);
    QVERIFY(!f.dialogs.messages[0].question);
}

void MoreWindowTest::screenshot() {
    const QString dir = qEnvironmentVariable("FERRO_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("FERRO_SHOT_DIR not set");
    test::FakeDialogs dialogs;
    MainWindow main(dialogs);
    main.resize(main.minimumSize());
    main.show();
    SongModel& model = main.songModel();
    model.load(moduleFacts(8));
    auto more = std::make_unique<MoreWindow>(model, dialogs);
    main.addChildWindow(more.get());
    main.bringToFront(more.get());
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QTest::qWait(100);
    more->grab().save(dir + "/more_window.png");
    main.grab().save(dir + "/more_in_main.png");
    // The widest arrangement: six FM channels and three PSG tone channels.
    model.setHasDrums(false);
    model.setFmChannelCount(6);
    model.setUseNoise(false);
    QTest::qWait(50);
    main.grab().save(dir + "/more_widest.png");
    model.applyChoices(initialSongChoices(8));
    more->resize(more->width(), 1000);
    more->grab().save(dir + "/more_window_full.png");
}

QTEST_MAIN(MoreWindowTest)
#include "more_window_test.moc"
