#include "ui/player/song_preview.hpp"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "player/pcm_convert.hpp"
#include "player/song_render.hpp"
#include "player/sound_data.hpp"
#include "player/wav_render.hpp"

namespace ferro {

// The rendered sound between the worker, which appends, and the audio
// output, which reads. What has been read is dropped.
class PcmStream : public QIODevice {
public:
    PcmStream() { open(QIODevice::ReadOnly); }

    void append(std::span<const std::int16_t> pcm) {
        std::lock_guard lock(mutex_);
        const auto* bytes = reinterpret_cast<const char*>(pcm.data());
        data_.insert(data_.end(), bytes, bytes + pcm.size_bytes());
    }
    void finish() {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    bool drained() const {
        std::lock_guard lock(mutex_);
        return done_ && read_ == data_.size();
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        std::lock_guard lock(mutex_);
        // While the worker renders there is always more to come.
        return static_cast<qint64>(data_.size() - read_) + (done_ ? 0 : 4096) + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* out, qint64 max) override {
        std::lock_guard lock(mutex_);
        const auto have = static_cast<qint64>(data_.size() - read_);
        qint64 n = std::min(have, max);
        std::memcpy(out, data_.data() + read_, static_cast<std::size_t>(n));
        read_ += static_cast<std::size_t>(n);
        if (n == 0 && !done_) {
            // The render has fallen behind: a moment of silence rather than
            // an output that stops asking.
            n = std::min<qint64>(max, 1024) & ~qint64{3};
            std::memset(out, 0, static_cast<std::size_t>(n));
        }
        if (read_ > (1u << 20)) {
            data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(read_));
            read_ = 0;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    mutable std::mutex mutex_;
    std::vector<char> data_;
    std::size_t read_ = 0;
    bool done_ = false;
};

namespace {

// The render's sound in another format, converted as the output reads it.
class DeviceFormatStream : public QIODevice {
public:
    DeviceFormatStream(QIODevice* source, PcmFormat format)
        : source_(source), converter_(kRenderRate, format), outPerIn_(double(format.bytesPerFrame()) *
                                                                      format.rate / (4.0 * kRenderRate)) {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return static_cast<qint64>(pending_.size()) + static_cast<qint64>(source_->bytesAvailable() * outPerIn_) +
               QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* out, qint64 max) override {
        while (static_cast<qint64>(pending_.size()) < max) {
            const QByteArray in = source_->read(converter_.inputBytesFor(max - static_cast<qint64>(pending_.size())));
            if (in.isEmpty()) break;
            converter_.convert({reinterpret_cast<const std::int16_t*>(in.constData()),
                                static_cast<std::size_t>(in.size()) / 2},
                               pending_);
        }
        const auto n = std::min<qint64>(max, static_cast<qint64>(pending_.size()));
        std::memcpy(out, pending_.data(), static_cast<std::size_t>(n));
        pending_.erase(pending_.begin(), pending_.begin() + n);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice* source_;
    PcmConverter converter_;
    double outPerIn_;
    std::vector<char> pending_;
};

std::optional<SampleKind> sampleKind(QAudioFormat::SampleFormat format) {
    switch (format) {
    case QAudioFormat::UInt8: return SampleKind::UInt8;
    case QAudioFormat::Int16: return SampleKind::Int16;
    case QAudioFormat::Int32: return SampleKind::Int32;
    case QAudioFormat::Float: return SampleKind::Float;
    default: return std::nullopt;
    }
}

class SystemAudioOut : public AudioOut {
public:
    bool available() const override { return !QMediaDevices::defaultAudioOutput().isNull(); }
    QString start(QIODevice* source) override {
        // The device is given the format it asks for: not every system
        // converts for the program (Media Foundation refuses to).
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        QAudioFormat format = device.preferredFormat();
        const std::optional<SampleKind> kind = sampleKind(format.sampleFormat());
        const PcmFormat render{kRenderRate, 2, SampleKind::Int16};
        PcmFormat wanted = render;
        if (format.isValid() && kind && format.channelCount() > 0) {
            wanted = {format.sampleRate(), format.channelCount(), *kind};
        } else {
            format.setSampleRate(kRenderRate);
            format.setChannelCount(2);
            format.setSampleFormat(QAudioFormat::Int16);
        }
        if (wanted != render) {
            converted_ = std::make_unique<DeviceFormatStream>(source, wanted);
            source = converted_.get();
        }
        sink_ = std::make_unique<QAudioSink>(device, format);
        sink_->start(source);
        if (sink_->error() != QAudio::NoError)
            return "The audio output cannot play " + QString::number(format.sampleRate()) + " Hz sound (" +
                   device.description() + ")";
        return {};
    }
    void stop() override {
        if (sink_) sink_->stop();
        sink_.reset();
        converted_.reset();
    }
    std::int64_t playedSamples() const override {
        return sink_ ? sink_->processedUSecs() * kRenderRate / 1000000 : 0;
    }

private:
    std::unique_ptr<DeviceFormatStream> converted_;
    std::unique_ptr<QAudioSink> sink_;
};

}  // namespace

std::unique_ptr<AudioOut> systemAudioOut() { return std::make_unique<SystemAudioOut>(); }

SongPreview::SongPreview(std::unique_ptr<AudioOut> out, QObject* parent) : QObject(parent), out_(std::move(out)) {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &SongPreview::tick);
}

SongPreview::~SongPreview() {
    // A stopped render gives up within a block of sound: the wait is short.
    if (stop_) *stop_ = true;
    for (std::thread& worker : workers_) worker.join();
    if (playing_) out_->stop();
}

void SongPreview::play(PreviewRequest request) {
    if (busy_) stop();
    if (!out_->available()) {
        emit failed(kNoAudioOutput);
        emit stopped();
        return;
    }
    startWorker(std::move(request), QString());
}

void SongPreview::exportFile(PreviewRequest request, const QString& path) {
    if (busy_) stop();
    startWorker(std::move(request), path);
}

// Each play or export has a worker and a stop flag of its own: a stopped
// worker finishes on its own (leaving no file behind) while the next one
// starts, and the windows never wait for it.
void SongPreview::startWorker(PreviewRequest request, const QString& exportPath) {
    busy_ = true;
    rendered_ = false;
    totalSamples_ = 0;
    stream_ = std::make_shared<PcmStream>();
    stop_ = std::make_shared<StopFlag>(false);
    emit progress(0);
    workers_.emplace_back([this, request = std::move(request), exportPath, stream = stream_, stop = stop_] {
        QString error;
        try {
            error = render(request, exportPath, stream, *stop);
        } catch (...) {
            error = kSomeError;
        }
        post(stream, [this, error, exportPath] { workerDone(error, exportPath); });
        QMetaObject::invokeMethod(
            this, [this, id = std::this_thread::get_id()] { reapWorker(id); }, Qt::QueuedConnection);
    });
}

// On the worker: what the request asks for, rendered. Returns the error, or
// an empty string.
QString SongPreview::render(const PreviewRequest& request, const QString& exportPath,
                            const std::shared_ptr<PcmStream>& stream, const StopFlag& stop) {
    const SoundDriver driver = request.placement.driver;
    const SoundData sound = soundDataFor(driver, request.soundFolder.isEmpty()
                                                     ? std::filesystem::path()
                                                     : pathFromUtf8(request.soundFolder.toStdString()));
    // A VGM file loops where the song does; what is heard follows the driver
    // straight on.
    const bool vgmFile = exportPath.endsWith(".vgm", Qt::CaseInsensitive);
    const std::string name = request.name.toStdString();
    const SongHearing hearing =
        vgmFile ? SongHearing{renderSongToVgm(request.song, sound, name, kMaxRenderFrames, &stop, request.placement), {}}
                : renderSongToHear(request.song, sound, name, request.loops, kMaxRenderFrames, &stop,
                                   request.placement);
    const SongRender& song = hearing.render;
    if (song.error) return QString::fromStdString(*song.error);
    post(stream, [this, line = QString::fromStdString(song.notes.front())] { emit soundDataUsed(line); });
    if (vgmFile && song.loop && !song.stateRepeats) {
        for (const std::string& note : song.notes)
            if (note.starts_with(kNoRepeatNoteStart))
                post(stream, [this, line = QString::fromStdString(note)] { emit loopNote(line); });
    }
    const std::filesystem::path path = pathFromUtf8(exportPath.toStdString());
    std::optional<std::string> error;
    if (exportPath.isEmpty()) {
        error = playRendered(hearing, stream, stop);
    } else if (vgmFile) {
        if (stop) return kStopped;
        if (!replaceWholeFile(path, song.vgm)) error = "Cannot write " + exportPath.toStdString();
    } else {
        error = renderVgmToWav(song.vgm, hearing.span, path, progressReport(stream), &stop);
    }
    return error ? QString::fromStdString(*error) : QString();
}

// On the worker: the sound handed to the audio output as it renders.
std::optional<std::string> SongPreview::playRendered(const SongHearing& hearing,
                                                     const std::shared_ptr<PcmStream>& stream, const StopFlag& stop) {
    post(stream, [this, total = hearing.span.length] {
        totalSamples_ = total;
        if (const QString refused = out_->start(stream_.get()); !refused.isEmpty()) {
            out_->stop();
            emit failed(refused);
            finish();
            return;
        }
        playing_ = true;
        timer_.start();
        tick();
    });
    const auto sink = [&](std::span<const std::int16_t> pcm) {
        stream->append(pcm);
        return !stop;
    };
    auto error = renderVgm(hearing.render.vgm, hearing.span, sink, progressReport(stream), &stop);
    stream->finish();
    return error;
}

// On the worker: the render's progress, said when the percentage changes.
RenderProgress SongPreview::progressReport(const std::shared_ptr<PcmStream>& stream) {
    return [this, stream, last = 0](double fraction) mutable {
        const int percent = static_cast<int>(fraction * 100.0);
        if (percent == last) return;
        last = percent;
        post(stream, [this, percent] { emit progress(percent); });
    };
}

// Runs `f` on the window's thread while the job whose sound is `stream` is
// still the one under way: a stopped job's late news is dropped.
void SongPreview::post(const std::shared_ptr<PcmStream>& stream, std::function<void()> f) {
    QMetaObject::invokeMethod(
        this,
        [this, job = std::weak_ptr<PcmStream>(stream), f = std::move(f)] {
            if (!job.expired() && job.lock() == stream_) f();
        },
        Qt::QueuedConnection);
}

// The worker has posted its last news and is ending: the wait is short.
void SongPreview::reapWorker(std::thread::id id) {
    const auto worker = std::find_if(workers_.begin(), workers_.end(),
                                     [id](const std::thread& t) { return t.get_id() == id; });
    if (worker == workers_.end()) return;
    worker->join();
    workers_.erase(worker);
}

void SongPreview::workerDone(const QString& error, const QString& exportedPath) {
    rendered_ = true;
    if (!error.isEmpty()) {
        emit failed(error);
        finish();
        return;
    }
    emit progress(100);
    if (!exportedPath.isEmpty()) {
        emit exported(exportedPath);
        finish();
    }
}

void SongPreview::tick() {
    if (!playing_) return;
    const auto played = static_cast<std::uint64_t>(std::max<std::int64_t>(0, out_->playedSamples()));
    emit positionChanged(QString::fromStdString(minutesAndSeconds(std::min(played, totalSamples_)) + " / " +
                                                minutesAndSeconds(totalSamples_)));
    if (rendered_ && stream_->drained() && played >= totalSamples_) finish();
}

void SongPreview::stop() {
    if (!busy_) return;
    finish();
}

void SongPreview::finish() {
    if (stop_) *stop_ = true;
    timer_.stop();
    if (playing_) out_->stop();
    playing_ = false;
    busy_ = false;
    stream_.reset();
    emit stopped();
}

}  // namespace ferro
