// The More parametres window over the song model: picking and showing map
// entries, the keying options, the frames following the General choices,
// the channel values and "Remove rests", each control reaching the model
// and each change of the model showing in the controls.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "song/song_model.hpp"
#include "support/gestures.hpp"
#include "ui/params/more_window.hpp"
#include "ui/support/fake_dialogs.hpp"

using namespace ferro;
using test::clickRow;

namespace {

XmModule moduleFacts() {
    XmModule m;
    m.fileName = "song.xm";
    m.channelCount = 8;
    m.totalRows = 64;
    return m;
}

// The window alone over a model with a module loaded.
struct Fixture {
    test::FakeDialogs dialogs;
    SongModel model;
    std::unique_ptr<MoreWindow> window;

    Fixture() {
        model.load(moduleFacts());
        window = std::make_unique<MoreWindow>(model, dialogs);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the window was not shown");
    }
    template <class T = QWidget>
    T* get(const QString& name) { return test::control<T>(window.get(), name); }
    QListWidget* list(const QString& name) { return get<QListWidget>(name); }
    bool visible(const QString& name) { return get(name)->isVisibleTo(window.get()); }
};

// The value a list shows, without the driver's name for it ("81 Kick": "81").
QString current(QListWidget* list) {
    return list->currentItem() ? list->currentItem()->text().section(' ', 0, 0) : QString();
}

void sendMouse(QListWidget* list, QEvent::Type type, int row, Qt::MouseButtons buttons) {
    const QPointF at = list->visualItemRect(list->item(row)).center();
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &event);
}

int byteAt(const std::string& map, int key) { return static_cast<unsigned char>(map.at(key - 1)); }
QString hexAt(const std::string& map, int key) { return QString::number(byteAt(map, key), 16).toUpper(); }

using MapOf = const std::string InstrumentMaps::*;
const MapOf kMaps[] = {&InstrumentMaps::instrumentVoices, &InstrumentMaps::instrumentPsgEnvelopes,
                       &InstrumentMaps::drumSamples};

}  // namespace

class MoreWindowTest : public QObject {
    Q_OBJECT
private slots:
    void storedValueShowsAgain_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("values");
        QTest::addColumn<int>("map");  // in kMaps
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("FM 5 uses 1F") << "fmKeyList" << "fmVoiceList" << 0 << 5 << "1F";
        QTest::newRow("FM 256 uses 3") << "fmKeyList" << "fmVoiceList" << 0 << 256 << "3";
        QTest::newRow("PSG 200 uses 7F") << "psgKeyList" << "psgEnvelopeList" << 1 << 200 << "7F";
        QTest::newRow("DAC 1 uses 9A") << "dacKeyList" << "dacSampleList" << 2 << 1 << "9A";
    }

    // The value clicked is stored for the selected key alone; another key shows
    // its own (the first load's default map, in hexadecimal), and coming back
    // shows the stored one.
    void storedValueShowsAgain() {
        QFETCH(QString, keys);
        QFETCH(QString, values);
        QFETCH(int, map);
        QFETCH(int, key);
        QFETCH(QString, value);
        Fixture f;
        QListWidget* keyList = f.list(keys);
        QListWidget* valueList = f.list(values);
        std::string expected = f.model.maps().*kMaps[map];

        clickRow(keyList, key - 1);
        auto found = valueList->findItems(value, Qt::MatchExactly);
        if (found.isEmpty()) found = valueList->findItems(value + " ", Qt::MatchStartsWith);
        QCOMPARE(found.size(), 1);
        clickRow(valueList, valueList->row(found.front()));
        expected[static_cast<std::size_t>(key - 1)] = static_cast<char>(value.toInt(nullptr, 16));
        QCOMPARE(f.model.maps().*kMaps[map], expected);

        for (int other : {17, 10}) {
            clickRow(keyList, other - 1);
            QCOMPARE(current(valueList), hexAt(expected, other));
        }
        clickRow(keyList, key - 1);
        QCOMPARE(current(valueList), value);
    }

    void clickStoresTheValueUnderThePointer_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("values");
        QTest::addColumn<int>("map");  // in kMaps
        QTest::newRow("FM voice") << "fmKeyList" << "fmVoiceList" << 0;
        QTest::newRow("DAC sample") << "dacKeyList" << "dacSampleList" << 2;
    }

    // A click where the list is, without scrolling first: the item under the
    // pointer is the one selected and stored, wherever it lies in the view.
    void clickStoresTheValueUnderThePointer() {
        QFETCH(QString, keys);
        QFETCH(QString, values);
        QFETCH(int, map);
        Fixture f;
        QListWidget* valueList = f.list(values);
        for (int key : {1, 2, 40}) {
            clickRow(f.list(keys), key - 1);
            const int rowHeight = valueList->visualItemRect(valueList->item(0)).height();
            const QRect view = valueList->viewport()->rect();
            for (int y : {rowHeight * 3 / 2, view.center().y(), view.bottom() - rowHeight}) {
                const QPoint at(view.center().x(), y);
                const QString chosen = valueList->itemAt(at)->text().section(' ', 0, 0);
                // A hand that presses, shifts by a pixel and lets go.
                QTest::mousePress(valueList->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                QTest::mouseMove(valueList->viewport(), at + QPoint(1, 0));
                QTest::mouseRelease(valueList->viewport(), Qt::LeftButton, Qt::NoModifier, at + QPoint(1, 0));
                QCOMPARE(current(valueList), chosen);
                QCOMPARE(valueList->selectedItems().size(), 1);
                QCOMPARE(valueList->selectedItems().front()->text().section(' ', 0, 0), chosen);
                QCOMPARE(hexAt(f.model.maps().*kMaps[map], key), chosen);
            }
        }
    }

    // A drag through a key list selects the key under the pointer as it goes;
    // a move without a button changes nothing.
    void draggingThroughKeyListsFollowsTheMouse() {
        Fixture f;
        // Give PSG instrument 4 a value of its own so that the drag shows a change.
        clickRow(f.list("psgKeyList"), 3);
        clickRow(f.list("psgEnvelopeList"), 0x22);
        clickRow(f.list("psgKeyList"), 0);
        const struct {
            const char* keys;
            const char* values;
            int to;
            const char* shown;
        } cases[] = {{"fmKeyList", "fmVoiceList", 5, "5"}, {"psgKeyList", "psgEnvelopeList", 3, "22"}};
        for (const auto& c : cases) {
            QListWidget* keys = f.list(c.keys);
            sendMouse(keys, QEvent::MouseButtonPress, 0, Qt::LeftButton);
            for (int row = 1; row <= c.to; ++row) sendMouse(keys, QEvent::MouseMove, row, Qt::LeftButton);
            QCOMPARE(keys->currentRow(), c.to);
            QCOMPARE(current(f.list(c.values)), QString(c.shown));
            sendMouse(keys, QEvent::MouseButtonRelease, c.to, Qt::NoButton);
            sendMouse(keys, QEvent::MouseMove, 1, Qt::NoButton);
            QCOMPARE(keys->currentRow(), c.to);
        }
    }

    void keyingChangeRefillsTheKeyList_data() {
        QTest::addColumn<bool>("drums");
        QTest::newRow("drums") << true;
        QTest::newRow("hi-hats") << false;
    }
    // Keying by note or by instrument: the key list and its heading change,
    // the first key is selected and shows its initial value (that the map
    // loses its entries is the maps' own test).
    void keyingChangeRefillsTheKeyList() {
        QFETCH(bool, drums);
        Fixture f;
        QListWidget* keys = f.list(drums ? "dacKeyList" : "hiHatKeyList");
        QLabel* heading = nullptr;
        for (QLabel* l : f.window->findChildren<QLabel*>())
            if (l->buddy() == keys) heading = l;
        QVERIFY(heading);
        const struct {
            const char* button;
            int count;
            const char* heading;
        } steps[] = {{drums ? "drumsByNoteButton" : "hiHatsByNoteButton", 96, "XM note number"},
                     {drums ? "eachDrumButton" : "eachHiHatButton", 256, "XM instrument number"}};
        for (const auto& step : steps) {
            clickRow(keys, 39);  // key 40 gets and shows another value
            if (drums)
                clickRow(f.list("dacSampleList"), 5);
            else
                QTest::mouseClick(f.get("openHiHatButton"), Qt::LeftButton);
            QTest::mouseClick(f.get(step.button), Qt::LeftButton);
            QCOMPARE(keys->count(), step.count);
            QCOMPARE(keys->currentRow(), 0);
            QCOMPARE(heading->text(), QString(step.heading));
            if (drums)
                QCOMPARE(f.list("dacSampleList")->currentItem()->text(), QString("81 Kick"));
            else
                QVERIFY(f.get<QRadioButton>("closedHiHatButton")->isChecked());
        }
    }

    // Which frame shows for which choices is the settings' own rule, tested
    // with them; here each frame follows the model's General changes.
    void framesFollowTheGeneralChoices_data() {
        QTest::addColumn<QList<int>>("choices");  // FM, PSG, noise, drums, loop
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("initial") << QList<int>{5, 3, 1, 1, 1} << QStringList{"fmChannelFrame_5", "psgChannelFrame_2"};
        QTest::newRow("no noise, 3 PSG") << QList<int>{5, 3, 0, 1, 1}
                                         << QStringList{"fmChannelFrame_5", "hiHatMapFrame", "noiseChannelFrame"};
        QTest::newRow("no drums, 6 FM") << QList<int>{6, 3, 1, 0, 1}
                                        << QStringList{"psgChannelFrame_2", "dacMapFrame", "dacChannelFrame", "removeRestsBox"};
        QTest::newRow("play once") << QList<int>{2, 3, 1, 1, 0}
                                   << QStringList{"fmChannelFrame_2", "fmChannelFrame_3", "fmChannelFrame_4",
                                                  "fmChannelFrame_5", "psgChannelFrame_2", "optimiseBox"};
        QTest::newRow("nothing") << QList<int>{0, 0, 0, 0, 0} << QStringList{"*"};
    }
    void framesFollowTheGeneralChoices() {
        QFETCH(QList<int>, choices);
        QFETCH(QStringList, hidden);
        Fixture f;
        f.model.setHasDrums(choices[3]);
        f.model.setFmChannelCount(choices[0]);
        f.model.setUseNoise(choices[2]);
        f.model.setPsgChannelCount(choices[1]);
        f.model.setLoopSong(choices[4]);
        QStringList frames = {"fmMapFrame", "psgMapFrame", "dacMapFrame", "hiHatMapFrame", "noiseChannelFrame",
                              "dacChannelFrame", "removeRestsBox", "optimiseBox"};
        for (int k = 0; k < 6; ++k) frames << QString("fmChannelFrame_%1").arg(k);
        for (int k = 0; k < 3; ++k) frames << QString("psgChannelFrame_%1").arg(k);
        for (const QString& name : frames)
            QVERIFY2(f.visible(name) == !(hidden.contains(name) || hidden == QStringList{"*"}), qPrintable(name));
    }

    // A whole set of choices (a setup file) shows in every control at once, and
    // showing it tells the model nothing back.
    void modelChangesShowInTheControls() {
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
        QCOMPARE(f.list("hiHatKeyList")->count(), 96);
        QCOMPARE(f.list("hiHatKeyList")->currentRow(), 0);
        QVERIFY(f.get<QRadioButton>("hiHatsByNoteButton")->isChecked());
        QVERIFY(f.get<QRadioButton>("openHiHatButton")->isChecked());
        QCOMPARE(f.get<QSpinBox>("pitchBox_7")->value(), -12);
        QCOMPARE(f.get<QSpinBox>("volumeBox_9")->value(), 5);
        QCOMPARE(f.get<QComboBox>("panBox_6")->currentIndex(), 4);
        QVERIFY(f.get<QCheckBox>("optimiseBox")->isChecked());
    }

    // The box shows the model's three states; only Off and Checked are the
    // user's, greyed comes from the conversion and goes with the next reload.
    void removeRestsShowsTheModelsState() {
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
        f.model.reload(moduleFacts());
        expect(RemoveRestsState::Checked, Qt::Checked, true);
        QTest::mouseClick(box, Qt::LeftButton);  // two states again: off, not greyed
        expect(RemoveRestsState::Off, Qt::Unchecked, true);
    }
};

QTEST_MAIN(MoreWindowTest)
#include "more_window_test.moc"
