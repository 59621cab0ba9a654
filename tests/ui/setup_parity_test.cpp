// Choices made through the windows, saved with "Save setup...", converted by
// the command line, give the bytes the windows' own conversion gives; and the
// same file opened with "Open setup..." in a fresh session gives them again.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>

#include <nlohmann/json.hpp>

#include "app/main_window.hpp"
#include "song/song_setup.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/run_program.hpp"
#include "support/xm_writer.hpp"
#include "voices/voice_hex.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kSeed = 11;

// Every control is found by its control name in the main window's tree.
template <typename T>
T* control(QWidget& root, const QString& window, const char* name) {
    for (T* w : root.findChildren<T*>(name)) {
        for (QWidget* p = w; p; p = p->parentWidget())
            if (p->objectName() == window) return w;
    }
    return nullptr;
}

// The user's gestures: a click on a button or on a list item's rectangle,
// arrow keys on sliders, lists and spin boxes.
void click(QAbstractButton* b) {
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
}
void clickRow(QListWidget* list, int row) {
    QVERIFY(list);
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}
void keys(QWidget* w, Qt::Key key, int times) {
    QVERIFY(w);
    for (int i = 0; i < times; ++i) QTest::keyClick(w, key);
}

struct Session {
    test::FakeDialogs dialogs;
    std::unique_ptr<MainWindow> main;

    explicit Session(const QString& fileName) {
        main = std::make_unique<MainWindow>(dialogs);
        if (!main->startUp()) return;
        auto* files = main->explorer()->findChild<QListWidget*>("fileList");
        const auto found = files->findItems(fileName, Qt::MatchExactly);
        if (found.isEmpty()) return;
        files->setCurrentItem(found.front());
        main->explorer()->selectFile();
        main->explorer()->loadSelectedFile();
        dialogs.messages.clear();
    }
    QWidget& root() { return *main; }
    QComboBox* combo(const char* window, const char* name) { return control<QComboBox>(root(), window, name); }
    QListWidget* list(const char* window, const char* name) { return control<QListWidget>(root(), window, name); }
    QAbstractButton* button(const char* window, const char* name) {
        return control<QAbstractButton>(root(), window, name);
    }
    // Assignment row 0..9 of General parametres gets XM channel `channel`.
    void assign(int row, int channel) {
        QComboBox* c = combo("GeneralWindow", QString("assignmentBox_%1").arg(row).toUtf8().constData());
        QVERIFY(c);
        c->setFocus();
        const int target = channel - 1;
        if (c->currentIndex() > target) keys(c, Qt::Key_Up, c->currentIndex() - target);
        if (c->currentIndex() < target) keys(c, Qt::Key_Down, target - c->currentIndex());
        QCOMPARE(c->currentIndex(), target);
    }
    // The windows' conversion, Yes to every question.
    std::pair<Bytes, Bytes> convert(const fs::path& dir, const std::string& base) {
        dialogs.answers = {true, true, true, true, true};
        main->convertSong();
        const auto read = [&](const char* ext) {
            const fs::path p = dir / (base + ext);
            Bytes bytes = fs::exists(p) ? test::readFileBytes(p) : Bytes{};
            fs::remove(p);
            return bytes;
        };
        Bytes bin = read(".bin");
        return {std::move(bin), read(".asm")};
    }
};

// A module of `channels` channels, 2 patterns of 16 rows (order 0 1 0):
// notes with instruments 1..3 on every channel, key-offs on the last.
Bytes module(int channels, int restartPosition) {
    test::XmLayout layout;
    layout.channelCount = channels;
    layout.orderTable = {0, 1, 0};
    layout.restartPosition = restartPosition;
    layout.patterns.clear();
    for (int p = 0; p < 2; ++p) {
        test::XmPatternLayout pattern;
        pattern.rows = 16;
        pattern.cells.assign(static_cast<std::size_t>(16 * channels), XmCell{});
        for (int row = 0; row < 16; row += 4)
            for (int n = 0; n < channels; ++n) {
                const auto note = static_cast<std::uint8_t>(37 + (row + 3 * n + 5 * p) % 24);
                const auto instrument = static_cast<std::uint8_t>(1 + (row / 4 + n) % 3);
                pattern.cells[static_cast<std::size_t>(row * channels + n)] = test::noteCell(note, instrument);
            }
        pattern.cells[static_cast<std::size_t>(10 * channels + channels - 1)] = test::noteCell(kXmKeyOff);
        layout.patterns.push_back(pattern);
    }
    return test::buildXm(layout);
}

struct Case {
    const char* name;
    int channels;
    int restartPosition;
    std::function<void(Session&)> choose;
    // What the gestures must have chosen, as the saved file says it.
    nlohmann::json expected;
};

}  // namespace

class SetupParityTest : public QObject {
    Q_OBJECT

    // The module's folder; the windows of each Session below work in it.
    std::unique_ptr<test::WindowSession> folder_;
    std::unique_ptr<test::TempDir> capture_;

private slots:
    void init() {
        folder_ = std::make_unique<test::WindowSession>();
        capture_ = std::make_unique<test::TempDir>();
    }
    void cleanup() {
        folder_.reset();
        capture_.reset();
    }

    void windowsSetupAndCommandLineGiveTheSameBytes() {
        const FmVoice voice = *parseVoiceHex("3A 01 07 01 01 8E 8F 8D 53 0E 0E 0E 03 00 00 00 00 1F FF FF 0F 18 28 27 80");
        const std::vector<Case> cases = {
            {"drums, PSG, noise, an intro, maps, Random pan", 4, 1,
             [](Session& s) {
                 // FM 1, 2 on XM 1, 2; PSG noise on 3; drums on 4.
                 QSlider* fm = control<QSlider>(s.root(), "GeneralWindow", "fmChannelsSlider");
                 keys(fm, Qt::Key_Left, fm->value() - 2);
                 QSlider* psg = control<QSlider>(s.root(), "GeneralWindow", "psgChannelsSlider");
                 keys(psg, Qt::Key_Left, psg->value() - 1);
                 s.assign(0, 1);
                 s.assign(1, 2);
                 s.assign(6, 3);
                 s.assign(9, 4);
                 // Instrument 2 plays voice 0, instrument 3 PSG envelope 5,
                 // drum instrument 1 the snare ($82).
                 clickRow(s.list("MoreWindow", "fmKeyList"), 1);
                 clickRow(s.list("MoreWindow", "fmVoiceList"), 0);
                 clickRow(s.list("MoreWindow", "psgKeyList"), 2);
                 clickRow(s.list("MoreWindow", "psgEnvelopeList"), 5);
                 clickRow(s.list("MoreWindow", "dacKeyList"), 0);
                 clickRow(s.list("MoreWindow", "dacSampleList"), 1);
                 QComboBox* pan = s.combo("MoreWindow", "panBox_0");
                 pan->setFocus();
                 keys(pan, Qt::Key_Down, 4);  // Random!
                 keys(control<QSpinBox>(s.root(), "MoreWindow", "pitchBox_1"), Qt::Key_Up, 2);
                 keys(control<QSpinBox>(s.root(), "MoreWindow", "volumeBox_0"), Qt::Key_Down, 3);
             },
             {{"fmChannelCount", 2}, {"psgChannelCount", 1}, {"fm", {1, 2, nullptr, nullptr, nullptr, nullptr}},
              {"psg", {3, nullptr, nullptr}}, {"dac", 4}, {"instrumentVoices", {{"2", 0}}},
              {"instrumentPsgEnvelopes", {{"3", 5}}}, {"drumSamples", {{"1", 0x82}}}, {"pan", {4, 0, 0, 0, 0, 0, 0}},
              {"pitch", {0, 2, 0, 0, 0, 0, -36, -36, -36}}, {"volume", {13, 16, 16, 16, 16, 16, 0, 0, 0, 0}}}},
            {"played once without drums, E4, tempo lists, SMPS2ASM", 3, 0,
             [](Session& s) {
                 click(s.button("GeneralWindow", "dacNoButton"));
                 click(s.button("GeneralWindow", "loopNoButton"));
                 click(s.button("GeneralWindow", "e4Box"));
                 QSlider* fm = control<QSlider>(s.root(), "GeneralWindow", "fmChannelsSlider");
                 keys(fm, Qt::Key_Left, fm->value() - 1);
                 click(s.button("GeneralWindow", "noiseNoButton"));
                 QSlider* psg = control<QSlider>(s.root(), "GeneralWindow", "psgChannelsSlider");
                 keys(psg, Qt::Key_Left, psg->value() - 2);
                 s.assign(0, 3);
                 s.assign(6, 1);
                 s.assign(7, 2);
                 clickRow(s.list("GeneralWindow", "timingList"), 1);
                 clickRow(s.list("GeneralWindow", "tempoList"), 4);
                 keys(control<QSpinBox>(s.root(), "MoreWindow", "pitchBox_6"), Qt::Key_Down, 12);
                 click(s.button("MainWindow", "asmBox"));
                 click(s.button("MainWindow", "smps2asmBox"));
             },
             {{"hasDrums", false}, {"loopSong", false}, {"endDacWithE4", true}, {"fmChannelCount", 1},
              {"useNoise", false}, {"psgChannelCount", 2}, {"fm", {3, nullptr, nullptr, nullptr, nullptr, nullptr}},
              {"psg", {1, 2, nullptr}}, {"dividingTiming", 2}, {"tempo", 5}, {"writeAsm", true},
              {"asmStyle", "smps2asm"}, {"pitch", {0, 0, 0, 0, 0, 0, -48, -36, -36}}}},
            {"drums by note, hi-hats, optimised loop", 5, 0,
             [](Session& s) {
                 QSlider* fm = control<QSlider>(s.root(), "GeneralWindow", "fmChannelsSlider");
                 keys(fm, Qt::Key_Left, fm->value() - 3);
                 s.assign(0, 1);
                 s.assign(1, 2);
                 s.assign(2, 3);
                 QSlider* psg = control<QSlider>(s.root(), "GeneralWindow", "psgChannelsSlider");
                 keys(psg, Qt::Key_Left, psg->value() - 1);
                 s.assign(6, 4);
                 s.assign(9, 5);
                 click(s.button("MoreWindow", "drumsByNoteButton"));
                 click(s.button("MoreWindow", "hiHatsByNoteButton"));
                 clickRow(s.list("MoreWindow", "dacKeyList"), 40);
                 clickRow(s.list("MoreWindow", "dacSampleList"), 2);
                 clickRow(s.list("MoreWindow", "hiHatKeyList"), 44);
                 click(s.button("MoreWindow", "openHiHatButton"));
                 click(s.button("MoreWindow", "optimiseBox"));
                 QComboBox* pan = s.combo("MoreWindow", "panBox_6");
                 pan->setFocus();
                 keys(pan, Qt::Key_Down, 2);  // DAC left
             },
             {{"fmChannelCount", 3}, {"psgChannelCount", 1}, {"dac", 5}, {"drumsByNote", true},
              {"hihatsByNote", true}, {"optimiseOutput", true}, {"pan", {0, 0, 0, 0, 0, 0, 2}}}},
        };
        const fs::path cli = FERRO_CLI_PATH;
        for (const Case& c : cases) {
            const std::string name = std::string("song ") + c.name[0] + ".xm";
            const std::string base = name.substr(0, name.size() - 3);
            test::writeFileBytes(folder_->dir / name, module(c.channels, c.restartPosition));
            const fs::path setupFile = folder_->dir / (base + ".json");

            std::pair<Bytes, Bytes> windows;
            {
                Session s(QString::fromStdString(name));
                QVERIFY2(s.main->songModel().isLoaded(), c.name);
                // Voices come in through the song's voice list, as a paste would.
                s.main->songModel().addVoice("lead", voice);
                s.main->songModel().addVoice("bass", voice);
                c.choose(s);
                s.main->setPanSeed(kSeed);
                windows = s.convert(folder_->dir.path(), base);
                QVERIFY2(!windows.first.empty() || !windows.second.empty(), c.name);
                s.dialogs.files = {QString::fromStdU16String(setupFile.u16string())};
                s.main->saveSetup();
                QVERIFY2(fs::exists(setupFile), c.name);
                const Bytes text = test::readFileBytes(setupFile);
                const nlohmann::json saved = nlohmann::json::parse(text.begin(), text.end());
                for (const auto& [key, value] : c.expected.items())
                    QVERIFY2(saved[key] == value, (std::string(c.name) + ": " + key + " is " + saved[key].dump()).c_str());
            }

            const test::ProgramRun run = test::runProgram(
                cli, {"convert", name, "--setup", base + ".json", "--seed", std::to_string(kSeed)}, folder_->dir.path(),
                capture_->path());
            QVERIFY2(run.code == 0, (std::string(c.name) + ": " + run.err).c_str());
            const auto read = [&](const char* ext) {
                const fs::path p = folder_->dir / (base + ext);
                Bytes bytes = fs::exists(p) ? test::readFileBytes(p) : Bytes{};
                fs::remove(p);
                return bytes;
            };
            QVERIFY2(read(".bin") == windows.first, c.name);
            QVERIFY2(read(".asm") == windows.second, c.name);

            // A fresh session opens the file and converts the same song.
            Session again(QString::fromStdString(name));
            again.dialogs.files = {QString::fromStdU16String(setupFile.u16string())};
            again.main->openSetup();
            QVERIFY2(again.dialogs.messages.empty(), c.name);
            const Bytes saved = test::readFileBytes(setupFile);
            QVERIFY2(writeSongSetup(again.main->songModel().choices()) == std::string(saved.begin(), saved.end()),
                     c.name);
            again.main->setPanSeed(kSeed);
            QVERIFY2(again.convert(folder_->dir.path(), base) == windows, c.name);
        }
    }

    void aSetupThatCannotBeUsedChangesNothing() {
        test::writeFileBytes(folder_->dir / "song.xm", module(4, 0));
        Session s("song.xm");
        QVERIFY(s.main->songModel().isLoaded());
        // The File menu's two entries, enabled while a module is loaded.
        QAction* open = s.main->findChild<QAction*>("OpenSetupAction");
        QAction* save = s.main->findChild<QAction*>("SaveSetupAction");
        QVERIFY(open && save);
        QVERIFY(open->isEnabled() && save->isEnabled());
        const std::string before = writeSongSetup(s.main->songModel().choices());
        const struct {
            const char* text;
            const char* message;
        } cases[] = {
            {R"({"tempo": 12})", "tempo"},
            {R"({"fm": [9, null, null, null, null, null]})", "fm"},
            {"not json", ""},
        };
        for (const auto& c : cases) {
            test::writeFileBytes(folder_->dir / "bad.json", Bytes(c.text, c.text + std::strlen(c.text)));
            s.dialogs.messages.clear();
            s.dialogs.files = {QString::fromStdU16String((folder_->dir / "bad.json").u16string())};
            open->trigger();
            QCOMPARE(s.dialogs.messages.size(), std::size_t(1));
            QVERIFY2(s.dialogs.lastText().contains(QString("bad.json: ") + c.message), c.text);
            QCOMPARE(writeSongSetup(s.main->songModel().choices()), before);
        }
        s.main->explorer()->unloadXmModule();
        QVERIFY(!open->isEnabled() && !save->isEnabled());
    }
};

QTEST_MAIN(SetupParityTest)
#include "setup_parity_test.moc"
