// The Voice manager, the paste window and the "Save voice bank" window,
// driven through their controls with files made in a temporary folder: what
// the user does reaches the song model, what the model holds shows in the
// window. The voice list's and the light's rules are the model's own tests.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QApplication>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/main_window.hpp"
#include "ui/common/light_pictures.hpp"
#include "song/song_model.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/temp_dir.hpp"
#include "ui/voices/bank_window.hpp"
#include "ui/voices/paste_window.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "voices/voice_hex.hpp"
#include "xm/xm_reader.hpp"

using namespace ferro;
using ferro::test::FakeDialogs;

namespace {

using Bytes8 = std::vector<std::uint8_t>;

// Voice i of a generated file: every byte different, so that a byte taken
// from the wrong place shows.
FmVoice sampleVoice(int i) {
    FmVoice v;
    for (int k = 0; k < kFmVoiceSize; ++k) v.bytes[k] = static_cast<std::uint8_t>(i * 7 + k * 3 + 1);
    return v;
}

void append(Bytes8& out, const FmVoice& v) { out.insert(out.end(), v.bytes.begin(), v.bytes.end()); }

Bytes8 rawFile(int n) {
    Bytes8 out;
    for (int i = 0; i < n; ++i) append(out, sampleVoice(i));
    return out;
}

Bytes8 ymxFile(int n) {
    Bytes8 out = {'Y', 'M', '2', '6', '1', '2', 0, static_cast<std::uint8_t>(n - 1)};
    for (int i = 0; i < n; ++i) {
        append(out, swapNaturalSmps(sampleVoice(i)));
        const std::string name = "ymx" + std::to_string(i);
        for (std::size_t k = 0; k < 10; ++k) out.push_back(k < name.size() ? static_cast<std::uint8_t>(name[k]) : 0);
    }
    return out;
}

Bytes8 sonic1Song(int n) {
    Bytes8 out = {0x00, 0x06, 0xF2, 0x00, 0xF2, 0x00};  // voice table at 6
    for (int i = 0; i < n; ++i) append(out, sampleVoice(i));
    return out;
}

// One DAC track at $1000, the voice table 16 bytes after it.
Bytes8 z80Song(int n) {
    Bytes8 out = {0x10, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00};
    out.resize(out.size() + 16, 0xF2);
    for (int i = 0; i < n; ++i) append(out, sampleVoice(i));
    return out;
}

Bytes8 fcvFile(int n) {
    Bytes8 out = {static_cast<std::uint8_t>(n)};
    for (int i = 0; i < n; ++i) {
        append(out, sampleVoice(i));
        const std::string name = "fcv voice " + std::to_string(i);
        out.push_back(static_cast<std::uint8_t>(name.size()));
        out.insert(out.end(), name.begin(), name.end());
    }
    return out;
}

Bytes8 raw29File(int n) {
    Bytes8 out;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 29; ++k) out.push_back(static_cast<std::uint8_t>(i + k));
    return out;
}

Bytes8 tfiFile(bool ssgEg) {
    Bytes8 out = {2, 5};
    for (int op = 0; op < 4; ++op) {
        // MUL, DT, TL, RS, AR, DR, SR, RR, SL, SSG-EG
        const Bytes8 block = {1, 3, 20, 1, 31, 5, 2, 7, 3, static_cast<std::uint8_t>(ssgEg && op == 2 ? 8 : 0)};
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

Bytes8 mvsFile() {
    Bytes8 out = {'m', 'v', 's', 'i', '1', 'L', 'e', 'a', 'd', 0};
    for (int k = 0; k < 25; ++k) out.push_back(static_cast<std::uint8_t>(k));
    return out;
}

XmModule moduleWith(int channels) {
    XmModule m;
    m.fileName = "song.xm";
    m.channelCount = static_cast<std::int16_t>(channels);
    return m;
}

const QString kValidHex = "3A 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18";

}  // namespace

class VoiceManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;
    std::filesystem::path dir() const { return s_->dir.path(); }

    void write(const std::string& name, const Bytes8& bytes) {
        std::ofstream f(dir() / name, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes8 readBack(const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        return Bytes8(std::istreambuf_iterator<char>(f), {});
    }

    template <class T>
    static T* child(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(name);
        if (!c) qFatal("missing control %s", name);
        return c;
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    static void shot(QWidget* w, const char* name) {
        const QByteArray dir = qgetenv("FERRO_SHOT_DIR");
        if (!dir.isEmpty()) w->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }

    // A click (or double click) on the row's own rectangle, as the user does
    // it. A double click arrives as the window system delivers it: a click,
    // then a second press that comes with the double-click event.
    static void clickRow(QListWidget* list, int row, bool twice = false) {
        list->scrollToItem(list->item(row));
        QWidget* viewport = list->viewport();
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        if (!twice) return;
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at), Qt::LeftButton,
                                Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &doubleClick);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    // A Voice manager on its own, over a loaded model of eight channels.
    struct Alone {
        explicit Alone(const std::filesystem::path& dir)
            : vm((model.load(moduleWith(8)), model), dialogs, [dir] { return dir; }) {
            vm.show();
        }
        SongModel model;
        FakeDialogs dialogs;
        VoiceManagerWindow vm;
    };

    // Adds the first `n` voices of a raw file to the song with "All".
    void addRawVoices(VoiceManagerWindow& vm, const std::string& file, int n) {
        write(file, rawFile(n));
        vm.selectKind(0);
        vm.refreshVoiceFiles();
        QVERIFY(vm.chooseVoiceFile(QString::fromStdString(file)));
        QTest::mouseClick(child<QCheckBox>(&vm, "fileAllBox"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(&vm, "addButton"), Qt::LeftButton);
    }

    // The main window after a first load, with the song windows it creates.
    static VoiceManagerWindow* loadSong(MainWindow& main) {
        main.songModel().load(moduleWith(8));
        main.createSongWindows(*main.songModel().module());
        main.onModuleLoaded(QDir::currentPath(), "song.xm");
        main.showSongWindows();
        main.show();
        return main.voiceManager();
    }

private slots:
    void init() { s_ = std::make_unique<test::WindowSession>(); }
    void cleanup() {
        flushDeletes();
        s_.reset();
    }

    // Before a file or a voice is chosen there is nothing to add, remove or
    // save, and no warning.
    void nothingToDoBeforeAChoice() {
        FakeDialogs dialogs;
        SongModel model;
        model.load(moduleWith(4));
        VoiceManagerWindow vm(model, dialogs, [this] { return dir(); });
        for (const char* name : {"fileAllBox", "songAllBox"}) QVERIFY(!child<QCheckBox>(&vm, name)->isEnabled());
        for (const char* name : {"addButton", "removeButton", "bankButton"})
            QVERIFY(!child<QPushButton>(&vm, name)->isEnabled());
        QVERIFY(child<QGroupBox>(&vm, "warningFrame")->isHidden());
    }

    // The song's voices and light are the model's: a window opened on a model
    // that already has voices shows them, and a change made elsewhere (a
    // setup opened, the FM count changed in General parametres) shows at once.
    void showsTheModel() {
        SongModel model;
        model.load(moduleWith(8));
        model.addVoice("bass", sampleVoice(0));
        FakeDialogs dialogs;
        VoiceManagerWindow vm(model, dialogs, [this] { return dir(); });
        auto* song = child<QListWidget>(&vm, "songVoiceList");
        auto* picture = child<QLabel>(&vm, "lightPicture");
        QCOMPARE(song->count(), 1);
        QCOMPARE(song->item(0)->text(), QString("0: bass"));
        QVERIFY(child<QCheckBox>(&vm, "songAllBox")->isEnabled());
        QVERIFY(child<QPushButton>(&vm, "bankButton")->isEnabled());
        QCOMPARE(picture->pixmap().toImage(), lightPicture(ReadinessLight::Green).toImage());

        model.setFmChannelCount(0);  // voices without FM channels
        QCOMPARE(picture->pixmap().toImage(), lightPicture(ReadinessLight::Yellow).toImage());
        QCOMPARE(picture->toolTip(), QString("Yellow"));

        SongChoices choices = initialSongChoices(8);
        choices.voices.add("lead", sampleVoice(1));
        choices.voices.add("pad", sampleVoice(2));
        model.applyChoices(choices);
        QCOMPARE(song->count(), 2);
        QCOMPARE(song->item(1)->text(), QString("1: pad"));
        QCOMPARE(picture->pixmap().toImage(), lightPicture(ReadinessLight::Green).toImage());

        model.clearVoices();
        QCOMPARE(song->count(), 0);
        QVERIFY(!child<QCheckBox>(&vm, "songAllBox")->isEnabled());
        QVERIFY(!child<QPushButton>(&vm, "bankButton")->isEnabled());
        QCOMPARE(picture->pixmap().toImage(), lightPicture(ReadinessLight::Yellow).toImage());
    }

    // The main window's Voice manager button follows the model's voice
    // light; the window's close control keeps it (and the song's voices),
    // the unload discards it.
    void lightReachesTheMainWindowButton() {
        FakeDialogs dialogs;
        MainWindow main(dialogs);
        VoiceManagerWindow* vm = loadSong(main);
        QVERIFY(vm);
        auto* button = main.findChild<QToolButton*>("voiceManagerButton");
        QCOMPARE(main.voiceLight(), std::optional(ReadinessLight::Yellow));
        addRawVoices(*vm, "one.bin", 1);
        QCOMPARE(main.songModel().voices().count(), 1);
        QCOMPARE(main.voiceLight(), std::optional(ReadinessLight::Green));
        QCOMPARE(button->palette().color(QPalette::Button), QColor(0, 255, 0));
        main.songModel().setFmChannelCount(0);
        QCOMPARE(main.voiceLight(), std::optional(ReadinessLight::Yellow));
        QCOMPARE(button->palette().color(QPalette::Button), QColor(255, 255, 0));

        auto* frame = qobject_cast<QMdiSubWindow*>(vm->parentWidget());
        QVERIFY(frame);
        frame->close();
        flushDeletes();
        QCOMPARE(main.voiceManager(), vm);
        QVERIFY(frame->isMinimized());
        QCOMPARE(main.songModel().voices().count(), 1);
        main.discardSongWindows();
        QVERIFY(!main.voiceManager());
    }

    void addAllStopsAtTheLimit() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        write("big.bin", rawFile(300));
        vm.refreshVoiceFiles();
        QVERIFY(vm.chooseVoiceFile("BIG.BIN"));  // names compare without regard to case
        auto* fileVoices = child<QListWidget>(&vm, "fileVoiceList");
        QCOMPARE(fileVoices->count(), 300);
        clickRow(fileVoices, 7);
        auto* all = child<QCheckBox>(&vm, "fileAllBox");
        QVERIFY(all->isEnabled());
        QTest::mouseClick(all, Qt::LeftButton);
        QVERIFY(child<QPushButton>(&vm, "addButton")->isEnabled());
        QTest::mouseClick(child<QPushButton>(&vm, "addButton"), Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 256);
        QCOMPARE(a.dialogs.messages.size(), std::size_t(1));
        QCOMPARE(a.dialogs.messages[0].text, QString("You already have $100 voices in your bank"));
        QCOMPARE(a.dialogs.messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(!all->isChecked());
        QCOMPARE(fileVoices->currentRow(), 7);
        QCOMPARE(child<QLabel>(&vm, "fileHexView")->text(), QString::fromStdString(formatVoiceHex(sampleVoice(7))));
        auto* song = child<QListWidget>(&vm, "songVoiceList");
        QCOMPARE(song->count(), 256);
        QCOMPARE(song->item(255)->text(), QString("FF: big.bin: voice $FF"));
        QCOMPARE(a.model.voices().voice(255), sampleVoice(255));
        // A single add at the limit says the same and adds nothing.
        QTest::mouseClick(child<QPushButton>(&vm, "addButton"), Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 256);
        QCOMPARE(a.dialogs.messages.size(), std::size_t(2));
        // A double click on a file voice adds it like the button.
        clickRow(song, 0);
        QTest::mouseClick(child<QPushButton>(&vm, "removeButton"), Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 255);
        clickRow(fileVoices, 3, true);
        QCOMPARE(a.model.voices().count(), 256);
        QCOMPARE(a.model.voices().name(255), std::string("big.bin: voice $3"));
    }

    void removeOneAndAll() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        addRawVoices(vm, "three.bin", 3);
        auto* song = child<QListWidget>(&vm, "songVoiceList");
        auto* remove = child<QPushButton>(&vm, "removeButton");
        auto* bank = child<QPushButton>(&vm, "bankButton");
        auto* songAll = child<QCheckBox>(&vm, "songAllBox");
        QVERIFY(bank->isEnabled());
        QVERIFY(!remove->isEnabled());
        clickRow(song, 0);
        QVERIFY(remove->isEnabled());
        QCOMPARE(child<QLabel>(&vm, "songHexView")->text(), QString::fromStdString(formatVoiceHex(sampleVoice(0))));
        // A screen reader reads the hex text itself.
        QCOMPARE(QAccessible::queryAccessibleInterface(child<QLabel>(&vm, "songHexView"))->text(QAccessible::Name),
                 QString::fromStdString(formatVoiceHex(sampleVoice(0))));
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 2);
        QCOMPARE(song->item(0)->text(), QString("0: three.bin: voice $1"));
        QCOMPARE(song->item(1)->text(), QString("1: three.bin: voice $2"));
        QVERIFY(!remove->isEnabled());
        QVERIFY(child<QLabel>(&vm, "songHexView")->text().isEmpty());
        // All ticked: everything goes, and with it "Save ban&k" and the All box.
        QTest::mouseClick(songAll, Qt::LeftButton);
        QVERIFY(remove->isEnabled());
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 0);
        QVERIFY(!songAll->isChecked());
        QVERIFY(!songAll->isEnabled());
        QVERIFY(!bank->isEnabled());
        QCOMPARE(a.model.voiceLight(), ReadinessLight::Yellow);
        // Removing the last single voice does the same.
        vm.addPastedVoice(kValidHex);
        QVERIFY(bank->isEnabled());
        clickRow(song, 0);
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 0);
        QVERIFY(!bank->isEnabled());
        QVERIFY(!songAll->isEnabled());
    }

    void kindSelection() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        write("a.bin", rawFile(2));
        write("B.YMX", ymxFile(1));
        write("c.Bin", rawFile(1));
        vm.refreshVoiceFiles();
        auto* files = child<QListWidget>(&vm, "voiceFileList");
        QCOMPARE(files->count(), 2);
        QCOMPARE(files->item(0)->text(), QString("a.bin"));
        QCOMPARE(files->item(1)->text(), QString("c.Bin"));
        clickRow(files, 0);
        auto* fileVoices = child<QListWidget>(&vm, "fileVoiceList");
        QCOMPARE(fileVoices->count(), 2);
        // The same kind again keeps the file's voices.
        vm.selectKind(0);
        QCOMPARE(fileVoices->count(), 2);
        // Another kind with the same pattern clears them.
        vm.selectKind(2);
        QCOMPARE(fileVoices->count(), 0);
        QVERIFY(!child<QCheckBox>(&vm, "fileAllBox")->isEnabled());
        vm.selectKind(1);
        QCOMPARE(files->count(), 1);
        QCOMPARE(child<QGroupBox>(&vm, "fileHexFrame")->title(), QString("Hex data (S1'd) for the selected voice"));
        vm.selectKind(0);
        QCOMPARE(child<QGroupBox>(&vm, "fileHexFrame")->title(), QString("Hex data for the selected voice"));
        // Browsing files is not the song's business.
        QCOMPARE(a.model.voices().count(), 0);
    }

    void warnings() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        auto* frame = child<QGroupBox>(&vm, "warningFrame");
        auto* text = child<QLabel>(&vm, "warningLabel");
        vm.selectKind(3);
        QVERIFY(!frame->isHidden());
        QCOMPARE(text->text(), QString("Won't work with some non-standard songs"));
        vm.selectKind(5);
        QVERIFY(frame->isHidden());
        write("ssg.tfi", tfiFile(true));
        write("plain.tfi", tfiFile(false));
        vm.selectKind(8);
        QVERIFY(vm.chooseVoiceFile("ssg.tfi"));
        QVERIFY(!frame->isHidden());
        QCOMPARE(text->text(), QString("This TFI uses the SSG-EG: may not sound right"));
        QCOMPARE(child<QListWidget>(&vm, "fileVoiceList")->item(0)->text(), QString("ssg"));
        QVERIFY(vm.chooseVoiceFile("plain.tfi"));
        QVERIFY(frame->isHidden());
        QVERIFY(vm.chooseVoiceFile("ssg.tfi"));
        vm.selectKind(0);
        QVERIFY(frame->isHidden());
    }

    void importFailureIsReported() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        FakeDialogs& dialogs = a.dialogs;
        write("short.bin", Bytes8(24, 1));
        vm.refreshVoiceFiles();
        QVERIFY(vm.chooseVoiceFile("short.bin"));
        QCOMPARE(dialogs.messages.size(), std::size_t(1));
        QCOMPARE(dialogs.lastText(), QString("There are no voices in this file"));
        QCOMPARE(dialogs.messages[0].icon, MessageIcon::Critical);
        QCOMPARE(child<QListWidget>(&vm, "fileVoiceList")->count(), 0);
        QVERIFY(!child<QCheckBox>(&vm, "fileAllBox")->isEnabled());
        QCOMPARE(child<QListWidget>(&vm, "voiceFileList")->count(), 1);
        // Clicking the same file again tries it again.
        clickRow(child<QListWidget>(&vm, "voiceFileList"), 0);
        QCOMPARE(dialogs.messages.size(), std::size_t(2));
    }

    // Every kind of file, read through the window.
    void importEachKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("firstName");
        auto row = [](const char* tag, int kind, const char* file, const Bytes8& b, int count, const char* first) {
            QTest::newRow(tag) << kind << QString(file)
                               << QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()))
                               << count << QString(first);
        };
        row("raw25", 0, "r.bin", rawFile(3), 3, "r.bin: voice $0");
        row("ymx", 1, "y.ymx", ymxFile(2), 2, "ymx0");
        row("sonic1", 2, "s1.bin", sonic1Song(2), 2, "s1.bin: voice $0");
        row("s3k", 3, "s3.bin", z80Song(2), 2, "s3.bin: voice $0");
        row("crackers", 5, "cr.bin", z80Song(3), 3, "cr.bin: voice $0");
        row("fcv", 6, "f.fcv", fcvFile(2), 2, "fcv voice 0");
        row("raw29", 7, "z.bin", raw29File(2), 2, "z.bin: voice $0");
        row("tfi", 8, "lead.tfi", tfiFile(false), 1, "lead");
        row("mvs", 9, "m.ins", mvsFile(), 1, "Lead");
    }
    void importEachKind() {
        QFETCH(int, kind);
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(QString, firstName);
        write(file.toStdString(), Bytes8(bytes.begin(), bytes.end()));
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        FakeDialogs& dialogs = a.dialogs;
        vm.selectKind(kind);
        QVERIFY(vm.chooseVoiceFile(file));
        QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.lastText()));
        auto* list = child<QListWidget>(&vm, "fileVoiceList");
        QCOMPARE(list->count(), count);
        QCOMPARE(list->item(0)->text(), firstName);
        const FileVoiceList& voices = vm.fileVoices();
        if (kind == 0 || kind == 1 || kind == 2 || kind == 3 || kind == 5 || kind == 6)
            QCOMPARE(voices[0].voice, sampleVoice(0));
        clickRow(list, 0);
        QCOMPARE(child<QLabel>(&vm, "fileHexView")->text(), QString::fromStdString(formatVoiceHex(voices[0].voice)));
        QTest::mouseClick(child<QPushButton>(&vm, "addButton"), Qt::LeftButton);
        QCOMPARE(a.model.voices().count(), 1);
        QCOMPARE(a.model.voices().name(0), firstName.toStdString());
        QCOMPARE(a.model.voices().voice(0), voices[0].voice);
        if (QTest::currentDataTag() == QByteArray("s3k")) shot(&vm, "voice_manager_s3k");
    }

    void pasteWindow() {
        FakeDialogs dialogs;
        MainWindow main(dialogs);
        VoiceManagerWindow* vm = loadSong(main);
        write("a.bin", rawFile(2));
        vm->selectKind(6);
        vm->selectKind(0);
        QVERIFY(vm->chooseVoiceFile("a.bin"));
        dialogs.clipboard = kValidHex.toLower();
        vm->selectKind(4);
        auto* kinds = child<QComboBox>(vm, "kindBox");
        QCOMPARE(kinds->currentIndex(), 0);
        QCOMPARE(child<QListWidget>(vm, "fileVoiceList")->count(), 2);
        PasteWindow* paste = main.pasteWindow();
        QVERIFY(paste);
        QCOMPARE(paste->windowTitle(), QString("Paste or type a voice..."));
        QVERIFY(!main.isEnabled());
        QCOMPARE(child<QPlainTextEdit>(paste, "hexTextBox")->toPlainText(), kValidHex.toLower());
        shot(paste, "paste_window");
        QTest::mouseClick(child<QPushButton>(paste, "okButton"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(!main.pasteWindow());
        QVERIFY(main.isEnabled());
        const SongVoiceList& voices = main.songModel().voices();
        QCOMPARE(voices.count(), 1);
        QCOMPARE(voices.name(0), std::string("Pasted voice"));
        QCOMPARE(QString::fromStdString(voices.hex(0)), kValidHex);
        QCOMPARE(child<QListWidget>(vm, "songVoiceList")->item(0)->text(), QString("0: Pasted voice"));
        QVERIFY(child<QPushButton>(vm, "bankButton")->isEnabled());
        QCOMPARE(main.voiceLight(), std::optional(ReadinessLight::Green));

        // Invalid text: the message, nothing added.
        vm->selectKind(4);
        paste = main.pasteWindow();
        QVERIFY(paste);
        paste->setText(kValidHex + " 19");
        QTest::mouseClick(child<QPushButton>(paste, "okButton"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(main.isEnabled());
        QCOMPARE(voices.count(), 1);
        QCOMPARE(dialogs.lastText(), QString("The voice you entered is not in a recognized format!"));
        QCOMPARE(dialogs.messages.back().icon, MessageIcon::Exclamation);

        // Cancel and the window's own close both give the main window back.
        vm->selectKind(4);
        QVERIFY(!main.isEnabled());
        QTest::mouseClick(child<QPushButton>(main.pasteWindow(), "cancelButton"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(main.isEnabled());
        vm->selectKind(4);
        main.pasteWindow()->close();
        flushDeletes();
        QVERIFY(main.isEnabled());
        QCOMPARE(voices.count(), 1);

        // At the limit.
        for (int i = 1; i < 256; ++i) main.songModel().addVoice("v", sampleVoice(i));
        const std::size_t before = dialogs.messages.size();
        vm->selectKind(4);
        main.pasteWindow()->setText(kValidHex);
        QTest::mouseClick(child<QPushButton>(main.pasteWindow(), "okButton"), Qt::LeftButton);
        flushDeletes();
        QCOMPARE(voices.count(), 256);
        QCOMPARE(dialogs.messages.size(), before + 1);
        QCOMPARE(dialogs.lastText(), QString("You already have $100 voices in your bank"));
    }

    // The double click asks for the name; the model keeps its rules (255
    // characters, an empty name changes nothing), the window turns the
    // answer into the 8-bit text voice names are and shows the new name.
    void rename() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        FakeDialogs& dialogs = a.dialogs;
        const SongVoiceList& voices = a.model.voices();
        addRawVoices(vm, "r.bin", 2);
        auto* song = child<QListWidget>(&vm, "songVoiceList");
        dialogs.inputs.push_back(QString::fromUtf8("Bass \xC3\xA9"));
        clickRow(song, 1, true);
        QCOMPARE(dialogs.messages.back().text, QString("Type new voice description here (255 characters max)"));
        QCOMPARE(dialogs.messages.back().title, QString("Rename voice"));
        QCOMPARE(voices.name(1), std::string("Bass \xE9"));
        QCOMPARE(song->item(1)->text(), QString::fromUtf8("1: Bass \xC3\xA9"));
        dialogs.inputs.push_back(std::nullopt);
        vm.renameSongVoice();  // cancelled: no change
        QCOMPARE(voices.name(1), std::string("Bass \xE9"));
        QCOMPARE(voices.count(), 2);
    }

    void copyToClipboard() {
        Alone a(dir());
        VoiceManagerWindow& vm = a.vm;
        FakeDialogs& dialogs = a.dialogs;
        dialogs.clipboard = "before";
        auto* fileHex = child<QLabel>(&vm, "fileHexView");
        QTest::mouseClick(fileHex, Qt::RightButton);
        QCOMPARE(dialogs.clipboard, QString("before"));
        QVERIFY(dialogs.messages.empty());
        write("r.bin", rawFile(2));
        vm.refreshVoiceFiles();
        QVERIFY(vm.chooseVoiceFile("r.bin"));
        clickRow(child<QListWidget>(&vm, "fileVoiceList"), 1);
        QTest::mouseClick(fileHex, Qt::RightButton);
        const QString hex = QString::fromStdString(formatVoiceHex(sampleVoice(1)));
        QCOMPARE(dialogs.clipboard, hex);
        QCOMPARE(dialogs.lastText(), "Voice " + hex + " copied to the clipboard!");
        QCOMPARE(dialogs.messages.back().icon, MessageIcon::Plain);
        QTest::mouseClick(fileHex, Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), std::size_t(1));
        vm.addPastedVoice(kValidHex);
        clickRow(child<QListWidget>(&vm, "songVoiceList"), 0);
        QTest::mouseClick(child<QLabel>(&vm, "songHexView"), Qt::RightButton);
        QCOMPARE(dialogs.clipboard, kValidHex);
    }

    void bankFormatsRoundTrip_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("importKind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<int>("size");
        QTest::newRow("raw") << 0 << 0 << ".bin" << "bank.bin: voice $0" << 75;
        QTest::newRow("fcv") << 1 << 6 << ".fcv" << "A long voice name" << 1 + 3 * 26 + 17 + 2 * 11;
        QTest::newRow("ymx") << 2 << 1 << ".ymx" << "A long voi" << 8 + 3 * 35;
    }
    void bankFormatsRoundTrip() {
        QFETCH(int, format);
        QFETCH(int, importKind);
        QFETCH(QString, extension);
        QFETCH(QString, firstName);
        QFETCH(int, size);
        FakeDialogs dialogs;
        MainWindow main(dialogs);
        VoiceManagerWindow* vm = loadSong(main);
        write("src.bin", rawFile(3));
        vm->refreshVoiceFiles();
        QVERIFY(vm->chooseVoiceFile("src.bin"));
        auto* fileVoices = child<QListWidget>(vm, "fileVoiceList");
        for (int i = 0; i < 3; ++i) {
            clickRow(fileVoices, i);
            QTest::mouseClick(child<QPushButton>(vm, "addButton"), Qt::LeftButton);
        }
        main.songModel().renameVoice(0, "A long voice name");
        main.songModel().renameVoice(1, "Short voice");
        main.songModel().renameVoice(2, "Third voice");

        QTest::mouseClick(child<QPushButton>(vm, "bankButton"), Qt::LeftButton);
        BankWindow* bank = main.bankWindow();
        QVERIFY(bank);
        QVERIFY(!main.isEnabled());
        QCOMPARE(bank->windowTitle(), QString("Save voice bank"));
        QCOMPARE(bank->extension(), QString(".fcv"));
        QVERIFY(child<QRadioButton>(bank, "formatButton_1")->isChecked());
        child<QRadioButton>(bank, QString("formatButton_%1").arg(format).toLatin1().constData())->click();
        QCOMPARE(bank->extension(), extension);
        QCOMPARE(static_cast<int>(bank->selectedFormat()), format);
        child<QLineEdit>(bank, "nameBox")->setText("bank");
        if (format == 1) shot(bank, "bank_window");
        QTest::mouseClick(child<QPushButton>(bank, "okButton"), Qt::LeftButton);
        QCOMPARE(dialogs.lastText(), QString("The voice bank was successfully saved!"));
        QCOMPARE(dialogs.messages.back().icon, MessageIcon::Information);
        flushDeletes();
        QVERIFY(!main.bankWindow());
        QVERIFY(main.isEnabled());
        const auto path = dir() / ("bank" + extension.toStdString());
        QCOMPARE(static_cast<int>(readBack(path).size()), size);

        // Read it back through the import of its kind; the new bank is in
        // the list of voice files already (raw is the kind shown).
        vm->selectKind(importKind);
        QVERIFY(vm->chooseVoiceFile("bank" + extension));
        QCOMPARE(fileVoices->count(), 3);
        QCOMPARE(fileVoices->item(0)->text(), firstName);
        for (int i = 0; i < 3; ++i) QCOMPARE(vm->fileVoices()[static_cast<std::size_t>(i)].voice, sampleVoice(i));
        if (format == 1) shot(vm, "voice_manager_bank_loaded");
    }

    void bankSaveFailureKeepsTheWindow() {
        FakeDialogs dialogs;
        MainWindow main(dialogs);
        VoiceManagerWindow* vm = loadSong(main);
        main.songModel().addVoice("v", sampleVoice(0));
        QTest::mouseClick(child<QPushButton>(vm, "bankButton"), Qt::LeftButton);
        BankWindow* bank = main.bankWindow();
        QVERIFY(bank);
        bank->setBankName("no such folder/bank");
        QTest::mouseClick(child<QPushButton>(bank, "okButton"), Qt::LeftButton);
        QCOMPARE(dialogs.lastText(), QString("Some kind of error happened"));
        QCOMPARE(dialogs.messages.back().icon, MessageIcon::Critical);
        flushDeletes();
        QVERIFY(main.bankWindow());
        QVERIFY(!main.isEnabled());
        // An existing file of that name is replaced.
        write("bank.fcv", Bytes8(1000, 0xEE));
        bank->setBankName("bank");
        QTest::mouseClick(child<QPushButton>(bank, "okButton"), Qt::LeftButton);
        QCOMPARE(readBack(dir() / "bank.fcv").size(), std::size_t(1 + 26 + 1));
        flushDeletes();
        QVERIFY(!main.bankWindow());
        QVERIFY(main.isEnabled());
        // Cancel closes without writing.
        vm->saveBank();
        main.bankWindow()->setBankName("other");
        QTest::mouseClick(child<QPushButton>(main.bankWindow(), "cancelButton"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(main.isEnabled());
        QVERIFY(!std::filesystem::exists(dir() / "other.fcv"));
    }

    // Each format's own limit is the bank writer's and tested with it; the
    // window offers only the formats that hold the song's voices and starts
    // on fcv where it can.
    void bankFormatLimits_data() {
        QTest::addColumn<int>("voices");
        QTest::addColumn<bool>("ymx");
        QTest::addColumn<bool>("fcv");
        QTest::addColumn<QString>("extension");
        QTest::newRow("too many for ymx") << 128 << false << true << ".fcv";
        QTest::newRow("too many for fcv") << 256 << false << false << ".bin";
    }
    void bankFormatLimits() {
        QFETCH(int, voices);
        QFETCH(bool, ymx);
        QFETCH(bool, fcv);
        QFETCH(QString, extension);
        FakeDialogs dialogs;
        MainWindow main(dialogs);
        VoiceManagerWindow* vm = loadSong(main);
        for (int i = 0; i < voices; ++i) main.songModel().addVoice("v", sampleVoice(i));
        vm->saveBank();
        BankWindow* bank = main.bankWindow();
        QVERIFY(bank);
        QCOMPARE(bank->formatOffered(BankFormat::Ymx), ymx);
        QCOMPARE(bank->formatOffered(BankFormat::Fcv), fcv);
        QVERIFY(bank->formatOffered(BankFormat::Raw));
        QCOMPARE(bank->extension(), extension);
        QCOMPARE(static_cast<int>(bank->selectedFormat()), fcv ? 1 : 0);
        bank->setBankName("limit");
        bank->saveBank();
        QCOMPARE(dialogs.lastText(), QString("The voice bank was successfully saved!"));
        flushDeletes();
        QVERIFY(main.isEnabled());
    }
};

QTEST_MAIN(VoiceManagerTest)
#include "voice_manager_test.moc"
