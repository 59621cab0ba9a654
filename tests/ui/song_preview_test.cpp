// The song preview over a fake audio output: it renders in the background,
// plays the whole render and stops, stops at once when asked, and exports
// what the library renders. Play without an output is the play test's.
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "core/player/player_test_util.hpp"
#include "player/song_render.hpp"
#include "player/wav_render.hpp"
#include "ui/player/song_preview.hpp"
#include "support/fake_audio_out.hpp"
#include "support/temp_dir.hpp"

using namespace ferro;

namespace {

// How long a render may take before a test gives up waiting for it: under the
// sanitizers, with the other tests running beside it, rendering the short
// song to WAV took 8.5 s. A wait ends as soon as its condition holds.
constexpr int kRenderWait = 120'000;

// A song of a few seconds that ends: FM1 plays two notes.
Bytes shortSong() {
    return test::buildSong({.div = 3, .tempo = 2, .fm = {{{0xA1, 0x30, 0xA5, 0x30, 0xF2}, 0, 0, 0, true}}});
}

}  // namespace

class SongPreviewTest : public QObject {
    Q_OBJECT

    test::FakeAudioState audio_;
    std::unique_ptr<SongPreview> preview_;

private slots:
    void init() {
        audio_ = {};
        preview_ = std::make_unique<SongPreview>(std::make_unique<test::FakeAudioOut>(audio_));
    }
    void cleanup() { preview_.reset(); }

    void playsTheWholeRenderThenStops() {
        QSignalSpy stopped(preview_.get(), &SongPreview::stopped);
        QSignalSpy position(preview_.get(), &SongPreview::positionChanged);
        QSignalSpy used(preview_.get(), &SongPreview::soundDataUsed);
        QSignalSpy progress(preview_.get(), &SongPreview::progress);
        preview_->play({shortSong(), "x", {}, 2});
        QVERIFY(preview_->busy());
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().at(0).toInt() == 100, kRenderWait);
        QCOMPARE(used.count(), 1);
        QVERIFY(used.at(0).at(0).toString().startsWith("Sound data: built in"));
        QCOMPARE(audio_.starts, 1);
        while (test::drain(audio_) > 0) {
        }
        const SongRender render = renderSongToVgm(shortSong(), builtInSoundData(), "x");
        QVERIFY(render.ended);
        QCOMPARE(static_cast<std::uint64_t>(audio_.readBytes), renderedLength(render.vgm, 2) * 4);
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, kRenderWait);
        const QString length = QString::fromStdString(minutesAndSeconds(renderedLength(render.vgm, 2)));
        QCOMPARE(position.last().at(0).toString(), length + " / " + length);
        QVERIFY(!preview_->busy());
        QCOMPARE(audio_.stops, 1);
    }

    void stopEndsRenderAndOutput() {
        // A song that loops for minutes: stopped long before its end.
        const Bytes song = test::buildSong({.fm = {{{0xA1, 0x7F, 0xF6, 0xFF, 0xFC}, 0, 0, 0, true}}});
        QSignalSpy stopped(preview_.get(), &SongPreview::stopped);
        QSignalSpy failed(preview_.get(), &SongPreview::failed);
        preview_->play({song, "x", {}, 100});
        QTRY_COMPARE_WITH_TIMEOUT(audio_.starts, 1, kRenderWait);
        preview_->stop();
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(audio_.stops, 1);
        QVERIFY(!preview_->busy());
        QTest::qWait(50);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(failed.count(), 0);
    }

    void refusedSongFailsWithThePlayersMessage() {
        QSignalSpy failed(preview_.get(), &SongPreview::failed);
        QSignalSpy stopped(preview_.get(), &SongPreview::stopped);
        preview_->play({test::buildSong({.fm = {{{0xA1, 0x01, 0xFA}, 0, 0, 0, false}}}), "x", {}, 2});
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, kRenderWait);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QString("FM1 at offset 0010: flag FA is undefined"));
        QCOMPARE(audio_.starts, 0);
    }

    void exportsVgmAndWav() {
        test::TempDir dir;
        QSignalSpy exported(preview_.get(), &SongPreview::exported);
        QSignalSpy stopped(preview_.get(), &SongPreview::stopped);
        const QString vgm = QString::fromStdString((dir / "song.vgm").string());
        preview_->exportFile({shortSong(), "Song", {}, 2}, vgm);
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, kRenderWait);
        QCOMPARE(exported.count(), 1);
        QCOMPARE(exported.at(0).at(0).toString(), vgm);
        QCOMPARE(dir.read("song.vgm"), renderSongToVgm(shortSong(), builtInSoundData(), "Song").vgm);
        if (!wavRenderAvailable()) return;
        preview_->exportFile({shortSong(), "Song", {}, 2}, QString::fromStdString((dir / "song.wav").string()));
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 2, kRenderWait);
        QCOMPARE(exported.count(), 2);
        QVERIFY(dir.read("song.wav").size() > 44 + 44100 * 4);
        QCOMPARE(audio_.starts, 0);
    }

    // The request's driver plays the song, from the address it gives, with
    // that driver's sound data.
    void exportsASonic2SongAsItsDriverPlaysIt() {
        const Bytes song = test::sonic2Song(0x8800, 0xC0, {{0xEF, 0x00, 0xA1, 0x30, 0xA5, 0x30, 0xF2}}, {0x81, 0x18, 0xF2});
        const SongPlacement placement{SoundDriver::Sonic2, 0x8800, std::nullopt};
        test::TempDir dir;
        QSignalSpy used(preview_.get(), &SongPreview::soundDataUsed);
        QSignalSpy stopped(preview_.get(), &SongPreview::stopped);
        PreviewRequest request{song, "Song", {}, 2, placement};
        preview_->exportFile(request, QString::fromStdString((dir / "song.vgm").string()));
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, kRenderWait);
        const SongRender want =
            renderSongToVgm(song, builtInSoundData(SoundDriver::Sonic2), "Song", kMaxRenderFrames, nullptr, placement);
        QVERIFY(!want.error);
        QCOMPARE(dir.read("song.vgm"), want.vgm);
        QCOMPARE(used.count(), 1);
        QVERIFY(used.at(0).at(0).toString().startsWith("Sound data: built in for Sonic 2"));
    }

    // A VGM that repeats a pass where the game would go on says so in one
    // line before it is written.
    void exportedVgmWithoutARepeatSaysSo() {
        // FM1 raises its volume on every pass of 144 frames: 256 passes, past
        // the 10 minutes looked ahead.
        const Bytes rising =
            test::buildSong({.div = 1, .tempo = 2, .fm = {{{0xE6, 0x01, 0xA1, 0x48, 0xF6, 0xFF, 0xFA}, 0, 0, 0, true}}});
        test::TempDir dir;
        QSignalSpy note(preview_.get(), &SongPreview::loopNote);
        QSignalSpy exported(preview_.get(), &SongPreview::exported);
        QSignalSpy stopped(preview_.get(), &SongPreview::stopped);
        preview_->exportFile({rising, "Rising", {}, 2}, QString::fromStdString((dir / "rising.vgm").string()));
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 30000);
        QCOMPARE(exported.count(), 1);
        QCOMPARE(note.count(), 1);
        QCOMPARE(note.at(0).at(0).toString(),
                 QString("the song's state does not repeat within 10 minutes; from 0:04 the VGM repeats a pass where "
                         "the game would go on"));
        // A song whose state repeats says nothing.
        preview_->exportFile({shortSong(), "Song", {}, 2}, QString::fromStdString((dir / "song.vgm").string()));
        QTRY_COMPARE(stopped.count(), 2);
        QCOMPARE(note.count(), 1);
    }
};

QTEST_MAIN(SongPreviewTest)
#include "song_preview_test.moc"
