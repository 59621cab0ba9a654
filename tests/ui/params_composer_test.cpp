// What General and More parametres show a composer: every channel frame in
// view, the maps naming and marking the instruments the song plays, and the
// module's tempo matched with one click.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QtTest>

#include "support/window_session.hpp"
#include "ui/params/general_window.hpp"
#include "ui/params/more_window.hpp"

using namespace ferro;

namespace {

// At 1280 x 1024: channel 1 plays instrument 1, channel 2 instrument 3,
// channel 3 notes 37 and 40 of instrument 2.
struct Session : test::WindowSession {
    Session() {
        test::XmLayout layout;
        layout.channelCount = 8;
        layout.tempo = 7;
        layout.bpm = 112;
        layout.instruments = {{"Slap bass", {}}, {"Kick", {12}}, {"Lead", {}}};
        layout.patterns[0].cells = {test::noteCell(25, 1), test::noteCell(49, 3), test::noteCell(37, 2), {}, {}, {},
                                    {}, {}, {}, {}, test::noteCell(40, 2)};
        write("song.xm", test::buildXm(layout));
        if (!start()) qFatal("the main window did not start");
        main->resize(1280, 1024);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()) || !load("song.xm")) qFatal("the module did not load");
    }
};

// The texts of the rows shown, or of the bold ones.
QStringList rows(QListWidget* list, bool bold) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        if (bold ? list->item(row)->font().bold() : !list->isRowHidden(row)) texts << list->item(row)->text();
    return texts;
}

}  // namespace

class ParamsComposerTest : public QObject {
    Q_OBJECT
private slots:
    void everyChannelFrameInView_data() {
        QTest::addColumn<bool>("drums");
        QTest::addColumn<int>("psgCount");
        QTest::addColumn<bool>("noise");
        for (bool drums : {true, false})
            for (int psg = 0; psg <= 3; ++psg)
                for (bool noise : {true, false})
                    QTest::addRow("drums %d PSG %d noise %d", drums, psg, noise) << drums << psg << noise;
    }
    // FM 6, there when the song has no drums, included.
    void everyChannelFrameInView() {
        QFETCH(bool, drums);
        QFETCH(int, psgCount);
        QFETCH(bool, noise);
        Session s;
        SongModel& model = s.main->songModel();
        model.setHasDrums(drums);
        model.setUseNoise(noise);
        model.setPsgChannelCount(psgCount);
        model.setFmChannelCount(6);
        QApplication::processEvents();
        MoreWindow* more = s.main->moreWindow();
        const QRect area = s.main->findChild<QMdiArea*>()->viewport()->rect();
        QVERIFY(area.contains(qobject_cast<QMdiSubWindow*>(more->parentWidget())->geometry()));
        QWidget* viewport = more->findChild<QScrollArea*>("MoreScroll")->viewport();
        const auto frames = more->findChildren<QGroupBox*>(QRegularExpression("ChannelFrame"));
        QCOMPARE(frames.size(), 11);
        for (QGroupBox* frame : frames) {
            const QRect inView(frame->mapTo(viewport, QPoint(0, 0)), frame->size());
            QVERIFY2(!frame->isVisible() || viewport->rect().contains(inView), qPrintable(frame->title()));
        }
    }

    // The FM map names the instruments and voices, marks in bold what the FM
    // channels play, and the box hides the rest.
    void mapsNameAndMarkThePlayedInstruments() {
        Session s;
        SongModel& model = s.main->songModel();
        model.chooseChannel(0, 1);
        model.chooseChannel(1, 2);
        model.addVoice("Warm pad", FmVoice{});
        MoreWindow* more = s.main->moreWindow();
        auto* keys = more->findChild<QListWidget*>("fmKeyList");
        const QStringList played{"1 Slap bass", "3 Lead"};
        QCOMPARE(rows(keys, true), played);
        QCOMPARE(more->findChild<QListWidget*>("fmVoiceList")->item(0)->text(), QString("0 Warm pad"));
        auto* box = more->findChild<QCheckBox*>("playedOnlyBox");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        QCOMPARE(rows(keys, false), played);
        QCOMPARE(keys->count(), 256);
        model.chooseChannel(1, std::nullopt);
        QCOMPARE(rows(keys, false), QStringList{"1 Slap bass"});
    }

    void matchingTheModulesTempo() {
        Session s;
        GeneralWindow* general = s.main->generalWindow();
        s.main->bringToFront(general);
        QCOMPARE(general->findChild<QLabel*>("moduleTempoLabel")->text(),
                 QString("Module: speed 7, BPM 112: a row every 156 ms"));
        auto* button = general->findChild<QPushButton*>("matchTempoButton");
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        QCOMPARE(general->findChild<QListWidget*>("timingList")->currentItem()->text(), QString("07"));
        QCOMPARE(general->findChild<QListWidget*>("tempoList")->currentItem()->text(), QString("04"));
        QCOMPARE(general->findChild<QLabel*>("statusPanel")->text(),
                 QString("a row every 156 ms in the module, 156 ms in the song: the same speed"));
    }
};

QTEST_MAIN(ParamsComposerTest)
#include "params_composer_test.moc"
