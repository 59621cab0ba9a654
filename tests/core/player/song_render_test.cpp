#include "player/song_render.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "player/song_player.hpp"
#include "player/vgm_writer.hpp"
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
    const auto [start, length] = *render.loop;
    EXPECT_EQ(std::pair(render.frames, render.notes.front()), std::pair(start + length, sound.summary()));

    const test::VgmRead r = test::readVgm(render.vgm);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(withoutDac(r.writes), playerWrites(bytes, sound, start + length));
    EXPECT_EQ(std::tuple(r.totalSamples, r.loopSamples, r.loopOffsetOnCommand, r.loopSample),
              std::tuple((start + length) * 735u, length * 735u, true, std::uint64_t{start} * 735u));
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
    EXPECT_EQ(std::pair(render.ended, render.loop), std::pair(true, std::optional<SongLoop>()));
    const test::VgmRead r = test::readVgm(render.vgm);
    EXPECT_EQ(std::pair(r.totalSamples, r.loopOffset), std::pair(render.frames * 735u + 44100u, 0u));
    EXPECT_EQ(withoutDac(r.writes), playerWrites(bytes, builtInSoundData(), render.frames));
}

TEST(SongRender, SongThatNeverEndsPlaysItsFirstFrames) {
    // Notes of 127 frames and no jump: within 150 frames the song neither
    // ends, loops nor comes back to a state it had.
    const Bytes bytes = test::buildSong({.fm = {fm({0xA1, 0x7F, 0xA5, 0x7F, 0xA8, 0x7F, 0xF2})}});
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), "Long", 150);
    ASSERT_FALSE(render.error);
    EXPECT_EQ(std::tuple(render.frames, render.loop, render.ended), std::tuple(150u, std::optional<SongLoop>(), false));
    EXPECT_EQ(render.notes.back(), "The song neither ends nor loops within 0:02: its first 0:02 play");
    const test::VgmRead r = test::readVgm(render.vgm);
    EXPECT_EQ(std::pair(r.totalSamples, r.loopOffset), std::pair(150u * 735u, 0u));
}

TEST(SongRender, TempoOneLoopsItsSilence) {
    // Tempo 1 stalls every frame: the song never advances, and from frame 1
    // on every frame is the one before.
    const Bytes bytes = test::buildSong({.tempo = 1, .fm = {fm({0xA1, 0x01, 0xF6, 0xFF, 0xFC})}});
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), "Stuck");
    ASSERT_FALSE(render.error);
    EXPECT_EQ(std::tuple(render.loop, render.stateRepeats, render.frames),
              std::tuple(std::optional(SongLoop{1, 1}), true, 2u));
}

// The song stepped straight on for `frames` frames into a VGM, its loop
// marked at `loopStart`.
Bytes straightOn(const Bytes& bytes, PlayerOptions options, std::uint32_t frames,
                 std::optional<std::uint32_t> loopStart = std::nullopt) {
    options.loopSearchFrames = 0;
    SongPlayer player(bytes, options);
    const SoundData sound = builtInSoundData();
    VgmWriter writer(sound);
    Frame frame;
    while (player.nextFrame() < frames && player.step(frame)) writer.addFrame(frame, frame.index == loopStart);
    EXPECT_FALSE(player.error());
    return writer.finish("x");
}

// The VGM's writes, its loop played `passes` more times, against a VGM of
// the song stepped straight on for as long: the same writes at the same
// samples, the DAC's included. The first write that differs, if any (past
// the end of the shorter).
std::optional<std::size_t> firstDifferenceFromTheDriver(const Bytes& bytes, const SongRender& render, int passes) {
    const std::uint32_t frames =
        render.loop->startFrame + static_cast<std::uint32_t>(passes + 1) * render.loop->lengthFrames;
    PlayerOptions options;
    options.psgEnvelopes = builtInSoundData().psgEnvelopes;
    const test::VgmRead straight = test::readVgm(straightOn(bytes, options, frames));
    const test::VgmRead looped = test::readVgm(render.vgm, passes);
    EXPECT_EQ(looped.error, "");
    EXPECT_EQ(straight.error, "");
    const auto [a, b] = std::mismatch(looped.writes.begin(), looped.writes.end(), straight.writes.begin(),
                                      straight.writes.end());
    if (a == looped.writes.end() && b == straight.writes.end()) return std::nullopt;
    return static_cast<std::size_t>(a - looped.writes.begin());
}

// Songs whose driver state comes back only after tracks of different loop
// lengths meet again, or after what every pass changes has come round.
struct LoopCase {
    const char* name;
    test::TestSong song;
    SongLoop loop;       // where the state comes back
    SongLoop trackLoop;  // the longest track's jump back, which replayed would be wrong
};

class DriverLoop : public testing::TestWithParam<LoopCase> {};

TEST_P(DriverLoop, VgmLoopPlayedOnIsTheDriverStraightOn) {
    const LoopCase& c = GetParam();
    const Bytes bytes = test::buildSong(c.song);
    EXPECT_EQ(scanSong(bytes, test::testOptions(), kMaxRenderFrames).trackLoop, c.trackLoop);
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), c.name);
    ASSERT_FALSE(render.error) << *render.error;
    ASSERT_EQ(render.loop, c.loop);
    EXPECT_EQ(std::pair(render.stateRepeats, render.frames), std::pair(true, c.loop.startFrame + c.loop.lengthFrames));
    EXPECT_EQ(firstDifferenceFromTheDriver(bytes, render, 3), std::nullopt);

    // What the VGM used to loop, the longest track's pass, is not what the
    // driver plays next.
    SongRender trackPass = render;
    trackPass.vgm = straightOn(bytes, {}, c.trackLoop.startFrame + c.trackLoop.lengthFrames, c.trackLoop.startFrame);
    trackPass.loop = c.trackLoop;
    EXPECT_NE(firstDifferenceFromTheDriver(bytes, trackPass, 3), std::nullopt);
}

// A jump back to offset `to` from the F6 at offset `at` of the same track.
Bytes jumpBack(std::size_t at, std::size_t to) {
    const auto offset = static_cast<std::uint16_t>(static_cast<int>(to) - static_cast<int>(at) - 1);
    return {0xF6, static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)};
}
Bytes loopOf(Bytes before, const Bytes& body) {
    const std::size_t start = before.size();
    before.insert(before.end(), body.begin(), body.end());
    const Bytes jump = jumpBack(before.size() + 1, start);
    before.insert(before.end(), jump.begin(), jump.end());
    return before;
}

// An FM track that loads voice 0 and loops `body` after `before`.
test::TrackBytes fmLoop(const Bytes& before, const Bytes& body) { return {loopOf(before, body), 0, 0, 0, true}; }

const LoopCase kLoopCases[] = {
    // Bars of 8 ticks, 24 frames each (div 2, a stall every third frame):
    // FM1 loops every 3 bars, FM2 and the drums every 4, PSG1 every 2.
    {"LoopsOfThreeAndFourBars",
     {.div = 2, .tempo = 3, .dac = loopOf({}, {0x81, 0x08, 0x82, 0x08, 0x88, 0x08, 0x80, 0x08}),
      .fm = {fmLoop({}, {0xA1, 0x08, 0xA5, 0x08, 0xA8, 0x08}),
             fmLoop({}, {0xB1, 0x08, 0xB3, 0x08, 0xB5, 0x08, 0xB6, 0x08})},
      .psg = {psg(loopOf({}, {0x81, 0x08, 0x85, 0x08}), 1)}},
     {50, 288}, {1, 96}},
    // Every pass raises the volume by one: the state comes back when it has
    // gone round all 256 values (from 80 on the driver writes no TL).
    {"VolumeChangeReadOnEveryPass", {.div = 1, .tempo = 2, .fm = {fmLoop({}, {0xE6, 0x01, 0xA1, 0x02})}}, {4, 1024},
     {3, 4}},
    // Legato notes: the modulation runs on across the jump, and its swing
    // of 16 steps meets the pass of 6 steps (7 frames) every 8 passes.
    {"ModulationAcrossTheJump",
     {.div = 1, .tempo = 7, .fm = {fmLoop({0xF0, 0x01, 0x01, 0x01, 0x07, 0xA1, 0x06}, {0xE7, 0xA1, 0x06})}}, {10, 56},
     {9, 7}},
    // A note played three times by an F7 loop inside the F6 loop, against
    // a PSG track of another length.
    {"RepeatLoopInsideTheJump",
     {.div = 1, .tempo = 4, .fm = {fmLoop({}, {0xA1, 0x02, 0xF7, 0x00, 0x03, 0xFF, 0xFA, 0xA5, 0x04})},
      .psg = {psg(loopOf({}, {0x81, 0x03}), 0)}},
     {3, 40}, {2, 13}},
};

INSTANTIATE_TEST_SUITE_P(SongRender, DriverLoop, testing::ValuesIn(kLoopCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SongRender, WithoutARepeatTheVgmLoopsTheLongestTracksSecondPass) {
    // The volume change of every pass needs 1024 frames to come round; the
    // search looks 300 ahead.
    const Bytes bytes = test::buildSong({.div = 1, .tempo = 2, .fm = {fmLoop({}, {0xE6, 0x01, 0xA1, 0x02})}});
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), "Rising", 300);
    ASSERT_FALSE(render.error);
    EXPECT_EQ(std::tuple(render.loop, render.stateRepeats, render.frames),
              std::tuple(std::optional(SongLoop{7, 4}), false, 11u));
    EXPECT_EQ(render.notes.back(), "the song's state does not repeat within 0:05; from 0:00 the VGM repeats a pass "
                                   "where the game would go on");
    const test::VgmRead r = test::readVgm(render.vgm);
    EXPECT_EQ(withoutDac(r.writes), playerWrites(bytes, builtInSoundData(), 11));
    EXPECT_EQ(r.loopSample, 7u * 735u);

    // What is heard goes on as the driver does: three passes and the fade,
    // straight on, no loop in the VGM.
    const SongHearing hearing = renderSongToHear(bytes, builtInSoundData(), "Rising", 3, 300);
    ASSERT_FALSE(hearing.render.error);
    EXPECT_EQ(std::tuple(hearing.render.loop, hearing.render.frames, hearing.span),
              std::tuple(std::optional(SongLoop{3, 4}), 3u + 3u * 4u + 300u, RenderSpan{315u * 735u, 15u * 735u}));
    const test::VgmRead heard = test::readVgm(hearing.render.vgm);
    EXPECT_EQ(heard.loopOffset, 0u);
    EXPECT_EQ(withoutDac(heard.writes), playerWrites(bytes, builtInSoundData(), 315));
}

TEST(SongRender, WhereTheStateRepeatsTheHeardVgmIsTheVgm) {
    const Bytes bytes = test::buildSong({.fm = {fm({0xA1, 0x04, 0xA5, 0x04, 0xF6, 0xFF, 0xFA})}});
    const SongRender render = renderSongToVgm(bytes, builtInSoundData(), "x");
    const SongHearing hearing = renderSongToHear(bytes, builtInSoundData(), "x", 2);
    ASSERT_TRUE(render.stateRepeats);
    EXPECT_EQ(std::tuple(hearing.render.vgm, hearing.render.loop, hearing.span),
              std::tuple(render.vgm, render.loop, renderSpan(render.vgm, 2)));
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
    EXPECT_EQ(std::pair(render.error, render.vgm),
              std::pair(std::optional<std::string>("FM1 at offset 0010: flag FA is undefined"), Bytes{}));
}

TEST(SongRender, MinutesAndSeconds) {
    for (const auto& [samples, text] : {std::pair<std::uint64_t, const char*>{0, "0:00"}, {12 * 44100 + 44099, "0:12"},
                                        {100 * 44100, "1:40"}})
        EXPECT_EQ(minutesAndSeconds(samples), text);
}

}  // namespace
}  // namespace ferro
