#include "player/song_render.hpp"

#include <gtest/gtest.h>

#include "player/song_player.hpp"
#include "player_test_util.hpp"
#include "vgm_read.hpp"

namespace ferro {
namespace {

using test::VgmWrite;

test::TrackBytes fm(Bytes data, std::uint8_t volume = 0) { return {std::move(data), 0, volume, 0, false}; }
test::TrackBytes psg(Bytes data, std::uint8_t envelope) { return {std::move(data), 0, 0, envelope, false}; }

std::vector<VgmWrite> playerWrites(const Bytes& song, const SoundData& sound, std::uint32_t frames) {
    PlayerOptions options;
    options.psgEnvelopes = sound.psgEnvelopes;
    return test::playerVgmWrites(song, options, frames);
}

std::vector<VgmWrite> withoutDac(const std::vector<VgmWrite>& writes) {
    std::vector<VgmWrite> out;
    for (const auto& w : writes)
        if (!(w.chip == VgmWrite::Chip::Ym0 && (w.reg == 0x2A || (w.reg == 0x2B && w.value == 0x80 && w.sample > 0))))
            out.push_back(w);
    return out;
}

TEST(SongRender, LoopingSongReadsBackAsThePlayerPlaysIt) {
    // FM1 loops every 96 frames from frame 3, PSG1 every 4, the drums every 16.
    const test::TestSong song{.div = 3, .tempo = 2, .dac = Bytes{0x81, 0x02, 0x88, 0x02, 0xF6, 0xFF, 0xFB},
                              .fm = {fm({0xE0, 0xC0, 0xEF, 0x00, 0xB1, 0x08, 0x80, 0xF6, 0xFF, 0xF7}, 0x10)},
                              .psg = {psg({0x81, 0x01, 0xF6, 0xFF, 0xFC}, 1)}};
    const Bytes bytes = test::buildSong(song);
    const SoundData sound = builtInSoundData();
    const SongRender render = renderSongToVgm(bytes, sound, "Looping");
    ASSERT_FALSE(render.error);
    ASSERT_TRUE(render.loop);
    const std::uint32_t frames = render.loop->startFrame + render.loop->lengthFrames;
    EXPECT_EQ(render.frames, frames);
    EXPECT_EQ(render.notes.front(), sound.summary());

    const test::VgmRead r = test::readVgm(render.vgm);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(withoutDac(r.writes), playerWrites(bytes, sound, frames));
    EXPECT_EQ(r.totalSamples, frames * 735u);
    EXPECT_EQ(r.loopSamples, render.loop->lengthFrames * 735u);
    EXPECT_TRUE(r.loopOffsetOnCommand);
    EXPECT_EQ(r.loopSample, render.loop->startFrame * 735u);
    // Kick and timpani (at pitch 12) take turns from frame 1.
    const Bytes& kick = sound.drum(DrumSample::Kick).pcm;
    std::size_t k = 0;
    for (const auto& w : r.writes)
        if (w.reg == 0x2A && w.chip == VgmWrite::Chip::Ym0 && w.sample >= 735 && k < 20) {
            EXPECT_EQ(w.value, kick[k]);
            ++k;
        }
    EXPECT_EQ(k, 20u);
    for (auto c : r.commands)
        EXPECT_TRUE(c == 0x50 || c == 0x52 || c == 0x53 || c == 0x61 || c == 0x62 || c == 0x63 || c == 0x66 ||
                    c == 0x67 || (c & 0xF0) == 0x70 || (c & 0xF0) == 0x80 || c == 0xE0)
            << int(c);
}

TEST(SongRender, EndingSongKeepsOneSecondOfRelease) {
    const Bytes bytes = test::buildSong({.fm = {fm({0xA1, 0x01, 0xF2})}});
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), "Ends");
    ASSERT_FALSE(render.error);
    EXPECT_TRUE(render.ended);
    EXPECT_FALSE(render.loop);
    const test::VgmRead r = test::readVgm(render.vgm);
    EXPECT_EQ(r.totalSamples, render.frames * 735u + 44100u);
    EXPECT_EQ(r.loopOffset, 0u);
    EXPECT_EQ(withoutDac(r.writes), playerWrites(bytes, builtInSoundData(), render.frames));
}

TEST(SongRender, SongThatNeverEndsPlaysItsFirstFrames) {
    // Tempo 1 stalls every frame: the song neither advances, loops nor ends.
    const Bytes bytes = test::buildSong({.tempo = 1, .fm = {fm({0xA1, 0x01, 0xF6, 0xFF, 0xFC})}});
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), "Stuck", 150);
    ASSERT_FALSE(render.error);
    EXPECT_EQ(render.frames, 150u);
    EXPECT_FALSE(render.loop);
    EXPECT_FALSE(render.ended);
    EXPECT_EQ(render.notes.back(), "The song neither ends nor loops within 0:02: its first 0:02 play");
    const test::VgmRead r = test::readVgm(render.vgm);
    EXPECT_EQ(r.totalSamples, 150u * 735u);
    EXPECT_EQ(r.loopOffset, 0u);
}

TEST(SongRender, NotesNameTheRequestsThatPlaySilent) {
    // 84 has no sample; 87 is the SEGA voice, deaf to the 90 after it.
    const Bytes bytes = test::buildSong({.dac = Bytes{0x84, 0x02, 0x87, 0x02, 0x90, 0x02, 0xF2}});
    const std::string garbage = "1 DAC requests for samples other than the kick, snare, timpani and SEGA voice play silent";
    SoundData sound = builtInSoundData();
    EXPECT_EQ(renderSongToVgm(bytes, sound, "x").notes,
              (std::vector<std::string>{sound.summary(), garbage,
                                        "1 DAC requests for the SEGA voice play silent: the sound data has no sega.pcm"}));
    sound.sega.pcm.assign(kSegaPcmSize, 0x40);
    sound.sega.fromFolder = true;
    EXPECT_EQ(renderSongToVgm(bytes, sound, "x").notes, (std::vector<std::string>{sound.summary(), garbage}));
}

TEST(SongRender, RefusedSongGivesThePlayersMessage) {
    const SongRender render =
        renderSongToVgm(test::buildSong({.fm = {fm({0xA1, 0x01, 0xFA})}}), builtInSoundData(), "x");
    ASSERT_TRUE(render.error);
    EXPECT_EQ(*render.error, "FM1 at offset 0010: flag FA is undefined");
    EXPECT_TRUE(render.vgm.empty());
}

TEST(SongRender, MinutesAndSeconds) {
    EXPECT_EQ(minutesAndSeconds(0), "0:00");
    EXPECT_EQ(minutesAndSeconds(12 * 44100 + 44099), "0:12");
    EXPECT_EQ(minutesAndSeconds(100 * 44100), "1:40");
}

}  // namespace
}  // namespace ferro
