#pragma once
// Hearing the song in the program: the song's bytes are played by the
// player, as the driver chosen plays them, into a VGM, rendered to sound in a worker thread and played through
// the system's audio output while the rest is still rendering. The same
// worker writes VGM and WAV files for the File menu's exports.
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "base/byte_reader.hpp"
#include "base/stop_flag.hpp"
#include "player/chip_events.hpp"
#include "player/wav_render.hpp"

class QIODevice;

namespace ferro {

class PcmStream;
struct SongHearing;

// Where the preview's sound goes: 44.1 kHz, 16-bit, stereo, pulled from a
// device. The real one is Qt Multimedia's audio sink; tests use their own.
class AudioOut {
public:
    virtual ~AudioOut() = default;
    virtual bool available() const = 0;
    // An empty string, or the one line that says why the output cannot play.
    virtual QString start(QIODevice* source) = 0;
    virtual void stop() = 0;
    // Stereo samples the output has played since start().
    virtual std::int64_t playedSamples() const = 0;
};

// The system's default audio output.
std::unique_ptr<AudioOut> systemAudioOut();

inline constexpr const char* kNoAudioOutput = "No audio output device";

struct PreviewRequest {
    Bytes song;
    QString name;         // for the VGM's tag
    QString soundFolder;  // a disassembly for the driver, or empty for the built-in sounds
    int loops = 2;
    // The driver that plays the song and, for Sonic 2, the Z80 address its
    // bytes were written for.
    SongPlacement placement;
};

class SongPreview : public QObject {
    Q_OBJECT
public:
    explicit SongPreview(std::unique_ptr<AudioOut> out, QObject* parent = nullptr);
    ~SongPreview() override;

    // Starts rendering and playing; a preview or export under way is stopped
    // first. Without an audio output: failed(kNoAudioOutput), nothing else.
    void play(PreviewRequest request);
    // Writes a .vgm or .wav file (chosen by the extension) in the worker.
    void exportFile(PreviewRequest request, const QString& path);
    // Stops rendering and playing; stopped() follows.
    void stop();
    bool busy() const { return busy_; }
    bool outputAvailable() const { return out_->available(); }

signals:
    void progress(int percent);             // rendering, 0..100
    void soundDataUsed(const QString& line);  // which sound data the render used
    void positionChanged(const QString& text);  // "0:12 / 1:40" while playing
    void exported(const QString& path);
    // Before exported(): the one line saying that the VGM repeats a pass
    // where the game would go on (the song's state did not come back).
    void loopNote(const QString& line);
    void stopped();                          // after play() or exportFile() ends, whichever way
    void failed(const QString& message);     // then stopped()

private:
    void startWorker(PreviewRequest request, const QString& exportPath);
    // What the workers run.
    QString render(const PreviewRequest& request, const QString& exportPath, const std::shared_ptr<PcmStream>& stream,
                   const StopFlag& stop);
    std::optional<std::string> playRendered(const SongHearing& hearing, const std::shared_ptr<PcmStream>& stream,
                                            const StopFlag& stop);
    RenderProgress progressReport(const std::shared_ptr<PcmStream>& stream);
    void post(const std::shared_ptr<PcmStream>& stream, std::function<void()> f);
    // Back on the window's thread.
    void reapWorker(std::thread::id id);
    void workerDone(const QString& error, const QString& exportedPath);
    void tick();
    void finish();

    std::unique_ptr<AudioOut> out_;
    // The current job's worker last; the stopped ones before it end on their own.
    std::list<std::thread> workers_;
    std::shared_ptr<StopFlag> stop_;  // the current job's
    // The current job's sound, and what tells its news from a stopped job's.
    std::shared_ptr<PcmStream> stream_;
    QTimer timer_;
    std::uint64_t totalSamples_ = 0;
    bool busy_ = false;
    bool playing_ = false;
    bool rendered_ = false;
};

}  // namespace ferro
