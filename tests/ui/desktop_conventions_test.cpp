#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QtTest>

#include "support/fake_audio_out.hpp"
#include "support/window_session.hpp"

using namespace ferro;

namespace {

std::vector<std::uint8_t> module(int bpm) {
    test::XmLayout layout;
    layout.bpm = bpm;
    return test::buildXm(layout);
}

// The main window shown and active (so that its shortcuts work) over song.xm
// and other/b.xm.
struct Desktop : test::WindowSession {
    test::FakeAudioState audio;
    Desktop() {
        write("song.xm", module(125));
        dir.write("other/b.xm", module(140));
        start();
        main->setAudioOut(std::make_unique<test::FakeAudioOut>(audio));
        main->show();
        main->activateWindow();
        if (!QTest::qWaitForWindowActive(main.get())) qFatal("the main window is not active");
    }
    ~Desktop() { main.reset(); }  // its audio output plays into `audio`
    QString path(const QString& name) const { return QDir(folder()).filePath(name); }
    bool shows(const QString& name, const char* folder) const {
        const ExplorerWindow& e = *main->explorer();
        return (e.isLoaded() ? e.selectedFileName() : QString()) == name && QDir(e.shownFolder()) == QDir(path(folder));
    }
    bool asked(const char* caption) const {
        return dialogs.fileRequests.size() == 1 && dialogs.fileRequests[0].caption == caption;
    }
    bool playing() const { return main->findChild<QToolButton*>("StopButton")->isEnabled(); }
    // A song of no channel at all: yellow, so that it plays once asked.
    void makePlayable() {
        dialogs.answers = {true};
        main->songModel().setHasDrums(false);
        main->songModel().setFmChannelCount(0);
        main->songModel().setPsgChannelCount(0);
    }
};

}  // namespace

class DesktopConventionsTest : public QObject {
    Q_OBJECT

private slots:
    void onlyADroppedModuleLoads() {
        for (const QString file : {"other/b.xm", "other/notes.txt"}) {
            Desktop d;
            d.dir.write("other/notes.txt", {1});
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(d.path(file))});
            QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(d.main.get(), &enter);
            QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(d.main.get(), &drop);
            QCoreApplication::processEvents();
            const bool xm = file.endsWith(".xm");
            QCOMPARE(enter.isAccepted(), xm);
            QTRY_VERIFY_WITH_TIMEOUT(xm ? d.shows("b.xm", "other") : d.shows(QString(), "."), 20000);
        }
    }

    void theModuleIsFollowedOnDisk() {
        Desktop d;
        QVERIFY(d.load("song.xm"));
        d.main->songModel().setTempo(5);
        d.write("song.xm", module(150));
        QTRY_COMPARE_WITH_TIMEOUT(d.main->statusText(), QString("Reloaded song.xm: it changed on disk"), 20000);
        QCOMPARE(d.main->songModel().module()->header.defaultBpm, 150);
        QCOMPARE(d.main->songModel().settings().tempo, 5);
        d.write("song.xm", {'n', 'o', 't', ' ', 'X', 'M'});  // the last good module stays
        QTRY_VERIFY_WITH_TIMEOUT(d.main->statusText().contains("no longer reads (File isn't a valid XM: song.xm: "), 20000);
        QCOMPARE(d.main->songModel().module()->header.defaultBpm, 150);
        QVERIFY(d.dialogs.messages.empty());
    }

    void recentModulesReopen() {
        Desktop d;
        d.write("gone.xm", module(125));
        for (const char* name : {"gone.xm", "song.xm", "other/b.xm"}) QVERIFY(d.main->openModuleFile(d.path(name)));
        QFile::remove(d.path("gone.xm"));
        auto* recent = d.main->findChild<QMenu*>("RecentModulesMenu");
        recent->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(recent));
        QStringList shown;
        for (QAction* a : recent->actions()) shown << a->text();
        QCOMPARE(shown, QStringList({"&1 " + QDir::toNativeSeparators(d.path("other/b.xm")),
                                     "&2 " + QDir::toNativeSeparators(d.path("song.xm"))}));
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(recent->actions()[1]).center());
        QTRY_VERIFY(d.shows("song.xm", "."));
    }

    void shortcuts() {
        const struct {
            QKeyCombination key;
            void (*before)(Desktop&);
            bool (*happened)(Desktop&);
        } rows[] = {
            {Qt::CTRL | Qt::Key_O, [](Desktop& d) { d.dialogs.files = {d.path("other/b.xm")}; },
             [](Desktop& d) { return d.asked("Open module") && d.shows("b.xm", "other"); }},
            {Qt::CTRL | Qt::SHIFT | Qt::Key_O, nullptr, [](Desktop& d) { return d.asked("Open setup"); }},
            {Qt::CTRL | Qt::Key_S, nullptr, [](Desktop& d) { return d.asked("Save setup"); }},
            {QKeyCombination(Qt::Key_F5), [](Desktop& d) { d.makePlayable(); }, [](Desktop& d) { return d.playing(); }},
            {QKeyCombination(Qt::Key_Escape),
             [](Desktop& d) {
                 d.makePlayable();
                 d.main->playSong();
                 QTRY_COMPARE(d.audio.starts, 1);
             },
             [](Desktop& d) { return !d.playing(); }},
            {Qt::CTRL | Qt::Key_Q, nullptr, [](Desktop& d) { return !d.main->isVisible(); }},
        };
        for (const auto& row : rows) {
            Desktop d;
            QVERIFY(d.load("song.xm"));
            if (row.before) row.before(d);
            QTest::keyClick(d.main.get(), row.key.key(), row.key.keyboardModifiers());
            QTRY_VERIFY2_WITH_TIMEOUT(row.happened(d), qPrintable(QKeySequence(row.key).toString()), 20000);
        }
    }

    void theSetupBesideTheModuleIsOffered() {
        for (const bool yes : {true, false}) {
            Desktop d;
            d.dir.write("song.json", {'{', '"', 't', 'e', 'm', 'p', 'o', '"', ':', '7', '}'});
            d.dialogs.answers = {yes};
            QVERIFY(d.load("song.xm"));
            QCOMPARE(d.dialogs.lastText(), QString("Open the setup saved beside this module, song.json?"));
            QCOMPARE(d.main->songModel().settings().tempo, yes ? 7 : 2);
        }
    }
};

QTEST_MAIN(DesktopConventionsTest)
#include "desktop_conventions_test.moc"
