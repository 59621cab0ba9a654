#include <QAccessible>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "ui/params/general_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "ui/voices/voice_manager_window.hpp"
#include "xm/scratch_files.hpp"
#include "ui/module/explorer_window.hpp"
#include "ui/module/info_window.hpp"

using namespace ferro;

namespace {
std::vector<std::uint8_t> module(int channels, std::vector<std::uint8_t> order = {0, 0}) {
    test::XmLayout layout;
    layout.channelCount = channels;
    layout.orderTable = std::move(order);
    test::XmPatternLayout p;
    p.rows = 8;
    p.cells.assign(static_cast<std::size_t>(8 * channels), test::noteCell(49, 1));
    layout.patterns = {p};
    return test::buildXm(layout);
}
}  // namespace

class ExplorerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::WindowSession> s_;

    ExplorerWindow& explorer() { return *s_->main->explorer(); }
    QPushButton* button(const char* name) { return explorer().findChild<QPushButton*>(name); }
    QListWidget* files() { return explorer().findChild<QListWidget*>("fileList"); }
    QString folder() { return s_->folder(); }

    void select(const QString& name) {
        const auto items = files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(name));
        files()->setCurrentItem(items.first());
        explorer().selectFile();
    }
    bool hasScratchFiles() {
        for (const auto& n : s_->dir.fileNames())
            if (isScratchFileName(n)) return true;
        return false;
    }

private slots:
    void init() {
        s_ = std::make_unique<test::WindowSession>();
        s_->write("four.xm", module(4));
        s_->write("LOUD.XM", module(6));
        s_->write("fake.xm", {'n', 'o', 'p', 'e'});
        auto broken = module(2);
        broken.resize(broken.size() - 3);
        s_->write("broken.xm", broken);
        s_->write("notes.txt", {'x'});
        std::filesystem::create_directory(s_->dir.path() / "sub");
        QVERIFY(s_->start());
    }
    void cleanup() { s_.reset(); }

    void listsXmFilesWithoutRegardToCase() {
        QStringList names;
        for (int i = 0; i < files()->count(); ++i) names << files()->item(i)->text();
        QCOMPARE(names, QStringList({"broken.xm", "fake.xm", "four.xm", "LOUD.XM"}));
        QVERIFY(!button("loadButton")->isEnabled());
        QVERIFY(!button("infoButton")->isEnabled());
        select("four.xm");
        QVERIFY(button("loadButton")->isEnabled());
        QVERIFY(button("infoButton")->isEnabled());
    }

    void loadReloadUnload() {
        select("four.xm");
        explorer().loadSelectedFile();
        QVERIFY(s_->dialogs.messages.empty());
        QVERIFY(explorer().isLoaded());
        QCOMPARE(explorer().module()->channelCount, 4);
        QVERIFY(s_->main->generalWindow() && s_->main->moreWindow() && s_->main->voiceManager());
        QCOMPARE(s_->main->songModel().assignment().channelCount, 4);
        QVERIFY(button("reloadButton")->isVisibleTo(&explorer()));
        QVERIFY(!button("loadButton")->isVisibleTo(&explorer()));
        QVERIFY(button("unloadButton")->isEnabled());
        QVERIFY(!button("refreshButton")->isEnabled() && !files()->isEnabled());
        QVERIFY(s_->main->statusText().startsWith("XM file loaded: "));
        QCOMPARE(s_->main->statusText(), "XM file loaded: " + QDir::toNativeSeparators(folder() + "/four.xm"));
        QVERIFY(std::filesystem::exists(s_->dir / "C4.tmp"));

        // Reload with the same channel count keeps the windows, no message.
        GeneralWindow* general = s_->main->generalWindow();
        explorer().reloadXmModule();
        QVERIFY(s_->dialogs.messages.empty());
        QCOMPARE(s_->main->generalWindow(), general);

        // The file changes under us: six channels now.
        test::writeFileBytes(s_->dir / "four.xm", module(6));
        explorer().reloadXmModule();
        QCOMPARE(s_->dialogs.messages.size(), size_t(1));
        QCOMPARE(s_->dialogs.lastText(),
                 QString("The XM file now has a different number of channels!\r\nAll the channel assignments were reseted!"));
        QCOMPARE(s_->main->generalWindow(), general);
        QCOMPARE(s_->main->songModel().assignment().channelCount, 6);

        explorer().unloadXmModule();
        QVERIFY(!explorer().isLoaded());
        QVERIFY(!s_->main->generalWindow() && !s_->main->moreWindow() && !s_->main->voiceManager());
        QVERIFY(!hasScratchFiles());
        QCOMPARE(s_->main->statusText(), QString("No XM file loaded!"));
        QVERIFY(button("loadButton")->isVisibleTo(&explorer()) && button("loadButton")->isEnabled());
        QCOMPARE(explorer().selectedFileName(), QString("four.xm"));

        // A new load starts from scratch.
        explorer().loadSelectedFile();
        QVERIFY(s_->main->generalWindow() && s_->main->generalWindow() != nullptr);
        QCOMPARE(s_->main->songModel().voices().count(), 0);
    }

    void invalidModuleChangesNothing() {
        select("fake.xm");
        explorer().loadSelectedFile();
        QCOMPARE(s_->dialogs.lastText(), QString("File isn't a valid XM"));
        QCOMPARE(s_->dialogs.messages.back().icon, MessageIcon::Critical);
        QVERIFY(!explorer().isLoaded());
        QVERIFY(button("loadButton")->isEnabled());
        QVERIFY(!button("unloadButton")->isEnabled());
        QVERIFY(!s_->main->generalWindow());
    }

    void brokenModuleUnloadsEverything() {
        select("broken.xm");
        explorer().loadSelectedFile();
        QCOMPARE(s_->dialogs.lastText(), QString("Some kind of error happened"));
        QVERIFY(!explorer().isLoaded());
        QVERIFY(!hasScratchFiles());
        // While a module is loaded, a reload that fails unloads it completely.
        select("four.xm");
        explorer().loadSelectedFile();
        QVERIFY(explorer().isLoaded());
        auto broken = module(4);
        broken.resize(broken.size() - 1);
        test::writeFileBytes(s_->dir / "four.xm", broken);
        explorer().reloadXmModule();
        QCOMPARE(s_->dialogs.lastText(), QString("Some kind of error happened"));
        QVERIFY(!explorer().isLoaded());
        QVERIFY(!s_->main->generalWindow());
        QVERIFY(!hasScratchFiles());
    }

    void unwritableFolderFailsAndLeavesNothing() {
#ifdef _WIN32
        QSKIP("a folder's read-only mark does not stop writing into it on Windows");
#else
        if (::geteuid() == 0) QSKIP("root can write into read-only folders");
#endif
        select("four.xm");
        std::filesystem::permissions(s_->dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        explorer().loadSelectedFile();
        std::filesystem::permissions(s_->dir.path(), std::filesystem::perms::owner_all);
        QCOMPARE(s_->dialogs.lastText(), QString("Some kind of error happened"));
        QVERIFY(!hasScratchFiles());
    }

    void scratchFileThatCannotBeWrittenFailsAndLeavesNothing() {
        // A folder in the way of a row stream file: the load cannot write it.
        std::filesystem::create_directory(s_->dir.path() / "C2.tmp");
        select("four.xm");
        explorer().loadSelectedFile();
        QCOMPARE(s_->dialogs.lastText(), QString("Some kind of error happened"));
        QVERIFY(!explorer().isLoaded());
        for (const auto& n : s_->dir.fileNames())
            QVERIFY2(!isScratchFileName(n) || std::filesystem::is_directory(s_->dir.path() / n), n.c_str());
        QVERIFY(std::filesystem::is_directory(s_->dir.path() / "C2.tmp"));
    }

    void doubleClickLoadsOnlyWithASelection() {
        files()->clearSelection();
        emit files()->itemDoubleClicked(files()->item(0));
        QVERIFY(!explorer().isLoaded());
        select("LOUD.XM");
        emit files()->itemDoubleClicked(files()->currentItem());
        QVERIFY(explorer().isLoaded());
        QCOMPARE(explorer().module()->channelCount, 6);
    }

    void folderChangeFollowsTheWorkingDirectory() {
        select("four.xm");
        explorer().changeDirectory(folder() + "/sub");
        QCOMPARE(QDir::currentPath(), QDir(folder() + "/sub").absolutePath());
        QVERIFY(!button("loadButton")->isEnabled());
        QVERIFY(!button("infoButton")->isEnabled());
        QCOMPARE(files()->count(), 0);
        explorer().changeDirectory(folder());
        QCOMPARE(files()->count(), 4);
    }

    void infoWindowRows() {
        test::XmLayout layout;
        layout.moduleName = std::string("Tab\there", 8);
        layout.orderTable = {0, 1, 2, 1};
        layout.patterns = {test::XmPatternLayout{}, test::XmPatternLayout{}, test::XmPatternLayout{}};
        layout.flags = 1;
        layout.versionMinor = 4;
        layout.versionMajor = 1;
        const auto bytes = test::buildXm(layout);
        test::writeFileBytes(s_->dir / "info.xm", bytes);
        explorer().refreshFileList();
        select("info.xm");
        InfoWindow* info = InfoWindow::show(*s_->main, &explorer(), s_->dialogs, folder(), "info.xm");
        QVERIFY(info);
        QVERIFY(!s_->main->isEnabled());
        const QStringList v = info->values();
        QCOMPARE(v.size(), 15);
        QCOMPARE(v[1], QString("info.xm"));
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
        QCOMPARE(v[6], QString("4"));
        QCOMPARE(v[11], QString("Linear"));
        QCOMPARE(v[14], QString("0 1 2 1 "));
        info->close();
        QVERIFY(s_->main->isEnabled());
        // A file that is no XM: the message and no window.
        QVERIFY(!InfoWindow::show(*s_->main, &explorer(), s_->dialogs, folder(), "fake.xm"));
        QCOMPARE(s_->dialogs.lastText(), QString("File isn't a valid XM"));
        QVERIFY(s_->main->isEnabled());
    }

    void exitDeletesScratchFiles() {
        select("four.xm");
        explorer().loadSelectedFile();
        QVERIFY(hasScratchFiles());
        s_->main->show();
        QVERIFY(s_->main->close());
        QVERIFY(!hasScratchFiles());
    }
};

QTEST_MAIN(ExplorerTest)
#include "explorer_test.moc"
