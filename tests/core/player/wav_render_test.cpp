#include "player/wav_render.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "player/vgm_writer.hpp"
#include "support/temp_dir.hpp"

#ifdef FERRO_WAV_RENDER
#include <sndfile.h>
#endif

namespace ferro {
namespace {

// A held FM1 note (algorithm 7, every operator loud) from frame 1, the song
// `frames` frames long, looping from `loopFrame` when it is above 0.
Bytes toneVgm(int frames, int loopFrame) {
    static const SoundData sound = builtInSoundData();
    VgmWriter w(sound);
    w.beginFrame();
    w.ym(0, 0xB0, 0x07);
    for (std::uint8_t op : {0x00, 0x04, 0x08, 0x0C}) {
        w.ym(0, 0x30 + op, 0x01);
        w.ym(0, 0x40 + op, 0x08);
        w.ym(0, 0x50 + op, 0x1F);
        w.ym(0, 0x60 + op, 0x00);
        w.ym(0, 0x70 + op, 0x00);
        w.ym(0, 0x80 + op, 0x0F);
    }
    w.ym(0, 0xB4, 0xC0);
    w.ym(0, 0xA4, 0x22);
    w.ym(0, 0xA0, 0x84);
    w.beginFrame();
    w.ym(0, 0x28, 0xF0);
    for (int f = 2; f < frames; ++f) {
        w.beginFrame();
        if (f == loopFrame) w.markLoop();
    }
    return w.finish("tone", loopFrame > 0 ? 0 : 44100);
}

TEST(WavRender, LengthsOfLoopingAndEndingSongs) {
    const Bytes looping = toneVgm(120, 60);  // intro 60 frames, loop 60
    for (int loops : {1, 2, 3})
        EXPECT_EQ(renderedLength(looping, loops), 60u * 735u + static_cast<unsigned>(loops) * 60u * 735u + 5u * 44100u);
    EXPECT_EQ(renderedLength(toneVgm(120, 0), 2), 120u * 735u + 44100u);
}

#ifdef FERRO_WAV_RENDER

// A looping song: the intro, two loops and the 5-second fade; a song that
// ends: its frames and a second of release, no fade.
TEST(WavRender, WavHasTheLengthAndIsNotSilent) {
    struct Case {
        Bytes vgm;
        std::uint64_t frames;
        bool fades;
    };
    const Case cases[] = {{toneVgm(120, 60), 60u * 735u + 2u * 60u * 735u + 5u * 44100u, true},
                          {toneVgm(120, 0), 120u * 735u + 44100u, false}};
    for (const Case& c : cases) {
        test::TempDir dir;
        double lastProgress = 0;
        ASSERT_EQ(renderVgmToWav(c.vgm, 2, dir / "tone.wav", [&](double p) { lastProgress = p; }), std::nullopt);
        EXPECT_DOUBLE_EQ(lastProgress, 1.0);
        SF_INFO info{};
        SNDFILE* f = sf_open((dir / "tone.wav").string().c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(info.samplerate, 44100);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_EQ(static_cast<std::uint64_t>(info.frames), c.frames);
        std::vector<short> pcm(static_cast<std::size_t>(info.frames) * 2);
        EXPECT_EQ(sf_readf_short(f, pcm.data(), info.frames), info.frames);
        sf_close(f);
        // Loud while the note is held; a looping song faded to silence at the end.
        int peakHeld = 0;
        int peakEnd = 0;
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            const int v = std::abs(static_cast<int>(pcm[i]));
            if (i / 2 > 735 * 2 && i / 2 < 735 * 110) peakHeld = std::max(peakHeld, v);
            if (i / 2 + 100 > pcm.size() / 2) peakEnd = std::max(peakEnd, v);
        }
        EXPECT_GT(peakHeld, 2000) << c.fades;
        if (c.fades) {
            EXPECT_LT(peakEnd, 200);
        }
    }
}

TEST(WavRender, StopsWhenTheSinkSaysSo) {
    int blocks = 0;
    EXPECT_EQ(renderVgm(toneVgm(120, 60), 2, [&](std::span<const std::int16_t>) { return ++blocks < 3; }),
              std::nullopt);
    EXPECT_EQ(blocks, 3);
    EXPECT_NE(renderVgm(Bytes{1, 2, 3}, 2, [](auto) { return true; }), std::nullopt);
}

#else

TEST(WavRender, BuildWithoutItSaysSo) {
    test::TempDir dir;
    EXPECT_EQ(renderVgmToWav(toneVgm(10, 0), 2, dir / "x.wav"), std::string(kNoWavRender));
    EXPECT_FALSE(dir.exists("x.wav"));
}

#endif

}  // namespace
}  // namespace ferro
