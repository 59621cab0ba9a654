// What only Windows has: drive letters and backslashes in the explorer,
// folder names outside the ANSI code page, and where the two kinds of
// settings are kept (the options byte in the start-up folder, the sound
// folder in an INI file under the user's AppData, never the registry).
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/main_window.hpp"
#include "ui/common/sound_folder.hpp"
#include "ui/common/scratch_area.hpp"
#include "ui/support/fake_dialogs.hpp"
#include "support/xm_writer.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;

namespace {
std::vector<std::uint8_t> module() {
    test::XmLayout layout;
    layout.channelCount = 4;
    layout.orderTable = {0};
    test::XmPatternLayout p;
    p.rows = 8;
    p.cells.assign(8 * 4, test::noteCell(49, 1));
    layout.patterns = {p};
    return test::buildXm(layout);
}

QString nativeOf(const std::filesystem::path& path) { return QDir::toNativeSeparators(QString::fromStdU16String(path.u16string())); }
}  // namespace

class WindowsPlacesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    test::TempDir scratch_;
    std::unique_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<MainWindow> main_;
    QString startFolder_;

    void startIn(const std::filesystem::path& folder) {
        QDir::setCurrent(QString::fromStdU16String(folder.u16string()));
        dialogs_ = std::make_unique<test::FakeDialogs>();
        ScratchArea::setRoot(QString::fromStdU16String((scratch_.path() / "scratch").u16string()));
        main_ = std::make_unique<MainWindow>(*dialogs_);
        QVERIFY(main_->startUp());
    }

private slots:
    void init() {
        startFolder_ = QDir::currentPath();
        dir_ = std::make_unique<test::TempDir>();
    }
    void cleanup() {
        main_.reset();
        dialogs_.reset();
        QDir::setCurrent(startFolder_);
        dir_.reset();
    }

    void drivesAreListedWithLetterAndBackslash() {
        startIn(dir_->path());
        auto* drives = main_->explorer()->findChild<QComboBox*>("driveBox");
        QVERIFY(drives);
        QStringList roots;
        for (int i = 0; i < drives->count(); ++i) roots << drives->itemText(i);
        QVERIFY2(roots.contains("C:\\"), qPrintable(roots.join(' ')));
        for (const QString& root : roots)
            QVERIFY2(QRegularExpression("^[A-Z]:\\\\$").match(root).hasMatch(), qPrintable(root));
        // The drive of the folder shown is the one chosen.
        QCOMPARE(drives->currentText(), nativeOf(dir_->path()).left(3));
    }

    // A folder typed the Windows way (backslashes, any letters) is shown,
    // its module loads, and the main window names it the Windows way.
    void nativeFoldersLoad_data() {
        QTest::addColumn<QString>("subfolder");
        QTest::newRow("plain") << "songs";
        QTest::newRow("accented") << QString::fromUtf8("Lieder für Ärger");
        QTest::newRow("beyond ANSI") << QString::fromUtf8("音楽\\Ünïcode ♪");
    }
    void nativeFoldersLoad() {
        QFETCH(QString, subfolder);
        const std::filesystem::path folder = dir_->path() / std::filesystem::path(subfolder.toStdU16String());
        std::filesystem::create_directories(folder);
        test::writeFileBytes(folder / std::filesystem::path(u"Tüne.xm"), module());
        startIn(dir_->path());
        ExplorerWindow& explorer = *main_->explorer();
        const QString native = nativeOf(folder);
        QVERIFY(native.contains('\\') && !native.contains('/'));
        explorer.changeDirectory(native);
        QCOMPARE(QDir::toNativeSeparators(explorer.shownFolder()), native);
        auto* files = explorer.findChild<QListWidget*>("fileList");
        QVERIFY(files);
        QCOMPARE(files->count(), 1);
        files->setCurrentRow(0);
        explorer.selectFile();
        explorer.loadSelectedFile();
        QVERIFY2(explorer.isLoaded(), qPrintable(dialogs_->lastText()));
        QCOMPARE(main_->statusText(), "XM file loaded: " + native + QString::fromUtf8("\\Tüne.xm"));
    }

    void settingsPlaces() {
        const std::filesystem::path start = dir_->path() / std::filesystem::path(u"Start ü 音");
        std::filesystem::create_directory(start);
        startIn(start);
        // The options byte beside the start-up folder, whatever its name.
        QVERIFY(std::filesystem::exists(start / "ferrosettings.ini"));

        const QString appData = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
        QVERIFY(!appData.isEmpty());
        QSettings settings = userSettings();
        QCOMPARE(settings.format(), QSettings::IniFormat);
        QCOMPARE(QDir::fromNativeSeparators(settings.fileName()), appData + "/Ferrocanto/Ferrocanto.ini");
        const QString before = soundFolderSetting();
        setSoundFolderSetting(QString::fromUtf8("D:\\Sonic 1 ü"));
        QCOMPARE(soundFolderSetting(), QString::fromUtf8("D:\\Sonic 1 ü"));
        QVERIFY(QFile::exists(settings.fileName()));
        QVERIFY(QSettings("HKEY_CURRENT_USER\\Software\\Ferrocanto", QSettings::NativeFormat).allKeys().isEmpty());
        setSoundFolderSetting(before);
    }
};

QTEST_MAIN(WindowsPlacesTest)
#include "windows_places_test.moc"
