#include "player/vgm_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "vgm_read.hpp"

namespace ferro {
namespace {

using test::VgmWrite;
using Chip = VgmWrite::Chip;

// When value k of a sample started at `start` is written, at `pitch`.
std::uint64_t dacTime(std::uint64_t start, int pitch, std::size_t k) {
    std::uint64_t cycles = 0;
    for (std::size_t i = 0; i < k; ++i)
        cycles += static_cast<std::uint64_t>(i % 2 == 0 ? dacCyclesAfterHigh(pitch) : dacCyclesAfterLow(pitch));
    return start + cycles * 44100 / 3579545;
}

std::vector<VgmWrite> dacWrites(const std::vector<VgmWrite>& writes) {
    std::vector<VgmWrite> out;
    std::copy_if(writes.begin(), writes.end(), std::back_inserter(out),
                 [](const VgmWrite& w) { return w.chip == Chip::Ym0 && w.reg == 0x2A; });
    return out;
}

TEST(VgmWriter, HeaderFieldsAndGd3) {
    const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    for (int f = 0; f < 4; ++f) w.beginFrame();
    const Bytes vgm = w.finish("Green Hill \xC3\xA9t\xC3\xA9");
    const test::VgmRead r = test::readVgm(vgm);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.eofOffset + 4u, vgm.size());
    EXPECT_GE(r.version, 0x150u);
    // A song that ends has no loop.
    EXPECT_EQ(std::tuple(r.ymClock, r.psgClock, r.feedback, r.shiftWidth, r.rate, r.totalSamples, r.loopOffset,
                         r.loopSamples),
              std::tuple(7670453u, 3579545u, 0x0009, 16, 60u, 4u * 735u, 0u, 0u));
    ASSERT_EQ(r.gd3.size(), 11u);
    EXPECT_EQ(std::vector({r.gd3[0], r.gd3[9]}),
              (std::vector<std::u16string>{u"Green Hill \u00E9t\u00E9", u"Ferrocanto"}));
}

TEST(VgmWriter, FramesReadBackAsTheyWereWritten) {
    const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    // One line a frame, from the load frame 0 to frame 5.
    w.beginFrame(), w.ym(0, 0x2B, 0x80), w.ym(0, 0x28, 0x00), w.psg(0x9F);
    w.beginFrame(), w.ym(1, 0xB4, 0xC0), w.ym(0, 0xA4, 0x22);
    w.beginFrame();
    w.beginFrame(), w.psg(0x90);
    w.beginFrame(), w.markLoop(), w.ym(0, 0x28, 0xF0);
    w.beginFrame();
    const Bytes vgm = w.finish("x");
    const test::VgmRead r = test::readVgm(vgm);
    ASSERT_EQ(r.error, "");
    const std::vector<VgmWrite> want{{0, Chip::Ym0, 0x2B, 0x80}, {0, Chip::Ym0, 0x28, 0x00}, {0, Chip::Psg, 0, 0x9F},
                                     {735, Chip::Ym1, 0xB4, 0xC0}, {735, Chip::Ym0, 0xA4, 0x22},
                                     {2205, Chip::Psg, 0, 0x90}, {2940, Chip::Ym0, 0x28, 0xF0}};
    EXPECT_EQ(r.writes, want);
    EXPECT_EQ(r.totalSamples, 6u * 735u);
    // Whole frames: nothing waits but 0x62 without a sample playing.
    for (auto c : r.commands) EXPECT_TRUE(c == 0x50 || c == 0x52 || c == 0x53 || c == 0x62 || c == 0x66 || c == 0x67) << int(c);
    // The loop starts with the loop frame's first write.
    EXPECT_EQ(std::tuple(r.loopOffsetOnCommand, r.loopSample, r.loopSamples, r.loopOffset + 0x1C),
              std::tuple(true, 2940u, 2u * 735u, r.writeOffsets[6]));
}

TEST(VgmWriter, DrumsPlayAtTheirPitchesAndCutEachOther) {
    const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    // Frame 1: the kick, and a write of the frame's own that comes before the sample's; 3: timpani at 12 cuts it.
    w.beginFrame();
    w.beginFrame(), w.dacRequest(0x81), w.ym(0, 0x28, 0x01);
    w.beginFrame();
    w.beginFrame(), w.dacPitch(0x12), w.dacRequest(0x83);
    for (int f = 4; f < 80; ++f) w.beginFrame();
    const Bytes vgm = w.finish("drums");
    const test::VgmRead r = test::readVgm(vgm);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(std::vector(r.writes.begin(), r.writes.begin() + 2),
              (std::vector<VgmWrite>{{735, Chip::Ym0, 0x28, 0x01}, {735, Chip::Ym0, 0x2B, 0x80}}));
    const auto dac = dacWrites(r.writes);
    const Bytes& kick = sound.drum(DrumSample::Kick).pcm;
    const Bytes& timpani = sound.drum(DrumSample::Timpani).pcm;
    std::size_t k = 0;
    for (; k < dac.size() && dac[k].sample < 2205; ++k)
        EXPECT_EQ(std::pair(dac[k].value, dac[k].sample), std::pair(kick[k], dacTime(735, 0x17, k))) << k;
    EXPECT_GT(k, 100u);
    EXPECT_LT(k, kick.size());
    ASSERT_EQ(dac.size() - k, timpani.size());  // played to its end within 80 frames
    for (std::size_t i = 0; i < timpani.size(); ++i)
        EXPECT_EQ(std::pair(dac[k + i].value, dac[k + i].sample), std::pair(timpani[i], dacTime(2205, 0x12, i))) << i;
    EXPECT_EQ(r.totalSamples, 80u * 735u);
}

TEST(VgmWriter, LoopPointSeeksTheSamplePlayingThere) {
    const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    // Frame 1: the snare, playing through frame 2, where the loop starts; 4: the kick; 5: the snare again.
    w.beginFrame();
    w.beginFrame(), w.dacRequest(0x82);
    w.beginFrame(), w.markLoop();
    w.beginFrame();
    w.beginFrame(), w.dacRequest(0x81);
    w.beginFrame(), w.dacRequest(0x82);
    w.beginFrame();
    const Bytes vgm = w.finish("loop");
    const test::VgmRead once = test::readVgm(vgm);
    const test::VgmRead twice = test::readVgm(vgm, 1);
    ASSERT_EQ(twice.error, "");
    ASSERT_TRUE(once.loopOffsetOnCommand);
    EXPECT_EQ(vgm[once.loopOffset + 0x1C], 0xE0);
    // The second pass sends the chips what the first sent from the loop on.
    std::vector<VgmWrite> first;
    std::vector<VgmWrite> second;
    for (const auto& x : twice.writes) {
        if (x.sample >= once.totalSamples)
            second.push_back({x.sample - once.loopSamples, x.chip, x.reg, x.value});
        else if (x.sample >= once.loopSample)
            first.push_back(x);
    }
    EXPECT_GT(first.size(), 100u);
    EXPECT_EQ(second, first);
}

TEST(VgmWriter, PlayerFramesWithTheZ80HeldPauseTheSample) {
    const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    std::vector<Frame> frames(6);
    frames[0].z80HeldUntilNextFrame = true;
    frames[1].writes = {{ChipPort::Z80, kZ80TimpaniPitch, 0x15}, {ChipPort::Z80, kZ80SampleRequest, 0x83},
                        {ChipPort::Psg, 0, 0x9F}};
    frames[2].z80HeldUntilNextFrame = true;  // a frame ended by the DAC track's stop
    frames[3].writes = {{ChipPort::Ym1, 0xB6, 0x80}};
    for (const auto& f : frames) w.addFrame(f);
    const test::VgmRead r = test::readVgm(w.finish("held"));
    ASSERT_EQ(r.error, "");
    const auto dac = dacWrites(r.writes);
    const Bytes& timpani = sound.drum(DrumSample::Timpani).pcm;
    ASSERT_GT(dac.size(), 200u);
    for (std::size_t k = 0; k < dac.size(); ++k) {
        const std::uint64_t due = dacTime(735, 0x15, k);
        EXPECT_EQ(std::pair(dac[k].value, dac[k].sample), std::pair(timpani[k], due < 1470 ? due : due + 735)) << k;
    }
    EXPECT_EQ(r.writes[0], (VgmWrite{735, Chip::Psg, 0, 0x9F}));
    EXPECT_NE(std::find(r.writes.begin(), r.writes.end(), VgmWrite{2205, Chip::Ym1, 0xB6, 0x80}), r.writes.end());
}

TEST(VgmWriter, RequestsWithoutASampleStopTheDac) {
    const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    w.beginFrame(), w.dacRequest(0x81);
    w.beginFrame(), w.dacRequest(0x85);  // an entry overlapping the kick's data
    w.beginFrame();
    const test::VgmRead r = test::readVgm(w.finish("garbage", 44100));
    EXPECT_EQ(w.unplayedRequests(), 1);
    const auto dac = dacWrites(r.writes);
    ASSERT_FALSE(dac.empty());
    EXPECT_LT(dac.back().sample, 735u);
    EXPECT_EQ(r.totalSamples, 3u * 735u + 44100u);
}

// The SEGA voice from the folder and without it: each byte to the DAC every
// 220 Z80 cycles, no 2B write, and the requests made while it plays waiting
// for its end (the last of them starting then), with or without its bytes.
TEST(VgmWriter, SegaVoiceIsDeafUntilItsEnd) {
    const std::uint64_t segaEnd = 735 + std::uint64_t{kSegaPcmSize} * 220 * 44100 / 3579545;
    for (const bool fromFolder : {true, false}) {
        SoundData sound = builtInSoundData();
        if (fromFolder) {
            sound.sega.pcm.resize(kSegaPcmSize);
            for (std::size_t i = 0; i < kSegaPcmSize; ++i) sound.sega.pcm[i] = static_cast<std::uint8_t>(i * 7);
            sound.sega.fromFolder = true;
        }
        VgmWriter w(sound);
        w.beginFrame(), w.dacRequest(0x81);  // 0: a kick, cut by the voice
        w.beginFrame(), w.dacRequest(0xA3);  // 1: the voice, asked by one of its many ids
        w.beginFrame(), w.dacRequest(0x82);  // 2: a snare it does not hear
        for (int f = 3; f <= 50; ++f) w.beginFrame();
        w.dacRequest(0x81);  // 50: the kick, heard at the voice's end
        for (int f = 51; f < 120; ++f) w.beginFrame();
        const test::VgmRead r = test::readVgm(w.finish("sega"));
        ASSERT_EQ(r.error, "");
        EXPECT_EQ(std::pair(w.silentSegaRequests(), w.unplayedRequests()), std::pair(fromFolder ? 0 : 1, 0));
        const auto dac = dacWrites(r.writes);
        // Besides the DAC's values, only the two kicks enable it.
        EXPECT_EQ(r.writes.size() - dac.size(), 2u);
        const Bytes& kick = sound.drum(DrumSample::Kick).pcm;
        std::size_t k = 0;
        for (; k < dac.size() && dac[k].sample < 735; ++k) EXPECT_EQ(dac[k].value, kick[k]);
        if (fromFolder) {
            ASSERT_GE(dac.size(), k + kSegaPcmSize);
            for (std::size_t i = 0; i < kSegaPcmSize; ++i, ++k)
                ASSERT_EQ(std::pair(dac[k].value, dac[k].sample),
                          std::pair(sound.sega.pcm[i], 735 + std::uint64_t{i} * 220 * 44100 / 3579545)) << i;
        }
        ASSERT_LT(k, dac.size());
        EXPECT_EQ(dac[k].sample, segaEnd);
        for (std::size_t i = 0; k + i < dac.size(); ++i) EXPECT_EQ(dac[k + i].value, kick[i]) << i;
    }
}

// A Sonic 2 drum note plays its sample's values from the data block at the
// note's rate (one value every 134 + 13c Z80 cycles), cutting the drum before.
TEST(VgmWriter, Sonic2DrumNotesPlayTheirSampleAtTheirRate) {
    const SoundData sound = builtInSoundData(SoundDriver::Sonic2);
    struct Case {
        std::uint8_t note;
        std::size_t sample;
        std::size_t valuesInAFrame;  // values k with k (134 + 13c) < 59659 cycles
    };
    for (const Case& c : {Case{0x81, 0, 138}, Case{0x82, 1, 406}, Case{0x8C, 5, 373}, Case{0x91, 6, 163}}) {
        VgmWriter w(sound);
        Frame frame;
        for (const std::uint8_t note : {std::uint8_t{0x86}, c.note, std::uint8_t{0}}) {
            frame.writes.clear();
            if (note) frame.writes.push_back({ChipPort::Dac, 0, note});
            w.addFrame(frame);
            ++frame.index;
        }
        const test::VgmRead r = test::readVgm(w.finish("drums"));
        ASSERT_EQ(r.error, "");
        std::vector<std::uint8_t> second;
        for (const VgmWrite& d : dacWrites(r.writes))
            if (d.sample >= 735 && d.sample < 1470) second.push_back(d.value);
        const Bytes& pcm = sound.drums[c.sample].pcm;
        EXPECT_EQ(second, std::vector<std::uint8_t>(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(c.valuesInAFrame)))
            << std::hex << int{c.note};
    }
}

}  // namespace
}  // namespace ferro
