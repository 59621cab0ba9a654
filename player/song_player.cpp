#include "player/song_player.hpp"

#include <utility>

namespace ferro {

struct SongPlayer::State {
    Bytes song;
    PlayerOptions options;
    std::uint32_t next = 0;
    bool ended = false;
    std::optional<std::string> error;
    std::vector<std::string> warnings;
};

SongPlayer::SongPlayer(std::span<const std::uint8_t> song, PlayerOptions options)
    : state_(std::make_unique<State>()) {
    state_->song.assign(song.begin(), song.end());
    state_->options = std::move(options);
}

SongPlayer::~SongPlayer() = default;
SongPlayer::SongPlayer(const SongPlayer& other) : state_(std::make_unique<State>(*other.state_)) {}
SongPlayer& SongPlayer::operator=(const SongPlayer& other) {
    if (this != &other) state_ = std::make_unique<State>(*other.state_);
    return *this;
}
SongPlayer::SongPlayer(SongPlayer&&) noexcept = default;
SongPlayer& SongPlayer::operator=(SongPlayer&&) noexcept = default;

bool SongPlayer::step(Frame& frame) {
    frame.writes.clear();
    frame.z80HeldUntilNextFrame = false;
    if (state_->ended || state_->error) return false;
    frame.index = state_->next++;
    state_->ended = true;
    return true;
}

std::uint32_t SongPlayer::nextFrame() const { return state_->next; }
bool SongPlayer::ended() const { return state_->ended; }
const std::optional<std::string>& SongPlayer::error() const { return state_->error; }
std::optional<SongLoop> SongPlayer::loop() const { return std::nullopt; }
const std::vector<std::string>& SongPlayer::warnings() const { return state_->warnings; }

SongScan scanSong(std::span<const std::uint8_t> song, const PlayerOptions& options,
                  std::uint32_t maxFrames) {
    SongPlayer player(song, options);
    SongScan scan;
    Frame frame;
    while (scan.frames < maxFrames && player.step(frame)) {
        ++scan.frames;
        if (player.loop()) break;
    }
    scan.ended = player.ended();
    scan.loop = player.loop();
    scan.error = player.error();
    return scan;
}

}  // namespace ferro
