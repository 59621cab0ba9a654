// The XM explorer: which files it lists, load, reload and unload with the
// windows they make and discard, a load that fails leaving nothing behind,
// and the XM info window.
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "support/gestures.hpp"
#include "support/window_session.hpp"
#include "ui/common/scratch_area.hpp"
#include "ui/module/explorer_window.hpp"
#include "ui/module/info_window.hpp"
#include "ui/params/general_window.hpp"
#include "xm/scratch_files.hpp"

using namespace ferro;
namespace fs = std::filesystem;

class ExplorerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    ExplorerWindow& explorer() { return *s_->main->explorer(); }
    QPushButton* button(const char* name) { return test::control<QPushButton>(&explorer(), name); }
    QListWidget* files() { return test::control<QListWidget>(&explorer(), "fileList"); }
    bool shown(const char* name) { return button(name)->isVisibleTo(&explorer()); }

    void select(const QString& name) {
        const auto items = files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(name));
        test::clickRow(files(), files()->row(items.first()));
    }
    void load(const QString& name) {
        select(name);
        explorer().loadSelectedFile();
    }
    bool hasScratchFiles() {
        for (const auto& n : s_->dir.fileNames())
            if (isScratchFileName(n) && !fs::is_directory(s_->dir / n)) return true;
        return QDirIterator(ScratchArea::root(), {"*.tmp"}, QDir::Files, QDirIterator::Subdirectories).hasNext();
    }
    void failedAndLeftNothing(const char* message) {
        QCOMPARE(s_->dialogs.lastText().section('\n', 0, 0), QString(message));
        QCOMPARE(s_->dialogs.messages.back().icon, MessageIcon::Critical);
        QVERIFY(!explorer().isLoaded());
        QVERIFY(!s_->main->generalWindow());
        QVERIFY(button("loadButton")->isEnabled());
        QVERIFY(!hasScratchFiles());
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        s_->write("four.xm", test::notesModule(4));
        s_->write("LOUD.XM", test::notesModule(6));
        s_->write("fake.xm", {'n', 'o', 'p', 'e'});
        auto broken = test::notesModule(2);
        broken.resize(broken.size() - 3);
        s_->write("broken.xm", broken);
        s_->write("notes.txt", {'x'});
        fs::create_directory(s_->dir / "sub");
        QVERIFY(s_->start());
        s_->main->show();
    }
    void cleanup() { s_.reset(); }

    // XM files of either case, sorted; Load and Info wait for a choice.
    void listsXmFilesWithoutRegardToCase() {
        QStringList names;
        for (int i = 0; i < files()->count(); ++i) names << files()->item(i)->text();
        QCOMPARE(names, QStringList({"broken.xm", "fake.xm", "four.xm", "LOUD.XM"}));
        QVERIFY(!button("loadButton")->isEnabled() && !button("infoButton")->isEnabled());
        select("four.xm");
        QVERIFY(button("loadButton")->isEnabled() && button("infoButton")->isEnabled());
    }

    void loadReloadUnload() {
        load("four.xm");
        QVERIFY(s_->dialogs.messages.empty());
        QCOMPARE(explorer().module()->channelCount, 4);
        QVERIFY(s_->main->generalWindow() && s_->main->moreWindow() && s_->main->voiceManager());
        QVERIFY(shown("reloadButton") && !shown("loadButton"));
        QVERIFY(!button("refreshButton")->isEnabled() && !files()->isEnabled());
        QCOMPARE(s_->main->statusText(), "XM file loaded: " + QDir::toNativeSeparators(s_->folder() + "/four.xm"));
        QVERIFY(fs::exists(explorer().scratchDirectory() / "C4.tmp"));

        // Reload with the same channel count keeps the windows and the
        // choices shown, no message.
        GeneralWindow* general = s_->main->generalWindow();
        auto* firstRow = test::control<QComboBox>(general, "assignmentBox_0");
        s_->main->songModel().chooseChannel(0, 4);
        explorer().reloadXmModule();
        QVERIFY(s_->dialogs.messages.empty());
        QCOMPARE(firstRow->currentText(), QString("4"));
        // The file changes under us: six channels now.
        s_->write("four.xm", test::notesModule(6));
        explorer().reloadXmModule();
        QCOMPARE(s_->dialogs.lastText(),
                 QString("The XM file now has a different number of channels!\r\nAll the channel assignments were reseted!"));
        QCOMPARE(s_->main->generalWindow(), general);
        QCOMPARE(firstRow->count(), 6);
        QCOMPARE(firstRow->currentIndex(), -1);

        explorer().unloadXmModule();
        QVERIFY(!explorer().isLoaded());
        QVERIFY(!s_->main->generalWindow() && !s_->main->moreWindow() && !s_->main->voiceManager());
        QVERIFY(!hasScratchFiles());
        QCOMPARE(s_->main->statusText(), QString("No XM file loaded!"));
        QVERIFY(shown("loadButton") && button("loadButton")->isEnabled());
        QCOMPARE(explorer().selectedFileName(), QString("four.xm"));
    }

    // A file that is no XM, one cut short, a file in the way of the scratch
    // folder, a scratch folder that can't be written: a message, nothing
    // loaded and no scratch file left.
    void aFailedLoadLeavesNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("obstacle");  // 0 none, 1 a file where the scratch folder goes, 2 it read-only
        QTest::newRow("no XM") << "fake.xm" << "File isn't a valid XM" << 0;
        QTest::newRow("cut short") << "broken.xm" << "Some kind of error happened" << 0;
        QTest::newRow("scratch file can't be written") << "four.xm" << "Some kind of error happened" << 1;
        QTest::newRow("folder can't be written") << "four.xm" << "Some kind of error happened" << 2;
    }
    void aFailedLoadLeavesNothing() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFETCH(int, obstacle);
        const fs::path scratchRoot(ScratchArea::root().toStdU16String());
        if (obstacle == 1) test::writeFileBytes(scratchRoot, {1});
        if (obstacle == 2) {
#ifdef _WIN32
            QSKIP("a folder's read-only mark does not stop writing into it on Windows");
#else
            if (::geteuid() == 0) QSKIP("root can write into read-only folders");
#endif
            fs::create_directories(scratchRoot);
            fs::permissions(scratchRoot, fs::perms::owner_read | fs::perms::owner_exec);
        }
        load(file);
        if (obstacle == 2) fs::permissions(scratchRoot, fs::perms::owner_all);
        failedAndLeftNothing(qPrintable(message));
    }

    // While a module is loaded, a reload that fails unloads it completely.
    void aFailedReloadUnloads() {
        load("four.xm");
        QVERIFY(explorer().isLoaded());
        auto broken = test::notesModule(4);
        broken.resize(broken.size() - 1);
        s_->write("four.xm", broken);
        explorer().reloadXmModule();
        failedAndLeftNothing("Some kind of error happened");
    }

    void doubleClickLoads() {
        const auto items = files()->findItems("LOUD.XM", Qt::MatchExactly);
        test::clickRow(files(), files()->row(items.first()), true);
        QVERIFY(explorer().isLoaded());
        QCOMPARE(explorer().module()->channelCount, 6);
    }

    void folderChangeFollowsTheWorkingDirectory() {
        select("four.xm");
        explorer().changeDirectory(s_->folder() + "/sub");
        QCOMPARE(QDir::currentPath(), QDir(s_->folder() + "/sub").absolutePath());
        QVERIFY(!button("loadButton")->isEnabled() && !button("infoButton")->isEnabled());
        QCOMPARE(files()->count(), 0);
        explorer().changeDirectory(s_->folder());
        QCOMPARE(files()->count(), 4);
    }

    void infoWindowRows() {
        test::XmLayout layout;
        layout.moduleName = std::string("Tab\there", 8);
        layout.orderTable = {0, 1, 2, 1};
        layout.patterns = {test::XmPatternLayout{}, test::XmPatternLayout{}, test::XmPatternLayout{}};
        const auto bytes = test::buildXm(layout);
        s_->write("info.xm", bytes);
        explorer().refreshFileList();
        select("info.xm");
        InfoWindow* info = InfoWindow::show(*s_->main, &explorer(), s_->dialogs, s_->folder(), "info.xm");
        QVERIFY(info);
        QVERIFY(!s_->main->isEnabled());
        const QStringList v = info->values();
        QCOMPARE(v.size(), 15);
        QCOMPARE(v[2], QString("%1 bytes").arg(bytes.size()));
        // Every byte of the name shows, control bytes with a glyph the font
        // has; values are read by screen readers; no caption is clipped.
        QCOMPARE(v[3].size(), 20);
        QVERIFY(v[3].startsWith("Tab") && v[3].mid(4, 4) == "here" && v[3][3] != ' ' && v[3][19] != ' ');
        for (int i = 0; i < v.size(); ++i) {
            auto* value = info->findChild<QLabel*>(QString("Value%1").arg(i + 1));
            for (QChar c : v[i]) QVERIFY(QFontMetrics(value->font()).inFontUcs4(c.unicode()));
            QCOMPARE(QAccessible::queryAccessibleInterface(value)->text(QAccessible::Name), v[i]);
            auto* caption = info->findChild<QLabel*>(QString("Caption%1").arg(i + 1));
            QVERIFY(caption->width() >= caption->fontMetrics().horizontalAdvance(caption->text()));
        }
        QCOMPARE(v[5], QString("$1 $4"));
        QCOMPARE(v[14], QString("0 1 2 1 "));
        info->close();
        QVERIFY(s_->main->isEnabled());
        // A file that is no XM: the message and no window.
        QVERIFY(!InfoWindow::show(*s_->main, &explorer(), s_->dialogs, s_->folder(), "fake.xm"));
        QCOMPARE(s_->dialogs.lastText().section('\n', 0, 0), QString("File isn't a valid XM"));
        QVERIFY(s_->main->isEnabled());
    }
};

QTEST_MAIN(ExplorerTest)
#include "explorer_test.moc"
