#pragma once
// An audio output for window tests: no device, the test reads the sound.
#include <QIODevice>
#include <QPointer>

#include "ui/player/song_preview.hpp"

namespace ferro::test {

struct FakeAudioState {
    bool available = true;
    QIODevice* source = nullptr;
    std::int64_t readBytes = 0;
    int starts = 0;
    int stops = 0;
};

class FakeAudioOut : public AudioOut {
public:
    explicit FakeAudioOut(FakeAudioState& state) : state_(state) {}
    bool available() const override { return state_.available; }
    QString start(QIODevice* source) override {
        state_.source = source;
        ++state_.starts;
        return {};
    }
    void stop() override {
        state_.source = nullptr;
        ++state_.stops;
    }
    std::int64_t playedSamples() const override { return state_.readBytes / 4; }

private:
    FakeAudioState& state_;
};

// Plays what has been rendered so far, as an output would.
inline std::int64_t drain(FakeAudioState& state) {
    if (!state.source) return 0;
    const QByteArray bytes = state.source->read(1 << 24);
    state.readBytes += bytes.size();
    return bytes.size();
}

}  // namespace ferro::test
