#include <QtTest>

#include "base/paths.hpp"
#include "support/window_session.hpp"

using namespace ferro;

// The module named at start loads from its own folder, as the explorer's
// Load loads it; a name that does not lead to a module is said once.
class StartModuleTest : public QObject {
    Q_OBJECT

private slots:
    void moduleNamedAtStart_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("loads");
        QTest::newRow("another folder") << "Démo songs/song.xm" << true;
        QTest::newRow("missing") << "Démo songs/gone.xm" << false;
        // Not the module of the same name where the explorer starts.
        QTest::newRow("missing folder") << "gone/song.xm" << false;
    }
    void moduleNamedAtStart() {
        QFETCH(QString, argument);
        QFETCH(bool, loads);
        test::WindowSession s;
        const auto songs = s.dir.path() / pathFromUtf8("Démo songs");
        std::filesystem::create_directories(songs);
        for (const auto& file : {s.dir.path() / "song.xm", songs / "song.xm"})
            test::writeFileBytes(file, test::buildXm(test::XmLayout{}));
        QVERIFY(s.start());
        s.main->loadModuleAtStart(argument);
        QCOMPARE(s.main->songModel().isLoaded(), loads);
        QCOMPARE(s.dialogs.messages.size(), loads ? 0u : 1u);
        if (loads) QCOMPARE(s.main->explorer()->shownFolder(), QDir::cleanPath(s.folder() + "/Démo songs"));
    }
};

QTEST_MAIN(StartModuleTest)
#include "start_module_test.moc"
