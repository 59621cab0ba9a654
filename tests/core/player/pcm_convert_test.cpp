#include "player/pcm_convert.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace ferro {
namespace {

template <typename T>
std::vector<T> samplesOf(const std::vector<char>& bytes) {
    std::vector<T> out(bytes.size() / sizeof(T));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

std::vector<char> convertAll(PcmFormat to, const std::vector<std::int16_t>& stereo, std::size_t block) {
    PcmConverter converter(44100, to);
    std::vector<char> out;
    for (std::size_t at = 0; at < stereo.size(); at += block)
        converter.convert(std::span(stereo).subspan(at, std::min(block, stereo.size() - at)), out);
    return out;
}

// At the render's own rate every frame comes out one frame late (the last
// waits for its successor), in the device's sample format and channels.
TEST(PcmConvert, SampleFormatsAndChannels) {
    const std::vector<std::int16_t> in = {-32768, 32767, 16384, 0, 0, -16384, 1, 1};
    struct Case {
        PcmFormat to;
        std::vector<double> expected;  // in full scale
    };
    const std::vector<Case> cases = {
        {{44100, 2, SampleKind::Int16}, {-32768, 32767, 16384, 0, 0, -16384}},
        {{44100, 2, SampleKind::Float}, {-1.0, 32767 / 32768.0, 0.5, 0.0, 0.0, -0.5}},
        {{44100, 2, SampleKind::UInt8}, {0, 255, 192, 128, 128, 64}},
        {{44100, 2, SampleKind::Int32}, {-2147483648.0, 32767 * 65536.0, 16384 * 65536.0, 0, 0, -16384 * 65536.0}},
        {{44100, 1, SampleKind::Int16}, {-1 / 2.0, 8192, -8192}},
        {{44100, 4, SampleKind::Int16}, {-32768, 32767, 0, 0, 16384, 0, 0, 0, 0, -16384, 0, 0}},
    };
    for (const Case& c : cases) {
        const std::vector<char> bytes = convertAll(c.to, in, in.size());
        std::vector<double> got;
        switch (c.to.kind) {
        case SampleKind::UInt8: for (auto v : samplesOf<std::uint8_t>(bytes)) got.push_back(v); break;
        case SampleKind::Int16: for (auto v : samplesOf<std::int16_t>(bytes)) got.push_back(v); break;
        case SampleKind::Int32: for (auto v : samplesOf<std::int32_t>(bytes)) got.push_back(v); break;
        case SampleKind::Float: for (auto v : samplesOf<float>(bytes)) got.push_back(v); break;
        }
        ASSERT_EQ(got.size(), c.expected.size()) << c.to.channels << " channels";
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.expected[i], 0.5 + 1e-6) << "sample " << i << ", " << c.to.channels << " channels";
    }
}

// Another rate: as many frames as the time asks for, a ramp stays a ramp
// (the values between frames are interpolated), and the cut into blocks
// changes nothing.
TEST(PcmConvert, RatesAndBlocks) {
    std::vector<std::int16_t> ramp;
    for (int i = 0; i < 4410; ++i) ramp.insert(ramp.end(), {static_cast<std::int16_t>(i), static_cast<std::int16_t>(-i)});
    for (int rate : {48000, 22050, 96000}) {
        const PcmFormat to{rate, 2, SampleKind::Float};
        const std::vector<char> whole = convertAll(to, ramp, ramp.size());
        const auto frames = samplesOf<float>(whole);
        EXPECT_NEAR(static_cast<double>(frames.size() / 2), 4409.0 * rate / 44100, 1.0) << rate;
        const double step = 44100.0 / rate;
        for (std::size_t k = 0; k < frames.size() / 2; ++k) {
            ASSERT_NEAR(frames[2 * k] * 32768.0, static_cast<double>(k) * step, 1e-2) << rate << " frame " << k;
            ASSERT_NEAR(frames[2 * k + 1], -frames[2 * k], 1e-6);
        }
        EXPECT_EQ(convertAll(to, ramp, 14), whole) << rate;
    }
}

TEST(PcmConvert, InputAskedForAnOutputLength) {
    EXPECT_EQ(PcmConverter(44100, {44100, 2, SampleKind::Int16}).inputBytesFor(4000), 4000);
    EXPECT_EQ(PcmConverter(44100, {88200, 2, SampleKind::Float}).inputBytesFor(8000), 2000);
    EXPECT_EQ(PcmConverter(44100, {48000, 6, SampleKind::Float}).inputBytesFor(0), 4);
}

}  // namespace
}  // namespace ferro
