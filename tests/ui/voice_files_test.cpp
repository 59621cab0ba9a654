// What the windows say about a module that is not whole, and voice files
// taken from outside the module's folder, picked with "Add voice file..." or
// dropped on the Voice manager. The messages' wording is the readers' tests.
#include <QComboBox>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "base/paths.hpp"
#include "song/song_model.hpp"
#include "support/window_session.hpp"
#include "ui/module/info_window.hpp"
#include "ui/voices/voice_manager_window.hpp"

using namespace ferro;

class VoiceFilesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;
    std::unique_ptr<test::TempDir> elsewhere_;
    std::unique_ptr<SongModel> model_;
    std::unique_ptr<VoiceManagerWindow> vm_;

    // The Voice manager over the session's folder; a TFI voice in another
    // folder.
    QString startVoiceManager() {
        const auto file = elsewhere_->write("lead.tfi", Bytes(42));
        model_->load(XmModule{});
        vm_ = std::make_unique<VoiceManagerWindow>(*model_, s_->dialogs, [this] { return s_->dir.path(); });
        vm_->show();
        return QString::fromStdString(utf8FromPath(file));
    }
    // The kind chosen and the voices listed.
    QString shown() const {
        QString text = QString::number(vm_->findChild<QComboBox*>("kindBox")->currentIndex());
        auto* list = vm_->findChild<QListWidget*>("fileVoiceList");
        for (int i = 0; i < list->count(); ++i) text += " " + list->item(i)->text();
        return text;
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        elsewhere_ = std::make_unique<test::TempDir>();
        model_ = std::make_unique<SongModel>();
    }
    void cleanup() {
        vm_.reset();
        s_.reset();
    }

    // A refused module says what is wrong where under its message; one cut
    // inside its instruments loads, then names the ones it lacks.
    void explorerAndInfoWindowSayWhatIsWrongWhere() {
        test::XmLayout layout;
        const auto whole = test::buildXm(layout);
        layout.instrumentCount = 2;
        for (const auto& instrument : {test::xmInstrument("Lead", 10), test::xmInstrument("Slap bass", 10)})
            layout.trailer.insert(layout.trailer.end(), instrument.begin(), instrument.end());
        auto noBass = test::buildXm(layout);
        noBass.resize(noBass.size() - 5);
        s_->write("cut.xm", {whole.begin(), whole.end() - 3});
        s_->write("nobass.xm", noBass);
        s_->write("head.xm", {whole.begin(), whole.begin() + 40});
        QVERIFY(s_->start());
        const auto at = [](std::size_t n) { return QString::number(n); };
        struct Row { const char* file; bool loads; QString text; MessageIcon icon; };
        const Row rows[] = {
            {"cut.xm", false,
             "Some kind of error happened\ncut.xm: pattern 0's data runs to offset " + at(whole.size()) +
                 ", but the file ends at offset " + at(whole.size() - 3),
             MessageIcon::Critical},
            {"nobass.xm", true,
             "nobass.xm: instrument 2 is missing: the file ends at offset " + at(noBass.size()) +
                 ", inside instrument 2 (Slap bass)",
             MessageIcon::Exclamation},
        };
        for (const Row& r : rows) {
            s_->dialogs.messages.clear();
            QCOMPARE(s_->load(r.file), r.loads);
            QCOMPARE(s_->dialogs.messages.size(), std::size_t{1});
            QCOMPARE(s_->dialogs.lastText(), r.text);
            QCOMPARE(s_->dialogs.messages.back().icon, r.icon);
            s_->main->explorer()->unloadXmModule();
        }
        QVERIFY(!InfoWindow::show(*s_->main, s_->main->explorer(), s_->dialogs, s_->folder(), "head.xm"));
        QCOMPARE(s_->dialogs.lastText(), QString("Some kind of error happened\nhead.xm: the header runs to "
                                                 "offset 64, but the file ends at offset 40"));
    }

    // "Add voice file..." reads the picked file as the kind its name says,
    // lists it by its whole path and shows its voices, ready to add.
    void addVoiceFileListsAFileFromAnotherFolder() {
        const QString file = startVoiceManager();
        s_->dialogs.files.push_back(file);
        QTest::mouseClick(vm_->findChild<QPushButton*>("addVoiceFileButton"), Qt::LeftButton);
        QVERIFY(s_->dialogs.fileRequests.back().filter.contains("*.tfi"));
        QCOMPARE(shown(), QString("8 lead"));  // TFM instrument
        QCOMPARE(vm_->findChild<QListWidget*>("voiceFileList")->currentItem()->text(), QDir::toNativeSeparators(file));
        vm_->findChild<QListWidget*>("fileVoiceList")->setCurrentRow(0);
        QTest::mouseClick(vm_->findChild<QPushButton*>("addButton"), Qt::LeftButton);
        QCOMPARE(model_->voices().count(), 1);
    }

    // Voice files dropped from a file manager are added as if picked. Qt
    // hands a drop only to the widget that took the drag in.
    void droppedVoiceFilesAreListed() {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(startVoiceManager())});
        const QPoint at = vm_->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vm_.get(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vm_.get(), &drop);
        QCOMPARE(shown(), QString("8 lead"));
    }
};

QTEST_MAIN(VoiceFilesTest)
#include "voice_files_test.moc"
