// Choices made through the windows, saved with "Save setup...", converted by
// the command line, give the bytes the windows' own conversion gives; and the
// same file opened with "Open setup..." in a fresh session gives them again.
#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>

#include <nlohmann/json.hpp>

#include "app/main_window.hpp"
#include "song/song_setup.hpp"
#include "support/gestures.hpp"
#include "support/run_program.hpp"
#include "support/window_session.hpp"
#include "voices/voice_hex.hpp"

using namespace ferro;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kSeed = 11;

// The user's gestures: a click on a button or on a list item's rectangle,
// arrow keys on sliders, lists and spin boxes.
struct Gestures {
    QWidget& root;
    template <typename T = QWidget>
    T* get(const char* name) { return test::control<T>(&root, name); }
    void click(const char* name) { test::clickFace(get(name)); }
    void row(const char* list, int row) { test::clickRow(get<QListWidget>(list), row); }
    void keys(const char* name, Qt::Key key, int times) {
        QWidget* w = get(name);
        w->setFocus();
        for (int i = 0; i < times; ++i) QTest::keyClick(w, key);
    }
    // A slider moved down to `value` with the arrow keys.
    void slide(const char* name, int value) { keys(name, Qt::Key_Left, get<QSlider>(name)->value() - value); }
    // Assignment row 0..9 of General parametres gets XM channel `channel`.
    void assign(int row, int channel) {
        const QByteArray name = QString("assignmentBox_%1").arg(row).toUtf8();
        const int at = get<QComboBox>(name.constData())->currentIndex();
        if (at > channel - 1) keys(name.constData(), Qt::Key_Up, at - channel + 1);
        if (at < channel - 1) keys(name.constData(), Qt::Key_Down, channel - 1 - at);
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
    std::function<void(Gestures&)> choose;
    // What the gestures must have chosen, as the saved file says it.
    nlohmann::json expected;
};

}  // namespace

class SetupParityTest : public QObject {
    Q_OBJECT

    // The module's folder, where each session's windows work.
    std::unique_ptr<test::WindowSession> s_;
    std::unique_ptr<test::TempDir> capture_;

    // A fresh main window with `name` loaded.
    void startWith(const std::string& name) {
        s_->main.reset();
        s_->dialogs.messages.clear();
        QVERIFY(s_->start());
        s_->main->show();
        QVERIFY(s_->load(QString::fromStdString(name)));
        s_->dialogs.messages.clear();
    }
    // Takes the file `name` away from the folder and gives its bytes.
    Bytes take(const std::string& name) {
        const fs::path p = s_->dir / name;
        Bytes bytes = fs::exists(p) ? test::readFileBytes(p) : Bytes{};
        fs::remove(p);
        return bytes;
    }
    // The windows' conversion, Yes to every question.
    std::pair<Bytes, Bytes> convert(const std::string& base) {
        s_->main->setPanSeed(kSeed);
        s_->dialogs.answers = {true, true, true, true, true};
        s_->main->convertSong();
        Bytes bin = take(base + ".bin");
        return {std::move(bin), take(base + ".asm")};
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        capture_ = std::make_unique<test::TempDir>();
    }
    void cleanup() {
        s_.reset();
        capture_.reset();
    }

    void windowsSetupAndCommandLineGiveTheSameBytes() {
        const FmVoice voice = *parseVoiceHex("3A 01 07 01 01 8E 8F 8D 53 0E 0E 0E 03 00 00 00 00 1F FF FF 0F 18 28 27 80");
        const std::vector<Case> cases = {
            {"drums, PSG, noise, an intro, maps, Random pan", 4, 1,
             [](Gestures& g) {
                 // FM 1, 2 on XM 1, 2; PSG noise on 3; drums on 4.
                 g.slide("fmChannelsSlider", 2);
                 g.slide("psgChannelsSlider", 1);
                 g.assign(0, 1);
                 g.assign(1, 2);
                 g.assign(6, 3);
                 g.assign(9, 4);
                 // Instrument 2 plays voice 0, instrument 3 PSG envelope 5,
                 // drum instrument 1 the snare ($82).
                 g.row("fmKeyList", 1);
                 g.row("fmVoiceList", 0);
                 g.row("psgKeyList", 2);
                 g.row("psgEnvelopeList", 5);
                 g.row("dacKeyList", 0);
                 g.row("dacSampleList", 1);
                 g.keys("panBox_0", Qt::Key_Down, 4);  // Random!
                 g.keys("pitchBox_1", Qt::Key_Up, 2);
                 g.keys("volumeBox_0", Qt::Key_Down, 3);
             },
             {{"fmChannelCount", 2}, {"psgChannelCount", 1}, {"fm", {1, 2, nullptr, nullptr, nullptr, nullptr}},
              {"psg", {3, nullptr, nullptr}}, {"dac", 4}, {"instrumentVoices", {{"2", 0}}},
              {"instrumentPsgEnvelopes", {{"3", 5}}}, {"drumSamples", {{"1", 0x82}}}, {"pan", {4, 0, 0, 0, 0, 0, 0}},
              {"pitch", {0, 2, 0, 0, 0, 0, -36, -36, -36}}, {"volume", {13, 16, 16, 16, 16, 16, 0, 0, 0, 0}}}},
            {"played once without drums, E4, tempo lists, SMPS2ASM", 3, 0,
             [](Gestures& g) {
                 g.click("dacNoButton");
                 g.click("loopNoButton");
                 g.click("e4Box");
                 g.slide("fmChannelsSlider", 1);
                 g.click("noiseNoButton");
                 g.slide("psgChannelsSlider", 2);
                 g.assign(0, 3);
                 g.assign(6, 1);
                 g.assign(7, 2);
                 g.row("timingList", 1);
                 g.row("tempoList", 4);
                 g.keys("pitchBox_6", Qt::Key_Down, 12);
                 g.click("asmBox");
                 g.click("smps2asmBox");
             },
             {{"hasDrums", false}, {"loopSong", false}, {"endDacWithE4", true}, {"fmChannelCount", 1},
              {"useNoise", false}, {"psgChannelCount", 2}, {"fm", {3, nullptr, nullptr, nullptr, nullptr, nullptr}},
              {"psg", {1, 2, nullptr}}, {"dividingTiming", 2}, {"tempo", 5}, {"writeAsm", true},
              {"asmStyle", "smps2asm"}, {"pitch", {0, 0, 0, 0, 0, 0, -48, -36, -36}}}},
            {"drums by note, hi-hats, optimised loop", 5, 0,
             [](Gestures& g) {
                 g.slide("fmChannelsSlider", 3);
                 g.assign(0, 1);
                 g.assign(1, 2);
                 g.assign(2, 3);
                 g.slide("psgChannelsSlider", 1);
                 g.assign(6, 4);
                 g.assign(9, 5);
                 g.click("drumsByNoteButton");
                 g.click("hiHatsByNoteButton");
                 g.row("dacKeyList", 40);
                 g.row("dacSampleList", 2);
                 g.row("hiHatKeyList", 44);
                 g.click("openHiHatButton");
                 g.click("optimiseBox");
                 g.keys("panBox_6", Qt::Key_Down, 2);  // DAC left
             },
             {{"fmChannelCount", 3}, {"psgChannelCount", 1}, {"dac", 5}, {"drumsByNote", true},
              {"hihatsByNote", true}, {"optimiseOutput", true}, {"pan", {0, 0, 0, 0, 0, 0, 2}}}},
        };
        for (const Case& c : cases) {
            // A name of its own: a setup left beside a module of the same
            // name would be offered at its load.
            const std::string base = "song " + std::to_string(&c - cases.data());
            s_->write(base + ".xm", module(c.channels, c.restartPosition));
            const fs::path setupFile = s_->dir / (base + ".json");
            const QString setupName = QString::fromStdU16String(setupFile.u16string());

            startWith(base + ".xm");
            // Voices come in through the song's voice list, as a paste would.
            s_->main->songModel().addVoice("lead", voice);
            s_->main->songModel().addVoice("bass", voice);
            Gestures g{*s_->main};
            c.choose(g);
            const std::pair<Bytes, Bytes> windows = convert(base);
            QVERIFY2(!windows.first.empty() || !windows.second.empty(), c.name);
            s_->dialogs.files = {setupName};
            s_->main->saveSetup();
            const Bytes text = test::readFileBytes(setupFile);
            const nlohmann::json saved = nlohmann::json::parse(text.begin(), text.end());
            for (const auto& [key, value] : c.expected.items())
                QVERIFY2(saved[key] == value, (std::string(c.name) + ": " + key + " is " + saved[key].dump()).c_str());

            const test::ProgramRun run =
                test::runProgram(FERRO_CLI_PATH, {"convert", base + ".xm", "--setup", base + ".json", "--seed", std::to_string(kSeed)},
                                 s_->dir.path(), capture_->path());
            QVERIFY2(run.code == 0, (std::string(c.name) + ": " + run.err).c_str());
            QVERIFY2(take(base + ".bin") == windows.first, c.name);
            QVERIFY2(take(base + ".asm") == windows.second, c.name);

            // A fresh session opens the file and converts the same song.
            startWith(base + ".xm");
            s_->dialogs.files = {setupName};
            s_->main->openSetup();
            QVERIFY2(s_->dialogs.messages.empty(), c.name);
            QVERIFY2(writeSongSetup(s_->main->songModel().choices()) == std::string(text.begin(), text.end()), c.name);
            QVERIFY2(convert(base) == windows, c.name);
        }
    }

    // A file that can't be used names the key and changes nothing; the File
    // menu's two entries wait for a module. Each refusal is the setup
    // reader's own test.
    void aSetupThatCannotBeUsedChangesNothing() {
        s_->write("song.xm", module(4, 0));
        startWith("song.xm");
        QAction* open = test::control<QAction>(s_->main.get(), "OpenSetupAction");
        QAction* save = test::control<QAction>(s_->main.get(), "SaveSetupAction");
        QVERIFY(open->isEnabled() && save->isEnabled());
        const std::string before = writeSongSetup(s_->main->songModel().choices());
        for (const char* text : {R"({"tempo": 12})", "not json"}) {
            s_->write("bad.json", Bytes(text, text + std::strlen(text)));
            s_->dialogs.messages.clear();
            s_->dialogs.files = {QString::fromStdU16String((s_->dir / "bad.json").u16string())};
            open->trigger();
            QCOMPARE(s_->dialogs.messages.size(), std::size_t(1));
            QVERIFY2(s_->dialogs.lastText().contains(QString("bad.json: ") + (text[0] == '{' ? "tempo" : "")), text);
            QCOMPARE(writeSongSetup(s_->main->songModel().choices()), before);
        }
        s_->main->explorer()->unloadXmModule();
        QVERIFY(!open->isEnabled() && !save->isEnabled());
    }
};

QTEST_MAIN(SetupParityTest)
#include "setup_parity_test.moc"
