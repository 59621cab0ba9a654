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
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "app/main_window.hpp"
#include "song/song_model.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/common/light_pictures.hpp"
#include "ui/voices/bank_window.hpp"
#include "ui/voices/paste_window.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "voices/voice_hex.hpp"

using namespace ferro;
using test::clickRow;

namespace {

using Bytes8 = std::vector<std::uint8_t>;

// Voice i of a generated file: every byte different, so that a byte taken
// from the wrong place shows.
FmVoice sampleVoice(int i) {
    FmVoice v;
    for (int k = 0; k < kFmVoiceSize; ++k) v.bytes[k] = static_cast<std::uint8_t>(i * 7 + k * 3 + 1);
    return v;
}
QString hexOf(const FmVoice& v) { return QString::fromStdString(formatVoiceHex(v)); }

Bytes8 rawFile(int n) {
    Bytes8 out;
    for (int i = 0; i < n; ++i) {
        const FmVoice v = sampleVoice(i);
        out.insert(out.end(), v.bytes.begin(), v.bytes.end());
    }
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
const QString kValidHex = "3A 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18";
const QString kFullMessage = "You already have $100 voices in your bank";

}  // namespace

class VoiceManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;
    VoiceManagerWindow* vm_ = nullptr;

    MainWindow& main() { return *s_->main; }
    SongModel& model() { return s_->main->songModel(); }
    const SongVoiceList& voices() { return model().voices(); }
    test::FakeDialogs& dialogs() { return s_->dialogs; }
    template <class T = QWidget>
    T* get(QWidget* w, const char* name) { return test::control<T>(w, name); }
    QListWidget* list(const char* name) { return get<QListWidget>(vm_, name); }
    void click(QWidget* w, const char* name) { QTest::mouseClick(get(w, name), Qt::LeftButton); }
    void click(const char* name) { click(vm_, name); }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void open(const std::string& file, const Bytes8& bytes, int kind = 0) {
        s_->write(file, bytes);
        vm_->selectKind(kind);
        vm_->refreshVoiceFiles();
        QVERIFY(vm_->chooseVoiceFile(QString::fromStdString(file)));
    }
    // Adds the first `n` voices of a raw file to the song with "All".
    void addRawVoices(const std::string& file, int n) {
        open(file, rawFile(n));
        click("fileAllBox");
        click("addButton");
    }

private slots:
    // The main window after a first load of an eight-channel song, with the
    // song windows it creates.
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        s_->main = std::make_unique<MainWindow>(s_->dialogs);
        XmModule m;
        m.fileName = "song.xm";
        m.channelCount = 8;
        model().load(m);
        main().createSongWindows(*model().module());
        main().onModuleLoaded(QDir::currentPath(), "song.xm");
        main().showSongWindows();
        main().show();
        vm_ = main().voiceManager();
        QVERIFY(vm_);
    }
    void cleanup() {
        flushDeletes();
        s_.reset();
    }

    // The song's voices and light are the model's: a change made elsewhere
    // (a setup opened, the FM count changed in General parametres) shows at
    // once, here and on the main window's Voice manager button.
    void showsTheModel() {
        auto* song = list("songVoiceList");
        auto* picture = get<QLabel>(vm_, "lightPicture");
        auto* button = get<QToolButton>(&main(), "voiceManagerButton");
        const auto shows = [&](ReadinessLight light, QColor colour) {
            QCOMPARE(picture->pixmap().toImage(), lightPicture(light).toImage());
            QCOMPARE(button->palette().color(QPalette::Button), colour);
        };
        SongChoices choices = initialSongChoices(8);
        choices.voices.add("lead", sampleVoice(1));
        choices.voices.add("pad", sampleVoice(2));
        model().applyChoices(choices);
        QCOMPARE(song->count(), 2);
        QCOMPARE(song->item(1)->text(), QString("1: pad"));
        QVERIFY(get(vm_, "songAllBox")->isEnabled() && get(vm_, "bankButton")->isEnabled());
        shows(ReadinessLight::Green, QColor(0, 255, 0));

        model().setFmChannelCount(0);  // voices without FM channels
        shows(ReadinessLight::Yellow, QColor(255, 255, 0));
        QCOMPARE(picture->toolTip(), QString("Yellow"));

        model().clearVoices();
        QCOMPARE(song->count(), 0);
        QVERIFY(!get(vm_, "songAllBox")->isEnabled() && !get(vm_, "bankButton")->isEnabled());
    }

    // "All" adds up to the list's limit and says so; the file voice chosen
    // stays chosen. A single add at the limit says the same.
    void addAllStopsAtTheLimit() {
        open("big.bin", rawFile(300));
        auto* fileVoices = list("fileVoiceList");
        clickRow(fileVoices, 7);
        click("fileAllBox");
        click("addButton");
        QCOMPARE(voices().count(), 256);
        QCOMPARE(dialogs().lastText(), kFullMessage);
        QCOMPARE(dialogs().messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(!get<QCheckBox>(vm_, "fileAllBox")->isChecked());
        QCOMPARE(fileVoices->currentRow(), 7);
        QCOMPARE(list("songVoiceList")->item(255)->text(), QString("FF: big.bin: voice $FF"));
        click("addButton");
        QCOMPARE(voices().count(), 256);
        QCOMPARE(dialogs().messages.size(), std::size_t(2));
        // A double click on a file voice adds it like the button.
        clickRow(list("songVoiceList"), 0);
        click("removeButton");
        clickRow(fileVoices, 3, true);
        QCOMPARE(voices().count(), 256);
        QCOMPARE(voices().name(255), std::string("big.bin: voice $3"));
    }

    void removeOneAndAll() {
        addRawVoices("three.bin", 3);
        auto* song = list("songVoiceList");
        auto* remove = get(vm_, "removeButton");
        auto* hex = get<QLabel>(vm_, "songHexView");
        QVERIFY(!remove->isEnabled());
        clickRow(song, 0);
        QVERIFY(remove->isEnabled());
        QCOMPARE(hex->text(), hexOf(sampleVoice(0)));
        // A screen reader reads the hex text itself.
        QCOMPARE(QAccessible::queryAccessibleInterface(hex)->text(QAccessible::Name), hexOf(sampleVoice(0)));
        click("removeButton");
        QCOMPARE(voices().count(), 2);
        QCOMPARE(song->item(0)->text(), QString("0: three.bin: voice $1"));
        QVERIFY(!remove->isEnabled());
        QVERIFY(hex->text().isEmpty());
        // All ticked: everything goes, and with it "Save ban&k" and the All box.
        click("songAllBox");
        click("removeButton");
        QCOMPARE(voices().count(), 0);
        QVERIFY(!get<QCheckBox>(vm_, "songAllBox")->isChecked());
        QVERIFY(!get(vm_, "songAllBox")->isEnabled() && !get(vm_, "bankButton")->isEnabled());
    }

    // Changing the kind lists that kind's files and clears the voices shown.
    void kindSelection() {
        s_->write("B.YMX", rawFile(1));
        s_->write("c.Bin", rawFile(1));
        open("a.bin", rawFile(2));
        auto* files = list("voiceFileList");
        QCOMPARE(files->count(), 2);  // a.bin and c.Bin
        clickRow(files, 0);
        auto* fileVoices = list("fileVoiceList");
        QCOMPARE(fileVoices->count(), 2);
        vm_->selectKind(0);  // the same kind again keeps the file's voices
        QCOMPARE(fileVoices->count(), 2);
        vm_->selectKind(2);  // another kind with the same pattern clears them
        QCOMPARE(fileVoices->count(), 0);
        QVERIFY(!get(vm_, "fileAllBox")->isEnabled());
        vm_->selectKind(1);
        QCOMPARE(files->count(), 1);
        QCOMPARE(get<QGroupBox>(vm_, "fileHexFrame")->title(), QString("Hex data (S1'd) for the selected voice"));
        QCOMPARE(voices().count(), 0);  // browsing files is not the song's business

        // A kind's own warning, and a TFI file's while it is the one shown.
        auto* frame = get(vm_, "warningFrame");
        vm_->selectKind(3);
        QCOMPARE(get<QLabel>(vm_, "warningLabel")->text(), QString("Won't work with some non-standard songs"));
        vm_->selectKind(5);
        QVERIFY(frame->isHidden());
        s_->write("plain.tfi", tfiFile(false));
        open("ssg.tfi", tfiFile(true), 8);
        QCOMPARE(list("fileVoiceList")->item(0)->text(), QString("ssg"));  // named after its file
        QCOMPARE(get<QLabel>(vm_, "warningLabel")->text(), QString("This TFI uses the SSG-EG: may not sound right"));
        QVERIFY(vm_->chooseVoiceFile("plain.tfi"));
        QVERIFY(frame->isHidden());
        QVERIFY(vm_->chooseVoiceFile("ssg.tfi"));
        vm_->selectKind(0);
        QVERIFY(frame->isHidden());
    }

    void importFailureIsReported() {
        open("short.bin", Bytes8(24, 1));
        QCOMPARE(dialogs().messages.size(), std::size_t(1));
        QCOMPARE(dialogs().lastText(),
                 QString("There are no voices in this file\n"
                         "short.bin: a raw voice is 25 bytes long, this file is 24 bytes"));
        QCOMPARE(dialogs().messages[0].icon, MessageIcon::Critical);
        QCOMPARE(list("fileVoiceList")->count(), 0);
        QVERIFY(!get(vm_, "fileAllBox")->isEnabled());
        // Clicking the same file again tries it again.
        clickRow(list("voiceFileList"), 0);
        QCOMPARE(dialogs().messages.size(), std::size_t(2));
    }

    // The paste kind opens the paste window over a disabled main window and
    // goes back to the kind shown before; Ok adds the text's voice.
    void pasteWindow() {
        open("a.bin", rawFile(2));
        dialogs().clipboard = kValidHex.toLower();
        vm_->selectKind(4);
        QCOMPARE(get<QComboBox>(vm_, "kindBox")->currentIndex(), 0);
        QCOMPARE(list("fileVoiceList")->count(), 2);
        const auto paste = [&](const QString& text, const char* button) {
            QVERIFY(main().pasteWindow());
            QVERIFY(!main().isEnabled());
            if (!text.isNull()) main().pasteWindow()->setText(text);
            click(main().pasteWindow(), button);
            flushDeletes();
            QVERIFY(!main().pasteWindow());
            QVERIFY(main().isEnabled());
        };
        QCOMPARE(get<QPlainTextEdit>(main().pasteWindow(), "hexTextBox")->toPlainText(), kValidHex.toLower());
        paste(QString(), "okButton");  // typed text, Ok: the play test's
        QCOMPARE(list("songVoiceList")->item(0)->text(), QString("0: Pasted voice"));

        vm_->selectKind(4);
        paste(kValidHex + " 19", "okButton");
        QCOMPARE(dialogs().lastText(), QString("The voice you entered is not in a recognized format!"));
        QCOMPARE(dialogs().messages.back().icon, MessageIcon::Exclamation);
        vm_->selectKind(4);
        paste(kValidHex, "cancelButton");
        QCOMPARE(voices().count(), 1);

        for (int i = 1; i < 256; ++i) model().addVoice("v", sampleVoice(i));
        vm_->selectKind(4);
        paste(kValidHex, "okButton");
        QCOMPARE(voices().count(), 256);
        QCOMPARE(dialogs().lastText(), kFullMessage);
    }

    // The double click asks for the name; the window turns the answer into
    // the 8-bit text voice names are and shows the new name.
    void rename() {
        addRawVoices("r.bin", 2);
        auto* song = list("songVoiceList");
        dialogs().inputs.push_back(QString::fromUtf8("Bass \xC3\xA9"));
        clickRow(song, 1, true);
        QCOMPARE(dialogs().lastText(), QString("Type new voice description here (255 characters max)"));
        QCOMPARE(voices().name(1), std::string("Bass \xE9"));
        QCOMPARE(song->item(1)->text(), QString::fromUtf8("1: Bass \xC3\xA9"));
        vm_->renameSongVoice();  // cancelled: no change
        QCOMPARE(voices().name(1), std::string("Bass \xE9"));
    }

    // A right click copies the hex of the voice shown, and says so.
    void copyToClipboard() {
        dialogs().clipboard = "before";
        auto* fileHex = get(vm_, "fileHexView");
        QTest::mouseClick(fileHex, Qt::RightButton);  // nothing shown: nothing copied
        QCOMPARE(dialogs().clipboard, QString("before"));
        QVERIFY(dialogs().messages.empty());
        open("r.bin", rawFile(2));
        clickRow(list("fileVoiceList"), 1);
        QCOMPARE(get<QLabel>(vm_, "fileHexView")->text(), hexOf(sampleVoice(1)));
        QTest::mouseClick(fileHex, Qt::RightButton);
        QCOMPARE(dialogs().clipboard, hexOf(sampleVoice(1)));
        QCOMPARE(dialogs().lastText(), "Voice " + hexOf(sampleVoice(1)) + " copied to the clipboard!");
        QCOMPARE(dialogs().messages.back().icon, MessageIcon::Plain);
        QTest::mouseClick(fileHex, Qt::LeftButton);
        QCOMPARE(dialogs().messages.size(), std::size_t(1));
        vm_->addPastedVoice(kValidHex);
        clickRow(list("songVoiceList"), 0);
        QTest::mouseClick(get(vm_, "songHexView"), Qt::RightButton);
        QCOMPARE(dialogs().clipboard, kValidHex);
    }

    // A bank saved in the format chosen reads back through the import of its kind.
    void bankFormatsRoundTrip_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("importKind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<int>("size");
        QTest::newRow("raw") << 0 << 0 << ".bin" << "bank.bin: voice $0" << 3 * 25;
        QTest::newRow("fcv") << 1 << 6 << ".fcv" << "src.bin: voice $0" << 1 + 3 * (26 + 17);
        QTest::newRow("ymx") << 2 << 1 << ".ymx" << "src.bin: v" << 8 + 3 * 35;
    }
    void bankFormatsRoundTrip() {
        QFETCH(int, format);
        QFETCH(int, importKind);
        QFETCH(QString, extension);
        QFETCH(QString, firstName);
        QFETCH(int, size);
        addRawVoices("src.bin", 3);
        click("bankButton");
        BankWindow* bank = main().bankWindow();
        QVERIFY(bank);
        QVERIFY(!main().isEnabled());
        QCOMPARE(bank->extension(), QString(".fcv"));  // where fcv holds the voices
        test::clickFace(get(bank, qPrintable(QString("formatButton_%1").arg(format))));
        QCOMPARE(bank->extension(), extension);
        get<QLineEdit>(bank, "nameBox")->setText("bank");
        click(bank, "okButton");
        QCOMPARE(dialogs().lastText(), QString("The voice bank was successfully saved!"));
        flushDeletes();
        QVERIFY(!main().bankWindow());
        QVERIFY(main().isEnabled());
        QCOMPARE(static_cast<int>(s_->dir.read("bank" + extension.toStdString()).size()), size);

        // The new bank is in the list of voice files already.
        vm_->selectKind(importKind);
        QVERIFY(vm_->chooseVoiceFile("bank" + extension));
        QCOMPARE(list("fileVoiceList")->item(0)->text(), firstName);
        QCOMPARE(vm_->fileVoices()[2].voice, sampleVoice(2));
    }

    // A failed save keeps the window for another name; Cancel writes nothing.
    void bankSaveFailureKeepsTheWindow() {
        model().addVoice("v", sampleVoice(0));
        click("bankButton");
        BankWindow* bank = main().bankWindow();
        bank->setBankName("no such folder/bank");
        click(bank, "okButton");
        QCOMPARE(dialogs().lastText(), QString("Some kind of error happened"));
        QCOMPARE(dialogs().messages.back().icon, MessageIcon::Critical);
        flushDeletes();
        QCOMPARE(main().bankWindow(), bank);
        QVERIFY(!main().isEnabled());
        bank->setBankName("other");
        click(bank, "cancelButton");
        flushDeletes();
        QVERIFY(main().isEnabled());
        QVERIFY(!std::filesystem::exists(s_->dir / "other.fcv"));
    }

    // Each format's own limit is the bank writer's and tested with it; the
    // window offers only the formats that hold the song's voices and starts
    // on fcv where it can.
    void bankFormatLimits_data() {
        QTest::addColumn<int>("voices");
        QTest::addColumn<bool>("ymx");
        QTest::addColumn<bool>("fcv");
        QTest::newRow("too many for ymx") << 128 << false << true;
        QTest::newRow("too many for fcv") << 256 << false << false;
    }
    void bankFormatLimits() {
        QFETCH(int, voices);
        QFETCH(bool, ymx);
        QFETCH(bool, fcv);
        for (int i = 0; i < voices; ++i) model().addVoice("v", sampleVoice(i));
        vm_->saveBank();
        BankWindow* bank = main().bankWindow();
        QVERIFY(bank);
        QCOMPARE(bank->formatOffered(BankFormat::Ymx), ymx);
        QCOMPARE(bank->formatOffered(BankFormat::Fcv), fcv);
        QVERIFY(bank->formatOffered(BankFormat::Raw));
        QCOMPARE(bank->extension(), QString(fcv ? ".fcv" : ".bin"));
        bank->setBankName("limit");
        bank->saveBank();
        QCOMPARE(dialogs().lastText(), QString("The voice bank was successfully saved!"));
    }
};

QTEST_MAIN(VoiceManagerTest)
#include "voice_manager_test.moc"
