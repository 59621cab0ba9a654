// A user's folder through a whole session in the windows: load, convert,
// reload, convert, unload, load again and exit. Nothing of the user's may be
// created, changed or removed but the chosen outputs, and no scratch file may
// be left at the end.
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QtTest>
#include <map>
#include <memory>

#include "app/main_window.hpp"
#include "support/fake_dialogs.hpp"
#include "support/window_session.hpp"
#include "support/xm_writer.hpp"
#include "xm/scratch_files.hpp"
#include "ui/module/explorer_window.hpp"

using namespace ferro;
namespace fs = std::filesystem;

namespace {

struct FileState {
    std::vector<std::uint8_t> bytes;
    fs::file_time_type written;
};

std::map<std::string, FileState> snapshot(const fs::path& dir) {
    std::map<std::string, FileState> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) out[e.path().filename().string()] = {test::readFileBytes(e.path()), e.last_write_time()};
    return out;
}

}  // namespace

class FolderSafetyWindowTest : public QObject {
    Q_OBJECT
private slots:
    void wholeSessionTouchesOnlyOurFiles() {
        test::WindowSession s;
        const test::TempDir& dir = s.dir;
        test::XmLayout layout;
        layout.channelCount = 4;
        test::XmPatternLayout p;
        p.rows = 32;
        p.cells.assign(32 * 4, XmCell{});
        for (int n = 0; n < 4; ++n) p.cells[static_cast<std::size_t>(n)] = test::noteCell(49, 1);
        layout.patterns = {p};
        s.write("song.xm", test::buildXm(layout));
        // The user's own files, some named much like ours.
        const std::vector<std::string> theirs = {"C1.tmp.bak", "C01.tmp", "c1a.tmp", "notes.tmp", "P0C1.tmp.old",
                                                 "BATMAN.tmp", "LOL01.tmp", "myvoices.tmp", "song.bin.txt", "song.asm",
                                                 "other.xm", "ferrosettings.ini.bak"};
        for (std::size_t i = 0; i < theirs.size(); ++i)
            s.write(theirs[i], std::vector<std::uint8_t>(i + 3, static_cast<std::uint8_t>(i)));
        fs::create_directory(dir.path() / "C9.tmp");
        const auto before = snapshot(dir.path());

        s.dialogs.answers = {true, true, true, true};  // "proceed?" with no voices
        QVERIFY(s.start());
        MainWindow& main = *s.main;
        main.show();
        QVERIFY(s.load("song.xm"));
        SongModel& model = main.songModel();
        model.setFmChannelCount(1);
        model.setPsgChannelCount(0);
        model.setHasDrums(false);
        model.chooseChannel(0, 1);
        main.convertSong();
        QCOMPARE(s.dialogs.lastText(), QString("song.bin created successfully!"));
        main.explorer()->reloadXmModule();
        main.convertSong();
        QCOMPARE(s.dialogs.lastText(), QString("song.bin created successfully!"));
        main.explorer()->unloadXmModule();
        main.explorer()->loadSelectedFile();
        QVERIFY(main.close());
        s.main.reset();

        const auto after = snapshot(dir.path());
        for (const auto& [name, state] : before) {
            QVERIFY2(after.count(name), ("removed: " + name).c_str());
            QVERIFY2(after.at(name).bytes == state.bytes, ("changed: " + name).c_str());
            QVERIFY2(after.at(name).written == state.written, ("rewritten: " + name).c_str());
        }
        for (const auto& [name, state] : after) {
            if (before.count(name)) continue;
            // Only the chosen output and the settings file (the program's start-up folder) are new.
            QVERIFY2(name == "song.bin" || name == "ferrosettings.ini", ("created: " + name).c_str());
        }
        QVERIFY(fs::is_directory(dir.path() / "C9.tmp"));
    }
};

QTEST_MAIN(FolderSafetyWindowTest)
#include "folder_safety_window_test.moc"
